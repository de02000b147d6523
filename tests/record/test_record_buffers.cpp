#include "RecordFiles.h"
#include "RecordFixtures.h"
#include "TestHelpers.h"

#include <QTimer>

#include <limits>

#include <gtest/gtest.h>

namespace {

const RecordFrame kMarker = fixture::recordFrame(0x555, 9.0, 3, {1, 2, 3});

void fill(std::span<RecordFrame> frames)
{
    std::fill(frames.begin(), frames.end(), kMarker);
}

} // namespace

// ---- StoreFrame

struct StoreRow
{
    const char *name;
    uint8_t dlc;
    int dataBytes;                 // how many bytes the caller hands over
    std::array<uint8_t, 8> stored; // what the slot then holds
};

static void PrintTo(const StoreRow &row, std::ostream *os)
{
    *os << row.name;
}

class StoreFrameTest : public ::testing::TestWithParam<StoreRow>
{
};

TEST_P(StoreFrameTest, CopiesAtMostEightBytesAndZeroesTheRest)
{
    const StoreRow &row = GetParam();
    FrameBuffer b1, b2;
    fill(b1.frames());
    const std::array<uint8_t, 12> data{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    int32_t count = 7;
    ASSERT_TRUE(StoreFrame(count, 1, b1, b2, 42.0, 0x7FF, row.dlc,
                           std::span<const uint8_t>(data.data(), size_t(row.dataBytes))));
    EXPECT_EQ(count, 8);
    EXPECT_EQ(b1[7].identifier, 0x7FF);
    EXPECT_EQ(b1[7].time, 42.0);
    EXPECT_EQ(b1[7].dlc, row.dlc);
    EXPECT_EQ(b1[7].data, row.stored);
    EXPECT_EQ(b1[8], kMarker);
}

INSTANTIATE_TEST_SUITE_P(
    Dlc, StoreFrameTest,
    ::testing::Values(StoreRow{"Zero", 0, 8, {}},
                      StoreRow{"Two", 2, 8, {1, 2}},
                      StoreRow{"Eight", 8, 8, {1, 2, 3, 4, 5, 6, 7, 8}},
                      StoreRow{"NineKeptButEightCopied", 9, 12, {1, 2, 3, 4, 5, 6, 7, 8}},
                      StoreRow{"FifteenKeptButEightCopied", 15, 12, {1, 2, 3, 4, 5, 6, 7, 8}},
                      StoreRow{"FewerBytesThanTheDlc", 8, 3, {1, 2, 3}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(StoreFrame, ChoosesTheBufferByNumber)
{
    FrameBuffer b1, b2;
    const uint8_t data[8] = {0xAA};
    int32_t count = 0;
    StoreFrame(count, 2, b1, b2, 1.0, 0x100, 1, data);
    StoreFrame(count, 1, b1, b2, 2.0, 0x101, 1, data);
    StoreFrame(count, 0, b1, b2, 3.0, 0x102, 1, data);   // anything but 1 is buffer 2
    EXPECT_EQ(count, 3);
    EXPECT_EQ(b2[0].identifier, 0x100);
    EXPECT_EQ(b1[1].identifier, 0x101);
    EXPECT_EQ(b2[2].identifier, 0x102);
    EXPECT_EQ(b1[0].identifier, 0);
    EXPECT_EQ(b1[2].identifier, 0);
}

TEST(StoreFrame, RefusesAFillCountOutsideTheBuffer)
{
    FrameBuffer b1, b2;
    const uint8_t data[8] = {};
    for (int32_t start : {-1, 20001, 1 << 30}) {
        int32_t count = start;
        EXPECT_FALSE(StoreFrame(count, 1, b1, b2, 0, 0x100, 8, data));
        EXPECT_EQ(count, start);
    }
    int32_t last = 20000;
    EXPECT_TRUE(StoreFrame(last, 1, b1, b2, 0, 0x100, 8, data));
    EXPECT_EQ(last, 20001);
    EXPECT_EQ(b1[20000].identifier, 0x100);
}

// ---- Clearing

class ClearFrameBufferTest : public ::testing::TestWithParam<std::pair<int32_t, int>>
{
};

TEST_P(ClearFrameBufferTest, ZeroesUpToTheLastIndexOnly)
{
    const auto [lastIndex, zeroed] = GetParam();
    FrameBuffer b;
    fill(b.frames());
    ClearFrameBuffer(lastIndex, b);
    for (int i : {0, 1, 4, 5, 19999, 20000})
        EXPECT_EQ(b[i] == RecordFrame{}, i < zeroed) << "slot " << i;
}

INSTANTIATE_TEST_SUITE_P(LastIndex, ClearFrameBufferTest,
                         ::testing::Values(std::pair{20000, 20001}, std::pair{4, 5},
                                           std::pair{0, 1}, std::pair{-1, 0},
                                           std::pair{99999, 20001}));

TEST(ClearMemoryBuffer, ZeroesEveryRowOrTheGivenPart)
{
    MemoryBuffer m;
    for (int r : {0, 1, 100, 199})
        fill(m.row(r));
    ClearMemoryBuffer(10, 1, m);
    EXPECT_EQ(m.row(1)[10], RecordFrame{});
    EXPECT_EQ(m.row(1)[11], kMarker);
    EXPECT_EQ(m.row(100)[0], kMarker);

    ClearMemoryBuffer(20000, 199, m);
    for (int r : {0, 1, 100, 199}) {
        EXPECT_EQ(m.row(r)[0], RecordFrame{});
        EXPECT_EQ(m.row(r)[20000], RecordFrame{});
    }
    fill(m.row(199));
    ClearMemoryBuffer(20000, 500, m);   // clamped, nothing beyond the block
    EXPECT_EQ(m.row(199)[20000], RecordFrame{});
    fill(m.row(0));
    ClearMemoryBuffer(20000, -1, m);
    EXPECT_EQ(m.row(0)[0], kMarker);
}

// ---- Loading into memory rows

class MemoryLoadTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    ELM327_Info params;
    MemoryBuffer memory;
    MemoryComments comments;

    QString validFile()
    {
        FrameBuffer b;
        for (int i = 0; i < FrameBuffer::kSlots; ++i)
            b[i] = fixture::recordFrame(1 + i % 0x7FF, i, 1, {uint8_t(i)});
        RecordTrailer t = RecordTrailer::fromParams(params);
        t.comment = QString::fromUtf8("メモリ");
        const QString path = dir.filePath("m.dat");
        writeAll(path, encodeRecordFile(b, t));
        return path;
    }
};

TEST_F(MemoryLoadTest, CopiesEverySlotAndTheCommentButNotTheWindowComment)
{
    const QString path = validFile();
    params.t_LogComment = "unchanged";
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(0);
    ASSERT_EQ(LoadRecordFileToMemory(path, params, comments, memory, 199), 0);
    EXPECT_GT(ticks, 0) << "no yield to the window system while copying";
    EXPECT_EQ(memory.row(199)[0], fixture::recordFrame(1, 0, 1, {0}));
    EXPECT_EQ(memory.row(199)[20000],
              fixture::recordFrame(1 + 20000 % 0x7FF, 20000, 1, {uint8_t(20000)}));
    EXPECT_EQ(comments[199], QString::fromUtf8("メモリ"));
    EXPECT_EQ(params.t_LogComment, "unchanged");
    EXPECT_EQ(memory.row(198)[0], RecordFrame{});
}

class MemoryRowTest : public MemoryLoadTest, public ::testing::WithParamInterface<int32_t>
{
};

TEST_P(MemoryRowTest, ARowOutsideTheStoreIsRefused)
{
    const QString path = validFile();
    for (int r : {0, 199})
        fill(memory.row(r));
    EXPECT_EQ(LoadRecordFileToMemory(path, params, comments, memory, GetParam()), -3);
    EXPECT_EQ(memory.row(0)[0], kMarker);
    EXPECT_EQ(memory.row(199)[20000], kMarker);
    for (const QString &c : comments)
        EXPECT_TRUE(c.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Rows, MemoryRowTest, ::testing::Values(-1, 200, 1000, INT32_MIN));

TEST_F(MemoryLoadTest, AMissingFileLeavesTheRowEmpty)
{
    fill(memory.row(5));
    EXPECT_EQ(LoadRecordFileToMemory(dir.filePath("gone.dat"), params, comments, memory, 5), -1);
    EXPECT_EQ(memory.row(5)[0].identifier, 0);
}

// ---- Times playback cannot keep

TEST_F(MemoryLoadTest, FramesWithoutAUsableTimeTakeTheTimeBeforeThem)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double max = FrameBuffer::kMaxTimeMs;
    // file time -> time played
    const std::pair<double, double> rows[] = {
        {nan, 7},  {-1, 7},    {7, 7},    {nan, 7},     {10, 10}, {-5, 10},
        {inf, 10}, {20, 20},   {1e300, 20}, {-inf, 20}, {0.0, 0}, {30, 30},
        {max, max}, {max * 1.001, max}, {-0.0, -0.0},
    };
    QByteArray frames;
    for (size_t i = 0; i < std::size(rows); ++i)
        frames += fixture::frame(int32_t(0x100 + i), rows[i].first, 8, "\x01");
    const QString path = dir.filePath("t.dat");
    writeAll(path, fixture::frameArea(frames) + fixture::trailer());

    FrameBuffer buffer;
    ASSERT_EQ(LoadRecordFile(path, params, buffer), 0);
    ASSERT_EQ(LoadRecordFileToMemory(path, params, comments, memory, 3), 0);
    ASSERT_EQ(buffer.frameCount(), int(std::size(rows)));
    for (size_t k = 0; k < std::size(rows); ++k) {
        EXPECT_EQ(buffer[int(k)].identifier, 0x100 + int(k));
        EXPECT_EQ(buffer[int(k)].time, rows[k].second) << k;
        EXPECT_EQ(memory.row(3)[k], buffer[int(k)]);
    }
}
