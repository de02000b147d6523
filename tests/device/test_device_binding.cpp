#include "CANUSB.h"
#include "CAN_DB.h"
#include "CAN_DB_Interface.h"
#include "DeviceSearch.h"
#include "DriverFolder.h"
#include "InterfaceCAN.h"

#include <gtest/gtest.h>

// What happens when a driver library is missing or not what it should be: an error text
// and failure codes, never a crash.
namespace {

void expectCanusbAnswersFailure()
{
    char buffer[64] = {};
    CANUSB::CANMsg msg;
    EXPECT_EQ(CANUSB::canusb_getFirstAdapter(buffer, 32), CANUSB::ERROR_CANUSB_GENERAL);
    EXPECT_EQ(CANUSB::canusb_getNextAdapter(buffer, 32), CANUSB::ERROR_CANUSB_GENERAL);
    EXPECT_LE(CANUSB::canusb_Open(QStringLiteral("ABC1234"), CANUSB::CAN_BAUD_500K, 0,
                                  0xFFFFFFFF, 1),
              0);
    EXPECT_LE(CANUSB::canusb_Read(1, &msg), 0);
    EXPECT_LE(CANUSB::canusb_Write(1, &msg), 0);
    EXPECT_LT(CANUSB::canusb_VersionInfo(1, buffer), 1);
    EXPECT_LE(CANUSB::canusb_Close(1), 0);
    EXPECT_LE(CANUSB::canusb_Status(1), 0);
    EXPECT_LE(CANUSB::canusb_Flush(1, 0), 0);
    EXPECT_LE(CANUSB::canusb_ReadFirst(1, 0x100, 0, &msg), 0);
    CAN_DB db;
    CANUSB canUsb;
    EXPECT_EQ(DeviceSearch::searchCanUsb(canUsb, db), 0);
    EXPECT_EQ(db.CAN_USB_FindCount, 0);
}

void expectInterfaceAnswersFailure()
{
    InterfaceCAN::CAN_PORT_INFORMATION info;
    InterfaceCAN::CAN_CONFIG config;
    InterfaceCAN::CAN_MESSAGE msg;
    const uint32_t notReady = InterfaceCAN::IFCAN_ERROR_NOT_READY;
    EXPECT_EQ(InterfaceCAN::CanOpenPort(QStringLiteral("IFCAN1")), -1);
    EXPECT_EQ(InterfaceCAN::CanClosePort(1), notReady);
    EXPECT_EQ(InterfaceCAN::CanGetPortInformation(1, &info), notReady);
    EXPECT_EQ(InterfaceCAN::CanGetConfig(1, &config), notReady);
    EXPECT_EQ(InterfaceCAN::CanSetConfig(1, &config), notReady);
    EXPECT_EQ(InterfaceCAN::CanActivate(1), notReady);
    EXPECT_EQ(InterfaceCAN::CanDeactivate(1), notReady);
    EXPECT_EQ(InterfaceCAN::CanReceiveMessage(1, &msg, 1), notReady);
    EXPECT_EQ(InterfaceCAN::CanSendMessage(1, &msg, 1), notReady);
    // What the status line would then say.
    EXPECT_EQ(CAN_DB_Interface::closeResultText(notReady),
              QStringLiteral("The current driver cannot be used."));
    InterfaceCAN ifcan;
    CAN_DB_Interface db;
    EXPECT_EQ(DeviceSearch::searchInterfaceCan(ifcan, db), 0);
    EXPECT_EQ(db.Interface_CAN_FindCount, 0);
}

TEST(DriverBinding, MissingLibrariesAreReportedAndEveryCallFails)
{
    DriverFolder folder; // empty
    EXPECT_FALSE(CANUSB::isDriverInstalled());
    EXPECT_FALSE(InterfaceCAN::isDriverInstalled());
    EXPECT_EQ(CANUSB::driverPath(), folder.path(QStringLiteral("libcanusbdrv.so")));
    EXPECT_EQ(InterfaceCAN::driverPath(), folder.path(QStringLiteral("libIFCan.so")));
    QString error;
    EXPECT_FALSE(CANUSB::bindDriver(&error));
    EXPECT_TRUE(error.contains(QStringLiteral("libcanusbdrv.so"))) << error.toStdString();
    EXPECT_FALSE(InterfaceCAN::bindDriver(&error));
    EXPECT_TRUE(error.contains(QStringLiteral("libIFCan.so"))) << error.toStdString();
    expectCanusbAnswersFailure();
    expectInterfaceAnswersFailure();
}

TEST(DriverBinding, AMissingEntryPointRefusesTheWholeLibrary)
{
    DriverFolder folder;
    ASSERT_TRUE(folder.provide(QStringLiteral("libfake_canusbdrv_noread.so"),
                               QStringLiteral("libcanusbdrv.so")));
    ASSERT_TRUE(folder.provide(QStringLiteral("libfake_ifcan_partial.so"),
                               QStringLiteral("libIFCan.so")));
    EXPECT_TRUE(CANUSB::isDriverInstalled()); // the file is there...
    QString error;
    EXPECT_FALSE(CANUSB::bindDriver(&error)); // ...but not usable
    EXPECT_TRUE(error.contains(QStringLiteral("canusb_Read"))) << error.toStdString();
    EXPECT_FALSE(error.contains(QStringLiteral("canusb_Open"))) << error.toStdString();
    EXPECT_FALSE(InterfaceCAN::bindDriver(&error));
    EXPECT_TRUE(error.contains(QStringLiteral("CanReceiveMessage"))) << error.toStdString();
    // The entry points that do exist are not called either.
    expectCanusbAnswersFailure();
    expectInterfaceAnswersFailure();
}

TEST(DriverBinding, AFileThatIsNoLibraryIsAnErrorNotACrash)
{
    DriverFolder folder;
    ASSERT_TRUE(writeAll(folder.path(QStringLiteral("libcanusbdrv.so")), "not a library\n"));
    ASSERT_TRUE(writeAll(folder.path(QStringLiteral("libIFCan.so")), QByteArray(4096, '\x7f')));
    QString error;
    EXPECT_FALSE(CANUSB::bindDriver(&error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(InterfaceCAN::bindDriver(&error));
    expectCanusbAnswersFailure();
    expectInterfaceAnswersFailure();
}

TEST(DriverBinding, BindsAtTheFirstCallFromTheFolderOfThatMoment)
{
    DriverFolder folder;
    ASSERT_TRUE(folder.provide(QStringLiteral("libfake_canusbdrv.so"),
                               QStringLiteral("libcanusbdrv.so")));
    ScopedEnv serials("FAKE_CANUSB_SERIALS", "ABC1234");
    char buffer[64] = {};
    EXPECT_GT(CANUSB::canusb_getFirstAdapter(buffer, 32), 0);
    EXPECT_STREQ(buffer, "ABC1234");
    // Once bound, the binding stays, even when the file goes away.
    QFile::remove(folder.path(QStringLiteral("libcanusbdrv.so")));
    EXPECT_GT(CANUSB::canusb_getFirstAdapter(buffer, 32), 0);
}

} // namespace
