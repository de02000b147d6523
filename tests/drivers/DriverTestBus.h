#pragma once

#include "free_port.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTcpSocket>

#include <chrono>
#include <ctime>
#include <functional>
#include <string>
#include <thread>

// Buses of the driver tests. Every test process takes loopback ports nobody uses, so
// tests may run side by side.
namespace drivertest {

inline uint16_t freePort()
{
    return uint16_t(freeTestPort());
}

inline std::string busUrl(uint16_t port, int channel = 0)
{
    return "tcp://127.0.0.1:" + std::to_string(port) + "/can" + std::to_string(channel);
}

// The private bus of this test process, hosted by the libraries themselves.
inline const std::string &privateBus()
{
    static const std::string url = busUrl(freePort());
    return url;
}

inline bool waitFor(const std::function<bool()> &done, int timeoutMs = 5000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Time for a new client's "connect" to reach the bus host before frames are sent to it.
inline void letClientsJoin()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
}

inline uint64_t monotonicUs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000000u + uint64_t(ts.tv_nsec) / 1000u;
}

// Qt's canbusutil listening on a port of its own: the first on that port, so it is the
// bus host, and killing it takes the bus away.
class CanbusutilHost
{
public:
    CanbusutilHost() : m_port(freePort())
    {
        m_process.setProgram(QStringLiteral(CANBUSUTIL_PATH));
        m_process.setArguments({QStringLiteral("-l"), QStringLiteral("virtualcan"),
                                QString::fromStdString(url())});
        m_process.start();
    }
    ~CanbusutilHost() { stop(); }

    std::string url() const { return busUrl(m_port); }

    bool listening()
    {
        if (!m_process.waitForStarted(5000))
            return false;
        return waitFor([this] {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, m_port);
            const bool up = probe.waitForConnected(100);
            probe.abort();
            return up;
        });
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished(5000);
    }

private:
    uint16_t m_port;
    QProcess m_process;
};

} // namespace drivertest
