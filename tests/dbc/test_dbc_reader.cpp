// The DBC reader on hand-made statements and on the code page 932 file, and the decoder's
// bit layouts with values worked out by hand.
#include "DbcFiles.h"
#include "DbcReader.h"
#include "SignalCsv.h"
#include "SignalDecoder.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cmath>

namespace {

CanDatabase parse(const std::string &text) { return DbcReader::parse(text); }

std::string problemsOf(const CanDatabase &db)
{
    std::string all;
    for (const DbcProblem &p : db.problems())
        all += std::to_string(p.line) + ": " + p.text + "\n";
    return all;
}

TEST(DbcReader, Cp932FileWithCrLf)
{
    const Result<CanDatabase> r = DbcReader::readFile(dbcfiles::path("jp_body_cp932.dbc"));
    ASSERT_TRUE(r.ok());
    const CanDatabase &db = r.value();
    EXPECT_EQ(db.formatText(), QStringLiteral("CP932, CRLF"));
    const DbcMessage *body = db.message11(0x1A0);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->name, "BODY_STATUS");
    EXPECT_EQ(body->cycleTimeMs, 100);
    EXPECT_EQ(body->comment, "ボディ状態（ドア・ランプ・外気温）");
    const DbcSignal *lamp = body->signal("LAMP_MODE");
    ASSERT_NE(lamp, nullptr);
    EXPECT_EQ(lamp->valueName(2), "前照灯");
    EXPECT_EQ(lamp->valueName(7), "");
    EXPECT_EQ(body->signal("OUTSIDE_TEMP")->unit, "℃");
    EXPECT_EQ(body->signal("DOOR_FL")->comment, "運転席ドア");
    const DbcMessage *mux = db.message11(1520);
    ASSERT_NE(mux, nullptr);
    EXPECT_EQ(mux->cycleTimeMs, 1000);
    const DbcSignal *fuel = mux->signal("FUEL_RATE");
    EXPECT_EQ(fuel->valueType, DbcSignal::ValueType::Float);
    // 40|32 little-endian ends at bit 71: beyond the frame, said with its line.
    EXPECT_FALSE(fuel->usable);
    EXPECT_NE(problemsOf(db).find("26: signal FUEL_RATE of DIAG_MUX reaches beyond 8 bytes"),
              std::string::npos)
        << problemsOf(db);
}

TEST(DbcReader, Utf8FileWithLf)
{
    const Result<CanDatabase> r = DbcReader::readFile(dbcfiles::path("toyota_2017_ref_pt.dbc"));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value().formatText(), QStringLiteral("UTF-8, LF"));
    // 111 standard identifiers; 32 lines with bit 30 set name no CAN identifier.
    EXPECT_EQ(r.value().standardCount(), 111);
    EXPECT_EQ(r.value().problemCount(), 32);
    EXPECT_FALSE(DbcReader::readFile(QStringLiteral("/nonexistent/x.dbc")).ok());
}

struct BadRow
{
    const char *name;
    std::string text;
    int64_t line;         // of the problem
    const char *problem;  // part of its text
    int messages;         // that still load
};

class DbcBadInput : public testing::TestWithParam<BadRow>
{
};

TEST_P(DbcBadInput, ReportsLineAndKeepsTheRest)
{
    const BadRow &row = GetParam();
    const CanDatabase db = parse(row.text);
    ASSERT_GE(db.problemCount(), 1) << row.name;
    EXPECT_EQ(db.problems().front().line, row.line) << problemsOf(db);
    EXPECT_NE(db.problems().front().text.find(row.problem), std::string::npos)
        << problemsOf(db);
    EXPECT_EQ(int(db.messages().size()), row.messages);
}

