/* Both driver libraries in a plain C program: no Qt application object, no Qt at all in
   this code. Frames cross a private bus both ways through each library; the program then
   exits with handles still open, which must not crash. The bus is a loopback port that
   nobody uses. */
#include "IFCan.h"
#include "canusbdrv.h"
#include "free_port.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static int failures = 0;

#define CHECK(cond)                                                                        \
    do {                                                                                   \
        if (!(cond)) {                                                                     \
            fprintf(stderr, "FAIL line %d: %s\n", __LINE__, #cond);                         \
            ++failures;                                                                    \
        }                                                                                  \
    } while (0)

static void sleepMs(int ms)
{
    struct timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&ts, NULL);
}

static int canusbRead(CANHANDLE h, CANMsg *msg)
{
    for (int i = 0; i < 3000; ++i) {
        if (canusb_Read(h, msg) == ERROR_CANUSB_OK)
            return 1;
        sleepMs(1);
    }
    return 0;
}

static int ifcanReceive(int32_t h, CAN_MESSAGE *msg)
{
    for (int i = 0; i < 3000; ++i) {
        if (CanReceiveMessage(h, msg, 1) == IFCAN_ERROR_SUCCESS)
            return 1;
        sleepMs(1);
    }
    return 0;
}

int main(void)
{
    char bus[64];
    snprintf(bus, sizeof bus, "tcp://127.0.0.1:%d/can0", freeTestPort());
    char value[512];
    snprintf(value, sizeof value, "NOAPP001=virtualcan:%s;NOAPP002=virtualcan:%s", bus, bus);
    setenv("CANUSB_ADAPTERS", value, 1);
    snprintf(value, sizeof value, "1=virtualcan:%s;2=virtualcan:%s", bus, bus);
    setenv("IFCAN_PORTS", value, 1);

    const CANHANDLE a = canusb_Open("NOAPP001", CAN_BAUD_500K, 0, 0xFFFFFFFF, 1);
    const CANHANDLE b = canusb_Open("NOAPP002", CAN_BAUD_500K, 0, 0xFFFFFFFF, 1);
    const int32_t p1 = CanOpenPort("IFCAN1");
    const int32_t p2 = CanOpenPort("IFCAN2");
    CHECK(a > 0 && b > 0 && p1 != -1 && p2 != -1);
    CHECK(CanActivate(p1) == IFCAN_ERROR_SUCCESS && CanActivate(p2) == IFCAN_ERROR_SUCCESS);
    sleepMs(150);

    CANMsg out = {0x123, 0, 0, 2, {0xAB, 0xCD}};
    CHECK(canusb_Write(a, &out) == ERROR_CANUSB_OK);
    CANMsg in;
    CHECK(canusbRead(b, &in) && in.id == 0x123 && in.len == 2 && in.data[1] == 0xCD);
    /* The same frame reached both Interface ports too: one bus. */
    CAN_MESSAGE msg;
    CHECK(ifcanReceive(p1, &msg) && msg.ulID == 0x123 && msg.ucData[0] == 0xAB);
    CHECK(ifcanReceive(p2, &msg) && msg.ulID == 0x123);

    CAN_MESSAGE send = {8, 1, 0x1FFFFFFF, {1, 2, 3, 4, 5, 6, 7, 8}, 0};
    CHECK(CanSendMessage(p2, &send, 1) == IFCAN_ERROR_SUCCESS);
    CHECK(canusbRead(a, &in) && in.id == 0x1FFFFFFF && in.flags == CANMSG_EXTENDED
          && in.data[7] == 8);
    CHECK(ifcanReceive(p1, &msg) && msg.ulID == 0x1FFFFFFF && msg.ulFlags == 1);

    /* One of each closed, the others left open for the exit. */
    CHECK(canusb_Close(a) == ERROR_CANUSB_OK);
    CHECK(CanClosePort(p1) == IFCAN_ERROR_SUCCESS);
    printf("%s: %d failure(s)\n", failures ? "FAILED" : "ok", failures);
    return failures ? 1 : 0;
}
