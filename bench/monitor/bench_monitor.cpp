// Measures the live monitor's tick on the worst table it can get: all 2047 identifiers
// listed, every byte of every frame changing on every tick, every cycle-time column in
// its fade and all eight markers on, drawn into the view in a window of the main view's
// size on the offscreen platform, with the repaint of what is in view counted.
//
// The per-ID table is written as the receive loop writes it (updateFrame), between ticks;
// the tick itself runs from the monitor timer at its 33 ms interval.
//
// The run is made twice: with the plain table, and with a CAN database of 143 messages
// (names on their lines, the mean-cycle check, and the signal pane decoding the message
// of one line on every tick).
//
// Usage: bench_monitor [--ticks N] [--png FILE | --settings]
//   --png FILE  instead of measuring, runs a few seconds of ordinary traffic (bytes
//               fading, one identifier falling silent, a marker) and saves the view.
//   --settings  writes that picture's settings as the program's settings file (for
//               scripts/screenshot.sh, which captures the program itself).

#include "CAN_PlayDB.h"
#include "CAN_ReadDB.h"
#include "CAN_ViewDB.h"
#include "DbcReader.h"
#include "ELM327_Info.h"
#include "LiveMonitor.h"
#include "MonitorView.h"
#include "PlayTarget.h"
#include "RunHost.h"
#include "SettingsFile.h"
#include "SignalPane.h"
#include "SignalWatch.h"
#include "Vexa100.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFont>
#include <QPixmap>
#include <QHBoxLayout>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

class BenchHost final : public RunHost
{
public:
    BenchHost()
    {
        battRead.setInterval(LiveMonitor::kInterval);
        fileRecPlay.setInterval(100);
        fileRecPlay.setSingleShot(true);
    }
    void setStatusText(int index, const QString &text) override
    {
        if (index == 0 || index == 1)
            status[index] = text;
    }
    QString statusText(int index) const override
    {
        return index == 0 || index == 1 ? status[index] : QString();
    }
    void setProtocolText(const QString &) override {}
    bool timerBattReadEnabled() const override { return battRead.isActive(); }
    void setTimerBattReadEnabled(bool on) override
    {
        if (on && !battRead.isActive())
            battRead.start();
        else if (!on)
            battRead.stop();
    }
    bool timerFileRecPlayEnabled() const override { return fileRecPlay.isActive(); }
    void setTimerFileRecPlayEnabled(bool on) override
    {
        if (on)
            fileRecPlay.start();
        else
            fileRecPlay.stop();
    }

    QTimer battRead;
    QTimer fileRecPlay;
    QString status[2];
};

// Counts the paints of the view so the benchmark can tell that it measured them.
class PaintCounter final : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Passes the table on to the view and times how long the view takes to take it.
class TimedSink final : public MonitorSink
{
public:
    explicit TimedSink(MonitorSink &to) : m_to(to) {}
    void showTable(const QString &text, const std::vector<ColourRange> &ranges) override
    {
        QElapsedTimer t;
        t.start();
        m_to.showTable(text, ranges);
        lastMs = double(t.nsecsElapsed()) / 1e6;
    }
    double lastMs = 0;

private:
    MonitorSink &m_to;
};

double cpuSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

double threadCpuMs()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5));
    return v[i];
}

struct Window
{
    explicit Window(bool withPane = false)
    {
        // The main view's size (at the main window's first size, 900 x 720) and font.
        view = new MonitorView(&top);
        view->setObjectName(QStringLiteral("RTB_MainView"));
        view->setLineWrapMode(QTextEdit::NoWrap);
        QFont mono(QStringLiteral("Noto Sans Mono CJK JP"));
        mono.setStyleHint(QFont::Monospace);
        mono.setPointSize(10);
        view->setFont(mono);
        view->document()->setDefaultFont(mono);
        auto *layout = new QHBoxLayout(&top);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(view, 3);
        if (withPane) {
            pane = new SignalPane(&top);
            layout->addWidget(pane, 2);
        }
        top.resize(882, 481);
        top.show();
    }
    QWidget top;
    MonitorView *view = nullptr;
    SignalPane *pane = nullptr;
};

