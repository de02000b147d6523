#include "TrafficMode.h"

#include "BusLink.h"
#include "FrameText.h"
#include "MonotonicClock.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

struct Planned
{
    uint32_t id;
    int cycleMs;
    bool jumps;
};

// Roughly what a powertrain and body bus carries: fast engine and chassis messages, slower
// body and status messages, diagnostics-range identifiers at 1 s.
constexpr Planned kPlan[] = {
    {0x0C0, 10, false},  {0x0D0, 10, false},  {0x130, 10, false},  {0x140, 20, false},
    {0x150, 20, false},  {0x1A0, 20, false},  {0x1B0, 20, false},  {0x200, 50, false},
    {0x210, 50, false},  {0x228, 50, false},  {0x260, 50, false},  {0x280, 50, false},
    {0x2C0, 100, false}, {0x320, 100, false}, {0x348, 100, false}, {0x3A0, 100, false},
    {0x3E0, 100, true},  {0x420, 100, false}, {0x4B0, 100, false}, {0x5F0, 100, false},
    {0x500, 200, false}, {0x520, 200, false}, {0x580, 200, false}, {0x600, 500, false},
    {0x610, 500, false}, {0x6A0, 500, true},  {0x700, 1000, false}, {0x720, 1000, false},
    {0x7A0, 1000, false}, {0x7E8, 1000, false},
};

// A late frame comes about once in this many cycles, three to five cycles late.
constexpr uint32_t kJumpOdds = 40;

} // namespace

TrafficMode::TrafficMode(BusLink &bus, uint32_t seed, QObject *parent)
    : SimMode(bus, parent)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &TrafficMode::sendDue);
    for (const Planned &p : kPlan) {
        std::mt19937 timing((seed ^ 0x5bd1e995u) + p.id * 2246822519u);
        // Each identifier starts at its own phase, as ECUs that were powered up apart do.
        const double phase = double(timing() % uint32_t(p.cycleMs));
        m_slots.push_back({EcuMessage(p.id, p.cycleMs, seed), phase, p.jumps, timing, {}});
    }
}

bool TrafficMode::isSilentAt(double elapsedMs)
{
    const double inPeriod = std::fmod(elapsedMs, kSilentPeriodMs);
    return inPeriod >= kSilentFromMs && inPeriod < kSilentUntilMs;
}

bool TrafficMode::start(QString *)
{
    m_startMs = monotonicMs();
    sendDue();
    return true;
}

void TrafficMode::sendDue()
{
    const double now = monotonicMs() - m_startMs;
    double next = std::numeric_limits<double>::max();
    for (Slot &s : m_slots) {
        while (s.dueMs <= now) {
            const bool quiet = s.message.id() == kSilentId && isSilentAt(s.dueMs);
            if (!quiet) {
                if (s.pending.isEmpty())
                    s.pending = s.message.nextPayload();
                if (!m_bus.send(frametext::makeFrame(s.message.id(), s.pending)))
                    break; // a full queue: this frame goes at the next tick
                s.pending.clear();
                ++m_sent;
            }
            const double cycle = s.message.cycleMs();
            s.dueMs += cycle;
            if (s.jumps && s.timing() % kJumpOdds == 0) {
                s.dueMs += cycle * double(2 + s.timing() % 3);
                ++m_jumps;
            }
            // After a stall (a suspended process) resume the rhythm instead of a burst.
            if (s.dueMs < now - cycle)
                s.dueMs = now + cycle;
        }
        next = std::min(next, s.dueMs);
    }
    const double wait = next - (monotonicMs() - m_startMs);
    m_timer.start(std::max(0, int(std::ceil(wait))));
}

void TrafficMode::stop()
{
    m_timer.stop();
}

QString TrafficMode::summary() const
{
    return QStringLiteral("traffic: sent %1 frames on %2 identifiers, %3 late frames")
        .arg(m_sent)
        .arg(m_slots.size())
        .arg(m_jumps);
}
