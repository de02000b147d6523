// The main window, headless, on a real kernel CAN stack against can-utils: the device list
// with no driver configuration, a recording of what cangen sends, a playback candump takes
// whole, and an interface taken down during a recording. Runs only inside the guest of
// scripts/kernel_tests.sh (CANKESTROVA_GUEST=1, vcan0 and vcan1 up); elsewhere it skips.
#include "RecordFixture.h"
#include "RecordWindow.h"
#include "WindowRun.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <cmath>

namespace {

// Each fixture's SetUp: outside the guest the test is skipped; inside, neither driver is
// configured, so the libraries list what they find by themselves.
void enterGuest()
{
    if (qEnvironmentVariable("CANKESTROVA_GUEST") != QLatin1String("1"))
        GTEST_SKIP() << "runs in the guest of scripts/kernel_tests.sh";
    qunsetenv("CANUSB_ADAPTERS");
    qunsetenv("IFCAN_PORTS");
}

// The list entry of `interface` for the family (vendor 1 the CANUSB library, 2 the
// Interface library), or -1.
int entryOf(const QComboBox &list, int vendor, const QString &interface)
{
    for (int i = 0; i < list.count(); ++i) {
        const QString item = list.itemText(i);
        const bool family = vendor == 1 ? item.startsWith(QLatin1String("CANUSB SocketCAN-"))
                                        : item.startsWith(QLatin1String("Interface "));
        if (family && item.contains(interface))
            return i;
    }
    return -1;
}

// Brings the window up with neither driver configured, and selects `interface`.
::testing::AssertionResult selectInterface(Form1 &w, int vendor, const QString &interface)
{
    if (!w.Form_Load())
        return ::testing::AssertionFailure() << "the window did not start";
    auto *list = w.findChild<QComboBox *>(QStringLiteral("Cmb_Serect_Device"));
    const int entry = entryOf(*list, vendor, interface);
    if (entry < 0)
        return ::testing::AssertionFailure() << "no entry for " << interface.toStdString();
    list->setCurrentIndex(entry);
    w.Cmb_Serect_Device_Click();
    if (w.device.t_select_Vender != vendor)
        return ::testing::AssertionFailure() << "vendor " << w.device.t_select_Vender;
    return ::testing::AssertionSuccess();
}

struct Dumped
{
    double ms = 0;
    uint32_t id = 0;
    QByteArray data;
};

// candump -L on one interface into a file, read when stopped.
class Candump
{
public:
    explicit Candump(const QString &path, const QString &interface = QStringLiteral("vcan0"))
        : m_path(path)
    {
        m_proc.setStandardOutputFile(path);
        m_proc.start(QStringLiteral("candump"), {QStringLiteral("-L"), QStringLiteral("-r"),
                                                 QStringLiteral("33554432"), interface});
        m_proc.waitForStarted();
        QThread::msleep(200);
    }
    std::vector<Dumped> stop()
    {
        QThread::msleep(200);
        m_proc.terminate();
        m_proc.waitForFinished(5000);
        std::vector<Dumped> out;
        QFile in(m_path);
        if (!in.open(QIODevice::ReadOnly))
            return out;
        while (!in.atEnd()) {
            const QList<QByteArray> parts = in.readLine().trimmed().split(' ');
            if (parts.size() != 3)
                continue;
            const QList<QByteArray> frame = parts[2].split('#');
            if (frame.size() != 2)
                continue;
            out.push_back({parts[0].mid(1, parts[0].size() - 2).toDouble() * 1000.0,
                           frame[0].toUInt(nullptr, 16), QByteArray::fromHex(frame[1])});
        }
        return out;
    }

private:
    QString m_path;
    QProcess m_proc;
};

QByteArray payload(const RecordFrame &f)
{
    return QByteArray(reinterpret_cast<const char *>(f.data.data()), std::min<int>(f.dlc, 8));
}

class SocketcanRecordWindow : public rectest::RecordWindow,
                              public ::testing::WithParamInterface<int>
{
protected:
    void SetUp() override { enterGuest(); }
    ::testing::AssertionResult bringUpOn(const QString &interface)
    {
        w = std::make_unique<Form1>();
        const auto up = selectInterface(*w, GetParam(), interface);
        w->device.t_LogSaveFilePath_mode = 2;
        w->device.t_LogSaveFilePath = records.path();
        return up;
    }
    std::vector<RecordFrame> recorded() const
    {
        QDir dir(records.path());
        QStringList paths;
        for (const QString &name : dir.entryList({QStringLiteral("*.dat")}, QDir::Files, QDir::Name))
            paths << dir.filePath(name);
        return recordfixture::readRecords(paths);
    }
};

INSTANTIATE_TEST_SUITE_P(Families, SocketcanRecordWindow, ::testing::Values(1, 2),
                         [](const auto &info) { return info.param == 1 ? "Canusb" : "Board"; });

TEST_P(SocketcanRecordWindow, ListsBothInterfacesBeforeTheVirtualBus)
{
    w = std::make_unique<Form1>();
    ASSERT_TRUE(w->Form_Load());
    const auto *list = child<QComboBox>("Cmb_Serect_Device");
    const int vcan0 = entryOf(*list, GetParam(), QStringLiteral("vcan0"));
    const int vcan1 = entryOf(*list, GetParam(), QStringLiteral("vcan1"));
    EXPECT_GE(vcan0, 0);
    EXPECT_GE(vcan1, 0);
    // The family's other entries (its built-in virtual bus) come after the interfaces.
    const QString family = GetParam() == 1 ? QStringLiteral("CANUSB ") : QStringLiteral("Interface ");
    int others = 0;
    for (int i = 0; i < list->count(); ++i) {
        const QString item = list->itemText(i);
        if (!item.startsWith(family) || item.contains(QLatin1String("(vcan"))
            || item.contains(QLatin1String("SocketCAN-vcan")))
            continue;
        ++others;
        EXPECT_GT(i, std::max(vcan0, vcan1)) << item.toStdString();
    }
    EXPECT_GE(others, 1) << "the virtual bus stays in the list";
}

// Every frame cangen sends, in order, with candump's spacing to the millisecond.
TEST_P(SocketcanRecordWindow, RecordsEveryFrameCangenSendsWithItsTiming)
{
    ASSERT_TRUE(bringUpOn(QStringLiteral("vcan0")));
    constexpr int kCount = 3000;
    Candump dump(work.filePath(QStringLiteral("dump.log")));
    QProcess gen;
    QElapsedTimer sinceEnd;
    ASSERT_TRUE(record(
        [&] {
            gen.start(QStringLiteral("cangen"),
                      {QStringLiteral("vcan0"), QStringLiteral("-g"), QStringLiteral("1"),
                       QStringLiteral("-n"), QString::number(kCount), QStringLiteral("-I"),
                       QStringLiteral("321"), QStringLiteral("-L"), QStringLiteral("8"),
                       QStringLiteral("-D"), QStringLiteral("i")});
        },
        [&] {
            if (gen.state() != QProcess::NotRunning)
                return false;
            if (!sinceEnd.isValid())
                sinceEnd.start();
            return sinceEnd.elapsed() > 500;
        }));
    const std::vector<Dumped> sent = dump.stop();
    const std::vector<RecordFrame> got = recorded();
    EXPECT_TRUE(messages.messages.empty()) << messages.texts().join('|').toStdString();
    ASSERT_EQ(sent.size(), size_t(kCount));
    ASSERT_EQ(got.size(), sent.size());
    std::vector<double> off;
    for (size_t i = 0; i < got.size(); ++i) {
        ASSERT_EQ(uint32_t(got[i].identifier), sent[i].id) << i;
        ASSERT_EQ(payload(got[i]), sent[i].data) << i;
        off.push_back(std::fabs((got[i].time - got[0].time) - (sent[i].ms - sent[0].ms)));
    }
    std::sort(off.begin(), off.end());
    EXPECT_LE(off[off.size() * 99 / 100], 1.0);
    EXPECT_LE(off.back(), 10.0);
}

// vcan1 goes down in the middle: the run ends with the interface's message, and what came
// before is in the files.
TEST_P(SocketcanRecordWindow, AnInterfaceDownEndsTheRecordingAndKeepsItsFrames)
{
    ASSERT_TRUE(bringUpOn(QStringLiteral("vcan1")));
    QProcess gen;
    QElapsedTimer clock;
    const bool ended = record(
        [&] {
            gen.start(QStringLiteral("cangen"), {QStringLiteral("vcan1"), QStringLiteral("-g"),
                                                 QStringLiteral("2"), QStringLiteral("-I"),
                                                 QStringLiteral("155"), QStringLiteral("-L"),
                                                 QStringLiteral("8")});
            clock.start();
        },
        [&] {
            if (clock.elapsed() > 1000)
                QProcess::execute(QStringLiteral("ip"), {QStringLiteral("link"), QStringLiteral("set"),
                                                         QStringLiteral("vcan1"), QStringLiteral("down")});
            return false;
        },
        15000);
    gen.kill();
    gen.waitForFinished(2000);
    QProcess::execute(QStringLiteral("ip"), {QStringLiteral("link"), QStringLiteral("set"),
                                             QStringLiteral("vcan1"), QStringLiteral("up")});
    EXPECT_TRUE(ended) << "the run went on after the interface went down";
    EXPECT_TRUE(messages.texts().join('|').contains(QLatin1String("vcan1")))
        << messages.texts().join('|').toStdString();
    const std::vector<RecordFrame> got = recorded();
    EXPECT_GT(got.size(), 100u);
    for (const RecordFrame &f : got)
        ASSERT_EQ(f.identifier, 0x155);
}

class SocketcanPlaybackWindow : public playtest::PlaybackWindow,
                                public ::testing::WithParamInterface<int>
{
protected:
    void SetUp() override { enterGuest(); }
};

INSTANTIATE_TEST_SUITE_P(Families, SocketcanPlaybackWindow, ::testing::Values(1, 2),
                         [](const auto &info) { return info.param == 1 ? "Canusb" : "Board"; });

// A dropped file, Connect, the bus check: candump receives every frame, in order. (The
// spacing is the command line's row and the benchmark's: under emulation the window's own
// painting holds the run up now and then.)
TEST_P(SocketcanPlaybackWindow, CandumpReceivesTheWholeFileInOrder)
{
    constexpr int kCount = 2000;
    std::vector<RecordFrame> file;
    for (int i = 0; i < kCount; ++i) {
        RecordFrame f;
        f.time = 1.0 * i;
        f.identifier = 0x100 + i % 0x600;
        f.dlc = uint8_t(i % 9);
        for (int k = 0; k < 8; ++k)
            f.data[size_t(k)] = k < f.dlc ? uint8_t(i >> (k % 2 * 8)) : 0;
        file.push_back(f);
    }
    ASSERT_TRUE(recordfixture::writeRecord(files.filePath("CR26120900-001.dat"), file));
    w = std::make_unique<Form1>();
    ASSERT_TRUE(selectInterface(*w, GetParam(), QStringLiteral("vcan0")));
    dropPaths("TB_Play_FileName", {files.filePath("CR26120900-001.dat")});
    Candump dump(files.filePath("dump.log"));
    ASSERT_TRUE(play({}, 60000));
    const std::vector<Dumped> seen = dump.stop();
    EXPECT_TRUE(messages.messages.empty()) << messages.texts().join('|').toStdString();
    ASSERT_EQ(seen.size(), file.size());
    for (size_t i = 0; i < seen.size(); ++i) {
        ASSERT_EQ(seen[i].id, uint32_t(file[i].identifier)) << i;
        ASSERT_EQ(seen[i].data, payload(file[i])) << i;
    }
}

} // namespace
