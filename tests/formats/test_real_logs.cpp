// Real logs of other tools (tests/data/logs, see ORIGIN.tsv there) converted to every format
// written here, and the frames kept compared with python-can's reading of the same file:
// identifier, DLC, data, time to the microsecond, channel and direction where the target
// keeps them. Where python-can 4.1 itself reads a file wrongly, the row says so and the
// comparison goes through can-utils or a file of the same frames instead.
#include "FormatFixture.h"

#include "LogInput.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace formattest;

namespace {

const QString kData = QStringLiteral(LOG_DATA_DIR);

// One frame as the reader script prints it.
struct Seen
{
    int64_t timeUs = 0;
    uint32_t id = 0;
    bool extended = false, remote = false, error = false, fd = false;
    int dlc = 0;        // above 8 is 9: python-can turns a classic DLC into a length
    std::string data;   // hex, "-" for none
    int channel = 0;    // from 1; 0 not told
    bool tx = false;
};

Seen seenOf(const LogFrame &f)
{
    Seen s;
    s.timeUs = f.timeUs;
    s.id = f.id;
    s.extended = f.extended;
    s.remote = f.remote;
    s.error = f.error;
    s.fd = f.fd;
    s.dlc = f.dlc > 8 ? 9 : f.dlc;
    static const char hex[] = "0123456789abcdef";
    for (int k = 0; k < std::min<int>(f.length, 8) && !f.remote; ++k) {
        s.data += hex[f.data[k] >> 4];
        s.data += hex[f.data[k] & 15];
    }
    if (s.data.empty())
        s.data = "-";
    s.channel = f.channel;
    s.tx = f.tx;
    return s;
}

// python-can's reading of each file, in order.
std::vector<std::vector<Seen>> pythonCan(const QStringList &paths)
{
    std::vector<std::vector<Seen>> out;
    for (const QString &path : paths) {
        QProcess p;
        p.start(QStringLiteral(PYTHON_CAN), {QStringLiteral(PYTHON_CAN_SCRIPT), path});
        EXPECT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0) << path.toStdString() << ": " << p.readAllStandardError().toStdString();
        std::vector<Seen> frames;
        for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> c = line.split(' ');
            if (c.size() != 10)
                continue;
            Seen s;
            s.timeUs = c[0].toLongLong();
            s.id = c[1].toUInt();
            s.extended = c[2] == "1";
            s.remote = c[3] == "1";
            s.error = c[4] == "1";
            s.fd = c[5] == "1";
            s.dlc = c[6].toInt();
            s.data = c[7].toStdString();
            s.channel = c[8].toInt();
            s.tx = c[9] == "1";
            frames.push_back(s);
        }
        out.push_back(frames);
    }
    return out;
}

std::vector<Seen> ours(const QStringList &paths)
{
    Collected c;
    RecordTimeLine timeLine;
    for (const QString &path : paths) {
        const Result<LogReadStats> r = readLogInput(path, ELM327_Info(), c, {}, &timeLine);
        EXPECT_TRUE(r.ok()) << r.error().toStdString();
    }
    std::vector<Seen> out;
    for (const LogFrame &f : c.frames)
        out.push_back(seenOf(f));
    return out;
}

enum class Reference { PythonCan, Asc2log, Ours };

enum RowFlags {
    PythonLosesFirst = 1,   // python-can 4.1 drops the first frame line
    NoRemote = 2,           // the reference reading has no remote frames
    NoDirection = 4,        // the source does not say Rx or Tx
};

struct Row
{
    const char *file;
    Reference reference = Reference::PythonCan;
    const char *sameFramesAs = nullptr;   // python-can reads this file of the same frames
    int flags = 0;
    int64_t toleranceUs = 0;              // times the source holds to less than a µs
    const char *fails = nullptr;          // the conversion fails, saying this
    const char *why = "";
};

// What a target keeps of the frames read.
bool kept(const Seen &s, const QString &target, const Row &row)
{
    if (s.fd || ((row.flags & NoRemote) && s.remote))
        return false;
    if (target == "csv")
        return !s.remote && !s.error;
    if (target == "trc")   // python-can 4.1 reads a .trc's data lines of DLC 8 or less only
        return !s.error && !s.remote && s.dlc <= 8;
    if (target == "dat")
        return !s.extended && !s.remote && !s.error && s.id >= 1 && s.id <= 0x7FF;
    return true;
}

bool keepsChannel(const QString &target) { return target != "csv" && target != "dat"; }

