// The text logs: round trips through record files, can-utils reading ours and ours reading
// theirs, frames a record file cannot hold, and bad lines with their numbers.
#include "FormatFixture.h"

#include "CandumpLog.h"
#include "LogConversion.h"
#include "LogTextReader.h"
#include "RecordFormat.h"

#include <QDateTime>
#include <QDir>
#include <QProcess>

#include <gtest/gtest.h>

using namespace formattest;

namespace {

Collected readText(const QString &path)
{
    Collected c;
    const Result<LogReadStats> r = readLogTextFile(path, logFormatOfPath(path), c);
    EXPECT_TRUE(r.ok()) << r.error().toStdString();
    return c;
}

// Same identifier, length, DLC and data, and the same spacing of times.
void expectSameFrames(const std::vector<LogFrame> &a, const std::vector<LogFrame> &b)
{
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(a[i].id, b[i].id);
        EXPECT_EQ(a[i].extended, b[i].extended);
        EXPECT_EQ(a[i].remote, b[i].remote);
        EXPECT_EQ(a[i].length, b[i].length);
        EXPECT_EQ(0, std::memcmp(a[i].data, b[i].data, a[i].length));
        EXPECT_EQ(a[i].timeUs - a[0].timeUs, b[i].timeUs - b[0].timeUs);
        if (testing::Test::HasFailure())
            return;
    }
}

ConversionReport convert(const QString &in, const QString &out)
{
    const Result<ConversionReport> r = convertLogs(in, out, {}, ELM327_Info());
    EXPECT_TRUE(r.ok()) << r.error().toStdString();
    return r.ok() ? r.value() : ConversionReport();
}

} // namespace

class RoundTrip : public testing::TestWithParam<const char *>
{
protected:
    QTemporaryDir dir;
};

// 25,000 frames over two record files → text → record files: the same frames at the same
// times, to the microsecond, split again 20001 a file.
TEST_P(RoundTrip, RecordFilesThroughTextGiveTheSameFramesAndTimes)
{
    const std::vector<RecordFrame> frames = knownFrames(25000);
    const QString src = dir.filePath("src");
    QDir().mkpath(src);
    ASSERT_TRUE(writeRecording(src, frames));
    const QString text = dir.filePath(QStringLiteral("all.") + QLatin1String(GetParam()));

    const ConversionReport out = convert(src, text);
    EXPECT_EQ(out.framesWritten, 25000);
    EXPECT_EQ(out.skipped(), 0);
    const ConversionReport back = convert(text, dir.filePath("back"));
    EXPECT_EQ(back.badLines, 0);
    EXPECT_EQ(back.framesWritten, 25000);

    const QStringList written = recordFilesIn(dir.filePath("back"));
    ASSERT_EQ(written.size(), 2);
    EXPECT_EQ(recordfixture::readRecords({written[0]}).size(), size_t(FrameBuffer::kSlots));
    const std::vector<RecordFrame> again = recordfixture::readRecords(written);
    ASSERT_EQ(again.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i)
        ASSERT_EQ(again[i], frames[i]) << "frame " << i;
}

INSTANTIATE_TEST_SUITE_P(Formats, RoundTrip, testing::Values("log", "asc", "csv"));

