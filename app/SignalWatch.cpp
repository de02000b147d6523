#include "SignalWatch.h"

#include "CAN_ReadDB.h"

#include <algorithm>

void SignalWatch::setDatabase(const CanDatabase *db)
{
    if (db == m_db)
        return;
    m_db = db;
    const int id = m_id;
    m_id = -1;
    select(id);
}

void SignalWatch::select(int id)
{
    if (id == m_id)
        return;
    m_id = id;
    m_message = m_db && id > 0 ? m_db->message11(uint32_t(id)) : nullptr;
    const size_t n = m_message ? m_message->signalList.size() : 0;
    m_rows.clear();
    m_page = -1;
    m_lastRaw.assign(n, 0);
    m_seen.assign(n, false);
    m_counter.assign(n, 0);
    m_now.resize(n);
    m_before.resize(n);
}

void SignalWatch::update(const CAN_ReadDB &rx, int32_t fadeTime, int32_t interval)
{
    if (!m_message)
        return;
    const auto id = int16_t(m_id);
    // While the loop is writing this identifier the previous rows stay.
    if (rx.CAN11_Received(id) != 1)
        return;
    const size_t length = size_t(std::clamp<int32_t>(rx.CAN11_DLC(id), 0, 8));
    uint8_t now[8];
    uint8_t before[8];
    for (int k = 1; k <= 8; ++k) {
        now[k - 1] = rx.data(id, k);
        before[k - 1] = rx.dataOld(id, k);
    }
    const DbcMessage &m = *m_message;
    const int n = signaldecoder::decode(m, std::span(now, length), m_now.data());
    const int nb = signaldecoder::decode(m, std::span(before, length), m_before.data());
    m_page = -1;
    if (m.multiplexor >= 0)
        for (int i = 0; i < n; ++i)
            if (m_now[size_t(i)].signal == &m.signalList[size_t(m.multiplexor)])
                m_page = m_now[size_t(i)].raw;

    m_rows.clear();
    int b = 0;
    for (int i = 0; i < n; ++i) {
        const DecodedSignal &d = m_now[size_t(i)];
        const size_t s = size_t(d.signal - m.signalList.data());
        // Both lists are in the message's order; the frame before may lack a page's signals.
        while (b < nb && m_before[size_t(b)].signal < d.signal)
            ++b;
        const bool inBefore = b < nb && m_before[size_t(b)].signal == d.signal;
        const bool changed = (inBefore && m_before[size_t(b)].raw != d.raw)
                             || (m_seen[s] && m_lastRaw[s] != d.raw);
        if (changed)
            m_counter[s] = fadeTime;
        else if (m_counter[s] > 0)
            m_counter[s] = std::max(0, m_counter[s] - interval);
        m_lastRaw[s] = d.raw;
        m_seen[s] = true;
        m_rows.push_back({d.signal, d.raw, d.value, m_counter[s]});
    }
}
