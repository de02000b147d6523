#include "MonitorView.h"

#include "NotebookDocument.h"

#include <QAbstractTextDocumentLayout>
#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QKeyEvent>
#include <QMimeData>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QRawFont>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace {

QColor toColor(int bgr)
{
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

// Characters that QTextCursor::insertText would turn into block or frame breaks; inside a
// table line they would shift every line below, so they show as spaces.
bool breaksBlock(QChar c)
{
    const char16_t u = c.unicode();
    return u == u'\n' || u == u'\r' || u == 0x2029 || u == 0xFDD0 || u == 0xFDD1;
}

// Runs closer than this are rewritten as one, which is cheaper than two cursor edits.
constexpr int kJoinGap = 2;

} // namespace

MonitorView::MonitorView(QWidget *parent) : QTextEdit(parent)
{
    setDocument(new NotebookDocument(this));

    // Paper colours whatever the desktop theme: the fade runs towards black text, and
    // the markers were chosen for a white page.
    QPalette p = palette();
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::Text, Qt::black);
    setPalette(p);

    // Table and notebook are left-to-right text; saying so spares the layout a scan of
    // every changed line for its direction.
    QTextOption option = document()->defaultTextOption();
    option.setTextDirection(Qt::LeftToRight);
    document()->setDefaultTextOption(option);

    m_quiet.setSingleShot(true);
    m_quiet.setInterval(kQuietMs);
    connect(&m_quiet, &QTimer::timeout, this, &MonitorView::finishLiveTable);
    m_slice.setSingleShot(true);
    m_slice.setInterval(0);
    connect(&m_slice, &QTimer::timeout, this, &MonitorView::syncSlice);
    connect(document(), &QTextDocument::contentsChange, this, [this] {
        if (!m_applying)
            m_shadowValid = false;
    });
}

MonitorView::~MonitorView() = default;

QStringView MonitorView::wantedText(size_t i) const
{
    return QStringView(m_target).mid(m_lineStart[i], m_lineLength[i]);
}

std::span<const MonitorView::Piece> MonitorView::wantedPieces(size_t i) const
{
    return std::span<const Piece>(m_pieces.data() + m_pieceBegin[i],
                                  size_t(m_pieceBegin[i + 1] - m_pieceBegin[i]));
}

void MonitorView::takeTable(const QString &text, const std::vector<ColourRange> &ranges)
{
    m_target = text;
    m_lineStart.clear();
    m_lineLength.clear();
    const qsizetype size = m_target.size();
    const char16_t *chars = reinterpret_cast<const char16_t *>(m_target.constData());
    qsizetype start = 0;
    bool stray = false;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = chars[i];
        if (c > u'\r' && c < 0x2029)
            continue;
        if (c == u'\r' && i + 1 < size && chars[i + 1] == u'\n') {
            m_lineStart.push_back(int(start));
            m_lineLength.push_back(int(i - start));
            start = i + 2;
            ++i;
        } else if (breaksBlock(QChar(c))) {
            stray = true;
        }
    }
    m_lineStart.push_back(int(start));
    m_lineLength.push_back(int(size - start));
    if (stray) {
        QChar *out = m_target.data();
        for (size_t l = 0; l < m_lineStart.size(); ++l)
            for (int c = m_lineStart[l]; c < m_lineStart[l] + m_lineLength[l]; ++c)
                if (breaksBlock(out[c]))
                    out[c] = QLatin1Char(' ');
    }

    // Ranges in CR LF offsets become pieces of lines; a range that runs over a line end
    // continues on the next line, the CR LF itself is not drawn. The monitor gives its
    // ranges line by line, so the pieces are normally in order as they come.
    const size_t lines = m_lineStart.size();
    const int *starts = m_lineStart.data();
    const int *lengths = m_lineLength.data();
    std::vector<Piece> &pieces = m_pieces;
    std::vector<int> &pieceLine = m_pieceLine;
    pieces.clear();
    pieceLine.clear();
    pieces.reserve(ranges.size());
    pieceLine.reserve(ranges.size());
    bool ordered = true;
    size_t line = 0;
    for (const ColourRange &r : ranges) {
        if (r.length <= 0)
            continue;
        int64_t from = std::max<int64_t>(r.start, 0);
        const int64_t to = int64_t(r.start) + r.length;
        if (from >= size)
            continue;
        if (from < starts[line]) {
            line = size_t(std::upper_bound(starts, starts + lines, int(from)) - starts) - 1;
        } else {
            while (line + 1 < lines && starts[line + 1] <= from)
                ++line;
        }
        for (size_t l = line; l < lines && from < to; ++l) {
            const int64_t ls = starts[l];
            const int64_t le = ls + lengths[l];
            const int64_t a = std::max(from, ls);
            const int64_t b = std::min(to, le);
            if (a < b) {
                if (!pieceLine.empty() && int(l) < pieceLine.back())
                    ordered = false;
                pieceLine.push_back(int(l));
                pieces.push_back(Piece{int(a - ls), int(b - a), r.colour & 0xFFFFFF, r.background});
            }
            from = le + 2;
        }
    }
    if (!ordered) {
        std::vector<size_t> order(m_pieces.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t x, size_t y) { return m_pieceLine[x] < m_pieceLine[y]; });
        std::vector<Piece> pieces(m_pieces.size());
        std::vector<int> pieceLine(m_pieces.size());
        for (size_t i = 0; i < order.size(); ++i) {
            pieces[i] = m_pieces[order[i]];
            pieceLine[i] = m_pieceLine[order[i]];
        }
        m_pieces.swap(pieces);
        m_pieceLine.swap(pieceLine);
    }
    m_pieceBegin.assign(lines + 1, 0);
    for (int l : m_pieceLine)
        ++m_pieceBegin[size_t(l) + 1];
    for (size_t i = 0; i < lines; ++i)
        m_pieceBegin[i + 1] += m_pieceBegin[i];
}

