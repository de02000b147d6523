#pragma once

#include "LogTextReader.h"
#include "LogTextWriter.h"

// candump's log lines: "(seconds.micro) interface frame", the frame written as can-utils
// writes it: 123#11223344 (11-bit), 12345678#… (29-bit), 123#R or 123#R4 (remote),
// 123##1… (CAN FD, flags nibble first), 20000080#… (error frame). asc2log adds a
// direction, " R" or " T", which is accepted. The interface's number plus one is the
// frame's channel (can0: 1).
class CandumpLineParser final : public LogLineParser
{
public:
    Outcome parse(std::string_view line, LogFrame &frame, const char *&reason) override;
    // The frame part alone, "123#1122".
    static bool parseFrameText(std::string_view text, LogFrame &frame, const char *&reason);
    static uint16_t channelOfInterface(std::string_view name);
};

// Writes lines as candump -l does: ten digits of seconds, six of microseconds, "can0" for
// channel 1 (and for frames whose channel is not known), " T" after a frame sent.
class CandumpLogWriter final : public LogTextWriter
{
public:
    // CAN FD frames are read and checked but never written: no other format here holds them.
    bool canCarry(const LogFrame &frame) const override { return !frame.fd; }
    void begin(TextOutput &out, int64_t originUs) override { Q_UNUSED(out); Q_UNUSED(originUs); }
    void write(TextOutput &out, const LogFrame &frame) override;
};