void expectSame(std::vector<Seen> want, std::vector<Seen> got, const QString &target,
                const Row &row)
{
    const auto filter = [&](std::vector<Seen> &v) {
        v.erase(std::remove_if(v.begin(), v.end(), [&](const Seen &s) { return !kept(s, target, row); }),
                v.end());
    };
    filter(want);
    filter(got);
    if ((row.flags & PythonLosesFirst) && !got.empty() && row.reference == Reference::PythonCan)
        got.erase(got.begin());
    ASSERT_EQ(got.size(), want.size()) << target.toStdString();
    for (size_t i = 0; i < want.size(); ++i) {
        const Seen &w = want[i];
        const Seen &g = got[i];
        SCOPED_TRACE(testing::Message() << target.toStdString() << " frame " << i);
        EXPECT_EQ(g.error, w.error);
        if (!w.error) {
            EXPECT_EQ(g.id, w.id);
            EXPECT_EQ(g.extended, w.extended);
            EXPECT_EQ(g.remote, w.remote);
            EXPECT_EQ(g.dlc, w.dlc);
            if (!w.remote) {
                EXPECT_EQ(g.data, w.data);
            }
        }
        if (keepsChannel(target)) {
            if (w.channel != 0 && g.channel != 0) {
                EXPECT_EQ(g.channel, w.channel);
            }
            if (!(row.flags & NoDirection)) {
                EXPECT_EQ(g.tx, w.tx);
            }
        }
        const int64_t wantTime = w.timeUs - want.front().timeUs;
        const int64_t gotTime = g.timeUs - got.front().timeUs;
        EXPECT_LE(std::llabs(gotTime - wantTime), row.toleranceUs)
            << "times " << gotTime << " and " << wantTime;
    }
}

class RealLog : public testing::TestWithParam<Row>
{
};

TEST_P(RealLog, ConvertsToEveryFormatWithTheFramesTheReferenceReads)
{
    const Row &row = GetParam();
    const QString source = kData + QLatin1Char('/') + QLatin1String(row.file);
    QTemporaryDir dir;
    static const QStringList kTargets = {"log", "asc", "csv", "blf", "trc", "dat"};

    if (row.fails) {
        for (const QString &target : kTargets) {
            const Result<ConversionReport> r =
                convertLogs(source, dir.filePath("out." + target), {}, ELM327_Info());
            ASSERT_FALSE(r.ok()) << target.toStdString();
            EXPECT_TRUE(r.error().contains(QLatin1String(row.fails))) << r.error().toStdString();
        }
        return;
    }

    std::vector<Seen> reference;
    switch (row.reference) {
    case Reference::PythonCan:
        reference = pythonCan({row.sameFramesAs ? kData + QLatin1Char('/') + QLatin1String(row.sameFramesAs)
                                                : source})
                        .front();
        break;
    case Reference::Asc2log: {
        const QString log = dir.filePath("asc2log.log");
        ASSERT_EQ(QProcess::execute(tool("asc2log"), {"-I", source, "-O", log}), 0);
        reference = pythonCan({log}).front();
        break;
    }
    case Reference::Ours:
        reference = ours({source});
        break;
    }
    ASSERT_FALSE(reference.empty());

    QStringList byPython;
    for (const QString &target : kTargets) {
        const QString out = dir.filePath("out." + target);
        const Result<ConversionReport> r = convertLogs(source, out, {}, ELM327_Info());
        ASSERT_TRUE(r.ok()) << target.toStdString() << ": " << r.error().toStdString();
        EXPECT_EQ(r.value().badLines, 0);
        EXPECT_TRUE(r.value().notCarried.isEmpty()) << target.toStdString();
        EXPECT_EQ(r.value().framesWritten + r.value().skipped(), r.value().framesRead);
        if (target == "dat") {
            expectSame(reference, ours(r.value().outputs), target, row);
        } else if (target == "csv") {
            if (r.value().framesWritten > 0)
                expectSame(reference, ours({out}), target, row);
        } else {
            byPython << out;
        }
    }
    const std::vector<std::vector<Seen>> read = pythonCan(byPython);
    for (int i = 0; i < byPython.size(); ++i)
        expectSame(reference, read[size_t(i)], QFileInfo(byPython[i]).suffix(), row);
}