void MonitorView::replaceDocument()
{
    const int h = horizontalScrollBar()->value();
    const int v = verticalScrollBar()->value();
    QString joined;
    joined.reserve(m_target.size());
    for (size_t i = 0; i < m_lineStart.size(); ++i) {
        if (i)
            joined += QLatin1Char('\n');
        joined += wantedText(i);
    }
    m_applying = true;
    document()->clear();
    QTextCursor cursor(document());
    cursor.insertText(joined, QTextCharFormat());
    m_applying = false;
    m_lines.assign(m_lineStart.size(), Line{});
    for (size_t i = 0; i < m_lines.size(); ++i)
        m_lines[i].text = wantedText(i).toString();
    m_shadowValid = true;
    horizontalScrollBar()->setValue(h);
    verticalScrollBar()->setValue(v);
}

void MonitorView::showTable(const QString &text, const std::vector<ColourRange> &ranges)
{
    takeTable(text, ranges);
    if (!m_live) {
        m_live = true;
        // Every tick would otherwise leave its edits on the undo stack.
        document()->setUndoRedoEnabled(false);
    }
    if (!m_shadowValid || m_lines.size() != size_t(document()->blockCount()))
        replaceDocument();
    else
        matchBlockCount();
    m_quiet.start();
    if (isVisible())
        syncVisible();
    else
        syncLines(0, int(m_lines.size()) - 1);
}

void MonitorView::matchBlockCount()
{
    const size_t wanted = m_lineStart.size();
    if (wanted == m_lines.size())
        return;
    // Lines come and go at the end of the block list; what the rows below a new
    // identifier hold is fixed by the line-by-line comparison afterwards.
    m_applying = true;
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    if (wanted > m_lines.size()) {
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(QString(qsizetype(wanted - m_lines.size()), QLatin1Char('\n')),
                          QTextCharFormat());
        m_lines.resize(wanted);
    } else {
        const QTextBlock keep = document()->findBlockByNumber(int(wanted) - 1);
        cursor.setPosition(keep.position() + keep.length() - 1);
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        m_lines.resize(wanted);
    }
    cursor.endEditBlock();
    m_applying = false;
}

bool MonitorView::visibleBlocks(int *first, int *last) const
{
    const QTextDocument *doc = document();
    QAbstractTextDocumentLayout *layout = doc->documentLayout();
    const int count = doc->blockCount();
    if (count == 0)
        return false;
    const qreal top = verticalScrollBar()->value();
    const qreal bottom = top + viewport()->height();
    auto rectOf = [&](int n) { return layout->blockBoundingRect(doc->findBlockByNumber(n)); };
    if (rectOf(0).isNull())
        return false;
    int lo = 0;
    int hi = count - 1;
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (rectOf(mid).bottom() <= top)
            lo = mid + 1;
        else
            hi = mid;
    }
    int end = lo;
    for (QTextBlock b = doc->findBlockByNumber(lo); b.isValid(); b = b.next()) {
        if (layout->blockBoundingRect(b).top() >= bottom)
            break;
        end = b.blockNumber();
    }
    *first = lo;
    *last = end;
    return true;
}

