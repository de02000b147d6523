#include "DeviceSession.h"

#include "MonotonicClock.h"
#include "QtRuntime.h"
#include "SocketCan.h"
#include "VirtualBusServer.h"

#include <QAbstractSocket>
#include <QVariant>
#include <QCanBus>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

namespace {

// Classic frames only: a CAN FD or error frame, or a payload no classic controller could
// have received, never reaches the queue.
bool toBusFrame(const QCanBusFrame &frame, BusFrame &out)
{
    if (!frame.isValid() || frame.hasFlexibleDataRateFormat())
        return false;
    const auto type = frame.frameType();
    if (type != QCanBusFrame::DataFrame && type != QCanBusFrame::RemoteRequestFrame)
        return false;
    const QByteArray payload = frame.payload();
    if (payload.size() > 8)
        return false;
    out.id = frame.frameId();
    out.flags = (frame.hasExtendedFrameFormat() ? BusFrame::Extended : 0)
                | (type == QCanBusFrame::RemoteRequestFrame ? BusFrame::Remote : 0);
    out.len = uint8_t(payload.size());
    std::memset(out.data, 0, sizeof out.data);
    if (type == QCanBusFrame::DataFrame)
        std::memcpy(out.data, payload.constData(), size_t(payload.size()));
    return true;
}

QCanBusFrame toQtFrame(const BusFrame &frame)
{
    const int len = frame.len > 8 ? 8 : frame.len;
    if (frame.remote()) {
        QCanBusFrame qt(QCanBusFrame::RemoteRequestFrame);
        qt.setFrameId(frame.id);
        qt.setPayload(QByteArray(len, '\0'));
        qt.setExtendedFrameFormat(frame.extended());
        return qt;
    }
    QCanBusFrame qt(frame.id, QByteArray(reinterpret_cast<const char *>(frame.data), len));
    qt.setExtendedFrameFormat(frame.extended());
    return qt;
}

} // namespace

DeviceSession::DeviceSession(CanBusWorker &worker, QEventLoop &loop)
    : m_worker(worker), m_loop(loop)
{
    m_openTimer.setSingleShot(true);
    m_paceTimer.setSingleShot(true);
    m_paceTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_paceTimer, &QTimer::timeout, this, &DeviceSession::paceTimed);
    m_linkTimer.setInterval(50);
    connect(&m_linkTimer, &QTimer::timeout, this, &DeviceSession::checkLink);
    connect(&m_openTimer, &QTimer::timeout, this, [this] {
        endOpen(CanBusWorker::OpenError::Timeout, QStringLiteral("no connection within %1 ms")
                                                      .arg(CanBusWorker::openTimeoutMs));
    });
}

DeviceSession::~DeviceSession()
{
    if (m_device)
        m_device->disconnect(this);
}

void DeviceSession::openDevice(const DeviceSpec &spec, Done done)
{
    m_spec = spec;
    m_done = std::move(done);
    m_opening = true;
    m_closing = false;
    QString error;
    m_device.reset(QCanBus::instance()->createDevice(QString::fromStdString(spec.plugin),
                                                     QString::fromStdString(spec.interface),
                                                     &error));
    if (!m_device)
        return endOpen(CanBusWorker::OpenError::NoPlugin, error);
    QtRuntime::instance().notePluginUsed(spec.plugin);
    if (m_device->error() != QCanBusDevice::NoError)
        return endOpen(CanBusWorker::OpenError::Refused, m_device->errorString());
    m_machineInterface = spec.plugin == socketcan::pluginName;
    m_lastArrivalNs = 0;
    if (m_machineInterface) {
        // The interface's rate is the kernel's business, set before a run starts; error
        // frames report the controller's state.
        // Qt's default rate would be applied to the interface on connecting.
        m_device->setConfigurationParameter(QCanBusDevice::BitRateKey, QVariant());
        m_device->setConfigurationParameter(
            QCanBusDevice::ErrorFilterKey,
            QVariant::fromValue(QCanBusFrame::FrameErrors(QCanBusFrame::AnyError)));
        m_linkTimer.start();
    } else if (spec.bitRate > 0) {
        m_device->setConfigurationParameter(QCanBusDevice::BitRateKey, QVariant(spec.bitRate));
    }
    connect(m_device.get(), &QCanBusDevice::framesReceived, this,
            &DeviceSession::onFramesReceived);
    connect(m_device.get(), &QCanBusDevice::stateChanged, this, &DeviceSession::onStateChanged);
    connect(m_device.get(), &QCanBusDevice::errorOccurred, this, &DeviceSession::onError);
    if (!m_device->connectDevice())
        return endOpen(CanBusWorker::OpenError::Refused, m_device->errorString());
    if (m_device->state() == QCanBusDevice::ConnectedState)
        return endOpen(CanBusWorker::OpenError::None);
    // Some plugins (virtualcan among them) never report a refused connection; they
    // stay in the connecting state, so the time limit is what ends the attempt.
    m_openTimer.start(CanBusWorker::openTimeoutMs);
}

