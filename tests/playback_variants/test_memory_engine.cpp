// The memory engine: loading before the bus check, slots in turn, and the main window's
// status line for it.
#include "BrowseFileOrFolder.h"
#include "CAN_PlayDB_Multi_MM.h"
#include "VariantRun.h"
#include "WindowRun.h"
#include "free_port.h"

#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <set>

using namespace playtest;

namespace {

// One frame per file, 10 ms apart; the first file (with a second frame) and the last one
// last 150 ms, so the 33 ms monitor tick draws them.
std::vector<RecordFrame> oneFrameFile(int i)
{
    if (i == 0)
        return {frame(0x100, 0, 2, {0, 0}), frame(0x0FF, 150, 1, {0xFF})};
    const double t = 150 + 10.0 * i + (i >= 199 ? 150 : 0);
    return {frame(0x100 + i, t, 2, {uint8_t(i), uint8_t(i >> 8)})};
}

} // namespace

TEST(MemoryEngine, ArrayClearSetsUpToTheUpperIndexAndNoFurther)
{
    std::array<int32_t, 5> a{1, 2, 3, 4, 5};
    CAN_PlayDB_Multi_MM::Arayy_ALL_Clear_zero_long(2, 7, a);
    EXPECT_EQ(a, (std::array<int32_t, 5>{7, 7, 7, 4, 5}));
    CAN_PlayDB_Multi_MM::Arayy_ALL_Clear_zero_long(99, 0, a);   // clamped to the array
    EXPECT_EQ(a, (std::array<int32_t, 5>{}));
    CAN_PlayDB_Multi_MM::Arayy_ALL_Clear_zero_long(-1, 9, a);
    EXPECT_EQ(a, (std::array<int32_t, 5>{}));
}

// 250 playable files: the first 200 names of the listing play, counted 1/200 … 200/200.
TEST_F(PlaybackWindow, MemoryModePlaysTheFirst200ListedFilesAndCountsThemInTheStatusLine)
{
    const int port = freeTestPort();
    const auto listed = writeListedFolder(files.path(), 250, oneFrameFile);
    ASSERT_EQ(listed.size(), 250u);
    Listener listener;
    ASSERT_TRUE(listener.start(port));
    ASSERT_TRUE(bringUp(port, 1));
    setBrowseFileOrFolderForTesting([&](QWidget *) { return files.path(); });
    click("Bt_OpenPlayFile");
    ASSERT_EQ(w->CanPlay.t_RecPlay_FileType, 2);
    w->device.t_MM_Mode = 1;
    std::set<QString> lines;
    ASSERT_TRUE(play([&] { lines.insert(w->statusText(1)); }, 60000));

    const std::vector<Seen> seen = listener.stop();
    ASSERT_EQ(seen.size(), 201u);
    EXPECT_EQ(seen[0].id, 0x100u);
    EXPECT_EQ(seen[1].id, 0x0FFu);
    for (size_t i = 1; i < 200; ++i)
        ASSERT_EQ(seen[i + 1].id, 0x100u + i) << "listed file " << i;
    EXPECT_EQ(w->CanPlay.FolderPlayMode_FN_Count, 200);
    QStringList all;
    for (const QString &line : lines)
        all << line;
    EXPECT_TRUE(lines.count(QStringLiteral("メモリ再生 　Msg:1 　File:1/200")))
        << all.join('|').toStdString();
    EXPECT_TRUE(lines.count(QStringLiteral("メモリ再生 　Msg:0 　File:200/200"))) << "last file";
    for (const QString &line : lines) {
        if (line.isEmpty())
            continue;
        EXPECT_TRUE(line.startsWith(QStringLiteral("メモリ再生 　Msg:"))
                    && line.endsWith(QStringLiteral("/200")))
            << line.toStdString();
    }
}