void MonitorView::syncVisible()
{
    int first = 0;
    int last = -1;
    if (visibleBlocks(&first, &last))
        syncLines(first, last);
}

void MonitorView::syncLines(int first, int last)
{
    if (m_budgetMs <= 0) {
        syncRange(first, last, Sync::Live);
        return;
    }
    m_pendingFirst = first;
    m_pendingLast = last;
    syncSlice();
}

void MonitorView::setSyncBudgetMs(double ms)
{
    m_budgetMs = std::isfinite(ms) && ms > 0 ? ms : 0;
    if (m_budgetMs > 0 || !syncPending())
        return;
    m_slice.stop();
    syncRange(m_pendingFirst, m_pendingLast, Sync::Live);
    m_pendingLast = m_pendingFirst - 1;
}

void MonitorView::syncSlice()
{
    // A few lines per edit block: the layout of a block's changed lines is done when the
    // block closes, so that is where the time can be looked at.
    constexpr int linesPerStep = 4;
    QElapsedTimer spent;
    spent.start();
    const qint64 budgetNs = qint64(m_budgetMs * 1e6);
    while (syncPending()) {
        if (!m_live || !m_shadowValid) {
            m_pendingLast = m_pendingFirst - 1;
            break;
        }
        const int last = std::min(m_pendingLast, m_pendingFirst + linesPerStep - 1);
        syncRange(m_pendingFirst, last, Sync::Live);
        m_pendingFirst = last + 1;
        if (spent.nsecsElapsed() >= budgetNs)
            break;
    }
    if (syncPending())
        m_slice.start();
}

void MonitorView::syncRange(int first, int last, Sync mode)
{
    if (!m_shadowValid || first > last || m_applying)
        return;
    last = std::min(last, int(m_lines.size()) - 1);
    m_applying = true;
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    QTextBlock block = document()->findBlockByNumber(first);
    for (int i = first; i <= last && block.isValid(); ++i, block = block.next())
        syncLine(cursor, block, size_t(i), mode);
    cursor.endEditBlock();
    m_applying = false;
    if (!m_repaint.isNull()) {
        // Colours that changed on a line whose text did not are drawn by the next paint.
        viewport()->update(m_repaint.translated(-horizontalScrollBar()->value(),
                                                -verticalScrollBar()->value())
                               .toAlignedRect());
        m_repaint = QRectF();
    }
}

QRectF MonitorView::blockRect(const QTextBlock &block) const
{
    return document()->documentLayout()->blockBoundingRect(block);
}

void MonitorView::syncLine(QTextCursor &cursor, const QTextBlock &block, size_t i, Sync mode)
{
    Line &line = m_lines[i];
    const QStringView want = wantedText(i);
    const std::span<const Piece> pieces = wantedPieces(i);
    const int pos = block.position();
    bool realStale = false;

    if (line.text != want) {
        const QString &old = line.text;
        auto replace = [&](int from, int oldEnd, QStringView with) {
            cursor.setPosition(pos + from);
            cursor.setPosition(pos + oldEnd, QTextCursor::KeepAnchor);
            cursor.insertText(with.toString(), QTextCharFormat());
        };
        if (old.size() == want.size()) {
            // Same length: rewrite each run of changed characters, so a selection edge
            // outside them stays where the user put it.
            const int n = int(old.size());
            int c = 0;
            while (c < n) {
                if (old[c] == want[c]) {
                    ++c;
                    continue;
                }
                int lastDiff = c;
                for (int j = c + 1; j < n && j - lastDiff <= kJoinGap; ++j)
                    if (old[j] != want[j])
                        lastDiff = j;
                replace(c, lastDiff + 1, want.mid(c, lastDiff + 1 - c));
                c = lastDiff + 1;
            }
        } else {
            const int shorter = int(std::min(old.size(), want.size()));
            int head = 0;
            while (head < shorter && old[head] == want[head])
                ++head;
            int tail = 0;
            while (tail < shorter - head
                   && old[old.size() - 1 - tail] == want[want.size() - 1 - tail])
                ++tail;
            replace(head, int(old.size()) - tail,
                    want.mid(head, want.size() - tail - head));
        }
        line.text = want.toString();
        realStale = !line.real.empty();
    }

    auto samePieces = [&](const std::vector<Piece> &v) {
        return std::equal(v.begin(), v.end(), pieces.begin(), pieces.end());
    };
    auto clearReal = [&] {
        cursor.setPosition(pos);
        cursor.setPosition(pos + int(line.text.size()), QTextCursor::KeepAnchor);
        cursor.setCharFormat(QTextCharFormat());
        line.real.clear();
    };

    if (mode == Sync::Live) {
        if (!realStale && line.overlay.empty() && samePieces(line.real))
            return;   // still the colours a finished table left, and still right
        if (!line.real.empty() || realStale)
            clearReal();
        if (!samePieces(line.overlay)) {
            line.overlay.assign(pieces.begin(), pieces.end());
            m_repaint |= blockRect(block);
        }
        return;
    }

    // Materialize.
    if (!line.overlay.empty()) {
        line.overlay.clear();
        m_repaint |= blockRect(block);
    }
    if (realStale || !samePieces(line.real)) {
        if (!line.real.empty() || realStale)
            clearReal();
        for (const Piece &p : pieces) {
            QTextCharFormat f;
            if (p.background)
                f.setBackground(toColor(p.colour));
            else
                f.setForeground(toColor(p.colour));
            cursor.setPosition(pos + p.column);
            cursor.setPosition(pos + p.column + p.length, QTextCursor::KeepAnchor);
            cursor.mergeCharFormat(f);
        }
        line.real.assign(pieces.begin(), pieces.end());
    }
}

