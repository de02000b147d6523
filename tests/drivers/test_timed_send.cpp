// Timed transmission on a private virtual bus. A listening IFCan port stamps each arrival in
// microseconds on CLOCK_MONOTONIC, the clock of the due times. Both libraries share the
// worker that paces; IFCan's timed calls are played through in the playback tests.
#include "DriverTestBus.h"
#include "IFCan.h"
#include "TestHelpers.h"
#include "canusbdrv.h"

#include <gtest/gtest.h>

#include <vector>

using namespace drivertest;

namespace {

constexpr int64_t kStampWrapUs = 429491000;
constexpr uint32_t kTimedCapacity = 4096;

struct Arrival
{
    uint16_t seq;
    int64_t stampUs;
};

// Signed distance of an arrival stamp from a due time, across the stamp's wrap.
int64_t lateUs(const Arrival &a, uint64_t dueUs)
{
    int64_t d = (a.stampUs - int64_t(dueUs % kStampWrapUs)) % kStampWrapUs;
    if (d > kStampWrapUs / 2)
        d -= kStampWrapUs;
    if (d < -kStampWrapUs / 2)
        d += kStampWrapUs;
    return d;
}

class DrvTimed : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_listener = CanOpenPort("IFCAN9");
        ASSERT_NE(m_listener, -1);
        ASSERT_EQ(CanActivate(m_listener), IFCAN_ERROR_SUCCESS);
        h = canusb_Open("TIMED01", CAN_BAUD_500K, 0, CANUSB_ACCEPTANCE_MASK_ALL, 0);
        ASSERT_GT(h, 0);
        letClientsJoin();
    }
    void TearDown() override
    {
        if (h > 0)
            canusb_Close(h);
        CanClosePort(m_listener);
    }

    int writeAt(uint16_t seq, uint64_t dueUs)
    {
        CANMsg m{};
        m.id = 0x321;
        m.len = 2;
        m.data[0] = uint8_t(seq);
        m.data[1] = uint8_t(seq >> 8);
        return canusb_WriteAt(h, &m, dueUs);
    }
    std::pair<uint32_t, uint32_t> status()
    {
        uint32_t sent = 0, waiting = 0;
        EXPECT_EQ(canusb_WriteAtStatus(h, &sent, &waiting), ERROR_CANUSB_OK);
        return {sent, waiting};
    }

    // Everything that arrives within timeoutMs, stopping early once `count` have.
    std::vector<Arrival> listen(size_t count, int timeoutMs)
    {
        std::vector<Arrival> got;
        waitFor(
            [&] {
                CAN_MESSAGE m{};
                while (CanReceiveMessage(m_listener, &m, 1) == IFCAN_ERROR_SUCCESS)
                    got.push_back({uint16_t(m.ucData[0] | m.ucData[1] << 8),
                                   int64_t(m.ulTimeStamp)});
                return got.size() >= count;
            },
            timeoutMs);
        return got;
    }

    CANHANDLE h = 0;

private:
    ScopedEnv m_usb{"CANUSB_ADAPTERS",
                    "TIMED01=virtualcan:" + QByteArray::fromStdString(privateBus())};
    ScopedEnv m_ports{"IFCAN_PORTS", "9=virtualcan:" + QByteArray::fromStdString(privateBus())};
    int32_t m_listener = -1;
};

} // namespace

TEST_F(DrvTimed, FramesLeaveInOrderNeverBeforeTheirDueTime)
{
    // Bursts of four frames sharing a due time, 1.5 ms apart; frame 20 is due before its
    // predecessor and so leaves right after it.
    const uint64_t base = monotonicUs() + 30000;
    std::vector<uint64_t> due;
    for (uint16_t i = 0; i < 40; ++i) {
        due.push_back(i == 20 ? base : base + uint64_t(i / 4) * 1500);
        ASSERT_EQ(writeAt(i, due.back()), ERROR_CANUSB_OK);
    }
    const std::vector<Arrival> got = listen(due.size(), 5000);
    ASSERT_EQ(got.size(), due.size());
    uint64_t notBefore = 0;
    for (size_t i = 0; i < got.size(); ++i) {
        ASSERT_EQ(got[i].seq, i) << "out of order";
        notBefore = std::max(notBefore, due[i]);
        EXPECT_GE(lateUs(got[i], notBefore), 0) << "frame " << i << " left early";
        // Loose: only a frame held for no reason should fail this.
        EXPECT_LT(lateUs(got[i], notBefore), 200000) << "frame " << i;
    }
    EXPECT_EQ(status(), std::make_pair(uint32_t(due.size()), 0u));
}

TEST_F(DrvTimed, ADueTimeInThePastSendsAtOnce)
{
    const uint64_t written = monotonicUs();
    ASSERT_EQ(writeAt(7, 1), ERROR_CANUSB_OK);
    const std::vector<Arrival> got = listen(1, 3000);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].seq, 7);
    EXPECT_LT(lateUs(got[0], written), 200000);
}

TEST_F(DrvTimed, AFullQueueIsRefusedAtOnceAndFlushEmptiesIt)
{
    const uint64_t later = monotonicUs() + 60000000;
    uint32_t taken = 0;
    int r = ERROR_CANUSB_OK;
    while (taken <= kTimedCapacity && (r = writeAt(uint16_t(taken), later)) == ERROR_CANUSB_OK)
        ++taken;
    EXPECT_EQ(r, ERROR_CANUSB_TX_FIFO_FULL);
    EXPECT_EQ(taken, kTimedCapacity);
    EXPECT_EQ(status(), std::make_pair(0u, kTimedCapacity));
    EXPECT_EQ(canusb_Flush(h, FLUSH_CANCEL_TIMED | FLUSH_DONTWAIT), ERROR_CANUSB_OK);
    EXPECT_EQ(status(), std::make_pair(0u, 0u));
    // The next frame is paced afresh, not behind the dropped ones' far due time.
    ASSERT_EQ(writeAt(9999, monotonicUs() + 5000), ERROR_CANUSB_OK);
    const std::vector<Arrival> got = listen(2, 1500);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].seq, 9999);
}

TEST_F(DrvTimed, FlushAndCloseDropOnlyWhatHasNotLeft)
{
    const uint64_t now = monotonicUs();
    for (uint16_t i = 0; i < 10; ++i)
        ASSERT_EQ(writeAt(i, now + (i < 5 ? 5000 : 5000000)), ERROR_CANUSB_OK);
    ASSERT_TRUE(waitFor([&] { return status().first == 5; }));
    canusb_Flush(h, FLUSH_CANCEL_TIMED | FLUSH_DONTWAIT);
    EXPECT_EQ(status(), std::make_pair(5u, 0u));
    // Frames still waiting when the handle closes never leave either.
    for (uint16_t i = 10; i < 13; ++i)
        ASSERT_EQ(writeAt(i, monotonicUs() + 200000), ERROR_CANUSB_OK);
    canusb_Close(h);
    h = 0;
    const std::vector<Arrival> got = listen(6, 600);
    ASSERT_EQ(got.size(), 5u);
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(got[i].seq, i);
}
