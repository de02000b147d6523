// The readers line by line (dates, trigger blocks, remote spellings, channels, the trace
// versions, GVRET rows), exact round trips through every format with channel, direction
// and frames earlier than the first, and what the conversion says about what it left out.
#include "FormatFixture.h"

#include "AscLog.h"
#include "LogInput.h"
#include "RecordFiles.h"

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

using namespace formattest;

namespace {

int64_t localUs(int y, int mo, int d, int h, int mi, int s, int us)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s)).toMSecsSinceEpoch() * 1000 + us;
}

struct DateRow
{
    const char *name;
    const char *text;
    std::optional<int64_t> us;
};

class AscDates : public testing::TestWithParam<DateRow>
{
};

// Every date form of the samples: 12- and 24-hour clocks, one- or two-digit fields,
// fractions of any length, English and German names, years before 1970.
TEST_P(AscDates, AreReadToTheMicrosecond)
{
    EXPECT_EQ(AscLineParser::parseDate(GetParam().text), GetParam().us);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AscDates,
    testing::Values(
        DateRow{"BusmasterOneDigitHour", "Thu May 17 7:22:50 pm 2012",
                localUs(2012, 5, 17, 19, 22, 50, 0)},
        DateRow{"BusmasterOneDigitFields", "Fri May 18 12:37:1 am 2012",
                localUs(2012, 5, 18, 0, 37, 1, 0)},
        DateRow{"Microseconds", "Thu Apr 04 01:38:47.552056 PM 2019",
                localUs(2019, 4, 4, 13, 38, 47, 552056)},
        DateRow{"TwoDigitFraction", "Sat Sep 30 15:06:13.88 2017",
                localUs(2017, 9, 30, 15, 6, 13, 880000)},
        DateRow{"GermanNames", "Sam Okt 30 15:06:13.191 2017",
                localUs(2017, 10, 30, 15, 6, 13, 191000)},
        DateRow{"GermanMarch", "Do M\xC3\xA4r 2 10:00:00 2017", localUs(2017, 3, 2, 10, 0, 0, 0)},
        DateRow{"GermanMayDec", "Mi Dez 6 10:00:00.5 2017", localUs(2017, 12, 6, 10, 0, 0, 500000)},
        DateRow{"Before1970", "Wed Dec 31 19:00:00.000 1969",
                localUs(1969, 12, 31, 19, 0, 0, 0)},
        DateRow{"NoWeekday", "Nov 14 22:13:20 2023", localUs(2023, 11, 14, 22, 13, 20, 0)},
        DateRow{"UnknownMonth", "Tue Foo 14 22:13:20 2023", std::nullopt},
        DateRow{"HourOutOfRange", "Tue Nov 14 25:13:20 2023", std::nullopt},
        DateRow{"PmAfter12", "Tue Nov 14 13:13:20 pm 2023", std::nullopt},
        DateRow{"NoYear", "Tue Nov 14 22:13:20", std::nullopt}),
    [](const auto &info) { return std::string(info.param.name); });

// One frame in words: "time channel Rx|Tx id[x] kind dlc bytes".
std::string describe(const LogFrame &f)
{
    std::string s = std::to_string(f.timeUs) + ' ' + std::to_string(f.channel) + (f.tx ? " Tx " : " Rx ");
    if (f.error)
        return s + "error";
    char id[16];
    std::snprintf(id, sizeof id, "%X%s", f.id, f.extended ? "x" : "");
    s += id;
    s += f.fd ? " fd " : f.remote ? " r " : " d ";
    s += std::to_string(f.dlc);
    for (int k = 0; k < f.length && !f.remote; ++k) {
        char b[4];
        std::snprintf(b, sizeof b, " %02X", f.data[k]);
        s += b;
    }
    return s;
}

struct LinesRow
{
    const char *name;
    LogFormat format;
    const char *text;
    std::vector<std::string> frames;
    int bad = 0;
};

class ReaderLines : public testing::TestWithParam<LinesRow>
{
};

