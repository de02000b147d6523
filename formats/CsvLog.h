#pragma once

#include "LogTextReader.h"
#include "LogTextWriter.h"

// One frame a row under a header row: time_ms,id,dlc,d1,…,d8. Times in milliseconds from
// the start with three decimals (microseconds), identifier and bytes in hexadecimal
// (eight digits for a 29-bit identifier), cells beyond the DLC empty. ',' or ';' between
// cells. Data frames only: remote, error and CAN FD frames have no row.
// Also read: SavvyCAN's GVRET layout, told by its header row "Time Stamp,ID,Extended,
// [Dir,]Bus,LEN,D1,…": microseconds, hexadecimal identifier, "true"/"false", the bus from 0.
// A header row of any other layout makes every row a line that carries no frame, so the
// file is reported as holding none.
class CsvLineParser final : public LogLineParser
{
public:
    Outcome parse(std::string_view line, LogFrame &frame, const char *&reason) override;

private:
    Outcome gvret(std::string_view line, LogFrame &frame, const char *&reason);

    enum class Layout { Unknown, Own, Gvret, Foreign } m_layout = Layout::Unknown;
    // GVRET: the cell numbers of time, id, extended, direction, bus, length, first byte.
    int m_cell[7] = {0, 1, 2, -1, 3, 4, 5};
};

class CsvLogWriter final : public LogTextWriter
{
public:
    static constexpr std::string_view kHeader = "time_ms,id,dlc,d1,d2,d3,d4,d5,d6,d7,d8\n";

    bool canCarry(const LogFrame &frame) const override
    {
        return !frame.fd && !frame.remote && !frame.error;
    }
    void begin(TextOutput &out, int64_t originUs) override;
    void write(TextOutput &out, const LogFrame &frame) override;

private:
    int64_t m_originUs = 0;
};