void MonitorView::clearOverlays()
{
    // The document was changed behind the table's back: its lines no longer match, so
    // only the drawing-time colours can be taken away.
    for (Line &line : m_lines)
        line.overlay.clear();
    viewport()->update();
}

void MonitorView::finishLiveTable()
{
    if (!m_live)
        return;
    m_quiet.stop();
    m_slice.stop();
    m_pendingLast = m_pendingFirst - 1;
    if (m_shadowValid)
        syncRange(0, int(m_lines.size()) - 1, Sync::Materialize);
    else
        clearOverlays();
    document()->setUndoRedoEnabled(true);
    m_live = false;
}

void MonitorView::scrollContentsBy(int dx, int dy)
{
    QTextEdit::scrollContentsBy(dx, dy);
    if (m_live && dy != 0)
        syncVisible();
}

void MonitorView::paintEvent(QPaintEvent *event)
{
    if (!m_live || !m_shadowValid) {
        QTextEdit::paintEvent(event);
        return;
    }
    // Lines that came into view without a scroll (a resize, a shown window) are brought
    // up to date before they are drawn; normally there is nothing to do here. With a
    // budget the next table brings them, in its slices.
    if (m_budgetMs <= 0)
        syncVisible();
    paintLive(event->rect());
}

// A live table is plain text whose colours are known line by line, so it is drawn here in
// one pass: each stretch of one text colour on one background gets its cell filled and
// its glyphs drawn, the glyphs taken from the line's layout (nothing is shaped or laid
// out again, and a fade step costs a repaint only). The selection keeps its highlight.
void MonitorView::paintLive(const QRect &area)
{
    const int dx = horizontalScrollBar()->value();
    const int dy = verticalScrollBar()->value();
    const QRectF docArea = QRectF(area).translated(dx, dy);
    int first = 0;
    int last = -1;
    if (!visibleBlocks(&first, &last))
        return;
    const QTextCursor selection = textCursor();
    const QPalette::ColorGroup group = hasFocus() ? QPalette::Active : QPalette::Inactive;
    const Inks inks{palette().color(QPalette::Text), palette().brush(group, QPalette::Highlight),
                    palette().color(group, QPalette::HighlightedText)};

    QPainter painter(viewport());
    painter.translate(-dx, -dy);
    painter.setClipRect(docArea);
    QAbstractTextDocumentLayout *docLayout = document()->documentLayout();
    QTextBlock block = document()->findBlockByNumber(first);
    for (int i = first; i <= last && block.isValid(); ++i, block = block.next()) {
        if (!docLayout->blockBoundingRect(block).intersects(docArea))
            continue;
        const Line &line = m_lines[size_t(i)];
        int selFrom = selection.selectionStart() - block.position();
        int selTo = selection.selectionEnd() - block.position();
        if (selFrom >= selTo) {
            selFrom = 0;
            selTo = 0;
        }
        paintLine(painter, block, line.overlay.empty() ? line.real : line.overlay, selFrom,
                  selTo, inks);
    }
}

