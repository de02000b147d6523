// Plays one schedule onto vcan0 twice, with can-utils' canplayer and with our engine, and
// compares how far off their schedule the frames arrive: candump -L stamps every arrival in
// the kernel. The schedule is laid where it fits the arrivals best without any frame coming
// early (at the smallest arrival - due of all frames), so a slow first frame shifts nothing;
// a frame's lateness is its arrival - due beyond that. p99 and max at each rate (the RESULT
// line: 9,000 frames/s), and the frames that never arrived.
#include "ELM327_Info.h"
#include "FrameBuffer.h"
#include "RecordFormat.h"
#include "RecordTrailer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int kFrames = 20001;
constexpr int kRates[] = {2000, 9000};
// The 2,000 frames/s schedule lasts 10 s, plus the 3 s bus check of our engine.
constexpr int kPlayLimitMs = 45000;

struct Frame
{
    int id;
    double dueMs;
    uint8_t data[8];
};

std::vector<Frame> schedule(int rate)
{
    std::vector<Frame> frames(kFrames);
    for (int i = 0; i < kFrames; ++i) {
        Frame &f = frames[size_t(i)];
        f.id = 0x100 + i % 0x600;
        f.dueMs = 1000.0 * i / rate;
        for (int k = 0; k < 8; ++k)
            f.data[k] = uint8_t((i >> (8 * (k % 4))) + k);
    }
    return frames;
}

QString hex(const uint8_t *data)
{
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(data), 8).toHex().toUpper());
}

bool writeRecordFile(const QString &path, const std::vector<Frame> &frames)
{
    FrameBuffer buffer;
    for (size_t i = 0; i < frames.size(); ++i) {
        RecordFrame &r = buffer[int(i)];
        r.identifier = frames[i].id;
        r.time = frames[i].dueMs;
        r.dlc = 8;
        std::copy(frames[i].data, frames[i].data + 8, r.data.begin());
    }
    QFile out(path);
    return out.open(QIODevice::WriteOnly)
           && out.write(encodeRecordFile(buffer, RecordTrailer::fromParams(ELM327_Info()))) > 0;
}

bool writePlayerLog(const QString &path, const std::vector<Frame> &frames)
{
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    for (const Frame &f : frames) {
        const double t = 1000000.0 + f.dueMs / 1000.0;
        out.write(QStringLiteral("(%1) vcan0 %2#%3\n")
                      .arg(t, 0, 'f', 6)
                      .arg(f.id, 3, 16, QLatin1Char('0'))
                      .arg(hex(f.data))
                      .toUpper()
                      .replace(QStringLiteral("VCAN0"), QStringLiteral("vcan0"))
                      .toLatin1());
    }
    return true;
}

struct Outcome
{
    std::vector<double> lateMs;
    int lost = 0;
};

// Matches candump's lines to the schedule by data (every frame's data is unique).
Outcome measure(const QString &dumpPath, const std::vector<Frame> &frames)
{
    QFile in(dumpPath);
    Outcome o;
    if (!in.open(QIODevice::ReadOnly | QIODevice::Text)) {
        o.lost = int(frames.size());
        return o;
    }
    QHash<QString, double> arrival;
    while (!in.atEnd()) {
        const QList<QByteArray> parts = in.readLine().trimmed().split(' ');
        if (parts.size() != 3)
            continue;
        const double t = parts[0].mid(1, parts[0].size() - 2).toDouble() * 1000.0;
        arrival.insert(QString::fromLatin1(parts[2]), t);
    }
    for (const Frame &f : frames) {
        const QString key = QStringLiteral("%1#%2").arg(f.id, 3, 16, QLatin1Char('0')).arg(hex(f.data)).toUpper();
        const auto it = arrival.constFind(key);
        if (it == arrival.constEnd()) {
            ++o.lost;
            continue;
        }
        o.lateMs.push_back(*it - f.dueMs);
    }
    if (!o.lateMs.empty()) {
        const double start = *std::min_element(o.lateMs.begin(), o.lateMs.end());
        for (double &late : o.lateMs)
            late -= start;
    }
    return o;
}

