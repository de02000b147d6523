#include "CanDatabase.h"

#include <algorithm>

std::string_view DbcSignal::valueName(int64_t raw) const
{
    const auto it = std::lower_bound(valueNames.begin(), valueNames.end(), raw,
                                     [](const auto &pair, int64_t v) { return pair.first < v; });
    if (it == valueNames.end() || it->first != raw)
        return {};
    return it->second;
}

const DbcSignal *DbcMessage::signal(std::string_view wanted) const
{
    for (const DbcSignal &s : signalList)
        if (s.name == wanted)
            return &s;
    return nullptr;
}

const DbcMessage *CanDatabase::message(uint32_t id, bool extended) const
{
    if (!extended)
        return message11(id);
    for (const DbcMessage &m : m_messages)
        if (m.extended && m.id == id)
            return &m;
    return nullptr;
}

int CanDatabase::standardCount() const
{
    return int(std::count_if(m_messages.begin(), m_messages.end(),
                             [](const DbcMessage &m) { return !m.extended; }));
}

QString CanDatabase::formatText() const
{
    return QString::fromLatin1(m_encoding == Encoding::Cp932 ? "CP932" : "UTF-8")
           + QString::fromLatin1(m_crlf ? ", CRLF" : ", LF");
}

void CanDatabase::rebuildIndex()
{
    m_index11 = filledIndex();
    for (size_t i = 0; i < m_messages.size(); ++i) {
        const DbcMessage &m = m_messages[i];
        if (!m.extended && m.id < kIds)
            m_index11[m.id] = int(i);
    }
}
