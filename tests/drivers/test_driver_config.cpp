#include "BoardModels.h"
#include "CanusbAdapters.h"
#include "DriverConfig.h"
#include "IfcanPorts.h"

#include "TestHelpers.h"

#include <QCoreApplication>
#include <QFile>

#include <gtest/gtest.h>

#include <unistd.h>

using driverconfig::parseEntries;

TEST(DrvConfig, EntriesSplitOnSemicolonsAndLinesAndDropJunk)
{
    const auto entries = parseEntries("  A = x:y \n# a comment=1\n;;B=z;noequals;=v;C=");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].key, "A");
    EXPECT_EQ(entries[0].value, "x:y");
    EXPECT_EQ(entries[1].key, "B");
    EXPECT_EQ(entries[2].key, "C");
    EXPECT_EQ(entries[2].value, "");
    EXPECT_TRUE(parseEntries("").empty());
    EXPECT_TRUE(parseEntries("\r\n;\r\n").empty());
}

TEST(DrvConfig, VariableWinsOverTheFileAndEmptyMeansNothing)
{
    static const char anchor = 0; // this test program lives beside its file
    const QString file = QCoreApplication::applicationDirPath()
                         + QStringLiteral("/drv-config-%1.conf").arg(getpid());
    const std::string fileName = QFileInfo(file).fileName().toStdString();
    const char *env = "CANKESTROVA_DRV_TEST_CONFIG";
    qunsetenv(env);
    EXPECT_FALSE(driverconfig::configText(env, fileName.c_str(), &anchor).has_value());

    ASSERT_TRUE(writeAll(file, "S=virtualcan:can1\n"));
    EXPECT_EQ(driverconfig::configText(env, fileName.c_str(), &anchor), "S=virtualcan:can1\n");
    {
        ScopedEnv set(env, "");
        EXPECT_EQ(driverconfig::configText(env, fileName.c_str(), &anchor), "");
    }
    {
        ScopedEnv set(env, "T=socketcan:can0");
        EXPECT_EQ(driverconfig::configText(env, fileName.c_str(), &anchor), "T=socketcan:can0");
    }
    QFile::remove(file);
}

TEST(DrvConfig, AdaptersKeepUrlsWholeAndRefuseBadSerials)
{
    const std::string longSerial(32, 'L');
    const auto adapters = canusbadapters::parse(
        "SER00001=virtualcan:tcp://127.0.0.1:40001/can0;" + longSerial
        + "=virtualcan:can0;SER00001=socketcan:can9;NOPLUGIN=can0;EMPTY01=virtualcan:;"
          "SER00002=socketcan:slcan0;BAD SERIAL=virtualcan:can0");
    ASSERT_EQ(adapters.size(), 2u);
    EXPECT_EQ(adapters[0].serial, "SER00001");
    EXPECT_EQ(adapters[0].spec.plugin, "virtualcan");
    EXPECT_EQ(adapters[0].spec.interface, "tcp://127.0.0.1:40001/can0");
    EXPECT_EQ(adapters[1].serial, "SER00002");
    EXPECT_EQ(adapters[1].spec.interface, "slcan0");
}

TEST(DrvConfig, DefaultsWithoutVariableOrFile)
{
    qunsetenv(canusbadapters::envName);
    qunsetenv(ifcanports::envName);
    const auto adapters = canusbadapters::configured();
    ASSERT_EQ(adapters.size(), 1u);
    EXPECT_GE(adapters[0].serial.size(), 7u);
    EXPECT_EQ(adapters[0].spec.plugin, "virtualcan");
    EXPECT_EQ(adapters[0].spec.interface, "can0");
    const auto ports = ifcanports::configured();
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].number, 1);
    EXPECT_EQ(ports[0].spec.interface, "can0");
    EXPECT_STREQ(ports[0].model.name, "PCI-485220");
}

