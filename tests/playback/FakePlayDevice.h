#pragma once

#include "PlayDevice.h"
#include "RecordFrame.h"

#include <deque>

namespace playtest {

// A device whose driver's answers the test sets: what sendAt answers, how many timed frames
// it has sent (its 32-bit counter) and how many still wait. For the failures and counter
// values a real driver cannot be brought to on demand.
class FakePlayDevice final : public PlayDevice
{
public:
    bool open() override { return true; }
    bool start() override { return true; }
    void busCheck(RunHost &, CAN_ReadDB &) override {}
    void fill(const RecordFrame &record) override { m_message = toMessage(record, false); }
    SendResult send() override { return answer; }
    bool canSendTimed() const override { return timed; }
    SendResult sendAt(uint64_t) override
    {
        if (answer == SendResult::Sent)
            ++waiting;
        return answer;
    }
    void cancelTimed() override { waiting = 0; }
    TimedStatus timedStatus() const override { return {sent, waiting}; }
    void close() override {}
    QString bitRateLabel() const override { return QStringLiteral("1M bps"); }
    QString failureText() const override { return QStringLiteral("gone"); }

    // The driver sends n of the waiting frames.
    void leave(uint32_t n)
    {
        sent += n;
        waiting -= n;
    }

    bool timed = true;
    SendResult answer = SendResult::Sent;
    uint32_t sent = 0;
    uint32_t waiting = 0;
};

} // namespace playtest
