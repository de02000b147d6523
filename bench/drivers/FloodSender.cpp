#include "FloodSender.h"

#include <QAbstractSocket>
#include <QCanBus>
#include <QCanBusDevice>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <chrono>
#include <ctime>
#include <memory>

namespace {

uint64_t nowNs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000000000u + uint64_t(ts.tv_nsec);
}

QCanBusFrame sequenceFrame(uint32_t id, uint32_t seq)
{
    char data[8];
    for (int i = 0; i < 4; ++i) {
        data[i] = char(seq >> (8 * i));
        data[4 + i] = char(~seq >> (8 * i));
    }
    return QCanBusFrame(id, QByteArray(data, 8));
}

bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

} // namespace

FloodSender::FloodSender(std::string interface) : m_interface(std::move(interface)) {}

FloodSender::~FloodSender()
{
    {
        std::lock_guard lock(m_mutex);
        m_state = State::Quit;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

bool FloodSender::start(std::string *error)
{
    m_thread = std::thread([this] { threadMain(); });
    std::unique_lock lock(m_mutex);
    m_wake.wait(lock, [this] { return m_state != State::Starting; });
    if (error)
        *error = m_error;
    return m_state == State::Idle;
}

FloodSender::Result FloodSender::flood(uint32_t count, uint32_t rate, uint32_t id)
{
    std::unique_lock lock(m_mutex);
    m_count = count;
    m_rate = rate;
    m_id = id;
    m_state = State::Flooding;
    m_wake.notify_all();
    m_wake.wait(lock, [this] { return m_state != State::Flooding; });
    return m_result;
}

void FloodSender::threadMain()
{
    QEventLoop loop; // gives this thread its event dispatcher
    std::unique_ptr<QCanBusDevice> device(QCanBus::instance()->createDevice(
        QStringLiteral("virtualcan"), QString::fromStdString(m_interface)));
    const bool connected = device && device->connectDevice()
                           && waitFor([&] { return device->state() == QCanBusDevice::ConnectedState; },
                                      2000);
    {
        std::lock_guard lock(m_mutex);
        m_state = connected ? State::Idle : State::Failed;
        if (!connected)
            m_error = device ? device->errorString().toStdString() : "no virtualcan plugin";
    }
    m_wake.notify_all();
    if (!connected)
        return;
    const auto sockets = device->findChildren<QAbstractSocket *>();
    auto flushed = [&] {
        for (QAbstractSocket *s : sockets) {
            if (s->bytesToWrite() > 0)
                return false;
        }
        return true;
    };

    for (;;) {
        std::unique_lock lock(m_mutex);
        m_wake.wait(lock, [this] { return m_state != State::Idle; });
        if (m_state == State::Quit)
            return;
        const uint32_t count = m_count, rate = m_rate, id = m_id;
        lock.unlock();

        const uint64_t start = nowNs();
        uint32_t sent = 0;
        while (sent < count) {
            const uint64_t due = std::min<uint64_t>(count, (nowNs() - start) * rate / 1000000000u + 1);
            while (sent < due)
                device->writeFrame(sequenceFrame(id, sent++));
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            if (sent < count)
                std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        waitFor(flushed, 10000);
        const double seconds = double(nowNs() - start) / 1e9;

        lock.lock();
        m_result = {sent, seconds};
        m_state = State::Idle;
        lock.unlock();
        m_wake.notify_all();
    }
}