TEST(DrvConfig, PortsTakeAModelOnlyWhenTheLastPartIsOne)
{
    const auto ports = ifcanports::parse(
        "5=virtualcan:tcp://127.0.0.1:40000/can0:cpz-485211;"
        "2=virtualcan:tcp://127.0.0.1:40000/can1;"
        "3=socketcan:can1:4853/8360;"
        "4=virtualcan:can0:4851/9999;"
        "7=virtualcan:can0:CPZ-485211;"
        "0=virtualcan:can0;256=virtualcan:can0;01=virtualcan:can0;x=virtualcan:can0;"
        "2=socketcan:can5");
    ASSERT_EQ(ports.size(), 5u);
    EXPECT_EQ(ports[0].number, 2);
    EXPECT_EQ(ports[0].spec.interface, "tcp://127.0.0.1:40000/can1");
    EXPECT_STREQ(ports[0].model.name, "PCI-485220");
    EXPECT_EQ(ports[1].number, 3);
    EXPECT_EQ(ports[1].spec.interface, "can1");
    EXPECT_STREQ(ports[1].model.name, "PCI-485340");
    EXPECT_EQ(ports[2].number, 4);
    EXPECT_STREQ(ports[2].model.name, "");
    EXPECT_EQ(ports[2].model.deviceId, 4851u);
    EXPECT_EQ(ports[2].model.subsystemId, 9999u);
    EXPECT_EQ(ports[3].number, 5);
    EXPECT_EQ(ports[3].spec.interface, "tcp://127.0.0.1:40000/can0");
    EXPECT_STREQ(ports[3].model.name, "CPZ-485211");
    // Two ports of one board model are its channels 1 and 2.
    EXPECT_EQ(ports[3].channel, 1u);
    EXPECT_EQ(ports[4].number, 7);
    EXPECT_EQ(ports[4].channel, 2u);
    EXPECT_EQ(ports[0].channel, 1u);
}

namespace {

struct NameRow
{
    const char *name;
    int number; // 0: refused
};

void PrintTo(const NameRow &row, std::ostream *os)
{
    *os << (!row.name ? "NULL" : *row.name ? row.name : "empty");
}

class DrvPortName : public ::testing::TestWithParam<NameRow>
{
};

} // namespace

TEST_P(DrvPortName, Parses)
{
    const auto n = ifcanports::portNumber(GetParam().name);
    EXPECT_EQ(n.value_or(0), GetParam().number) << (GetParam().name ? GetParam().name : "NULL");
}

INSTANTIATE_TEST_SUITE_P(Rows, DrvPortName,
                         ::testing::Values(NameRow{"IFCAN1", 1}, NameRow{"ifcan7", 7},
                                           NameRow{"IFCAN255", 255}, NameRow{"IFCAN256", 0},
                                           NameRow{"IFCAN0", 0}, NameRow{"IFCAN01", 0},
                                           NameRow{"IFCAN", 0}, NameRow{"IFCAN-1", 0},
                                           NameRow{"IFCAN1x", 0}, NameRow{"IFCAN 1", 0},
                                           NameRow{"COM1", 0}, NameRow{"", 0},
                                           NameRow{nullptr, 0}));

namespace {

struct ModelRow
{
    uint32_t deviceId;
    uint32_t subsystemId;
    const char *name;
    uint32_t modelNumber;
};

void PrintTo(const ModelRow &row, std::ostream *os)
{
    *os << row.name << " " << row.deviceId << "/" << row.subsystemId;
}

class DrvBoardModel : public ::testing::TestWithParam<ModelRow>
{
};

} // namespace

TEST_P(DrvBoardModel, NameAndPairAgree)
{
    const ModelRow &row = GetParam();
    const auto byName = boardmodels::parse(row.name);
    ASSERT_TRUE(byName.has_value());
    const auto byPair = boardmodels::parse(std::to_string(row.deviceId) + "/"
                                           + std::to_string(row.subsystemId));
    ASSERT_TRUE(byPair.has_value());
    EXPECT_STREQ(byPair->name, row.name);
    EXPECT_EQ(byName->deviceId, row.deviceId);
    EXPECT_EQ(boardmodels::modelNumber(*byName), row.modelNumber);
}

// Both subsystem IDs of the PCI-485120 name it; by name it presents the first.
INSTANTIATE_TEST_SUITE_P(
    Rows, DrvBoardModel,
    ::testing::Values(ModelRow{4851, 14484, "PCI-485120", 485120},
                      ModelRow{4851, 513, "CBI-4851", 4851},
                      ModelRow{4852, 8340, "PCI-485220", 485220},
                      ModelRow{4852, 8350, "PCI-485230P", 485230},
                      ModelRow{4853, 9348, "CPZ-485304", 485304},
                      ModelRow{4854, 10388, "CSI-485420", 485420}));

TEST(DrvBoardModel, RefusesWhatIsNeitherNameNorPair)
{
    for (const char *text : {"", "PCI", "PCI-4852", "4852", "4852/", "/8340", "4852/83x0",
                             "40000/can0", "0x12F4/8340"})
        EXPECT_FALSE(boardmodels::parse(text).has_value()) << text;
}
