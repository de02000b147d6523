// Plays one schedule onto vcan0 twice, with can-utils' canplayer and with our engine, and
// compares how far off their schedule the frames arrive: candump -L stamps every arrival in
// the kernel. The schedule is laid where it fits the arrivals best without any frame coming
// early (at the smallest arrival - due of all frames), so a slow first frame shifts nothing;
// a frame's lateness is its arrival - due beyond that. p99 and max at each rate (the RESULT
// line: 9,000 frames/s), and the frames that never arrived.
//
//   bench_socketcan [rates [runs]]     e.g. bench_socketcan 9000 8
//
// plays the given rates (comma-separated; 2000,9000 by default) that many times each and
// counts the runs in which ours had the lower p99 and the lower max; the RESULT line then
// gives the last run's figures, the frames lost in all, and the counts.
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

bool playOnce(const QString &program, const QStringList &args)
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
    QList<int> rates(std::begin(kRates), std::end(kRates));
    int runs = 1;
    const QStringList args = app.arguments();
    if (args.size() > 1) {
        rates.clear();
        for (const QString &r : args[1].split(QLatin1Char(',')))
            if (r.toInt() > 0)
                rates.append(r.toInt());
    }
    if (args.size() > 2)
        runs = std::max(1, args[2].toInt());
    if (rates.isEmpty()) {
        std::printf("usage: bench_socketcan [rate[,rate...] [runs]]\n");
        return 2;
    }
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/cankestrova-cli");
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/bench_socketcan-XXXXXX"));
    int lost = 0, lowerP99 = 0, lowerMax = 0;
    double p99Ours = NAN, p99Theirs = NAN, maxOurs = NAN, maxTheirs = NAN;
    for (const int rate : std::as_const(rates)) {
        const std::vector<Frame> frames = schedule(rate);
        const QString dat = dir.filePath(QStringLiteral("CR00000000-%1.dat").arg(rate));
        const QString log = dir.filePath(QStringLiteral("schedule-%1.log").arg(rate));
        if (!writeRecordFile(dat, frames) || !writePlayerLog(log, frames)) {
            std::printf("bench_socketcan: cannot write the schedule\n");
            return 1;
        }
        const QString theirDump = dir.filePath(QStringLiteral("canplayer-%1.txt").arg(rate));
        const QString ourDump = dir.filePath(QStringLiteral("ours-%1.txt").arg(rate));
        for (int run = 1; run <= runs; ++run) {
            QProcess *dump = startDump(theirDump);
            const bool playerOk = playOnce(QStringLiteral("canplayer"), {QStringLiteral("-I"), log});
            stopDump(dump);
            dump = startDump(ourDump);
            const bool oursOk = playOnce(cli, {QStringLiteral("play"), QStringLiteral("--device"),
                                               QStringLiteral("SocketCAN-vcan0"), dat});
            stopDump(dump);
            const Outcome t = measure(theirDump, frames);
            const Outcome o = measure(ourDump, frames);
            p99Ours = percentile(o.lateMs, 0.99);
            p99Theirs = percentile(t.lateMs, 0.99);
            maxOurs = percentile(o.lateMs, 1.0);
            maxTheirs = percentile(t.lateMs, 1.0);
            std::printf("%5d frames/s%s: canplayer p99 %.3f max %.3f lost %d%s | ours p99 %.3f "
                        "max %.3f lost %d%s\n",
                        rate, runs > 1 ? qPrintable(QStringLiteral(" run %1").arg(run)) : "",
                        p99Theirs, maxTheirs, t.lost, playerOk ? "" : " (failed)", p99Ours,
                        maxOurs, o.lost, oursOk ? "" : " (failed)");
            std::fflush(stdout);
            lost += o.lost;
            lowerP99 += p99Ours <= p99Theirs ? 1 : 0;
            lowerMax += maxOurs <= maxTheirs ? 1 : 0;
        }
    }
    const int played = runs * int(rates.size());
    if (runs > 1)
        std::printf("ours at most canplayer's p99 in %d of %d, max in %d of %d\n", lowerP99,
                    played, lowerMax, played);
    std::printf("RESULT p99_ms_ours=%.3f p99_ms_canplayer=%.3f max_ms_ours=%.3f "
                "max_ms_canplayer=%.3f lost=%d",
                p99Ours, p99Theirs, maxOurs, maxTheirs, lost);
    if (runs > 1)
        std::printf(" plays=%d p99_lower=%d max_lower=%d", played, lowerP99, lowerMax);
    std::printf("\n");
    return 0;
}
