#include "CANUSB.h"
#include "CAN_DB.h"
#include "CAN_DB_Interface.h"
#include "DeviceSearch.h"
#include "DriverFolder.h"
#include "ELM327_Info.h"
#include "InterfaceCAN.h"

#include <gtest/gtest.h>

// The searches and the device check against the fake CANUSB driver, which can be made to
// misbehave in ways the real one never does.
namespace {

const QString kCanusb = QStringLiteral("libcanusbdrv.so");

class FakeCanusb : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.provide(QStringLiteral("libfake_canusbdrv.so"), kCanusb));
    }

    QString lastOpen() const
    {
        auto fn = m_folder.fakeFunction<const char *(*)()>(kCanusb, "fake_last_open");
        return fn ? QString::fromLatin1(fn()) : QStringLiteral("(no fake)");
    }
    int fakeCount(const char *symbol) const
    {
        auto fn = m_folder.fakeFunction<int (*)()>(kCanusb, symbol);
        return fn ? fn() : -1;
    }

    QStringList search()
    {
        DeviceSearch::searchCanUsb(m_canUsb, m_db);
        QStringList serials;
        for (int32_t i = 1; i <= m_db.CAN_USB_FindCount; ++i)
            serials << m_db.CAN_USB_FindSerialNo(i);
        return serials;
    }

    DriverFolder m_folder;
    CANUSB m_canUsb;
    CAN_DB m_db;
};

struct SerialRow
{
    const char *serials; // FAKE_CANUSB_SERIALS
    const char *failAt;  // FAKE_CANUSB_FAIL_AT
    QStringList expected;
};

void PrintTo(const SerialRow &r, std::ostream *os)
{
    *os << '"' << r.serials << '"' << (*r.failAt ? " failing at " : "") << r.failAt;
}

class CanusbEnumeration : public FakeCanusb, public ::testing::WithParamInterface<SerialRow>
{
};

TEST_P(CanusbEnumeration, ListEndsWhereItShould)
{
    ScopedEnv serials("FAKE_CANUSB_SERIALS", GetParam().serials);
    ScopedEnv failAt("FAKE_CANUSB_FAIL_AT", GetParam().failAt);
    EXPECT_EQ(search(), GetParam().expected);
    EXPECT_EQ(m_db.CAN_USB_FindCount, GetParam().expected.size());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CanusbEnumeration,
    ::testing::Values(
        SerialRow{"ABC1234|XYZ98765", "", {"ABC1234", "XYZ98765"}},
        SerialRow{"", "", {}},
        // Exactly 7 characters is a serial; 6 ends the list, also in the middle.
        SerialRow{"1234567", "", {"1234567"}},
        SerialRow{"123456|ABC1234", "", {}},
        SerialRow{"ABC1234|SHORT|XYZ98765", "", {"ABC1234"}},
        // The text ends at its NUL: what a driver leaves behind it is not part of it.
        SerialRow{"ABC1234\\0junk|XYZ9876\\0\\0", "", {"ABC1234", "XYZ9876"}},
        SerialRow{"ABC\\0DEFGHIJ|XYZ98765", "", {}},
        // A driver that fills the whole buffer without a NUL: read up to the buffer's end.
        SerialRow{"*", "", {QString(32, QLatin1Char('S'))}},
        // A call failing halfway ends the list there; a failing first call finds nothing.
        SerialRow{"ABC1234|XYZ98765|QRS55555", "2", {"ABC1234"}},
        SerialRow{"ABC1234|XYZ98765", "1", {}}));

TEST_F(FakeCanusb, ADriverReportingFortyAdaptersStopsAtThirty)
{
    ScopedEnv count("FAKE_CANUSB_COUNT", "40");
    const QStringList serials = search();
    ASSERT_EQ(serials.size(), 30);
    EXPECT_EQ(serials.first(), QStringLiteral("FAKE0001"));
    EXPECT_EQ(serials.last(), QStringLiteral("FAKE0030"));
    EXPECT_TRUE(m_db.CAN_USB_FindSerialNo(31).isEmpty());
    // Nothing asked beyond what the list can hold.
    EXPECT_EQ(fakeCount("fake_enumeration_calls"), 30);
}

TEST_F(FakeCanusb, ASecondSearchReplacesTheFirst)
{
    {
        ScopedEnv serials("FAKE_CANUSB_SERIALS", "ABC1234|XYZ98765|QRS55555");
        search();
    }
    ScopedEnv serials("FAKE_CANUSB_SERIALS", "NEW0001");
    EXPECT_EQ(search(), QStringList{"NEW0001"});
    EXPECT_TRUE(m_db.CAN_USB_FindSerialNo(2).isEmpty());
}

