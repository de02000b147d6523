// A Qt program that leaves with driver handles still open: its application object is gone
// before the exit handlers run, and from then on Qt delivers no events. The libraries must
// still stop their threads and let the process end, without a crash or a hang.
#include "IFCan.h"
#include "canusbdrv.h"
#include "free_port.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const std::string bus = "tcp://127.0.0.1:" + std::to_string(freeTestPort()) + "/can0";
    setenv("CANUSB_ADAPTERS", ("QTEXIT01=virtualcan:" + bus).c_str(), 1);
    setenv("IFCAN_PORTS", ("1=virtualcan:" + bus).c_str(), 1);

    const CANHANDLE h = canusb_Open("QTEXIT01", CAN_BAUD_500K, 0, 0xFFFFFFFF, 1);
    const int32_t port = CanOpenPort("IFCAN1");
    if (h <= 0 || port == -1 || CanActivate(port) != IFCAN_ERROR_SUCCESS) {
        std::fprintf(stderr, "FAIL: open (%d, %d)\n", h, port);
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    CANMsg out{0x123, 0, 0, 1, {0x5A}};
    canusb_Write(h, &out);
    CAN_MESSAGE in{};
    bool received = false;
    for (int i = 0; i < 3000 && !received; ++i) {
        received = CanReceiveMessage(port, &in, 1) == IFCAN_ERROR_SUCCESS;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!received || in.ulID != 0x123) {
        std::fprintf(stderr, "FAIL: frame did not cross\n");
        return 1;
    }
    std::printf("ok: leaving with both handles open\n");
    return 0;
}