void DeviceSession::reopen(int bitRate, Done done)
{
    drainTx();
    closeDevice();
    retireDevice();
    DeviceSpec spec = m_spec;
    spec.bitRate = bitRate;
    openDevice(spec, std::move(done));
}

void DeviceSession::endOpen(CanBusWorker::OpenError error, const QString &text)
{
    if (!m_opening)
        return;
    m_opening = false;
    m_openTimer.stop();
    if (error != CanBusWorker::OpenError::None) {
        m_worker.setError(text.toStdString());
        retireDevice();
    } else {
        if (m_machineInterface)
            prepareSocket();
        VirtualBusServer::sendLinesAtOnce(m_device.get());
        m_sockets = m_device->findChildren<QAbstractSocket *>();
    }
    if (m_done)
        std::exchange(m_done, nullptr)(error);
}

void DeviceSession::onFramesReceived()
{
    if (!m_device)
        return;
    const uint64_t now = monotonicNs();
    timespec real{};
    clock_gettime(CLOCK_REALTIME, &real);
    const uint64_t realNow = uint64_t(real.tv_sec) * 1000000000u + uint64_t(real.tv_nsec);
    const QList<QCanBusFrame> frames = m_device->readAllFrames();
    if (!m_worker.receiving())
        return;
    m_batch.clear();
    for (const QCanBusFrame &frame : frames) {
        if (frame.frameType() == QCanBusFrame::ErrorFrame) {
            const QByteArray payload = frame.payload();
            m_worker.noteErrorFrame(uint32_t(frame.error()),
                                    reinterpret_cast<const uint8_t *>(payload.constData()),
                                    size_t(payload.size()));
            continue;
        }
        BusFrame out;
        if (!toBusFrame(frame, out))
            continue;
        out.arrivalNs = arrivalOf(frame, now, realNow);
        if (m_worker.m_filter && !m_worker.m_filter(out))
            continue;
        m_batch.push_back(out);
    }
    if (!m_batch.empty())
        m_worker.m_rx.push(m_batch.data(), m_batch.size());
}

uint64_t DeviceSession::arrivalOf(const QCanBusFrame &frame, uint64_t now, uint64_t realNow)
{
    if (!m_machineInterface)
        return now;
    // The kernel stamps each frame on arrival, on the wall clock; moved onto the monotonic
    // clock by its age, and never older than the frame before nor newer than now.
    const QCanBusFrame::TimeStamp stamp = frame.timeStamp();
    const uint64_t stampNs = uint64_t(stamp.seconds()) * 1000000000u
                             + uint64_t(stamp.microSeconds()) * 1000u;
    uint64_t arrival = now;
    if (stamp.seconds() > 0 && stampNs <= realNow && realNow - stampNs < now)
        arrival = now - (realNow - stampNs);
    arrival = std::clamp(arrival, std::min(m_lastArrivalNs, now), now);
    m_lastArrivalNs = arrival;
    return arrival;
}

