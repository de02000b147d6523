#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <string_view>

// One frame as the field's logs carry it. Times are whole microseconds since the epoch
// (the wall clock) wherever the file says when it started; otherwise on the source's own
// time line (a .csv's milliseconds from its start).
struct LogFrame
{
    int64_t timeUs = 0;
    uint16_t channel = 0;     // 1, 2, … as the file numbers its buses; 0: not told
    bool tx = false;          // sent by the logging node rather than received
    uint32_t id = 0;          // up to 29 bits, without flags
    uint8_t length = 0;       // data bytes (a remote frame's requested length)
    uint8_t dlc = 0;          // classic frames: the DLC on the wire, 9 … 15 kept when given
    bool extended = false;
    bool remote = false;
    bool error = false;
    bool fd = false;
    uint8_t data[64] = {};

    // What a record file can hold: an 11-bit data frame of at most 8 bytes.
    bool fitsRecordFile() const
    {
        return !extended && !remote && !error && !fd && id >= 1 && id <= 0x7FF;
    }
};

// What a file says about itself before its frames.
struct LogInputStart
{
    std::optional<int64_t> originUs;   // its start on the wall clock, when it tells
    QString comment;                   // a record file's or workbook's comment
};

// Where a reader hands what it found, line by line.
class LogSink
{
public:
    virtual ~LogSink() = default;
    // Called once a file, before its frames, when the file tells where it starts.
    virtual void start(const LogInputStart &) {}
    virtual void frame(const LogFrame &frame) = 0;
    // A line that is not what its format allows; reason is a short static text.
    virtual void badLine(int64_t lineNumber, std::string_view reason) = 0;
    // Frames the file holds that cannot be handed over, with why (a static text).
    virtual void notRead(int64_t count, std::string_view reason)
    {
        (void)count;
        (void)reason;
    }
};

// What one reader saw.
struct LogReadStats
{
    int64_t lines = 0;
    int64_t frames = 0;
    int64_t badLines = 0;
    int64_t otherLines = 0;   // headers, comments, events that carry no frame
    int64_t notRead = 0;      // frames held but not handed over (see LogSink::notRead)
};

