#include "RtfWriter.h"

#include <QColor>
#include <QList>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

namespace {

// Index in the colour table, which starts with the "auto" entry 0.
int colourIndex(QList<QRgb> &table, const QColor &colour)
{
    const QRgb rgb = colour.rgb();
    const qsizetype at = table.indexOf(rgb);
    if (at >= 0)
        return int(at) + 1;
    table.append(rgb);
    return int(table.size());
}

void appendEscaped(QByteArray &out, const QString &text)
{
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u == '\\' || u == '{' || u == '}') {
            out += '\\';
            out += char(u);
        } else if (u == '\t') {
            out += "\\tab ";
        } else if (u == QChar::LineSeparator) {
            out += "\\line ";
        } else if (u >= 0x20 && u < 0x80) {
            out += char(u);
        } else if (u >= 0x80) {
            // Signed 16-bit, as RTF readers expect; "?" for readers without Unicode.
            out += "\\u" + QByteArray::number(int(short(u))) + '?';
        }
    }
}

} // namespace

QByteArray documentToRtf(const QTextDocument &document)
{
    QList<QRgb> colours;
    QByteArray body;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            const QTextCharFormat f = fragment.charFormat();
            body += '{';
            if (f.hasProperty(QTextFormat::ForegroundBrush) && f.foreground().style() != Qt::NoBrush)
                body += "\\cf" + QByteArray::number(colourIndex(colours, f.foreground().color()));
            if (f.hasProperty(QTextFormat::BackgroundBrush) && f.background().style() != Qt::NoBrush) {
                const QByteArray n = QByteArray::number(colourIndex(colours, f.background().color()));
                body += "\\highlight" + n + "\\chcbpat" + n;
            }
            body += ' ';
            appendEscaped(body, fragment.text());
            body += '}';
        }
        if (block.next().isValid())
            body += "\\par\n";
    }

    QByteArray out = "{\\rtf1\\ansi\\ansicpg932\\deff0\\uc1"
                     "{\\fonttbl{\\f0\\fmodern\\fcharset128 Noto Sans Mono CJK JP;}}\n{\\colortbl;";
    for (const QRgb rgb : colours)
        out += "\\red" + QByteArray::number(qRed(rgb)) + "\\green" + QByteArray::number(qGreen(rgb))
               + "\\blue" + QByteArray::number(qBlue(rgb)) + ';';
    out += "}\n\\f0\\fs20 ";
    out += body;
    out += "}\n";
    return out;
}
