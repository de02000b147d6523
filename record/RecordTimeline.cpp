#include "RecordTimeline.h"

#include <cmath>

namespace {

// The PC clock counts whole milliseconds in 32 bits and wraps after 49.7 days; a
// difference of two readings is taken in that arithmetic.
double pcDifference(double later, double earlier)
{
    const auto a = uint32_t(int64_t(later));
    const auto b = uint32_t(int64_t(earlier));
    return double(int32_t(a - b));
}

} // namespace

void RecordTimeline::reset(double wrapMs)
{
    m_wrap = wrapMs > 0 ? wrapMs : 60000;
    m_started = false;
    m_previous = -1;
    m_previousPc = 0;
    m_idlePc = 0;
    m_idleSincePrevious = false;
    m_elapsed = 0;
}

double RecordTimeline::advance(double deviceMs, double pcMs)
{
    if (!m_started) {
        m_started = true;
        m_elapsed = 0;
    } else {
        double step = deviceMs >= m_previous ? deviceMs - m_previous
                                             : deviceMs + m_wrap - m_previous;
        step += wholeWraps(step) * m_wrap;
        m_elapsed += step;
    }
    m_previous = deviceMs;
    m_previousPc = pcMs;
    m_idleSincePrevious = false;
    return m_elapsed;
}

// A frame is read some time after it arrived, and after a stall of the window system
// (a file written, a window dragged) many frames are read late at once, so the PC clock
// at reading says little about the gap between two arrivals. What it does bound: the new
// frame was not there yet at the last empty poll, and the previous one had arrived when it
// was read. That lower bound, less a margin for the device's clock running at its own
// pace, decides how many whole periods the gap holds; it can only undercount, never add a
// period that did not pass. Without an empty poll since the previous frame the new one was
// already waiting, and the stamps alone count.
double RecordTimeline::wholeWraps(double step) const
{
    if (!m_idleSincePrevious)
        return 0;
    const double margin = m_wrap / 10;
    const double atLeast = pcDifference(m_idlePc, m_previousPc);
    const double wraps = std::ceil((atLeast - margin - step) / m_wrap);
    return wraps > 0 ? wraps : 0;
}
