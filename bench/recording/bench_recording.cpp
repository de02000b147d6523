// Record runs at rising rates: the simulator floods a private virtual bus with 1,000,000
// numbered frames, the main window records them through one driver library (Bt_Rec, the
// live monitor ticking, Bt_Disconnect once the flood is over), and the record files are
// read back to see whether every frame is there, in order. Both devices, one after the
// other; the highest rate without a lost frame is the result.

#include "Form1.h"
#include "free_port.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kFrames = 1000000;
const std::vector<uint32_t> kRates = {50000, 90000, 120000, 150000, 200000, 250000, 300000};
// The identifiers the flood takes in turn: enough lines to give the monitor a table.
constexpr uint32_t kIds = 32;
constexpr uint32_t kFirstId = 0x100;
// Per device; the whole program must stay well under five minutes.
constexpr qint64 kBudgetMs = 110000;

struct StepResult
{
    uint32_t rate = 0;
    uint64_t recorded = 0;
    uint64_t lost = 0;
    uint64_t misordered = 0;
    int files = 0;
    double sendFps = 0;
    double monitorTicksPerS = 0;
    double tickMeanMs = 0;
    double tickMaxMs = 0;
    double seconds = 0;
    bool stoppedByWatchdog = false;
    QString note;

    bool ok() const
    {
        return recorded == kFrames && lost == 0 && misordered == 0 && !stoppedByWatchdog
               && sendFps >= 0.97 * rate && note.isEmpty();
    }
};

// Other work on the machine takes the cores the bus, the drivers and the loop share; the
// one-minute load average is printed with every step so the figures can be judged.
QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(file.readLine()).section(QLatin1Char(' '), 0, 0);
}


QString idList()
{
    QStringList ids;
    for (uint32_t i = 0; i < kIds; ++i)
        ids << QString::number(kFirstId + i, 16);
    return ids.join(QLatin1Char(','));
}

uint32_t le32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Frame k of the flood has identifier kFirstId + k % kIds and k in bytes 0 … 3.
void checkFiles(const QString &folder, StepResult &r)
{
    constexpr int kSlots = 20001;
    constexpr int kSlotBytes = 21;
    const QStringList names = QDir(folder).entryList({QStringLiteral("*.dat")}, QDir::Files,
                                                     QDir::Name);
    r.files = int(names.size());
    uint64_t expected = 0;
    for (const QString &name : names) {
        QFile file(QDir(folder).filePath(name));
        if (!file.open(QIODevice::ReadOnly)) {
            r.note = QStringLiteral("cannot read ") + name;
            return;
        }
        const QByteArray bytes = file.readAll();
        if (bytes.size() < kSlots * kSlotBytes) {
            r.note = QStringLiteral("short file ") + name;
            return;
        }
        const auto *p = reinterpret_cast<const uint8_t *>(bytes.constData());
        for (int k = 0; k < kSlots; ++k) {
            const uint8_t *slot = p + k * kSlotBytes;
            const int32_t id = int32_t(le32(slot));
            if (id < 1)
                break;
            const uint32_t seq = le32(slot + 13);
            ++r.recorded;
            if (seq > expected)
                r.lost += seq - expected;
            else if (seq < expected)
                ++r.misordered;
            if (uint32_t(id) != kFirstId + seq % kIds || slot[12] != 8)
                ++r.misordered;
            expected = std::max<uint64_t>(expected, uint64_t(seq) + 1);
        }
    }
    r.lost += kFrames - std::min<uint64_t>(kFrames, r.recorded + r.lost);
}

// Times the monitor's ticks: the timer event is seen here before the timer emits its
// timeout, and the bench's own timeout handler runs after the window's.
class TickClock final : public QObject
{
public:
    QElapsedTimer clock;
    qint64 startNs = -1;
    int ticks = 0;
    double totalMs = 0;
    double maxMs = 0;

    TickClock() { clock.start(); }
    void reset()
    {
        ticks = 0;
        totalMs = 0;
        maxMs = 0;
    }
    void ended()
    {
        if (startNs < 0)
            return;
        const double ms = double(clock.nsecsElapsed() - startNs) / 1e6;
        startNs = -1;
        ++ticks;
        totalMs += ms;
        maxMs = std::max(maxMs, ms);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Timer)
            startNs = clock.nsecsElapsed();
        return false;
    }
};

class Bench
{
public:
    Bench(Form1 &window, QString records, QString bus)
        : m_w(window), m_records(std::move(records)), m_bus(std::move(bus))
    {
        m_monitor = m_w.findChild<QTimer *>(QStringLiteral("TimerBattRead"));
        m_monitor->installEventFilter(&m_tickClock);
        QObject::connect(m_monitor, &QTimer::timeout, [this] { m_tickClock.ended(); });
    }

    bool select(int vendor)
    {
        auto *list = m_w.findChild<QComboBox *>(QStringLiteral("Cmb_Serect_Device"));
        list->setCurrentIndex(vendor - 1);
        m_w.Cmb_Serect_Device_Click();
        return m_w.device.t_select_Vender == vendor;
    }

