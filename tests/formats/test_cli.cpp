// cankestrova-cli as a test bench runs it: a record run while the simulator floods a
// private virtual bus, the recording played back to Qt's canbusutil, a repeating playback
// stopped by SIGTERM, a recording through workbooks and back, and the program installed into
// a prefix of its own.
#include "FormatFixture.h"

#include "CansimRun.h"
#include "LogConversion.h"
#include "OfficeModule.h"
#include "free_port.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>
#include <optional>

using namespace formattest;

namespace {

// The CLI on the bus of one port: adapter "CLITEST1" and Interface port 1 both there, and
// settings and data folders of the test's own.
class CliRun
{
public:
    CliRun(int port, const QString &home, const QString &program = {})
    {
        const QString bus = QStringLiteral("virtualcan:") + CansimRun::url(port);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CANUSB_ADAPTERS", QStringLiteral("CLITEST1=") + bus);
        env.insert("IFCAN_PORTS", QStringLiteral("1=") + bus);
        env.insert("ProgramFiles", home + QStringLiteral("/settings"));
        env.insert("XDG_DATA_HOME", home + QStringLiteral("/data"));
        m_process.setProcessEnvironment(env);
        m_process.setProgram(program.isEmpty()
                                 ? QCoreApplication::applicationDirPath() + "/cankestrova-cli"
                                 : program);
    }

    // The variable as a user's shell may have it: unset, or set to other rules.
    void setLoggingRules(const std::optional<QString> &rules)
    {
        QProcessEnvironment env = m_process.processEnvironment();
        env.remove("QT_LOGGING_RULES");
        if (rules)
            env.insert("QT_LOGGING_RULES", *rules);
        m_process.setProcessEnvironment(env);
    }

    bool start(const QStringList &args)
    {
        m_process.setArguments(args);
        m_process.start();
        return m_process.waitForStarted(5000);
    }
    // Pumps events meanwhile: a bus hosted by the test keeps running.
    bool waitForExit(int ms) { return waitUntil([&] { return !running(); }, ms); }
    bool waitForError(const QByteArray &text, int ms)
    {
        return waitUntil([&] {
            m_err += m_process.readAllStandardError();
            return m_err.contains(text) || !running();
        }, ms) && m_err.contains(text);
    }
    bool running() const { return m_process.state() != QProcess::NotRunning; }
    QString out() { return QString::fromLocal8Bit(m_out += m_process.readAllStandardOutput()); }
    QString err() { return QString::fromLocal8Bit(m_err += m_process.readAllStandardError()); }
    int exitCode() const { return m_process.exitCode(); }
    qint64 pid() const { return m_process.processId(); }

    ~CliRun()
    {
        if (running()) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }

private:
    QProcess m_process;
    QByteArray m_out;
    QByteArray m_err;
};

QString summary(CliRun &run, const char *command)
{
    for (const QString &line : run.out().split('\n'))
        if (line.startsWith(QLatin1String(command) + QLatin1Char(':')))
            return line;
    return {};
}

// The flood's frame n: identifier 0x100, DLC 8, n little-endian then its complement.
bool isFloodFrame(const RecordFrame &f, uint32_t n)
{
    const uint32_t c = ~n;
    const std::array<uint8_t, 8> data = {uint8_t(n),      uint8_t(n >> 8),  uint8_t(n >> 16),
                                         uint8_t(n >> 24), uint8_t(c),       uint8_t(c >> 8),
                                         uint8_t(c >> 16), uint8_t(c >> 24)};
    return f.identifier == 0x100 && f.dlc == 8 && f.data == data;
}

constexpr int kFlood = 45000;

} // namespace

