#include "FrameQueue.h"

#include <gtest/gtest.h>

namespace {

BusFrame frame(uint32_t id)
{
    BusFrame f;
    f.id = id;
    f.len = 1;
    f.data[0] = uint8_t(id);
    return f;
}

void pushIds(FrameQueue &q, uint32_t first, uint32_t count)
{
    for (uint32_t id = first; id < first + count; ++id) {
        const BusFrame f = frame(id);
        q.push(&f, 1);
    }
}

std::vector<uint32_t> popAll(FrameQueue &q)
{
    std::vector<uint32_t> ids;
    BusFrame f;
    while (q.pop(f))
        ids.push_back(f.id);
    return ids;
}

} // namespace

TEST(DrvFrameQueue, FullQueueKeepsTheOldestAndCountsTheRest)
{
    FrameQueue q(4);
    std::vector<BusFrame> burst;
    for (uint32_t id = 1; id <= 6; ++id)
        burst.push_back(frame(id));
    EXPECT_EQ(q.push(burst.data(), burst.size()), 2u);
    EXPECT_EQ(q.dropped(), 2u);
    EXPECT_EQ(popAll(q), (std::vector<uint32_t>{1, 2, 3, 4}));
    // Room again after reading: nothing of the dropped frames comes back.
    pushIds(q, 7, 1);
    EXPECT_EQ(popAll(q), (std::vector<uint32_t>{7}));
    EXPECT_EQ(q.dropped(), 2u);
}

TEST(DrvFrameQueue, OrderHoldsAcrossTheRingBoundary)
{
    FrameQueue q(3);
    std::vector<uint32_t> seen;
    for (uint32_t round = 0; round < 5; ++round) {
        pushIds(q, round * 10, 2);
        BusFrame f;
        ASSERT_TRUE(q.pop(f));
        seen.push_back(f.id);
        ASSERT_TRUE(q.pop(f));
        seen.push_back(f.id);
    }
    EXPECT_EQ(seen, (std::vector<uint32_t>{0, 1, 10, 11, 20, 21, 30, 31, 40, 41}));
    EXPECT_EQ(q.dropped(), 0u);
}

TEST(DrvFrameQueue, PopExactlyTakesAllOrNothing)
{
    FrameQueue q(8);
    pushIds(q, 1, 2);
    BusFrame out[3];
    EXPECT_FALSE(q.popExactly(out, 3));
    EXPECT_EQ(q.size(), 2u);
    EXPECT_FALSE(q.popExactly(out, 0));
    ASSERT_TRUE(q.popExactly(out, 2));
    EXPECT_EQ(out[0].id, 1u);
    EXPECT_EQ(out[1].id, 2u);
    EXPECT_EQ(q.size(), 0u);
}

TEST(DrvFrameQueue, TakeFirstRemovesOnlyTheMatchAndKeepsTheOrder)
{
    FrameQueue q(4);
    pushIds(q, 1, 3);
    BusFrame f;
    ASSERT_TRUE(q.pop(f)); // move the head, so the search crosses the ring's end
    pushIds(q, 4, 2);      // queue: 2 3 4 5, stored across the boundary
    ASSERT_TRUE(q.takeFirst([](const BusFrame &x) { return x.id == 4; }, f));
    EXPECT_EQ(f.id, 4u);
    EXPECT_FALSE(q.takeFirst([](const BusFrame &x) { return x.id == 9; }, f));
    EXPECT_EQ(popAll(q), (std::vector<uint32_t>{2, 3, 5}));
}

TEST(DrvFrameQueue, ClearEmptiesButTheDropCountStaysUntilReset)
{
    FrameQueue q(1);
    pushIds(q, 1, 3);
    q.clear();
    EXPECT_EQ(q.size(), 0u);
    EXPECT_EQ(q.dropped(), 2u);
    q.resetDropped();
    EXPECT_EQ(q.dropped(), 0u);
}