TEST_F(FakeCanusb, TheWindowSystemRunsBetweenAdapters)
{
    ScopedEnv count("FAKE_CANUSB_COUNT", "30");
    PumpCounter pumps;
    search();
    // One message pump step before each of the 29 next-adapter calls.
    EXPECT_GE(pumps.passes, 25);
}

class FakeCanusbCheck : public FakeCanusb
{
protected:
    void SetUp() override
    {
        FakeCanusb::SetUp();
        ScopedEnv serials("FAKE_CANUSB_SERIALS", "ABC1234|XYZ98765");
        ASSERT_EQ(search().size(), 2);
    }

    int32_t check(int32_t selectNo, QString *text)
    {
        m_device.t_CmbBOX_device_SelectNo = selectNo;
        return DeviceSearch::checkSelectedDevice(m_device, m_canUsb, m_db, m_ifcan, m_ports,
                                                 text);
    }

    ELM327_Info m_device;
    InterfaceCAN m_ifcan;
    CAN_DB_Interface m_ports;
};

TEST_F(FakeCanusbCheck, OpensTheChosenAdapterAt500ReadsTheVersionAndCloses)
{
    QString text;
    EXPECT_EQ(check(2, &text), 1);
    EXPECT_EQ(text, QStringLiteral("FAKE HW1.0 SW2.0"));
    EXPECT_EQ(m_db.CAN_USB_Version, text);
    EXPECT_EQ(m_device.t_select_Vender, 1);
    EXPECT_EQ(m_db.CAN_USB_SelectNo, 2);
    EXPECT_EQ(m_db.CAN_USB_SelectSerial, QStringLiteral("XYZ98765"));
    EXPECT_EQ(lastOpen(), QStringLiteral("XYZ98765|500|0|4294967295|1"));
    EXPECT_EQ(fakeCount("fake_open_count"), 1);
    EXPECT_EQ(fakeCount("fake_close_count"), 1);
}

TEST_F(FakeCanusbCheck, AnAdapterThatDoesNotOpenIsNegativeAndUnknown)
{
    ScopedEnv fail("FAKE_CANUSB_OPEN", "fail");
    QString text;
    EXPECT_LT(check(1, &text), 0);
    EXPECT_EQ(text, QStringLiteral("???"));
    EXPECT_EQ(fakeCount("fake_close_count"), 0);
}

struct VersionRow
{
    const char *fake;
    QString shown;
};

void PrintTo(const VersionRow &r, std::ostream *os)
{
    *os << '"' << r.fake << '"';
}

class CanusbVersion : public FakeCanusbCheck, public ::testing::WithParamInterface<VersionRow>
{
};

TEST_P(CanusbVersion, IsShownOrQuestionMarks)
{
    ScopedEnv version("FAKE_CANUSB_VERSION", GetParam().fake);
    QString text;
    EXPECT_EQ(check(1, &text), 1); // the adapter opened, whatever its version says
    EXPECT_EQ(text, GetParam().shown);
    EXPECT_EQ(fakeCount("fake_close_count"), 1);
}

INSTANTIATE_TEST_SUITE_P(Rows, CanusbVersion,
                         ::testing::Values(VersionRow{"HW 1.2 / SW 3.4", "HW 1.2 / SW 3.4"},
                                           VersionRow{"fail", "???"},
                                           // 32 characters and the NUL one byte beyond.
                                           VersionRow{"full", QString(32, QLatin1Char('V'))}));

class SelectionOutside : public FakeCanusbCheck, public ::testing::WithParamInterface<int32_t>
{
};

TEST_P(SelectionOutside, OpensNothingAndSelectsNoVendor)
{
    m_device.t_select_Vender = 1;
    QString text;
    EXPECT_LT(check(GetParam(), &text), 0);
    EXPECT_EQ(text, QStringLiteral("???"));
    EXPECT_EQ(m_device.t_select_Vender, 0);
    EXPECT_EQ(fakeCount("fake_open_count"), 0);
}

INSTANTIATE_TEST_SUITE_P(Rows, SelectionOutside, ::testing::Values(0, -1, 3, 1000, INT32_MIN));

TEST_F(FakeCanusbCheck, AMissingInterfaceDriverLeavesTheAdaptersUsable)
{
    // Only the CANUSB library is in the folder: the port search finds nothing, the
    // adapters stay first in the list.
    EXPECT_EQ(DeviceSearch::searchInterfaceCan(m_ifcan, m_ports), 0);
    EXPECT_EQ(DeviceSearch::deviceListItems(m_db, m_ports),
              (QStringList{"CANUSB ABC1234", "CANUSB XYZ98765"}));
}

} // namespace
