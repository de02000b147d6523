// Whole record runs from the main window's buttons: the simulator sends known frames on a
// private virtual bus, Bt_Rec records them, Bt_Disconnect stops, and the record files are
// read back byte by byte.
#include "RecordWindow.h"
#include "free_port.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

using namespace rectest;

namespace {

constexpr int kFrames = 45000;   // two full files and 4998 frames in a third
constexpr int kGapAt = 30000;    // a pause of 300 ms before this frame
constexpr double kGapMs = 300;

struct RunRow
{
    Vendor vendor;
    bool exclusion;
};

std::string rowName(const ::testing::TestParamInfo<RunRow> &info)
{
    return std::string(vendorName(info.param.vendor))
           + (info.param.exclusion ? "WithExclusion" : "Plain");
}

class RecordRun : public RecordWindow, public ::testing::WithParamInterface<RunRow>
{
};

TEST_P(RecordRun, FilesHoldExactlyTheFramesSent)
{
    const RunRow &row = GetParam();
    const int port = freeTestPort();
    ASSERT_TRUE(bringUp(row.vendor, port));
    if (row.exclusion) {
        w->device.t_DisableID_Rec_ON(0, 1);
        w->device.t_DisableID_Rec_Start(0, 0x100);
        w->device.t_DisableID_Rec_End(0, 0x1FF);
        // Switched off: must not drop anything although it covers everything.
        w->device.t_DisableID_Rec_ON(5, 0);
        w->device.t_DisableID_Rec_Start(5, 0x000);
        w->device.t_DisableID_Rec_End(5, 0x7FF);
    }
    setComment(QStringLiteral("ベンチ走行 2  "));
    std::vector<SentFrame> sent = sequence(kFrames, 0xC0FFEE + uint32_t(port));
    sent[kGapAt].delayMs = kGapMs;

    std::array<int, 8> statesDuring{};
    int modeDuring = -1;
    int multiDuring = -1;
    QString summaryDuring;
    bool lockedDuring = false;
    ASSERT_TRUE(recordSequence(sent, [&] {
        statesDuring = states();
        modeDuring = w->CanPlay.PlayMode;
        multiDuring = w->RecMultiFlag;
        summaryDuring = w->viewState().DisableID_Status_Buffer;
        lockedDuring = child<QLineEdit>("TB_Comment")->isReadOnly()
                       && child<QTextEdit>("RTB_MainView")->isReadOnly()
                       && !child<QAction>("menu_opt_log1")->isEnabled()
                       && !child<QComboBox>("Cmb_Serect_Device")->isEnabled();
    })) << messages.texts().join('|').toStdString();
    EXPECT_TRUE(messages.messages.empty()) << messages.texts().join('|').toStdString();

    // While recording.
    EXPECT_EQ(statesDuring, (std::array<int, 8>{0, 2, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(modeDuring, 2);
    EXPECT_EQ(multiDuring, row.exclusion ? 1 : 0);
    EXPECT_EQ(summaryDuring, row.exclusion
                                 ? QStringLiteral("\r\nメッセージ除外範囲 1： 100 ～ 1FF\r\n")
                                 : QString());
    EXPECT_TRUE(lockedDuring);

    // Back to idle.
    EXPECT_EQ(w->RxFlag, 0);
    EXPECT_EQ(w->CanPlay.PlayMode, 0);
    EXPECT_TRUE(w->viewState().DisableID_Status_Buffer.isEmpty());
    EXPECT_EQ(states(), (std::array<int, 8>{1, 1, 0, 0, 0, 0, 0, 1}));
    EXPECT_FALSE(child<QLineEdit>("TB_Comment")->isReadOnly());
    EXPECT_TRUE(child<QAction>("menu_opt_log1")->isEnabled());
    EXPECT_FALSE(monitorRunning());
    EXPECT_TRUE(status(0).isEmpty());
    EXPECT_TRUE(status(1).isEmpty());
    EXPECT_TRUE(child<QLineEdit>("TB_Protocol")->text().isEmpty());
    EXPECT_EQ(w->device.t_LogComment, QStringLiteral("ベンチ走行 2"));

    std::vector<FileFrame> expected;
    for (const SentFrame &f : sent) {
        if (!(row.exclusion && f.id >= 0x100 && f.id <= 0x1FF))
            expected.push_back(expectedSlot(f));
    }
    if (row.exclusion) {
        ASSERT_LT(expected.size(), sent.size());
    }

    const auto files = readRecordedFolder(records.path());
    const size_t fileCount = (expected.size() + kSlots - 1) / kSlots;
    ASSERT_EQ(files.size(), fileCount);
    size_t n = 0;
    double previous = 0;
    std::map<int32_t, double> lastTime;
    for (size_t k = 0; k < files.size(); ++k) {
        const RecordedFile &file = files[k];
        EXPECT_EQ(file.name, QStringLiteral("CR%1-%2.dat").arg(stamp()).arg(k + 1, 3, 10, QChar('0')));
        const size_t want = k + 1 < files.size() ? size_t(kSlots) : expected.size() - n;
        ASSERT_EQ(file.frames.size(), want) << file.name.toStdString();
        EXPECT_TRUE(file.restZero);
        EXPECT_EQ(file.size, 420021 + 8 + 15 + 12 + 25 + 12) << "trailer with the comment";
        EXPECT_EQ(file.trailer.value(3), QStringLiteral("ベンチ走行 2"));
        for (const FileFrame &got : file.frames) {
            FileFrame want = expected[n];
            want.time = got.time;
            ASSERT_EQ(got, want) << "frame " << n << " in " << file.name.toStdString();
            if (n == 0) {
                ASSERT_EQ(got.time, 0) << "the run's first frame";
            }
            ASSERT_GE(got.time, previous) << "frame " << n;
            ASSERT_EQ(got.time, std::floor(got.time)) << "whole milliseconds";
            lastTime[got.id] = got.time;
            previous = got.time;
            ++n;
        }
    }
    EXPECT_EQ(n, expected.size());
    EXPECT_EQ(w->recordElapsedMs(), previous);

    // The times follow the device's own stamps: the receive table keeps the stamp of each
    // identifier's last frame, and the run's first frame was the only one of its
    // identifier. Modulo the device's wrap the two must agree.
    const double wrap = row.vendor == Vendor::Canusb ? 60000 : 429491;
    const CAN_ReadDB &rx = w->rxData();
    const double first = rx.CAN11_ReceivedTime(int16_t(kFirstId)).toDouble();
    for (const auto &[id, elapsed] : lastTime) {
        const double stamp = rx.CAN11_ReceivedTime(int16_t(id)).toDouble();
        const double off = std::fmod(elapsed - (stamp - first) + 4 * wrap, wrap);
        ASSERT_EQ(off, 0) << "identifier " << std::hex << id;
    }
    EXPECT_GE(previous, kGapMs / 2) << "the pause is in the times";
}

INSTANTIATE_TEST_SUITE_P(Rows, RecordRun,
                         ::testing::Values(RunRow{Vendor::Canusb, false},
                                           RunRow{Vendor::Board, false},
                                           RunRow{Vendor::Canusb, true},
                                           RunRow{Vendor::Board, true}),
                         rowName);

// Frames with 29-bit identifiers above 0x7FF do not reach a record file.
TEST_F(RecordWindow, ExtendedIdentifiersAreNotRecorded)
{
    const int port = freeTestPort();
    ASSERT_TRUE(bringUp(Vendor::Board, port));
    std::vector<SentFrame> sent = {
        {0, 0x123, 2, {1, 2}},          {0, 0x800, 1, {9}}, {0, 0x1ABCDEF, 8, {1, 1, 1, 1, 1, 1, 1, 1}},
        {0, 0x7FE, 1, {3}},             {0, 0x7FF, 8, {0xE0, 0, 0, 0, 0, 0, 0, 0xE7}},
    };
    ASSERT_TRUE(recordSequence(sent));
    const auto files = readRecordedFolder(records.path());
    ASSERT_EQ(files.size(), 1u);
    std::vector<int32_t> ids;
    for (const FileFrame &f : files[0].frames)
        ids.push_back(f.id);
    EXPECT_EQ(ids, (std::vector<int32_t>{0x123, 0x7FE, 0x7FF}));
    EXPECT_EQ(w->rxData().CAN11_Received(0x800), 0);
}

TEST_F(RecordWindow, SavingSwitchedOffShowsTheMessageAndRecordsNothing)
{
    const int port = freeTestPort();
    ASSERT_TRUE(bringUp(Vendor::Canusb, port));
    w->device.t_LogSave_Enable = 0;
    child<QToolButton>("Bt_Rec")->click();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text,
              QStringLiteral("録画をする場合は、[ツール(T)] - [保存機能] の\r\n"
                             "[録画ファイルを保存する] を有効にしてください"));
    EXPECT_EQ(messages.messages[0].icon, MsgIcon::Critical);
    EXPECT_EQ(messages.messages[0].title, w->device.Application_title);
    EXPECT_EQ(w->RxFlag, 0);
    EXPECT_EQ(w->CanPlay.PlayMode, 0);
    EXPECT_EQ(states(), (std::array<int, 8>{1, 1, 0, 0, 0, 0, 0, 1}));
    EXPECT_FALSE(child<QLineEdit>("TB_Comment")->isReadOnly());
    EXPECT_TRUE(readRecordedFolder(records.path()).empty());
}

struct CommentRow
{
    std::string name;
    QString typed;
    QString stored;
};

class Comment : public RecordWindow, public ::testing::WithParamInterface<CommentRow>
{
};

TEST_P(Comment, TrailingSpacesGoThenCutTo50)
{
    ASSERT_TRUE(bringUp(Vendor::Canusb, freeTestPort()));
    setComment(GetParam().typed);
    ASSERT_TRUE(record({}, {}));
    EXPECT_EQ(w->device.t_LogComment, GetParam().stored);
}

const QString k50 = QString(50, QChar(u'あ'));

INSTANTIATE_TEST_SUITE_P(
    Rows, Comment,
    ::testing::Values(
        CommentRow{"TrailingSpaces", "run 1   ", "run 1"},
        CommentRow{"LeadingSpacesStay", "  run", "  run"},
        CommentRow{"FullWidthSpaceStays", "走行　", "走行　"},
        CommentRow{"Exactly50", k50, k50},
        CommentRow{"Over50", k50 + "いう", k50},
        // Trailing spaces go before the length is tested.
        CommentRow{"SpacesBeyond50", k50 + "     ", k50},
        CommentRow{"OnlySpaces", "     ", ""},
        // A character outside the basic plane is one character and is never halved.
        CommentRow{"SurrogatePairs", QString(49, QChar(u'x')) + QString::fromUtf8("😀😀"),
                   QString(49, QChar(u'x')) + QString::fromUtf8("😀")}),
    [](const ::testing::TestParamInfo<CommentRow> &info) { return info.param.name; });

struct FolderRow
{
    std::string name;
    QString comment;
    QString folder;   // where the file lands, relative to the record folder
};

class SubFolder : public RecordWindow, public ::testing::WithParamInterface<FolderRow>
{
};

// Whatever the comment, the run's sub-folder lies inside the record folder.
TEST_P(SubFolder, FilesLandInsideTheRecordFolder)
{
    ASSERT_TRUE(bringUp(Vendor::Canusb, freeTestPort()));
    const QString base = work.filePath("base");
    ASSERT_TRUE(QDir().mkpath(base));
    w->device.t_LogSaveFilePath = base;
    w->device.t_LogSave_subFolder = 1;
    setComment(GetParam().comment);
    ASSERT_TRUE(recordSequence({{0, 0x7FF, 8, {0xE0, 1, 2, 3, 4, 5, 6, 0xE7}}}));

    const QString expectedFolder =
        GetParam().folder.isEmpty() ? base : QDir(base).filePath(GetParam().folder);
    const auto files = readRecordedFolder(expectedFolder);
    ASSERT_EQ(files.size(), 1u) << expectedFolder.toStdString();
    EXPECT_EQ(files[0].frames.size(), 1u);
    // Nothing beside the record folder.
    EXPECT_EQ(QDir(work.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList({"base", "frames.txt"}));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SubFolder,
    ::testing::Values(FolderRow{"Dot", ".", "．"}, FolderRow{"DotDot", "..", "．．"},
                      FolderRow{"DotDotSlash", "../up", "．．／up"},
                      FolderRow{"OnlySpaces", "    ", ""},
                      FolderRow{"Forbidden", "a/b:c", "a／b：c"}),
    [](const ::testing::TestParamInfo<FolderRow> &info) { return info.param.name; });

// The record folder is the desktop and HOME is a plain file, so no file can be made: the
// run still records, says so while it runs and when it ends, and reports nothing as saved.
TEST_F(RecordWindow, UnsavedFramesAreReportedAtTheEnd)
{
    const int port = freeTestPort();
    ASSERT_TRUE(bringUp(Vendor::Board, port));
    const QString home = work.filePath("home");
    ASSERT_TRUE(writeAll(home, "not a folder"));
    ScopedEnv homeEnv("HOME", home.toUtf8());
    ScopedEnv configEnv("XDG_CONFIG_HOME", work.filePath("config").toUtf8());
    w->device.t_LogSaveFilePath_mode = 1;

    std::vector<SentFrame> sent = sequence(20001 + 7, 99);
    QString statusWhileRunning;
    ASSERT_TRUE(recordSequence(sent, [&] { statusWhileRunning = status(1); }));
    EXPECT_EQ(statusWhileRunning, QStringLiteral("録画ファイル保存エラー：未保存 20001 フレーム"));
    EXPECT_EQ(status(1), QStringLiteral("録画ファイル保存エラー：未保存 20008 フレーム"));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].icon, MsgIcon::Critical);
    EXPECT_TRUE(messages.messages[0].text.startsWith(
        QStringLiteral("録画ファイルを保存できませんでした。\r\n保存されなかったフレーム：20008\r\n")))
        << messages.messages[0].text.toStdString();
    EXPECT_EQ(states(), (std::array<int, 8>{1, 1, 0, 0, 0, 0, 0, 1}));
}

TEST_F(RecordWindow, AdapterThatDoesNotOpenShowsTheMessage)
{
    const int port = freeTestPort();
    ASSERT_TRUE(bringUp(Vendor::Canusb, port));
    w->canusbAdapters().CAN_USB_SelectSerial = QStringLiteral("NOSUCH1");
    ASSERT_TRUE(record({}, {}, 0));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text,
              QStringLiteral("機器が正常に動作していません。\r\nアプリケーションを終了します。"));
    EXPECT_EQ(messages.messages[0].icon, MsgIcon::Critical);
    EXPECT_TRUE(status(0).isEmpty());
    EXPECT_EQ(states(), (std::array<int, 8>{1, 1, 0, 0, 0, 0, 0, 1}));
    EXPECT_TRUE(readRecordedFolder(records.path()).empty());
}

TEST_F(RecordWindow, BoardThatDoesNotOpenShowsTheMessageAndTheCloseResult)
{
    const int port = freeTestPort();
    ASSERT_TRUE(bringUp(Vendor::Board, port));
    w->interfaceBoards().Interface_CAN_SelectNo = 9;
    ASSERT_TRUE(record({}, {}, 0));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text,
              QStringLiteral("機器が正常に動作していません。\r\n接続を終了します。"));
    EXPECT_EQ(w->interfaceBoards().Interface_CAN_Handle, "-1");
    // The close of handle -1 is what status line 0 reports.
    EXPECT_EQ(status(0), QStringLiteral("The device handle is invalid."));
    EXPECT_EQ(states(), (std::array<int, 8>{1, 1, 0, 0, 0, 0, 0, 1}));
}