TEST_P(ReaderLines, GiveTheseFrames)
{
    const LinesRow &row = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("in") + logFormatExtension(row.format));
    ASSERT_TRUE(writeAll(path, row.text));
    Collected c;
    const Result<LogReadStats> r = readLogInput(path, ELM327_Info(), c);
    ASSERT_TRUE(r.ok()) << r.error().toStdString();
    std::vector<std::string> got;
    for (const LogFrame &f : c.frames)
        got.push_back(describe(f));
    EXPECT_EQ(got, row.frames);
    EXPECT_EQ(int(c.bad.size()), row.bad) << (c.bad.empty() ? "" : c.bad.front().second);
}

const std::string kTrigger = std::to_string(localUs(2017, 9, 30, 22, 6, 13, 191000));
const std::string kDate = std::to_string(localUs(2017, 9, 30, 15, 6, 13, 191000));

INSTANTIATE_TEST_SUITE_P(
    Rows, ReaderLines,
    testing::Values(
        LinesRow{"AscTriggerBlockStartsTheTimes", LogFormat::Asc,
                 "date Sam Sep 30 15:06:13.191 2017\nbase hex  timestamps absolute\n"
                 "Begin Triggerblock Sat Sep 30 10:06:13.191 PM 2017\n"
                 "     2.5010 2   C8             Tx   d 8 09 08 07 06 05 04 03 02\n",
                 {std::to_string(localUs(2017, 9, 30, 22, 6, 15, 692000))
                  + " 2 Tx C8 d 8 09 08 07 06 05 04 03 02"}},
        LinesRow{"AscDateWithoutTriggerTime", LogFormat::Asc,
                 "date Sam Sep 30 15:06:13.191 2017\nBegin Triggerblock\n 0.000001 1 1 Rx d 0\n",
                 {std::to_string(localUs(2017, 9, 30, 15, 6, 13, 191001)) + " 1 Rx 1 d 0"}},
        LinesRow{"AscBefore1970TakesTimesAsTheyStand", LogFormat::Asc,
                 "date Wed Dec 31 19:00:00.000 1969\nbase hex  timestamps absolute\n"
                 " 1.000001 1 7 Rx d 1 AA\n",
                 {"1000001 1 Rx 7 d 1 AA"}},
        LinesRow{"AscRemoteSpellings", LogFormat::Asc,
                 "   2.510001 2 100 Rx r\n   2.520002 3 200 Tx r Length = 1704000 BitCount = 145\n"
                 "   2.584921 4 300 Rx r 8 Length = 1704000\n   2.6 1 300 Rx r 9\n",
                 {"2510001 2 Rx 100 r 0", "2520002 3 Tx 200 r 0", "2584921 4 Rx 300 r 8"}, 1},
        LinesRow{"AscErrorAndFdLines", LogFormat::Asc,
                 "   2.501010 1 ErrorFrame ECC: 10100010\n"
                 "   2.501020 2 ErrorFrame Flags = 0xe CodeExt = 0x20a2\n"
                 "  30.005071 CANFD   3 Rx        30a  Generic_Name_12   1 1 8  8 01 02 03 04 05 06 07 08   102203  133   3\n"
                 "  30.806898 CANFD   5 Tx ErrorFrame Not Acknowledge error\n",
                 {"2501010 1 Rx error", "2501020 2 Rx error",
                  "30005071 3 Rx 30A fd 8 01 02 03 04 05 06 07 08", "30806898 5 Tx error"}},
        LinesRow{"AscDecimalBase", LogFormat::Asc,
                 "base dec  timestamps absolute\n 1.0 1 2047 Rx d 2 255 016\n",
                 {"1000000 1 Rx 7FF d 2 FF 10"}},
        LinesRow{"AscBusmasterDecimalWithoutBase", LogFormat::Asc,
                 "date Wed May 30 1:29:58 pm 2012\n"
                 "50165.474900 1 0940 Tx d 8 153 000 000 102 000 000 153 000 \n",
                 {std::to_string(localUs(2012, 5, 30, 13, 29, 58, 0) + 50165474900)
                  + " 1 Tx 3AC d 8 99 00 00 66 00 00 99 00"}},
        LinesRow{"AscRelativeTimes", LogFormat::Asc,
                 "base hex  timestamps relative\n 1.5 1 10 Rx d 0\n 0.25 2 11 Tx d 0\n",
                 {"1500000 1 Rx 10 d 0", "1750000 2 Tx 11 d 0"}},
        LinesRow{"AscDlcAboveEightAndLargeId", LogFormat::Asc,
                 " 13.258671 1  3FF Tx d D 55 AA 01 02 03 04 05 06  Length = 232016\n"
                 " 14.0 1 800 Rx d 0\n",
                 {"13258671 1 Tx 3FF d 13 55 AA 01 02 03 04 05 06", "14000000 1 Rx 800x d 0"}},
        LinesRow{"CandumpChannelAndDirection", LogFormat::Candump,
                 "(1.000001) can0 123#11 T\n(1.000002) vcan3 00000123#R2\n"
                 "(1.000003) can1 20000080#0000000000000000\n",
                 {"1000001 1 Tx 123 d 1 11", "1000002 4 Rx 123x r 2", "1000003 2 Rx error"}},
        LinesRow{"Trc10", LogFormat::Trc,
                 ";##\n     1)     17535  00000100  8  00 01 02 03 04 05 06 07\n"
                 "     2)     17540  FFFFFFFF  4  00 00 00 08 -- -- -- -- BUSHEAVY\n"
                 "    12)     48937      0704  1  RTR\n",
                 {"17535000 1 Rx 100x d 8 00 01 02 03 04 05 06 07", "48937000 1 Rx 704 r 1"}},
        LinesRow{"Trc11", LogFormat::Trc,
                 ";$FILEVERSION=1.1\n     1)     17535.4  Tx     00000100  8  00 00 00 00 00 00 00 00\n"
                 "     2)     17540.3  Warng  FFFFFFFF  4  00 00 00 08  BUSHEAVY\n"
                 "    12)     48937.6  Rx         0704  1  RTR\n",
                 {"17535400 1 Tx 100x d 8 00 00 00 00 00 00 00 00", "48937600 1 Rx 704 r 1"}},
        LinesRow{"Trc13", LogFormat::Trc,
                 ";$FILEVERSION=1.3\n     1)     17535.400 2  Tx    00000100 -  2    0A 0B\n"
                 "     2)     17540.300 1  Warng FFFFFFFF -  4    00 00 00 08 BUSHEAVY\n",
                 {"17535400 2 Tx 100x d 2 0A 0B"}},
        LinesRow{"Trc20", LogFormat::Trc,
                 ";$FILEVERSION=2.0\n;$COLUMNS=N,O,T,I,d,l,D\n"
                 "      1     17535.400 DT 00000100 Tx 2  0A 0B\n"
                 "      2     17540.300 ST          Rx    00 00 00 08\n"
                 "     12     48937.600 RR     0704 Rx 1\n      13     50000.000 ER     - Rx 5 00 01 02 03 04\n",
                 {"17535400 1 Tx 100x d 2 0A 0B", "48937600 1 Rx 704 r 1", "50000000 1 Rx error"}},
        LinesRow{"Trc21StartTime", LogFormat::Trc,
                 ";$FILEVERSION=2.1\n;$STARTTIME=43008.5\n;$COLUMNS=N,O,T,B,I,d,R,L,D\n"
                 "      1      2501.001 DT 2      00C8 Tx -  13    09 08 07 06 05 04 03 02\n"
                 "      2      2501.002 FD 1      00C8 Rx -  9    09 08 07 06 05 04 03 02 01 02 03 04\n",
                 {std::to_string(localUs(2017, 9, 30, 12, 0, 2, 501001)) + " 2 Tx C8 d 13 09 08 07 06 05 04 03 02",
                  std::to_string(localUs(2017, 9, 30, 12, 0, 2, 501002)) + " 1 Rx C8 fd 0"}},
        LinesRow{"CarBusAnalyzer", LogFormat::Trc,
                 "@ TEXT @ 2 @ 64 @ 0 @ 55 @ 10078 @ 00:00:10.078 @\r46,016\t1\t0004\t45A\t8\t5A 04 00 00 00 00 00 00\t00000000\tZ       \t\r"
                 "46,734\t2\t0004\t4E0\t1\t24\t00000000\t$       \t\r",
                 {"46016000 1 Rx 45A d 8 5A 04 00 00 00 00 00 00", "46734000 2 Rx 4E0 d 1 24"}},
        LinesRow{"Gvret", LogFormat::Csv,
                 "Time Stamp,ID,Extended,Bus,LEN,D1,D2,D3,D4,D5,D6,D7,D8\n"
                 "166064000,0000021A,false,0,2,FE,36,,,,,,,\n166064001,1234567,true,1,0,,,,,,,,,\n",
                 {"166064000 1 Rx 21A d 2 FE 36", "166064001 2 Rx 1234567x d 0"}},
        LinesRow{"GvretWithDirection", LogFormat::Csv,
                 "Time Stamp,ID,Extended,Dir,Bus,LEN,D1,D2,D3,D4,D5,D6,D7,D8\n"
                 "5,0000021A,false,Tx,0,1,FE,,,,,,,\n",
                 {"5 1 Tx 21A d 1 FE"}}),
    [](const auto &info) { return std::string(info.param.name); });

