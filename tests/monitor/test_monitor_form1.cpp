#include "Form1.h"
#include "TestHelpers.h"
#include "Vexa100.h"

#include <QLineEdit>
#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace {

void frame(Form1 &w, int id, double stamp, std::array<uint8_t, 8> bytes)
{
    w.rxData().updateFrame(int16_t(id), 8, vexa::vx_timeGetTime(), Currency::fromDouble(stamp),
                           bytes.data());
}

} // namespace

TEST(MonitorInMainWindow, TickDrawsTheTableAndTheStatusLineAndKeepsItsTimerRunning)
{
    Form1 w;
    w.show();
    w.RxFlag = 1;
    w.CanPlay.PlayMode = 2;
    frame(w, 0x1A0, 1000, {1, 2, 3, 4, 5, 6, 7, 8});
    frame(w, 0x1A0, 1100, {1, 2, 3, 4, 5, 6, 7, 8});
    w.setTimerBattReadEnabled(true);
    w.TimerBattRead_Timer();
    EXPECT_TRUE(w.timerBattReadEnabled());
    EXPECT_TRUE(w.statusText(0).startsWith(QStringLiteral("●録画中　")));
    EXPECT_EQ(w.mainView()->document()->findBlockByNumber(2).text(),
              QStringLiteral("1A0  8   01 02 03 04 05 06 07 08   100ms"));

    w.RxFlag = 0;
    w.TimerBattRead_Timer();
    EXPECT_FALSE(w.timerBattReadEnabled());

    // Once the ticks stop the table is a notebook with its colours.
    auto *view = static_cast<MonitorView *>(w.mainView());
    EXPECT_TRUE(waitUntil([&] { return !view->isLive(); }, 3000));
    QTextCursor c(w.mainView()->document());
    c.setPosition(w.mainView()->document()->findBlockByNumber(2).position() + 36);
    EXPECT_EQ(c.charFormat().foreground().color(), QColor(255, 0, 0));   // "100ms"
    EXPECT_TRUE(w.mainView()->document()->isUndoRedoEnabled());
}

TEST(MonitorInMainWindow, PlaybackTickHandsThePreloadOnAndShowsTheComment)
{
    Form1 w;
    w.RxFlag = 1;
    w.CanPlay.PlayMode = 1;
    w.CanPlay.Resuest_Timer_File_REC_Play_Enabled = 1;
    w.device.t_LogComment = QStringLiteral("再生テスト");
    w.TimerBattRead_Timer();
    EXPECT_EQ(w.CanPlay.Resuest_Timer_File_REC_Play_Enabled, 0);
    EXPECT_TRUE(w.timerFileRecPlayEnabled());
    EXPECT_EQ(w.findChild<QLineEdit *>(QStringLiteral("TB_Comment"))->text(),
              QStringLiteral("再生テスト"));
    EXPECT_EQ(w.statusText(0), QStringLiteral("＞再生中 0[s] ： 0/0[s]"));
    w.RxFlag = 0;
    w.setTimerFileRecPlayEnabled(false);
}