class BoardRate : public RecordWindow, public ::testing::WithParamInterface<int>
{
};

TEST_P(BoardRate, UnsupportedRatesAreRefusedWithoutOpening)
{
    ASSERT_TRUE(bringUp(Vendor::Board, freeTestPort()));
    w->interfaceBoards().Interface_CAN_Handle = QStringLiteral("7");   // an earlier run's
    w->device.t_bitRate = GetParam();
    ASSERT_TRUE(record({}, {}, 0));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text,
              QStringLiteral("非対応の通信速度が選択されています。\r\n接続をを終了します。"));
    EXPECT_EQ(w->interfaceBoards().Interface_CAN_Handle, "-1");
    EXPECT_FALSE(monitorRunning());
    EXPECT_EQ(w->RxFlag, 0);
}

INSTANTIATE_TEST_SUITE_P(Rows, BoardRate,
                         ::testing::Values(1, 6, 7, 8, -1));

class CanusbRate : public RecordWindow, public ::testing::WithParamInterface<int>
{
};

// Every rate of the adapter opens and is shown; an index a damaged settings file could
// hold is refused.
TEST_P(CanusbRate, AllEightOpen)
{
    static const char *const kTexts[] = {"1M bps",   "800k bps", "500k bps", "250k bps",
                                         "100k bps", "50k bps",  "20k bps",  "10k bps"};
    ASSERT_TRUE(bringUp(Vendor::Canusb, freeTestPort()));
    w->device.t_bitRate = GetParam();
    QString protocol;
    ASSERT_TRUE(record([&] { protocol = child<QLineEdit>("TB_Protocol")->text(); }, {}));
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_EQ(protocol, QString::fromLatin1(kTexts[GetParam()]));
}

INSTANTIATE_TEST_SUITE_P(Rows, CanusbRate,
                         ::testing::Values(0, 1, 2, 3, 4, 5, 6, 7));

TEST_F(RecordWindow, CanusbRefusesARateIndexOutsideTheList)
{
    const int port = freeTestPort();
    ASSERT_TRUE(bringUp(Vendor::Canusb, port));
    w->device.t_bitRate = 8;
    ASSERT_TRUE(record({}, {}, 0));
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text,
              QStringLiteral("非対応の通信速度が選択されています。\r\n接続をを終了します。"));
    EXPECT_TRUE(readRecordedFolder(records.path()).empty());
}

} // namespace
