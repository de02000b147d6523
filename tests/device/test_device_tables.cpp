#include "CANUSB.h"
#include "CAN_DB.h"
#include "CAN_DB_Interface.h"
#include "InterfaceCAN.h"
#include "VendorConstants.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(VendorConstants, CanusbAgreesWithTheVendorHeader)
{
    EXPECT_EQ(ourCanusbConstants(), vendorCanusbConstants());
}

TEST(VendorConstants, InterfaceAgreesWithTheVendorHeader)
{
    EXPECT_EQ(ourIfcanConstants(), vendorIfcanConstants());
}

TEST(VendorConstants, RegisterPairTextsAsPublished)
{
    // Never passed to the driver, but kept byte for byte, oddities included.
    const char *expected[] = {"0x00:0x14", "0x00:1C",   "0x01:0x1C", "0x3:0x1C", "0x43:0x2F",
                              "0x47:0x2F", "0x53:0x2F", "0x67:0x2F", "0x7F:0x7F"};
    const char *ours[] = {CANUSB::CAN_BAUD_BTR_1M,   CANUSB::CAN_BAUD_BTR_500K,
                          CANUSB::CAN_BAUD_BTR_250K, CANUSB::CAN_BAUD_BTR_125K,
                          CANUSB::CAN_BAUD_BTR_100K, CANUSB::CAN_BAUD_BTR_50K,
                          CANUSB::CAN_BAUD_BTR_20K,  CANUSB::CAN_BAUD_BTR_10K,
                          CANUSB::CAN_BAUD_BTR_5K};
    for (size_t i = 0; i < std::size(expected); ++i)
        EXPECT_STREQ(ours[i], expected[i]);
}

struct RateRow
{
    int32_t index;
    const char *canusb;              // nullptr: no text
    std::optional<uint32_t> timing;  // none: the boards do not support it
};

void PrintTo(const RateRow &r, std::ostream *os)
{
    *os << "t_bitRate " << r.index;
}

class BitRates : public ::testing::TestWithParam<RateRow>
{
};

TEST_P(BitRates, IndexToDriverValue)
{
    const RateRow &row = GetParam();
    const char *text = CANUSB::bitRateText(row.index);
    if (row.canusb) {
        EXPECT_STREQ(text, row.canusb);
    } else {
        EXPECT_EQ(text, nullptr);
    }
    EXPECT_EQ(InterfaceCAN::bitTiming(row.index), row.timing);
}

INSTANTIATE_TEST_SUITE_P(Rows, BitRates,
                         ::testing::Values(RateRow{0, "1000", 39u}, RateRow{1, "800", {}},
                                           RateRow{2, "500", 295u}, RateRow{3, "250", 570u},
                                           RateRow{4, "100", 2358u}, RateRow{5, "50", 7459u},
                                           RateRow{6, "20", {}}, RateRow{7, "10", {}},
                                           // Values a damaged settings file can hold.
                                           RateRow{-1, nullptr, {}}, RateRow{8, nullptr, {}},
                                           RateRow{INT_MIN, nullptr, {}},
                                           RateRow{INT_MAX, nullptr, {}}));

struct ModelRow
{
    uint32_t device;
    uint32_t subsystem;
    const char *model;
};

void PrintTo(const ModelRow &r, std::ostream *os)
{
    *os << r.device << '/' << r.subsystem;
}

class BoardModels : public ::testing::TestWithParam<ModelRow>
{
};

TEST_P(BoardModels, ByDeviceAndSubsystemAsDecimalNumbers)
{
    const ModelRow &row = GetParam();
    EXPECT_EQ(CAN_DB_Interface::modelName(row.device, row.subsystem).toStdString(), row.model)
        << row.device << "/" << row.subsystem;
}

INSTANTIATE_TEST_SUITE_P(
    Table, BoardModels,
    ::testing::Values(
        ModelRow{4851, 8340, "PCI-485120"}, ModelRow{4851, 14484, "PCI-485120"},
        ModelRow{4851, 8331, "PCI-485111"}, ModelRow{4851, 8322, "PCI-485102"},
        ModelRow{4851, 8330, "PCI-485110"}, ModelRow{4851, 513, "CBI-4851"},
        ModelRow{4851, 10388, "CBI-485120"}, ModelRow{4852, 8340, "PCI-485220"},
        ModelRow{4852, 8331, "PCI-485211"}, ModelRow{4852, 8322, "PCI-485202"},
        ModelRow{4852, 8350, "PCI-485230P"}, ModelRow{4852, 9364, "CPZ-485220"},
        ModelRow{4852, 9355, "CPZ-485211"}, ModelRow{4852, 9346, "CPZ-485202"},
        ModelRow{4852, 513, "CBI-4852"}, ModelRow{4852, 10388, "CBI-485220"},
        ModelRow{4853, 8360, "PCI-485340"}, ModelRow{4853, 8342, "PCI-485322"},
        ModelRow{4853, 8324, "PCI-485304"}, ModelRow{4853, 9384, "CPZ-485340"},
        ModelRow{4853, 9366, "CPZ-485322"}, ModelRow{4853, 9348, "CPZ-485304"},
        ModelRow{4854, 8340, "PCI-485420P"}, ModelRow{4854, 9364, "CPZ-485420P"},
        ModelRow{4854, 10388, "CSI-485420"}));

