#pragma once

#include "RecordFrame.h"

#include <cstdint>
#include <functional>
#include <optional>

class ELM327_Info;
class PlayPacer;
class RunHost;
struct PlayRunState;
struct PlayTarget;

// What a frame source works with during a run.
struct PlayContext
{
    RunHost &host;
    ELM327_Info &params;
    PlayRunState &state;
    const PlayTarget &target;
    PlayPacer &pacer;
    // One pass of the run with nothing to send: the clock, the window system, a rest.
    std::function<void()> waitingPass;
};

// The next frame of a run, as a value, with its place in the source's data.
struct PlayFrame
{
    RecordFrame record;
    int32_t index = 0;
};

// Where the frames of a run come from: a file or a folder through two buffers, the same
// with exclusion and skip-time, or a folder loaded into memory. A source says what the next
// frame is, moves past it, and decides what follows the end of its data: the next file, a
// new cycle (through the pacer) or the end of the run (RxFlag 0).
class FrameSource
{
public:
    virtual ~FrameSource() = default;

    // Loads what the run starts with; the device is open. False: nothing to play.
    virtual bool load(PlayContext &ctx) = 0;
    // The time line's origin: the time of the first record of the first data loaded.
    virtual double t0() const = 0;
    // The frame at the read position, or none at the end of the data at hand.
    virtual std::optional<PlayFrame> current() const = 0;
    // Past the frame at the read position (and what the source leaves out after it).
    virtual void advance(PlayContext &ctx) = 0;
    // Back to a frame of the data at hand that was handed over and never left.
    virtual void rewind(int32_t index) = 0;
    virtual int32_t position() const = 0;
    // At the end of the data at hand, every frame of it gone; lastLeftMs is when the last
    // one left, where a new cycle begins.
    virtual void endOfData(PlayContext &ctx, double lastLeftMs) = 0;
};
