#pragma once

#include "Currency.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>

class RunHost;

// The newest frame of every 11-bit identifier with its timing, shared by the running
// loops (writers) and the live monitor (reader), and the identifiers the bus check found
// already on the bus. Every array has 2049 entries; an index outside 0..2048 reads as 0
// and is never written.
class CAN_ReadDB final
{
public:
    static constexpr int kSize = 2049;
    template <class T>
    using Table = std::array<T, kSize>;

    CAN_ReadDB() { Param_ALL_Clear(); }
    CAN_ReadDB(const CAN_ReadDB &) = delete;
    CAN_ReadDB &operator=(const CAN_ReadDB &) = delete;

    void Param_ALL_Clear();
    static void Arayy_ALL_Clear_zero_Currency(int max, Table<double> &array);
    static void Arayy_ALL_Clear_zero_long(int max, Table<int32_t> &array);
    static void Arayy_ALL_Clear_zero_byte(int max, Table<uint8_t> &array);
    static void Arayy_ALL_Clear_zero_string(int max, Table<QString> &array);
    static void Arayy_ALL_Clear_zero_double(int max, Table<double> &array);

    static constexpr bool inRange(int16_t id) { return id >= 0 && id < kSize; }

#define READDB_PLAIN(name, type)                                                     \
    type name(int16_t id) const { return inRange(id) ? m_##name[size_t(id)] : type(); } \
    void name(int16_t id, type v)                                                    \
    {                                                                                \
        if (inRange(id))                                                             \
            m_##name[size_t(id)] = v;                                                \
    }
#define READDB_CURRENCY(name)                                                        \
    Currency name(int16_t id) const                                                  \
    {                                                                                \
        return inRange(id) ? Currency::fromDouble(m_##name[size_t(id)]) : Currency(); \
    }                                                                                \
    void name(int16_t id, Currency v)                                                \
    {                                                                                \
        if (inRange(id))                                                             \
            m_##name[size_t(id)] = v.toDouble();                                     \
    }

    READDB_PLAIN(CAN11_Received, int32_t)
    READDB_PLAIN(CAN11_Disabled_ID, int32_t)
    READDB_CURRENCY(CAN11_ReceivedTime)
    READDB_CURRENCY(CAN11_ReceivedTime_old)
    READDB_CURRENCY(CAN11_ReceivedTime_Delta)
    READDB_PLAIN(CAN11_ReceivedTime_writting, uint8_t)
    READDB_PLAIN(CAN11_ReadTime_old, double)
    READDB_PLAIN(CAN11_BlackoutON, uint8_t)
    READDB_PLAIN(CAN11_DLC, int32_t)
    READDB_PLAIN(CAN11_Data1, uint8_t)
    READDB_PLAIN(CAN11_Data2, uint8_t)
    READDB_PLAIN(CAN11_Data3, uint8_t)
    READDB_PLAIN(CAN11_Data4, uint8_t)
    READDB_PLAIN(CAN11_Data5, uint8_t)
    READDB_PLAIN(CAN11_Data6, uint8_t)
    READDB_PLAIN(CAN11_Data7, uint8_t)
    READDB_PLAIN(CAN11_Data8, uint8_t)
    READDB_PLAIN(CAN11_Data1_old, uint8_t)
    READDB_PLAIN(CAN11_Data2_old, uint8_t)
    READDB_PLAIN(CAN11_Data3_old, uint8_t)
    READDB_PLAIN(CAN11_Data4_old, uint8_t)
    READDB_PLAIN(CAN11_Data5_old, uint8_t)
    READDB_PLAIN(CAN11_Data6_old, uint8_t)
    READDB_PLAIN(CAN11_Data7_old, uint8_t)
    READDB_PLAIN(CAN11_Data8_old, uint8_t)
#undef READDB_PLAIN
#undef READDB_CURRENCY

    // Byte k (1..8) of the newest and of the previous frame; 0 outside.
    uint8_t data(int16_t id, int k) const;
    uint8_t dataOld(int16_t id, int k) const;

    // One identifier's update in the fixed order the live monitor relies on: Received 2,
    // DLC, read time, the two time stamps (bracketed by the writing mark), old bytes, new
    // bytes, Received 1. Identifiers outside 0..2048 are ignored.
    void updateFrame(int16_t id, int32_t dlc, double readTime, Currency timeStamp,
                     const uint8_t data[8]);

    // The bus check before a playback: for 3 s, every identifier <= 0x7FF read from the
    // device is marked in CAN11_Disabled_ID. readFrame returns true with the identifier of
    // one frame read, false when nothing was there.
    void busCheck(RunHost &host, const std::function<bool(uint32_t &id)> &readFrame);

private:
    Table<int32_t> m_CAN11_Received{};
    Table<int32_t> m_CAN11_Disabled_ID{};
    Table<double> m_CAN11_ReceivedTime{};
    Table<double> m_CAN11_ReceivedTime_old{};
    Table<double> m_CAN11_ReceivedTime_Delta{};
    Table<uint8_t> m_CAN11_ReceivedTime_writting{};
    Table<double> m_CAN11_ReadTime_old{};
    Table<uint8_t> m_CAN11_BlackoutON{};
    Table<int32_t> m_CAN11_DLC{};
    std::array<Table<uint8_t>, 8> m_data{};
    std::array<Table<uint8_t>, 8> m_dataOld{};
    // The named byte accessors above are views of m_data / m_dataOld.
    Table<uint8_t> &m_CAN11_Data1 = m_data[0];
    Table<uint8_t> &m_CAN11_Data2 = m_data[1];
    Table<uint8_t> &m_CAN11_Data3 = m_data[2];
    Table<uint8_t> &m_CAN11_Data4 = m_data[3];
    Table<uint8_t> &m_CAN11_Data5 = m_data[4];
    Table<uint8_t> &m_CAN11_Data6 = m_data[5];
    Table<uint8_t> &m_CAN11_Data7 = m_data[6];
    Table<uint8_t> &m_CAN11_Data8 = m_data[7];
    Table<uint8_t> &m_CAN11_Data1_old = m_dataOld[0];
    Table<uint8_t> &m_CAN11_Data2_old = m_dataOld[1];
    Table<uint8_t> &m_CAN11_Data3_old = m_dataOld[2];
    Table<uint8_t> &m_CAN11_Data4_old = m_dataOld[3];
    Table<uint8_t> &m_CAN11_Data5_old = m_dataOld[4];
    Table<uint8_t> &m_CAN11_Data6_old = m_dataOld[5];
    Table<uint8_t> &m_CAN11_Data7_old = m_dataOld[6];
    Table<uint8_t> &m_CAN11_Data8_old = m_dataOld[7];
};
