#pragma once

#include "CansimRun.h"
#include "ELM327_Info.h"
#include "FrameBuffer.h"
#include "RecordFormat.h"
#include "RecordTrailer.h"
#include "TestHelpers.h"

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <initializer_list>
#include <vector>

// Pieces of the playback tests: record files of known frames, and the nodes that share
// the test's private bus (a listener that logs what arrives, another node that sends).
namespace playtest {

inline QString busUrl(int port)
{
    return QStringLiteral("tcp://127.0.0.1:%1/can0").arg(port);
}
inline QByteArray driverBus(int port)
{
    return ("virtualcan:" + busUrl(port)).toUtf8();
}

// Lets the event loop run for a while (frames in flight arrive meanwhile).
inline void settle(int ms)
{
    waitUntil([] { return false; }, ms);
}

inline RecordFrame frame(int32_t id, double time, uint8_t dlc, std::initializer_list<uint8_t> data)
{
    RecordFrame f;
    f.identifier = id;
    f.time = time;
    f.dlc = dlc;
    size_t k = 0;
    for (uint8_t b : data)
        if (k < 8)
            f.data[k++] = b;
    return f;
}

// Frames of ids in turn, `spacing` ms apart from `start`, DLC 8, bytes telling the frame's
// number, so every frame of a test is told apart by its data.
inline std::vector<RecordFrame> series(int count, double start, double spacing,
                                       std::initializer_list<int32_t> ids, uint8_t tag = 0)
{
    std::vector<RecordFrame> out;
    const std::vector<int32_t> idList(ids);
    for (int i = 0; i < count; ++i) {
        RecordFrame f;
        f.identifier = idList[size_t(i) % idList.size()];
        f.time = start + spacing * i;
        f.dlc = 8;
        f.data = {tag, uint8_t(i), uint8_t(i >> 8), 0x5A, 0xA5, uint8_t(~i), 0x11, 0x22};
        out.push_back(f);
    }
    return out;
}

// A record file as this program writes it, with the given comment.
inline bool writeRecord(const QString &path, const std::vector<RecordFrame> &frames,
                        const QString &comment = QStringLiteral("ＣＡＮ受信ログ"))
{
    ELM327_Info params;
    FrameBuffer buffer;
    for (size_t i = 0; i < frames.size() && i < size_t(FrameBuffer::kSlots); ++i)
        buffer[int(i)] = frames[i];
    RecordTrailer trailer = RecordTrailer::fromParams(params);
    trailer.comment = comment;
    return writeAll(path, encodeRecordFile(buffer, trailer));
}

// One frame as another node saw it on the bus.
struct Seen
{
    double ms = 0;
    uint32_t id = 0;
    int dlc = 0;
    QByteArray data;
    bool extended = false;

    bool sameFrame(const RecordFrame &f, int dlcOnWire) const
    {
        return id == uint32_t(f.identifier) && dlc == dlcOnWire
               && data == QByteArray(reinterpret_cast<const char *>(f.data.data()), dlcOnWire);
    }
};

// "<ms> <ID hex> <DLC> <bytes hex...>", as cansim's listen mode writes it.
inline std::vector<Seen> readListenLog(const QString &path)
{
    std::vector<Seen> out;
    const QList<QByteArray> lines = readAll(path).split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> parts = line.simplified().split(' ');
        if (parts.size() < 3)
            continue;
        Seen s;
        s.ms = parts[0].toDouble();
        s.id = parts[1].toUInt(nullptr, 16);
        s.extended = parts[1].size() == 8;
        s.dlc = parts[2].toInt();
        for (int i = 3; i < parts.size(); ++i)
            s.data.append(char(parts[i].toUInt(nullptr, 16)));
        out.push_back(s);
    }
    return out;
}

