#include "DriverTestBus.h"
#include "TestHelpers.h"
#include "canusbdrv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

using namespace drivertest;

namespace {

constexpr const char *serialA = "CANUSBA1";
constexpr const char *serialB = "CANUSBB2";

QByteArray twoAdapters()
{
    const QByteArray bus = QByteArray::fromStdString(privateBus());
    return QByteArray(serialA) + "=virtualcan:" + bus + ";" + serialB + "=virtualcan:" + bus;
}

CANMsg message(uint32_t id, std::vector<uint8_t> data, uint8_t flags = 0)
{
    CANMsg m{};
    m.id = id;
    m.flags = flags;
    m.len = uint8_t(data.size());
    std::copy(data.begin(), data.end(), m.data);
    return m;
}

bool readWithin(CANHANDLE h, CANMsg &msg, int timeoutMs = 3000)
{
    return waitFor([&] { return canusb_Read(h, &msg) == ERROR_CANUSB_OK; }, timeoutMs);
}

class DrvCanusb : public ::testing::Test
{
protected:
    void TearDown() override
    {
        for (CANHANDLE h : m_open)
            canusb_Close(h);
    }

    CANHANDLE open(const char *serial, uint32_t code = CANUSB_ACCEPTANCE_CODE_ALL,
                   uint32_t mask = CANUSB_ACCEPTANCE_MASK_ALL,
                   uint32_t flags = CANUSB_FLAG_TIMESTAMP)
    {
        const CANHANDLE h = canusb_Open(serial, CAN_BAUD_500K, code, mask, flags);
        if (h > 0)
            m_open.push_back(h);
        return h;
    }

    // A writer and a reader on the private bus, both joined.
    void openPair()
    {
        a = open(serialA);
        b = open(serialB);
        ASSERT_GT(a, 0);
        ASSERT_GT(b, 0);
        letClientsJoin();
    }

    // Proves that nothing came before it: the bus keeps one sender's order.
    void expectMarkerFirst()
    {
        CANMsg marker = message(0x7EE, {0xEE});
        ASSERT_EQ(canusb_Write(a, &marker), ERROR_CANUSB_OK);
        CANMsg got{};
        ASSERT_TRUE(readWithin(b, got));
        EXPECT_EQ(+got.id, 0x7EEu);
    }

    ScopedEnv m_env{"CANUSB_ADAPTERS", twoAdapters()};
    std::vector<CANHANDLE> m_open;
    CANHANDLE a = 0;
    CANHANDLE b = 0;
};

} // namespace

TEST_F(DrvCanusb, EnumerationListsTheConfiguredSerialsThenEnds)
{
    char serial[32];
    EXPECT_EQ(canusb_getFirstAdapter(serial, sizeof serial), 2);
    EXPECT_STREQ(serial, serialA);
    EXPECT_EQ(canusb_getNextAdapter(serial, sizeof serial), 2);
    EXPECT_STREQ(serial, serialB);
    EXPECT_LE(canusb_getNextAdapter(serial, sizeof serial), 0);
    EXPECT_STREQ(serial, "");
    // A short buffer gets a cut, terminated serial.
    char tiny[4];
    EXPECT_EQ(canusb_getFirstAdapter(tiny, sizeof tiny), 2);
    EXPECT_STREQ(tiny, "CAN");
    EXPECT_EQ(canusb_getFirstAdapter(nullptr, 32), ERROR_CANUSB_INVALID_PARAM);
    EXPECT_EQ(canusb_getNextAdapter(serial, 0), ERROR_CANUSB_INVALID_PARAM);
}

TEST(DrvCanusbConfig, NoAdaptersWhenTheVariableIsEmptyAndOneByDefault)
{
    char serial[32] = "junk";
    {
        ScopedEnv none("CANUSB_ADAPTERS", "");
        EXPECT_EQ(canusb_getFirstAdapter(serial, sizeof serial), 0);
        EXPECT_STREQ(serial, "");
        EXPECT_EQ(canusb_Open(nullptr, CAN_BAUD_500K, 0, 0xFFFFFFFF, 1), ERROR_CANUSB_NO_DEVICE);
    }
    qunsetenv("CANUSB_ADAPTERS");
    EXPECT_EQ(canusb_getFirstAdapter(serial, sizeof serial), 1);
    EXPECT_GE(std::strlen(serial), 7u);
}

