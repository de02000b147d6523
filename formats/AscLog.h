#pragma once

#include "LogTextReader.h"
#include "LogTextWriter.h"

#include <optional>

// Vector's ASCII log as CANoe, CANalyzer, BUSMASTER and python-can write it. The header
// says whether identifiers and bytes are hexadecimal or decimal and whether times are from
// the start or from the previous line; "date" gives the start, "Begin Triggerblock" (when
// it names a time) the start of the measurement, which is added to every time so that
// frames stand on the wall clock. A start before 1970 is a placeholder some writers put
// there: the times are then taken as they stand. Only the first date counts (a file may
// hold several sessions, each with its header); each trigger block's time counts from it on.
// Frame lines: "<time> <channel> <id>[x] Rx|Tx d <dlc> <bytes…> [more fields]", remote
// "… r [dlc] [more fields]", "<time> <channel> ErrorFrame …", "<time> CANFD <channel>
// Rx|Tx <id> [name] <brs> <esi> <dlc> <length> <bytes…>". Other event lines (statistics,
// status, start of measurement) carry no frame. A file without a "base" line whose first
// frame has three-digit bytes is decimal, as BUSMASTER writes it.
class AscLineParser final : public LogLineParser
{
public:
    Outcome parse(std::string_view line, LogFrame &frame, const char *&reason) override;
    std::optional<int64_t> startUs() const override;

    // "Tue Nov 14 22:13:20 2023", "Do Okt 4 7:22:50.552056 pm 2012": weekday (any word,
    // or none), month in English or German, one- or two-digit fields, a fraction of any
    // length, "am"/"pm" in any case before the year when the clock is 12-hour; local time.
    // Microseconds since the epoch (negative before 1970).
    static std::optional<int64_t> parseDate(std::string_view text);

private:
    Outcome frameLine(std::string_view line, size_t pos, LogFrame &frame, const char *&reason);
    Outcome fdLine(std::string_view line, size_t pos, LogFrame &frame, const char *&reason);
    bool parseByte(std::string_view text, uint8_t &value) const;
    // count bytes, each after spaces, from pos on (count at most 64).
    bool parseBytes(std::string_view line, size_t &pos, uint32_t count, uint8_t *data) const;

    bool m_decimal = false;
    bool m_baseSeen = false;
    bool m_framesSeen = false;
    bool m_relative = false;
    bool m_dateSeen = false;
    std::optional<int64_t> m_dateUs;
    std::optional<int64_t> m_triggerUs;
    int64_t m_lastUs = 0;
};

// Writes what log2asc writes, inside a trigger block as Vector's tools write it, with each
// frame's channel and direction. The start is the origin given, down to the millisecond
// the date line holds, so that times keep their microseconds.
class AscLogWriter final : public LogTextWriter
{
public:
    bool canCarry(const LogFrame &frame) const override { return !frame.fd; }
    void begin(TextOutput &out, int64_t originUs) override;
    void write(TextOutput &out, const LogFrame &frame) override;
    void end(TextOutput &out) override;

    // "Tue Nov 14 22:13:20.000 2023" for a time in microseconds since the epoch, local;
    // the microseconds below the millisecond are left out.
    static std::string dateText(int64_t epochUs);

private:
    int64_t m_originUs = 0;
};
