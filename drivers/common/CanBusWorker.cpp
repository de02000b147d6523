#include "CanBusWorker.h"

#include "DeviceSession.h"
#include "QtRuntime.h"
#include "SocketCan.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <sys/prctl.h>

#include <chrono>
#include <future>

namespace {

// A session that ends before it answers (closed meanwhile) drops its promise.
CanBusWorker::OpenError outcome(std::future<CanBusWorker::OpenError> &result)
{
    try {
        return result.get();
    } catch (const std::future_error &) {
        return CanBusWorker::OpenError::Refused;
    }
}

} // namespace

CanBusWorker::CanBusWorker(size_t rxCapacity, size_t txCapacity, size_t timedCapacity)
    : m_rx(rxCapacity), m_txCapacity(txCapacity), m_timedCapacity(timedCapacity)
{
}

CanBusWorker::~CanBusWorker()
{
    close();
}

CanBusWorker::OpenError CanBusWorker::open(const DeviceSpec &spec)
{
    QtRuntime &runtime = QtRuntime::instance();
    if (!runtime.start())
        return OpenError::ShuttingDown;
    // A Qt program that has destroyed its application object gets no more events.
    if (!QCoreApplication::instance())
        return OpenError::ShuttingDown;
    if (spec.plugin == "virtualcan")
        runtime.hostVirtualBus(spec.interface);

    auto opened = std::make_shared<std::promise<OpenError>>();
    std::future<OpenError> result = opened->get_future();
    {
        std::lock_guard lock(m_mutex);
        if (m_thread.joinable())
            return OpenError::Refused;
        m_spec = spec;
        m_lost = false;
        m_watchLink = false;
        m_prepared = false;
        m_busStatus = 0;
        m_problem.clear();
        m_threadDone = false;
        m_opened = [opened](OpenError e) { opened->set_value(e); };
        m_thread = std::thread([this] { threadMain(); });
    }
    const OpenError e = outcome(result);
    if (e != OpenError::None) {
        close();
        return e;
    }
    runtime.add(this);
    return OpenError::None;
}

void CanBusWorker::threadMain()
{
    // Timed frames are slept for to the microsecond: no slack on this thread's timers.
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    QEventLoop loop;
    DeviceSession session(*this, loop);
    DeviceSpec spec;
    std::function<void(OpenError)> opened;
    {
        std::lock_guard lock(m_mutex);
        m_session = &session;
        m_loop = &loop;
        spec = m_spec;
        opened = std::exchange(m_opened, nullptr);
    }
    // Started from inside the loop, so that a failure can end the loop at once.
    QMetaObject::invokeMethod(
        &session,
        [&] {
            session.openDevice(spec, [&](OpenError e) {
                opened(e);
                if (e != OpenError::None)
                    loop.quit();
            });
        },
        Qt::QueuedConnection);
    loop.exec();
    {
        std::lock_guard lock(m_mutex);
        m_session = nullptr;
        m_loop = nullptr;
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    {
        std::lock_guard lock(m_mutex);
        m_threadDone = true;
    }
    m_threadEnded.notify_all();
}

void CanBusWorker::close()
{
    std::thread thread;
    {
        std::unique_lock lock(m_mutex);
        if (!m_thread.joinable())
            return;
        // The graceful end runs as an event; when none can be delivered any more (the
        // Qt program's application object is gone at exit), the loop is ended directly.
        const bool deliverable = m_session && QCoreApplication::instance();
        if (deliverable)
            QMetaObject::invokeMethod(m_session, [s = m_session] { s->finish(); },
                                      Qt::QueuedConnection);
        const bool ended = m_threadEnded.wait_for(
            lock, std::chrono::seconds(deliverable ? 3 : 0), [this] { return m_threadDone; });
        if (!ended && m_loop)
            m_loop->exit();
        thread = std::move(m_thread);
    }
    thread.join();
    QtRuntime::instance().remove(this);
    std::lock_guard lock(m_mutex);
    m_unsent -= m_tx.size();
    m_tx.clear();
    m_txWakePending = false;
    // A timed frame whose time has not come when the handle closes never leaves.
    m_timed.clear();
    m_timedWakePending = false;
}

CanBusWorker::OpenError CanBusWorker::changeBitRate(int bitRate)
{
    auto done = std::make_shared<std::promise<OpenError>>();
    std::future<OpenError> result = done->get_future();
    {
        std::lock_guard lock(m_mutex);
        if (!m_session)
            return OpenError::Refused;
        m_spec.bitRate = bitRate;
        QMetaObject::invokeMethod(
            m_session,
            [s = m_session, bitRate, done] {
                s->reopen(bitRate, [done](OpenError e) { done->set_value(e); });
            },
            Qt::QueuedConnection);
    }
    const OpenError e = outcome(result);
    if (e != OpenError::None)
        m_lost = true;
    return e;
}

bool CanBusWorker::isOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_session != nullptr;
}

std::string CanBusWorker::errorText() const
{
    std::lock_guard lock(m_mutex);
    return m_error;
}

void CanBusWorker::fail(const std::string &why)
{
    std::lock_guard lock(m_mutex);
    m_error = why;
    m_lost = true;
    m_unsent -= m_tx.size();
    m_tx.clear();
    m_timed.clear();
}

