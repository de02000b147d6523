// Playback from the main window, headless on a private virtual bus: the target chosen as
// the user chooses it, Connect clicked, and another node listening to what goes out.
#include "WindowRun.h"
#include "free_port.h"

#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace playtest;

namespace {

const char *vendorName(int vendor)
{
    return vendor == 1 ? "Canusb" : "Interface";
}

} // namespace

QString PlaybackWindow::text(const char *lineEdit) const
{
    return child<QLineEdit>(lineEdit)->text();
}

class PlaybackWindowVendor : public PlaybackWindow, public ::testing::WithParamInterface<int>
{
protected:
    int vendor() const { return GetParam(); }
};

INSTANTIATE_TEST_SUITE_P(Vendors, PlaybackWindowVendor, ::testing::Values(1, 2),
                         [](const auto &info) { return std::string(vendorName(info.param)); });

// The whole road: a file dropped on the window, Connect, the bus check, every frame in
// order except those of identifiers another node sent during the check.
TEST_P(PlaybackWindowVendor, PlaysTheDroppedFileExceptWhatAnotherNodeSentDuringTheCheck)
{
    const int port = freeTestPort();
    const std::vector<RecordFrame> file = series(12, 0, 20, {0x100, 0x200, 0x300});
    ASSERT_TRUE(writeRecord(files.filePath("CR15120713-001.dat"), file));
    Listener listener;
    ASSERT_TRUE(listener.start(port));
    ASSERT_TRUE(bringUp(port, vendor()));
    dropPaths("TB_Play_FileName", {files.filePath("CR15120713-001.dat")});
    ASSERT_EQ(w->CanPlay.t_RecPlay_FileType, 1);
    OtherNode node;
    ASSERT_TRUE(node.start(port, {"0 200 2 EE EE", "100 2AB 1 EE"}, 1200));

    std::array<int, 8> during{};
    QString protocol;
    bool dropsDuring = true;
    bool openDuring = true;
    bool secondRun = false;
    ASSERT_TRUE(play([&] {
        if (w->CanPlay.PlayDAT_count < 1)
            return;
        during = states();
        protocol = text("TB_Protocol");
        dropsDuring = child<QGroupBox>("GB_PlayFile")->acceptDrops();
        openDuring = button("Bt_OpenPlayFile")->isEnabled();
        // Connect during a run that is not paused does nothing.
        const double before = w->CanPlay.vx_start_time;
        w->Bt_Connect_Click();
        secondRun = secondRun || w->CanPlay.vx_start_time != before;
    }));
    ASSERT_TRUE(node.finished());
    EXPECT_TRUE(messages.messages.empty()) << messages.texts().join('|').toStdString();

    std::vector<Seen> seen = listener.stop();
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[0].id, 0x200u);
    EXPECT_EQ(seen[1].id, 0x2ABu);
    seen.erase(seen.begin(), seen.begin() + 2);
    EXPECT_TRUE(sameFrames(seen, expectedOnBus(file, {0x200})));

    EXPECT_EQ(during, (std::array<int, 8>{2, 0, 1, 1, 0, 0, 0, 1}));
    EXPECT_EQ(protocol, "500k bps");
    EXPECT_FALSE(dropsDuring);
    EXPECT_FALSE(openDuring);
    EXPECT_FALSE(secondRun);
    // Back to idle.
    EXPECT_EQ(states(), (std::array<int, 8>{1, 1, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(w->CanPlay.PlayMode, 0);
    EXPECT_EQ(w->RxFlag, 0);
    EXPECT_TRUE(text("TB_Protocol").isEmpty());
    EXPECT_TRUE(text("TB_Status_0").isEmpty());
    EXPECT_TRUE(text("TB_Status_1").isEmpty());
    EXPECT_FALSE(w->timerBattReadEnabled());
    EXPECT_TRUE(child<QGroupBox>("GB_PlayFile")->acceptDrops());
    EXPECT_TRUE(button("Bt_OpenPlayFile")->isEnabled());
}

TEST_P(PlaybackWindowVendor, RepeatPlaysTheFileAgainAtOnce)
{
    const int port = freeTestPort();
    const std::vector<RecordFrame> file = series(5, 1000, 100, {0x1A0});
    ASSERT_TRUE(writeRecord(files.filePath("r.dat"), file));
    Listener listener;
    ASSERT_TRUE(listener.start(port));
    ASSERT_TRUE(bringUp(port, vendor()));
    w->CanPlay.get_PlayFilePath_DB_Main(files.filePath("r.dat"), w->device);
    click("Bt_Repeat");
    ASSERT_EQ(w->CanPlay.t_RecPlay_PlayMode_Repeat, 1);
    bool switchedOff = false;
    ASSERT_TRUE(play([&] {
        // In the second cycle, repeat goes off again: the run ends after it.
        if (!switchedOff && w->CanPlay.vx_millisecond_Repeat_MAX > 0) {
            switchedOff = true;
            click("Bt_Repeat");
        }
    }));
    ASSERT_TRUE(switchedOff);
    const std::vector<Seen> seen = listener.stop();
    std::vector<RecordFrame> twice = file;
    twice.insert(twice.end(), file.begin(), file.end());
    ASSERT_TRUE(sameFrames(seen, twice));
    // The first frame follows the last at once, not 100 ms (a spacing) later.
    EXPECT_LT(seen[5].ms - seen[4].ms, 50.0);
    EXPECT_GT(seen[4].ms - seen[3].ms, 50.0);
    // The cycle is 400 ms of playing time: first to last frame, read on a clock of whole
    // milliseconds against a start between two of its ticks. A busy machine can send the
    // last frame late; a spacing too many at the end would make it 500.
    EXPECT_GE(w->CanPlay.vx_millisecond_Repeat_MAX, 398);
    EXPECT_LT(w->CanPlay.vx_millisecond_Repeat_MAX, 490);
    EXPECT_EQ(states()[7], 1);
    EXPECT_EQ(button("Bt_Repeat")->property("buttonState").toInt(), 1);
}

TEST_P(PlaybackWindowVendor, AFolderOfThreeFilesPlaysAllThreeWithTheLaterOnesPreloaded)
{
    const int port = freeTestPort();
    // One recording in three files: times go on from file to file.
    const QStringList names = {"CR15120713-001.dat", "CR15120713-002.dat", "CR15120713-003.dat"};
    std::vector<std::vector<RecordFrame>> parts;
    for (int k = 0; k < 3; ++k) {
        parts.push_back(series(6, 300.0 * k, 40, {0x600 + k, 0x610}, uint8_t(k + 1)));
        ASSERT_TRUE(writeRecord(files.filePath(names[k]), parts.back(),
                                QStringLiteral("part %1").arg(k + 1)));
    }
    Listener listener;
    ASSERT_TRUE(listener.start(port));
    ASSERT_TRUE(bringUp(port, vendor()));
    setBrowseFileOrFolderForTesting([&](QWidget *) { return files.path(); });
    click("Bt_OpenPlayFile");
    ASSERT_EQ(w->CanPlay.t_RecPlay_FileType, 2);
    EXPECT_EQ(text("TB_Play_FileName"), QStringLiteral("■フォルダ再生モード"));
    EXPECT_EQ(text("TB_Play_FilePass"), files.path());
    QSignalSpy preloads(child<QTimer>("Timer_File_REC_Play"), &QTimer::timeout);
    ASSERT_TRUE(play());

    ASSERT_EQ(w->CanPlay.FolderPlayMode_FN_Count, 3);
    // The folder plays in the order it lists its files (not sorted).
    std::vector<RecordFrame> expected;
    for (int i = 0; i < 3; ++i) {
        const int k = names.indexOf(w->CanPlay.FolderPlayMode_FN_List(i));
        ASSERT_GE(k, 0);
        expected.insert(expected.end(), parts[size_t(k)].begin(), parts[size_t(k)].end());
    }
    EXPECT_TRUE(sameFrames(listener.stop(), expected));
    // The second file before the check, the third after the first switch, and a last
    // one after the second switch that finds the list used up.
    EXPECT_EQ(preloads.count(), 3);
    const int last = names.indexOf(w->CanPlay.FolderPlayMode_FN_List(2));
    EXPECT_EQ(w->device.t_LogComment, QStringLiteral("part %1").arg(last + 1));
}

// Pause for a while, then resume (with Pause, or with Connect): every later frame comes
// that much later, and the status times do not count the pause.
struct PauseRow
{
    const char *name;
    int vendor;
    const char *resumeWith;
};

void PrintTo(const PauseRow &row, std::ostream *os)
{
    *os << row.name;
}

class PlaybackPause : public PlaybackWindow, public ::testing::WithParamInterface<PauseRow>
{
};

TEST_P(PlaybackPause, ShiftsEveryLaterFrameByThePause)
{
    const PauseRow &row = GetParam();
    const int port = freeTestPort();
    const std::vector<RecordFrame> file = series(10, 0, 200, {0x2F0});
    ASSERT_TRUE(writeRecord(files.filePath("p.dat"), file));
    Listener listener;
    ASSERT_TRUE(listener.start(port));
    ASSERT_TRUE(bringUp(port, row.vendor));
    w->CanPlay.get_PlayFilePath_DB_Main(files.filePath("p.dat"), w->device);
    QElapsedTimer clock;
    qint64 pausedAt = -1;
    qint64 resumedAt = -1;
    std::array<int, 8> whilePaused{};
    bool monitorWhilePaused = true;
    ASSERT_TRUE(play([&] {
        // Frame 3 (at 600 ms) has left; frames are handed to the driver a little ahead,
        // so the next index alone does not say so.
        if (pausedAt < 0 && w->CanPlay.PlayDAT_count == 4 && w->CanPlay.elapsedMs() >= 620) {
            click("Bt_Pause");
            clock.start();
            pausedAt = 0;
        } else if (pausedAt >= 0 && resumedAt < 0 && clock.elapsed() >= 1000) {
            whilePaused = states();
            monitorWhilePaused = w->timerBattReadEnabled();
            resumedAt = clock.elapsed();
            click(row.resumeWith);
        }
    }));
    ASSERT_GT(resumedAt, 0);
    EXPECT_EQ(whilePaused, (std::array<int, 8>{2, 0, 1, 2, 0, 0, 0, 1}));
    EXPECT_FALSE(monitorWhilePaused);

    const std::vector<Seen> seen = listener.stop();
    ASSERT_TRUE(sameFrames(seen, file));
    const double pause = double(resumedAt - pausedAt);
    for (size_t i = 1; i < seen.size(); ++i) {
        const double expectedGap = i == 4 ? 200 + pause : 200;
        EXPECT_NEAR(seen[i].ms - seen[i - 1].ms, expectedGap, 60) << "frame " << i;
    }
    EXPECT_NEAR(w->CanPlay.Pause_ON_offset_time, pause, 60);
    EXPECT_EQ(w->CanPlay.Pause_ON_offset_time, w->CanPlay.Pause_ON_offset_time2);
    // Playing time without the pause: first to last frame, 1800 ms.
    const double playing = w->CanPlay.vx_millisecond - w->CanPlay.vx_start_time
                           - w->CanPlay.Pause_ON_offset_time;
    EXPECT_NEAR(playing, 1800, 60);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PlaybackPause,
    ::testing::Values(PauseRow{"CanusbResumedByPause", 1, "Bt_Pause"},
                      PauseRow{"CanusbResumedByConnect", 1, "Bt_Connect"},
                      PauseRow{"InterfaceResumedByPause", 2, "Bt_Pause"},
                      PauseRow{"InterfaceResumedByConnect", 2, "Bt_Connect"}),
    [](const auto &info) { return std::string(info.param.name); });

// A paused playback ended by Disconnect, then a recording with traffic on the bus: the
// recording starts from a clean run state, so its table keeps ticking and an identifier
// that falls silent is greyed on time, not the pause's length late.
TEST_F(PlaybackWindow, ARecordingAfterAPausedPlaybackTicksAndGreysSilenceOnTime)
{
    ASSERT_TRUE(writeRecord(files.filePath("p.dat"), series(50, 0, 200, {0x2F0})));
    const int port = freeTestPort();
    BusHost bus;
    ASSERT_TRUE(bus.start(port));
    ASSERT_TRUE(bringUp(port, 1));
    w->CanPlay.get_PlayFilePath_DB_Main(files.filePath("p.dat"), w->device);
    QElapsedTimer paused;
    ASSERT_TRUE(play([&] {
        if (!paused.isValid() && w->CanPlay.PlayDAT_count >= 2) {
            click("Bt_Pause");
            paused.start();
        } else if (paused.isValid() && paused.elapsed() >= 1500) {
            w->Bt_Disconnect_Click();
        }
    }));
    ASSERT_TRUE(paused.isValid());

    // 0x321 every 20 ms for 0.8 s, then silent; 0x322 every 100 ms with a counter.
    QStringList lines;
    int last = 0;
    const auto at = [&](int t, const QString &frame) {
        lines << QString::number(t - last) + QLatin1Char(' ') + frame;
        last = t;
    };
    for (int t = 0; t < 5000; t += 20) {
        if (t < 800)
            at(t, QStringLiteral("321 1 11"));
        if (t % 100 == 0)
            at(t, QStringLiteral("322 1 %1").arg(t / 100, 0, 16));
    }
    OtherNode node;
    ASSERT_TRUE(node.start(port, lines, 800));
    w->device.t_LogSave_Enable = 1;
    w->device.t_LogSaveFilePath_mode = 2;
    w->device.t_LogSaveFilePath = files.path();
    QElapsedTimer recording;
    double greyAt = -1;
    int seconds = 0;
    QTimer probe;
    probe.setInterval(10);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (w->RxFlag != 1)
            return;
        if (!recording.isValid())
            recording.start();
        const QString status = text("TB_Status_0");
        if (status.startsWith(QStringLiteral("●録画中　")))
            seconds = std::max(seconds, status.mid(5).section('[', 0, 0).toInt());
        if (greyAt < 0 && w->rxData().CAN11_BlackoutON(0x321) == 1)
            greyAt = vexa::vx_timeGetTime();
        if (recording.elapsed() > 5500)
            w->Bt_Disconnect_Click();
    });
    probe.start();
    w->Bt_Rec_Click();
    probe.stop();
    EXPECT_GE(seconds, 3) << "the status line stood still";
    EXPECT_TRUE(w->mainView()->toPlainText().contains(QStringLiteral("\n322  1   ")))
        << "the table stood still";
    ASSERT_GT(greyAt, 0) << "0x321 never greyed";
    // Silent after 3.5 cycles (70 ms); a tick and the probe add a little, a busy machine
    // more. The pause before would have added 1500 ms.
    EXPECT_LT(greyAt - w->rxData().CAN11_ReadTime_old(0x321), 1000);
}

