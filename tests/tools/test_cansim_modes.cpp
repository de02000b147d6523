#include "CansimRun.h"
#include "FloodMode.h"
#include "free_port.h"

#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <map>

// Every test has bus ports of its own (271xx), so tests can run side by side.
namespace {

int lineCount(const QString &path)
{
    return int(readAll(path).count('\n'));
}

struct LogLine
{
    double ms;
    uint32_t id;
    int dlc;
    QByteArray data;
};

std::vector<LogLine> readLog(const QString &path)
{
    static const QRegularExpression re(
        QStringLiteral("^(\\d+\\.\\d{3}) ([0-9A-F]{3}|[0-9A-F]{8}) (\\d)((?: [0-9A-F]{2})*)$"));
    std::vector<LogLine> out;
    for (const QByteArray &raw : readAll(path).split('\n')) {
        if (raw.isEmpty())
            continue;
        const auto m = re.match(QString::fromLatin1(raw));
        EXPECT_TRUE(m.hasMatch()) << raw.toStdString();
        if (!m.hasMatch())
            continue;
        LogLine l;
        l.ms = m.captured(1).toDouble();
        l.id = m.captured(2).toUInt(nullptr, 16);
        l.dlc = m.captured(3).toInt();
        l.data = QByteArray::fromHex(m.captured(4).toLatin1());
        EXPECT_EQ(l.data.size(), l.dlc) << raw.toStdString();
        out.push_back(l);
    }
    return out;
}

class CansimModes : public ::testing::Test
{
protected:
    QString file(const QString &name) const { return m_dir.filePath(name); }

    // A host of its own keeps the bus independent of this test's event loop.
    void startHost(int port)
    {
        ASSERT_TRUE(m_host.start({"--mode", "host", "--interface", CansimRun::url(port)},
                                 file("host.ready")))
            << m_host.errors().toStdString();
    }

    QTemporaryDir m_dir;
    CansimRun m_host;
};

TEST_F(CansimModes, FloodArrivesCompleteAndInOrder)
{
    const int port = freeTestPort();
    startHost(port);
    BusPeer peer;
    ASSERT_TRUE(peer.join(port));

    const int count = 3000;
    CansimRun flood;
    ASSERT_TRUE(flood.start({"--mode", "flood", "--interface", CansimRun::url(port), "--count",
                             QString::number(count), "--rate", "3000", "--ids",
                             "100,7FF,1FFFFFFF"}));
    ASSERT_TRUE(flood.waitForExit());
    EXPECT_EQ(flood.exitCode(), 0) << flood.errors().toStdString();
    EXPECT_TRUE(flood.output().contains("sent 3000 of 3000"));
    ASSERT_TRUE(waitUntil([&] { return peer.frames.size() >= size_t(count); }))
        << peer.frames.size();
    waitUntil([] { return false; }, 100); // nothing extra may follow
    ASSERT_EQ(peer.frames.size(), size_t(count));

    const uint32_t ids[] = {0x100, 0x7FF, 0x1FFFFFFF};
    for (int k = 0; k < count; ++k) {
        const QCanBusFrame &f = peer.frames[size_t(k)].frame;
        ASSERT_EQ(f.payload(), FloodMode::payload(uint32_t(k))) << "frame " << k;
        ASSERT_EQ(f.frameId(), ids[k % 3]) << "frame " << k;
        ASSERT_EQ(f.hasExtendedFrameFormat(), k % 3 == 2);
    }
    // Paced, not dumped: 3000 frames at 3000/s take about a second.
    EXPECT_GE(peer.frames.back().ms - peer.frames.front().ms, 850);
}

TEST_F(CansimModes, ListenLogsEveryFrameWithItsMonotonicArrivalTime)
{
    const int port = freeTestPort();
    startHost(port);
    CansimRun listen;
    const QString log = file("listen.log");
    ASSERT_TRUE(listen.start({"--mode", "listen", "--interface", CansimRun::url(port), "--log",
                              log},
                             file("listen.ready")));
    BusPeer peer;
    ASSERT_TRUE(peer.join(port));

    const double before = testMonotonicMs();
    std::vector<QCanBusFrame> sent;
    for (int i = 0; i < 40; ++i) {
        const QByteArray data = QByteArray::number(i).leftJustified(i % 9, 'x', true);
        QCanBusFrame f(uint32_t(0x7FF - i * 3), data);
        ASSERT_TRUE(peer.send(f));
        sent.push_back(f);
        waitUntil([] { return false; }, 5);
    }
    // The log grows while the listener runs, not only when it ends.
    ASSERT_TRUE(waitUntil([&] { return lineCount(log) == 40; })) << lineCount(log);
    const double after = testMonotonicMs();
    ASSERT_TRUE(listen.isRunning());

    listen.terminate();
    ASSERT_TRUE(listen.waitForExit());
    EXPECT_EQ(listen.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(listen.exitCode(), 0);
    EXPECT_TRUE(listen.output().contains("logged 40 frames"));

    const auto lines = readLog(log);
    ASSERT_EQ(lines.size(), sent.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].id, sent[i].frameId());
        EXPECT_EQ(lines[i].data, sent[i].payload());
        // The same clock as this process's CLOCK_MONOTONIC.
        EXPECT_GE(lines[i].ms, before - 1);
        EXPECT_LE(lines[i].ms, after + 1);
        if (i > 0) {
            EXPECT_GE(lines[i].ms, lines[i - 1].ms);
        }
    }
}

