#include "PlayPacer.h"

#include "PlayRunState.h"
#include "RecordFrame.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

namespace {

void sleepFor(double ms)
{
    std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(ms));
}

} // namespace

PlayPacer::PlayPacer(PlayRunState &state) : PlayPacer(state, PlayClock(), &sleepFor) {}

PlayPacer::PlayPacer(PlayRunState &state, PlayClock clock, Sleep sleep)
    : m_state(state), m_clock(std::move(clock)), m_sleep(std::move(sleep))
{
}

void PlayPacer::start(double t0)
{
    m_t0 = t0;
    m_skip = 0;
    m_resumeAt = -1;
    m_clock.restart();
    readClock();
    m_state.vx_start_time = m_state.vx_millisecond;
    m_state.vx_millisecond_Repeat = m_state.vx_millisecond;
}

double PlayPacer::readClock()
{
    m_state.vx_millisecond = m_clock.now();
    m_state.interfaceCAN_offset_time = m_clock.wrapOffset();
    return m_state.vx_millisecond;
}

double PlayPacer::elapsedMs() const
{
    return m_state.vx_millisecond - m_state.vx_millisecond_Repeat + m_skip
           - m_state.Pause_ON_offset_time2;
}

double PlayPacer::dueMs(const RecordFrame &record) const
{
    const double target = record.time - m_t0;
    if (!std::isfinite(target))
        return m_state.vx_millisecond;
    return m_state.vx_millisecond_Repeat - m_skip + m_state.Pause_ON_offset_time2 + target;
}

bool PlayPacer::isDue(const RecordFrame &record, double lookAheadMs) const
{
    if (m_state.Pause_ON_Flag != 0)
        return false;
    const double target = record.time - m_t0;
    if (!std::isfinite(target))
        return true;
    return target <= elapsedMs() + lookAheadMs;
}

bool PlayPacer::waitingPass()
{
    switch (m_state.Pause_ON_Flag) {
    case 1:
        // Paused: the clock is not read, so the playing time stands still. A pause set
        // without its click (by a script) began at the last reading.
        if (m_state.Pause_ON_starttime < m_state.vx_millisecond)
            m_state.Pause_ON_starttime = m_state.vx_millisecond;
        return true;
    case 2: {
        // A pause that began and ended within one turn of the window system was never
        // seen by a paused pass: it began at the last reading, not at an older pause.
        if (m_state.Pause_ON_starttime < m_state.vx_millisecond)
            m_state.Pause_ON_starttime = m_state.vx_millisecond;
        m_state.Pause_ON_Flag = 0;
        const double now = readClock();
        const double end = m_resumeAt >= m_state.Pause_ON_starttime ? m_resumeAt : now;
        m_resumeAt = -1;
        const double paused = std::max(0.0, end - m_state.Pause_ON_starttime);
        m_state.Pause_ON_offset_time += paused;
        m_state.Pause_ON_offset_time2 += paused;
        return false;
    }
    default:
        readClock();
        return false;
    }
}

void PlayPacer::pauseClicked()
{
    m_state.Pause_ON_starttime = m_clock.now();
    m_resumeAt = -1;
}

void PlayPacer::resumeClicked()
{
    m_resumeAt = m_clock.now();
}

void PlayPacer::sleepMs(double ms)
{
    if (ms > 0)
        m_sleep(ms);
}

void PlayPacer::restBefore(const RecordFrame *next)
{
    double restMs = kMaxRestMs;
    if (next && m_state.Pause_ON_Flag == 0) {
        const double target = next->time - m_t0;
        if (!std::isfinite(target))
            return;
        // The window system may have run for a while: measure again.
        const double elapsed = now() - m_state.vx_millisecond_Repeat + m_skip
                               - m_state.Pause_ON_offset_time2;
        restMs = std::min(target - elapsed - kSpinMarginMs, kMaxRestMs);
    }
    sleepMs(restMs);
}

void PlayPacer::restUntil(double atMs)
{
    if (m_state.Pause_ON_Flag != 0)
        return sleepMs(kMaxRestMs);
    sleepMs(std::clamp(atMs - now(), kMinTimedRestMs, kMaxRestMs));
}

void PlayPacer::restBeforeHandOver(const RecordFrame &next, double lookAheadMs)
{
    if (m_state.Pause_ON_Flag != 0)
        return sleepMs(kMaxRestMs);
    const double target = next.time - m_t0;
    if (!std::isfinite(target))
        return;
    const double elapsed =
        now() - m_state.vx_millisecond_Repeat + m_skip - m_state.Pause_ON_offset_time2;
    sleepMs(std::min(target - lookAheadMs / 2 - elapsed, kMaxTimedRestMs));
}

void PlayPacer::startCycle(double atMs)
{
    readClock();
    // The cycle begins when its predecessor's last frame left, never later than now.
    const double start = std::min(atMs, m_state.vx_millisecond);
    if (m_state.vx_millisecond_Repeat_MAX == 0)
        m_state.vx_millisecond_Repeat_MAX =
            start - m_state.vx_start_time - m_state.Pause_ON_offset_time2;
    m_state.vx_millisecond_Repeat = start;
    m_state.Pause_ON_offset_time2 = 0;
    m_skip = 0;
}

void PlayPacer::skipGap(const RecordFrame &next, double thresholdMs)
{
    const double gap = (next.time - m_t0) - elapsedMs();
    // A frame that is already due needs no skip; with a threshold of 0 or less a negative
    // gap would otherwise hold the time line back.
    if (!std::isfinite(gap) || gap <= 0)
        return;
    if (gap >= thresholdMs)
        m_skip += gap;
}