namespace {

struct RateRow
{
    const char *text;
    bool valid;
};

void PrintTo(const RateRow &row, std::ostream *os)
{
    std::string text = !row.text ? "NULL" : *row.text ? row.text : "empty";
    std::replace(text.begin(), text.end(), ' ', '_');
    *os << "rate " << text;
}

class DrvCanusbRate : public DrvCanusb, public ::testing::WithParamInterface<RateRow>
{
};

} // namespace

TEST_P(DrvCanusbRate, OpensOnlyAtTheListedRates)
{
    const CANHANDLE h = canusb_Open(serialA, GetParam().text, 0, 0xFFFFFFFF, 1);
    if (h > 0)
        m_open.push_back(h);
    if (GetParam().valid) {
        EXPECT_GT(h, 0);
    } else {
        EXPECT_EQ(h, ERROR_CANUSB_INVALID_PARAM);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DrvCanusbRate,
    ::testing::Values(RateRow{"1000", true}, RateRow{"800", true}, RateRow{"500", true},
                      RateRow{"250", true}, RateRow{"125", true}, RateRow{"100", true},
                      RateRow{"50", true}, RateRow{"20", true}, RateRow{"10", true},
                      RateRow{"0", false}, RateRow{"", false}, RateRow{"500k", false},
                      RateRow{"500000", false}, RateRow{" 500", false},
                      RateRow{"0x00:0x14", false}, RateRow{nullptr, false}));

TEST_F(DrvCanusb, AnAdapterServesOneHandleAndUnknownSerialsNone)
{
    EXPECT_EQ(open("NOSUCH01"), ERROR_CANUSB_NO_DEVICE);
    const CANHANDLE first = open(serialA);
    ASSERT_GT(first, 0);
    EXPECT_EQ(open(serialA), ERROR_CANUSB_OPEN_SUBSYSTEM);
    EXPECT_EQ(canusb_Close(first), ERROR_CANUSB_OK);
    const CANHANDLE again = open(serialA);
    EXPECT_GT(again, 0);
    EXPECT_NE(again, first);
}

TEST_F(DrvCanusb, FramesCrossTheBusIntact)
{
    openPair();
    const std::vector<CANMsg> sent = {
        message(0x123, {0x11, 0x22, 0x33}),
        message(0x7FF, {1, 2, 3, 4, 5, 6, 7, 8}),
        message(0x001, {}),
        message(0x1ABCDEF0, {0xDE, 0xAD}, CANMSG_EXTENDED),
        message(0x055, {0, 0}, CANMSG_RTR),
    };
    const uint64_t before = monotonicUs() / 1000;
    for (CANMsg m : sent)
        ASSERT_EQ(canusb_Write(a, &m), ERROR_CANUSB_OK);
    for (const CANMsg &want : sent) {
        CANMsg got{};
        ASSERT_TRUE(readWithin(b, got));
        EXPECT_EQ(+got.id, +want.id);
        EXPECT_EQ(+got.flags, +want.flags);
        EXPECT_EQ(+got.len, +want.len);
        if (!(want.flags & CANMSG_RTR)) {
            EXPECT_EQ(std::memcmp(got.data, want.data, +want.len), 0);
        }
        // Stamped on arrival by the monotonic clock, in ms modulo 60000.
        const uint64_t after = monotonicUs() / 1000;
        EXPECT_LT(+got.timestamp, 60000u);
        const uint64_t sinceBefore = (got.timestamp + 60000 - before % 60000) % 60000;
        EXPECT_LE(sinceBefore, after - before);
    }
    CANMsg none{};
    EXPECT_EQ(canusb_Read(b, &none), ERROR_CANUSB_NO_MESSAGE);
    // And the other way round.
    CANMsg back = message(0x321, {9});
    ASSERT_EQ(canusb_Write(b, &back), ERROR_CANUSB_OK);
    CANMsg got{};
    ASSERT_TRUE(readWithin(a, got));
    EXPECT_EQ(+got.id, 0x321u);
}

TEST_F(DrvCanusb, WithoutTheTimestampFlagTheStampIsZero)
{
    a = open(serialA);
    b = open(serialB, CANUSB_ACCEPTANCE_CODE_ALL, CANUSB_ACCEPTANCE_MASK_ALL, 0);
    ASSERT_GT(b, 0);
    letClientsJoin();
    CANMsg m = message(0x10, {1});
    ASSERT_EQ(canusb_Write(a, &m), ERROR_CANUSB_OK);
    CANMsg got{};
    got.timestamp = 12345;
    ASSERT_TRUE(readWithin(b, got));
    EXPECT_EQ(+got.timestamp, 0u);
}

namespace {

struct RefusedRow
{
    const char *what;
    uint32_t id;
    uint8_t flags;
    uint8_t len;
};

void PrintTo(const RefusedRow &row, std::ostream *os)
{
    *os << row.what;
}

class DrvCanusbRefused : public DrvCanusb, public ::testing::WithParamInterface<RefusedRow>
{
};

} // namespace

TEST_P(DrvCanusbRefused, IsNotSent)
{
    openPair();
    CANMsg m = message(GetParam().id, {1, 2, 3, 4, 5, 6, 7, 8}, GetParam().flags);
    m.len = GetParam().len;
    EXPECT_EQ(canusb_Write(a, &m), ERROR_CANUSB_INVALID_PARAM) << GetParam().what;
    expectMarkerFirst();
}

INSTANTIATE_TEST_SUITE_P(Rows, DrvCanusbRefused,
                         ::testing::Values(RefusedRow{"len 9", 0x100, 0, 9},
                                           RefusedRow{"len 255", 0x100, 0, 255},
                                           RefusedRow{"11-bit id 0x800", 0x800, 0, 1},
                                           RefusedRow{"29-bit id 0x20000000", 0x20000000,
                                                      CANMSG_EXTENDED, 1}));

TEST_F(DrvCanusb, NullPointersAreRefused)
{
    openPair();
    EXPECT_EQ(canusb_Write(a, nullptr), ERROR_CANUSB_INVALID_PARAM);
    EXPECT_EQ(canusb_Read(a, nullptr), ERROR_CANUSB_INVALID_PARAM);
    EXPECT_EQ(canusb_ReadFirst(a, 1, 0, nullptr), ERROR_CANUSB_INVALID_PARAM);
    EXPECT_EQ(canusb_VersionInfo(a, nullptr), ERROR_CANUSB_INVALID_PARAM);
}

namespace {

class DrvCanusbBadHandle : public DrvCanusb, public ::testing::WithParamInterface<int>
{
};

} // namespace

// 0: never valid; -1: a failed open's result; 1: closed (handles are never reused); a
// handle far beyond those given out.
TEST_P(DrvCanusbBadHandle, EveryCallSaysNotOpen)
{
    const CANHANDLE closed = open(serialA);
    ASSERT_GT(closed, 0);
    canusb_Close(closed);
    m_open.clear();
    const CANHANDLE h = GetParam() == 1 ? closed : GetParam();
    CANMsg m = message(0x100, {1});
    char text[32];
    EXPECT_EQ(canusb_Read(h, &m), ERROR_CANUSB_NOT_OPEN);
    EXPECT_EQ(canusb_ReadFirst(h, 0x100, 0, &m), ERROR_CANUSB_NOT_OPEN);
    EXPECT_EQ(canusb_Write(h, &m), ERROR_CANUSB_NOT_OPEN);
    EXPECT_EQ(canusb_WriteAt(h, &m, 0), ERROR_CANUSB_NOT_OPEN);
    EXPECT_EQ(canusb_WriteAtStatus(h, nullptr, nullptr), ERROR_CANUSB_NOT_OPEN);
    EXPECT_EQ(canusb_Status(h), ERROR_CANUSB_NOT_OPEN);
    EXPECT_EQ(canusb_VersionInfo(h, text), ERROR_CANUSB_NOT_OPEN);
    EXPECT_EQ(canusb_Flush(h, FLUSH_DONTWAIT), ERROR_CANUSB_NOT_OPEN);
    EXPECT_EQ(canusb_Close(h), ERROR_CANUSB_NOT_OPEN);
}

INSTANTIATE_TEST_SUITE_P(Rows, DrvCanusbBadHandle, ::testing::Values(0, -1, 1, 99999));

TEST_F(DrvCanusb, VersionFitsTheCallersBuffer)
{
    a = open(serialA);
    ASSERT_GT(a, 0);
    char buffer[64];
    std::memset(buffer, 0x55, sizeof buffer);
    EXPECT_GE(canusb_VersionInfo(a, buffer), 1);
    const size_t len = strnlen(buffer, 32);
    EXPECT_LT(len, 32u);
    EXPECT_GT(len, 0u);
    for (size_t i = 32; i < sizeof buffer; ++i)
        EXPECT_EQ(buffer[i], 0x55);
}

TEST_F(DrvCanusb, AcceptanceFilterLetsOnlyItsIdentifierIn)
{
    a = open(serialA);
    b = open(serialB, 0x123u << 21, 0x001FFFFF);
    ASSERT_GT(b, 0);
    letClientsJoin();
    for (uint32_t id : {0x122u, 0x123u, 0x124u, 0x523u}) {
        CANMsg m = message(id, {1});
        ASSERT_EQ(canusb_Write(a, &m), ERROR_CANUSB_OK);
    }
    CANMsg got{};
    ASSERT_TRUE(readWithin(b, got));
    EXPECT_EQ(+got.id, 0x123u);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(canusb_Read(b, &got), ERROR_CANUSB_NO_MESSAGE);
}

TEST_F(DrvCanusb, ReadFirstTakesTheMatchAndLeavesTheRestInOrder)
{
    openPair();
    for (CANMsg m : {message(0x10, {1}), message(0x20, {2}), message(0x20, {2}, CANMSG_EXTENDED),
                     message(0x30, {3})})
        ASSERT_EQ(canusb_Write(a, &m), ERROR_CANUSB_OK);
    // 0x30 was sent last: once it is in, all four are.
    CANMsg got{};
    ASSERT_TRUE(waitFor([&] { return canusb_ReadFirst(b, 0x30, 0, &got) == ERROR_CANUSB_OK; }));
    EXPECT_EQ(+got.id, 0x30u);
    ASSERT_EQ(canusb_ReadFirst(b, 0x20, CANMSG_EXTENDED, &got), ERROR_CANUSB_OK);
    EXPECT_EQ(+got.flags, CANMSG_EXTENDED);
    EXPECT_EQ(canusb_ReadFirst(b, 0x40, 0, &got), ERROR_CANUSB_NO_MESSAGE);
    ASSERT_EQ(canusb_Read(b, &got), ERROR_CANUSB_OK);
    EXPECT_EQ(+got.id, 0x10u);
    ASSERT_EQ(canusb_Read(b, &got), ERROR_CANUSB_OK);
    EXPECT_EQ(+got.id, 0x20u);
    EXPECT_EQ(+got.flags, 0);
    EXPECT_EQ(canusb_Read(b, &got), ERROR_CANUSB_NO_MESSAGE);
}

TEST_F(DrvCanusb, OverflowKeepsTheFirstFramesAndRaisesTheFifoFullBit)
{
    openPair();
    constexpr uint32_t capacity = 65536;
    constexpr uint32_t total = capacity + 500;
    for (uint32_t seq = 0; seq < total;) {
        CANMsg m = message(0x200, {uint8_t(seq), uint8_t(seq >> 8), uint8_t(seq >> 16)});
        const int r = canusb_Write(a, &m);
        if (r == ERROR_CANUSB_TX_FIFO_FULL) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        ASSERT_EQ(r, ERROR_CANUSB_OK);
        ++seq;
    }
    ASSERT_TRUE(waitFor([&] { return canusb_Flush(a, FLUSH_WAIT) == ERROR_CANUSB_OK; }, 20000));
    ASSERT_TRUE(waitFor([&] { return canusb_Status(b) & CANSTATUS_RECEIVE_FIFO_FULL; }, 20000));
    // Reading makes room: let the last frames on their way be dropped first.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(canusb_Status(a) & CANSTATUS_RECEIVE_FIFO_FULL, 0);
    uint32_t expected = 0;
    CANMsg got{};
    while (canusb_Read(b, &got) == ERROR_CANUSB_OK) {
        const uint32_t seq = got.data[0] | got.data[1] << 8 | got.data[2] << 16;
        ASSERT_EQ(seq, expected);
        ++expected;
    }
    EXPECT_EQ(expected, capacity);
    // Sticky until the receive queue is flushed.
    EXPECT_TRUE(canusb_Status(b) & CANSTATUS_RECEIVE_FIFO_FULL);
    EXPECT_EQ(canusb_Flush(b, FLUSH_EMPTY_INQUEUE | FLUSH_DONTWAIT), ERROR_CANUSB_OK);
    EXPECT_EQ(canusb_Status(b) & CANSTATUS_RECEIVE_FIFO_FULL, 0);
}

TEST_F(DrvCanusb, FlushWaitsForTheWritesAndCanEmptyTheReceiveQueue)
{
    openPair();
    for (uint8_t i = 0; i < 100; ++i) {
        CANMsg m = message(0x300, {i});
        ASSERT_EQ(canusb_Write(a, &m), ERROR_CANUSB_OK);
    }
    EXPECT_EQ(canusb_Flush(a, FLUSH_WAIT), ERROR_CANUSB_OK);
    CANMsg got{};
    ASSERT_TRUE(readWithin(b, got));
    EXPECT_EQ(canusb_Flush(b, FLUSH_EMPTY_INQUEUE | FLUSH_DONTWAIT), ERROR_CANUSB_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    canusb_Flush(b, FLUSH_EMPTY_INQUEUE | FLUSH_DONTWAIT);
    EXPECT_EQ(canusb_Read(b, &got), ERROR_CANUSB_NO_MESSAGE);
}

TEST_F(DrvCanusb, WritesJustBeforeCloseStillReachTheBus)
{
    openPair();
    for (uint8_t i = 0; i < 50; ++i) {
        CANMsg m = message(0x400, {i});
        ASSERT_EQ(canusb_Write(a, &m), ERROR_CANUSB_OK);
    }
    ASSERT_EQ(canusb_Close(a), ERROR_CANUSB_OK);
    std::erase(m_open, a);
    for (uint8_t i = 0; i < 50; ++i) {
        CANMsg got{};
        ASSERT_TRUE(readWithin(b, got));
        EXPECT_EQ(got.data[0], i);
    }
}

namespace {

struct OpenFailRow
{
    const char *what;
    const char *device;
    int result;
};

void PrintTo(const OpenFailRow &row, std::ostream *os)
{
    *os << row.what;
}

class DrvCanusbOpenFails : public ::testing::TestWithParam<OpenFailRow>
{
};

} // namespace

// Opening never hangs: a refused device fails at once, an unreachable one after the
// driver's time limit.
TEST_P(DrvCanusbOpenFails, WithTheRightCode)
{
    QByteArray device(GetParam().device);
    device.replace("PRIVATE", QByteArray::fromStdString(privateBus()).chopped(5));
    ScopedEnv env("CANUSB_ADAPTERS", "FAILING1=" + device);
    EXPECT_EQ(canusb_Open("FAILING1", CAN_BAUD_500K, 0, 0xFFFFFFFF, 1), GetParam().result)
        << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DrvCanusbOpenFails,
    ::testing::Values(OpenFailRow{"no such plugin", "nosuchplugin:can0", ERROR_CANUSB_OPEN_SUBSYSTEM},
                      OpenFailRow{"virtual channel out of range", "virtualcan:PRIVATE/can7",
                                  ERROR_CANUSB_OPEN_SUBSYSTEM},
                      OpenFailRow{"host not reachable", "virtualcan:tcp://192.0.2.1:35468/can0",
                                  ERROR_CANUSB_TIMEOUT}));