// 45,000 flood frames are recorded into three record files holding exactly them, in order;
// played back, Qt's canbusutil receives every one intact.
TEST(Cli, RecordsAFloodIntoThreeFilesAndPlaysThemToCanbusutil)
{
    QTemporaryDir home;
    const QString out = home.filePath("rec");
    {
        const int port = freeTestPort();
        BusPeer host;   // hosts the bus for the recorder and the simulator
        ASSERT_TRUE(host.join(port));
        CliRun rec(port, home.path());
        ASSERT_TRUE(rec.start({"record", "--device", "CLITEST1", "--out", out, "--frames",
                               QString::number(kFlood), "--duration", "120"}));
        ASSERT_TRUE(rec.waitForError("recording from", 20000)) << rec.err().toStdString();
        CansimRun sim;
        ASSERT_TRUE(sim.start({"--interface", CansimRun::url(port), "--mode", "flood", "--count",
                               QString::number(kFlood), "--rate", "10000"}));
        ASSERT_TRUE(rec.waitForExit(60000)) << rec.err().toStdString();
        EXPECT_EQ(rec.exitCode(), 0) << rec.err().toStdString();
        EXPECT_TRUE(summary(rec, "record").startsWith(
            QStringLiteral("record: frames=45000 files=3 lost=0 unsaved=0 folder=") + out))
            << rec.out().toStdString();
    }
    const QStringList files = conversionInputs(out);
    ASSERT_EQ(files.size(), 3);
    const std::vector<RecordFrame> frames = recordfixture::readRecords(files);
    ASSERT_EQ(frames.size(), size_t(kFlood));
    EXPECT_EQ(recordfixture::readRecords({files[0]}).size(), size_t(FrameBuffer::kSlots));
    for (uint32_t n = 0; n < uint32_t(kFlood); ++n)
        ASSERT_TRUE(isFloodFrame(frames[n], n)) << "frame " << n;

    const int port = freeTestPort();
    QProcess canbusutil;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_LOGGING_RULES", "qt.canbus*=false");
    canbusutil.setProcessEnvironment(env);
    canbusutil.start(QStringLiteral(CANBUSUTIL_PATH), {"-l", "virtualcan", CansimRun::url(port)});
    ASSERT_TRUE(canbusutil.waitForStarted(5000));
    waitUntil([] { return false; }, 700);   // it hosts the bus once it listens
    CliRun play(port, home.path());
    ASSERT_TRUE(play.start({"play", out, "--device", "CLITEST1"}));
    ASSERT_TRUE(play.waitForExit(90000)) << play.err().toStdString();
    EXPECT_EQ(play.exitCode(), 0) << play.err().toStdString();
    EXPECT_TRUE(summary(play, "play").startsWith(QStringLiteral("play: sent=45000 ")))
        << play.out().toStdString();
    QByteArray heard;
    waitUntil([&] {
        heard += canbusutil.readAllStandardOutput();
        return heard.count('\n') >= kFlood;
    }, 10000);
    canbusutil.terminate();
    canbusutil.waitForFinished(5000);

    // "     100   [8]  00 00 00 00 FF FF FF FF". The engine plays a folder's files in the
    // order the file system lists them, each file in its own order.
    const QList<QByteArray> lines = heard.trimmed().split('\n');
    ASSERT_EQ(lines.size(), kFlood);
    std::vector<bool> seen(size_t(kFlood), false);
    uint32_t previous = 0;
    for (int i = 0; i < kFlood; ++i) {
        const QList<QByteArray> parts = lines[i].simplified().split(' ');
        RecordFrame f;
        f.identifier = parts.value(0).toInt(nullptr, 16);
        f.dlc = uint8_t(parts.value(1).mid(1).chopped(1).toInt());
        for (int k = 0; k < 8; ++k)
            f.data[size_t(k)] = uint8_t(parts.value(2 + k).toUInt(nullptr, 16));
        const uint32_t n = uint32_t(f.data[0] | f.data[1] << 8 | f.data[2] << 16 | f.data[3] << 24);
        ASSERT_TRUE(n < uint32_t(kFlood) && isFloodFrame(f, n) && !seen[n])
            << "line " << i << ": " << lines[i].constData();
        if (i > 0 && n % FrameBuffer::kSlots != 0) {
            ASSERT_EQ(n, previous + 1) << "line " << i;
        }
        seen[n] = true;
        previous = n;
    }
}

