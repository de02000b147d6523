#pragma once

#include "Currency.h"
#include "StringBuilder.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

class CanDatabase;
class CAN_PlayDB;
class CAN_ReadDB;
class CAN_ViewDB;
class ELM327_Info;
class RunHost;
class TableLineWriter;

// One colouring step of the table: give the characters [start, start + length) a text
// colour or a background. Offsets count a line break as the two characters CR LF.
struct ColourRange
{
    int32_t start = 0;
    int32_t length = 0;
    int32_t colour = 0;   // 0x00BBGGRR
    bool background = false;

    friend bool operator==(const ColourRange &, const ColourRange &) = default;
};

// Where the monitor table goes: text with CR LF line breaks, coloured by the ranges in
// their order (a later range wins where two set the same attribute), shown in one step.
class MonitorSink
{
public:
    virtual ~MonitorSink() = default;
    virtual void showTable(const QString &text, const std::vector<ColourRange> &ranges) = 0;
};

// The live monitor's tick: the mode and status lines, the table of every identifier seen
// with its change, cycle-time, silence and marker bookkeeping in the view state, and the
// colouring of that table. Reads the per-ID state the running loop writes; knows no widget.
class LiveMonitor final
{
public:
    // The interval of the monitor timer, also the fade step per tick (ms).
    static constexpr int32_t kInterval = 33;

    struct Links
    {
        ELM327_Info &device;
        CAN_PlayDB &play;
        CAN_ReadDB &rx;
        CAN_ViewDB &view;
        RunHost &host;
        double &interfaceOffset;                  // the main window's f1_interfaceCAN_offset_time
        std::function<double()> recordElapsedMs;  // the running record loop's vx_millisecond
    };

    LiveMonitor(const Links &links, MonitorSink &sink);

    // One tick of the monitor timer. A call made while a tick is pumping messages is
    // ignored (the timer is off then, but a handler may have switched it back on).
    void tick();

    // With a database, each line of an identifier it knows ends in the message's name,
    // and a message whose mean cycle strays from its GenMsgCycleTime as far as a cycle
    // jump would has its cycle time coloured as a jump. Null: the plain table.
    void setDatabase(const CanDatabase *db);
    // A name longer than this is cut, so every line stays one line of the table.
    static constexpr int kNameMax = 64;

    // The millisecond clock; vx_timeGetTime unless a test sets another.
    void setClock(std::function<double()> clock) { m_clock = std::move(clock); }

    // What the last tick drew.
    const QString &lastText() const { return m_text; }
    const std::vector<ColourRange> &lastRanges() const { return m_ranges; }

    // The decimal text of a time: shortest form, no trailing zeros, no point when whole.
    static QString timeText(Currency t);
    static constexpr int kTimeTextMax = 26;
    static int timeText(Currency t, char16_t *out);   // writes at most kTimeTextMax

private:
    void writeModeTexts();
    void writeFolderStatus();
    struct Marker
    {
        int16_t index;
        int16_t id;
        int32_t startByte;
        int32_t endByte;
    };
    struct FadeMemo
    {
        bool valid = false;
        int32_t colour = 0;
        int32_t numerator = 0;
        int32_t denominator = 0;
        int32_t result = 0;
    };

    void collectMarkers();
    void appendLine(int16_t id, double now);
    void appendTimeColumn(int16_t id, TableLineWriter &line);
    void colourLine(int16_t id);
    static int32_t fade(FadeMemo &memo, int32_t colour, int32_t numerator, int32_t denominator);

    ELM327_Info &m_device;
    CAN_PlayDB &m_play;
    CAN_ReadDB &m_rx;
    CAN_ViewDB &m_view;
    RunHost &m_host;
    double &m_interfaceOffset;
    std::function<double()> m_recordElapsedMs;
    std::function<double()> m_clock;
    MonitorSink &m_sink;

    StringBuilder m_builder;
    QString m_text;
    std::vector<ColourRange> m_ranges;
    bool m_inTick = false;

    // This tick's place of every listed line's time column and end of its byte columns,
    // and which markers found their start byte on their line: what the colouring paints.
    static constexpr int kIds = 0x800;
    std::array<bool, kIds> m_listed{};
    std::array<int32_t, kIds> m_timeStart{};
    std::array<int32_t, kIds> m_timeLength{};
    std::array<int32_t, kIds> m_bytesEnd{};
    std::vector<Marker> m_markers;                  // switched on, on a listable identifier
    std::array<bool, kIds> m_hasMarker{};
    std::array<bool, 8> m_markerPlaced{};
    FadeMemo m_dataFade;
    FadeMemo m_lateFade;

    // The database's names by identifier, and each listed identifier's mean cycle: a
    // running mean over the cycle times seen at ticks where a new frame had arrived.
    bool cycleStrays(int16_t id, Currency d);
    const CanDatabase *m_db = nullptr;
    std::vector<QString> m_names;
    std::vector<int32_t> m_cycleTimes;
    std::array<double, kIds> m_meanCycle{};
    std::array<int32_t, kIds> m_cycleSamples{};
    std::array<Currency, kIds> m_lastStamp{};
};