INSTANTIATE_TEST_SUITE_P(
    Unknown, BoardModels,
    ::testing::Values(ModelRow{0x4851, 8340, ""},  // the digits read as hex are another number
                      ModelRow{4851, 0x8340, ""}, ModelRow{4851, 9364, ""},
                      ModelRow{4853, 8340, ""},    // a subsystem of another device
                      ModelRow{4854, 14484, ""}, ModelRow{4855, 8340, ""}, ModelRow{0, 0, ""},
                      ModelRow{0xFFFFFFFF, 0xFFFFFFFF, ""}));

struct CloseRow
{
    uint32_t code;
    std::optional<const char *> text;
};

void PrintTo(const CloseRow &r, std::ostream *os)
{
    *os << "0x" << std::hex << r.code;
}

class CloseResults : public ::testing::TestWithParam<CloseRow>
{
};

TEST_P(CloseResults, TextForTheStatusLine)
{
    const auto got = CAN_DB_Interface::closeResultText(GetParam().code);
    ASSERT_EQ(got.has_value(), GetParam().text.has_value()) << std::hex << GetParam().code;
    if (got) {
        EXPECT_EQ(got->toStdString(), *GetParam().text);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CloseResults,
    ::testing::Values(CloseRow{0x00000000, ""},
                      CloseRow{0xC0000001, "The current driver cannot be used."},
                      CloseRow{0xC0000002, "The current driver is deleted."},
                      CloseRow{0xC0000003, "Invalid parameters are specified."},
                      CloseRow{0xC0000004, "The data area passed to the system call is too small."},
                      CloseRow{0xC0000005, "The port tried to close before opening the port."},
                      CloseRow{0xC0000006, "Not enough memory."},
                      CloseRow{0xC0000007, "The buffer is full."},
                      CloseRow{0xC0000008, "The buffer is empty."},
                      CloseRow{0xC0000009, "Invalid function is specified."},
                      CloseRow{0xC000000A, "The device handle is invalid."},
                      CloseRow{0xC000000B, "The specified capability is not supported."},
                      CloseRow{0xC000000C, "It is cycle or data transmission now."},
                      CloseRow{0xC000000D, "USB communicate Timeout."},
                      CloseRow{0xC000000E, "USB communicate failed."},
                      // Every other code leaves the line as it is.
                      CloseRow{0xC0000000, {}}, CloseRow{0xC000000F, {}}, CloseRow{1, {}},
                      CloseRow{0x40000001, {}}, CloseRow{0xFFFFFFFF, {}}));

InterfaceCAN::CAN_PORT_INFORMATION portInfo(uint32_t device, uint32_t subsystem, uint32_t rev,
                                        uint32_t channel, uint32_t physical)
{
    InterfaceCAN::CAN_PORT_INFORMATION i;
    i.ulDeviceID = device;
    i.ulSubsystemID = subsystem;
    i.ulRevisionID = rev;
    i.ulChannelNumber = channel;
    i.ulPhysicalLayer = physical;
    return i;
}

struct LabelRow
{
    InterfaceCAN::CAN_PORT_INFORMATION info;
    const char *label;
};

void PrintTo(const LabelRow &r, std::ostream *os)
{
    *os << '"' << r.label << '"';
}

class DeviceLabels : public ::testing::TestWithParam<LabelRow>
{
};

TEST_P(DeviceLabels, ModelRevisionChannelAndHighSpeedMark)
{
    CAN_DB_Interface db;
    db.setPortInformation(4, GetParam().info);
    EXPECT_EQ(db.deviceLabel(4).toStdString(), GetParam().label);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DeviceLabels,
    ::testing::Values(
        LabelRow{portInfo(4852, 9364, 3, 2, 1), "Interface CPZ-485220 RevID:3 ch:2 高速CAN対応"},
        LabelRow{portInfo(4852, 9364, 3, 2, 0), "Interface CPZ-485220 RevID:3 ch:2"},
        LabelRow{portInfo(4852, 9364, 3, 2, 2), "Interface CPZ-485220 RevID:3 ch:2"},
        LabelRow{portInfo(1, 1, 0, 0, 1), "Interface  RevID:0 ch:0 高速CAN対応"},
        LabelRow{portInfo(4854, 10388, 4294967295u, 255, 0),
                 "Interface CSI-485420 RevID:4294967295 ch:255"}));

TEST(CAN_DB, SerialsLiveAtOneToThirtyAndNowhereElse)
{
    CAN_DB db;
    for (int32_t i = 1; i <= 30; ++i)
        db.CAN_USB_FindSerialNo(i, QStringLiteral("S%1").arg(i));
    for (int32_t i : {INT_MIN, -1, 0, 31, 32, INT_MAX}) {
        db.CAN_USB_FindSerialNo(i, QStringLiteral("outside"));
        EXPECT_TRUE(db.CAN_USB_FindSerialNo(i).isEmpty()) << i;
    }
    for (int32_t i = 1; i <= 30; ++i)
        EXPECT_EQ(db.CAN_USB_FindSerialNo(i), QStringLiteral("S%1").arg(i));

    db.CAN_USB_FindCount = 99;
    EXPECT_EQ(db.foundCount(), 30);
    db.CAN_USB_FindCount = -3;
    EXPECT_EQ(db.foundCount(), 0);
}

TEST(CAN_DB, ParamAllClearForgetsEverything)
{
    CAN_DB db;
    db.CAN_USB_FindSerialNo(5, QStringLiteral("ABC1234"));
    db.CAN_USB_FindCount = 5;
    db.CAN_USB_SelectNo = 2;
    db.CAN_USB_SelectSerial = QStringLiteral("ABC1234");
    db.CAN_USB_Version = QStringLiteral("v");
    db.CAN_USB_Handle = 9;
    db.Param_ALL_Clear();
    EXPECT_TRUE(db.CAN_USB_FindSerialNo(5).isEmpty());
    EXPECT_EQ(db.CAN_USB_FindCount, 0);
    EXPECT_EQ(db.CAN_USB_SelectNo, 0);
    EXPECT_TRUE(db.CAN_USB_SelectSerial.isEmpty());
    EXPECT_TRUE(db.CAN_USB_Version.isEmpty());
    EXPECT_EQ(db.CAN_USB_Handle, 0);
}

TEST(CAN_DB_Interface, EntriesLiveAtZeroToTwoFiftyFiveAndNowhereElse)
{
    CAN_DB_Interface db;
    for (int32_t i : {0, 1, 255}) {
        db.Interface_CAN_FindNo(i, 1000 + i);
        db.IfCAN_info_ulChannelNumber(i, uint32_t(i + 1));
    }
    for (int32_t i : {INT_MIN, -1, 256, INT_MAX}) {
        db.Interface_CAN_FindNo(i, 7);
        db.IfCAN_info_ulDeviceID(i, 4852);
        db.setPortInformation(i, portInfo(4852, 9364, 1, 1, 1));
        EXPECT_EQ(db.Interface_CAN_FindNo(i), 0) << i;
        EXPECT_EQ(db.IfCAN_info_ulDeviceID(i), 0u) << i;
        EXPECT_EQ(db.modelName(i), QString()) << i;
    }
    for (int32_t i : {0, 1, 255}) {
        EXPECT_EQ(db.Interface_CAN_FindNo(i), 1000 + i);
        EXPECT_EQ(db.IfCAN_info_ulChannelNumber(i), uint32_t(i + 1));
    }
    db.Interface_CAN_FindCount = 300;
    EXPECT_EQ(db.foundCount(), 255);
}

TEST(CAN_DB_Interface, ParamAllClearZeroesAndResetsTheHandleText)
{
    CAN_DB_Interface db;
    EXPECT_EQ(db.Interface_CAN_Handle, QStringLiteral("0"));
    db.setPortInformation(3, portInfo(4852, 9364, 1, 2, 1));
    db.Interface_CAN_FindNo(3, 17);
    db.Interface_CAN_FindCount = 3;
    db.Interface_CAN_SelectNo = 17;
    db.Interface_CAN_Handle = QStringLiteral("-1");
    db.Param_ALL_Clear();
    EXPECT_EQ(db.Interface_CAN_Handle, QStringLiteral("0"));
    EXPECT_EQ(db.Interface_CAN_FindCount, 0);
    EXPECT_EQ(db.Interface_CAN_SelectNo, 0);
    EXPECT_EQ(db.Interface_CAN_FindNo(3), 0);
    EXPECT_EQ(db.IfCAN_info_ulDeviceID(3), 0u);
    EXPECT_EQ(db.IfCAN_info_ulStructLength(3), 0u);
    EXPECT_EQ(db.IfCAN_info_ulPhysicalLayer(3), 0u);
}

TEST(InterfaceCAN, PortNamesAreDecimal)
{
    EXPECT_EQ(InterfaceCAN::portName(1), QStringLiteral("IFCAN1"));
    EXPECT_EQ(InterfaceCAN::portName(255), QStringLiteral("IFCAN255"));
}

} // namespace
