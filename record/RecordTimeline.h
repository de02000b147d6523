#pragma once

#include <cstdint>

// The elapsed time of a recording run, built from the device's time stamps, which start
// again at 0 every wrap period. Between two frames the stamps give the gap only modulo the
// period; the PC's millisecond clock adds the whole periods a long silence spans, so that
// times after a pause longer than the period stay right. A gap shorter than the period is
// taken from the stamps alone.
class RecordTimeline final
{
public:
    explicit RecordTimeline(double wrapMs = 60000) { reset(wrapMs); }

    // A new run; the next frame is its first and gets elapsed time 0.
    void reset(double wrapMs);

    // The PC clock just after a poll that found nothing waiting: no frame that arrives
    // later can have arrived before this reading.
    void noteIdle(double pcMs)
    {
        m_idlePc = pcMs;
        m_idleSincePrevious = true;
    }

    // The elapsed time of a frame with the device time deviceMs that was taken in at pcMs.
    double advance(double deviceMs, double pcMs);

    double elapsed() const { return m_elapsed; }
    double wrapMs() const { return m_wrap; }

private:
    double wholeWraps(double step) const;

    double m_wrap = 60000;
    bool m_started = false;
    double m_previous = -1;
    double m_previousPc = 0;
    double m_idlePc = 0;
    bool m_idleSincePrevious = false;
    double m_elapsed = 0;
};