struct NoFrameRow
{
    const char *name;
    const char *file;
    QByteArray bytes;
    const char *says;
};

class NoFrame : public testing::TestWithParam<NoFrameRow>
{
};

// A file with no frame its format allows is an error naming the format and the first line.
TEST_P(NoFrame, IsAnErrorNamingTheFormatAndTheFirstLine)
{
    const NoFrameRow &row = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QLatin1String(row.file));
    ASSERT_TRUE(writeAll(path, row.bytes));
    Collected c;
    const Result<LogReadStats> r = readLogInput(path, ELM327_Info(), c);
    ASSERT_FALSE(r.ok());
    EXPECT_TRUE(r.error().contains(QLatin1String(row.says))) << r.error().toStdString();
    const Result<ConversionReport> converted = convertLogs(path, dir.filePath("out.log"), {}, ELM327_Info());
    ASSERT_FALSE(converted.ok());
    EXPECT_EQ(converted.error(), r.error());
    EXPECT_FALSE(QFile::exists(dir.filePath("out.log")));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, NoFrame,
    testing::Values(
        NoFrameRow{"Empty", "a.asc", "", "Vector ASCII log (.asc) was expected; first line \"(the file is empty)\""},
        NoFrameRow{"HeaderOnly", "a.asc", "date Tue Nov 14 22:13:20 2023\nbase hex\n",
                   "first line \"date Tue Nov 14 22:13:20 2023\""},
        NoFrameRow{"BlfNamedAsc", "b.asc", QByteArray("LOGG\x90\0\0\0", 8) + QByteArray(200, '\0'),
                   "Vector ASCII log (.asc) was expected; first line \"LOGG?"},
        NoFrameRow{"OtherTextNamedLog", "c.log", "***BUSMASTER Ver 2.4.0***\n***PROTOCOL CAN***\n",
                   "candump log (.log) was expected (2 lines not valid); first line \"***BUSMASTER"},
        NoFrameRow{"ForeignCsvLayout", "d.csv", "ID,Data Bytes\n0000021A,FE 36\n",
                   "CSV log (.csv) was expected; first line \"ID,Data Bytes\""},
        NoFrameRow{"AscNamedBlf", "e.blf", "date Tue Nov 14 22:13:20 2023\n", "no LOGG header"},
        NoFrameRow{"TraceWithoutFrames", "f.trc", ";$FILEVERSION=2.1\n", "PEAK trace (.trc)"}),
    [](const auto &info) { return std::string(info.param.name); });

