#pragma once

#include "LogTextReader.h"
#include "LogTextWriter.h"

#include <string>

// PEAK's trace, as PCAN-View and PCAN-Explorer write it: ";$FILEVERSION=1.1", 1.2, 1.3,
// 2.0, 2.1 (no such line: 1.0), ";$STARTTIME=" days since 30 Dec 1899 with the day's
// fraction (local time), ";$COLUMNS=" the order of a 2.x line's columns. Times are
// milliseconds from the start. 1.x: "N) time [bus] Rx|Tx|Warng|Error id [-] dlc bytes|RTR";
// 2.x: types DT (data), RR (remote), ER (error frame), FD/FB/FE/BI (CAN FD); status and
// events carry no frame. Also the CarBusAnalyzer's text export: "@ TEXT @ … @" and then
// records of tab-separated fields (time in seconds with a decimal comma, bus, flags, id,
// DLC, bytes, …), each ended by a CR alone, which CarBusSplitter turns into lines first.
class TrcLineParser final : public LogLineParser
{
public:
    Outcome parse(std::string_view line, LogFrame &frame, const char *&reason) override;
    std::optional<int64_t> startUs() const override { return m_startUs; }

private:
    Outcome version1(std::string_view line, LogFrame &frame, const char *&reason);
    Outcome version2(std::string_view line, LogFrame &frame, const char *&reason);
    Outcome carBus(std::string_view line, LogFrame &frame, const char *&reason);
    void setColumns(std::string_view text);

    int m_version = 10;   // 10 = 1.0, 11, 12, 13, 20, 21
    bool m_carBus = false;
    std::optional<int64_t> m_startUs;
    std::string m_columns = "NOTIdlD";   // 2.0's default order
};

// The CarBusAnalyzer's export ends its lines in a CR alone.
class CarBusSplitter
{
public:
    static bool detect(std::string_view firstBytes) { return firstBytes.substr(0, 8) == "@ TEXT @"; }
    // Appends block to out with the record ends made line breaks.
    void feed(std::string_view block, std::string &out);
};

// Writes version 2.1: "N time DT bus id Rx|Tx - dlc bytes", RR for remote frames, the
// start to the millisecond. Error and CAN FD frames are not written.
class TrcLogWriter final : public LogTextWriter
{
public:
    bool canCarry(const LogFrame &frame) const override { return !frame.fd && !frame.error; }
    void begin(TextOutput &out, int64_t originUs) override;
    void write(TextOutput &out, const LogFrame &frame) override;

private:
    int64_t m_originUs = 0;
    uint64_t m_number = 0;
};
