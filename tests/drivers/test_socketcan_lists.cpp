// The machine's CAN interfaces in the two lists, the texts a run on one of them gives the
// user, and the bus state error frames leave: without a kernel CAN stack (the guest runs the
// rest, label socketcan).
#include "CanBusWorker.h"
#include "CanusbAdapters.h"
#include "DriverConfig.h"
#include "IfcanPorts.h"
#include "SocketCan.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

std::string serials(const std::vector<CanusbAdapter> &adapters)
{
    std::string out;
    for (const auto &a : adapters)
        out += (out.empty() ? "" : ",") + a.serial;
    return out;
}

std::string ports(const std::vector<IfcanPort> &list)
{
    std::string out;
    for (const auto &p : list)
        out += (out.empty() ? "" : ",") + std::to_string(p.number) + '=' + p.spec.interface;
    return out;
}

struct ListRow
{
    const char *what;
    std::optional<std::string> config;
    std::vector<std::string> interfaces;
    const char *adapters;
    const char *ports;
    size_t ignored; // CANUSB entries left out
};

class DrvSocketCanLists : public ::testing::TestWithParam<ListRow>
{
};

} // namespace

TEST_P(DrvSocketCanLists, Assemble)
{
    const ListRow &row = GetParam();
    std::vector<driverconfig::IgnoredEntry> ignored;
    EXPECT_EQ(serials(canusbadapters::assemble(row.config, row.interfaces, &ignored)), row.adapters);
    EXPECT_EQ(ignored.size(), row.ignored);
    // The same text read as a port list (CANUSB serials are no port numbers).
    std::optional<std::string> portConfig;
    if (row.config)
        portConfig = "";
    EXPECT_EQ(ports(ifcanports::assemble(portConfig, row.interfaces)), row.ports);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DrvSocketCanLists,
    ::testing::Values(
        ListRow{"nothing configured, no interface", std::nullopt, {}, "VCAN0001", "1=can0", 0},
        ListRow{"interfaces before the virtual bus", std::nullopt, {"can0", "vcan1"},
                "SocketCAN-can0,SocketCAN-vcan1,VCAN0001", "1=can0,2=vcan1,3=can0", 0},
        ListRow{"configured entries first, an interface they name not twice",
                std::string("SER00001=socketcan:can0;SER00002=virtualcan:can3"), {"can0", "slcan0"},
                "SER00001,SER00002,SocketCAN-slcan0", "1=can0,2=slcan0", 0},
        ListRow{"a short serial goes last instead of ending the list",
                std::string("ABC=virtualcan:can1;SER00003=virtualcan:can2"), {"vcan0"},
                "SER00003,SocketCAN-vcan0,ABC", "1=vcan0", 1},
        ListRow{"unreadable lines are reported, not dropped silently",
                std::string("junk;=x;SER00004=nocolon;SER00004=virtualcan:can0"), {},
                "SER00004", "", 3},
        ListRow{"an empty configuration still shows the machine's interfaces", std::string(""),
                {"can0"}, "SocketCAN-can0", "1=can0", 0}),
    [](const auto &info) { return "Row" + std::to_string(info.index); });

TEST(DrvSocketCanLists, PortsNumberOnFromTheHighestConfigured)
{
    const auto list = ifcanports::assemble(std::string("3=virtualcan:can9;1=socketcan:vcan0"),
                                           {"vcan0", "vcan1"});
    EXPECT_EQ(ports(list), "1=vcan0,3=can9,4=vcan1");
    std::vector<driverconfig::IgnoredEntry> ignored;
    const auto full = ifcanports::assemble(std::string("255=virtualcan:can0"), {"can7"}, &ignored);
    EXPECT_EQ(ports(full), "255=can0");
    ASSERT_EQ(ignored.size(), 1u);
    EXPECT_EQ(ignored[0].entry, "can7");
}

namespace {

struct TextRow
{
    const char *what;
    socketcan::LinkState state;
    int wanted;
    bool listenOnly;
    std::vector<const char *> contains; // empty: no problem
};

class DrvSocketCanTexts : public ::testing::TestWithParam<TextRow>
{
};

} // namespace