// 143 messages over the whole identifier range, ten signals each in both byte orders, one
// of every eight multiplexed; half with the traffic's cycle time, half with another, so
// the mean-cycle check marks them.
CanDatabase benchDatabase()
{
    std::string text;
    for (int m = 0; m < 143; ++m) {
        const int id = 1 + m * 14;
        const bool mux = m % 8 == 0;
        text += "BO_ " + std::to_string(id) + " MSG_" + std::to_string(m) + ": 8 ECU\n";
        if (mux)
            text += " SG_ PAGE M : 0|4@1+ (1,0) [0|15] \"\" X\n";
        for (int s = 0; s < 10; ++s) {
            const std::string name = " SG_ S" + std::to_string(s)
                                     + (mux && s % 2 ? " m" + std::to_string(s % 4) : "");
            if (s % 2)
                text += name + " : " + std::to_string(8 * (s % 8) + 7)
                        + "|8@0- (0.5,-10) [0|0] \"km/h\" X\n";
            else
                text += name + " : " + std::to_string(8 * (s % 8) + 4)
                        + "|4@1+ (1,0) [0|15] \"\" X\n";
        }
        text += "BA_ \"GenMsgCycleTime\" BO_ " + std::to_string(id) + " "
                + (m % 2 ? "100" : "33") + ";\n";
        text += "VAL_ " + std::to_string(id) + " S0 0 \"off\" 1 \"on\" ;\n";
    }
    return DbcReader::parse(text);
}

struct Figures
{
    double median = 0;
    double p99 = 0;
    double cpuPct = 0;
};

void frame(CAN_ReadDB &rx, int id, int dlc, double readTime, double stampMs,
           const uint8_t data[8])
{
    rx.updateFrame(int16_t(id), dlc, readTime, Currency::fromDouble(stampMs), data);
}

