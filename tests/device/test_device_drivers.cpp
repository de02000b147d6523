#include "CANUSB.h"
#include "CAN_DB.h"
#include "CAN_DB_Interface.h"
#include "CansimRun.h"
#include "DeviceSearch.h"
#include "DriverFolder.h"
#include "ELM327_Info.h"
#include "FloodMode.h"
#include "InterfaceCAN.h"
#include "free_port.h"

#include <gtest/gtest.h>

// The device layer on the real driver libraries and the virtual bus. Every test has bus
// ports of its own (472xx); the drivers are told about them through their environment.
// A process hosts at most one virtual bus (Qt's server is one per process), so every bus
// a driver opens here is hosted by a simulator process.
namespace {

QByteArray busAt(int port)
{
    return QByteArrayLiteral("virtualcan:tcp://127.0.0.1:") + QByteArray::number(port) + "/can0";
}

class RealDrivers : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_folder.provideRealDrivers()); }

    QStringList serials() const
    {
        QStringList s;
        for (int32_t i = 1; i <= m_canDb.CAN_USB_FindCount; ++i)
            s << m_canDb.CAN_USB_FindSerialNo(i);
        return s;
    }

    void host(int port)
    {
        m_hosts.push_back(std::make_unique<CansimRun>());
        ASSERT_TRUE(m_hosts.back()->start({"--mode", "host", "--interface", CansimRun::url(port)},
                                          m_dir.filePath(QStringLiteral("host%1.ready").arg(port))));
    }

    QTemporaryDir m_dir;
    std::vector<std::unique_ptr<CansimRun>> m_hosts;
    DriverFolder m_folder;
    ELM327_Info m_device;
    CANUSB m_canUsb;
    CAN_DB m_canDb;
    InterfaceCAN m_ifcan;
    CAN_DB_Interface m_ports;
};

TEST_F(RealDrivers, UnconfiguredTheAdapterDriverOffersItsOneVirtualAdapter)
{
    ScopedUnset adapters("CANUSB_ADAPTERS");
    EXPECT_TRUE(CANUSB::isDriverInstalled());
    EXPECT_TRUE(InterfaceCAN::isDriverInstalled());
    EXPECT_EQ(DeviceSearch::searchCanUsb(m_canUsb, m_canDb), 1);
    EXPECT_EQ(serials(), QStringList{"VCAN0001"});
}

TEST_F(RealDrivers, ConfiguredDevicesAreListedInOrder)
{
    // The adapters' bus is never opened here; the boards' bus is hosted.
    const int adapterPort = freeTestPort();
    const int boardPort = freeTestPort();
    host(boardPort);
    ScopedEnv adapters("CANUSB_ADAPTERS",
                       "ABC1234=" + busAt(adapterPort) + ";XYZ98765=" + busAt(adapterPort));
    ScopedEnv ports("IFCAN_PORTS", "200=" + busAt(boardPort) + ":4851/8340;3=" + busAt(boardPort)
                                       + ":CPZ-485220;17=" + busAt(boardPort) + ":CPZ-485220");
    EXPECT_EQ(DeviceSearch::searchCanUsb(m_canUsb, m_canDb), 2);
    PumpCounter pumps;
    EXPECT_EQ(DeviceSearch::searchInterfaceCan(m_ifcan, m_ports), 3);
    EXPECT_GE(pumps.passes, 200); // one pump step per port number, 255 in all

    EXPECT_EQ(m_ports.Interface_CAN_FindNo(1), 3);
    EXPECT_EQ(m_ports.Interface_CAN_FindNo(2), 17);
    EXPECT_EQ(m_ports.Interface_CAN_FindNo(3), 200);
    EXPECT_EQ(m_ports.IfCAN_info_ulDeviceID(1), 4852u);
    EXPECT_EQ(m_ports.IfCAN_info_ulSubsystemID(1), 9364u);
    EXPECT_EQ(m_ports.IfCAN_info_ulStructLength(1), 36u);
    EXPECT_EQ(m_ports.IfCAN_info_ulChannelNumber(2), 2u);
    EXPECT_EQ(m_ports.deviceLabel(2), QStringLiteral("Interface CPZ-485220 RevID:1 ch:2 高速CAN対応"));
    EXPECT_EQ(DeviceSearch::deviceListItems(m_canDb, m_ports),
              (QStringList{"CANUSB ABC1234", "CANUSB XYZ98765", "Interface CPZ-485220 port:3",
                           "Interface CPZ-485220 port:17", "Interface PCI-485120 port:200"}));

    // The search leaves every port closed: each opens again.
    const int32_t h = InterfaceCAN::CanOpenPort(QStringLiteral("IFCAN17"));
    EXPECT_NE(h, -1);
    EXPECT_EQ(CAN_DB_Interface::closeResultText(InterfaceCAN::CanClosePort(h)), QString());
}