// A repeating playback ends on SIGTERM at once, cleanly, with its summary line.
TEST(Cli, RepeatingPlaybackStopsOnSigterm)
{
    QTemporaryDir home;
    std::vector<RecordFrame> file = knownFrames(2000, true);
    for (size_t i = 0; i < file.size(); ++i)
        file[i].time = double(i);
    ASSERT_TRUE(recordfixture::writeRecord(home.filePath("loop.dat"), file));
    // The simulator listens and hosts the bus: one process hosts one virtual bus only.
    const int port = freeTestPort();
    CansimRun listener;
    const QString log = home.filePath("heard.txt");
    ASSERT_TRUE(listener.start({"--interface", CansimRun::url(port), "--mode", "listen", "--log",
                                log},
                               home.filePath("ready")));
    CliRun play(port, home.path());
    ASSERT_TRUE(play.start({"play", home.filePath("loop.dat"), "--repeat"}));
    ASSERT_TRUE(waitUntil([&] { return readAll(log).count('\n') > 200 || !play.running(); },
                          20000))
        << play.err().toStdString();
    ASSERT_TRUE(play.running());

    QElapsedTimer clock;
    clock.start();
    ::kill(pid_t(play.pid()), SIGTERM);
    ASSERT_TRUE(play.waitForExit(5000));
    const qint64 ms = clock.elapsed();
    std::printf("stopped %lld ms after SIGTERM\n", static_cast<long long>(ms));
    EXPECT_LT(ms, 500) << "the run should end within 100 ms of the signal";
    EXPECT_EQ(play.exitCode(), 0) << play.err().toStdString();
    const QString line = summary(play, "play");
    EXPECT_TRUE(line.startsWith(QLatin1String("play: sent=")) && line.endsWith(" stopped"))
        << play.out().toStdString();
}