// cansim listening on the test's bus; started first, so it is the bus host.
class Listener
{
public:
    // With a count, cansim ends by itself once that many frames have come.
    bool start(int port, int count = 0)
    {
        m_log = m_dir.filePath(QStringLiteral("listen.log"));
        return m_run.start({"--mode", "listen", "--interface", busUrl(port), "--log", m_log,
                            "--count", QString::number(count)},
                           m_dir.filePath(QStringLiteral("listen.ready")));
    }
    // For a counted listener: waits (up to timeoutMs) for it to have them all.
    std::vector<Seen> waitForAll(int timeoutMs)
    {
        m_run.waitForExit(timeoutMs);
        return stop(0);
    }
    // Gives the last frames time to arrive, ends cansim (which flushes its log) and reads it.
    std::vector<Seen> stop(int settleMs = 300)
    {
        settle(settleMs);
        m_run.terminate();
        m_run.waitForExit();
        return readListenLog(m_log);
    }
    qint64 processId() const { return m_run.processId(); }

private:
    QTemporaryDir m_dir;
    QString m_log;
    CansimRun m_run;
};

// Another node: sends the frames of a sequence script after a delay.
class OtherNode
{
public:
    // lines: "<delay ms> <ID hex> <DLC> <bytes hex...>"
    bool start(int port, const QStringList &lines, int startDelayMs)
    {
        const QString script = m_dir.filePath(QStringLiteral("frames.txt"));
        if (!writeAll(script, lines.join('\n').toUtf8() + '\n'))
            return false;
        return m_run.start({"--mode", "sequence", "--interface", busUrl(port), "--frames", script,
                            "--start-delay-ms", QString::number(startDelayMs)},
                           m_dir.filePath(QStringLiteral("node.ready")));
    }
    bool finished(int timeoutMs = 15000) { return m_run.waitForExit(timeoutMs); }

private:
    QTemporaryDir m_dir;
    CansimRun m_run;
};

// A bus host that can be taken away (the bus then drops out under the drivers).
class BusHost
{
public:
    bool start(int port)
    {
        return m_run.start({"--mode", "host", "--interface", busUrl(port)},
                           m_dir.filePath(QStringLiteral("host.ready")));
    }
    // Killed outright, as a crashing process goes: no orderly goodbye to its clients.
    void kill()
    {
        ::kill(pid_t(m_run.processId()), SIGKILL);
        m_run.waitForExit();
    }
    // The same without waiting for it to go: the run goes on meanwhile, as it does when the
    // host dies on its own.
    void killNow() { ::kill(pid_t(m_run.processId()), SIGKILL); }

private:
    QTemporaryDir m_dir;
    CansimRun m_run;
};

// The frames a played file puts on the bus: up to its first identifier below 1, DLC at
// most 8, without the identifiers in `skip`.
inline std::vector<RecordFrame> expectedOnBus(const std::vector<RecordFrame> &frames,
                                              const std::vector<uint32_t> &skip = {})
{
    std::vector<RecordFrame> out;
    for (const RecordFrame &f : frames) {
        if (f.identifier < 1)
            break;
        if (std::find(skip.begin(), skip.end(), uint32_t(f.identifier)) != skip.end())
            continue;
        RecordFrame g = f;
        g.dlc = std::min<uint8_t>(f.dlc, 8);
        out.push_back(g);
    }
    return out;
}

// Whether the seen frames are exactly the expected ones in order; the first difference
// otherwise.
inline ::testing::AssertionResult sameFrames(const std::vector<Seen> &seen,
                                             const std::vector<RecordFrame> &expected)
{
    const size_t n = std::min(seen.size(), expected.size());
    for (size_t i = 0; i < n; ++i) {
        if (!seen[i].sameFrame(expected[i], expected[i].dlc))
            return ::testing::AssertionFailure()
                   << "frame " << i << ": saw id " << std::hex << seen[i].id << " dlc "
                   << std::dec << seen[i].dlc << " data " << seen[i].data.toHex().toStdString()
                   << ", expected id " << std::hex << expected[i].identifier << std::dec;
    }
    if (seen.size() != expected.size())
        return ::testing::AssertionFailure()
               << "saw " << seen.size() << " frames, expected " << expected.size();
    return ::testing::AssertionSuccess();
}

} // namespace playtest