TEST_F(CansimModes, ListenStopsAtItsCountWithTheLogComplete)
{
    const int port = freeTestPort();
    startHost(port);
    CansimRun listen;
    const QString log = file("count.log");
    ASSERT_TRUE(listen.start({"--mode", "listen", "--interface", CansimRun::url(port), "--log",
                              log, "--count", "5"},
                             file("listen.ready")));
    BusPeer peer;
    ASSERT_TRUE(peer.join(port));
    for (int i = 0; i < 8; ++i)
        peer.send(QCanBusFrame(0x123, QByteArray(1, char(i))));
    ASSERT_TRUE(listen.waitForExit());
    EXPECT_EQ(listen.exitCode(), 0);
    const auto lines = readLog(log);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[4].data, QByteArray(1, char(4)));
}

TEST_F(CansimModes, SequenceSendsExactlyTheFileWithItsDelays)
{
    const int port = freeTestPort();
    startHost(port);
    BusPeer peer;
    ASSERT_TRUE(peer.join(port));
    const QString frames = file("seq.txt");
    ASSERT_TRUE(writeAll(frames, "# a known sequence\n"
                                 "0 100 8 00 01 02 03 04 05 06 07\n"
                                 "\n"
                                 "50 7FF 0\n"
                                 "0 000 1 FF\n"
                                 "120 800 2 AB CD\n"
                                 "10.5 1FFFFFFF 3 01 02 03\n"
                                 "200 321 1 5A\n"));
    CansimRun seq;
    ASSERT_TRUE(seq.start({"--mode", "sequence", "--interface", CansimRun::url(port), "--frames",
                           frames}));
    ASSERT_TRUE(seq.waitForExit());
    EXPECT_EQ(seq.exitCode(), 0) << seq.errors().toStdString();
    ASSERT_TRUE(waitUntil([&] { return peer.frames.size() >= 6; }));
    waitUntil([] { return false; }, 100);
    ASSERT_EQ(peer.frames.size(), 6u);

    struct Expect
    {
        uint32_t id;
        bool extended;
        QByteArray data;
    };
    const Expect expected[] = {
        {0x100, false, QByteArray::fromHex("0001020304050607")},
        {0x7FF, false, QByteArray()},
        {0x000, false, QByteArray::fromHex("FF")},
        {0x800, true, QByteArray::fromHex("ABCD")},
        {0x1FFFFFFF, true, QByteArray::fromHex("010203")},
        {0x321, false, QByteArray::fromHex("5A")},
    };
    for (size_t i = 0; i < 6; ++i) {
        const auto &got = peer.frames[i];
        EXPECT_EQ(got.frame.frameId(), expected[i].id) << i;
        EXPECT_EQ(got.frame.hasExtendedFrameFormat(), expected[i].extended) << i;
        EXPECT_EQ(got.frame.payload(), expected[i].data) << i;
    }
    // The delays are kept. Any one frame can arrive late on a busy machine (the virtual
    // bus is TCP), which shortens the gap after it; the bounds leave room for that.
    auto arrival = [&](size_t i) { return peer.frames[i].ms; };
    EXPECT_GE(arrival(5) - arrival(0), 380.5 - 60);
    EXPECT_GE(arrival(3) - arrival(2), 120 - 60);
    EXPECT_GE(arrival(5) - arrival(4), 200 - 60);
}

