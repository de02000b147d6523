#include "CsvLog.h"

#include "TextScan.h"

#include <algorithm>
#include <iterator>

using namespace textscan;

namespace {

// The next cell, up to ',' or ';' or the end; pos moves past the separator.
std::string_view cell(std::string_view line, size_t &pos, bool &more)
{
    const size_t start = pos;
    while (pos < line.size() && line[pos] != ',' && line[pos] != ';')
        ++pos;
    std::string_view c = line.substr(start, pos - start);
    more = pos < line.size();
    if (more)
        ++pos;
    while (!c.empty() && isSpace(c.front()))
        c.remove_prefix(1);
    while (!c.empty() && isSpace(c.back()))
        c.remove_suffix(1);
    return c;
}

} // namespace

LogLineParser::Outcome CsvLineParser::parse(std::string_view line, LogFrame &frame,
                                            const char *&reason)
{
    size_t pos = 0;
    skipSpaces(line, pos);
    if (pos == line.size() || line[pos] == '#')
        return Outcome::Other;
    if (m_layout == Layout::Unknown) {
        const std::string_view first = line.substr(pos);
        if (first.substr(0, 4) == "time") {
            m_layout = Layout::Own;
            return Outcome::Other;   // the header row
        }
        if (first.substr(0, 11) == "Time Stamp,") {
            m_layout = Layout::Gvret;
            // Which cell holds what, by the header's names.
            static constexpr std::string_view kNames[] = {"Time Stamp", "ID", "Extended", "Dir",
                                                          "Bus", "LEN", "D1"};
            std::fill(std::begin(m_cell), std::end(m_cell), -1);
            size_t p = pos;
            bool more = true;
            for (int index = 0; more; ++index) {
                const std::string_view name = cell(line, p, more);
                for (int k = 0; k < 7; ++k)
                    if (name == kNames[k])
                        m_cell[k] = index;
            }
            return Outcome::Other;
        }
        if (first.empty() || ((first[0] < '0' || first[0] > '9') && first[0] != '-')) {
            m_layout = Layout::Foreign;
            return Outcome::Other;
        }
        m_layout = Layout::Own;
    }
    if (m_layout == Layout::Foreign)
        return Outcome::Other;
    if (m_layout == Layout::Gvret)
        return gvret(line, frame, reason);
    bool more = false;
    if (!parseFixed(cell(line, pos, more), 3, frame.timeUs)) {
        reason = "bad time";
        return Outcome::Bad;
    }
    const std::string_view idText = more ? cell(line, pos, more) : std::string_view();
    uint32_t id = 0;
    if (!parseHex(idText, id) || id > 0x1FFFFFFF) {
        reason = "bad identifier";
        return Outcome::Bad;
    }
    frame.id = id;
    frame.extended = idText.size() == 8 || id > 0x7FF;
    frame.remote = frame.error = frame.fd = false;
    uint32_t dlc = 0;
    if (!more || !parseDecimal(cell(line, pos, more), dlc, 2) || dlc > 15) {
        reason = "bad DLC";
        return Outcome::Bad;
    }
    frame.dlc = uint8_t(dlc);
    frame.length = uint8_t(dlc > 8 ? 8 : dlc);
    uint32_t bytes = 0;
    for (uint32_t k = 0; k < 8 && more; ++k) {
        const std::string_view b = cell(line, pos, more);
        if (k >= frame.length) {
            if (!b.empty()) {
                reason = "data beyond the DLC";
                return Outcome::Bad;
            }
            continue;
        }
        uint32_t v = 0;
        if (!parseHex(b, v, 2)) {
            reason = "bad data byte";
            return Outcome::Bad;
        }
        frame.data[k] = uint8_t(v);
        ++bytes;
    }
    if (more) {
        reason = "too many cells";
        return Outcome::Bad;
    }
    // A row cut short must still hold every byte its DLC announces.
    if (bytes < frame.length) {
        reason = "missing data byte";
        return Outcome::Bad;
    }
    return Outcome::Frame;
}

LogLineParser::Outcome CsvLineParser::gvret(std::string_view line, LogFrame &frame,
                                            const char *&reason)
{
    std::string_view cells[32];
    int n = 0;
    size_t pos = 0;
    bool more = true;
    while (more && n < 32)
        cells[n++] = cell(line, pos, more);
    const auto at = [&](int what) {
        return m_cell[what] >= 0 && m_cell[what] < n ? cells[m_cell[what]] : std::string_view();
    };
    frame = LogFrame();
    int64_t us = 0;
    if (!parseFixed(at(0), 0, us) || us < 0) {
        reason = "bad time";
        return Outcome::Bad;
    }
    frame.timeUs = us;
    uint32_t id = 0;
    if (!parseHex(at(1), id) || id > 0x1FFFFFFF) {
        reason = "bad identifier";
        return Outcome::Bad;
    }
    frame.id = id;
    const std::string_view ext = at(2);
    frame.extended = ext == "true" || ext == "True" || ext == "1" || id > 0x7FF;
    frame.tx = at(3) == "Tx" || at(3) == "TX";
    uint32_t bus = 0;
    if (!at(4).empty() && !parseDecimal(at(4), bus, 3)) {
        reason = "bad bus";
        return Outcome::Bad;
    }
    frame.channel = uint16_t(bus + 1);
    uint32_t dlc = 0;
    if (!parseDecimal(at(5), dlc, 2) || dlc > 8) {
        reason = "bad length";
        return Outcome::Bad;
    }
    frame.dlc = frame.length = uint8_t(dlc);
    for (uint32_t k = 0; k < dlc; ++k) {
        const int c = m_cell[6] + int(k);
        uint32_t b = 0;
        if (m_cell[6] < 0 || c >= n || !parseHex(cells[c], b, 2)) {
            reason = "bad or missing data byte";
            return Outcome::Bad;
        }
        frame.data[k] = uint8_t(b);
    }
    return Outcome::Frame;
}

void CsvLogWriter::begin(TextOutput &out, int64_t originUs)
{
    m_originUs = originUs;
    out.append(kHeader);
}

void CsvLogWriter::write(TextOutput &out, const LogFrame &f)
{
    char *p = out.reserve(96);
    int64_t t = f.timeUs - m_originUs;
    if (t < 0) {
        *p++ = '-';
        t = -t;
    }
    p = appendDecimal(p, uint64_t(t / 1000));
    *p++ = '.';
    p = appendDecimal(p, uint64_t(t % 1000), 3);
    *p++ = ',';
    p = f.extended ? appendHex(p, f.id, 8) : appendHexMinimal(p, f.id);
    *p++ = ',';
    p = appendDecimal(p, f.dlc);
    for (uint8_t k = 0; k < 8; ++k) {
        *p++ = ',';
        if (k < f.length)
            p = appendHexByte(p, f.data[k]);
    }
    *p++ = '\n';
    out.commit(p);
}
