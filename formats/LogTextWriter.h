#pragma once

#include "LogFormat.h"
#include "LogFrame.h"
#include "TextOutput.h"

#include <memory>

// One text format's writing. Frames reach it in the order they are to appear; originUs is
// the zero of the time line for the formats that write times from a start.
class LogTextWriter
{
public:
    virtual ~LogTextWriter() = default;
    // False for a frame the format cannot hold; the caller counts it as skipped.
    virtual bool canCarry(const LogFrame &frame) const = 0;
    virtual void begin(TextOutput &out, int64_t originUs) = 0;
    virtual void write(TextOutput &out, const LogFrame &frame) = 0;
    virtual void end(TextOutput &out) { Q_UNUSED(out); }
};

std::unique_ptr<LogTextWriter> makeLogTextWriter(LogFormat format);
