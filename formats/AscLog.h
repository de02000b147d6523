#pragma once

#include "LogTextReader.h"
#include "LogTextWriter.h"

#include <optional>

// Vector's ASCII log. The header says whether identifiers and bytes are hexadecimal or
// decimal and whether times are from the start or from the previous line; "date" gives
// the start, which is added to every time so that frames stand on the wall clock.
// Frame lines: "<time> <channel> <id>[x] Rx|Tx d <dlc> <bytes…> [more fields]", remote
// "… r [dlc]", "<time> <channel> ErrorFrame", "<time> CANFD …". Other event lines
// (statistics, status, start of measurement) carry no frame.
class AscLineParser final : public LogLineParser
{
public:
    Outcome parse(std::string_view line, LogFrame &frame, const char *&reason) override;

    // "Tue Nov 14 22:13:20 2023", "Tue Nov 14 22:13:20.123 2023", with "am"/"pm" before
    // the year when the clock is 12-hour; local time. Microseconds since the epoch.
    static std::optional<int64_t> parseDate(std::string_view text);

private:
    Outcome frameLine(std::string_view line, size_t pos, LogFrame &frame, const char *&reason);

    bool m_decimal = false;
    bool m_relative = false;
    int64_t m_startUs = 0;
    int64_t m_lastUs = 0;
};

// Writes what log2asc writes, inside a trigger block as Vector's tools write it.
class AscLogWriter final : public LogTextWriter
{
public:
    bool canCarry(const LogFrame &frame) const override { return !frame.fd; }
    void begin(TextOutput &out, int64_t originUs) override;
    void write(TextOutput &out, const LogFrame &frame) override;
    void end(TextOutput &out) override;

    // "Tue Nov 14 22:13:20.000 2023" for a time in microseconds since the epoch, local.
    static std::string dateText(int64_t epochUs);

private:
    int64_t m_originUs = 0;
};
