// The play target: validated at start-up, taken from a drop or from the browse dialog.
#include "CAN_PlayDB.h"

#include "ELM327_Info.h"
#include "Paths.h"
#include "RecordFiles.h"

#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

void CAN_PlayDB::clearTarget()
{
    t_RecPlay_FileName.clear();
    t_RecPlay_FilePath.clear();
    t_RecPlay_FileType = 0;
}

void CAN_PlayDB::get_PlayFilePath_StartUp_Main(const ELM327_Info &params)
{
    switch (t_RecPlay_FileType) {
    case 1:
        if (t_RecPlay_FilePath.isEmpty() || t_RecPlay_FileName.isEmpty()
            || CheckRecordFile(paths::join(t_RecPlay_FilePath, t_RecPlay_FileName), params) != 0)
            clearTarget();
        return;
    case 2:
        if (!paths::isExistingFolder(t_RecPlay_FilePath))
            clearTarget();
        return;
    default:
        clearTarget();
    }
}

void CAN_PlayDB::get_PlayFilePath_DD_Main(const QMimeData *drop, const ELM327_Info &params)
{
    // Only a list of local files is a file drop; of several files the first one counts.
    QString first;
    const QList<QUrl> urls = drop && drop->hasUrls() ? drop->urls() : QList<QUrl>();
    if (!urls.isEmpty() && urls.constFirst().isLocalFile())
        first = urls.constFirst().toLocalFile();
    if (first.isEmpty()) {
        clearTarget();
        return;
    }
    takePath(first, params);
}

void CAN_PlayDB::get_PlayFilePath_DB_Main(const QString &path, const ELM327_Info &params)
{
    if (path.isEmpty()) {
        clearTarget();
        return;
    }
    takePath(path, params);
}

// A record file ("*.dat", passing the check) becomes a file target; anything that is not
// an existing file is taken as a folder; other files are rejected. The folder is set in
// every case, also after a rejection.
void CAN_PlayDB::takePath(const QString &path, const ELM327_Info &params)
{
    const QFileInfo info(path);
    const QString name = info.isFile() ? info.fileName() : QString();
    if (name.isEmpty()) {
        t_RecPlay_FileType = 2;
        t_RecPlay_FileName.clear();
    } else {
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        const bool datExtension = dot >= 0 && name.size() - dot - 1 == 3
                                  && name.mid(dot + 1) == QLatin1String("dat");
        if (datExtension && CheckRecordFile(path, params) == 0) {
            t_RecPlay_FileName = name;
            t_RecPlay_FileType = 1;
        } else {
            t_RecPlay_FileName.clear();
            t_RecPlay_FilePath.clear();
            t_RecPlay_FileType = 0;
        }
    }
    QString folder = path;
    if (!name.isEmpty() && folder.endsWith(name))
        folder.chop(name.size());
    t_RecPlay_FilePath = paths::removeTrailingSeparator(folder);
}
