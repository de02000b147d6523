#include "RecordFiles.h"
#include "RecordFixtures.h"
#include "TestHelpers.h"

#include <gtest/gtest.h>

namespace {

QString utf8(const char *s)
{
    return QString::fromUtf8(s);
}

class RecordFormatTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    ELM327_Info params;

    QString put(const QByteArray &bytes, const QString &name = QStringLiteral("f.dat"))
    {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(writeAll(path, bytes));
        return path;
    }

    // A buffer full of something, to see what a load leaves behind.
    static void fillWithMarker(FrameBuffer &b)
    {
        for (RecordFrame &f : b.frames())
            f = fixture::recordFrame(0x555, 9.0, 3, {1, 2, 3});
    }
};

} // namespace

TEST_F(RecordFormatTest, WritesTheDocumentedBytes)
{
    FrameBuffer b;
    b[0] = fixture::recordFrame(0x123, 1.0, 2, {0x11, 0x22});
    const QByteArray bytes = encodeRecordFile(b, RecordTrailer::fromParams(params));

    EXPECT_EQ(bytes.left(21).toHex(' '),
              QByteArray("23 01 00 00 00 00 00 00 00 00 f0 3f 02 11 22 00 00 00 00 00 00"));
    EXPECT_EQ(bytes.mid(21, 21), QByteArray(21, '\0'));
    const QByteArray key = QByteArray::fromHex("1900") + "CAN_Kestrova_REC_FILE_DAT";
    EXPECT_EQ(bytes.mid(420021 + 2 + 15 + 2 + 12, 27), key);
    EXPECT_EQ(bytes, fixture::frameArea(fixture::frame(0x123, 1.0, 2, "\x11\x22"))
                         + fixture::trailer());
    EXPECT_EQ(bytes.size(), 420021 + 8 + 15 + 12 + 25 + 14);
}

