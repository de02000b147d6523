#include "PlaySender.h"

#include "PlayDevice.h"
#include "PlayPacer.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <thread>

namespace {

// Up to 50 ms for a write in progress when the driver's queue is dropped.
constexpr int kInFlightPolls = 1000;

// Half the look-ahead: the frames of the first pass are due that much after it.
constexpr double kDriverLeadMs = PlayPacer::kLookAheadMs / 2;

} // namespace

PlaySender::PlaySender(PlayDevice &device, PlayPacer &pacer) : m_device(device), m_pacer(pacer) {}

void PlaySender::begin()
{
    m_timed = m_device.canSendTimed();
    m_refused = 0;
    m_lastLeftMs = -std::numeric_limits<double>::infinity();
    m_handOff.restart(m_timed ? m_device.timedStatus().sent : 0);
}

double PlaySender::lookAheadMs() const
{
    return m_timed ? PlayPacer::kLookAheadMs : 0;
}

std::optional<int32_t> PlaySender::firstWaiting() const
{
    if (m_handOff.empty())
        return std::nullopt;
    return m_handOff.front().index;
}

void PlaySender::left(const PlayMessage &message, double atMs)
{
    m_lastLeftMs = std::max(m_lastLeftMs, atMs);
    if (onLeft)
        onLeft(message, atMs);
}

uint64_t PlaySender::driverDueUs(double atMs)
{
    const double nowMs = m_pacer.now();
    const auto nowNs = uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                    std::chrono::steady_clock::now().time_since_epoch())
                                    .count());
    // The driver's schedule runs kDriverLeadMs behind the run's clock, so the first frames
    // of a run are in its queue before their time even when its thread is slow to wake.
    const double aheadNs = (atMs + kDriverLeadMs - nowMs) * 1.0e6;
    // A time already past means at once. Rounded up, so a frame never leaves before its
    // time on the run's clock.
    const uint64_t dueNs = aheadNs > 0 ? nowNs + uint64_t(aheadNs) : nowNs;
    return (dueNs + 999) / 1000;
}

PlaySender::Result PlaySender::put(int32_t index, double dueMs)
{
    // Frames leave in the order handed over: none is due before the one before it.
    const double at = std::max(dueMs, m_handOff.lastDueMs());
    const bool timed = m_timed;
    switch (timed ? m_device.sendAt(driverDueUs(at)) : m_device.send()) {
    case PlayDevice::SendResult::Untimed:
        if (timed) {
            // What was handed over still leaves at its time; later frames are sent by the
            // run, each when it is due.
            m_timed = false;
            return Result::Untimed;
        }
        [[fallthrough]];
    case PlayDevice::SendResult::Sent:
        if (timed)
            m_handOff.add(index, m_device.message(), at);
        else
            left(m_device.message(), m_pacer.now());
        return Result::Done;
    case PlayDevice::SendResult::Refused:
        ++m_refused;
        return Result::Done;
    case PlayDevice::SendResult::Busy:
        return Result::Busy;
    case PlayDevice::SendResult::Lost:
        return Result::Lost;
    }
    return Result::Lost;
}

bool PlaySender::collect()
{
    if (m_handOff.empty())
        return true;
    const PlayDevice::TimedStatus status = m_device.timedStatus();
    while (const auto frame = m_handOff.takeSent(status.sent))
        left(frame->message, frame->dueMs);
    return m_handOff.empty() || status.waiting > 0;
}

std::optional<int32_t> PlaySender::takeBack()
{
    if (m_handOff.empty())
        return std::nullopt;
    m_device.cancelTimed();
    // A frame the driver was writing as its queue was dropped still leaves, and counts as
    // sent only once written: wait the moment that takes, or it would be sent twice.
    for (int i = 0; i < kInFlightPolls && m_device.timedStatus().waiting > 0; ++i)
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    // What was dropped just now is neither sent nor waiting, and that is no loss.
    (void)collect();
    const auto first = m_handOff.takeFirstUnsent(m_device.timedStatus().sent);
    if (!first)
        return std::nullopt;
    return first->index;
}

void PlaySender::end()
{
    (void)takeBack();
    m_timed = false;
}
