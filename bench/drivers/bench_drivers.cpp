// Floods the receive side of each driver library from another node of a private virtual
// bus at rising rates and checks that every frame arrives, in order, while the library is
// polled one frame per call as the program polls it.

#include "FloodSender.h"
#include "IFCan.h"
#include "canusbdrv.h"
#include "free_port.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t floodId = 0x100;
// Without arguments: 1,000,000 frames per step at these rates. For a quick look:
// bench_drivers FRAMES RATE,RATE,...
uint32_t framesPerStep = 1000000;
std::vector<uint32_t> rates = {50000, 90000, 120000, 150000, 200000, 250000, 300000, 400000};

using Clock = std::chrono::steady_clock;

// One poll of a library: true with the frame's id and sequence number.
using Poll = std::function<bool(uint32_t &id, uint32_t &seq)>;

struct StepResult
{
    uint32_t received = 0;
    uint32_t lost = 0;
    uint32_t reordered = 0;
    double sendSeconds = 0;
    double receiveSeconds = 0;
    bool keptUp = false;
    bool ok() const { return received == framesPerStep && lost == 0 && reordered == 0 && keptUp; }
};


void drain(const Poll &poll)
{
    uint32_t id, seq;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    while (poll(id, seq)) {
    }
}

StepResult runStep(FloodSender &sender, const Poll &poll, uint32_t rate)
{
    StepResult r;
    const double nominal = double(framesPerStep) / rate;
    const auto start = Clock::now();
    const auto deadline = start + std::chrono::milliseconds(int(nominal * 1500) + 3000);
    FloodSender::Result sent;
    std::thread flood([&] { sent = sender.flood(framesPerStep, rate, floodId); });

    uint32_t expected = 0;
    while (r.received + r.lost < framesPerStep && Clock::now() < deadline) {
        uint32_t id, seq;
        if (!poll(id, seq)) {
            std::this_thread::sleep_for(std::chrono::microseconds(50));
            continue;
        }
        if (id != floodId)
            continue;
        ++r.received;
        if (seq > expected)
            r.lost += seq - expected;
        else if (seq < expected)
            ++r.reordered;
        expected = std::max(expected, seq + 1);
    }
    r.receiveSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    flood.join();
    r.lost += framesPerStep - std::min(framesPerStep, r.received + r.lost);
    r.sendSeconds = sent.seconds;
    // Every frame arriving late is no loss on TCP, so keeping the rate is part of passing:
    // the last frame must come no later than a few percent after the schedule's end.
    r.keptUp = r.receiveSeconds <= nominal * 1.05 + 0.25;
    return r;
}

uint32_t climb(const char *name, FloodSender &sender, const Poll &poll,
               const std::function<bool()> &overflowed)
{
    uint32_t best = 0;
    for (uint32_t rate : rates) {
        drain(poll);
        StepResult r = runStep(sender, poll, rate);
        const bool overflow = overflowed();
        std::printf("%s rate=%u received=%u lost=%u reordered=%u send=%.2fs receive=%.2fs "
                    "(%.0f frames/s) overflow=%s %s\n",
                    name, rate, r.received, r.lost, r.reordered, r.sendSeconds,
                    r.receiveSeconds, r.received / r.receiveSeconds, overflow ? "yes" : "no",
                    r.ok() && !overflow ? "PASS" : "FAIL");
        std::fflush(stdout);
        if (!r.ok() || overflow)
            break;
        best = rate;
    }
    return best;
}

uint32_t sequenceOf(const uint8_t *data)
{
    return uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16
           | uint32_t(data[3]) << 24;
}

uint32_t benchCanusb(FloodSender &sender)
{
    const CANHANDLE h = canusb_Open("BENCH001", CAN_BAUD_500K, CANUSB_ACCEPTANCE_CODE_ALL,
                                    CANUSB_ACCEPTANCE_MASK_ALL, CANUSB_FLAG_TIMESTAMP);
    if (h <= 0) {
        std::printf("canusb: open failed (%d)\n", h);
        return 0;
    }
    const Poll poll = [h](uint32_t &id, uint32_t &seq) {
        CANMsg msg;
        if (canusb_Read(h, &msg) != ERROR_CANUSB_OK)
            return false;
        id = msg.id;
        seq = sequenceOf(msg.data);
        return true;
    };
    const uint32_t best = climb("canusb", sender, poll, [h] {
        const bool full = canusb_Status(h) & CANSTATUS_RECEIVE_FIFO_FULL;
        canusb_Flush(h, FLUSH_EMPTY_INQUEUE | FLUSH_DONTWAIT);
        return full;
    });
    canusb_Close(h);
    return best;
}

uint32_t benchIfcan(FloodSender &sender)
{
    const int32_t h = CanOpenPort("IFCAN1");
    if (h == -1) {
        std::printf("ifcan: open failed\n");
        return 0;
    }
    CAN_CONFIG config{};
    CanGetConfig(h, &config);
    config.ulMode = CAN_NORMAL_MODE;
    config.ulBitTiming = CAN_BAUDRATE_500k;
    CanSetConfig(h, &config);
    CanActivate(h);
    const Poll poll = [h](uint32_t &id, uint32_t &seq) {
        CAN_MESSAGE msg;
        if (CanReceiveMessage(h, &msg, 1) != IFCAN_ERROR_SUCCESS)
            return false;
        id = msg.ulID;
        seq = sequenceOf(msg.ucData);
        return true;
    };
    // This API has no overflow report; a dropped frame shows as a gap in the sequence.
    const uint32_t best = climb("ifcan", sender, poll, [] { return false; });
    CanDeactivate(h);
    CanClosePort(h);
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc > 1)
        framesPerStep = uint32_t(std::strtoul(argv[1], nullptr, 10));
    if (argc > 2) {
        rates.clear();
        for (const QString &r : QString::fromLocal8Bit(argv[2]).split(u','))
            rates.push_back(r.toUInt());
    }
    if (!qEnvironmentVariableIsSet("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus.plugins.virtualcan.info=false"));

    const std::string bus = "tcp://127.0.0.1:" + std::to_string(freeTestPort()) + "/can0";
    setenv("CANUSB_ADAPTERS", ("BENCH001=virtualcan:" + bus).c_str(), 1);
    setenv("IFCAN_PORTS", ("1=virtualcan:" + bus).c_str(), 1);
    std::printf("bus %s, %u frames per step\n", bus.c_str(), framesPerStep);

    // The first library handle makes this process the bus host (on the library's own
    // thread); the flooding node joins it as a client.
    const CANHANDLE keeper = canusb_Open("BENCH001", CAN_BAUD_500K, 0, 0, 0);
    canusb_Close(keeper);
    FloodSender sender(bus);
    std::string error;
    if (!sender.start(&error)) {
        std::printf("sender: %s\nRESULT canusb_zero_loss_fps=0 ifcan_zero_loss_fps=0\n",
                    error.c_str());
        return 1;
    }
    const uint32_t canusb = benchCanusb(sender);
    const uint32_t ifcan = benchIfcan(sender);
    std::printf("RESULT canusb_zero_loss_fps=%u ifcan_zero_loss_fps=%u\n", canusb, ifcan);
    return 0;
}