TEST_F(RealDrivers, FortyConfiguredAdaptersStopAtThirty)
{
    QByteArray config;
    for (int i = 1; i <= 40; ++i)
        config += "SER" + QByteArray::number(i).rightJustified(5, '0') + "=virtualcan:can0;";
    ScopedEnv adapters("CANUSB_ADAPTERS", config);
    EXPECT_EQ(DeviceSearch::searchCanUsb(m_canUsb, m_canDb), 30);
    EXPECT_EQ(m_canDb.CAN_USB_FindSerialNo(30), QStringLiteral("SER00030"));
    EXPECT_EQ(DeviceSearch::deviceListItems(m_canDb, m_ports).size(), 30);
}

TEST_F(RealDrivers, CheckingAnAdapterOpensItAndShowsTheDriverVersion)
{
    const int port = freeTestPort();
    host(port);
    ScopedEnv adapters("CANUSB_ADAPTERS", "ABC1234=" + busAt(port) + ";XYZ98765=" + busAt(port));
    ScopedEnv ports("IFCAN_PORTS", "9=" + busAt(port) + ":PCI-485202");
    DeviceSearch::searchCanUsb(m_canUsb, m_canDb);
    DeviceSearch::searchInterfaceCan(m_ifcan, m_ports);

    m_device.t_CmbBOX_device_SelectNo = 2;
    QString text;
    EXPECT_EQ(DeviceSearch::checkSelectedDevice(m_device, m_canUsb, m_canDb, m_ifcan, m_ports,
                                                &text),
              1);
    EXPECT_EQ(m_device.t_select_Vender, 1);
    EXPECT_EQ(m_canDb.CAN_USB_SelectSerial, QStringLiteral("XYZ98765"));
    EXPECT_TRUE(text.startsWith(QStringLiteral("canusbdrv"))) << text.toStdString();

    // The check closed the adapter again, so it opens for a run.
    const int32_t h = CANUSB::canusb_Open(m_canDb.CAN_USB_SelectSerial, CANUSB::CAN_BAUD_250K,
                                          CANUSB::CANUSB_ACCEPTANCE_CODE_ALL,
                                          CANUSB::CANUSB_ACCEPTANCE_MASK_ALL,
                                          CANUSB::CANUSB_FLAG_TIMESTAMP);
    EXPECT_GT(h, 0);
    CANUSB::canusb_Close(h);

    m_device.t_CmbBOX_device_SelectNo = 3;
    EXPECT_EQ(DeviceSearch::checkSelectedDevice(m_device, m_canUsb, m_canDb, m_ifcan, m_ports,
                                                &text),
              1);
    EXPECT_EQ(m_device.t_select_Vender, 2);
    EXPECT_EQ(m_ports.Interface_CAN_SelectNo, 9);
    EXPECT_EQ(text, QStringLiteral("Interface PCI-485202 RevID:1 ch:1 高速CAN対応"));
}

TEST_F(RealDrivers, AnAdapterTheDriverNoLongerOffersFailsTheCheck)
{
    const int port = freeTestPort();
    host(port);
    {
        ScopedEnv adapters("CANUSB_ADAPTERS", "ABC1234=" + busAt(port));
        DeviceSearch::searchCanUsb(m_canUsb, m_canDb);
    }
    ScopedEnv adapters("CANUSB_ADAPTERS", "OTHER0001=" + busAt(port));
    m_device.t_CmbBOX_device_SelectNo = 1;
    QString text;
    EXPECT_LT(DeviceSearch::checkSelectedDevice(m_device, m_canUsb, m_canDb, m_ifcan, m_ports,
                                                &text),
              0);
    EXPECT_EQ(text, QStringLiteral("???"));
}

TEST_F(RealDrivers, AdapterFramesCrossTheBusBothWays)
{
    const int port = freeTestPort();
    host(port);
    QTemporaryDir &dir = m_dir;
    ScopedEnv adapters("CANUSB_ADAPTERS", "RT00001=" + busAt(port));
    const int32_t h = CANUSB::canusb_Open(QStringLiteral("RT00001"), CANUSB::bitRateText(2),
                                          CANUSB::CANUSB_ACCEPTANCE_CODE_ALL,
                                          CANUSB::CANUSB_ACCEPTANCE_MASK_ALL,
                                          CANUSB::CANUSB_FLAG_TIMESTAMP);
    ASSERT_GT(h, 0);

    CansimRun flood;
    ASSERT_TRUE(flood.start({"--mode", "flood", "--interface", CansimRun::url(port), "--count",
                             "300", "--rate", "3000", "--id", "321"}));
    std::vector<CANUSB::CANMsg> got;
    waitUntil([&] {
        CANUSB::CANMsg msg;
        while (CANUSB::canusb_Read(h, &msg) == CANUSB::ERROR_CANUSB_OK)
            got.push_back(msg);
        return got.size() >= 300;
    }, 10000);
    ASSERT_EQ(got.size(), 300u);
    for (size_t k = 0; k < got.size(); ++k) {
        // Copies: the vendor's message is packed, and the assertions take references.
        const uint32_t id = got[k].id, timestamp = got[k].timestamp;
        ASSERT_EQ(id, 0x321u);
        ASSERT_EQ(got[k].len, 8);
        ASSERT_EQ(got[k].flags, 0);
        ASSERT_LT(timestamp, 60000u);
        const QByteArray expected = FloodMode::payload(uint32_t(k));
        ASSERT_EQ(QByteArray(reinterpret_cast<const char *>(got[k].data), 8), expected) << k;
    }
    flood.waitForExit();

    CansimRun listen;
    const QString log = dir.filePath("listen.log");
    ASSERT_TRUE(listen.start({"--mode", "listen", "--interface", CansimRun::url(port), "--log",
                              log, "--count", "1"},
                             dir.filePath("listen.ready")));
    CANUSB::CANMsg out;
    out.id = 0x7E0;
    out.len = 3;
    out.data[0] = 0x02;
    out.data[1] = 0x10;
    out.data[2] = 0x03;
    EXPECT_EQ(CANUSB::canusb_Write(h, &out), CANUSB::ERROR_CANUSB_OK);
    ASSERT_TRUE(listen.waitForExit());
    EXPECT_TRUE(readAll(log).endsWith(" 7E0 3 02 10 03\n")) << readAll(log).toStdString();
    CANUSB::canusb_Close(h);
}

