#include "MonitorFixture.h"
#include "MonitorView.h"
#include "TestHelpers.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace {

constexpr int kRed = 0x0000FF;     // 0x00BBGGRR
constexpr int kBlue = 0xFF0000;
constexpr int kPink = 0xF8D3FF;

// A table of n lines "LINE nnn  vvvv" joined with CR LF, v changing with the version.
QString table(int lines, int version, int firstNumber = 0)
{
    QString t;
    for (int i = 0; i < lines; ++i) {
        if (i)
            t += QStringLiteral("\r\n");
        t += QStringLiteral("LINE %1  %2").arg(firstNumber + i, 3, 10, QLatin1Char('0'))
                 .arg(version * 1000 + i, 5, 10, QLatin1Char('0'));
    }
    return t;
}

// CR LF offset of column c of line l of a table built above (every line 15 characters).
int at(int line, int column) { return line * (15 + 2) + column; }

// Document position of column c of line l.
int qtAt(int line, int column) { return line * (15 + 1) + column; }

QString plain(const QString &crlf)
{
    QString p = crlf;
    return p.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QTextCharFormat formatAt(QTextDocument *doc, int position)
{
    QTextCursor c(doc);
    c.setPosition(position + 1);   // the format of the character before the cursor
    return c.charFormat();
}

struct ViewRig
{
    explicit ViewRig(int height = 300, bool shown = true)
    {
        view.resize(420, height);
        view.setLineWrapMode(QTextEdit::NoWrap);
        if (shown) {
            view.show();
            QCoreApplication::processEvents();
        }
    }
    ~ViewRig() { view.finishLiveTable(); }

    QImage image()
    {
        return view.viewport()->grab().toImage();
    }

    // The pixels of the characters [position, position + length) of the document.
    QRect cells(int position, int length)
    {
        QTextCursor c(view.document());
        c.setPosition(position);
        const QRect a = view.cursorRect(c);
        c.setPosition(position + length);
        const QRect b = view.cursorRect(c);
        return QRect(QPoint(a.left() + 1, a.top()), QPoint(b.left() - 1, a.bottom()));
    }

    static int countPixels(const QImage &img, const QRect &r,
                           const std::function<bool(QColor)> &match)
    {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (img.rect().contains(x, y) && match(img.pixelColor(x, y)))
                    ++n;
        return n;
    }

    MonitorView view;
};

bool reddish(QColor c) { return c.red() > 150 && c.green() < 110 && c.blue() < 110; }

} // namespace

