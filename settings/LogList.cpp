#include "LogList.h"

#include "Paths.h"

#include <QFile>
#include <QSaveFile>
#include <QTextDocument>

QString logListPath()
{
    return paths::join(paths::fileFolder(), QStringLiteral("lglist.dat"));
}

bool LoadLogList(QTextDocument &view)
{
    QFile file(logListPath());
    if (!file.exists() || !file.open(QIODevice::ReadOnly))
        return false;
    view.setHtml(QString::fromUtf8(file.readAll()));
    return true;
}

bool SaveLogList(const QTextDocument &view)
{
    if (!paths::isExistingFolder(paths::fileFolder()))
        return false;
    QSaveFile file(logListPath());
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(view.toHtml().toUtf8());
    return file.commit();
}