TEST_F(CansimModes, ABadFrameFileEndsTheRunBeforeItJoins)
{
    const int port = freeTestPort();
    const QString frames = file("bad.txt");
    ASSERT_TRUE(writeAll(frames, "0 100 1 00\n0 100 9 00\n"));
    CansimRun seq;
    const QString ready = file("never.ready");
    seq.start({"--mode", "sequence", "--interface", CansimRun::url(port), "--frames", frames,
               "--ready-file", ready});
    ASSERT_TRUE(seq.waitForExit());
    EXPECT_EQ(seq.exitCode(), 3);
    EXPECT_TRUE(seq.errors().contains("bad.txt:2:"));
    EXPECT_FALSE(QFileInfo::exists(ready));
}

// Per identifier, in arrival order.
std::map<uint32_t, std::vector<LogLine>> byId(const std::vector<LogLine> &lines)
{
    std::map<uint32_t, std::vector<LogLine>> m;
    for (const auto &l : lines)
        m[l.id].push_back(l);
    return m;
}

double medianGap(const std::vector<LogLine> &v)
{
    std::vector<double> gaps;
    for (size_t i = 1; i < v.size(); ++i)
        gaps.push_back(v[i].ms - v[i - 1].ms);
    if (gaps.empty())
        return 0;
    std::nth_element(gaps.begin(), gaps.begin() + gaps.size() / 2, gaps.end());
    return gaps[gaps.size() / 2];
}

double longestGap(const std::vector<LogLine> &v)
{
    double g = 0;
    for (size_t i = 1; i < v.size(); ++i)
        g = std::max(g, v[i].ms - v[i - 1].ms);
    return g;
}

TEST_F(CansimModes, TrafficLooksLikeEcusAndFollowsItsSeed)
{
    // Three buses side by side: the long run with seed 7, a short one with the same seed
    // and a short one with another seed.
    struct Bus
    {
        int port;
        const char *seed;
        const char *seconds;
        CansimRun listen, traffic;
        QString log;
    };
    Bus buses[] = {{freeTestPort(), "7", "11", {}, {}, {}},
                   {freeTestPort(), "7", "2", {}, {}, {}},
                   {freeTestPort(), "8", "2", {}, {}, {}}};
    for (Bus &b : buses) {
        b.log = file(QStringLiteral("traffic%1.log").arg(b.port));
        const QString ready = file(QStringLiteral("listen%1.ready").arg(b.port));
        ASSERT_TRUE(b.listen.start({"--mode", "listen", "--interface", CansimRun::url(b.port),
                                    "--log", b.log},
                                   ready));
        ASSERT_TRUE(b.traffic.start({"--mode", "traffic", "--interface", CansimRun::url(b.port),
                                     "--seed", b.seed, "--duration", b.seconds}));
    }
    for (Bus &b : buses) {
        ASSERT_TRUE(b.traffic.waitForExit(30000));
        EXPECT_EQ(b.traffic.exitCode(), 0) << b.traffic.errors().toStdString();
        waitUntil([] { return false; }, 200);
        b.listen.terminate();
        ASSERT_TRUE(b.listen.waitForExit());
    }

    const auto longRun = byId(readLog(buses[0].log));
    const auto sameSeed = byId(readLog(buses[1].log));
    const auto otherSeed = byId(readLog(buses[2].log));

    EXPECT_GE(longRun.size(), 25u);
    for (const auto &[id, frames] : longRun) {
        EXPECT_LE(id, 0x7FFu);
        EXPECT_GE(frames.size(), 5u) << std::hex << id;
        EXPECT_GE(frames.front().dlc, 2);
    }

    // The same seed gives the same bytes per identifier; another seed other bytes.
    int compared = 0, differing = 0;
    for (const auto &[id, frames] : sameSeed) {
        ASSERT_TRUE(longRun.count(id));
        const auto &reference = longRun.at(id);
        for (size_t i = 0; i < frames.size() && i < reference.size(); ++i) {
            ASSERT_EQ(frames[i].data, reference[i].data) << std::hex << id << " frame " << i;
            ++compared;
        }
        if (otherSeed.count(id) && !otherSeed.at(id).empty()
            && otherSeed.at(id).front().data != reference.front().data)
            ++differing;
    }
    EXPECT_GT(compared, 500);
    EXPECT_GE(differing, 20);

    // Cycle times from 10 ms to 1 s.
    EXPECT_NEAR(medianGap(longRun.at(0x0C0)), 10, 3);
    EXPECT_NEAR(medianGap(longRun.at(0x2C0)), 100, 20);
    EXPECT_NEAR(medianGap(longRun.at(0x700)), 1000, 150);

    // A rolling counter: its low nibble steps by one from frame to frame.
    const auto &fast = longRun.at(0x0C0);
    if (fast.front().dlc >= 3) {
        const int c = fast.front().dlc - 2;
        for (size_t i = 1; i < 50; ++i)
            EXPECT_EQ((uint8_t(fast[i].data[c]) - uint8_t(fast[i - 1].data[c])) & 0x0F, 1);
    }

    // 0x5F0 falls silent for about 4 s and comes back.
    const auto &silent = longRun.at(0x5F0);
    EXPECT_GE(longestGap(silent), 3500);
    EXPECT_GT(silent.back().ms - silent.front().ms, 9500);

    // 0x3E0 is sometimes late by several cycles, otherwise on time.
    EXPECT_NEAR(medianGap(longRun.at(0x3E0)), 100, 20);
    EXPECT_GE(longestGap(longRun.at(0x3E0)), 250);
}

