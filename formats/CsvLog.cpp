#include "CsvLog.h"

#include "TextScan.h"

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
    if (line.substr(pos, 4) == "time")
        return Outcome::Other;   // the header row
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
