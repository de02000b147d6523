#pragma once

#include "PlayClock.h"

#include <functional>

struct PlayRunState;
struct RecordFrame;

// The playback clock and every timing decision of a run, in one place: when a frame is
// due, how long a pass may rest, what a pause shifts, where a cycle starts and what a
// skip of a long gap adds. The run's variables (vx_millisecond, the pause offsets, the
// cycle start) live in the run state, which the pacer keeps.
//
// A frame is due when the playing time of the cycle has reached its time less t0, the
// time of the first record the run played:
//   elapsed = vx_millisecond − vx_millisecond_Repeat + skip − Pause_ON_offset_time2.
// The clock is read in waiting passes only; frames that are already due go out back to
// back, and a late run sends its backlog at once rather than skipping frames.
//
// Built on a clock source and a sleep, so tests can run it on a fake clock.
class PlayPacer final
{
public:
    using Sleep = std::function<void(double ms)>;

    // A pass rests at most this long, so the window system still runs 1000 times a second.
    static constexpr double kMaxRestMs = 1.0;
    // The last stretch before a frame is due is spun, never slept: a sleeping thread can
    // wake a millisecond or more late.
    static constexpr double kSpinMarginMs = 3.0;
    // How far ahead frames are handed to a driver that sends at due times.
    static constexpr double kLookAheadMs = 8.0;
    // While such a driver holds the next frames, a pass rests up to half the look-ahead:
    // the window system still runs every few milliseconds, and the run's thread takes a
    // processor a quarter as often as it would at kMaxRestMs, which leaves it to the driver.
    static constexpr double kMaxTimedRestMs = kLookAheadMs / 2;
    // The shortest rest while waiting for such a driver, so a late one is not polled in a
    // spin.
    static constexpr double kMinTimedRestMs = 0.05;

    explicit PlayPacer(PlayRunState &state);
    PlayPacer(PlayRunState &state, PlayClock clock, Sleep sleep);

    // The run starts with t0 as the time of the record that is due at once.
    void start(double t0);
    double t0() const { return m_t0; }
    // Reads the clock into vx_millisecond (and the wrap offset the monitor needs).
    double readClock();
    // A fresh reading that leaves vx_millisecond alone.
    double now() { return m_clock.now(); }

    // Playing time of the cycle at the last reading.
    double elapsedMs() const;
    // The time a record is due at on the run's clock; a record without a real time is
    // due at the last reading.
    double dueMs(const RecordFrame &record) const;
    // Due at the last reading, looking lookAheadMs ahead; never while the run is paused
    // or a pause has been asked for. A time that is not a number is due at once, so a
    // damaged record cannot hold the run.
    bool isDue(const RecordFrame &record, double lookAheadMs = 0) const;

    // A waiting pass: reads the clock, or keeps it standing while paused, or adds the
    // pause that ended. True while the run is paused.
    bool waitingPass();
    // Rests after a waiting pass until the next record is near: up to kMaxRestMs, and
    // never within kSpinMarginMs of its time (the sending itself is spun).
    void restBefore(const RecordFrame *next);
    // Rests until atMs (clamped to kMaxRestMs and to at least kMinTimedRestMs).
    void restUntil(double atMs);
    // Rests until the record is half of lookAheadMs away (up to kMaxTimedRestMs): the pass that
    // follows hands over everything of the next lookAheadMs at once, so a dense schedule
    // costs a pass per batch, not per frame, and the driver is never left with less than
    // half the look-ahead.
    void restBeforeHandOver(const RecordFrame &next, double lookAheadMs);

    // The Pause and Resume buttons, at the moment they are handled: the pause is measured
    // from click to click, whatever the run was doing meanwhile.
    void pauseClicked();
    void resumeClicked();

    // A new cycle starts at atMs, the moment the last frame of the cycle before left: its
    // length is kept (first cycle only), the time line starts again, pauses and skips of
    // the cycle are forgotten.
    void startCycle(double atMs);

    // With the threshold reached, the gap until `next` is skipped, so it is due at once.
    void skipGap(const RecordFrame &next, double thresholdMs);
    double skipOffset() const { return m_skip; }

private:
    void sleepMs(double ms);

    PlayRunState &m_state;
    PlayClock m_clock;
    Sleep m_sleep;
    double m_t0 = 0;
    double m_skip = 0;
    // The clock reading of the Resume click, while the run has not taken it.
    double m_resumeAt = -1;
};