bool CanBusWorker::prepareRun(int bitRate, bool listenOnly)
{
    if (m_prepared)
        return !m_lost;
    std::lock_guard once(m_prepareMutex);
    if (m_prepared)
        return !m_lost;
    DeviceSpec spec;
    {
        std::lock_guard lock(m_mutex);
        spec = m_spec;
    }
    if (spec.plugin == socketcan::pluginName && !m_lost) {
        const std::string problem = socketcan::prepare(spec.interface, bitRate, listenOnly);
        if (problem.empty()) {
            m_watchLink = true;
        } else {
            setProblem(problem);
            fail("interface not ready");
        }
    }
    m_prepared = true;
    return !m_lost;
}

void CanBusWorker::setProblem(const std::string &text)
{
    std::lock_guard lock(m_mutex);
    m_problem = text;
}

std::string CanBusWorker::takeProblem()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_problem, {});
}

uint32_t CanBusWorker::takeBusStatus()
{
    constexpr uint32_t events = Overrun | ArbitrationLost | BusError;
    return m_busStatus.fetch_and(~events);
}

void CanBusWorker::noteErrorFrame(uint32_t errorClass, const uint8_t *data, size_t size)
{
    // The classes and controller bits of the kernel's error frames (linux/can/error.h).
    constexpr uint32_t lostArbitration = 0x002, controller = 0x004, protocol = 0x008,
                       noAck = 0x020, busOff = 0x040, busError = 0x080, restarted = 0x100;
    constexpr uint8_t rxOverflow = 0x01, txOverflow = 0x02, rxWarning = 0x04,
                      txWarning = 0x08, rxPassive = 0x10, txPassive = 0x20, active = 0x40;
    uint32_t set = 0;
    uint32_t cleared = 0;
    if (errorClass & lostArbitration)
        set |= ArbitrationLost;
    if (errorClass & (protocol | noAck | busError))
        set |= BusError;
    if (errorClass & busOff)
        set |= BusOff;
    if (errorClass & restarted)
        cleared |= BusOff | ErrorPassive | ErrorWarning;
    if ((errorClass & controller) && size >= 2) {
        const uint8_t c = data[1];
        if (c & (rxOverflow | txOverflow))
            set |= Overrun;
        if (c & (rxWarning | txWarning))
            set |= ErrorWarning;
        if (c & (rxPassive | txPassive))
            set |= ErrorPassive;
        if (c & active)
            cleared |= BusOff | ErrorPassive | ErrorWarning;
    }
    uint32_t old = m_busStatus.load();
    while (!m_busStatus.compare_exchange_weak(old, (old & ~cleared) | set)) {
    }
}

void CanBusWorker::setError(const std::string &text)
{
    std::lock_guard lock(m_mutex);
    m_error = text;
}

CanBusWorker::WriteError CanBusWorker::write(const BusFrame *frames, size_t count)
{
    std::lock_guard lock(m_mutex);
    if (!m_session || m_lost)
        return WriteError::NotConnected;
    if (count > m_txCapacity - m_tx.size())
        return WriteError::QueueFull;
    m_tx.insert(m_tx.end(), frames, frames + count);
    m_unsent += count;
    // One wake-up per batch: the worker takes everything that piled up meanwhile.
    if (!m_txWakePending) {
        m_txWakePending = true;
        QMetaObject::invokeMethod(m_session, [s = m_session] { s->drainTx(); },
                                  Qt::QueuedConnection);
    }
    return WriteError::None;
}

bool CanBusWorker::txFull() const
{
    std::lock_guard lock(m_mutex);
    return m_tx.size() >= m_txCapacity;
}

bool CanBusWorker::waitUntilSent(int timeoutMs) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_unsent > 0 && !m_lost) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return m_unsent == 0;
}

CanBusWorker::WriteError CanBusWorker::writeAt(const BusFrame *frames, size_t count,
                                               uint64_t dueNs)
{
    std::lock_guard lock(m_mutex);
    if (!m_session || m_lost)
        return WriteError::NotConnected;
    if (count > m_timedCapacity - m_timed.size())
        return WriteError::QueueFull;
    for (size_t i = 0; i < count; ++i)
        m_timed.push_back({frames[i], dueNs});
    // The worker paces the queue from its head: only a queue that was empty (or flushed)
    // needs it to look again.
    if (!m_timedWakePending && count > 0) {
        m_timedWakePending = true;
        QMetaObject::invokeMethod(m_session, [s = m_session] { s->paceTimed(); },
                                  Qt::QueuedConnection);
    }
    return WriteError::None;
}

size_t CanBusWorker::flushTimed()
{
    std::lock_guard lock(m_mutex);
    const size_t dropped = m_timed.size();
    m_timed.clear();
    // A pacer still waiting for a dropped frame must not hold up the next one queued.
    m_timedWakePending = false;
    return dropped;
}

CanBusWorker::TimedCounts CanBusWorker::timedCounts() const
{
    std::lock_guard lock(m_mutex);
    return {m_timedSent, m_timed.size() + m_timedInFlight};
}