TEST_F(RecordFormatTest, ReadsAFileWrittenByHand)
{
    const QByteArray comment = QByteArray::fromHex("8e8e 8cb1 9196 8d73"); // 試験走行
    const QString path = put(fixture::frameArea(fixture::frame(0x123, 1.0, 2, "\x11\x22")
                                                + fixture::frame(0x7FF, 12345.5, 8, "ABCDEFGH"))
                             + fixture::trailer(fixture::productBytes(), fixture::makerBytes(),
                                                fixture::keyBytes(), comment));
    FrameBuffer b;
    fillWithMarker(b);
    ASSERT_EQ(LoadRecordFile(path, params, b), 0);
    EXPECT_EQ(b[0], fixture::recordFrame(0x123, 1.0, 2, {0x11, 0x22}));
    EXPECT_EQ(b[1],
              fixture::recordFrame(0x7FF, 12345.5, 8, {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'}));
    EXPECT_EQ(b[2], RecordFrame{});
    EXPECT_EQ(b[20000], RecordFrame{});
    EXPECT_EQ(b.frameCount(), 2);
    EXPECT_EQ(params.t_LogComment, utf8("試験走行"));
    EXPECT_EQ(CheckRecordFile(path, params), 0);
}

TEST_F(RecordFormatTest, KeepsOddValuesOfAFileAsTheyAre)
{
    // Identifiers and DLCs no recorder writes; the callers decide what to do with them.
    const QString path = put(fixture::frameArea(fixture::frame(0x900, -1.0, 15, "12345678")
                                                + fixture::frame(-7, 2.0, 255, ""))
                             + fixture::trailer());
    FrameBuffer b;
    ASSERT_EQ(LoadRecordFile(path, params, b), 0);
    EXPECT_EQ(b[0].identifier, 0x900);
    EXPECT_EQ(b[0].dlc, 15);
    EXPECT_EQ(b[0].data[7], '8');
    EXPECT_EQ(b[1].identifier, -7);
    EXPECT_EQ(b[1].dlc, 255);
}

TEST_F(RecordFormatTest, ReadsNothingPastTheTrailer)
{
    const QString path = put(fixture::frameArea(fixture::frame(0x100, 0, 0, ""))
                             + fixture::trailer() + QByteArray(5000, '\x7f'));
    FrameBuffer b;
    EXPECT_EQ(LoadRecordFile(path, params, b), 0);
    EXPECT_EQ(params.t_LogComment, utf8("ＣＡＮ受信ログ"));
}

TEST_F(RecordFormatTest, StoresACommentWithItsByteCount)
{
    params.t_LogComment = utf8("ＣＡＮ受信ログ");
    FrameBuffer b;
    const QByteArray bytes = encodeRecordFile(b, RecordTrailer::fromParams(params));
    EXPECT_EQ(bytes.right(16), QByteArray::fromHex("0e00") + fixture::defaultCommentBytes());

    // Half-width kana take one byte, NEC specials two.
    params.t_LogComment = utf8("aｶ①");
    const QByteArray mixed = encodeRecordFile(b, RecordTrailer::fromParams(params));
    EXPECT_EQ(mixed.right(6), QByteArray::fromHex("0400 61 b6 8740"));

    const QString path = put(mixed);
    params.t_LogComment.clear();
    EXPECT_EQ(LoadRecordFile(path, params, b), 0);
    EXPECT_EQ(params.t_LogComment, utf8("aｶ①"));
}

TEST_F(RecordFormatTest, MissingFileOrAFolderIsMinusOne)
{
    FrameBuffer b;
    fillWithMarker(b);
    EXPECT_EQ(LoadRecordFile(dir.filePath("none.dat"), params, b), -1);
    EXPECT_EQ(b[0].identifier, 0);
    EXPECT_EQ(CheckRecordFile(dir.path(), params), -1);
    EXPECT_EQ(CheckRecordFile(QString(), params), -1);
}

// ---- Identification: each of the three strings on its own decides.

struct MismatchRow
{
    const char *name;
    QByteArray product;
    QByteArray maker;
    QByteArray key;
};

static void PrintTo(const MismatchRow &row, std::ostream *os)
{
    *os << row.name;
}

class RecordMismatchTest : public RecordFormatTest,
                           public ::testing::WithParamInterface<MismatchRow>
{
};

TEST_P(RecordMismatchTest, IsMinusTwoAndTheBufferReadsEmpty)
{
    const MismatchRow &row = GetParam();
    const QString path = put(fixture::frameArea(fixture::frame(0x123, 1.0, 2, "\x11\x22")
                                                + fixture::frame(0x124, 2.0, 1, "\x33"))
                             + fixture::trailer(row.product, row.maker, row.key));
    EXPECT_EQ(CheckRecordFile(path, params), -2);

    FrameBuffer b;
    fillWithMarker(b);
    params.t_LogComment = "before";
    EXPECT_EQ(LoadRecordFile(path, params, b), -2);
    EXPECT_EQ(b[0].identifier, 0);
    EXPECT_EQ(b.frameCount(), 0);
    EXPECT_EQ(params.t_LogComment, "before");

    MemoryBuffer memory;
    MemoryComments comments;
    memory.row(3)[0] = fixture::recordFrame(0x555, 0, 0, {});
    EXPECT_EQ(LoadRecordFileToMemory(path, params, comments, memory, 3), -2);
    EXPECT_EQ(memory.row(3)[0].identifier, 0);
    EXPECT_TRUE(comments[3].isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Trailer, RecordMismatchTest,
    ::testing::Values(
        MismatchRow{"OtherProduct", QByteArray("CANvistbus"), fixture::makerBytes(),
                    fixture::keyBytes()},
        MismatchRow{"ProductWithVersion", fixture::productBytes() + " Ver1.01",
                    fixture::makerBytes(), fixture::keyBytes()},
        MismatchRow{"OtherMaker", fixture::productBytes(), QByteArray("Pelmora"),
                    fixture::keyBytes()},
        MismatchRow{"MakerNotCp932", fixture::productBytes(), QByteArray("\x83\xff\x80", 3),
                    fixture::keyBytes()},
        MismatchRow{"OtherKey", fixture::productBytes(), fixture::makerBytes(),
                    QByteArray("CAN_Kestrova_XLS_FILE_DAT")},
        MismatchRow{"KeyInOtherCase", fixture::productBytes(), fixture::makerBytes(),
                    QByteArray("can_kestrova_rec_file_dat")},
        MismatchRow{"EmptyStrings", {}, {}, {}}),
    [](const auto &info) { return std::string(info.param.name); });

// ---- Files that end early: never read past the end, never half-filled buffers.

class RecordTruncatedTest : public RecordFormatTest,
                            public ::testing::WithParamInterface<qsizetype>
{
};

TEST_P(RecordTruncatedTest, FailsBeforeTheComparisonsWithMinusOne)
{
    const QByteArray whole =
        fixture::frameArea(fixture::frame(0x123, 1.0, 2, "\x11\x22")) + fixture::trailer();
    const qsizetype cut = GetParam() >= 0 ? GetParam() : whole.size() + GetParam();
    ASSERT_LT(cut, whole.size());
    const QString path = put(whole.left(cut));
    EXPECT_EQ(CheckRecordFile(path, params), -1);

    FrameBuffer b;
    fillWithMarker(b);
    params.t_LogComment = "before";
    EXPECT_EQ(LoadRecordFile(path, params, b), -1);
    EXPECT_EQ(b[0].identifier, 0);
    EXPECT_EQ(b[1], fixture::recordFrame(0x555, 9.0, 3, {1, 2, 3}));
    EXPECT_EQ(params.t_LogComment, "before");
}

INSTANTIATE_TEST_SUITE_P(CutAt, RecordTruncatedTest,
                         ::testing::Values(0, 1, 20, 21, 21 * 10000 + 7, 420020, 420021,
                                           420022, 420021 + 2 + 15,      // after the product
                                           420021 + 2 + 15 + 2 + 5,      // inside the maker
                                           420021 + 2 + 15 + 2 + 12 + 2, // inside the key
                                           -15,                          // inside the comment
                                           -1));

TEST_F(RecordFormatTest, ACountRunningPastTheEndIsMinusOne)
{
    const QByteArray trailer = fixture::counted(fixture::productBytes())
                               + fixture::counted(fixture::makerBytes())
                               + fixture::counted(fixture::keyBytes())
                               + QByteArray::fromHex("ffff414243");
    EXPECT_EQ(CheckRecordFile(put(fixture::frameArea() + trailer), params), -1);
}
