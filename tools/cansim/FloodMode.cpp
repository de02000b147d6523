#include "FloodMode.h"

#include "BusLink.h"
#include "FrameText.h"
#include "MonotonicClock.h"

#include <algorithm>
#include <cmath>

namespace {
// A cap per timer tick keeps the event loop turning (signals, the duration timer) even
// when the sender has fallen far behind its schedule.
constexpr int64_t kMaxBatch = 2000;
} // namespace

FloodMode::FloodMode(BusLink &bus, int64_t count, double rate, QList<uint32_t> ids,
                     QObject *parent)
    : SimMode(bus, parent), m_count(count), m_rate(rate), m_ids(std::move(ids))
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &FloodMode::pump);
}

QByteArray FloodMode::payload(uint32_t sequence)
{
    QByteArray data(8, '\0');
    const uint32_t inverse = ~sequence;
    for (int i = 0; i < 4; ++i) {
        data[i] = char((sequence >> (8 * i)) & 0xFF);
        data[4 + i] = char((inverse >> (8 * i)) & 0xFF);
    }
    return data;
}

bool FloodMode::start(QString *)
{
    m_startMs = monotonicMs();
    m_timer.start(m_rate > 0 ? 1 : 0);
    pump();
    return true;
}

void FloodMode::stop()
{
    m_timer.stop();
    if (m_endMs == 0)
        m_endMs = monotonicMs();
}

void FloodMode::pump()
{
    if (m_sent >= m_count)
        return;
    int64_t due = m_count;
    if (m_rate > 0) {
        // Frame k is due k / rate seconds after the start: pacing follows the clock, so a
        // late tick is made up by a batch instead of drifting.
        const double elapsed = monotonicMs() - m_startMs;
        due = std::min<int64_t>(m_count, int64_t(std::floor(elapsed * m_rate / 1000.0)) + 1);
    }
    due = std::min(due, m_sent + kMaxBatch);
    while (m_sent < due) {
        const uint32_t id = m_ids.at(int(m_sent % m_ids.size()));
        if (!m_bus.send(frametext::makeFrame(id, payload(uint32_t(m_sent))))) {
            ++m_retries; // the device's queue is full: the same frame again next tick
            break;
        }
        ++m_sent;
    }
    if (m_sent >= m_count) {
        m_endMs = monotonicMs();
        m_timer.stop();
        emit finished();
    }
}

QString FloodMode::summary() const
{
    const double ms = std::max(0.001, (m_endMs > 0 ? m_endMs : monotonicMs()) - m_startMs);
    return QStringLiteral("flood: sent %1 of %2 frames in %3 ms (%4 frames/s), %5 retries")
        .arg(m_sent)
        .arg(m_count)
        .arg(ms, 0, 'f', 1)
        .arg(double(m_sent) * 1000.0 / ms, 0, 'f', 0)
        .arg(m_retries);
}
