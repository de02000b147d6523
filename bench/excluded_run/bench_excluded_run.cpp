// How long a long run of excluded frames holds up the next kept frame. A record file holds
// a kept frame, 19,999 frames of an excluded identifier and another kept frame, all due at
// the same time; the main window plays it by its Connect button with the live monitor
// running, on a private virtual bus, and cansim logs each frame's arrival. The delay is
// the second kept frame's arrival less the first's: what passing over the excluded frames
// costs, the transport's share being a fraction of a millisecond.
//
// Last line: RESULT excluded_frames=19999 delay_ms_p50=… delay_ms_max=… runs=N

#include "Form1.h"
#include "FrameBuffer.h"
#include "RecordFormat.h"
#include "RecordTrailer.h"
#include "free_port.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

namespace {

constexpr int kRuns = 5;
constexpr int32_t kKeptFirst = 0x100;
constexpr int32_t kExcluded = 0x150;
constexpr int32_t kKeptLast = 0x200;

bool writeFile(const QString &path)
{
    FrameBuffer frames;
    for (int i = 0; i < FrameBuffer::kSlots; ++i) {
        RecordFrame &f = frames[i];
        f.identifier = i == 0 ? kKeptFirst : i == FrameBuffer::kLastIndex ? kKeptLast : kExcluded;
        f.time = 0;
        f.dlc = 1;
    }
    ELM327_Info params;
    QFile out(path);
    return out.open(QIODevice::WriteOnly)
           && out.write(encodeRecordFile(frames, RecordTrailer::fromParams(params))) > 0;
}

bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

// Arrival times of the two kept identifiers, in log order: "<ms> <ID hex> <DLC> …".
std::vector<double> delays(const QString &log)
{
    std::vector<double> out;
    QFile in(log);
    if (!in.open(QIODevice::ReadOnly))
        return out;
    double first = -1;
    while (!in.atEnd()) {
        const QList<QByteArray> p = in.readLine().simplified().split(' ');
        if (p.size() < 2)
            continue;
        const uint32_t id = p[1].toUInt(nullptr, 16);
        if (id == uint32_t(kKeptFirst)) {
            first = p[0].toDouble();
        } else if (id == uint32_t(kKeptLast) && first >= 0) {
            out.push_back(p[0].toDouble() - first);
            first = -1;
        }
    }
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "qt.canbus*=false");
    QApplication app(argc, argv);

    QTemporaryDir work;
    QDir(work.path()).mkpath("settings");
    QDir(work.path()).mkpath("runtime");
    qputenv("ProgramFiles", work.filePath("settings").toUtf8());
    qputenv("XDG_RUNTIME_DIR", work.filePath("runtime").toUtf8());
    const QString bus = QStringLiteral("tcp://127.0.0.1:%1/can0").arg(freeTestPort());
    qputenv("CANUSB_ADAPTERS", ("BENCHUSB=virtualcan:" + bus).toUtf8());
    qputenv("IFCAN_PORTS", "");

    const QString file = work.filePath("excluded.dat");
    if (!writeFile(file)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return 1;
    }
    const QString log = work.filePath("listen.log");
    const QString ready = work.filePath("listen.ready");
    QProcess listener;
    listener.start(QCoreApplication::applicationDirPath() + "/cansim",
                   {"--mode", "listen", "--interface", bus, "--log", log, "--ready-file", ready});
    if (!listener.waitForStarted(5000)
        || !waitFor([&] { return QFileInfo::exists(ready); }, 10000)) {
        std::fprintf(stderr, "cansim did not start\n");
        return 1;
    }

    Form1 w;
    if (!w.Form_Load()) {
        std::fprintf(stderr, "the main window did not start\n");
        return 1;
    }
    w.device.t_DisableID_Play_ON(0, 1);
    w.device.t_DisableID_Play_Start(0, kExcluded);
    w.device.t_DisableID_Play_End(0, kExcluded);
    w.show();
    w.CanPlay.get_PlayFilePath_DB_Main(file, w.device);
    if (w.CanPlay.t_RecPlay_FileType != 1) {
        std::fprintf(stderr, "%s was not taken as the play target\n", qPrintable(file));
        return 1;
    }
    for (int run = 0; run < kRuns; ++run)
        w.Bt_Connect_Click();

    waitFor([] { return false; }, 500);
    listener.terminate();
    listener.waitForFinished(10000);
    std::vector<double> d = delays(log);
    if (d.empty()) {
        std::fprintf(stderr, "no kept frame pair arrived\n");
        return 1;
    }
    for (size_t i = 0; i < d.size(); ++i)
        std::printf("run %zu: the kept frame after 19999 excluded ones arrived %.3f ms later\n",
                    i + 1, d[i]);
    std::sort(d.begin(), d.end());
    std::printf("RESULT excluded_frames=19999 delay_ms_p50=%.3f delay_ms_max=%.3f runs=%zu\n",
                d[d.size() / 2], d.back(), d.size());
    return 0;
}
