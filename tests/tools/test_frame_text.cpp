#include "FloodMode.h"
#include "FrameText.h"
#include "SimOptions.h"

#include <gtest/gtest.h>

namespace {

struct GoodLine
{
    const char *line;
    double delay;
    uint32_t id;
    bool extended;
    QByteArray data;
};

void PrintTo(const GoodLine &r, std::ostream *os)
{
    *os << '"' << r.line << '"';
}

class ScriptLineGood : public ::testing::TestWithParam<GoodLine>
{
};

TEST_P(ScriptLineGood, Parses)
{
    const GoodLine &row = GetParam();
    QString error;
    const auto parsed = frametext::parseScriptLine(row.line, &error);
    ASSERT_TRUE(parsed) << error.toStdString();
    EXPECT_TRUE(error.isEmpty());
    EXPECT_DOUBLE_EQ(parsed->delayMs, row.delay);
    EXPECT_EQ(parsed->frame.frameId(), row.id);
    EXPECT_EQ(parsed->frame.hasExtendedFrameFormat(), row.extended);
    EXPECT_EQ(parsed->frame.payload(), row.data);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ScriptLineGood,
    ::testing::Values(GoodLine{"0 123 2 01 02", 0, 0x123, false, QByteArray("\x01\x02", 2)},
                      GoodLine{"  12.5\t7ff 1 ff\r\n", 12.5, 0x7FF, false, QByteArray("\xff", 1)},
                      GoodLine{"5 0x100 0", 5, 0x100, false, QByteArray()},
                      // The first identifier that does not fit 11 bits goes out as 29-bit.
                      GoodLine{"0 800 1 00", 0, 0x800, true, QByteArray(1, '\0')},
                      GoodLine{"1 1FFFFFFF 8 00 11 22 33 44 55 66 77", 1, 0x1FFFFFFF, true,
                               QByteArray("\x00\x11\x22\x33\x44\x55\x66\x77", 8)}));

class ScriptLineBad : public ::testing::TestWithParam<const char *>
{
};

TEST_P(ScriptLineBad, IsRefusedWithAReason)
{
    QString error;
    EXPECT_FALSE(frametext::parseScriptLine(GetParam(), &error));
    EXPECT_FALSE(error.isEmpty()) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Rows, ScriptLineBad,
                         ::testing::Values("10 123",                // no DLC
                                           "-1 123 0",              // negative delay
                                           "x 123 0",               // delay not a number
                                           "0 20000000 0",          // beyond 29 bits
                                           "0 12G 0",               // identifier not hex
                                           "0 123 9 0 0 0 0 0 0 0 0 0", // DLC above 8
                                           "0 123 -1",              // negative DLC
                                           "0 123 2 01",            // fewer bytes than DLC
                                           "0 123 1 01 02",         // more bytes than DLC
                                           "0 123 1 100",           // byte above FF
                                           "0 123 1 zz"));

TEST(ScriptLine, BlankAndCommentLinesAreSkippedSilently)
{
    for (const char *line : {"", "   \n", "# 0 123 1 00", "  # indented comment"}) {
        QString error = QStringLiteral("stale");
        EXPECT_FALSE(frametext::parseScriptLine(line, &error));
        EXPECT_TRUE(error.isEmpty()) << line;
    }
}

TEST(LogLine, StandardAndExtendedIdentifiersAndEmptyFrames)
{
    EXPECT_EQ(frametext::logLine(1234.5678, frametext::makeFrame(0x7, QByteArray("\x0a\xff", 2))),
              QByteArray("1234.568 007 2 0A FF\n"));
    EXPECT_EQ(frametext::logLine(0, frametext::makeFrame(0x1ABCDE, QByteArray())),
              QByteArray("0.000 001ABCDE 0\n"));
}

TEST(LogLine, ReadsBackAsTheSameFrame)
{
    const QCanBusFrame frame = frametext::makeFrame(0x5F0, QByteArray("\x01\x80\x7f", 3));
    QByteArray line = frametext::logLine(99.0, frame);
    QString error;
    const auto parsed = frametext::parseScriptLine(line, &error);
    ASSERT_TRUE(parsed) << error.toStdString();
    EXPECT_EQ(parsed->frame.frameId(), frame.frameId());
    EXPECT_EQ(parsed->frame.payload(), frame.payload());
}

TEST(FloodPayload, SequenceLittleEndianThenComplement)
{
    EXPECT_EQ(FloodMode::payload(0), QByteArray("\x00\x00\x00\x00\xff\xff\xff\xff", 8));
    EXPECT_EQ(FloodMode::payload(0x01020304),
              QByteArray("\x04\x03\x02\x01\xfb\xfc\xfd\xfe", 8));
}

struct OptionRow
{
    QStringList args;
    bool valid;
};

void PrintTo(const OptionRow &r, std::ostream *os)
{
    *os << '"' << r.args.join(' ').toStdString() << '"';
}

class Options : public ::testing::TestWithParam<OptionRow>
{
};

TEST_P(Options, AcceptsOrRefuses)
{
    const OptionRow &row = GetParam();
    QString error;
    bool help = false;
    const auto o = SimOptions::parse(QStringList{"cansim"} + row.args, &error, &help);
    EXPECT_EQ(bool(o), row.valid) << row.args.join(' ').toStdString() << ": "
                                  << error.toStdString();
    if (!row.valid) {
        EXPECT_FALSE(error.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Options,
    ::testing::Values(OptionRow{{}, true},
                      OptionRow{{"--mode", "flood", "--count", "10", "--rate", "0"}, true},
                      OptionRow{{"--mode", "flood", "--count", "10", "--ids", "100,7FF,0x1FFFFFFF"},
                                true},
                      OptionRow{{"--mode", "flood"}, false}, // a flood needs a count
                      OptionRow{{"--mode", "flood", "--count", "10", "--ids", "100,,200"}, false},
                      OptionRow{{"--mode", "flood", "--count", "10", "--id", "20000000"}, false},
                      OptionRow{{"--mode", "flood", "--count", "10", "--rate", "-5"}, false},
                      OptionRow{{"--mode", "listen"}, false}, // needs --log
                      OptionRow{{"--mode", "sequence"}, false}, // needs --frames
                      OptionRow{{"--mode", "host", "--duration", "-1"}, false},
                      OptionRow{{"--mode", "host", "--duration", "0.25"}, true},
                      OptionRow{{"--mode", "warp"}, false},
                      OptionRow{{"--mode", "host", "stray"}, false}));

TEST(Options, FloodIdsAreUsedInTheGivenOrder)
{
    QString error;
    bool help = false;
    const auto o = SimOptions::parse({"cansim", "--mode", "flood", "--count", "3", "--ids",
                                      "7ff,100,0x5"},
                                     &error, &help);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->ids, (QList<uint32_t>{0x7FF, 0x100, 0x5}));
}

} // namespace
