#include "ListenMode.h"

#include "BusLink.h"
#include "FrameText.h"
#include "MonotonicClock.h"

namespace {
constexpr int kFlushIntervalMs = 100;
constexpr int kFlushBytes = 64 * 1024;
} // namespace

ListenMode::ListenMode(BusLink &bus, QString logFile, int64_t count, QObject *parent)
    : SimMode(bus, parent), m_file(logFile), m_count(count)
{
    connect(&m_flushTimer, &QTimer::timeout, this, &ListenMode::flush);
}

bool ListenMode::prepare(QString *error)
{
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("cannot write %1: %2").arg(m_file.fileName(), m_file.errorString());
        return false;
    }
    return true;
}

bool ListenMode::start(QString *)
{
    // Frames that came between joining and now are stale: the log starts with the mode.
    m_bus.takeFrames();
    connect(&m_bus, &BusLink::framesArrived, this, &ListenMode::take);
    m_flushTimer.start(kFlushIntervalMs);
    return true;
}

void ListenMode::take()
{
    if (m_done)
        return;
    const double now = monotonicMs();
    const QList<QCanBusFrame> frames = m_bus.takeFrames();
    for (const QCanBusFrame &frame : frames) {
        if (frame.frameType() == QCanBusFrame::ErrorFrame
            || frame.frameType() == QCanBusFrame::InvalidFrame)
            continue;
        m_pending += frametext::logLine(now, frame);
        ++m_received;
        if (m_count > 0 && m_received >= m_count) {
            m_done = true;
            flush();
            emit finished();
            return;
        }
    }
    if (m_pending.size() >= kFlushBytes)
        flush();
}

void ListenMode::flush()
{
    if (!m_file.isOpen())
        return;
    if (!m_pending.isEmpty()) {
        m_file.write(m_pending);
        m_pending.clear();
    }
    m_file.flush();
}

void ListenMode::stop()
{
    take(); // what is already in the device's queue belongs to the run
    m_done = true;
    m_flushTimer.stop();
    flush();
    m_file.close();
}

QString ListenMode::summary() const
{
    return QStringLiteral("listen: logged %1 frames to %2").arg(m_received).arg(m_file.fileName());
}