INSTANTIATE_TEST_SUITE_P(
    Files, RealLog,
    testing::Values(
        Row{"busmaster__BUSMASTERLogFile0.asc", Reference::PythonCan, nullptr, 0, 0,
            nullptr, "one-digit 12-hour clock, Tx and Rx copies on two channels"},
        Row{"busmaster__BUSMASTERLogFileInput.asc", Reference::Asc2log, nullptr, 0,
            INT64_MAX, nullptr,
            "decimal bytes without a base line: python-can 4.1 fails on it; asc2log reads the "
            "frames but adds the times up (no \"timestamps absolute\"), so times are checked in "
            "AscReader.BusmasterDecimalLog"},
        Row{"busmaster__FormatConvASC2LOG.asc", Reference::PythonCan, nullptr, PythonLosesFirst, 0,
            nullptr, "header and frames on one line: python-can 4.1 loses the first frame"},
        Row{"canmatrix__OBD2.asc", Reference::PythonCan, nullptr, 0, 0, nullptr,
            "microsecond date, trigger block, 16361 frames"},
        Row{"pycan__issue_1256.asc"},
        Row{"pycan__issue_1299.asc", Reference::PythonCan, nullptr, 0, 0, nullptr,
            "DLC D on a classic frame"},
        Row{"pycan__logfile.asc", Reference::PythonCan, nullptr, 0, 0, nullptr,
            "German weekday, error, remote, CAN FD and extended frames"},
        Row{"pycan__logfile_errorframes.asc"},
        Row{"pycan__single_frame.asc", Reference::PythonCan, nullptr, 0, 0,
            "no frame found",
            "\"d 40\" (python-can 4.1's writer): no classic DLC; asc2log reads nothing either"},
        Row{"pycan__single_frame_us_locale.asc"},
        Row{"pycan__test_CanErrorFrames.asc"},
        Row{"pycan__test_CanFdMessage.asc", Reference::PythonCan, nullptr, 0, 0,
            nullptr, "CAN FD only: read, counted, not written"},
        Row{"pycan__test_CanFdMessage64.asc"},
        Row{"pycan__test_CanFdRemoteMessage.asc"},
        Row{"pycan__test_CanMessage.asc", Reference::PythonCan, nullptr, 0, 0, nullptr,
            "trigger block time differs from the date line"},
        Row{"pycan__test_CanMessage.asc.gz"},
        Row{"pycan__test_CanRemoteMessage.asc", Reference::PythonCan, nullptr, 0, 0,
            nullptr, "r, r 8, r Length = …"},
        Row{"pycan__issue_1905.blf", Reference::PythonCan, nullptr, 0, 0, nullptr,
            "CAN FD 64 objects shorter than their length (python-can 4.1 reads past them)"},
        Row{"pycan__test_CanErrorFrameExt.blf"},
        Row{"pycan__test_CanFdMessage.blf", Reference::PythonCan, nullptr, 0, 0,
            "no frame found",
            "synthetic objects: CAN FD DLC 51, which python-can 4.1 makes a length of 64"},
        Row{"pycan__test_CanFdMessage64.blf", Reference::PythonCan, nullptr, 0, 0,
            "no frame found", "synthetic objects: CAN FD DLC 34"},
        Row{"pycan__test_CanMessage.blf", Reference::PythonCan, nullptr, 0, 0,
            "no frame found",
            "11-bit identifier 4444444 and DLC 51, which python-can 4.1 passes on"},
        Row{"pycan__test_CanMessage2.blf", Reference::PythonCan, nullptr, 0, 0,
            "no frame found", "as test_CanMessage.blf"},
        Row{"pycan__test_CanMessage.trc"},
        Row{"pycan__test_CanMessage_V1_0_BUS1.trc", Reference::PythonCan,
            "pycan__test_CanMessage_V2_1.trc", NoRemote | NoDirection, 999, nullptr,
            "python-can 4.1 cannot read 1.0; whole milliseconds, no direction"},
        Row{"pycan__test_CanMessage_V1_1.trc", Reference::PythonCan,
            "pycan__test_CanMessage_V2_1.trc", NoRemote, 99, nullptr,
            "python-can 4.1 cannot read RTR lines; tenths of a millisecond"},
        Row{"pycan__test_CanMessage_V1_3.trc", Reference::PythonCan,
            "pycan__test_CanMessage_V2_1.trc", NoRemote, 0, nullptr,
            "python-can 4.1 cannot read 1.3"},
        Row{"pycan__test_CanMessage_V2_0_BUS1.trc", Reference::PythonCan,
            "pycan__test_CanMessage_V2_1.trc", NoRemote, 0, nullptr,
            "python-can 4.1 cannot read 2.0"},
        Row{"pycan__test_CanMessage_V2_1.trc", Reference::PythonCan, nullptr, NoRemote, 0,
            nullptr, "python-can 4.1 skips the RR line"},
        Row{"savvycan__CarBusAnalyzer.trc", Reference::Ours, nullptr, 0, 0, nullptr,
            "python-can 4.1 cannot read it: our reading, checked below, is the reference"},
        Row{"savvycan__GVRET_Log.csv", Reference::Ours, nullptr, 0, 0, nullptr,
            "python-can has no GVRET reader: our reading, checked below, is the reference"},
        Row{"savvycan__candump.log"}),
    [](const testing::TestParamInfo<Row> &info) {
        std::string name = info.param.file;
        for (char &c : name)
            if (!isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

// Runs a python-can program; false when it fails.
bool runPython(const QString &program)
{
    QProcess p;
    p.start(QStringLiteral(PYTHON_CAN), {QStringLiteral("-c"), program});
    if (!p.waitForFinished(120000) || p.exitCode() != 0) {
        ADD_FAILURE() << p.readAllStandardError().toStdString();
        return false;
    }
    return true;
}

const Row kExact{"", Reference::PythonCan};

// What python-can writes, compressed or not, in containers whose objects run on into the
// next, with markers among the frames: read by us as python-can reads it back.
TEST(PythonCanWrites, BlfAndTrcThatWeRead)
{
    QTemporaryDir dir;
    const QString program = QStringLiteral(R"(
import can
frames = []
for i in range(%1):
    frames.append(can.Message(timestamp=1700000000.0 + i * 0.000731, arbitration_id=(i * 7919) % 0x7FF + 1,
        is_extended_id=(i % 5 == 0), is_remote_frame=(i % 11 == 3), dlc=i % 9,
        data=bytes((i + k) & 255 for k in range(i % 9)) if i % 11 != 3 else None,
        channel=i % 3, is_rx=(i % 4 != 0)))
for name, level in (("z.blf", 6), ("plain.blf", 0)):
    w = can.BLFWriter("%2/" + name, compression_level=level)
    for i, m in enumerate(frames):
        w.on_message_received(m)
        if i % 997 == 0:
            w.log_event("marker %d" % i, m.timestamp)
    w.stop()
w = can.TRCWriter("%2/py.trc")
for m in frames:
    if not m.is_remote_frame:
        w.on_message_received(m)
w.stop()
)")
                                .arg(30000)
                                .arg(dir.path());
    ASSERT_TRUE(runPython(program));
    for (const char *name : {"z.blf", "plain.blf", "py.trc"}) {
        SCOPED_TRACE(name);
        const QString path = dir.filePath(QLatin1String(name));
        const std::vector<Seen> reference = pythonCan({path}).front();
        ASSERT_GE(reference.size(), 27000u);
        Collected c;
        const Result<LogReadStats> r = readLogInput(path, ELM327_Info(), c);
        ASSERT_TRUE(r.ok()) << r.error().toStdString();
        EXPECT_EQ(r.value().badLines, 0);
        if (QLatin1String(name).endsWith(QLatin1String(".blf"))) {
            EXPECT_EQ(r.value().otherLines, 31) << "the markers, passed over by their size";
        }
        std::vector<Seen> read;
        for (const LogFrame &f : c.frames)
            read.push_back(seenOf(f));
        expectSame(reference, read, QFileInfo(path).suffix(), kExact);
    }
}

// A damaged .blf is refused with a message or read as far as it goes; it never makes the
// reader read or allocate beyond what the file holds.
TEST(BlfReader, DamagedFilesAreRefusedOrReadAsFarAsTheyGo)
{
    QTemporaryDir dir;
    const QString good = kData + QStringLiteral("/pycan__test_CanErrorFrameExt.blf");
    QFile f(good);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    struct Case
    {
        const char *name;
        QByteArray bytes;
        const char *says;
    };
    QByteArray hugeObject = bytes;
    hugeObject[144 + 8] = char(0xFF);
    hugeObject[144 + 11] = char(0x7F);
    QByteArray badZlib = bytes;
    badZlib[144 + 16] = 2;   // a container of plain objects said to be compressed
    const Case cases[] = {
        {"short", bytes.left(100), "no LOGG header"},
        {"cut", bytes.left(bytes.size() - 30), "file ends inside an object"},
        {"huge", hugeObject, "out of range"},
        {"zlib", badZlib, "damaged"},
        {"header", QByteArray("LOGG") + QByteArray(140, char(0xFF)), "file header size out of range"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QLatin1String(c.name) + QStringLiteral(".blf"));
        ASSERT_TRUE(writeAll(path, c.bytes));
        Collected sink;
        const Result<LogReadStats> r = readLogInput(path, ELM327_Info(), sink);
        ASSERT_FALSE(r.ok());
        EXPECT_TRUE(r.error().contains(QLatin1String(c.says))) << r.error().toStdString();
    }
}

} // namespace