// Three files, one of another program: two slots, played in turn and again with repeat,
// each taking its file's comment as it starts.
TEST(MemoryEngine, LeftOutFilesDoNotCountAndEachSlotBringsItsComment)
{
    const int port = freeTestPort();
    QTemporaryDir dir;
    const auto listed = writeListedFolder(dir.path(), 2, [](int i) {
        // Gaps of 150 ms, below the skip threshold.
        return std::vector<RecordFrame>{frame(0x300 + i, 300.0 * i, 1, {uint8_t(i)}),
                                        frame(0x310 + i, 300.0 * i + 150, 1, {uint8_t(i)})};
    });
    ASSERT_EQ(listed.size(), 2u);
    {
        ELM327_Info other;
        FrameBuffer b;
        b[0] = frame(0x7AA, 0, 1, {1});
        RecordTrailer t = RecordTrailer::fromParams(other);
        t.product = QStringLiteral("別の製品");
        ASSERT_TRUE(writeAll(dir.filePath("foreign.dat"), encodeRecordFile(b, t)));
    }
    Listener listener;
    ASSERT_TRUE(listener.start(port));
    EngineRun run(port);
    run.params.t_MM_Mode = 1;
    run.params.t_SkipTimeON = 1;
    run.params.t_SkipTime_Value = 300;
    run.params.t_LogComment = QStringLiteral("前のコメント");
    run.play.t_RecPlay_PlayMode_Repeat = 1;
    run.targetFolder(dir.path());
    std::vector<std::pair<QString, QString>> seenSlots;   // "k/n", comment
    run.host.onTick = [&] {
        const QString slot = QStringLiteral("%1/%2").arg(run.play.FolderPlayMode_FN_Count_Now + 1)
                                 .arg(run.play.FolderPlayMode_FN_Count);
        if (seenSlots.empty() || seenSlots.back().first != slot)
            seenSlots.emplace_back(slot, run.params.t_LogComment);
        if (seenSlots.size() >= 3)
            run.host.RxFlag = 0;
    };
    ASSERT_TRUE(run.run());
    std::vector<Seen> seen = listener.stop();
    ASSERT_GE(seenSlots.size(), 3u);
    EXPECT_EQ(seenSlots[0], std::make_pair(QStringLiteral("1/2"), QStringLiteral("前のコメント")));
    EXPECT_EQ(seenSlots[1], std::make_pair(QStringLiteral("2/2"), QStringLiteral("コメント1")));
    EXPECT_EQ(seenSlots[2], std::make_pair(QStringLiteral("1/2"), QStringLiteral("コメント0")));
    ASSERT_GE(seen.size(), 5u);
    const std::vector<uint32_t> first = {seen[0].id, seen[1].id, seen[2].id, seen[3].id, seen[4].id};
    EXPECT_EQ(first, (std::vector<uint32_t>{0x300, 0x310, 0x301, 0x311, 0x300}));
    for (const Seen &s : seen)
        EXPECT_NE(s.id, 0x7AAu);
    // Slot 0 follows the last slot at once when a cycle restarts.
    EXPECT_LT(seen[4].ms - seen[3].ms, 60);
}

TEST(MemoryEngine, DisconnectWhileFilesAreLoadingEndsTheRunWithoutSending)
{
    const int port = freeTestPort();
    QTemporaryDir dir;
    const auto listed = writeListedFolder(dir.path(), 120, oneFrameFile);
    ASSERT_EQ(listed.size(), 120u);
    Listener listener;
    ASSERT_TRUE(listener.start(port));
    EngineRun run(port);
    run.params.t_MM_Mode = 1;
    run.targetFolder(dir.path());
    QTimer hand;
    hand.setInterval(0);
    int loadedWhenStopped = -1;
    QObject::connect(&hand, &QTimer::timeout, [&] {
        // The loop counts listed files as it goes; the list is complete by then.
        if (run.host.RxFlag == 1 && run.play.FolderPlayMode_FN_Count == 120
            && run.play.FolderPlayMode_FN_Count_Now >= 5) {
            loadedWhenStopped = run.play.FolderPlayMode_FN_Count_Now;
            run.host.RxFlag = 0;   // Disconnect
        }
    });
    hand.start();
    ASSERT_TRUE(run.run());
    hand.stop();
    EXPECT_TRUE(listener.stop().empty());
    ASSERT_GE(loadedWhenStopped, 5);
    EXPECT_LT(run.play.FolderPlayMode_FN_Count, 120) << "only the files loaded so far count";
    EXPECT_FALSE(run.host.statusLog.contains(QStringLiteral("CANバスのチェック中")));
    EXPECT_FALSE(run.host.timerBattReadEnabled());
}
