#include "Form1.h"
#include "Paths.h"
#include "RtfWriter.h"
#include "TestHelpers.h"
#include "HookGuard.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QImage>
#include <QMenu>
#include <QMimeData>
#include <QTextCursor>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <functional>

namespace {
QDateTime at(int y, int mo, int d, int h, int mi)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi));
}

QAction *action(Form1 &w, const char *name)
{
    return w.findChild<QAction *>(QLatin1String(name));
}
} // namespace

TEST(Form1View, DateStampIsJapaneseWithWeekday)
{
    EXPECT_EQ(Form1::dateStampText(at(2026, 12, 7, 4, 5)),
              QString::fromUtf8("2026年12月07日(月) 04:05 "));
    EXPECT_EQ(Form1::dateStampText(at(2015, 6, 14, 23, 59)),
              QString::fromUtf8("2015年06月14日(日) 23:59 "));
}

TEST(Form1View, SnapshotTakesTheNextFreeNumberOfTheHour)
{
    QTemporaryDir folder;
    Form1 w;
    MessageRecorder messages;
    HookGuard clock(&Form1::setViewClockForTesting,
                    std::function<QDateTime()>([] { return at(2015, 6, 13, 14, 30); }));
    w.device.t_SaveFilePath_mode = 2;
    w.device.t_SaveFilePath = folder.path();
    writeAll(folder.path() + "/MC15061314-001.rtf", "x");
    writeAll(folder.path() + "/MC15061314-002.rtf", "x");
    w.mainView()->setPlainText(QString::fromUtf8("7DF  8  02 01 0C"));
    QTextCursor c(w.mainView()->document());
    c.setPosition(8);
    c.setPosition(10, QTextCursor::KeepAnchor);
    QTextCharFormat red;
    red.setForeground(QColor(255, 0, 0));
    red.setBackground(QColor(255, 250, 163));
    c.mergeCharFormat(red);

    w.Bt_SaveFile_Click();
    const QString made = folder.path() + "/MC15061314-003.rtf";
    ASSERT_TRUE(QFile::exists(made));
    EXPECT_EQ(messages.texts(), QStringList{QString::fromUtf8("保存しました")});
    const QByteArray rtf = readAll(made);
    EXPECT_TRUE(rtf.startsWith("{\\rtf1"));
    EXPECT_TRUE(rtf.contains("\\red255\\green0\\blue0;"));
    EXPECT_TRUE(rtf.contains("\\highlight2\\chcbpat2"));
    EXPECT_TRUE(rtf.contains("{\\cf1\\highlight2\\chcbpat2 02}"));

    w.device.t_SaveFormat = 2;
    w.Bt_SaveFile_Click();
    EXPECT_EQ(readAll(folder.path() + "/MC15061314-001.txt"), QByteArray("7DF  8  02 01 0C"));
}

TEST(Form1View, SnapshotRefusesWhenTheHourIsFull)
{
    QTemporaryDir folder;
    Form1 w;
    MessageRecorder messages;
    HookGuard clock(&Form1::setViewClockForTesting,
                    std::function<QDateTime()>([] { return at(2026, 1, 2, 3, 4); }));
    w.device.t_SaveFilePath_mode = 2;
    w.device.t_SaveFilePath = folder.path();
    for (int i = 1; i <= 999; ++i)
        writeAll(folder.path() + QString("/MC26010203-%1.rtf").arg(i, 3, 10, QChar('0')), "");
    const int before = int(QDir(folder.path()).entryList(QDir::Files).size());
    w.Bt_SaveFile_Click();
    EXPECT_EQ(messages.texts(), QStringList{QString::fromUtf8("ファイルがいっぱいです")});
    EXPECT_EQ(messages.messages[0].icon, MsgIcon::Critical);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), before);
}