// Frames out of order, on two channels, sent and received, with microseconds, through every
// format that keeps channel and direction and back: the same frames at the same times.
TEST(RoundTrip, EveryFormatKeepsMicrosecondsChannelsAndDirection)
{
    QTemporaryDir dir;
    std::string text;
    std::vector<std::string> want;
    for (int i = 0; i < 3000; ++i) {
        // Every fifth frame earlier than the one before, as Tx copies come in a bench log.
        const int64_t us = int64_t(1700000000) * 1000000 + 713 + i * 1371 - (i % 5 == 4 ? 2500 : 0);
        char line[96];
        char data[8];
        if (i % 7 == 6)
            std::snprintf(data, sizeof data, "R%d", i % 9);   // remote frames of every length
        else
            std::snprintf(data, sizeof data, "%02X%02X", i & 255, (i >> 8) & 255);
        std::snprintf(line, sizeof line, "(%lld.%06lld) can%d %03X#%s%s\n",
                      static_cast<long long>(us / 1000000), static_cast<long long>(us % 1000000),
                      i % 2, 1 + i * 37 % 0x7FF, data, i % 3 == 0 ? " T" : "");
        text += line;
    }
    const QString src = dir.filePath("src.log");
    ASSERT_TRUE(writeAll(src, QByteArray::fromStdString(text)));
    Collected original;
    ASSERT_TRUE(readLogInput(src, ELM327_Info(), original).ok());
    for (const LogFrame &f : original.frames)
        want.push_back(describe(f));

    for (const char *via : {"asc", "blf", "trc"}) {
        SCOPED_TRACE(via);
        const QString mid = dir.filePath(QStringLiteral("mid.") + QLatin1String(via));
        const QString back = dir.filePath(QStringLiteral("back_") + QLatin1String(via) + ".log");
        const Result<ConversionReport> there = convertLogs(src, mid, {}, ELM327_Info());
        ASSERT_TRUE(there.ok()) << there.error().toStdString();
        EXPECT_TRUE(there.value().notCarried.isEmpty());
        const Result<ConversionReport> again = convertLogs(mid, back, {}, ELM327_Info());
        ASSERT_TRUE(again.ok()) << again.error().toStdString();
        Collected c;
        ASSERT_TRUE(readLogInput(back, ELM327_Info(), c).ok());
        std::vector<std::string> got;
        for (const LogFrame &f : c.frames)
            got.push_back(describe(f));
        EXPECT_EQ(got, want);
    }
    // No time in the .asc is negative: python-can and asc2log read every line.
    QFile asc(dir.filePath("mid.asc"));
    ASSERT_TRUE(asc.open(QIODevice::ReadOnly));
    EXPECT_FALSE(asc.readAll().contains(" -"));
}

