#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <vector>

// Notebook files that must never reach the rich-text engine as they are: references to
// device files, nesting that never finishes laying out, and a file far too large.
struct NotebookRow
{
    const char *name;
    QByteArray html;
    qint64 sparseSize = 0;   // a file of this many zero bytes instead of html
};

inline QByteArray nestedHtml(const char *open, const char *close, int depth)
{
    return QByteArray(open).repeated(depth) + "notes" + QByteArray(close).repeated(depth);
}

inline std::vector<NotebookRow> hostileNotebooks()
{
    return {
        {"DeviceAsImage", "<html><body><p>notes</p><img src=\"/dev/zero\"></body></html>"},
        {"DeviceAsBackground", "<html><body background=\"/dev/zero\"><p>notes</p></body></html>"},
        {"DeviceAsCellBackground",
         "<table><tr><td background='/dev/urandom'>notes</td></tr></table>"},
        {"DeviceAsStyleUrl", "<p style=\"background-image: url(/dev/zero)\">notes</p>"},
        {"DeviceAsImport",
         "<html><head><style>@import url(/dev/zero);</style></head><body><p>notes</p></body></html>"},
        {"DeviceAsLinkedSheet",
         "<html><head><link rel=stylesheet href=\"/dev/zero\"></head><body><p>notes</p></body></html>"},
        {"FortyNestedTables", nestedHtml("<table><tr><td>", "</td></tr></table>", 40)},
        {"ThreeThousandNestedTables", nestedHtml("<table><tr><td>", "</td></tr></table>", 3000)},
        {"ThreeThousandUnclosedTables", QByteArray("<table><tr><td>").repeated(3000) + "notes"},
        {"TwentyThousandNestedLists", nestedHtml("<ul><li>", "</li></ul>", 20000)},
        {"HundredMegabytes", {}, qint64(100) << 20},
    };
}

// Writes the row's file; a large one is sparse, so it costs no disk.
inline bool writeNotebook(const QString &path, const NotebookRow &row)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    if (row.sparseSize > 0)
        return f.resize(row.sparseSize);
    return f.write(row.html) == row.html.size();
}
