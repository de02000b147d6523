#include "CAN_ViewDB.h"

#include <algorithm>

void CAN_ViewDB::Arayy_ALL_Clear_zero_long(int max, Table &array)
{
    if (max < 0)
        return;
    std::fill_n(array.begin(), std::min(max + 1, kSize), 0);
}

void CAN_ViewDB::Param_ALL_Clear()
{
    for (ByteTables *group : {&m_start, &m_length, &m_counter})
        for (Table &t : *group)
            Arayy_ALL_Clear_zero_long(kSize - 1, t);
    for (Table *t : {&m_ViewColorlength_dt_start, &m_ViewColorlength_dt_end,
                     &m_ViewColorlength_dt_timerCounter, &m_ViewColorMsgMarker_start,
                     &m_ViewColorMsgMarker_end, &m_ViewColorMsgMarker_color})
        Arayy_ALL_Clear_zero_long(kSize - 1, *t);
}