Figures measure(int ticks, const CanDatabase *db)
{
    ELM327_Info device;
    CAN_PlayDB play;
    CAN_ReadDB rx;
    CAN_ViewDB view;
    BenchHost host;
    double interfaceOffset = 0;
    device.t_select_Vender = 1;
    // Eight markers over whole frames, spread over the table.
    for (int m = 0; m < 8; ++m) {
        device.t_MsgMarker_ON(int16_t(m), 1);
        device.t_MsgMarkerID(int16_t(m), 0x100 * m + 0x10);
        device.t_MsgMarkerStartByte(int16_t(m), 1);
        device.t_MsgMarkerEndByte(int16_t(m), 8);
    }
    play.PlayMode = 2;
    Window window(db != nullptr);
    PaintCounter counter;
    window.view->viewport()->installEventFilter(&counter);
    TimedSink sink(*window.view);
    LiveMonitor monitor({device, play, rx, view, host, interfaceOffset, [] { return 0.0; }},
                        sink);
    monitor.setDatabase(db);
    SignalWatch watch;
    watch.setDatabase(db);
    watch.select(1 + 14 * 70);   // a message of the middle of the table
    // Scroll into the middle of the table, where a user watching a range of IDs would be.
    QCoreApplication::processEvents();

    uint32_t seq = 0;
    double stamp = 1;
    auto traffic = [&] {
        stamp += LiveMonitor::kInterval;
        ++seq;
        for (int id = 1; id <= 0x7FF; ++id) {
            uint8_t data[8];
            for (int k = 0; k < 8; ++k)
                data[k] = uint8_t(seq * 7 + uint32_t(id) + uint32_t(k) * 31);
            frame(rx, id, 8, vexa::vx_timeGetTime(), stamp, data);
        }
    };

    std::vector<double> tickMs;
    std::vector<double> viewMs;
    std::vector<double> cpuMs;
    std::vector<double> totalMs;
    const int warmup = 30;
    int done = 0;
    int paintsMeasured = 0;
    size_t rangesSeen = 0;
    double cpuStart = 0;
    QElapsedTimer wall;
    QObject::connect(&host.battRead, &QTimer::timeout, [&] {
        traffic();
        const int paintsBefore = counter.paints;
        QElapsedTimer t;
        const double cpu0 = threadCpuMs();
        t.start();
        monitor.tick();
        if (db) {
            watch.update(rx, device.t_DataChangeColorTime, LiveMonitor::kInterval);
            window.pane->showWatch(watch, true, device.t_DataChangeColor,
                                   device.t_DataChangeColorTime);
        }
        const double tickTime = double(t.nsecsElapsed()) / 1e6;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        QCoreApplication::sendPostedEvents();
        const double total = double(t.nsecsElapsed()) / 1e6;
        const double cpu = threadCpuMs() - cpu0;
        ++done;
        if (done == warmup) {
            window.view->verticalScrollBar()->setValue(window.view->verticalScrollBar()->maximum() / 2);
            cpuStart = cpuSeconds();
            wall.start();
        } else if (done > warmup) {
            tickMs.push_back(tickTime);
            viewMs.push_back(sink.lastMs);
            totalMs.push_back(total);
            cpuMs.push_back(cpu);
            paintsMeasured += counter.paints - paintsBefore;
            rangesSeen = monitor.lastRanges().size();
        }
        if (done >= warmup + ticks) {
            host.RxFlag = 0;
            host.battRead.stop();
            QCoreApplication::quit();
        }
    });
    host.RxFlag = 1;
    host.battRead.start();
    QApplication::exec();
    const double wallS = double(wall.nsecsElapsed()) / 1e9;
    const double cpuPct = wallS > 0 ? (cpuSeconds() - cpuStart) / wallS * 100.0 : 0;

    std::printf("%s: identifiers 2047, coloured ranges per tick %zu, ticks %zu, paints %d\n",
                db ? "with a database of 143 messages" : "plain table", rangesSeen,
                totalMs.size(), paintsMeasured);
    std::printf("tick alone:       median %.2f ms  p99 %.2f ms  max %.2f ms\n",
                percentile(tickMs, 0.5), percentile(tickMs, 0.99),
                percentile(tickMs, 1.0));
    std::printf("  of it the view: median %.2f ms  p99 %.2f ms\n", percentile(viewMs, 0.5),
                percentile(viewMs, 0.99));
    std::printf("tick with repaint: median %.2f ms  p99 %.2f ms  max %.2f ms\n",
                percentile(totalMs, 0.5), percentile(totalMs, 0.99),
                percentile(totalMs, 1.0));
    std::printf("  its processor time: median %.2f ms  p99 %.2f ms\n", percentile(cpuMs, 0.5),
                percentile(cpuMs, 0.99));
    window.view->finishLiveTable();
    return {percentile(totalMs, 0.5), percentile(totalMs, 0.99), cpuPct};
}

// The settings of the README's picture: 3 s fades, and a marker on bytes 2..4 of 1A0 (an
// identifier of the simulator's traffic too).
void pictureSettings(ELM327_Info &device)
{
    device.t_select_Vender = 1;
    device.t_DataChangeColorTime = 3000;
    device.t_MsgLateColor_Time = 3000;
    device.t_MsgMarker_ON(0, 1);
    device.t_MsgMarkerID(0, 0x1A0);
    device.t_MsgMarkerStartByte(0, 2);
    device.t_MsgMarkerEndByte(0, 4);
}

// Writes those settings as the program's settings file, for a capture of the program itself.
int writePictureSettings()
{
    ELM327_Info device;
    PlayTarget player;
    pictureSettings(device);
    if (SaveSettingsFile(device, player) != 0) {
        std::fprintf(stderr, "could not write the settings file\n");
        return 1;
    }
    return 0;
}