void DeviceSession::prepareSocket()
{
    // The kernel drops what does not fit into the socket's buffer, without a word to the
    // reader; the default holds a few hundred frames, a fraction of a second of a busy bus
    // while the machine is busy elsewhere. Room for some 40,000 frames instead.
    constexpr int bytes = 32 * 1024 * 1024;
    for (const QSocketNotifier *notifier : m_device->findChildren<QSocketNotifier *>()) {
        const int fd = int(notifier->socket());
        if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0)
            setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
        // The kernel keeps a socket's receive stamps from the first time they are asked
        // for; asked now, the first frame of the run gets its own instead of the moment
        // it was read.
        timeval stamp{};
        ioctl(fd, SIOCGSTAMP, &stamp);

    }
}

void DeviceSession::checkLink()
{
    if (!m_device || m_opening || m_closing || m_worker.m_lost || !m_worker.watchingLink())
        return;
    const socketcan::LinkState state = socketcan::linkState(m_spec.interface, false);
    if (state.exists && state.up)
        return;
    m_worker.setProblem(socketcan::lostText(m_spec.interface, state));
    markLost(QString::fromStdString(state.exists ? "interface down" : "interface removed"));
    // The socket of a vanished interface would report errors on and on.
    for (QSocketNotifier *notifier : m_device->findChildren<QSocketNotifier *>())
        notifier->setEnabled(false);
    m_closing = true;
    m_device->disconnectDevice();
}

void DeviceSession::onStateChanged(QCanBusDevice::CanBusDeviceState state)
{
    if (m_opening) {
        if (state == QCanBusDevice::ConnectedState)
            endOpen(CanBusWorker::OpenError::None);
        else if (state == QCanBusDevice::UnconnectedState)
            endOpen(CanBusWorker::OpenError::Refused, m_device->errorString());
        return;
    }
    if (state == QCanBusDevice::UnconnectedState && !m_closing)
        markLost(QStringLiteral("the device disconnected"));
}

void DeviceSession::onError(QCanBusDevice::CanBusError error)
{
    // Read, write and configuration errors are passing troubles of a live device; only a
    // broken connection ends it.
    if (error != QCanBusDevice::ConnectionError)
        return;
    if (m_opening)
        return endOpen(CanBusWorker::OpenError::Refused, m_device->errorString());
    if (!m_closing)
        markLost(m_device->errorString());
}

void DeviceSession::markLost(const QString &why)
{
    m_worker.setError(why.toStdString());
    m_worker.m_lost = true;
    std::lock_guard lock(m_worker.m_mutex);
    m_worker.m_unsent -= m_worker.m_tx.size();
    m_worker.m_tx.clear();
    m_worker.m_timed.clear();
}

void DeviceSession::drainTx()
{
    std::vector<BusFrame> batch;
    {
        std::lock_guard lock(m_worker.m_mutex);
        batch.swap(m_worker.m_tx);
        m_worker.m_txWakePending = false;
    }
    const bool live = m_device && m_device->state() == QCanBusDevice::ConnectedState;
    for (const BusFrame &frame : batch) {
        if (live)
            m_device->writeFrame(toQtFrame(frame));
    }
    m_worker.m_unsent -= batch.size();
}

size_t DeviceSession::writeNow(const BusFrame *frames, size_t count)
{
    if (!m_device || m_device->state() != QCanBusDevice::ConnectedState)
        return 0;
    size_t written = 0;
    for (size_t i = 0; i < count; ++i) {
        const QCanBusFrame frame = toQtFrame(frames[i]);
        if (m_device->writeFrame(frame)) {
            ++written;
            continue;
        }
        // A kernel transmit queue that is full (ENOBUFS) empties at the bus's pace: try the
        // frame again shortly instead of dropping it. A device that still refuses after
        // kWriteRetryNs takes none of the rest of this batch either.
        const uint64_t giveUp = monotonicNs() + kWriteRetryNs;
        bool taken = false;
        while (!taken && m_device->state() == QCanBusDevice::ConnectedState
               && monotonicNs() < giveUp) {
            const timespec pause{0, long(kWriteRetryPauseNs)};
            nanosleep(&pause, nullptr);
            taken = m_device->writeFrame(frame);
        }
        if (!taken)
            break;
        ++written;
    }
    // A socket would otherwise send the line only when the event loop next looks at it.
    for (QAbstractSocket *socket : std::as_const(m_sockets))
        socket->flush();
    return written;
}

