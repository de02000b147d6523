#pragma once

#include "SignalDecoder.h"

#include <cstdint>
#include <vector>

class CAN_ReadDB;

// The signals of one identifier for the signal pane: decoded from the newest frame at
// each monitor tick, each with a fade counter that starts when its value changes and
// runs down by the tick's interval, as a changed byte's does in the table. Of a
// multiplexed message only the page that arrived is listed. Knows no widget.
class SignalWatch final
{
public:
    struct Row
    {
        const DbcSignal *signal = nullptr;
        int64_t raw = 0;
        double value = 0;
        int32_t counter = 0;   // > 0 while the change colour fades
    };

    void setDatabase(const CanDatabase *db);
    // 0 or an identifier the database does not know: nothing to show.
    void select(int id);
    int selected() const { return m_id; }
    const DbcMessage *message() const { return m_message; }

    // One tick: the newest frame of the selected identifier, if one has arrived.
    void update(const CAN_ReadDB &rx, int32_t fadeTime, int32_t interval);
    const std::vector<Row> &rows() const { return m_rows; }
    // The multiplexor's value of the newest frame, or -1 without one.
    int64_t page() const { return m_page; }

private:
    const CanDatabase *m_db = nullptr;
    const DbcMessage *m_message = nullptr;
    int m_id = 0;
    std::vector<Row> m_rows;
    int64_t m_page = -1;
    // Per signal of the message, by index: the value at the last tick it was in a frame.
    std::vector<int64_t> m_lastRaw;
    std::vector<bool> m_seen;
    std::vector<int32_t> m_counter;
    std::vector<DecodedSignal> m_now;
    std::vector<DecodedSignal> m_before;
};
