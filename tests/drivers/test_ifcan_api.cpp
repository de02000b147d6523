#include "DriverTestBus.h"
#include "IFCan.h"
#include "TestHelpers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace drivertest;

namespace {

QByteArray twoPorts(const char *modelA = "", const char *modelB = "")
{
    const QByteArray bus = QByteArray::fromStdString(privateBus());
    auto entry = [&](int n, const char *model) {
        QByteArray e = QByteArray::number(n) + "=virtualcan:" + bus;
        if (*model)
            e += QByteArray(":") + model;
        return e;
    };
    return entry(1, modelA) + ";" + entry(2, modelB);
}

CAN_MESSAGE message(uint32_t id, std::vector<uint8_t> data, uint32_t flags = 0)
{
    CAN_MESSAGE m{};
    m.ulID = id;
    m.ulFlags = flags;
    m.ulLength = uint32_t(data.size());
    std::copy(data.begin(), data.end(), m.ucData);
    return m;
}

bool receiveWithin(int32_t h, CAN_MESSAGE &msg, int timeoutMs = 3000)
{
    return waitFor([&] { return CanReceiveMessage(h, &msg, 1) == IFCAN_ERROR_SUCCESS; },
                   timeoutMs);
}

class DrvIfcan : public ::testing::Test
{
protected:
    void TearDown() override
    {
        for (int32_t h : m_open)
            CanClosePort(h);
    }

    int32_t open(const char *name)
    {
        const int32_t h = CanOpenPort(name);
        if (h != -1)
            m_open.push_back(h);
        return h;
    }

    uint32_t close(int32_t h)
    {
        std::erase(m_open, h);
        return CanClosePort(h);
    }

    uint32_t setMode(int32_t h, uint32_t mode, uint32_t bitTiming = CAN_BAUDRATE_500k)
    {
        CAN_CONFIG config{};
        if (CanGetConfig(h, &config) != IFCAN_ERROR_SUCCESS)
            return IFCAN_ERROR_NOT_READY;
        config.ulMode = mode;
        config.ulBitTiming = bitTiming;
        return CanSetConfig(h, &config);
    }

    // Both ports opened, configured and active, as a receive run of the program has them.
    void openPair()
    {
        a = open("IFCAN1");
        b = open("IFCAN2");
        ASSERT_NE(a, -1);
        ASSERT_NE(b, -1);
        ASSERT_EQ(setMode(a, CAN_NORMAL_MODE), IFCAN_ERROR_SUCCESS);
        ASSERT_EQ(setMode(b, CAN_NORMAL_MODE), IFCAN_ERROR_SUCCESS);
        ASSERT_EQ(CanActivate(a), IFCAN_ERROR_SUCCESS);
        ASSERT_EQ(CanActivate(b), IFCAN_ERROR_SUCCESS);
        letClientsJoin();
    }

    // Proves that nothing came before it: the bus keeps one sender's order.
    void expectMarkerFirst()
    {
        const CAN_MESSAGE marker = message(0x7EE, {0xEE});
        ASSERT_EQ(CanSendMessage(a, &marker, 1), IFCAN_ERROR_SUCCESS);
        CAN_MESSAGE got{};
        ASSERT_TRUE(receiveWithin(b, got));
        EXPECT_EQ(got.ulID, 0x7EEu);
    }

    ScopedEnv m_env{"IFCAN_PORTS", twoPorts()};
    std::vector<int32_t> m_open;
    int32_t a = -1;
    int32_t b = -1;
};

} // namespace

TEST(DrvIfcanConfig, DefaultOffersIfcan1OnlyAndEmptyOffersNothing)
{
    qunsetenv("IFCAN_PORTS");
    const int32_t h = CanOpenPort("IFCAN1");
    EXPECT_NE(h, -1);
    EXPECT_EQ(CanOpenPort("IFCAN2"), -1);
    EXPECT_EQ(CanOpenPort("IFCAN200"), -1);
    EXPECT_EQ(CanClosePort(h), IFCAN_ERROR_SUCCESS);
    ScopedEnv none("IFCAN_PORTS", "");
    EXPECT_EQ(CanOpenPort("IFCAN1"), -1);
}