TEST_F(RealDrivers, InterfaceFramesCrossTheBusBothWays)
{
    const int port = freeTestPort();
    host(port);
    QTemporaryDir &dir = m_dir;
    ScopedEnv ports("IFCAN_PORTS", "5=" + busAt(port) + ":PCI-485220");
    const int32_t h = InterfaceCAN::CanOpenPort(InterfaceCAN::portName(5));
    ASSERT_NE(h, -1);
    InterfaceCAN::CAN_CONFIG config;
    ASSERT_EQ(InterfaceCAN::CanGetConfig(h, &config), InterfaceCAN::IFCAN_ERROR_SUCCESS);
    config.ulMode = InterfaceCAN::CAN_NORMAL_MODE;
    config.ulBitTiming = *InterfaceCAN::bitTiming(2);
    ASSERT_EQ(InterfaceCAN::CanSetConfig(h, &config), InterfaceCAN::IFCAN_ERROR_SUCCESS);
    ASSERT_EQ(InterfaceCAN::CanActivate(h), InterfaceCAN::IFCAN_ERROR_SUCCESS);

    const QString frames = dir.filePath("seq.txt");
    ASSERT_TRUE(writeAll(frames, "0 100 8 00 01 02 03 04 05 06 07\n5 7FF 0\n5 555 2 AA 55\n"));
    CansimRun seq;
    ASSERT_TRUE(seq.start({"--mode", "sequence", "--interface", CansimRun::url(port), "--frames",
                           frames}));
    std::vector<InterfaceCAN::CAN_MESSAGE> got;
    waitUntil([&] {
        InterfaceCAN::CAN_MESSAGE msg;
        while (InterfaceCAN::CanReceiveMessage(h, &msg, 1) == InterfaceCAN::IFCAN_ERROR_SUCCESS)
            got.push_back(msg);
        return got.size() >= 3;
    }, 10000);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].ulID, 0x100u);
    EXPECT_EQ(got[0].ulLength, 8u);
    EXPECT_EQ(got[0].ucData[7], 0x07);
    EXPECT_EQ(got[1].ulID, 0x7FFu);
    EXPECT_EQ(got[1].ulLength, 0u);
    EXPECT_EQ(got[2].ulID, 0x555u);
    EXPECT_EQ(got[2].ucData[0], 0xAA);
    EXPECT_EQ(got[2].ucData[1], 0x55);
    EXPECT_LT(got[2].ulTimeStamp, 429491000u);
    seq.waitForExit();

    CansimRun listen;
    const QString log = dir.filePath("listen.log");
    ASSERT_TRUE(listen.start({"--mode", "listen", "--interface", CansimRun::url(port), "--log",
                              log, "--count", "1"},
                             dir.filePath("listen.ready")));
    InterfaceCAN::CAN_MESSAGE out;
    out.ulID = 0x18;
    out.ulLength = 1;
    out.ucData[0] = 0xC3;
    EXPECT_EQ(InterfaceCAN::CanSendMessage(h, &out, 1), InterfaceCAN::IFCAN_ERROR_SUCCESS);
    ASSERT_TRUE(listen.waitForExit());
    EXPECT_TRUE(readAll(log).endsWith(" 018 1 C3\n")) << readAll(log).toStdString();

    EXPECT_EQ(InterfaceCAN::CanDeactivate(h), InterfaceCAN::IFCAN_ERROR_SUCCESS);
    EXPECT_EQ(CAN_DB_Interface::closeResultText(InterfaceCAN::CanClosePort(h)), QString());
    // A second close finds no port: the status line then says so.
    EXPECT_EQ(CAN_DB_Interface::closeResultText(InterfaceCAN::CanClosePort(h)),
              QStringLiteral("The port tried to close before opening the port."));
}

} // namespace