void MonitorView::paintLine(QPainter &painter, const QTextBlock &block,
                            const std::vector<Piece> &pieces, int selFrom, int selTo,
                            const Inks &inks)
{
    const QTextLayout *layout = block.layout();
    if (!layout || layout->lineCount() == 0)
        return;
    const QString text = block.text();
    const int n = int(text.size());
    // Colour of every character: -1 the ink, -2 the highlighted text; background -1 none,
    // -2 the highlight.
    m_fg.assign(size_t(n), -1);
    m_bg.assign(size_t(n), -1);
    for (const Piece &p : pieces) {
        const int a = std::clamp(p.column, 0, n);
        const int b = std::clamp(p.column + p.length, 0, n);
        std::fill((p.background ? m_bg : m_fg).begin() + a,
                  (p.background ? m_bg : m_fg).begin() + b, p.colour);
    }
    const int sa = std::clamp(selFrom, 0, n);
    const int sb = std::clamp(selTo, 0, n);
    std::fill(m_fg.begin() + sa, m_fg.begin() + sb, -2);
    std::fill(m_bg.begin() + sa, m_bg.begin() + sb, -2);

    const QPointF origin = layout->position();
    Glyphs glyphs;
    if (monoGlyphs(layout, text))
        glyphs = {&m_mono.run, m_monoIndexes.data(), m_monoPositions.data()};
    auto isSpace = [&](int c) { return text[c] == QLatin1Char(' '); };
    int c = 0;
    while (c < n) {
        const int fg = m_fg[size_t(c)];
        const int bg = m_bg[size_t(c)];
        int end = c + 1;
        bool allSpace = isSpace(c);
        // One stretch per text colour; spaces without a background join it, as nothing
        // of them shows.
        while (end < n) {
            if (m_fg[size_t(end)] == fg && m_bg[size_t(end)] == bg) {
                allSpace = allSpace && isSpace(end);
                ++end;
                continue;
            }
            if (bg != -1 || m_bg[size_t(end)] != -1 || !isSpace(end))
                break;
            int gap = end;
            while (gap < n && m_bg[size_t(gap)] == -1 && isSpace(gap) && m_fg[size_t(gap)] != fg)
                ++gap;
            if (gap < n && m_fg[size_t(gap)] == fg && m_bg[size_t(gap)] == -1) {
                end = gap;
                continue;
            }
            break;
        }
        if (bg != -1 || !allSpace)
            drawStretch(painter, layout, origin, c, end - c, fg, bg, inks, glyphs);
        c = end;
    }
    // A selection that goes on past the end of the line shows one space of it.
    if (selTo > n && selFrom <= n) {
        const QTextLine line = layout->lineAt(layout->lineCount() - 1);
        const qreal x = line.cursorToX(n);
        const qreal w = QFontMetricsF(document()->defaultFont()).horizontalAdvance(QLatin1Char(' '));
        painter.fillRect(QRectF(origin.x() + x, origin.y() + line.y(), w, line.height()),
                         inks.highlight);
    }
}

// The table is ASCII in a fixed-pitch font: glyph i of such a line is character i, i
// advances from the line's start. Its glyphs are set up here from a per-character table
// rather than asked of the layout line by line, which is a good part of a paint. Any
// other line (other characters, a proportional font, a wrapped line) is left to the
// layout.
bool MonitorView::monoGlyphs(const QTextLayout *layout, const QString &text)
{
    const int n = int(text.size());
    if (n == 0 || layout->lineCount() != 1)
        return false;
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            return false;
    const QTextLine line = layout->lineAt(0);
    const QFont font = document()->defaultFont();
    const qreal ratio = devicePixelRatioF();
    if (!m_mono.valid || m_mono.font != font || m_mono.ratio != ratio) {
        const QList<QGlyphRun> runs = layout->glyphRuns(0, n);   // a block's layout has no text() of its own
        if (runs.size() != 1 || runs.front().glyphIndexes().size() != n)
            return false;   // try again on the next line
        m_mono = Mono{};
        m_mono.font = font;
        m_mono.ratio = ratio;
        m_mono.valid = true;
        m_mono.run = runs.front();
        const QRawFont raw = m_mono.run.rawFont();
        QString ascii;
        for (char16_t c = 0x20; c <= 0x7E; ++c)
            ascii += QChar(c);
        const QList<quint32> indexes = raw.glyphIndexesForString(ascii);
        const QList<QPointF> advances = raw.advancesForGlyphIndexes(indexes);
        if (indexes.size() != ascii.size() || advances.size() != ascii.size())
            return false;
        for (qsizetype i = 0; i < indexes.size(); ++i) {
            if (indexes[i] == 0 || std::fabs(advances[i].x() - advances[0].x()) > 1e-3)
                return false;
            m_mono.index[size_t(i)] = indexes[i];
        }
        m_mono.usable = true;
    }
    if (!m_mono.usable)
        return false;
    const qreal advance = line.naturalTextWidth() / n;
    m_monoIndexes.resize(size_t(n));
    m_monoPositions.resize(size_t(n));
    const qreal y = line.y() + line.ascent();
    for (int i = 0; i < n; ++i) {
        m_monoIndexes[size_t(i)] = m_mono.index[size_t(text[i].unicode() - 0x20)];
        m_monoPositions[size_t(i)] = QPointF(line.x() + i * advance, y);
    }
    return true;
}