TEST_P(DrvSocketCanTexts, Problem)
{
    const TextRow &row = GetParam();
    const std::string text = socketcan::problemText("can0", row.state, row.wanted, row.listenOnly);
    if (row.contains.empty()) {
        EXPECT_EQ(text, "");
        return;
    }
    for (const char *part : row.contains)
        EXPECT_NE(text.find(part), std::string::npos) << text << "\nlacks " << part;
    EXPECT_NE(text.find("接続を終了します。"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DrvSocketCanTexts,
    ::testing::Values(
        TextRow{"gone", {false, false, std::nullopt, false}, 500000, false, {"can0 が見つかりません"}},
        TextRow{"vcan down", {true, false, std::nullopt, false}, 500000, false,
                {"状態: DOWN", "通信速度: なし", "ip link set can0 up\r\n"}},
        TextRow{"vcan up: used as it is", {true, true, std::nullopt, false}, 500000, false, {}},
        TextRow{"controller down at another rate", {true, false, 250000u, false}, 500000, false,
                {"状態: DOWN", "250000 bps", "ip link set can0 up type can bitrate 500000"}},
        TextRow{"controller up at the rate", {true, true, 500000u, false}, 500000, false, {}},
        TextRow{"controller up at another rate: down first",
                {true, true, 125000u, false}, 500000, false,
                {"125000 bps で動作", "500000 bps です", "ip link set can0 down && ip link set can0 up"
                                                          " type can bitrate 500000"}},
        TextRow{"silent wanted, not set", {true, true, 500000u, false}, 500000, true,
                {"（サイレント）", "listen-only on"}}),
    [](const auto &info) { return "Row" + std::to_string(info.index); });

TEST(DrvSocketCanTexts, LostNamesWhatHappened)
{
    EXPECT_NE(socketcan::lostText("vcan0", {true, false, std::nullopt, false}).find("vcan0 が停止しました"),
              std::string::npos);
    EXPECT_NE(socketcan::lostText("vcan0", {}).find("vcan0 が取り外されました"), std::string::npos);
}

namespace {

struct ErrorRow
{
    const char *what;
    std::vector<std::pair<uint32_t, uint8_t>> frames; // error class, controller byte
    uint32_t first;                                   // status taken after them
    uint32_t second;                                  // and taken again
};

class DrvErrorFrames : public ::testing::TestWithParam<ErrorRow>
{
};

} // namespace

TEST_P(DrvErrorFrames, Status)
{
    CanBusWorker worker(16, 16, 16);
    for (const auto &[cls, ctrl] : GetParam().frames) {
        const uint8_t data[8] = {0, ctrl, 0, 0, 0, 0, 0, 0};
        worker.noteErrorFrame(cls, data, sizeof data);
    }
    EXPECT_EQ(worker.takeBusStatus(), GetParam().first);
    EXPECT_EQ(worker.takeBusStatus(), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DrvErrorFrames,
    ::testing::Values(
        ErrorRow{"bus off holds", {{0x40, 0}}, CanBusWorker::BusOff, CanBusWorker::BusOff},
        ErrorRow{"restart clears", {{0x40, 0}, {0x100, 0}}, 0, 0},
        ErrorRow{"warning then passive", {{0x04, 0x08}, {0x04, 0x20}},
                 CanBusWorker::ErrorWarning | CanBusWorker::ErrorPassive,
                 CanBusWorker::ErrorWarning | CanBusWorker::ErrorPassive},
        ErrorRow{"back to error active", {{0x04, 0x20}, {0x04, 0x40}}, 0, 0},
        ErrorRow{"events are taken once", {{0x02, 0}, {0x08, 0}, {0x04, 0x01}},
                 CanBusWorker::ArbitrationLost | CanBusWorker::BusError | CanBusWorker::Overrun, 0}),
    [](const auto &info) { return "Row" + std::to_string(info.index); });

TEST(DrvErrorFrames, ShortControllerFrameIsNoState)
{
    CanBusWorker worker(16, 16, 16);
    const uint8_t one[1] = {0};
    worker.noteErrorFrame(0x04, one, 1);
    EXPECT_EQ(worker.takeBusStatus(), 0u);
}

TEST(DrvConfig, CopyTextCutsWholeCharacters)
{
    char buffer[8];
    EXPECT_EQ(driverconfig::copyText("abc", buffer, 8), 3);
    EXPECT_STREQ(buffer, "abc");
    // "停止" is 6 bytes; 7 bytes of room hold one character and "a", not half of the second.
    EXPECT_EQ(driverconfig::copyText("a停止", buffer, 7), 4);
    EXPECT_STREQ(buffer, "a停");
    EXPECT_EQ(driverconfig::copyText("abc", nullptr, 8), 0);
    EXPECT_EQ(driverconfig::copyText("abc", buffer, 0), 0);
}
