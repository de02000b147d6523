#include "LogList.h"

#include "NotebookDocument.h"
#include "Paths.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextDocument>

QString logListPath()
{
    return paths::join(paths::fileFolder(), QStringLiteral("lglist.dat"));
}

namespace {

// Moves the refused file aside so the next start is quiet and nothing of it is lost.
LogListLoad refuse(QTextDocument &view, const QString &why)
{
    view.clear();
    const QString aside = paths::join(
        paths::programFolder(),
        QStringLiteral("lglist_refused_%1.dat")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss"))));
    QFile::remove(aside);
    const bool moved = QFile::rename(logListPath(), aside);
    QString text = QStringLiteral("lglist.dat を読み込めませんでした（%1）。\r\n").arg(why);
    text += moved ? QStringLiteral("ファイルは %1 に残しました。\r\n")
                        .arg(QFileInfo(aside).fileName())
                  : QStringLiteral("ファイルの名前を変えられませんでした。\r\n");
    text += QStringLiteral("空のテキストで始めます。");
    return {LogListLoad::Refused, text};
}

} // namespace

LogListLoad LoadLogList(QTextDocument &view)
{
    const QFileInfo info(logListPath());
    if (!info.exists())
        return {};
    // A device, a pipe or a folder has no size to trust and may never end; only plain
    // files are opened.
    if (!info.isFile())
        return refuse(view, QStringLiteral("通常のファイルではありません"));
    if (info.size() > NotebookDocument::kMaxBytes)
        return refuse(view, QStringLiteral("大きすぎます"));
    QFile file(info.filePath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.read(NotebookDocument::kMaxBytes + 1);
    file.close();
    const QString html = QString::fromUtf8(bytes);
    const QString why = NotebookDocument::refusal(html);
    if (!why.isEmpty())
        return refuse(view, why);
    view.setHtml(html);
    return {LogListLoad::Loaded, QString()};
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