void MonitorView::drawStretch(QPainter &painter, const QTextLayout *layout, const QPointF &origin,
                              int column, int length, int fg, int bg, const Inks &inks,
                              const Glyphs &glyphs)
{
    const QTextLine line = layout->lineForTextPosition(column);
    if (!line.isValid())
        return;
    if (bg != -1) {
        const qreal x0 = line.cursorToX(column);
        const qreal x1 = line.cursorToX(column + length);
        const QRectF cell(origin.x() + std::min(x0, x1), origin.y() + line.y(),
                          std::fabs(x1 - x0), line.height());
        if (bg == -2)
            painter.fillRect(cell, inks.highlight);
        else
            painter.fillRect(cell, toColor(bg));
    }
    painter.setPen(fg == -1 ? inks.text : fg == -2 ? inks.highlightedText : toColor(fg));
    if (glyphs.run) {
        QGlyphRun part = *glyphs.run;
        part.setRawData(glyphs.indexes + column, glyphs.positions + column, length);
        painter.drawGlyphRun(origin, part);
        return;
    }
    for (const QGlyphRun &run : layout->glyphRuns(column, length))
        painter.drawGlyphRun(origin, run);
}

QString MonitorView::colouredSelectionHtml() const
{
    const QTextCursor selection = textCursor();
    const int from = selection.selectionStart();
    const int to = selection.selectionEnd();
    QTextDocument copy;
    copy.setDefaultFont(document()->defaultFont());
    QTextCursor out(&copy);
    out.insertFragment(selection.selection());
    QTextBlock block = document()->findBlock(from);
    for (; block.isValid() && block.position() < to; block = block.next()) {
        const size_t i = size_t(block.blockNumber());
        if (i >= m_lines.size())
            break;
        for (const Piece &p : m_lines[i].overlay) {
            const int a = std::max(block.position() + p.column, from);
            const int b = std::min(block.position() + p.column + p.length, to);
            if (a >= b)
                continue;
            QTextCharFormat f;
            if (p.background)
                f.setBackground(toColor(p.colour));
            else
                f.setForeground(toColor(p.colour));
            out.setPosition(a - from);
            out.setPosition(b - from, QTextCursor::KeepAnchor);
            out.mergeCharFormat(f);
        }
    }
    return copy.toHtml();
}

QMimeData *MonitorView::createMimeDataFromSelection() const
{
    if (!m_live || !m_shadowValid)
        return QTextEdit::createMimeDataFromSelection();
    // The selection may reach lines that were out of view: bring them up to date first,
    // with their colours, so the copy holds what the table is now.
    auto *self = const_cast<MonitorView *>(this);
    self->syncRange(0, int(m_lines.size()) - 1, Sync::Live);
    const QTextCursor selection = textCursor();
    auto *data = new QMimeData;
    data->setText(selection.selection().toPlainText());
    if (selection.hasSelection())
        data->setHtml(colouredSelectionHtml());
    return data;
}

void MonitorView::insertFromMimeData(const QMimeData *source)
{
    finishLiveTable();
    const QTextDocumentFragment kept = NotebookDocument::pasted(*source);
    if (kept.isEmpty())
        return;
    QTextCursor cursor = textCursor();
    cursor.insertFragment(kept);
    setTextCursor(cursor);
    ensureCursorVisible();
}

void MonitorView::keyPressEvent(QKeyEvent *event)
{
    // Typing into a live table (the view is normally locked then) makes it a notebook.
    if (m_live && !isReadOnly())
        finishLiveTable();
    QTextEdit::keyPressEvent(event);
}

void MonitorView::inputMethodEvent(QInputMethodEvent *event)
{
    if (m_live && !isReadOnly())
        finishLiveTable();
    QTextEdit::inputMethodEvent(event);
}