TEST(Form1View, RtfEscapesJapaneseAsUnicode)
{
    QTextDocument doc;
    doc.setPlainText(QString::fromUtf8("受{a}\\"));
    const QByteArray rtf = documentToRtf(doc);
    EXPECT_TRUE(rtf.contains("\\u21463?\\{a\\}\\\\")) << rtf.constData();
}

TEST(Form1View, MenuStatesFollowTheSelection)
{
    Form1 w;
    QApplication::clipboard()->clear();
    w.mainView()->setPlainText("abc");
    QTextCursor c(w.mainView()->document());
    c.setPosition(0);
    c.setPosition(2, QTextCursor::KeepAnchor);
    w.mainView()->setTextCursor(c);
    EXPECT_TRUE(action(w, "menu_View_Ctrl_C")->isEnabled());
    EXPECT_TRUE(action(w, "menu_View_Marker_Pink")->isEnabled());
    EXPECT_FALSE(action(w, "menu_View_Date")->isEnabled());
    action(w, "menu_View_Text_Red")->trigger();
    EXPECT_EQ(w.mainView()->textCursor().charFormat().foreground().color(), QColor(255, 0, 0));

    c.clearSelection();
    w.mainView()->setTextCursor(c);
    EXPECT_FALSE(action(w, "menu_View_Ctrl_C")->isEnabled());
    EXPECT_TRUE(action(w, "menu_View_All_Copy")->isEnabled());
    EXPECT_TRUE(action(w, "menu_View_Date")->isEnabled());
    EXPECT_FALSE(action(w, "menu_View_Ctrl_V")->isEnabled()) << "the clipboard is empty";

    // Pasting with nothing on the clipboard changes nothing.
    action(w, "menu_View_Ctrl_V")->trigger();
    EXPECT_EQ(w.mainView()->toPlainText(), "abc");
}

// Paste is offered when the clipboard holds text; rich text that comes with it is pasted
// formatted. An image, also one with markup that only refers to it, is not offered.
struct ClipRow
{
    const char *name;
    std::function<void(QMimeData &)> fill;
    bool offered;
    const char *after;   // the view's text after Paste over "abc" with the cursor at 3
};

void PrintTo(const ClipRow &row, std::ostream *os)
{
    *os << row.name;
}

class Form1Paste : public ::testing::TestWithParam<ClipRow>
{
};

TEST_P(Form1Paste, FollowsWhatTheClipboardHolds)
{
    const ClipRow &row = GetParam();
    Form1 w;
    auto *data = new QMimeData;
    row.fill(*data);
    QApplication::clipboard()->setMimeData(data);
    w.mainView()->setPlainText("abc");
    QTextCursor c(w.mainView()->document());
    c.setPosition(3);
    w.mainView()->setTextCursor(c);
    w.findChild<QMenu *>("menu_View")->aboutToShow();
    EXPECT_EQ(action(w, "menu_View_Ctrl_V")->isEnabled(), row.offered);
    action(w, "menu_View_Ctrl_V")->trigger();
    EXPECT_EQ(w.mainView()->toPlainText(), QString::fromUtf8(row.after));
    QApplication::clipboard()->clear();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Form1Paste,
    ::testing::Values(
        ClipRow{"ImageOnly", [](QMimeData &d) { d.setImageData(QImage(4, 4, QImage::Format_RGB32)); },
                false, "abc"},
        // A browser's copy of an image: the picture and markup that only refers to it.
        ClipRow{"ImageWithItsMarkup",
                [](QMimeData &d) {
                    d.setImageData(QImage(4, 4, QImage::Format_RGB32));
                    d.setHtml("<img src=\"https://example.org/x.png\">");
                },
                false, "abc"},
        ClipRow{"PlainText", [](QMimeData &d) { d.setText("xyz"); }, true, "abcxyz"},
        ClipRow{"RichTextWithText",
                [](QMimeData &d) {
                    d.setHtml("<b>xyz</b>");
                    d.setText("xyz");
                },
                true, "abcxyz"}),
    [](const auto &info) { return std::string(info.param.name); });
