#include "NotebookDocument.h"

#include <QImage>
#include <QMimeData>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>

namespace {

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'-' || c == u':';
}

// Elements that hold nothing or close themselves when the next one starts: they never
// deepen the nesting, whether or not the text closes them.
bool isFlat(QStringView name)
{
    static const char *const names[] = {"br", "img", "hr", "meta", "link", "input", "col",
                                        "area", "base", "wbr", "param", "source", "embed",
                                        "p", "li", "dt", "dd", "tr", "td", "th", "thead",
                                        "tbody", "tfoot", "colgroup", "option", "!doctype"};
    for (const char *n : names)
        if (name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// Raw text elements: their content is not markup.
bool isRaw(QStringView name)
{
    return name.compare(u"style", Qt::CaseInsensitive) == 0
        || name.compare(u"script", Qt::CaseInsensitive) == 0
        || name.compare(u"title", Qt::CaseInsensitive) == 0;
}

// Elements and attributes that fetch something: a notebook's own file never has them.
bool fetches(QStringView name, QStringView attributes)
{
    static const char *const names[] = {"img", "image", "link", "object", "embed", "iframe",
                                        "frame", "input", "audio", "video", "source"};
    for (const char *n : names)
        if (name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0)
            return true;
    static const QRegularExpression reference(
        QStringLiteral("(\\bbackground\\s*=|\\bsrc\\s*=|url\\s*\\(|@import)"),
        QRegularExpression::CaseInsensitiveOption);
    return reference.match(attributes).hasMatch();
}

// End of the tag that starts at from ('<'), quoted attribute values skipped; -1 when open.
qsizetype tagEnd(QStringView html, qsizetype from)
{
    QChar quote;
    for (qsizetype i = from + 1; i < html.size(); ++i) {
        const QChar c = html[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'>') {
            return i;
        }
    }
    return -1;
}

QTextCharFormat coloursOnly(const QTextCharFormat &from)
{
    QTextCharFormat f;
    if (from.hasProperty(QTextFormat::ForegroundBrush) && from.foreground().style() == Qt::SolidPattern)
        f.setForeground(from.foreground().color());
    if (from.hasProperty(QTextFormat::BackgroundBrush) && from.background().style() == Qt::SolidPattern)
        f.setBackground(from.background().color());
    return f;
}

QString textOnly(QString text)
{
    text.remove(QChar::ObjectReplacementCharacter);
    text.replace(QChar::LineSeparator, u'\n');
    text.replace(QChar::ParagraphSeparator, u'\n');
    return text;
}

} // namespace

QString NotebookDocument::refusal(QStringView html, Source source)
{
    if (html.size() > kMaxBytes)
        return QStringLiteral("大きすぎます");
    int tables = 0;
    int elements = 0;
    qsizetype i = 0;
    while ((i = html.indexOf(u'<', i)) >= 0) {
        if (html.mid(i, 4) == u"<!--") {
            const qsizetype end = html.indexOf(u"-->", i + 4);
            if (end < 0)
                break;
            i = end + 3;
            continue;
        }
        const qsizetype end = tagEnd(html, i);
        if (end < 0)
            break;
        const bool closing = i + 1 < end && html[i + 1] == u'/';
        qsizetype n = i + (closing ? 2 : 1);
        const qsizetype nameStart = n;
        if (n < end && html[n] == u'!')
            ++n;
        while (n < end && isNameChar(html[n]))
            ++n;
        const QStringView name = html.mid(nameStart, n - nameStart);
        const bool selfClosing = html[end - 1] == u'/';
        i = end + 1;
        if (source == Source::File && !closing && fetches(name, html.mid(n, end - n)))
            return QStringLiteral("外部のファイルを参照しています");
        if (name.isEmpty() || selfClosing || isFlat(name))
            continue;
        const int step = closing ? -1 : 1;
        if (name.compare(u"table", Qt::CaseInsensitive) == 0) {
            tables = std::max(0, tables + step);
            if (tables > kMaxTableDepth)
                return QStringLiteral("表の入れ子が深すぎます");
            continue;
        }
        elements = std::max(0, elements + step);
        if (elements > kMaxElementDepth)
            return QStringLiteral("入れ子が深すぎます");
        if (!closing && isRaw(name)) {
            const qsizetype close = html.indexOf(QStringLiteral("</") + name.toString(), i,
                                                 Qt::CaseInsensitive);
            if (source == Source::File
                && fetches(QStringView(), html.mid(i, close < 0 ? -1 : close - i)))
                return QStringLiteral("外部のファイルを参照しています");
            if (close < 0)
                break;
            i = close;
        }
    }
    return QString();
}

QTextDocumentFragment NotebookDocument::pasted(const QMimeData &source)
{
    if (source.hasHtml()) {
        const QString html = source.html();
        if (refusal(html, Source::Paste).isEmpty()) {
            NotebookDocument parsed;
            parsed.setHtml(html);
            QTextDocument kept;
            QTextCursor out(&kept);
            for (QTextBlock b = parsed.begin(); b.isValid(); b = b.next()) {
                if (b != parsed.begin())
                    out.insertText(QStringLiteral("\n"), QTextCharFormat());
                for (auto it = b.begin(); !it.atEnd(); ++it) {
                    const QTextFragment piece = it.fragment();
                    if (piece.isValid())
                        out.insertText(textOnly(piece.text()), coloursOnly(piece.charFormat()));
                }
            }
            return QTextDocumentFragment(&kept);
        }
    }
    if (!source.hasText() || source.text().size() > kMaxBytes)
        return QTextDocumentFragment();
    return QTextDocumentFragment::fromPlainText(textOnly(source.text()));
}

QVariant NotebookDocument::loadResource(int type, const QUrl &)
{
    // An image the document cannot find is read from its file by the layout itself; a
    // blank pixel stands in for every image so that never happens.
    if (type == QTextDocument::ImageResource) {
        static const QImage blank = [] {
            QImage i(1, 1, QImage::Format_ARGB32);
            i.fill(Qt::transparent);
            return i;
        }();
        return blank;
    }
    return QVariant();
}
