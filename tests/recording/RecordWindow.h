#pragma once

#include "CansimRun.h"
#include "Form1.h"
#include "Paths.h"
#include "RecordFiles.h"
#include "RecordingHelpers.h"
#include "Vexa100.h"
#include "HookGuard.h"

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace rectest {

enum class Vendor { Canusb = 1, Board = 2 };

inline const char *vendorName(Vendor v)
{
    return v == Vendor::Canusb ? "Canusb" : "Board";
}

inline QString busUrl(int port)
{
    return QStringLiteral("tcp://127.0.0.1:%1/can0").arg(port);
}

// A frame the simulator sends and the delay before it.
struct SentFrame
{
    double delayMs = 0;
    uint32_t id = 0;
    uint8_t dlc = 0;
    std::array<uint8_t, 8> data{};
};

// The simulator's sequence file for frames.
inline bool writeSequence(const QString &path, const std::vector<SentFrame> &frames)
{
    QByteArray text;
    text.reserve(qsizetype(frames.size()) * 40);
    for (const SentFrame &f : frames) {
        text += QByteArray::number(f.delayMs) + ' ' + QByteArray::number(f.id, 16) + ' '
                + QByteArray::number(f.dlc);
        for (int k = 0; k < f.dlc; ++k)
            text += ' ' + QByteArray::number(f.data[size_t(k)], 16);
        text += '\n';
    }
    return writeAll(path, text);
}

// What a record file slot holds for a frame (bytes past the DLC are 0); no time.
inline FileFrame expectedSlot(const SentFrame &f)
{
    FileFrame out;
    out.id = int32_t(f.id);
    out.dlc = f.dlc;
    for (int k = 0; k < f.dlc && k < 8; ++k)
        out.data[size_t(k)] = f.data[size_t(k)];
    return out;
}

// The main window brought up headless with one device on the test's private bus, its own
// settings and runtime folders, record files into `records`, and a fixed clock for the
// files' names.
class RecordWindow : public ::testing::Test
{
protected:
    // Ends after the window: the files' clock and the hooks go back to their defaults.
    HookGuard<void (*)(std::function<QDateTime()>), std::function<QDateTime()>> recordClock{
        &setRecordClockForTesting, &RecordWindow::hour};
    ResetGuard hooks{[] {
        paths::setProgramFolderForTesting(QString());
        vexa::unbindForTesting();
    }};
    QTemporaryDir settings;
    QTemporaryDir runtime;
    QTemporaryDir records;
    QTemporaryDir work;
    ScopedEnv programFiles{"ProgramFiles", settings.path().toUtf8()};
    ScopedEnv runtimeDir{"XDG_RUNTIME_DIR", runtime.path().toUtf8()};
    MessageRecorder messages;
    std::unique_ptr<ScopedEnv> adapters;
    std::unique_ptr<ScopedEnv> ports;
    std::unique_ptr<Form1> w;
    int port = 0;

    static constexpr uint32_t kFirstId = 0x7FD;

    static QDateTime hour() { return QDateTime(QDate(2026, 5, 4), QTime(21, 30, 0)); }
    static QString stamp() { return QStringLiteral("26050421"); }


    ::testing::AssertionResult bringUp(Vendor vendor, int busPort)
    {
        port = busPort;
        const QByteArray bus = "virtualcan:" + busUrl(port).toUtf8();
        adapters = std::make_unique<ScopedEnv>(
            "CANUSB_ADAPTERS", vendor == Vendor::Canusb ? "VCANREC=" + bus : QByteArray());
        ports = std::make_unique<ScopedEnv>("IFCAN_PORTS",
                                            vendor == Vendor::Board ? "1=" + bus : QByteArray());
        w = std::make_unique<Form1>();
        if (!w->Form_Load())
            return ::testing::AssertionFailure() << messages.texts().join('|').toStdString();
        if (w->device.t_select_Vender != int(vendor))
            return ::testing::AssertionFailure() << "vendor " << w->device.t_select_Vender;
        w->device.t_LogSaveFilePath_mode = 2;
        w->device.t_LogSaveFilePath = records.path();
        return ::testing::AssertionSuccess();
    }

    template <class T>
    T *child(const char *name) const
    {
        return w->findChild<T *>(QLatin1String(name));
    }
    void setComment(const QString &text) { child<QLineEdit>("TB_Comment")->setText(text); }
    QString status(int i) const
    {
        return child<QLineEdit>(i == 0 ? "TB_Status_0" : "TB_Status_1")->text();
    }
    std::array<int, 8> states() const
    {
        std::array<int, 8> s{};
        for (size_t i = 0; i < 8; ++i)
            s[i] = w->ButtonState()[i];
        return s;
    }
    bool monitorRunning() const { return child<QTimer>("TimerBattRead")->isActive(); }

    // Clicks Bt_Rec. Once the device is open (the monitor timer runs), `opened` runs once;
    // then `during` runs every 5 ms until it returns true, and Bt_Disconnect is clicked.
    // False when the watchdog had to stop the run.
    bool record(const std::function<void()> &opened,
                const std::function<bool()> &during, int watchdogMs = 60000)
    {
        bool watchdog = false;
        bool open = false;
        bool stopping = false;
        QElapsedTimer clock;
        QTimer probe;
        probe.setInterval(5);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            if (w->RxFlag != 1 || stopping)
                return;
            if (!open) {
                if (!monitorRunning())
                    return;
                open = true;
                clock.start();
                if (opened)
                    opened();
                return;
            }
            const bool done = !during || during();
            if (!done && clock.elapsed() < watchdogMs)
                return;
            watchdog = !done;
            stopping = true;
            child<QToolButton>("Bt_Disconnect")->click();
        });
        probe.start();
        child<QToolButton>("Bt_Rec")->click();
        return !watchdog;
    }

    // One run in which the simulator sends frames; stopped once it has finished and the
    // last frame is in the receive table.
    bool recordSequence(const std::vector<SentFrame> &frames,
                        const std::function<void()> &whileRunning = {})
    {
        const QString script = work.filePath(QStringLiteral("frames.txt"));
        if (!writeSequence(script, frames))
            return false;
        const SentFrame &last = frames.back();
        CansimRun sim;
        bool started = false;
        const bool stopped = record(
            [&] {
                started = sim.start({"--interface", busUrl(port), "--mode", "sequence", "--frames",
                                     script, "--linger-ms", "300"});
            },
            [&] {
                if (whileRunning)
                    whileRunning();
                const CAN_ReadDB &rx = w->rxData();
                const auto id = int16_t(last.id);
                return !started || (!sim.isRunning() && rx.CAN11_Received(id) == 1
                                    && rx.CAN11_DLC(id) == last.dlc
                                    && rx.CAN11_Data1(id) == last.data[0]
                                    && rx.CAN11_Data8(id) == last.data[7]);
            });
        EXPECT_TRUE(started) << "the simulator did not start";
        if (started) {
            EXPECT_EQ(sim.exitCode(), 0) << sim.errors().toStdString();
        }
        return stopped && started;
    }

    // Frames of identifiers 0x001 … 0x7FE (mostly a few recurring ones, among them the
    // bounds of 0x100 … 0x1FF), every DLC 0 … 8, bytes from a fixed generator. The first
    // frame is the only 0x7FD, so the receive table keeps its device time; the last is
    // 0x7FF and marks the end.
    static std::vector<SentFrame> sequence(int count, uint32_t seed)
    {
        static const uint32_t kCommon[] = {0x001, 0x0FF, 0x100, 0x101, 0x1FF,
                                           0x200, 0x3A5, 0x7FE};
        uint32_t x = seed;
        auto next = [&x] {
            x = x * 1664525u + 1013904223u;
            return x >> 8;
        };
        std::vector<SentFrame> out;
        out.reserve(size_t(count));
        out.push_back({0, kFirstId, 3, {0xF1, 0xF2, 0xF3}});
        for (int i = 1; i < count - 1; ++i) {
            SentFrame f;
            const uint32_t r = next();
            f.id = (r & 1) ? kCommon[(r >> 1) % std::size(kCommon)] : 1 + (r >> 1) % 0x7FC;
            f.dlc = uint8_t(next() % 9);
            for (auto &b : f.data)
                b = uint8_t(next());
            out.push_back(f);
        }
        SentFrame end;
        end.id = 0x7FF;
        end.dlc = 8;
        end.data = {0xE0, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7};
        out.push_back(end);
        return out;
    }
};

} // namespace rectest