TEST_F(CansimModes, SignalsEndAFloodCleanly)
{
    const int port = freeTestPort();
    startHost(port);
    CansimRun flood;
    ASSERT_TRUE(flood.start({"--mode", "flood", "--interface", CansimRun::url(port), "--count",
                             "1000000", "--rate", "1000"},
                            file("flood.ready")));
    waitUntil([] { return false; }, 300);
    ASSERT_TRUE(flood.isRunning());
    ::kill(pid_t(flood.processId()), SIGINT);
    ASSERT_TRUE(flood.waitForExit());
    EXPECT_EQ(flood.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(flood.exitCode(), 0);
    EXPECT_TRUE(flood.output().contains("of 1000000 frames"));
}

TEST_F(CansimModes, LosingTheBusEndsTheListenerWithItsLogWritten)
{
    const int port = freeTestPort();
    startHost(port);
    CansimRun listen;
    const QString log = file("lost.log");
    ASSERT_TRUE(listen.start({"--mode", "listen", "--interface", CansimRun::url(port), "--log",
                              log},
                             file("listen.ready")));
    {
        BusPeer peer;
        ASSERT_TRUE(peer.join(port));
        for (int i = 0; i < 3; ++i)
            peer.send(QCanBusFrame(0x200 + i, QByteArray(2, 'a')));
        ASSERT_TRUE(waitUntil([&] { return lineCount(log) == 3; }));
    }
    m_host.terminate();
    ASSERT_TRUE(m_host.waitForExit());
    ASSERT_TRUE(listen.waitForExit());
    EXPECT_EQ(listen.exitCode(), 2);
    EXPECT_EQ(lineCount(log), 3);
}

struct ExitRow
{
    QStringList args;
    int code;
};

void PrintTo(const ExitRow &r, std::ostream *os)
{
    *os << '"' << r.args.join(' ').toStdString() << "\" -> " << r.code;
}

class CansimExit : public ::testing::TestWithParam<ExitRow>
{
};

TEST_P(CansimExit, EndsWithTheRightCode)
{
    QTemporaryDir dir;
    CansimRun run;
    const QString ready = dir.filePath("ready");
    // A row's bus is on a port of its own, found now.
    QStringList args = GetParam().args;
    args.replaceInStrings(QStringLiteral("PORT"), QString::number(freeTestPort()));
    run.start(args + QStringList{"--ready-file", ready});
    ASSERT_TRUE(run.waitForExit());
    EXPECT_EQ(run.exitCode(), GetParam().code) << run.errors().toStdString();
    // Only a run that joined the bus says so.
    EXPECT_EQ(QFileInfo::exists(ready), GetParam().code == 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CansimExit,
    ::testing::Values(
        ExitRow{{"--mode", "host", "--interface", "tcp://127.0.0.1:PORT/can0", "--duration",
                 "0.3"},
                0},
        ExitRow{{"--mode", "nonsense"}, 1},
        ExitRow{{"--mode", "flood", "--interface", "tcp://127.0.0.1:PORT/can0"}, 1},
        ExitRow{{"--plugin", "nosuchplugin", "--mode", "host"}, 2},
        ExitRow{{"--mode", "host", "--interface", "tcp://127.0.0.1:PORT/can7"}, 2},
        ExitRow{{"--mode", "listen", "--interface", "tcp://127.0.0.1:PORT/can0", "--log",
                 "/nonexistent-folder/x.log", "--duration", "1"},
                3}));

TEST(CansimHelp, DescribesEveryMode)
{
    CansimRun run;
    run.start({"--help"});
    ASSERT_TRUE(run.waitForExit());
    EXPECT_EQ(run.exitCode(), 0);
    const QByteArray help = run.output();
    for (const char *word : {"traffic", "flood", "listen", "host", "sequence", "--seed",
                             "--ready-file", "--start-delay-ms", "--duration"})
        EXPECT_TRUE(help.contains(word)) << word;
}

} // namespace