TEST(MonitorView, TableBecomesAnOrdinaryNotebookWithItsColours)
{
    ViewRig rig;
    const QString text = table(20, 1);
    rig.view.showTable(text, {{at(3, 10), 5, kRed, false}, {at(7, 0), 8, kPink, true}});
    EXPECT_TRUE(rig.view.isLive());
    EXPECT_FALSE(rig.view.document()->isUndoRedoEnabled());
    rig.view.finishLiveTable();
    EXPECT_FALSE(rig.view.isLive());
    EXPECT_TRUE(rig.view.document()->isUndoRedoEnabled());
    EXPECT_EQ(rig.view.toPlainText(), plain(text));

    QTextDocument *doc = rig.view.document();
    EXPECT_EQ(formatAt(doc, qtAt(3, 10)).foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(formatAt(doc, qtAt(3, 14)).foreground().color(), QColor(255, 0, 0));
    EXPECT_FALSE(formatAt(doc, qtAt(3, 9)).hasProperty(QTextFormat::ForegroundBrush));
    EXPECT_FALSE(formatAt(doc, qtAt(4, 0)).hasProperty(QTextFormat::ForegroundBrush));
    EXPECT_EQ(formatAt(doc, qtAt(7, 0)).background().color(), QColor(0xFF, 0xD3, 0xF8));
    EXPECT_EQ(formatAt(doc, qtAt(7, 7)).background().color(), QColor(0xFF, 0xD3, 0xF8));
    EXPECT_FALSE(formatAt(doc, qtAt(7, 8)).hasProperty(QTextFormat::BackgroundBrush));

    // Editable again, with undo.
    QTextCursor c(doc);
    c.movePosition(QTextCursor::End);
    c.insertText(QStringLiteral(" note"));
    EXPECT_TRUE(doc->isUndoAvailable());
}

TEST(MonitorView, RangeOverALineBreakGoesOnOnTheNextLine)
{
    ViewRig rig;
    rig.view.showTable(table(5, 1), {{at(1, 13), 6, kRed, false}});   // "01", CR LF, "LI"
    rig.view.finishLiveTable();
    QTextDocument *doc = rig.view.document();
    EXPECT_FALSE(formatAt(doc, qtAt(1, 12)).hasProperty(QTextFormat::ForegroundBrush));
    EXPECT_EQ(formatAt(doc, qtAt(1, 13)).foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(formatAt(doc, qtAt(1, 14)).foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(formatAt(doc, qtAt(2, 0)).foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(formatAt(doc, qtAt(2, 1)).foreground().color(), QColor(255, 0, 0));
    EXPECT_FALSE(formatAt(doc, qtAt(2, 2)).hasProperty(QTextFormat::ForegroundBrush));
}

TEST(MonitorView, LaterRangeWinsAndTextColourAndBackgroundCombine)
{
    ViewRig rig;
    rig.view.showTable(table(3, 1), {{at(1, 0), 8, kRed, false},
                                     {at(1, 4), 4, kBlue, false},
                                     {at(1, 2), 4, kPink, true}});
    rig.view.finishLiveTable();
    QTextDocument *doc = rig.view.document();
    EXPECT_EQ(formatAt(doc, qtAt(1, 1)).foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(formatAt(doc, qtAt(1, 3)).foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(formatAt(doc, qtAt(1, 3)).background().color(), QColor(0xFF, 0xD3, 0xF8));
    EXPECT_EQ(formatAt(doc, qtAt(1, 5)).foreground().color(), QColor(0, 0, 255));
    EXPECT_EQ(formatAt(doc, qtAt(1, 5)).background().color(), QColor(0xFF, 0xD3, 0xF8));
    EXPECT_EQ(formatAt(doc, qtAt(1, 7)).foreground().color(), QColor(0, 0, 255));
    EXPECT_FALSE(formatAt(doc, qtAt(1, 7)).hasProperty(QTextFormat::BackgroundBrush));
}

TEST(MonitorView, ColoursAreDrawnDuringTheRun)
{
    ViewRig rig;
    rig.view.showTable(table(10, 1), {{at(2, 10), 5, kRed, false}, {at(4, 0), 4, kPink, true}});
    const QImage img = rig.image();
    EXPECT_GT(ViewRig::countPixels(img, rig.cells(qtAt(2, 10), 5), reddish), 5);
    EXPECT_EQ(ViewRig::countPixels(img, rig.cells(qtAt(3, 10), 5), reddish), 0);
    EXPECT_EQ(ViewRig::countPixels(img, rig.cells(qtAt(2, 0), 8), reddish), 0);
    const QRect marker = rig.cells(qtAt(4, 0), 4);
    const int pink = ViewRig::countPixels(img, marker, [](QColor c) {
        return c == QColor(0xFF, 0xD3, 0xF8);
    });
    EXPECT_GT(pink, marker.width() * marker.height() / 3);

    // A fade step without a text change shows at the next paint.
    rig.view.showTable(table(10, 1), {{at(2, 10), 5, kBlue, false}});
    const QImage next = rig.image();
    EXPECT_EQ(ViewRig::countPixels(next, rig.cells(qtAt(2, 10), 5), reddish), 0);
    EXPECT_GT(ViewRig::countPixels(next, rig.cells(qtAt(2, 10), 5),
                                   [](QColor c) { return c.blue() > 150 && c.red() < 110; }),
              5);
}

TEST(MonitorView, VisibleLinesAreCurrentAfterEveryTable)
{
    ViewRig rig(200);
    rig.view.showTable(table(300, 1), {});
    rig.view.verticalScrollBar()->setValue(rig.view.verticalScrollBar()->maximum() / 2);
    QCoreApplication::processEvents();
    rig.view.showTable(table(300, 2), {});
    const QTextCursor top = rig.view.cursorForPosition(QPoint(5, 5));
    const QTextCursor bottom = rig.view.cursorForPosition(QPoint(5, rig.view.viewport()->height() - 5));
    const QStringList want = plain(table(300, 2)).split(QLatin1Char('\n'));
    for (QTextBlock b = top.block(); b.isValid() && b.blockNumber() <= bottom.blockNumber(); b = b.next())
        EXPECT_EQ(b.text(), want[b.blockNumber()]);
}

TEST(MonitorView, ScrollPositionAndSelectionSurviveTheTicks)
{
    ViewRig rig(200);
    rig.view.showTable(table(300, 1), {});
    QScrollBar *bar = rig.view.verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    QCoreApplication::processEvents();
    const int scrolled = bar->value();
    const int line = rig.view.cursorForPosition(QPoint(5, 30)).blockNumber();
    QTextCursor sel(rig.view.document());
    sel.setPosition(qtAt(line, 0));
    sel.setPosition(qtAt(line + 1, 8), QTextCursor::KeepAnchor);   // "LINE nnn" of two lines
    rig.view.setTextCursor(sel);
    for (int v = 2; v < 6; ++v) {
        rig.view.showTable(table(300, v), {{at(line, 10), 5, kRed, false}});
        QCoreApplication::processEvents();
        EXPECT_EQ(bar->value(), scrolled);
        EXPECT_EQ(rig.view.textCursor().selectionStart(), qtAt(line, 0));
        EXPECT_EQ(rig.view.textCursor().selectionEnd(), qtAt(line + 1, 8));
    }
    EXPECT_EQ(rig.view.textCursor().selectedText(),
              QStringLiteral("LINE %1  %2").arg(line, 3, 10, QLatin1Char('0')).arg(5000 + line, 5, 10, QLatin1Char('0'))
                  + QChar(QChar::ParagraphSeparator)
                  + QStringLiteral("LINE %1").arg(line + 1, 3, 10, QLatin1Char('0')));
}

TEST(MonitorView, CopyDuringTheRunHasTheWholeCurrentTable)
{
    ViewRig rig(150);
    rig.view.showTable(table(400, 1), {});
    const QString now = table(400, 2);
    rig.view.showTable(now, {{at(390, 10), 5, kRed, false}});
    rig.view.selectAll();
    rig.view.copy();
    const QMimeData *clip = QApplication::clipboard()->mimeData();
    ASSERT_NE(clip, nullptr);
    EXPECT_EQ(clip->text(), plain(now));
    // The rich copy carries the colour of a line that was never in view.
    EXPECT_TRUE(clip->html().contains(QLatin1String("#ff0000"), Qt::CaseInsensitive));
    EXPECT_TRUE(rig.view.isLive());
}

TEST(MonitorView, LinesScrolledIntoViewAreBroughtUpToDate)
{
    ViewRig rig(150);
    rig.view.showTable(table(400, 1), {});
    rig.view.showTable(table(400, 2), {{at(395, 10), 5, kRed, false}});
    rig.view.verticalScrollBar()->setValue(rig.view.verticalScrollBar()->maximum());
    const QImage img = rig.image();
    EXPECT_EQ(rig.view.document()->findBlockByNumber(395).text(),
              QStringLiteral("LINE 395  02395"));
    EXPECT_GT(ViewRig::countPixels(img, rig.cells(qtAt(395, 10), 5), reddish), 5);
}

TEST(MonitorView, EndsTheTableByItselfWhenTheTicksStop)
{
    ViewRig rig;
    rig.view.showTable(table(5, 1), {{at(1, 0), 4, kRed, false}});
    EXPECT_TRUE(rig.view.isLive());
    EXPECT_TRUE(waitUntil([&] { return !rig.view.isLive(); }, 3000));
    EXPECT_EQ(formatAt(rig.view.document(), qtAt(1, 0)).foreground().color(), QColor(255, 0, 0));
}

TEST(MonitorView, NextRunStartsFromTheTableThatWasLeft)
{
    ViewRig rig;
    rig.view.showTable(table(6, 1), {{at(1, 0), 4, kRed, false}, {at(2, 0), 4, kRed, false}});
    rig.view.finishLiveTable();
    rig.view.showTable(table(6, 1), {{at(2, 0), 4, kRed, false}});   // line 1 lost its colour
    rig.view.showTable(table(4, 2), {{at(2, 0), 4, kBlue, false}});
    rig.view.finishLiveTable();
    QTextDocument *doc = rig.view.document();
    EXPECT_EQ(rig.view.toPlainText(), plain(table(4, 2)));
    EXPECT_FALSE(formatAt(doc, qtAt(1, 0)).hasProperty(QTextFormat::ForegroundBrush));
    EXPECT_EQ(formatAt(doc, qtAt(2, 0)).foreground().color(), QColor(0, 0, 255));
}

TEST(MonitorView, ANotebookChangedBetweenRunsIsReplaced)
{
    ViewRig rig;
    rig.view.showTable(table(6, 1), {});
    rig.view.finishLiveTable();
    rig.view.setHtml(QStringLiteral("<p align=center><b>notes</b></p><table><tr><td>x</td></tr></table>"));
    rig.view.showTable(table(3, 2), {{at(0, 0), 4, kRed, false}});
    rig.view.finishLiveTable();
    EXPECT_EQ(rig.view.toPlainText(), plain(table(3, 2)));
    EXPECT_EQ(rig.view.document()->blockCount(), 3);
    EXPECT_FALSE(formatAt(rig.view.document(), qtAt(1, 0)).hasProperty(QTextFormat::FontWeight));
}

TEST(MonitorView, ChangeBehindTheTablesBackDuringTheRun)
{
    ViewRig rig;
    rig.view.showTable(table(8, 1), {{at(1, 0), 4, kRed, false}});
    rig.view.clear();
    rig.view.showTable(table(8, 2), {{at(2, 0), 4, kRed, false}});
    rig.view.finishLiveTable();
    EXPECT_EQ(rig.view.toPlainText(), plain(table(8, 2)));
    EXPECT_EQ(formatAt(rig.view.document(), qtAt(2, 0)).foreground().color(), QColor(255, 0, 0));
}

TEST(MonitorView, LinesComeAndGo)
{
    ViewRig rig(120);
    const QString tables[] = {table(3, 1), table(50, 2), table(10, 3, 5), table(60, 4),
                              table(1, 5), QString(), table(30, 6)};
    for (const QString &t : tables) {
        rig.view.showTable(t, {{at(0, 0), 2, kRed, false}});
        QCoreApplication::processEvents();
    }
    rig.view.finishLiveTable();
    EXPECT_EQ(rig.view.toPlainText(), plain(table(30, 6)));
    EXPECT_EQ(rig.view.document()->blockCount(), 30);
}

TEST(MonitorView, StrayLineBreaksInALineShowAsSpaces)
{
    ViewRig rig;
    const QString text = QStringLiteral("a\nb\rc") + QChar(0x2029) + QStringLiteral("d\r\nsecond");
    rig.view.showTable(text, {{6, 2, kRed, false}});
    rig.view.finishLiveTable();
    EXPECT_EQ(rig.view.document()->blockCount(), 2);
    EXPECT_EQ(rig.view.toPlainText(), QStringLiteral("a b c d\nsecond"));
    EXPECT_EQ(formatAt(rig.view.document(), 0).foreground().style(), Qt::NoBrush);
}

TEST(MonitorView, RangesOutsideTheTextAreIgnored)
{
    ViewRig rig;
    rig.view.showTable(table(3, 1), {{-10, 5, kRed, false},
                                     {at(0, 0), 0, kRed, false},
                                     {at(0, 0), -4, kRed, false},
                                     {at(2, 10), 1000, kRed, false},
                                     {100000, 10, kRed, false},
                                     {2147483600, 2147483600, kRed, false}});
    rig.view.finishLiveTable();
    EXPECT_EQ(rig.view.toPlainText(), plain(table(3, 1)));
    EXPECT_EQ(formatAt(rig.view.document(), qtAt(2, 14)).foreground().color(), QColor(255, 0, 0));
    EXPECT_FALSE(formatAt(rig.view.document(), qtAt(2, 9)).hasProperty(QTextFormat::ForegroundBrush));
}

TEST(MonitorView, HiddenViewKeepsTheWholeDocumentCurrent)
{
    ViewRig rig(150, false);
    rig.view.showTable(table(200, 1), {});
    rig.view.showTable(table(200, 2), {});
    EXPECT_EQ(rig.view.toPlainText(), plain(table(200, 2)));
}

TEST(MonitorView, TypingIntoALiveTableMakesItANotebookFirst)
{
    ViewRig rig;
    rig.view.showTable(table(4, 1), {{at(0, 0), 4, kRed, false}});
    QTextCursor c(rig.view.document());
    c.movePosition(QTextCursor::End);
    rig.view.setTextCursor(c);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    QApplication::sendEvent(&rig.view, &key);
    EXPECT_FALSE(rig.view.isLive());
    EXPECT_TRUE(rig.view.toPlainText().endsWith(QLatin1String("01003x")));
    EXPECT_EQ(formatAt(rig.view.document(), 0).foreground().color(), QColor(255, 0, 0));
    EXPECT_TRUE(rig.view.document()->isUndoAvailable());
}

TEST(MonitorView, MonitorTicksDrawnIntoTheView)
{
    ViewRig view;
    MonitorRig rig(&view.view);
    rig.device.t_DataChangeColorTime = LiveMonitor::kInterval;
    rig.frame(0x123, 8, 1000, {1, 2, 3, 4, 5, 6, 7, 8});
    rig.tick();
    rig.frame(0x123, 8, 1100, {1, 2, 3, 4, 5, 6, 7, 9});
    rig.tick();
    view.view.finishLiveTable();
    const QStringList lines = view.view.toPlainText().split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[2], QStringLiteral("123  8   01 02 03 04 05 06 07 09   100ms"));
    const int line2 = view.view.document()->findBlockByNumber(2).position();
    QTextDocument *doc = view.view.document();
    EXPECT_EQ(formatAt(doc, line2 + 30).foreground().color(), QColor(255, 0, 0));   // "09"
    EXPECT_EQ(formatAt(doc, line2 + 31).foreground().color(), QColor(255, 0, 0));
    EXPECT_FALSE(formatAt(doc, line2 + 27).hasProperty(QTextFormat::ForegroundBrush));
    EXPECT_EQ(formatAt(doc, line2 + 35).foreground().color(), QColor(255, 0, 0));   // "100ms"
    EXPECT_EQ(formatAt(doc, line2 + 39).foreground().color(), QColor(255, 0, 0));
    EXPECT_FALSE(formatAt(doc, line2 + 34).hasProperty(QTextFormat::ForegroundBrush));
}

// With a budget the lines in view come up a slice per turn of the event loop; whatever the
// slicing, the lines end as the table says, and dropping the budget finishes them at once.
TEST(MonitorView, ABudgetSpreadsTheLinesOverTurnsAndEndsCurrent)
{
    ViewRig rig(400);
    rig.view.showTable(table(200, 1), {});
    rig.view.setSyncBudgetMs(1e-6);   // one step of lines per turn
    rig.view.showTable(table(200, 2), {{at(1, 10), 5, kRed, false}});
    ASSERT_TRUE(rig.view.syncPending());
    const QTextCursor bottom = rig.view.cursorForPosition(QPoint(5, rig.view.viewport()->height() - 5));
    const int lastVisible = bottom.block().blockNumber();
    ASSERT_GT(lastVisible, 8);
    const QStringList want = plain(table(200, 2)).split(QLatin1Char('\n'));
    EXPECT_NE(rig.view.document()->findBlockByNumber(lastVisible).text(), want[lastVisible]);

    int turns = 0;
    while (rig.view.syncPending() && turns < 1000) {
        QCoreApplication::processEvents();
        ++turns;
    }
    EXPECT_GT(turns, 1);
    for (int n = 0; n <= lastVisible; ++n)
        EXPECT_EQ(rig.view.document()->findBlockByNumber(n).text(), want[n]) << "line " << n;

    rig.view.showTable(table(200, 3), {});
    ASSERT_TRUE(rig.view.syncPending());
    rig.view.setSyncBudgetMs(0);
    EXPECT_FALSE(rig.view.syncPending());
    const QStringList want3 = plain(table(200, 3)).split(QLatin1Char('\n'));
    for (int n = 0; n <= lastVisible; ++n)
        EXPECT_EQ(rig.view.document()->findBlockByNumber(n).text(), want3[n]) << "line " << n;

    // The end of the run brings every line, pending or not, and forgets the slices.
    rig.view.setSyncBudgetMs(1e-6);
    rig.view.showTable(table(200, 4), {});
    rig.view.finishLiveTable();
    EXPECT_FALSE(rig.view.syncPending());
    EXPECT_EQ(rig.view.toPlainText(), plain(table(200, 4)));
}

// Pasting into the view keeps text, text colours and markers; an image of a device file
// is neither read nor kept.
TEST(MonitorView, PasteKeepsOnlyTextAndColours)
{
    MonitorView view;
    auto *mime = new QMimeData;
    mime->setHtml("<p><img src=\"/dev/zero\"><span style=\"color:#ff0000;\">red</span>"
                  "<table><tr><td style=\"background-color:#ffff00;\">cell</td></tr></table></p>");
    QApplication::clipboard()->setMimeData(mime);
    view.paste();
    EXPECT_EQ(view.toPlainText(), "red\ncell\n");
    EXPECT_FALSE(view.toHtml().contains("<img"));
    EXPECT_FALSE(view.toHtml().contains("<table"));
    QTextCursor probe(view.document());
    probe.setPosition(1);
    EXPECT_EQ(probe.charFormat().foreground().color(), QColor(255, 0, 0));
}