// can-utils' log2asc reads our candump log and our .asc reader reads what it wrote; its
// asc2log reads our .asc and our log reader reads what it wrote: the same frames.
TEST(CanUtils, ReadOursAndWeReadTheirs)
{
    const QString log2asc = tool("log2asc");
    const QString asc2log = tool("asc2log");
    ASSERT_FALSE(log2asc.isEmpty() || asc2log.isEmpty())
        << "can-utils is missing (scripts/setup.sh installs it)";
    QTemporaryDir dir;
    const QString src = dir.filePath("src");
    QDir().mkpath(src);
    ASSERT_TRUE(writeRecording(src, knownFrames(3000, true)));
    convert(src, dir.filePath("ours.log"));
    convert(src, dir.filePath("ours.asc"));

    QProcess p;
    p.start(log2asc, {"-I", dir.filePath("ours.log"), "-O", dir.filePath("theirs.asc"), "can0"});
    ASSERT_TRUE(p.waitForFinished(30000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    p.start(asc2log, {"-I", dir.filePath("ours.asc"), "-O", dir.filePath("theirs.log")});
    ASSERT_TRUE(p.waitForFinished(30000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();

    const Collected ours = readText(dir.filePath("ours.log"));
    ASSERT_EQ(ours.frames.size(), 3000u);
    for (const char *theirs : {"theirs.asc", "theirs.log"}) {
        SCOPED_TRACE(theirs);
        const Collected c = readText(dir.filePath(QLatin1String(theirs)));
        EXPECT_TRUE(c.bad.empty()) << c.bad.front().first << ": " << c.bad.front().second;
        expectSameFrames(ours.frames, c.frames);
    }
}

struct SkipRow
{
    const char *name;
    const char *ext;
    const char *text;
    int64_t written, fd, remote, error, extended, idZero;
};

class Skipped : public testing::TestWithParam<SkipRow>
{
};

// Frames a record file cannot hold are counted by kind, never written.
TEST_P(Skipped, FramesARecordFileCannotHoldAreCounted)
{
    const SkipRow &row = GetParam();
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("in.") + QLatin1String(row.ext));
    ASSERT_TRUE(writeAll(in, row.text));
    const ConversionReport r = convert(in, dir.filePath("out"));
    EXPECT_EQ(r.badLines, 0) << r.badLineTexts.join('|').toStdString();
    EXPECT_EQ(r.framesWritten, row.written);
    EXPECT_EQ(r.skippedFd, row.fd);
    EXPECT_EQ(r.skippedRemote, row.remote);
    EXPECT_EQ(r.skippedError, row.error);
    EXPECT_EQ(r.skippedExtended, row.extended);
    EXPECT_EQ(r.skippedIdZero, row.idZero);
    EXPECT_EQ(recordfixture::readRecords(recordFilesIn(dir.filePath("out"))).size(),
              size_t(row.written));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Skipped,
    testing::Values(
        SkipRow{"candump", "log",
                "(1.000000) can0 123#11\n(1.1) can0 123##1112233\n(1.2) can0 7FF#R\n"
                "(1.3) can0 20000080#0000000000000000\n(1.4) can0 12345678#11\n"
                "(1.5) can0 800#11\n(1.6) can0 00000123#\n(1.7) can0 000#00\n"
                "(1.8) can0 7FF#R3 R\n(1.9) can0 7FF#0102030405060708_F T\n",
                2, 1, 2, 1, 3, 1},
        SkipRow{"asc", "asc",
                "date Tue Nov 14 10:13:20.000 pm 2023\nbase hex  timestamps absolute\n"
                "Begin Triggerblock\n   0.000000 Start of measurement\n"
                "   0.001 1  123  Rx   d 2 11 22  Length = 1000 BitCount = 50 ID = 291\n"
                "   0.002 CANFD   1 Rx        123  1 0 3  3 11 22 33  0 0 0 0 0 0\n"
                "   0.003 1  7FF Rx r\n   0.004 1  ErrorFrame\n   0.005 1  1ABx Tx d 0\n"
                "   0.006 1  800 Rx d 0\n   0.007 1  0 Rx d 0\n   0.008 1  Statistic: D 0\n"
                "End TriggerBlock\n",
                1, 1, 1, 1, 2, 1},
        SkipRow{"csv", "csv",
                "time_ms,id,dlc,d1,d2,d3,d4,d5,d6,d7,d8\n0.000,123,1,AA,,,,,,,\n"
                "1.000,00000123,0,,,,,,,,\n2.000,1ABCDEF,0\n3.000,0,0\n",
                1, 0, 0, 0, 2, 1}),
    [](const auto &info) { return std::string(info.param.name); });

struct BadRow
{
    const char *name;
    LogFormat format;
    const char *text;
    std::vector<int64_t> badLines;
};

class BadLines : public testing::TestWithParam<BadRow>
{
};

// Every field is checked; a bad line is reported with its number and the rest is read,
// also when the text arrives a few bytes at a time.
TEST_P(BadLines, AreCountedWithTheirLineNumbers)
{
    const BadRow &row = GetParam();
    Collected whole;
    const LogReadStats stats = parseLogText(row.format, row.text, whole);
    std::vector<int64_t> lines;
    for (const auto &b : whole.bad)
        lines.push_back(b.first);
    EXPECT_EQ(lines, row.badLines);
    EXPECT_EQ(stats.badLines, int64_t(row.badLines.size()));
    EXPECT_EQ(whole.frames.size(), 1u) << "the one good line";

    Collected pieces;
    auto parser = makeLogLineParser(row.format);
    LogTextReader reader(*parser, pieces);
    const std::string_view text(row.text);
    for (size_t i = 0; i < text.size(); i += 3)
        reader.feed(text.substr(i, 3));
    reader.finish();
    EXPECT_EQ(pieces.bad.size(), whole.bad.size());
    EXPECT_EQ(pieces.frames.size(), whole.frames.size());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BadLines,
    testing::Values(
        BadRow{"candump", LogFormat::Candump,
               "(1.0) can0 123#1\n(x) can0 123#11\n1.0 can0 123#11\n(1.0) can0 1234#11\n"
               "(1.0) can0 123#112233445566778899\n(1.0) can0 123#11 X\n(1.0) can0\n"
               "(1.0) can0 123##G11\n(1.0) can0 123#11_9\n(1.0) can0 123#R9\n"
               "(1.000001) can0 123#11\n(1.0 can0 123#11",
               {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12}},
        BadRow{"asc", LogFormat::Asc,
               "   1.0 1 123 Rx d 8 11 22\n   1.0 1 123 Ry d 1 11\n   1.0 1 123 Rx q 1 11\n"
               "   1.x 1 123 Rx d 0\n   1.0 1 123 Rx d 1 1G\n   1.0 1 123 Rx d 1 11\n"
               "   1.0 1 123 Rx r 9\n",
               {1, 2, 3, 4, 5, 7}},
        BadRow{"csv", LogFormat::Csv,
               "1.0,123,9x\n1.0,ZZZ,1,11\n1.0,123,2,11\n1.0,123,1,11,22\n2.5,7FF,1,FF\n"
               "x,1,1,1\n1.0,123,1,11,,,,,,,,\n",
               {1, 2, 3, 4, 6, 7}}),
    [](const auto &info) { return std::string(info.param.name); });

// A candump time keeps its microseconds: the record file holds the spacing exactly.
TEST(CandumpTimes, KeepTheMicrosecondsTheSourceHolds)
{
    QTemporaryDir dir;
    ASSERT_TRUE(writeAll(dir.filePath("t.log"),
                         "(1700000000.000001) can0 001#\n(1700000000.000002) can0 002#\n"
                         "(1700000123.456789) can0 003#\n"));
    convert(dir.filePath("t.log"), dir.filePath("out"));
    const auto frames = recordfixture::readRecords(recordFilesIn(dir.filePath("out")));
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].time, 0.0);
    EXPECT_EQ(frames[1].time, 0.001);
    EXPECT_EQ(frames[2].time, 123456.788);
}

struct AscTimeRow
{
    const char *name;
    const char *text;
    std::vector<int64_t> timesUs;   // from the epoch when the file has a date, else from 0
    std::vector<uint32_t> ids;
};

class AscTimes : public testing::TestWithParam<AscTimeRow>
{
};

// The header decides: decimal or hexadecimal, times from the start or from the line
// before, and the date the times count from (12-hour clocks included).
TEST_P(AscTimes, FollowTheHeader)
{
    const AscTimeRow &row = GetParam();
    Collected c;
    parseLogText(LogFormat::Asc, row.text, c);
    ASSERT_TRUE(c.bad.empty()) << c.bad.front().first << ": " << c.bad.front().second;
    std::vector<int64_t> times;
    std::vector<uint32_t> ids;
    for (const LogFrame &f : c.frames) {
        times.push_back(f.timeUs);
        ids.push_back(f.id);
    }
    EXPECT_EQ(times, row.timesUs);
    EXPECT_EQ(ids, row.ids);
}

const int64_t kPm
    = QDateTime(QDate(2023, 11, 14), QTime(22, 13, 20, 500)).toMSecsSinceEpoch() * 1000;

INSTANTIATE_TEST_SUITE_P(
    Rows, AscTimes,
    testing::Values(
        AscTimeRow{"HexAbsolute",
                   "base hex  timestamps absolute\n 1.5 1 10 Rx d 0\n 2.000001 1 7FF Rx d 0\n",
                   {1500000, 2000001},
                   {0x10, 0x7FF}},
        AscTimeRow{"DecRelative",
                   "base dec  timestamps relative\n 1.5 1 16 Rx d 1 255\n 0.25 1 2047 Rx d 0\n",
                   {1500000, 1750000},
                   {16, 2047}},
        AscTimeRow{"DatedPm",
                   "date Tue Nov 14 10:13:20.500 pm 2023\n 0.000100 1 1 Rx d 0\n",
                   {kPm + 100},
                   {1}},
        AscTimeRow{"FourDecimals", " 12.3456 1 1 Rx d 0\n", {12345600}, {1}}),
    [](const auto &info) { return std::string(info.param.name); });

// A line longer than the reader holds is one bad line; the lines after it are read.
TEST(LogTextReader, AnOverlongLineIsOneBadLine)
{
    std::string text = "(1.0) can0 001#\n(1.0) can0 002#";
    text += std::string(LogTextReader::kMaxLineBytes + 10, '1');
    text += "\n(1.0) can0 003#\n";
    Collected c;
    const LogReadStats stats = parseLogText(LogFormat::Candump, text, c);
    EXPECT_EQ(stats.lines, 3);
    ASSERT_EQ(c.bad.size(), 1u);
    EXPECT_EQ(c.bad[0].first, 2);
    ASSERT_EQ(c.frames.size(), 2u);
    EXPECT_EQ(c.frames[1].id, 3u);
}

// Record files written by a conversion are numbered as a recording numbers them: a name
// that is taken is never replaced.
TEST(RecordOutput, TakenNamesAreSkippedAndTheCommentIsKept)
{
    QTemporaryDir dir;
    ASSERT_TRUE(writeAll(dir.filePath("in.csv"), "time_ms,id,dlc\n0.5,123,1,AB\n"));
    ELM327_Info params;
    params.t_LogComment = QStringLiteral("ベンチ 3");
    const Result<ConversionReport> first
        = convertLogs(dir.filePath("in.csv"), dir.filePath("out"), {}, params);
    const Result<ConversionReport> second
        = convertLogs(dir.filePath("in.csv"), dir.filePath("out"), {}, params);
    ASSERT_TRUE(first.ok() && second.ok());
    const QString a = QFileInfo(first.value().outputs.value(0)).fileName();
    const QString b = QFileInfo(second.value().outputs.value(0)).fileName();
    EXPECT_TRUE(a.endsWith("-001.dat")) << a.toStdString();
    EXPECT_TRUE(b.endsWith("-002.dat")) << b.toStdString();
    FrameBuffer buffer;
    RecordTrailer trailer;
    ASSERT_EQ(readRecordFile(second.value().outputs[0], params, &buffer, trailer), 0);
    EXPECT_EQ(trailer.comment, params.t_LogComment);
    EXPECT_EQ(buffer[0], (RecordFrame{0, 0x123, 1, {0xAB}}));
}