const std::string kTail = "BO_ 300 TAIL: 8 X\n SG_ T : 0|8@1+ (1,0) [0|0] \"\" X\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, DbcBadInput,
    testing::Values(
        BadRow{"Garbage", "VERSION \"\"\nhello world\n" + kTail, 2, "not a statement", 1},
        BadRow{"BadStartBit",
               "BO_ 100 A: 8 X\n SG_ S : x|8@1+ (1,0) [0|0] \"\" X\n" + kTail, 2,
               "start bit", 2},
        BadRow{"LengthZero", "BO_ 100 A: 8 X\n SG_ S : 0|0@1+ (1,0) [0|0] \"\" X\n" + kTail,
               2, "length out of range", 2},
        BadRow{"ByteOrder", "BO_ 100 A: 8 X\n SG_ S : 0|8@2+ (1,0) [0|0] \"\" X\n" + kTail,
               2, "byte order", 2},
        BadRow{"IntelPastFrame",
               "BO_ 100 A: 8 X\n SG_ S : 60|8@1+ (1,0) [0|0] \"\" X\n" + kTail, 2,
               "beyond 8 bytes", 2},
        BadRow{"MotorolaPastFrame",
               "BO_ 100 A: 8 X\n SG_ S : 63|16@0+ (1,0) [0|0] \"\" X\n" + kTail, 2,
               "beyond 8 bytes", 2},
        BadRow{"PastDeclaredSize",
               "BO_ 100 A: 2 X\n SG_ S : 16|8@1+ (1,0) [0|0] \"\" X\n" + kTail, 2,
               "beyond its 2 bytes", 2},
        BadRow{"IdentifierTooLarge",
               "BO_ 1075054137 A: 8 X\n SG_ S : 0|8@1+ (1,0) [0|0] \"\" X\n" + kTail, 1,
               "not a CAN identifier", 1},
        BadRow{"SecondMessageSameId",
               "BO_ 300 A: 8 X\n SG_ S : 0|8@1+ (1,0) [0|0] \"\" X\n" + kTail, 3,
               "second message", 1},
        BadRow{"SignalOutsideMessage",
               "BU_: X\n SG_ S : 0|8@1+ (1,0) [0|0] \"\" X\n" + kTail, 2, "outside", 1},
        BadRow{"MuxWithoutMultiplexor",
               "BO_ 100 A: 8 X\n SG_ S m1 : 0|8@1+ (1,0) [0|0] \"\" X\n" + kTail, 2,
               "no multiplexor", 2},
        BadRow{"BareMuxMark", "BO_ 100 A: 8 X\n SG_ S m : 0|8@1+ (1,0) [0|0] \"\" X\n" + kTail,
               2, "multiplexer mark", 2},
        BadRow{"CommentOnUnknownMessage", kTail + "CM_ BO_ 999 \"x\";\n", 3, "no message 999",
               1},
        BadRow{"FloatOf16Bits",
               kTail + "SIG_VALTYPE_ 300 T : 1;\n", 2, "float signal is 32 bits", 1},
        BadRow{"QuoteNeverClosed", kTail + "CM_ BO_ 300 \"open\nmore\n", 3,
               "closing quote", 1}),
    [](const testing::TestParamInfo<BadRow> &info) { return std::string(info.param.name); });

TEST(DbcReader, StatementsOverLinesAndReferences)
{
    const CanDatabase db = parse(
        "NS_ :\n\tCM_\n\tBA_DEF_\n\nBS_:\nBU_: A B\n"
        "VAL_TABLE_ OnOff 1 \"On\" 0 \"Off\" ;\n"
        "BO_ 2147483948 EXT: 8 A\n SG_ E : 0|8@1+ (1,0) [0|0] \"\" B\n"
        "BO_ 256 STD: 8 A\n SG_ S : 0|1@1+ (1,0) [0|1] \"\" B,A\n"
        "CM_ SG_ 256 S \"first line;\nsecond line\";\n"
        "VAL_ 256 S OnOff;\n"
        "BA_DEF_DEF_ \"GenMsgCycleTime\" 50;\n"
        "BA_ \"GenMsgCycleTime\" BO_ 2147483948 20;\n");
    EXPECT_EQ(db.problemCount(), 0) << problemsOf(db);
    const DbcMessage *ext = db.message(300, true);
    ASSERT_NE(ext, nullptr);
    EXPECT_EQ(db.message11(300), nullptr);   // 29-bit: not on this bus
    EXPECT_EQ(ext->cycleTimeMs, 20);
    const DbcMessage *std = db.message11(0x100);
    ASSERT_NE(std, nullptr);
    EXPECT_EQ(std->cycleTimeMs, 50);
    EXPECT_EQ(std->signalList[0].comment, "first line;\nsecond line");
    EXPECT_EQ(std->signalList[0].valueName(1), "On");
    EXPECT_EQ(std->signalList[0].receivers, (std::vector<std::string>{"B", "A"}));
    EXPECT_EQ(db.message11(0xFFFFFFFF), nullptr);
    EXPECT_EQ(db.message11(0x800), nullptr);
}

struct LayoutRow
{
    const char *name;
    const char *signal;     // the SG_ statement's text after the colon
    const char *valueType;  // SIG_VALTYPE_ number or empty
    std::array<uint8_t, 8> payload;
    double value;
};

class DbcLayout : public testing::TestWithParam<LayoutRow>
{
};

