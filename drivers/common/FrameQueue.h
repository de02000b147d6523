#pragma once

#include "BusFrame.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

// A bounded FIFO of received frames, as a board's receive buffer: when it is full the
// newest frames are dropped and counted, the waiting ones are kept in order. One thread
// fills it, any thread may take from it.
class FrameQueue final
{
public:
    explicit FrameQueue(size_t capacity);

    // Appends as many as fit; returns how many were dropped.
    size_t push(const BusFrame *frames, size_t count);
    bool pop(BusFrame &frame);
    // Takes exactly count frames or none.
    bool popExactly(BusFrame *frames, size_t count);
    // Takes the oldest frame that satisfies match, keeping the order of the rest.
    bool takeFirst(const std::function<bool(const BusFrame &)> &match, BusFrame &frame);
    void clear();

    size_t size() const;
    size_t capacity() const { return m_ring.size(); }
    uint64_t dropped() const;
    void resetDropped();

private:
    BusFrame &at(size_t index) { return m_ring[(m_head + index) % m_ring.size()]; }

    mutable std::mutex m_mutex;
    std::vector<BusFrame> m_ring;
    size_t m_head = 0;
    size_t m_size = 0;
    uint64_t m_dropped = 0;
};
