#pragma once

#include <cstdint>
#include <string_view>

// One frame as the field's text logs carry it. Times are whole microseconds on the
// source's own time line: absolute seconds for a candump log, seconds from the start of
// the measurement for an .asc file, milliseconds from the first frame for a record file.
struct LogFrame
{
    int64_t timeUs = 0;
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

// Where a reader hands what it found, line by line.
class LogSink
{
public:
    virtual ~LogSink() = default;
    virtual void frame(const LogFrame &frame) = 0;
    // A line that is not what its format allows; reason is a short static text.
    virtual void badLine(int64_t lineNumber, std::string_view reason) = 0;
};

// What one reader saw.
struct LogReadStats
{
    int64_t lines = 0;
    int64_t frames = 0;
    int64_t badLines = 0;
    int64_t otherLines = 0;   // headers, comments, events that carry no frame
};