TEST_P(DbcLayout, DecodesBitsByHand)
{
    const LayoutRow &row = GetParam();
    std::string text = "BO_ 100 M: 8 X\n SG_ S : " + std::string(row.signal) + " X\n";
    if (*row.valueType)
        text += "SIG_VALTYPE_ 100 S : " + std::string(row.valueType) + ";\n";
    const CanDatabase db = parse(text);
    ASSERT_EQ(db.problemCount(), 0) << problemsOf(db);
    DecodedSignal out[1];
    ASSERT_EQ(signaldecoder::decode(*db.message11(100), row.payload, out), 1);
    EXPECT_EQ(out[0].value, row.value);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DbcLayout,
    testing::Values(
        LayoutRow{"Intel16", "0|16@1+ (1,0) [0|0] \"\"", "", {0x34, 0x12}, 0x1234},
        LayoutRow{"Motorola16", "7|16@0+ (1,0) [0|0] \"\"", "", {0x12, 0x34}, 0x1234},
        LayoutRow{"MotorolaAcrossBytes", "3|8@0+ (1,0) [0|0] \"\"", "", {0x0A, 0xB0}, 0xAB},
        LayoutRow{"IntelMidByte", "4|8@1+ (1,0) [0|0] \"\"", "", {0xB0, 0x0A}, 0xAB},
        LayoutRow{"Signed12", "0|12@1- (1,0) [0|0] \"\"", "", {0xFF, 0x0F}, -1},
        LayoutRow{"SignedMin", "7|8@0- (1,0) [0|0] \"\"", "", {0x80}, -128},
        LayoutRow{"Scaled", "0|16@1+ (0.1,-819.2) [0|0] \"\"", "", {0x00, 0x20}, 0.0},
        LayoutRow{"Full64", "0|64@1+ (1,0) [0|0] \"\"", "",
                  {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 18446744073709551615.0},
        LayoutRow{"Float", "0|32@1- (1,0) [0|0] \"\"", "1", {0x00, 0x00, 0xC0, 0x3F}, 1.5},
        LayoutRow{"FloatMotorola", "7|32@0- (2,1) [0|0] \"\"", "1", {0x3F, 0xC0}, 4.0},
        LayoutRow{"Double", "0|64@1- (1,0) [0|0] \"\"", "2",
                  {0, 0, 0, 0, 0, 0, 0xF8, 0xBF}, -1.5}),
    [](const testing::TestParamInfo<LayoutRow> &info) { return std::string(info.param.name); });

TEST(DbcDecoder, ShortFrameAndMuxPages)
{
    const CanDatabase db = parse("BO_ 100 M: 8 X\n"
                                 " SG_ P M : 0|8@1+ (1,0) [0|0] \"\" X\n"
                                 " SG_ A m1 : 8|8@1+ (1,0) [0|0] \"\" X\n"
                                 " SG_ B m2 : 8|16@1+ (1,0) [0|0] \"\" X\n"
                                 " SG_ C : 56|8@1+ (1,0) [0|0] \"\" X\n");
    const DbcMessage &m = *db.message11(100);
    DecodedSignal out[4];
    const uint8_t page1[] = {1, 7, 0, 0, 0, 0, 0, 9};
    ASSERT_EQ(signaldecoder::decode(m, page1, out), 3);
    EXPECT_EQ(out[1].signal->name, "A");
    const uint8_t page2[] = {2, 7, 1};   // three bytes: C is not in the frame
    ASSERT_EQ(signaldecoder::decode(m, page2, out), 2);
    EXPECT_EQ(out[1].signal->name, "B");
    EXPECT_EQ(out[1].value, 0x107);
    const uint8_t page9[] = {9, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(signaldecoder::decode(m, page9, out), 2);   // P and C
    EXPECT_EQ(signaldecoder::decode(m, {}, out), 0);
}

TEST(SignalCsv, RowsQuoteAndKeepUtf8)
{
    const CanDatabase db = parse("BO_ 2147483948 E: 8 X\n"
                                 " SG_ T : 0|8@1- (0.5,0) [0|0] \"°C\" X\n"
                                 " SG_ N : 8|8@1+ (1,0) [0|0] \"a,b\" X\n"
                                 "VAL_ 2147483948 N 3 \"say \"\"hi\"\"\" ;\n");
    const DbcMessage &m = *db.message(300, true);
    DecodedSignal out[2];
    const uint8_t data[] = {0xFF, 3};
    const int n = signaldecoder::decode(m, data, out);
    std::string csv;
    signalcsv::appendRows(csv, -1500, m, out, n);
    EXPECT_EQ(csv, "-1.500,0000012Cx,E,T,-0.5,°C,\n"
                   "-1.500,0000012Cx,E,N,3,\"a,b\",\n");
}

} // namespace
