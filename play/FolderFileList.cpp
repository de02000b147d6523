#include "FolderFileList.h"

#include "MessagePump.h"
#include "Paths.h"
#include "RecordFiles.h"
#include "RunHost.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

std::vector<QString> folderRecordFiles(const QString &folder, const ELM327_Info &params,
                                       RunHost *host, int maxNames)
{
    std::vector<QString> names;
    if (folder.isEmpty() || !paths::isExistingFolder(folder))
        return names;
    const QDir dir(folder);
    // In the order of the recording: its files are numbered in their names, and a
    // directory's own order (hash order on most Linux file systems) would replay them
    // shuffled, as would text order once the numbers pass 999.
    QFileInfoList entries = dir.entryInfoList(
        QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    if (entries.size() > kMaxFolderFiles)
        return names;
    std::sort(entries.begin(), entries.end(), [](const QFileInfo &a, const QFileInfo &b) {
        return recordFileNameLess(a.fileName(), b.fileName());
    });
    for (const QFileInfo &entry : entries) {
        if (int(names.size()) >= maxNames)
            break;
        if (host && host->RxFlag != 1)
            break;
        const QString name = entry.fileName();
        // Special files (FIFOs, sockets, devices) are skipped before anything opens them.
        if (!entry.isFile() || name.startsWith(QLatin1Char('.'))
            || !name.endsWith(QLatin1String(".dat"), Qt::CaseSensitive))
            continue;
        if (CheckRecordFile(paths::join(folder, name), params) == 0)
            names.push_back(name);
        if (host)
            pumpMessages();
    }
    return names;
}