namespace {

void sleepUntil(uint64_t ns)
{
    const timespec at{time_t(ns / 1000000000u), long(ns % 1000000000u)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
}

} // namespace

void DeviceSession::paceTimed()
{
    const uint64_t turnEnd = monotonicNs() + kPaceTurnNs;
    BusFrame batch[64];
    for (;;) {
        uint64_t due = 0;
        {
            std::lock_guard lock(m_worker.m_mutex);
            if (m_worker.m_timed.empty()) {
                m_worker.m_timedWakePending = false;
                return;
            }
            due = m_worker.m_timed.front().dueNs;
        }
        uint64_t now = monotonicNs();
        if (due > now + kPaceAheadNs) {
            const uint64_t wakeNs = due - now - kPaceAheadNs / 2;
            m_paceTimer.start(int(std::min<uint64_t>(wakeNs / 1000000u, 60000)));
            return;
        }
        if (now >= turnEnd) {
            // Received frames, untimed writes and a close wait for the event loop.
            QMetaObject::invokeMethod(this, &DeviceSession::paceTimed, Qt::QueuedConnection);
            return;
        }
        if (due > now + kSpinNs)
            sleepUntil(due - kSpinNs);
        while ((now = monotonicNs()) < due) {
        }
        size_t n = 0;
        {
            // Everything due by now leaves in one go, in the order it was handed over.
            std::lock_guard lock(m_worker.m_mutex);
            auto &timed = m_worker.m_timed;
            while (n < std::size(batch) && !timed.empty() && timed.front().dueNs <= now) {
                batch[n++] = timed.front().frame;
                timed.pop_front();
            }
            // Still waiting until written: a frame counts as sent only once the device
            // took it, so one lost with the device is neither sent nor waiting.
            m_worker.m_timedInFlight = n;
        }
        const size_t written = writeNow(batch, n);
        std::lock_guard lock(m_worker.m_mutex);
        m_worker.m_timedSent += written;
        m_worker.m_timedInFlight = 0;
    }
}

bool DeviceSession::waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    tick.start(2);
    while (!done()) {
        if (clock.elapsed() >= timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void DeviceSession::closeDevice()
{
    if (!m_device || m_worker.m_lost || m_device->state() != QCanBusDevice::ConnectedState)
        return;
    // Frames written just before close should still reach the bus: give the device and
    // its socket, if it has one, a moment to empty their buffers.
    const auto sockets = m_device->findChildren<QAbstractSocket *>();
    waitFor(
        [&] {
            if (m_device->framesToWrite() > 0)
                return false;
            for (QAbstractSocket *socket : sockets) {
                if (socket->state() == QAbstractSocket::ConnectedState
                    && socket->bytesToWrite() > 0)
                    return false;
            }
            return true;
        },
        500);
    m_closing = true;
    m_device->disconnectDevice();
    waitFor([&] { return m_device->state() == QCanBusDevice::UnconnectedState; }, 250);
}

void DeviceSession::retireDevice()
{
    m_linkTimer.stop();
    m_sockets.clear();
    if (!m_device)
        return;
    m_device->disconnect(this);
    m_device.release()->deleteLater();
}

void DeviceSession::finish()
{
    {
        // Timed frames whose time has not come stay unsent when the handle closes.
        std::lock_guard lock(m_worker.m_mutex);
        m_worker.m_timed.clear();
    }
    m_paceTimer.stop();
    drainTx();
    closeDevice();
    retireDevice();
    m_loop.quit();
}
