#include "FrameQueue.h"

#include <algorithm>

FrameQueue::FrameQueue(size_t capacity) : m_ring(std::max<size_t>(capacity, 1)) {}

size_t FrameQueue::push(const BusFrame *frames, size_t count)
{
    std::lock_guard lock(m_mutex);
    const size_t fits = std::min(count, m_ring.size() - m_size);
    for (size_t i = 0; i < fits; ++i)
        at(m_size + i) = frames[i];
    m_size += fits;
    m_dropped += count - fits;
    return count - fits;
}

bool FrameQueue::pop(BusFrame &frame)
{
    return popExactly(&frame, 1);
}

bool FrameQueue::popExactly(BusFrame *frames, size_t count)
{
    std::lock_guard lock(m_mutex);
    if (count == 0 || m_size < count)
        return false;
    for (size_t i = 0; i < count; ++i)
        frames[i] = at(i);
    m_head = (m_head + count) % m_ring.size();
    m_size -= count;
    return true;
}

bool FrameQueue::takeFirst(const std::function<bool(const BusFrame &)> &match, BusFrame &frame)
{
    std::lock_guard lock(m_mutex);
    for (size_t i = 0; i < m_size; ++i) {
        if (!match(at(i)))
            continue;
        frame = at(i);
        // Close the gap from the front: the frames before it are fewer than the whole
        // queue on average, and the order of everything else stays as it arrived.
        for (size_t j = i; j > 0; --j)
            at(j) = at(j - 1);
        m_head = (m_head + 1) % m_ring.size();
        --m_size;
        return true;
    }
    return false;
}

void FrameQueue::clear()
{
    std::lock_guard lock(m_mutex);
    m_head = 0;
    m_size = 0;
}

size_t FrameQueue::size() const
{
    std::lock_guard lock(m_mutex);
    return m_size;
}

uint64_t FrameQueue::dropped() const
{
    std::lock_guard lock(m_mutex);
    return m_dropped;
}

void FrameQueue::resetDropped()
{
    std::lock_guard lock(m_mutex);
    m_dropped = 0;
}