TEST_F(DrvIfcan, PortSearchFindsTheConfiguredPortsAndClosesEachOne)
{
    std::vector<int> found;
    for (int n = 1; n <= 255; ++n) {
        const int32_t h = CanOpenPort(("IFCAN" + std::to_string(n)).c_str());
        if (h != -1)
            found.push_back(n);
        const uint32_t closed = CanClosePort(h);
        EXPECT_EQ(closed, h == -1 ? IFCAN_ERROR_INVALID_HANDLE : IFCAN_ERROR_SUCCESS);
    }
    EXPECT_EQ(found, (std::vector<int>{1, 2}));
}

TEST_F(DrvIfcan, MalformedNamesAndSecondOpensGetNoHandle)
{
    for (const char *name : {"IFCAN", "IFCAN01", "IFCAN1x", "COM1", "", "IFCAN-1"})
        EXPECT_EQ(CanOpenPort(name), -1) << name;
    EXPECT_EQ(CanOpenPort(nullptr), -1);
    ASSERT_NE(open("IFCAN1"), -1);
    EXPECT_EQ(CanOpenPort("IFCAN1"), -1);
    EXPECT_NE(open("ifcan2"), -1);
}

namespace {

struct InfoRow
{
    const char *model;
    uint32_t deviceId;
    uint32_t subsystemId;
};

void PrintTo(const InfoRow &row, std::ostream *os)
{
    *os << (*row.model ? row.model : "no model");
}

class DrvIfcanInfo : public DrvIfcan, public ::testing::WithParamInterface<InfoRow>
{
};

} // namespace

TEST_P(DrvIfcanInfo, PresentsTheConfiguredBoard)
{
    ScopedEnv env("IFCAN_PORTS", twoPorts(GetParam().model, GetParam().model));
    const int32_t first = open("IFCAN1");
    const int32_t second = open("IFCAN2");
    ASSERT_NE(first, -1);
    ASSERT_NE(second, -1);
    CAN_PORT_INFORMATION info;
    std::memset(&info, 0xFF, sizeof info);
    ASSERT_EQ(CanGetPortInformation(first, &info), IFCAN_ERROR_SUCCESS);
    EXPECT_EQ(sizeof info, size_t(CAN_PORT_INFORMATION_LENGTH));
    EXPECT_EQ(info.ulStructLength, uint32_t(CAN_PORT_INFORMATION_LENGTH));
    EXPECT_EQ(info.ulVendorID, 0x1147u);
    EXPECT_EQ(info.ulDeviceID, GetParam().deviceId);
    EXPECT_EQ(info.ulSubsystemID, GetParam().subsystemId);
    EXPECT_EQ(info.ulChannelNumber, 1u);
    EXPECT_EQ(info.ulPhysicalLayer, 1u);
    ASSERT_EQ(CanGetPortInformation(second, &info), IFCAN_ERROR_SUCCESS);
    EXPECT_EQ(info.ulChannelNumber, 2u);
    EXPECT_EQ(CanGetPortInformation(first, nullptr), IFCAN_ERROR_INVALID_PARAMETER);
}

INSTANTIATE_TEST_SUITE_P(Rows, DrvIfcanInfo,
                         ::testing::Values(InfoRow{"", 4852, 8340},
                                           InfoRow{"PCI-485220", 4852, 8340},
                                           InfoRow{"CPZ-485211", 4852, 9355},
                                           InfoRow{"PCI-485420P", 4854, 8340},
                                           InfoRow{"4851/14484", 4851, 14484},
                                           InfoRow{"4999/1", 4999, 1}));

namespace {

struct TimingRow
{
    uint32_t bitTiming;
    bool accepted;
};

void PrintTo(const TimingRow &row, std::ostream *os)
{
    *os << "timing " << row.bitTiming;
}

class DrvIfcanTiming : public DrvIfcan, public ::testing::WithParamInterface<TimingRow>
{
};

} // namespace

