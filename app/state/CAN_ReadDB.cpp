#include "CAN_ReadDB.h"

#include "MessagePump.h"
#include "RunHost.h"
#include "Vexa100.h"

#include <algorithm>

namespace {
template <class T>
void clearUpTo(int max, CAN_ReadDB::Table<T> &array)
{
    if (max < 0)
        return;
    std::fill_n(array.begin(), std::min(max + 1, CAN_ReadDB::kSize), T());
}
} // namespace

void CAN_ReadDB::Arayy_ALL_Clear_zero_Currency(int max, Table<double> &array)
{
    clearUpTo(max, array);
}

void CAN_ReadDB::Arayy_ALL_Clear_zero_long(int max, Table<int32_t> &array)
{
    clearUpTo(max, array);
}

void CAN_ReadDB::Arayy_ALL_Clear_zero_byte(int max, Table<uint8_t> &array)
{
    clearUpTo(max, array);
}

void CAN_ReadDB::Arayy_ALL_Clear_zero_string(int max, Table<QString> &array)
{
    clearUpTo(max, array);
}

void CAN_ReadDB::Arayy_ALL_Clear_zero_double(int max, Table<double> &array)
{
    clearUpTo(max, array);
}

void CAN_ReadDB::Param_ALL_Clear()
{
    const int last = kSize - 1;
    Arayy_ALL_Clear_zero_long(last, m_CAN11_Received);
    Arayy_ALL_Clear_zero_long(last, m_CAN11_Disabled_ID);
    Arayy_ALL_Clear_zero_Currency(last, m_CAN11_ReceivedTime);
    Arayy_ALL_Clear_zero_Currency(last, m_CAN11_ReceivedTime_old);
    Arayy_ALL_Clear_zero_Currency(last, m_CAN11_ReceivedTime_Delta);
    Arayy_ALL_Clear_zero_byte(last, m_CAN11_ReceivedTime_writting);
    Arayy_ALL_Clear_zero_double(last, m_CAN11_ReadTime_old);
    Arayy_ALL_Clear_zero_byte(last, m_CAN11_BlackoutON);
    Arayy_ALL_Clear_zero_long(last, m_CAN11_DLC);
    for (auto &t : m_data)
        Arayy_ALL_Clear_zero_byte(last, t);
    for (auto &t : m_dataOld)
        Arayy_ALL_Clear_zero_byte(last, t);
}

uint8_t CAN_ReadDB::data(int16_t id, int k) const
{
    if (!inRange(id) || k < 1 || k > 8)
        return 0;
    return m_data[size_t(k - 1)][size_t(id)];
}

uint8_t CAN_ReadDB::dataOld(int16_t id, int k) const
{
    if (!inRange(id) || k < 1 || k > 8)
        return 0;
    return m_dataOld[size_t(k - 1)][size_t(id)];
}

void CAN_ReadDB::updateFrame(int16_t id, int32_t dlc, double readTime, Currency timeStamp,
                             const uint8_t bytes[8])
{
    if (!inRange(id))
        return;
    const size_t i = size_t(id);
    m_CAN11_Received[i] = 2;
    m_CAN11_DLC[i] = dlc;
    m_CAN11_ReadTime_old[i] = readTime;
    m_CAN11_ReceivedTime_writting[i] = 1;
    const double stamp = timeStamp.toDouble();
    if (m_CAN11_ReceivedTime[i] == 0 && m_CAN11_ReceivedTime_old[i] == 0) {
        m_CAN11_ReceivedTime[i] = stamp;
        m_CAN11_ReceivedTime_old[i] = stamp;
    } else {
        m_CAN11_ReceivedTime_old[i] = m_CAN11_ReceivedTime[i];
        m_CAN11_ReceivedTime[i] = stamp;
    }
    m_CAN11_ReceivedTime_writting[i] = 0;
    for (size_t k = 0; k < 8; ++k)
        m_dataOld[k][i] = m_data[k][i];
    for (size_t k = 0; k < 8; ++k)
        m_data[k][i] = bytes[k];
    m_CAN11_Received[i] = 1;
}

void CAN_ReadDB::busCheck(RunHost &host, const std::function<bool(uint32_t &id)> &readFrame)
{
    // The clock is read only in passes that found nothing, so while frames keep coming the
    // check lasts until the driver's queue runs empty once after the 3 s. The difference is
    // taken in 32 bits so a clock that wraps during the check cannot keep it going.
    const uint32_t start = uint32_t(vexa::vx_timeGetTime());
    uint32_t elapsed = 0;
    while (host.RxFlag == 1 && elapsed <= 3000) {
        uint32_t id = 0;
        if (readFrame(id) && id <= 0x7FF) {
            m_CAN11_Disabled_ID[size_t(id)] = 1;
            continue;
        }
        elapsed = uint32_t(vexa::vx_timeGetTime()) - start;
        pumpMessages();
    }
}