// The table is finished when the run's loop returns: a snapshot taken before the window
// system has had a turn holds every line, also those out of view, with its colours.
TEST_F(PlaybackWindow, ASnapshotRightAfterTheRunHoldsTheWholeTableWithItsColours)
{
    // 100 identifiers, each sent twice with new data, so every line has changed bytes; a
    // last frame well later, so the last table holds the second data of all 100.
    std::vector<RecordFrame> file;
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < 100; ++i)
            file.push_back(frame(0x100 + i, pass * 300 + i, 1, {uint8_t(0xA0 + pass)}));
    file.push_back(frame(0x7FF, 1000, 0, {}));
    ASSERT_TRUE(writeRecord(files.filePath("t.dat"), file));
    const int port = freeTestPort();
    BusHost bus;
    ASSERT_TRUE(bus.start(port));
    ASSERT_TRUE(bringUp(port, 1));
    w->resize(800, 500);
    w->show();
    w->device.t_SaveFormat = 1;
    w->device.t_SaveFilePath_mode = 2;
    w->device.t_SaveFilePath = files.path();
    w->CanPlay.get_PlayFilePath_DB_Main(files.filePath("t.dat"), w->device);
    ASSERT_TRUE(play());
    w->Bt_SaveFile_Click();
    const QStringList saved = QDir(files.path()).entryList({"MC*.rtf"});
    ASSERT_EQ(saved.size(), 1);
    const QByteArray rtf = readAll(files.filePath(saved[0]));
    // Each line with its newest byte in the change colour, red: colour 1 of the table.
    EXPECT_TRUE(rtf.contains("{\\colortbl;\\red255\\green0\\blue0;"));
    for (int i = 0; i < 100; ++i)
        EXPECT_TRUE(rtf.contains("{ " + QByteArray::number(0x100 + i, 16).toUpper()
                                 + "  1   }{\\cf1 A1}"))
            << std::hex << 0x100 + i;
}