int snapshot(const QString &path)
{
    ELM327_Info device;
    CAN_PlayDB play;
    CAN_ReadDB rx;
    CAN_ViewDB view;
    BenchHost host;
    double interfaceOffset = 0;
    pictureSettings(device);
    play.PlayMode = 2;
    Window window;
    double clock = 100000;
    LiveMonitor monitor({device, play, rx, view, host, interfaceOffset,
                         [&] { return clock - 100000; }},
                        *window.view);
    monitor.setClock([&] { return clock; });
    host.RxFlag = 1;

    struct Ecu
    {
        int id;
        int dlc;
        int cycle;       // ms
        int changedAt;   // tick from which byte 2 holds a new value (0: never)
    };
    // Byte 2 changes once on several identifiers at different times, so their colours
    // stand at different points of the 3 s fade; 0B4 counts in byte 8 on every frame,
    // 2C4 arrives late once, 43F falls silent half-way and the marker is on 1A0.
    const std::vector<Ecu> ecus = {
        {0x0B4, 8, 20, 0},    {0x0C1, 8, 10, 0},   {0x120, 6, 50, 296},  {0x1A0, 8, 100, 282},
        {0x1D0, 4, 100, 0},   {0x244, 8, 20, 262}, {0x2C4, 8, 50, 0},    {0x316, 3, 100, 0},
        {0x3B7, 8, 200, 240}, {0x43F, 8, 100, 0},  {0x4A8, 5, 500, 0},   {0x520, 8, 1000, 270},
        {0x5B0, 2, 100, 220}, {0x610, 0, 1000, 0}, {0x6F1, 8, 50, 0},    {0x7DF, 8, 100, 0}};
    const int silentId = 0x43F;
    for (int tick = 0; tick < 300; ++tick) {
        clock += LiveMonitor::kInterval;
        for (const Ecu &e : ecus) {
            if (e.id == silentId && tick > 150)
                continue;
            const int per = std::max(1, e.cycle / LiveMonitor::kInterval);
            if (tick % per != 0)
                continue;
            uint8_t data[8] = {uint8_t(e.id), 0x10, 0x00, 0xFF, 0x40, 0x00, 0x3C, 0x00};
            if (e.changedAt && tick >= e.changedAt)
                data[1] = 0x2A;
            if (e.id == 0x0B4)
                data[7] = uint8_t(tick & 0x0F);
            const double late = (e.id == 0x2C4 && tick == 290) ? 35 : 0;
            frame(rx, e.id, e.dlc, clock, clock - 100000 + late, data);
        }
        monitor.tick();
        QCoreApplication::processEvents();
    }
    host.battRead.stop();
    QCoreApplication::processEvents();
    const QPixmap shot = window.top.grab();
    const bool ok = shot.save(path);
    std::printf("%s %s (%dx%d)\n", ok ? "saved" : "could not save", qPrintable(path),
                shot.width(), shot.height());
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int ticks = 600;
    QString png;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--ticks") && i + 1 < args.size())
            ticks = std::max(1, args[++i].toInt());
        else if (args[i] == QLatin1String("--png") && i + 1 < args.size())
            png = args[++i];
        else if (args[i] == QLatin1String("--settings"))
            return writePictureSettings();
    }
    if (!png.isEmpty())
        return snapshot(png);
    const Figures plain = measure(ticks, nullptr);
    const CanDatabase db = benchDatabase();
    const Figures decoding = measure(ticks, &db);
    std::printf("RESULT median_ms=%.2f p99_ms=%.2f cpu_pct=%.1f dbc_median_ms=%.2f "
                "dbc_p99_ms=%.2f dbc_cpu_pct=%.1f\n",
                plain.median, plain.p99, plain.cpuPct, decoding.median, decoding.p99,
                decoding.cpuPct);
    return 0;
}
