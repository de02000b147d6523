#include "DriverTestBus.h"
#include "IFCan.h"
#include "TestHelpers.h"
#include "canusbdrv.h"

#include <gtest/gtest.h>

using namespace drivertest;

// The bus host is another process (canbusutil); when it goes away every call reports the
// lost device instead of waiting for frames that cannot come.

TEST(DrvBusLoss, CanusbReportsTheLostDevice)
{
    CanbusutilHost host;
    ASSERT_TRUE(host.listening());
    ScopedEnv env("CANUSB_ADAPTERS", "LOSSUSB1=virtualcan:" + QByteArray::fromStdString(host.url()));
    const CANHANDLE h = canusb_Open("LOSSUSB1", CAN_BAUD_500K, 0, 0xFFFFFFFF, 1);
    ASSERT_GT(h, 0);
    CANMsg m{};
    m.id = 0x100;
    m.len = 1;
    EXPECT_EQ(canusb_Write(h, &m), ERROR_CANUSB_OK);
    EXPECT_EQ(canusb_Status(h) & CANSTATUS_BUS_ERROR, 0);

    host.stop();
    ASSERT_TRUE(waitFor([&] { return canusb_Status(h) & CANSTATUS_BUS_ERROR; }));
    EXPECT_EQ(canusb_Read(h, &m), ERROR_CANUSB_NO_DEVICE);
    EXPECT_EQ(canusb_Write(h, &m), ERROR_CANUSB_NO_DEVICE);
    EXPECT_EQ(canusb_Flush(h, FLUSH_WAIT), ERROR_CANUSB_NO_DEVICE);
    EXPECT_EQ(canusb_Close(h), ERROR_CANUSB_OK);
}

TEST(DrvBusLoss, IfcanReportsTheLostDeviceAndSaysSoOnClose)
{
    CanbusutilHost host;
    ASSERT_TRUE(host.listening());
    ScopedEnv env("IFCAN_PORTS", "9=virtualcan:" + QByteArray::fromStdString(host.url()));
    const int32_t h = CanOpenPort("IFCAN9");
    ASSERT_NE(h, -1);
    ASSERT_EQ(CanActivate(h), IFCAN_ERROR_SUCCESS);

    host.stop();
    CAN_MESSAGE m{};
    m.ulID = 0x100;
    m.ulLength = 1;
    ASSERT_TRUE(waitFor([&] { return CanSendMessage(h, &m, 1) == IFCAN_ERROR_DELETED; }));
    EXPECT_EQ(CanReceiveMessage(h, &m, 1), IFCAN_ERROR_DELETED);
    EXPECT_EQ(CanActivate(h), IFCAN_ERROR_DELETED);
    CAN_CONFIG config{};
    EXPECT_EQ(CanGetConfig(h, &config), IFCAN_ERROR_SUCCESS);
    EXPECT_EQ(CanDeactivate(h), IFCAN_ERROR_SUCCESS);
    EXPECT_EQ(CanClosePort(h), IFCAN_ERROR_DELETED);
}

TEST(DrvBusLoss, FramesThatArrivedBeforeTheLossAreStillDelivered)
{
    CanbusutilHost host;
    ASSERT_TRUE(host.listening());
    const QByteArray bus = QByteArray::fromStdString(host.url());
    ScopedEnv env("CANUSB_ADAPTERS", "LOSSUSB1=virtualcan:" + bus + ";LOSSUSB2=virtualcan:" + bus);
    const CANHANDLE a = canusb_Open("LOSSUSB1", CAN_BAUD_500K, 0, 0xFFFFFFFF, 1);
    const CANHANDLE b = canusb_Open("LOSSUSB2", CAN_BAUD_500K, 0, 0xFFFFFFFF, 1);
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    letClientsJoin();
    for (uint32_t id : {0x42u, 0x43u}) {
        CANMsg m{};
        m.id = id;
        m.len = 1;
        ASSERT_EQ(canusb_Write(a, &m), ERROR_CANUSB_OK);
    }
    // 0x43 came second: once it is in, 0x42 waits in the queue.
    CANMsg second{};
    ASSERT_TRUE(waitFor([&] { return canusb_ReadFirst(b, 0x43, 0, &second) == ERROR_CANUSB_OK; }));
    host.stop();
    ASSERT_TRUE(waitFor([&] { return canusb_Status(b) & CANSTATUS_BUS_ERROR; }));
    CANMsg got{};
    EXPECT_EQ(canusb_Read(b, &got), ERROR_CANUSB_OK);
    EXPECT_EQ(+got.id, 0x42u);
    EXPECT_EQ(canusb_Read(b, &got), ERROR_CANUSB_NO_DEVICE);
    canusb_Close(a);
    canusb_Close(b);
}

TEST(DrvBusLoss, UnreachableBusGivesNoPortInsteadOfAHang)
{
    ScopedEnv env("IFCAN_PORTS", "3=virtualcan:tcp://192.0.2.1:35468/can0");
    EXPECT_EQ(CanOpenPort("IFCAN3"), -1);
}
