#include "PlayHandOff.h"

#include <algorithm>
#include <limits>

void PlayHandOff::restart(uint32_t driverSent)
{
    m_frames.clear();
    m_base = driverSent;
    m_next = 0;
    m_lastDueMs = -std::numeric_limits<double>::infinity();
}

void PlayHandOff::add(int32_t index, const PlayMessage &message, double dueMs)
{
    m_lastDueMs = std::max(m_lastDueMs, dueMs);
    m_frames.push_back({index, message, m_lastDueMs, m_next++});
}

std::optional<PlayHandOff::Frame> PlayHandOff::takeSent(uint32_t driverSent)
{
    // Sequence numbers count on with the driver's counter, so the comparison holds across
    // its wrap.
    if (m_frames.empty() || int32_t(m_frames.front().seq - sentSinceStart(driverSent)) >= 0)
        return std::nullopt;
    Frame f = m_frames.front();
    m_frames.pop_front();
    return f;
}

std::optional<PlayHandOff::Frame> PlayHandOff::takeFirstUnsent(uint32_t driverSent)
{
    std::optional<Frame> first;
    if (!m_frames.empty())
        first = m_frames.front();
    m_frames.clear();
    m_next = sentSinceStart(driverSent);
    m_lastDueMs = -std::numeric_limits<double>::infinity();
    return first;
}