QProcess *startDump(const QString &path)
{
    auto *dump = new QProcess;
    dump->setStandardOutputFile(path);
    // A receive buffer of its own: a frame the dumper drops would count against a player.
    dump->start(QStringLiteral("candump"), {QStringLiteral("-L"), QStringLiteral("-r"),
                                            QStringLiteral("33554432"), QStringLiteral("vcan0")});
    dump->waitForStarted();
    QThread::msleep(300);
    return dump;
}

void stopDump(QProcess *dump)
{
    QThread::msleep(300);
    dump->terminate();
    dump->waitForFinished(5000);
    delete dump;
}

bool run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(program, args);
    // A player that falls far behind is stopped: what it did not send counts as lost.
    if (!p.waitForFinished(kPlayLimitMs)) {
        p.kill();
        p.waitForFinished(5000);
        return false;
    }
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return NAN;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(std::ceil(p * double(v.size()))) - 1)];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (!QFileInfo::exists(QStringLiteral("/sys/class/net/vcan0"))) {
        std::printf("bench_socketcan: no vcan0 here; it runs in the guest of "
                    "scripts/kernel_tests.sh\nRESULT skipped=1\n");
        return 0;
    }
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/cankestrova-cli");
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/bench_socketcan-XXXXXX"));
    std::vector<double> ours, theirs;
    int lost = 0;
    for (const int rate : kRates) {
        const std::vector<Frame> frames = schedule(rate);
        const QString dat = dir.filePath(QStringLiteral("CR00000000-%1.dat").arg(rate));
        const QString log = dir.filePath(QStringLiteral("schedule-%1.log").arg(rate));
        if (!writeRecordFile(dat, frames) || !writePlayerLog(log, frames)) {
            std::printf("bench_socketcan: cannot write the schedule\n");
            return 1;
        }
        const QString theirDump = dir.filePath(QStringLiteral("canplayer-%1.txt").arg(rate));
        QProcess *dump = startDump(theirDump);
        const bool playerOk = run(QStringLiteral("canplayer"), {QStringLiteral("-I"), log});
        stopDump(dump);
        const QString ourDump = dir.filePath(QStringLiteral("ours-%1.txt").arg(rate));
        dump = startDump(ourDump);
        const bool oursOk = run(cli, {QStringLiteral("play"), QStringLiteral("--device"),
                                      QStringLiteral("SocketCAN-vcan0"), dat});
        stopDump(dump);
        const Outcome t = measure(theirDump, frames);
        const Outcome o = measure(ourDump, frames);
        std::printf("%5d frames/s: canplayer p99 %.3f max %.3f lost %d%s | ours p99 %.3f max %.3f "
                    "lost %d%s\n",
                    rate, percentile(t.lateMs, 0.99), percentile(t.lateMs, 1.0), t.lost,
                    playerOk ? "" : " (failed)", percentile(o.lateMs, 0.99),
                    percentile(o.lateMs, 1.0), o.lost, oursOk ? "" : " (failed)");
        std::fflush(stdout);
        ours.insert(ours.end(), o.lateMs.begin(), o.lateMs.end());
        theirs.insert(theirs.end(), t.lateMs.begin(), t.lateMs.end());
        lost += o.lost;
        if (rate == kRates[1]) {
            std::printf("RESULT p99_ms_ours=%.3f p99_ms_canplayer=%.3f max_ms_ours=%.3f "
                        "max_ms_canplayer=%.3f lost=%d\n",
                        percentile(o.lateMs, 0.99), percentile(t.lateMs, 0.99),
                        percentile(o.lateMs, 1.0), percentile(t.lateMs, 1.0), lost);
        }
    }
    return 0;
}