    uint32_t climb(const char *name)
    {
        QElapsedTimer budget;
        budget.start();
        uint32_t best = 0;
        for (uint32_t rate : kRates) {
            if (budget.elapsed() + qint64(kFrames) * 1000 / rate + 5000 > kBudgetMs) {
                std::printf("%s rate=%u skipped (time budget)\n", name, rate);
                break;
            }
            const StepResult r = step(rate);
            std::printf("%s rate=%u send_fps=%.0f recorded=%llu lost=%llu misordered=%llu "
                        "files=%d run=%.2fs monitor_ticks_per_s=%.1f tick_ms=%.2f/%.1f "
                        "load=%s%s%s %s\n",
                        name, rate, r.sendFps, (unsigned long long)r.recorded,
                        (unsigned long long)r.lost, (unsigned long long)r.misordered, r.files,
                        r.seconds, r.monitorTicksPerS, r.tickMeanMs, r.tickMaxMs,
                        qPrintable(loadAverage()), r.note.isEmpty() ? "" : " note=",
                        qPrintable(r.note), r.ok() ? "PASS" : "FAIL");
            std::fflush(stdout);
            if (!r.ok())
                break;
            best = rate;
        }
        return best;
    }

private:
    StepResult step(uint32_t rate)
    {
        StepResult r;
        r.rate = rate;
        for (const QString &name : QDir(m_records).entryList(QDir::Files))
            QFile::remove(QDir(m_records).filePath(name));

        QProcess sim;
        sim.setProgram(QCoreApplication::applicationDirPath() + QStringLiteral("/cansim"));
        sim.setArguments({"--interface", m_bus, "--mode", "flood", "--count",
                          QString::number(kFrames), "--rate", QString::number(rate), "--ids",
                          idList(), "--linger-ms", "300"});
        const uint32_t lastSeq = kFrames - 1;
        const auto lastId = int16_t(kFirstId + lastSeq % kIds);
        bool started = false;
        bool stopping = false;
        QElapsedTimer run;
        QElapsedTimer sinceExit;
        const qint64 watchdogMs = qint64(kFrames) * 2000 / rate + 10000;

        QTimer probe;
        probe.setInterval(5);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            if (m_w.RxFlag != 1 || stopping)
                return;
            if (!started) {
                if (!m_monitor->isActive())
                    return;
                started = true;
                m_tickClock.reset();
                run.start();
                sim.start();
                return;
            }
            const CAN_ReadDB &rx = m_w.rxData();
            const bool lastIn = rx.CAN11_Received(lastId) == 1
                                && rx.CAN11_Data1(lastId) == uint8_t(lastSeq)
                                && rx.CAN11_Data2(lastId) == uint8_t(lastSeq >> 8)
                                && rx.CAN11_Data3(lastId) == uint8_t(lastSeq >> 16);
            const bool simDone = sim.state() == QProcess::NotRunning;
            if (simDone && !sinceExit.isValid())
                sinceExit.start();
            // After the flood, lost frames never come: give the queue a moment, then stop.
            const bool giveUp = simDone && sinceExit.elapsed() > 3000;
            r.stoppedByWatchdog = run.elapsed() > watchdogMs;
            if ((simDone && lastIn) || giveUp || r.stoppedByWatchdog) {
                stopping = true;
                r.seconds = run.elapsed() / 1000.0;
                r.monitorTicksPerS = m_tickClock.ticks / std::max(0.001, r.seconds);
                r.tickMeanMs = m_tickClock.totalMs / std::max(1, m_tickClock.ticks);
                r.tickMaxMs = m_tickClock.maxMs;
                m_w.findChild<QToolButton *>(QStringLiteral("Bt_Disconnect"))->click();
            }
        });
        probe.start();
        m_w.findChild<QToolButton *>(QStringLiteral("Bt_Rec"))->click();
        probe.stop();
        if (sim.state() != QProcess::NotRunning) {
            sim.kill();
            sim.waitForFinished(3000);
        }

        const QString out = QString::fromLocal8Bit(sim.readAllStandardOutput());
        const QRegularExpression summary(QStringLiteral("sent (\\d+) of \\d+ frames .*\\((\\d+) frames/s\\)"));
        const QRegularExpressionMatch m = summary.match(out);
        if (m.hasMatch() && m.captured(1).toULongLong() == kFrames)
            r.sendFps = m.captured(2).toDouble();
        else
            r.note = QStringLiteral("simulator: ")
                     + (out + QString::fromLocal8Bit(sim.readAllStandardError())).simplified();
        if (!m_w.statusText(1).isEmpty())
            r.note = m_w.statusText(1);
        checkFiles(m_records, r);
        return r;
    }

    Form1 &m_w;
    QString m_records;
    QString m_bus;
    QTimer *m_monitor = nullptr;
    TickClock m_tickClock;
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir settings;
    QTemporaryDir runtime;
    QTemporaryDir records;
    const QString bus = QStringLiteral("tcp://127.0.0.1:%1/can0").arg(freeTestPort());
    const QByteArray driverBus = "virtualcan:" + bus.toUtf8();
    qputenv("ProgramFiles", settings.path().toUtf8());
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    qputenv("CANUSB_ADAPTERS", "BENCHREC=" + driverBus);
    qputenv("IFCAN_PORTS", "1=" + driverBus);

    QApplication app(argc, argv);
    if (!qEnvironmentVariableIsSet("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus*=false"));
    std::printf("bus %s, %u frames per step over %u identifiers, monitor on\n",
                qPrintable(bus), kFrames, kIds);

    Form1 w;
    if (!w.Form_Load()) {
        std::printf("start-up failed\nRESULT canusb_zero_loss_fps=0 ifcan_zero_loss_fps=0\n");
        return 1;
    }
    w.device.t_LogSaveFilePath_mode = 2;
    w.device.t_LogSaveFilePath = records.path();

    Bench bench(w, records.path(), bus);
    const uint32_t canusb = bench.select(1) ? bench.climb("canusb") : 0;
    const uint32_t ifcan = bench.select(2) ? bench.climb("ifcan") : 0;
    std::printf("RESULT canusb_zero_loss_fps=%u ifcan_zero_loss_fps=%u\n", canusb, ifcan);
    std::fflush(stdout);
    return 0;
}