// convert IN OUT.dat: the file OUT.dat when the frames fit one record file, numbered files
// named after it when not; never a folder of that name, never over an existing file.
TEST(RecordOutput, OutDatIsAFileOrNumberedFiles)
{
    QTemporaryDir dir;
    for (const int count : {100, 25000}) {
        SCOPED_TRACE(count);
        std::string text;
        for (int i = 0; i < count; ++i)
            text += "(1." + std::to_string(100000 + i) + ") can0 123#11\n";
        const QString src = dir.filePath(QStringLiteral("in%1.log").arg(count));
        ASSERT_TRUE(writeAll(src, QByteArray::fromStdString(text)));
        const QString out = dir.filePath(QStringLiteral("back%1.dat").arg(count));
        const Result<ConversionReport> r = convertLogs(src, out, {}, ELM327_Info());
        ASSERT_TRUE(r.ok()) << r.error().toStdString();
        EXPECT_EQ(r.value().framesWritten, count);
        if (count <= FrameBuffer::kSlots) {
            EXPECT_EQ(r.value().outputs, QStringList{out});
            EXPECT_TRUE(QFileInfo(out).isFile());
        } else {
            const QString base = dir.filePath(QStringLiteral("back%1").arg(count));
            EXPECT_EQ(r.value().outputs, QStringList({base + "-001.dat", base + "-002.dat"}));
            EXPECT_FALSE(QFileInfo::exists(out));
        }
        EXPECT_EQ(recordfixture::readRecords(r.value().outputs).size(), size_t(count));
        const Result<ConversionReport> again = convertLogs(src, out, {}, ELM327_Info());
        if (count <= FrameBuffer::kSlots) {
            EXPECT_FALSE(again.ok()) << "an existing record file is never replaced";
        }
    }
}

