#pragma once

#include <QString>

#include <array>
#include <cstdint>

// The live monitor's colouring state per identifier: where each byte's text and the
// cycle-time column stand in the view text (character offsets with CR LF counted as two)
// and how much of their fade is left; and the ranges of the message markers.
class CAN_ViewDB final
{
public:
    static constexpr int kSize = 2049;
    using Table = std::array<int32_t, kSize>;

    CAN_ViewDB() { Param_ALL_Clear(); }

    QString DisableID_Status_Buffer;

    void Param_ALL_Clear();
    static void Arayy_ALL_Clear_zero_long(int max, Table &array);

    static constexpr bool inRange(int16_t i) { return i >= 0 && i < kSize; }

#define VIEWDB_PROPERTY(name)                                                        \
    int32_t name(int16_t i) const { return inRange(i) ? m_##name[size_t(i)] : 0; }   \
    void name(int16_t i, int32_t v)                                                  \
    {                                                                                \
        if (inRange(i))                                                              \
            m_##name[size_t(i)] = v;                                                 \
    }
    VIEWDB_PROPERTY(ViewColorlength_d1_start)
    VIEWDB_PROPERTY(ViewColorlength_d2_start)
    VIEWDB_PROPERTY(ViewColorlength_d3_start)
    VIEWDB_PROPERTY(ViewColorlength_d4_start)
    VIEWDB_PROPERTY(ViewColorlength_d5_start)
    VIEWDB_PROPERTY(ViewColorlength_d6_start)
    VIEWDB_PROPERTY(ViewColorlength_d7_start)
    VIEWDB_PROPERTY(ViewColorlength_d8_start)
    VIEWDB_PROPERTY(ViewColorlength_d1_end)
    VIEWDB_PROPERTY(ViewColorlength_d2_end)
    VIEWDB_PROPERTY(ViewColorlength_d3_end)
    VIEWDB_PROPERTY(ViewColorlength_d4_end)
    VIEWDB_PROPERTY(ViewColorlength_d5_end)
    VIEWDB_PROPERTY(ViewColorlength_d6_end)
    VIEWDB_PROPERTY(ViewColorlength_d7_end)
    VIEWDB_PROPERTY(ViewColorlength_d8_end)
    VIEWDB_PROPERTY(ViewColorlength_d1_timerCounter)
    VIEWDB_PROPERTY(ViewColorlength_d2_timerCounter)
    VIEWDB_PROPERTY(ViewColorlength_d3_timerCounter)
    VIEWDB_PROPERTY(ViewColorlength_d4_timerCounter)
    VIEWDB_PROPERTY(ViewColorlength_d5_timerCounter)
    VIEWDB_PROPERTY(ViewColorlength_d6_timerCounter)
    VIEWDB_PROPERTY(ViewColorlength_d7_timerCounter)
    VIEWDB_PROPERTY(ViewColorlength_d8_timerCounter)
    VIEWDB_PROPERTY(ViewColorlength_dt_start)
    VIEWDB_PROPERTY(ViewColorlength_dt_end)
    VIEWDB_PROPERTY(ViewColorlength_dt_timerCounter)
    VIEWDB_PROPERTY(ViewColorMsgMarker_start)
    VIEWDB_PROPERTY(ViewColorMsgMarker_end)
    VIEWDB_PROPERTY(ViewColorMsgMarker_color)
#undef VIEWDB_PROPERTY

    // Byte k (1..8) by number, for loops over the byte columns; 0 / ignored outside.
    int32_t byteStart(int16_t id, int k) const { return get(m_start, id, k); }
    int32_t byteLength(int16_t id, int k) const { return get(m_length, id, k); }
    int32_t byteCounter(int16_t id, int k) const { return get(m_counter, id, k); }
    void setByteStart(int16_t id, int k, int32_t v) { set(m_start, id, k, v); }
    void setByteLength(int16_t id, int k, int32_t v) { set(m_length, id, k, v); }
    void setByteCounter(int16_t id, int k, int32_t v) { set(m_counter, id, k, v); }

private:
    using ByteTables = std::array<Table, 8>;
    static int32_t get(const ByteTables &t, int16_t id, int k)
    {
        return inRange(id) && k >= 1 && k <= 8 ? t[size_t(k - 1)][size_t(id)] : 0;
    }
    static void set(ByteTables &t, int16_t id, int k, int32_t v)
    {
        if (inRange(id) && k >= 1 && k <= 8)
            t[size_t(k - 1)][size_t(id)] = v;
    }

    ByteTables m_start{};
    ByteTables m_length{};
    ByteTables m_counter{};
    Table &m_ViewColorlength_d1_start = m_start[0];
    Table &m_ViewColorlength_d2_start = m_start[1];
    Table &m_ViewColorlength_d3_start = m_start[2];
    Table &m_ViewColorlength_d4_start = m_start[3];
    Table &m_ViewColorlength_d5_start = m_start[4];
    Table &m_ViewColorlength_d6_start = m_start[5];
    Table &m_ViewColorlength_d7_start = m_start[6];
    Table &m_ViewColorlength_d8_start = m_start[7];
    Table &m_ViewColorlength_d1_end = m_length[0];
    Table &m_ViewColorlength_d2_end = m_length[1];
    Table &m_ViewColorlength_d3_end = m_length[2];
    Table &m_ViewColorlength_d4_end = m_length[3];
    Table &m_ViewColorlength_d5_end = m_length[4];
    Table &m_ViewColorlength_d6_end = m_length[5];
    Table &m_ViewColorlength_d7_end = m_length[6];
    Table &m_ViewColorlength_d8_end = m_length[7];
    Table &m_ViewColorlength_d1_timerCounter = m_counter[0];
    Table &m_ViewColorlength_d2_timerCounter = m_counter[1];
    Table &m_ViewColorlength_d3_timerCounter = m_counter[2];
    Table &m_ViewColorlength_d4_timerCounter = m_counter[3];
    Table &m_ViewColorlength_d5_timerCounter = m_counter[4];
    Table &m_ViewColorlength_d6_timerCounter = m_counter[5];
    Table &m_ViewColorlength_d7_timerCounter = m_counter[6];
    Table &m_ViewColorlength_d8_timerCounter = m_counter[7];
    Table m_ViewColorlength_dt_start{};
    Table m_ViewColorlength_dt_end{};
    Table m_ViewColorlength_dt_timerCounter{};
    Table m_ViewColorMsgMarker_start{};
    Table m_ViewColorMsgMarker_end{};
    Table m_ViewColorMsgMarker_color{};

public:
    CAN_ViewDB(const CAN_ViewDB &) = delete;
    CAN_ViewDB &operator=(const CAN_ViewDB &) = delete;
};