// `cmake --install` into a prefix of its own gives the installed layout, and the installed
// cankestrova-cli finds its support and driver libraries, and the office module, beside
// itself.
TEST(Cli, InstalledIntoAPrefixFindsItsLibrariesAndDevices)
{
    QTemporaryDir prefix;
    QProcess install;
    install.start(QStringLiteral(CMAKE_COMMAND),
                  {"--install", QStringLiteral(BUILD_DIR), "--prefix", prefix.path()});
    ASSERT_TRUE(install.waitForFinished(60000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();
    for (const char *file :
         {"bin/cankestrova", "bin/cankestrova-cli", "lib/cankestrova/cankestrova",
          "lib/cankestrova/cankestrova-cli", "lib/cankestrova/libvexa100.so",
          "lib/cankestrova/libcanusbdrv.so", "lib/cankestrova/libIFCan.so",
          "lib/cankestrova/cankestrova.installed", "share/applications/cankestrova.desktop",
          "share/icons/hicolor/48x48/apps/cankestrova.png"})
        EXPECT_TRUE(QFileInfo::exists(prefix.filePath(QLatin1String(file)))) << file;

    QTemporaryDir home;
    CliRun devices(freeTestPort(), home.path(), prefix.filePath("bin/cankestrova-cli"));
    ASSERT_TRUE(devices.start({"devices"}));
    ASSERT_TRUE(devices.waitForExit(20000));
    EXPECT_EQ(devices.exitCode(), 0) << devices.err().toStdString();
    EXPECT_EQ(devices.out().toStdString(), "1\tCLITEST1\tCANUSB CLITEST1\n"
                                           "2\tIFCAN1\tInterface PCI-485220 port:1\n");

    if (!OFFICE_MODULE_BUILT)
        return;
    EXPECT_TRUE(QFileInfo::exists(prefix.filePath("lib/cankestrova/libcankestrova_office.so")));
    if (!office::isUsable())
        return;   // LibreOffice itself is not installed
    ASSERT_TRUE(writeRecording(home.path(), knownFrames(10, true)));
    CliRun convert(freeTestPort(), home.path(), prefix.filePath("bin/cankestrova-cli"));
    ASSERT_TRUE(convert.start({"convert", home.filePath("CR26010100-001.dat"),
                               home.filePath("x.xls")}));
    ASSERT_TRUE(convert.waitForExit(60000));
    EXPECT_EQ(convert.exitCode(), 0) << convert.err().toStdString();
    EXPECT_TRUE(QFileInfo::exists(home.filePath("x.xls")));
}

// A recording of two files → workbooks → record files, one office a command: the same
// frames at the same times and the same comment, one workbook a record file, named after it.
TEST(Cli, RecordingThroughWorkbooksGivesTheSameFrames)
{
    QString why;
    if (!office::isUsable(&why))
        GTEST_SKIP() << "LibreOffice Calc or the office module is not usable: "
                     << why.toStdString();
    QTemporaryDir home;
    const std::vector<RecordFrame> frames = knownFrames(25000, true);
    QDir().mkpath(home.filePath("src"));
    ASSERT_TRUE(writeRecording(home.filePath("src"), frames, QStringLiteral("台上 3 試験")));
    const std::pair<const char *, const char *> steps[] = {{"src", "xls"}, {"xls", "back"}};
    for (const auto &[from, to] : steps) {
        CliRun run(freeTestPort(), home.path());
        ASSERT_TRUE(run.start({"convert", home.filePath(from), home.filePath(to), "--to",
                               to == std::string("xls") ? "xls" : "dat"}));
        ASSERT_TRUE(run.waitForExit(180000));
        EXPECT_EQ(run.exitCode(), 0) << run.err().toStdString();
        EXPECT_TRUE(summary(run, "convert").startsWith(
            "convert: inputs=2 read=25000 written=25000 skipped=0 bad-lines=0"))
            << run.out().toStdString() << run.err().toStdString();
    }
    EXPECT_EQ(QDir(home.filePath("xls")).entryList(QDir::Files),
              QStringList({"CR26010100-001.xls", "CR26010100-002.xls"}));
    const QStringList back = recordFilesIn(home.filePath("back"));
    for (const QString &file : back) {
        FrameBuffer buffer;
        RecordTrailer trailer;
        ASSERT_EQ(readRecordFile(file, ELM327_Info(), &buffer, trailer), 0);
        EXPECT_EQ(trailer.comment, QStringLiteral("台上 3 試験")) << file.toStdString();
    }
    const std::vector<RecordFrame> again = recordfixture::readRecords(back);
    ASSERT_EQ(again.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i)
        ASSERT_EQ(again[i], frames[i]) << "frame " << i;
}

// Without the office module beside it, a workbook conversion says what is missing.
TEST(Cli, WorkbooksWithoutTheOfficeModuleEndWithItsExitCode)
{
    QTemporaryDir home;
    ASSERT_TRUE(QFile::copy(QCoreApplication::applicationDirPath() + "/cankestrova-cli",
                            home.filePath("cankestrova-cli")));
    ASSERT_TRUE(writeRecording(home.path(), knownFrames(10, true)));
    CliRun run(freeTestPort(), home.path(), home.filePath("cankestrova-cli"));
    ASSERT_TRUE(run.start({"convert", home.filePath("CR26010100-001.dat"), home.filePath("x.xls")}));
    ASSERT_TRUE(run.waitForExit(30000));
    EXPECT_EQ(run.exitCode(), 5);
    EXPECT_TRUE(run.err().contains("needs LibreOffice Calc")) << run.err().toStdString();
    EXPECT_FALSE(QFileInfo::exists(home.filePath("x.xls")));
}

struct ExitRow
{
    const char *name;
    QStringList args;   // "@" stands for the test's folder
    int exitCode;
    const char *says;   // in stdout or stderr
};

class CliExit : public testing::TestWithParam<ExitRow>
{
};

// Every way a command line can go wrong ends with its documented exit code and says why.
TEST_P(CliExit, CodesAndMessages)
{
    const ExitRow &row = GetParam();
    QTemporaryDir home;
    ASSERT_TRUE(writeAll(home.filePath("in.csv"), "time_ms,id,dlc\n0.000,123,1,AB\n"));
    ASSERT_TRUE(writeAll(home.filePath("bad.csv"), "time_ms,id,dlc\n0.000,123,1\n1.0,7FF,0\n"));
    ASSERT_TRUE(writeAll(home.filePath("foreign.dat"), QByteArray(500000, 'x')));
    ASSERT_TRUE(writeAll(home.filePath("empty.asc"), "date Tue Nov 14 22:13:20 2023\n"));
    ASSERT_TRUE(writeAll(home.filePath("order.log"),
                         "(2.0) can0 123#11\n(1.0) can1 124#22 T\n(3.0) can1 125#33\n"));
    std::vector<RecordFrame> gap = knownFrames(10);
    gap[4].identifier = 0;
    ASSERT_TRUE(recordfixture::writeRecord(home.filePath("gap.dat"), gap));
    ASSERT_TRUE(QFile::copy(QStringLiteral(LOG_DATA_DIR "/pycan__test_CanErrorFrameExt.blf"),
                            home.filePath("e.blf")));
    QStringList args;
    for (const QString &a : row.args)
        args << QString(a).replace(QLatin1Char('@'), home.path());
    CliRun run(freeTestPort(), home.path());
    ASSERT_TRUE(run.start(args));
    ASSERT_TRUE(run.waitForExit(30000));
    EXPECT_EQ(run.exitCode(), row.exitCode) << run.err().toStdString();
    EXPECT_TRUE((run.out() + run.err()).contains(QLatin1String(row.says)))
        << run.out().toStdString() << run.err().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CliExit,
    testing::Values(
        ExitRow{"NoCommand", {}, 2, "usage: cankestrova-cli COMMAND"},
        ExitRow{"UnknownCommand", {"fly"}, 2, "unknown command fly"},
        ExitRow{"Help", {"record", "--help"}, 0, "Exit codes:"},
        ExitRow{"ExtraArgument", {"devices", "now"}, 2, "wrong number of arguments"},
        ExitRow{"BadBitRate", {"record", "--bitrate", "33k"}, 2, "bad --bitrate"},
        ExitRow{"ReversedRange", {"record", "--exclude", "200-100"}, 2, "bad --exclude range"},
        ExitRow{"NineRanges", {"play", "@", "--exclude", "1", "--exclude", "2", "--exclude", "3",
                               "--exclude", "4", "--exclude", "5", "--exclude", "6", "--exclude",
                               "7", "--exclude", "8", "--exclude", "9"},
                2, "at most 8"},
        ExitRow{"SkipGapTooSmall", {"play", "@", "--skip-gap", "10"}, 2, "30 to 100000"},
        ExitRow{"PlayNothing", {"play", "@/none"}, 4, "no such file"},
        ExitRow{"PlayForeign", {"play", "@/foreign.dat"}, 4, "not a record file"},
        ExitRow{"NoSuchDevice", {"record", "--device", "NOPE123"}, 3, "no device NOPE123"},
        ExitRow{"ConvertNothing", {"convert", "@/none.log", "@/x.dat"}, 4, "no such file"},
        ExitRow{"ConvertHelp", {"convert", "--help"}, 0, "workbooks (.xls"},
        ExitRow{"ConvertCsvToXls", {"convert", "@/in.csv", "@/x.xls"}, 4, "convert it to .dat"},
        ExitRow{"ConvertBadLine", {"convert", "@/bad.csv", "@/out"}, 1, "bad line bad.csv:2"},
        ExitRow{"Convert", {"convert", "@/in.csv", "@/x.log"}, 0,
                "convert: inputs=1 read=1 written=1 skipped=0 bad-lines=0"},
        ExitRow{"InfoForeign", {"info", "@/foreign.dat"}, 1, "check fails"},
        ExitRow{"ConvertNoFrame", {"convert", "@/empty.asc", "@/x.log"}, 4,
                "no frame found where a Vector ASCII log (.asc) was expected; first line "
                "\"date Tue Nov 14 22:13:20 2023\""},
        ExitRow{"InfoNoFrame", {"info", "@/empty.asc"}, 4,
                "no frame found where a Vector ASCII log (.asc) was expected"},
        ExitRow{"ConvertLeavesOut", {"convert", "@/gap.dat", "@/gap.log"}, 1,
                "not converted: 5 frames: past an identifier 0"},
        ExitRow{"ConvertTellsChannels", {"convert", "@/order.log", "@/o.csv"}, 0,
                "channels: 1=1 2=2 tx=1"},
        ExitRow{"ConvertOneChannel", {"convert", "@/order.log", "@/c.dat", "--channel", "2"}, 0,
                "skipped=1 (other channel 1)"},
        ExitRow{"ConvertIntoDatFile", {"convert", "@/in.csv", "@/back.dat"}, 0, "/back.dat\n"},
        ExitRow{"InfoBlf", {"info", "@/e.blf"}, 0, "error frames 2"},
        ExitRow{"ConvertBlf", {"convert", "@/e.blf", "@/e.asc"}, 0, "read=2 written=2"}),
    [](const auto &info) { return std::string(info.param.name); });

// Ctrl-C ends a recording with its last partial file; excluded identifiers never reach it,
// and `info` counts what did.
TEST(Cli, InterruptedRecordingKeepsItsPartialFileWithoutExcludedFrames)
{
    QTemporaryDir home;
    const int port = freeTestPort();
    CansimRun host;
    ASSERT_TRUE(host.start({"--interface", CansimRun::url(port), "--mode", "host"},
                           home.filePath("ready")));
    CliRun rec(port, home.path());
    rec.setLoggingRules(std::nullopt);
    // 52 characters and trailing spaces: kept as the window's comment box keeps them.
    const QString comment = QString::fromUtf8("台上試験") + QString(48, 'x') + "   ";
    ASSERT_TRUE(rec.start({"record", "--out", home.filePath("rec"), "--exclude", "101",
                           "--comment", comment}));
    ASSERT_TRUE(rec.waitForError("recording from", 20000)) << rec.err().toStdString();
    CansimRun flood;
    ASSERT_TRUE(flood.start({"--interface", CansimRun::url(port), "--mode", "flood", "--count",
                             "999", "--rate", "5000", "--ids", "100,101,102"}));
    ASSERT_TRUE(flood.waitForExit(20000));
    ::kill(pid_t(rec.pid()), SIGINT);
    ASSERT_TRUE(rec.waitForExit(10000));
    EXPECT_EQ(rec.exitCode(), 0) << rec.err().toStdString();
    EXPECT_TRUE(summary(rec, "record").startsWith("record: frames=666 files=1 lost=0 unsaved=0"))
        << rec.out().toStdString();
    EXPECT_TRUE(rec.err().contains("the comment is cut to 50 characters")) << rec.err().toStdString();
    EXPECT_FALSE(rec.err().contains("qt.canbus")) << rec.err().toStdString();
    const QStringList files = recordFilesIn(home.filePath("rec"));
    ASSERT_EQ(files.size(), 1);
    FrameBuffer buffer;
    RecordTrailer trailer;
    ASSERT_EQ(readRecordFile(files[0], ELM327_Info(), &buffer, trailer), 0);
    EXPECT_EQ(trailer.comment, comment.left(50));

    CliRun info(port, home.path());
    ASSERT_TRUE(info.start({"info", home.filePath("rec")}));
    ASSERT_TRUE(info.waitForExit(10000));
    const QString out = info.out();
    EXPECT_TRUE(out.contains("check ok, frames 666")) << out.toStdString();
    EXPECT_TRUE(out.contains("  100  count 333") && out.contains("  102  count 333")
                && !out.contains("  101  "))
        << out.toStdString();
}

// --dry-run lists the frames, leaves out the excluded range and names the identifiers the
// 3 s bus check holds back, and sends nothing.
TEST(Cli, DryRunNamesWhatTheBusCheckHoldsBack)
{
    QTemporaryDir home;
    std::vector<RecordFrame> file;
    for (int i = 0; i < 30; ++i)
        file.push_back({double(i), 0x100 + i % 3, 1, {uint8_t(i)}});
    // What an 11-bit frame cannot carry is never sent, so it is not counted as sent.
    for (int i = 30; i < 35; ++i)
        file.push_back({double(i), i % 2 ? 0x800 : 0x1FFFFFFF, 1, {uint8_t(i)}});
    ASSERT_TRUE(recordfixture::writeRecord(home.filePath("CR26010100-001.dat"), file));
    const int port = freeTestPort();
    CansimRun other;   // another node that already sends 102, and hosts the bus
    ASSERT_TRUE(other.start({"--interface", CansimRun::url(port), "--mode", "flood", "--count",
                             "100000", "--rate", "200", "--id", "102"},
                            home.filePath("ready")));
    CliRun dry(port, home.path());
    ASSERT_TRUE(dry.start({"play", home.path(), "--dry-run", "--exclude", "101"}));
    ASSERT_TRUE(dry.waitForExit(30000));
    EXPECT_EQ(dry.exitCode(), 0) << dry.err().toStdString();
    const QString out = dry.out();
    EXPECT_TRUE(out.contains("file CR26010100-001.dat frames=35 send=20")) << out.toStdString();
    EXPECT_TRUE(out.contains("identifiers 100:10 102:10")) << out.toStdString();
    EXPECT_TRUE(out.contains("held back by the bus check: 102\n")) << out.toStdString();
    EXPECT_TRUE(out.contains("play (dry run): files=1 frames=10 excluded=10 held=10 above7ff=5\n"))
        << out.toStdString();
}

// The virtual bus logs every client; that stays off unless QT_LOGGING_RULES asks for it,
// whatever else the variable holds.
TEST(Cli, BusPluginLinesOnlyWhenAskedFor)
{
    struct Row { std::optional<QString> rules; bool lines; };
    const Row rows[] = {{std::nullopt, false}, {QString("qt.qpa*=false"), false},
                        {QString(), false}, {QString("qt.canbus*=true"), true}};
    for (const Row &row : rows) {
        QTemporaryDir home;
        CliRun devices(freeTestPort(), home.path());
        devices.setLoggingRules(row.rules);
        ASSERT_TRUE(devices.start({"devices"}));
        ASSERT_TRUE(devices.waitForExit(20000));
        EXPECT_EQ(devices.exitCode(), 0);
        EXPECT_EQ(devices.err().contains("qt.canbus.plugins.virtualcan"), row.lines)
            << row.rules.value_or("(unset)").toStdString() << ": " << devices.err().toStdString();
    }
}

// The process hosting the bus is killed mid-run: the command ends by itself with the
// device's message and exit code 3, and a recording keeps what came before in its file.
struct LostRow
{
    const char *name;
    const char *command;
    const char *device;
};

class CliBusHostKilled : public ::testing::TestWithParam<LostRow>
{
};

TEST_P(CliBusHostKilled, EndsWithTheDeviceMessage)
{
    const LostRow &row = GetParam();
    const bool recording = QLatin1String(row.command) == QLatin1String("record");
    QTemporaryDir home;
    const int port = freeTestPort();
    CansimRun host;
    ASSERT_TRUE(host.start({"--interface", CansimRun::url(port), "--mode", "host"},
                           home.filePath("ready")));
    CliRun run(port, home.path());
    CansimRun flood;
    if (recording) {
        ASSERT_TRUE(run.start({"record", "--device", row.device, "--out", home.filePath("rec")}));
        ASSERT_TRUE(run.waitForError("recording from", 20000)) << run.err().toStdString();
        ASSERT_TRUE(flood.start({"--interface", CansimRun::url(port), "--mode", "flood",
                                 "--count", "1000000", "--rate", "2000"}));
    } else {
        std::vector<RecordFrame> file = knownFrames(2000, true);
        for (size_t i = 0; i < file.size(); ++i)
            file[i].time = 5.0 * double(i);
        ASSERT_TRUE(recordfixture::writeRecord(home.filePath("loop.dat"), file));
        ASSERT_TRUE(run.start({"play", home.filePath("loop.dat"), "--device", row.device,
                               "--repeat"}));
        ASSERT_TRUE(run.waitForError("playing", 20000)) << run.err().toStdString();
    }
    // A recording with frames in it; a playback past its bus check.
    waitUntil([] { return false; }, recording ? 1000 : 3500);
    ::kill(pid_t(host.processId()), SIGKILL);
    ASSERT_TRUE(run.waitForExit(10000)) << "the run went on without a bus";
    EXPECT_EQ(run.exitCode(), 3) << run.err().toStdString();
    EXPECT_TRUE(run.err().contains(QStringLiteral("機器が正常に動作していません。")))
        << run.err().toStdString();
    if (recording) {
        const QStringList files = recordFilesIn(home.filePath("rec"));
        ASSERT_EQ(files.size(), 1);
        EXPECT_GT(recordfixture::readRecords(files).size(), 100u);
    } else {
        EXPECT_TRUE(summary(run, "play").startsWith("play: sent=")) << run.out().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CliBusHostKilled,
    ::testing::Values(LostRow{"RecordCanusb", "record", "CLITEST1"},
                      LostRow{"RecordInterface", "record", "IFCAN1"},
                      LostRow{"PlayCanusb", "play", "CLITEST1"},
                      LostRow{"PlayInterface", "play", "IFCAN1"}),
    [](const auto &info) { return std::string(info.param.name); });