// Qt's own canbusutil, as a listener that shares no code with this program.
TEST_F(PlaybackWindow, CanbusutilReceivesThePlayedFramesIntact)
{
    const int port = freeTestPort();
    std::vector<RecordFrame> file;
    for (int dlc = 0; dlc <= 8; ++dlc) {
        RecordFrame f = frame(0x700 + dlc, dlc * 15.0, uint8_t(dlc), {});
        for (int k = 0; k < 8; ++k)
            f.data[size_t(k)] = k < dlc ? uint8_t(0x10 * dlc + k) : 0;
        file.push_back(f);
    }
    file.push_back(frame(0x001, 150, 15, {0xDE, 0xAD, 0xBE, 0xEF, 0x01, 0x02, 0x03, 0x04}));
    file.push_back(frame(0x7FF, 165, 8, {0xFF, 0xFE, 0xFD, 0xFC, 0xFB, 0xFA, 0xF9, 0xF8}));
    ASSERT_TRUE(writeRecord(files.filePath("intact.dat"), file));

    QProcess canbusutil;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_LOGGING_RULES", "qt.canbus*=false");
    canbusutil.setProcessEnvironment(env);
    canbusutil.start(QStringLiteral(CANBUSUTIL_PATH), {"-l", "virtualcan", busUrl(port)});
    ASSERT_TRUE(canbusutil.waitForStarted(5000));
    settle(700);   // it hosts the bus once it listens

    ASSERT_TRUE(bringUp(port, 1));
    w->CanPlay.get_PlayFilePath_DB_Main(files.filePath("intact.dat"), w->device);
    ASSERT_TRUE(play());
    settle(500);
    const QByteArray out = canbusutil.readAllStandardOutput();
    canbusutil.terminate();
    canbusutil.waitForFinished(5000);

    // "     123   [3]  11 22 33"
    QStringList lines;
    for (const QByteArray &l : out.split('\n'))
        if (!l.trimmed().isEmpty())
            lines << QString::fromLatin1(l).simplified();
    QStringList expected;
    for (const RecordFrame &f : expectedOnBus(file)) {
        QString line = QStringLiteral("%1 [%2]")
                           .arg(f.identifier, 3, 16, QLatin1Char('0'))
                           .arg(f.dlc)
                           .toUpper();
        for (int k = 0; k < f.dlc; ++k)
            line += QStringLiteral(" %1").arg(f.data[size_t(k)], 2, 16, QLatin1Char('0')).toUpper();
        expected << line;
    }
    EXPECT_EQ(lines.join('\n').toStdString(), expected.join('\n').toStdString());
}
