#pragma once

#include <QString>

#include <cstdint>

class CAN_ReadDB;
class RunHost;
struct RecordFrame;

// The frame a playback run is about to send, as it goes on the wire: the record's
// identifier and data, its DLC cut to 8, and whether the device can carry that identifier.
struct PlayMessage
{
    uint32_t id = 0;
    uint8_t dlc = 0;
    uint8_t data[8] = {};
    bool sendable = false;

    // Identifiers the per-ID tables hold (1 … 0x7FF); others are never looked up there.
    bool isTableId() const { return id >= 1 && id <= 0x7FF; }
};

// One transmitting device of a playback run, for both vendors alike: opened at the run's
// bit rate, asked which identifiers other nodes already send, fed one message at a time
// from the records, and closed at the end. Failures the user must see are shown here, in
// the vendor's own words.
class PlayDevice
{
public:
    enum class SendResult {
        Sent,
        Busy,      // the transmit queue is full; the same message may be sent again
        Refused,   // the driver would not take it; counted as sent
        Lost,      // the device has dropped out; nothing more can be sent
        Untimed,   // sendAt only: the driver or the device cannot send at a due time
    };

    virtual ~PlayDevice() = default;

    // Opens the device at t_bitRate. On failure the message box has been shown.
    virtual bool open() = 0;
    // Makes the opened device ready to receive and send. On failure the message box has
    // been shown.
    virtual bool start() = 0;
    // The 3 s bus check: every 11-bit identifier read meanwhile is marked in
    // CAN11_Disabled_ID.
    virtual void busCheck(RunHost &host, CAN_ReadDB &rx) = 0;
    // Refills the message structure from a record.
    virtual void fill(const RecordFrame &record) = 0;
    virtual SendResult send() = 0;

    // Timed transmission: the driver sends the message at dueUs (microseconds on
    // CLOCK_MONOTONIC), after every message handed to it before. A driver library built
    // without it says so here, and the run sends each frame itself when it is due.
    virtual bool canSendTimed() const { return false; }
    virtual SendResult sendAt(uint64_t dueUs)
    {
        (void)dueUs;
        return SendResult::Untimed;
    }
    // Drops the timed messages that have not left yet.
    virtual void cancelTimed() {}
    // Timed messages sent since the device opened (counting on past 2^32 - 1 to 0), and
    // how many still wait in the driver.
    struct TimedStatus
    {
        uint32_t sent = 0;
        uint32_t waiting = 0;
    };
    virtual TimedStatus timedStatus() const { return {}; }
    // Safe to call whether or not open() succeeded.
    virtual void close() = 0;

    // What TB_Protocol shows for the run's bit rate.
    virtual QString bitRateLabel() const = 0;
    // The message box text for a device that stopped working.
    virtual QString failureText() const = 0;

    const PlayMessage &message() const { return m_message; }

    // "1M bps" … "10k bps" for t_bitRate 0 … 7; empty for any other value.
    static QString bitRateLabel(int32_t t_bitRate);
    // The record as it may go on the wire. Identifiers above 0x7FF are sendable only as
    // 29-bit frames (extended) and never above 0x1FFFFFFF; a DLC above 8 becomes 8, as a
    // CAN controller reads the codes 9 … 15.
    static PlayMessage toMessage(const RecordFrame &record, bool extended);

protected:
    PlayMessage m_message;
};
