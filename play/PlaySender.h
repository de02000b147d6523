#pragma once

#include "PlayHandOff.h"

#include <cstdint>
#include <functional>
#include <optional>

class PlayDevice;
class PlayPacer;
struct PlayMessage;

// The stage between a run and its device: sends the device's message at once, or, when
// the driver sends at due times, hands it over a few milliseconds ahead and keeps what the
// driver holds until it has left. Which of the two is chosen once, when the run starts
// sending. Every frame that leaves is reported through onLeft, with the time it left on the
// run's clock; frames the driver would not take are counted, never reported as sent; a
// device that has gone, or a driver that dropped what it held, is reported as lost.
class PlaySender final
{
public:
    enum class Result {
        Done,      // sent, handed over, or refused by the driver (counted)
        Busy,      // the driver's queue is full: try the same frame again later
        Lost,      // the device has dropped out
        Untimed,   // the driver cannot send at due times after all: the run sends itself
    };

    using LeftFn = std::function<void(const PlayMessage &message, double atMs)>;

    PlaySender(PlayDevice &device, PlayPacer &pacer);

    // The run starts sending: chooses how, and forgets what an earlier run left.
    void begin();
    bool timed() const { return m_timed; }
    // How far ahead of its time a frame is put out.
    double lookAheadMs() const;
    // Whether the stage can take another frame now.
    bool hasRoom() const { return !m_timed || m_handOff.hasRoom(); }
    // Nothing handed over is still waiting in the driver.
    bool settled() const { return m_handOff.empty(); }
    // The place of the oldest frame that has not left, while one waits.
    std::optional<int32_t> firstWaiting() const;
    double lastHandedDueMs() const { return m_handOff.lastDueMs(); }
    // While the hand-off is full: when a quarter of it will have left, room for a batch.
    double refillDueMs() const { return m_handOff.at(m_handOff.size() / 4).dueMs; }

    // Puts out the device's message, filled from the frame at `index`, due at dueMs.
    Result put(int32_t index, double dueMs);
    // Takes in what the driver has sent since the last look. False when frames were
    // neither sent nor still waiting: the driver dropped them with the device.
    bool collect();
    // Pause: drops what has not left and says where the run goes on.
    std::optional<int32_t> takeBack();
    // The end of the run: what has left is reported, the rest dropped.
    void end();

    // When the last frame left (or, with none yet, -infinity).
    double lastLeftMs() const { return m_lastLeftMs; }
    int64_t refused() const { return m_refused; }

    LeftFn onLeft;

private:
    void left(const PlayMessage &message, double atMs);
    // The due time as the driver takes it: microseconds on CLOCK_MONOTONIC.
    uint64_t driverDueUs(double atMs);

    PlayDevice &m_device;
    PlayPacer &m_pacer;
    bool m_timed = false;
    PlayHandOff m_handOff;
    double m_lastLeftMs = 0;
    int64_t m_refused = 0;
};