TEST_P(DrvIfcanTiming, OnlyTheBoardsBitTimingsAreTaken)
{
    a = open("IFCAN1");
    ASSERT_NE(a, -1);
    CAN_CONFIG before{};
    ASSERT_EQ(CanGetConfig(a, &before), IFCAN_ERROR_SUCCESS);
    EXPECT_EQ(before.ulBitTiming, uint32_t(CAN_BAUDRATE_500k));
    const uint32_t result = setMode(a, CAN_NORMAL_MODE, GetParam().bitTiming);
    CAN_CONFIG after{};
    ASSERT_EQ(CanGetConfig(a, &after), IFCAN_ERROR_SUCCESS);
    if (GetParam().accepted) {
        EXPECT_EQ(result, IFCAN_ERROR_SUCCESS);
        EXPECT_EQ(after.ulBitTiming, GetParam().bitTiming);
    } else {
        EXPECT_EQ(result, IFCAN_ERROR_INVALID_PARAMETER);
        EXPECT_EQ(after.ulBitTiming, before.ulBitTiming);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DrvIfcanTiming,
    ::testing::Values(TimingRow{CAN_BAUDRATE_1M, true}, TimingRow{CAN_BAUDRATE_500k, true},
                      TimingRow{CAN_BAUDRATE_250k, true}, TimingRow{CAN_BAUDRATE_125k, true},
                      TimingRow{CAN_BAUDRATE_100k, true}, TimingRow{CAN_BAUDRATE_95_2k, true},
                      TimingRow{CAN_BAUDRATE_83_3k, true}, TimingRow{CAN_BAUDRATE_50k, true},
                      TimingRow{CAN_BAUDRATE_33_3k, true}, TimingRow{0, false},
                      TimingRow{40, false}, TimingRow{500000, false},
                      TimingRow{0xFFFFFFFF, false}));

TEST_F(DrvIfcan, ModeOtherThanNormalOrListenOnlyIsRefused)
{
    a = open("IFCAN1");
    ASSERT_NE(a, -1);
    EXPECT_EQ(setMode(a, 2), IFCAN_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(CanSetConfig(a, nullptr), IFCAN_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(CanGetConfig(a, nullptr), IFCAN_ERROR_INVALID_PARAMETER);
}

TEST_F(DrvIfcan, FramesCrossTheBusIntact)
{
    openPair();
    const std::vector<CAN_MESSAGE> sent = {
        message(0x123, {0x11, 0x22, 0x33}),
        message(0x7FF, {1, 2, 3, 4, 5, 6, 7, 8}),
        message(0x000, {}),
        message(0x1ABCDEF0, {0xDE, 0xAD}, 1),
        message(0x055, {0, 0, 0}, 2),
    };
    const uint64_t before = monotonicUs();
    ASSERT_EQ(CanSendMessage(a, sent.data(), uint32_t(sent.size())), IFCAN_ERROR_SUCCESS);
    for (const CAN_MESSAGE &want : sent) {
        CAN_MESSAGE got{};
        ASSERT_TRUE(receiveWithin(b, got));
        EXPECT_EQ(got.ulID, want.ulID);
        EXPECT_EQ(got.ulFlags, want.ulFlags);
        EXPECT_EQ(got.ulLength, want.ulLength);
        if (!(want.ulFlags & 2)) {
            EXPECT_EQ(std::memcmp(got.ucData, want.ucData, want.ulLength), 0);
        }
        // Stamped on arrival by the monotonic clock, in µs modulo 429491000.
        const uint64_t after = monotonicUs();
        constexpr uint64_t wrap = 429491000;
        EXPECT_LT(got.ulTimeStamp, wrap);
        EXPECT_LE((got.ulTimeStamp + wrap - before % wrap) % wrap, after - before);
    }
}

TEST_F(DrvIfcan, ReceiveTakesExactlyTheCountOrNothing)
{
    openPair();
    const std::vector<CAN_MESSAGE> sent = {message(0x10, {1}), message(0x11, {2})};
    ASSERT_EQ(CanSendMessage(a, sent.data(), 2), IFCAN_ERROR_SUCCESS);
    CAN_MESSAGE got[3]{};
    ASSERT_TRUE(waitFor([&] {
        // Asking for one more than waits must never take part of them.
        return CanReceiveMessage(b, got, 3) == IFCAN_ERROR_BUFFER_EMPTY
               && CanReceiveMessage(b, got, 2) == IFCAN_ERROR_SUCCESS;
    }));
    EXPECT_EQ(got[0].ulID, 0x10u);
    EXPECT_EQ(got[1].ulID, 0x11u);
    EXPECT_EQ(CanReceiveMessage(b, got, 1), IFCAN_ERROR_BUFFER_EMPTY);
    EXPECT_EQ(CanReceiveMessage(b, got, 0), IFCAN_ERROR_INVALID_PARAMETER);
    EXPECT_EQ(CanReceiveMessage(b, nullptr, 1), IFCAN_ERROR_INVALID_PARAMETER);
}

TEST_F(DrvIfcan, ListenOnlyPortSendsNothing)
{
    openPair();
    ASSERT_EQ(setMode(a, CAN_LISTEN_ONLY_MODE), IFCAN_ERROR_SUCCESS);
    const CAN_MESSAGE m = message(0x111, {1});
    EXPECT_EQ(CanSendMessage(a, &m, 1), IFCAN_ERROR_INVALID_FUNCTION);
    // It still listens.
    const CAN_MESSAGE fromB = message(0x222, {2});
    ASSERT_EQ(CanSendMessage(b, &fromB, 1), IFCAN_ERROR_SUCCESS);
    CAN_MESSAGE got{};
    ASSERT_TRUE(receiveWithin(a, got));
    EXPECT_EQ(got.ulID, 0x222u);
    ASSERT_EQ(setMode(a, CAN_NORMAL_MODE), IFCAN_ERROR_SUCCESS);
    expectMarkerFirst();
}

TEST_F(DrvIfcan, InactivePortNeitherSendsNorReceives)
{
    openPair();
    ASSERT_EQ(CanDeactivate(b), IFCAN_ERROR_SUCCESS);
    const CAN_MESSAGE m = message(0x333, {3});
    EXPECT_EQ(CanSendMessage(b, &m, 1), IFCAN_ERROR_NOT_READY);
    ASSERT_EQ(CanSendMessage(a, &m, 1), IFCAN_ERROR_SUCCESS);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    CAN_MESSAGE got{};
    EXPECT_EQ(CanReceiveMessage(b, &got, 1), IFCAN_ERROR_BUFFER_EMPTY);
    ASSERT_EQ(CanActivate(b), IFCAN_ERROR_SUCCESS);
    expectMarkerFirst();
}

namespace {

struct RefusedRow
{
    const char *what;
    uint32_t id;
    uint32_t flags;
    uint32_t length;
};

void PrintTo(const RefusedRow &row, std::ostream *os)
{
    *os << row.what;
}

class DrvIfcanRefused : public DrvIfcan, public ::testing::WithParamInterface<RefusedRow>
{
};

} // namespace

TEST_P(DrvIfcanRefused, SpoilsTheWholeBatch)
{
    openPair();
    CAN_MESSAGE batch[3] = {message(0x100, {1}), message(0x101, {2}),
                            message(GetParam().id, {1, 2, 3, 4, 5, 6, 7, 8}, GetParam().flags)};
    batch[2].ulLength = GetParam().length;
    EXPECT_EQ(CanSendMessage(a, batch, 3), IFCAN_ERROR_INVALID_PARAMETER) << GetParam().what;
    expectMarkerFirst();
}

INSTANTIATE_TEST_SUITE_P(Rows, DrvIfcanRefused,
                         ::testing::Values(RefusedRow{"length 9", 0x100, 0, 9},
                                           RefusedRow{"length 0xFFFFFFFF", 0x100, 0, 0xFFFFFFFF},
                                           RefusedRow{"11-bit id 0x800", 0x800, 0, 1},
                                           RefusedRow{"29-bit id 0x20000000", 0x20000000, 1, 1}));

TEST_F(DrvIfcan, SendOfNothingIsFineAndOfNullIsRefused)
{
    openPair();
    EXPECT_EQ(CanSendMessage(a, nullptr, 0), IFCAN_ERROR_SUCCESS);
    EXPECT_EQ(CanSendMessage(a, nullptr, 1), IFCAN_ERROR_INVALID_PARAMETER);
}

TEST_F(DrvIfcan, NewBitRateKeepsThePortWorking)
{
    openPair();
    ASSERT_EQ(setMode(a, CAN_NORMAL_MODE, CAN_BAUDRATE_1M), IFCAN_ERROR_SUCCESS);
    ASSERT_EQ(setMode(b, CAN_NORMAL_MODE, CAN_BAUDRATE_1M), IFCAN_ERROR_SUCCESS);
    letClientsJoin();
    expectMarkerFirst();
    const CAN_MESSAGE back = message(0x456, {4});
    ASSERT_EQ(CanSendMessage(b, &back, 1), IFCAN_ERROR_SUCCESS);
    CAN_MESSAGE got{};
    ASSERT_TRUE(receiveWithin(a, got));
    EXPECT_EQ(got.ulID, 0x456u);
}

TEST_F(DrvIfcan, CloseTellsClosedFromNeverOpened)
{
    const int32_t h = open("IFCAN1");
    ASSERT_NE(h, -1);
    EXPECT_EQ(close(h), IFCAN_ERROR_SUCCESS);
    EXPECT_EQ(CanClosePort(h), IFCAN_ERROR_NOT_OPENED);
    for (int32_t bad : {-1, 0, 99999})
        EXPECT_EQ(CanClosePort(bad), IFCAN_ERROR_INVALID_HANDLE) << bad;
}

namespace {

class DrvIfcanBadHandle : public DrvIfcan, public ::testing::WithParamInterface<int32_t>
{
};

} // namespace

// -1: the failed open's handle the program closes anyway; 1: closed; others never given.
TEST_P(DrvIfcanBadHandle, EveryCallSaysInvalidHandle)
{
    const int32_t closed = open("IFCAN1");
    ASSERT_NE(closed, -1);
    close(closed);
    const int32_t h = GetParam() == 1 ? closed : GetParam();
    CAN_PORT_INFORMATION info{};
    CAN_CONFIG config{};
    CAN_MESSAGE m = message(0x100, {1});
    EXPECT_EQ(CanGetPortInformation(h, &info), IFCAN_ERROR_INVALID_HANDLE);
    EXPECT_EQ(CanGetConfig(h, &config), IFCAN_ERROR_INVALID_HANDLE);
    EXPECT_EQ(CanSetConfig(h, &config), IFCAN_ERROR_INVALID_HANDLE);
    EXPECT_EQ(CanActivate(h), IFCAN_ERROR_INVALID_HANDLE);
    EXPECT_EQ(CanDeactivate(h), IFCAN_ERROR_INVALID_HANDLE);
    EXPECT_EQ(CanReceiveMessage(h, &m, 1), IFCAN_ERROR_INVALID_HANDLE);
    EXPECT_EQ(CanSendMessage(h, &m, 1), IFCAN_ERROR_INVALID_HANDLE);
    EXPECT_EQ(CanSendMessageAt(h, &m, 1, 0), IFCAN_ERROR_INVALID_HANDLE);
    EXPECT_EQ(CanFlushMessageAt(h), IFCAN_ERROR_INVALID_HANDLE);
    EXPECT_EQ(CanGetMessageAtStatus(h, nullptr, nullptr), IFCAN_ERROR_INVALID_HANDLE);
}

INSTANTIATE_TEST_SUITE_P(Rows, DrvIfcanBadHandle, ::testing::Values(-1, 0, 1, 99999));