// Frames left out for a reason no help text lists are counted by that reason; the
// documented skips and --channel are counted by kind, and the channels are told.
TEST(Conversion, SaysWhatItLeavesOutAndWhy)
{
    QTemporaryDir dir;
    ASSERT_TRUE(writeAll(dir.filePath("order.log"),
                         "(2.000000) can0 123#11\n(1.000000) can1 124#22 T\n(3.0) can1 125#33\n"));
    // The frame earlier than the first is kept: the record file starts at the earliest.
    Result<ConversionReport> r = convertLogs(dir.filePath("order.log"), dir.filePath("o.dat"), {}, ELM327_Info());
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value().framesWritten, 3);
    EXPECT_TRUE(r.value().notCarried.isEmpty());
    EXPECT_EQ(r.value().channelFrames, (std::map<int, int64_t>{{1, 1}, {2, 2}}));
    EXPECT_EQ(r.value().txFrames, 1);
    const std::vector<RecordFrame> kept = recordfixture::readRecords({dir.filePath("o.dat")});
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(kept[0].time, 1000.0);
    EXPECT_EQ(kept[1].time, 0.0);

    // A candump log cannot hold a time before 1970.
    ASSERT_TRUE(writeAll(dir.filePath("neg.asc"), "base hex  timestamps absolute\n"
                                                  " -1.000000 1 123 Rx d 0\n 1.0 1 124 Rx d 0\n"));
    r = convertLogs(dir.filePath("neg.asc"), dir.filePath("neg.log"), {}, ELM327_Info());
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value().framesWritten, 1);
    EXPECT_EQ(r.value().notCarried.value("time before 1970"), 1);

    ConversionOptions second;
    second.channel = 2;
    r = convertLogs(dir.filePath("order.log"), dir.filePath("c2.dat"), second, ELM327_Info());
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value().framesWritten, 2);
    EXPECT_EQ(r.value().skippedChannel, 1);
    EXPECT_TRUE(r.value().notCarried.isEmpty());
    EXPECT_TRUE(r.value().skippedText().contains("other channel 1"));

    // A record file whose frames go on past an empty slot: a player never reaches them.
    std::vector<RecordFrame> frames = knownFrames(10);
    frames[4].identifier = 0;
    ASSERT_TRUE(recordfixture::writeRecord(dir.filePath("gap.dat"), frames));
    r = convertLogs(dir.filePath("gap.dat"), dir.filePath("gap.log"), {}, ELM327_Info());
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value().framesWritten, 4);
    EXPECT_EQ(r.value().notCarried.value("past an identifier 0"), 5);
}

// A .gz is read through zlib; one cut short fails with what went wrong, not as a short log.
TEST(GzipInput, IsReadAndACutOneIsAnError)
{
    QTemporaryDir dir;
    std::string text;
    for (int i = 0; i < 20000; ++i)
        text += "(1700000000." + std::to_string(100000 + i) + ") can0 1" + std::to_string(i % 90 + 10)
                + "#1122334455667788\n";
    ASSERT_TRUE(writeAll(dir.filePath("t.log"), QByteArray::fromStdString(text)));
    ASSERT_EQ(QProcess::execute("gzip", {"-k", dir.filePath("t.log")}), 0);
    Collected whole;
    const Result<LogReadStats> r = readLogInput(dir.filePath("t.log.gz"), ELM327_Info(), whole);
    ASSERT_TRUE(r.ok()) << r.error().toStdString();
    EXPECT_EQ(whole.frames.size(), 20000u);

    QFile gz(dir.filePath("t.log.gz"));
    ASSERT_TRUE(gz.open(QIODevice::ReadOnly));
    ASSERT_TRUE(writeAll(dir.filePath("cut.log.gz"), gz.readAll().chopped(100)));
    Collected cut;
    const Result<LogReadStats> bad = readLogInput(dir.filePath("cut.log.gz"), ELM327_Info(), cut);
    ASSERT_FALSE(bad.ok());
    EXPECT_TRUE(bad.error().contains("damaged compressed data")) << bad.error().toStdString();
}

} // namespace
