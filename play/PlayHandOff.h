#pragma once

#include "PlayDevice.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

// The frames a run has handed to a driver that sends at due times, from the hand-off until
// the driver reports them sent. The driver counts what it has sent; frames leave in the
// order they were handed, so the first `sent` of them have left and the rest still wait.
class PlayHandOff final
{
public:
    // At most this many frames wait in the driver; Pause and Disconnect take them back.
    // Enough for the look-ahead of a full bus of short frames, so a busy schedule is
    // handed over in batches rather than a frame per pass.
    static constexpr size_t kMaxFrames = 256;

    struct Frame
    {
        int32_t index = 0;     // the frame's place in what the run plays
        PlayMessage message;
        double dueMs = 0;      // on the run's clock
        uint32_t seq = 0;
    };

    // A run starts; the driver has sent `driverSent` timed frames so far.
    void restart(uint32_t driverSent);

    bool empty() const { return m_frames.empty(); }
    size_t size() const { return m_frames.size(); }
    bool hasRoom() const { return m_frames.size() < kMaxFrames; }
    const Frame &front() const { return m_frames.front(); }
    const Frame &at(size_t i) const { return m_frames[i]; }
    // The due time of the frame handed last (never less than any before it).
    double lastDueMs() const { return m_lastDueMs; }

    void add(int32_t index, const PlayMessage &message, double dueMs);
    // The oldest waiting frame if the driver has sent it: removed and returned.
    std::optional<Frame> takeSent(uint32_t driverSent);
    // After the driver dropped what it had not sent: the first frame that never left, which
    // is where the run goes on; every frame is forgotten.
    std::optional<Frame> takeFirstUnsent(uint32_t driverSent);

private:
    uint32_t sentSinceStart(uint32_t driverSent) const { return driverSent - m_base; }

    std::deque<Frame> m_frames;
    uint32_t m_base = 0;
    uint32_t m_next = 0;
    double m_lastDueMs = 0;
};
