#pragma once

#include "TestHelpers.h"

#include <QCanBus>
#include <QCanBusDevice>
#include <QCanBusFrame>
#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>

#include <ctime>
#include <memory>
#include <vector>

// The simulator as a child process, the way scripts and benchmarks run it.
class CansimRun
{
public:
    static QString program()
    {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/cansim");
    }
    static QString url(int port) { return QStringLiteral("tcp://127.0.0.1:%1/can0").arg(port); }

    // Starts cansim and, when ready is given, waits until it has joined the bus.
    bool start(const QStringList &arguments, const QString &readyFile = {}, int timeoutMs = 10000)
    {
        m_process.setProgram(program());
        QStringList args = arguments;
        if (!readyFile.isEmpty())
            args << QStringLiteral("--ready-file") << readyFile;
        m_process.setArguments(args);
        m_process.start();
        if (!m_process.waitForStarted(5000))
            return false;
        if (readyFile.isEmpty())
            return true;
        return waitUntil([&] { return QFileInfo::exists(readyFile) || !isRunning(); }, timeoutMs)
               && QFileInfo::exists(readyFile);
    }

    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }

    // Waits (pumping events, so a bus hosted here keeps working) for the end of the run.
    bool waitForExit(int timeoutMs = 15000)
    {
        return waitUntil([&] { return !isRunning(); }, timeoutMs);
    }
    void terminate() { m_process.terminate(); }
    qint64 processId() const { return m_process.processId(); }
    int exitCode() const { return m_process.exitCode(); }
    QProcess::ExitStatus exitStatus() const { return m_process.exitStatus(); }
    QByteArray output() { return m_process.readAllStandardOutput(); }
    QByteArray errors() { return m_process.readAllStandardError(); }

    ~CansimRun()
    {
        if (isRunning()) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }

private:
    QProcess m_process;
};

inline double testMonotonicMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1.0e6;
}

// The test's own node on the virtual bus: keeps what arrives, with the arrival time.
class BusPeer
{
public:
    struct Received
    {
        double ms;
        QCanBusFrame frame;
    };

    bool join(int port)
    {
        m_device.reset(QCanBus::instance()->createDevice(QStringLiteral("virtualcan"),
                                                         CansimRun::url(port)));
        if (!m_device)
            return false;
        QObject::connect(m_device.get(), &QCanBusDevice::framesReceived, [this] {
            const double now = testMonotonicMs();
            for (const QCanBusFrame &f : m_device->readAllFrames())
                frames.push_back({now, f});
        });
        if (!m_device->connectDevice())
            return false;
        return waitUntil([&] { return m_device->state() == QCanBusDevice::ConnectedState; });
    }

    bool send(const QCanBusFrame &frame) { return m_device->writeFrame(frame); }

    ~BusPeer()
    {
        if (m_device)
            m_device->disconnectDevice();
    }

    std::vector<Received> frames;

private:
    std::unique_ptr<QCanBusDevice> m_device;
};
