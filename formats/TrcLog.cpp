#include "TrcLog.h"

#include "TextScan.h"

#include <QDateTime>

#include <algorithm>
#include <cstdio>

using namespace textscan;

namespace {

constexpr int kMaxTokens = 80;

int tokenize(std::string_view line, std::string_view *out)
{
    size_t pos = 0;
    int n = 0;
    while (n < kMaxTokens) {
        skipSpaces(line, pos);
        if (pos == line.size())
            break;
        out[n++] = token(line, pos);
    }
    return n;
}

bool startsWith(std::string_view s, std::string_view prefix)
{
    return s.substr(0, prefix.size()) == prefix;
}

// Days since 30 Dec 1899 and the day's fraction, local time, in microseconds.
std::optional<int64_t> oleDateUs(std::string_view t)
{
    const size_t dot = t.find('.');
    uint32_t days = 0;
    if (!parseDecimal(t.substr(0, dot), days, 6))
        return std::nullopt;
    long double fraction = 0;
    if (dot != std::string_view::npos) {
        long double scale = 0.1L;
        for (char c : t.substr(dot + 1)) {
            if (c < '0' || c > '9')
                return std::nullopt;
            fraction += (c - '0') * scale;
            scale /= 10;
        }
    }
    const QDateTime midnight(QDate(1899, 12, 30).addDays(days), QTime(0, 0));
    if (!midnight.isValid())
        return std::nullopt;
    return midnight.toMSecsSinceEpoch() * 1000 + int64_t(fraction * 86400000000.0L + 0.5L);
}

// A frame's identifier: hexadecimal, 29-bit when written with more than four digits.
bool parseId(std::string_view t, LogFrame &f, const char *&reason)
{
    uint32_t id = 0;
    if (!parseHex(t, id) || id > 0x1FFFFFFF) {
        reason = "bad identifier";
        return false;
    }
    // No 11-bit identifier is above 7FF: such a one is taken as 29-bit.
    f.extended = t.size() > 4 || id > 0x7FF;
    f.id = id;
    return true;
}

// dlc and then its bytes (at most eight), or "RTR".
bool parseData(const std::string_view *tokens, int count, int at, LogFrame &f, bool dlcIsLength,
               const char *&reason)
{
    uint32_t dlc = 0;
    if (at >= count || !parseDecimal(tokens[at], dlc, 2) || dlc > (dlcIsLength ? 8u : 15u)) {
        reason = "bad DLC";
        return false;
    }
    f.dlc = uint8_t(dlc);
    f.length = uint8_t(dlc > 8 ? 8 : dlc);
    ++at;
    if (at < count && tokens[at] == "RTR") {
        f.remote = true;
        return true;
    }
    if (f.remote)
        return true;
    for (int k = 0; k < f.length; ++k) {
        uint32_t b = 0;
        if (at + k >= count || !parseHex(tokens[at + k], b, 2) || tokens[at + k].size() != 2) {
            reason = "bad or missing data byte";
            return false;
        }
        f.data[k] = uint8_t(b);
    }
    return true;
}

} // namespace

void TrcLineParser::setColumns(std::string_view text)
{
    m_columns.clear();
    for (char c : text)
        if (c != ',' && !isSpace(c))
            m_columns.push_back(c);
}

LogLineParser::Outcome TrcLineParser::parse(std::string_view line, LogFrame &frame,
                                            const char *&reason)
{
    size_t pos = 0;
    skipSpaces(line, pos);
    const std::string_view rest = line.substr(pos);
    if (rest.empty())
        return Outcome::Other;
    if (rest[0] == ';') {
        if (startsWith(rest, ";$FILEVERSION=")) {
            const std::string_view v = rest.substr(14);
            m_version = v.size() >= 3 && v[1] == '.' ? (v[0] - '0') * 10 + (v[2] - '0') : 10;
            if (m_version >= 20)
                m_columns = m_version == 20 ? "NOTIdlD" : "NOTBIdRLD";
        } else if (startsWith(rest, ";$STARTTIME=")) {
            m_startUs = oleDateUs(rest.substr(12));
        } else if (startsWith(rest, ";$COLUMNS=")) {
            setColumns(rest.substr(10));
        }
        return Outcome::Other;
    }
    if (CarBusSplitter::detect(rest)) {
        m_carBus = true;
        return Outcome::Other;
    }
    frame = LogFrame();
    frame.channel = 1;
    Outcome o;
    if (m_carBus)
        o = carBus(rest, frame, reason);
    else if (m_version >= 20)
        o = version2(rest, frame, reason);
    else
        o = version1(rest, frame, reason);
    if (o == Outcome::Frame)
        frame.timeUs += m_startUs.value_or(0);
    return o;
}

LogLineParser::Outcome TrcLineParser::version1(std::string_view line, LogFrame &f,
                                               const char *&reason)
{
    std::string_view t[kMaxTokens];
    const int n = tokenize(line, t);
    if (n < 3 || t[0].back() != ')') {
        reason = "not a trace line";
        return Outcome::Bad;
    }
    if (!parseFixed(t[1], 3, f.timeUs)) {
        reason = "bad time";
        return Outcome::Bad;
    }
    int at = 2;
    if (m_version >= 12) {
        uint32_t bus = 0;
        if (!parseDecimal(t[at], bus, 3)) {
            reason = "bad bus";
            return Outcome::Bad;
        }
        f.channel = uint16_t(bus);
        ++at;
    }
    if (m_version >= 11) {
        const std::string_view type = at < n ? t[at] : std::string_view();
        ++at;
        if (type == "Warng")
            return Outcome::Other;
        if (type == "Error") {
            f.error = true;
            return Outcome::Frame;
        }
        if (type != "Rx" && type != "Tx") {
            reason = "type is not Rx, Tx, Warng or Error";
            return Outcome::Bad;
        }
        f.tx = type == "Tx";
    }
    if (at >= n) {
        reason = "no identifier";
        return Outcome::Bad;
    }
    if (t[at] == "FFFFFFFF")
        return Outcome::Other;   // the bus state
    if (!parseId(t[at], f, reason))
        return Outcome::Bad;
    ++at;
    if (at < n && t[at] == "-")
        ++at;
    return parseData(t, n, at, f, false, reason) ? Outcome::Frame : Outcome::Bad;
}

LogLineParser::Outcome TrcLineParser::version2(std::string_view line, LogFrame &f,
                                               const char *&reason)
{
    std::string_view t[kMaxTokens];
    const int n = tokenize(line, t);
    int at = 0;
    std::string_view type;
    for (size_t c = 0; c < m_columns.size() && at < n; ++c) {
        const char column = m_columns[c];
        const std::string_view v = t[at];
        switch (column) {
        case 'N':
        case 'R':
            break;
        case 'O':
            if (!parseFixed(v, 3, f.timeUs)) {
                reason = "bad time";
                return Outcome::Bad;
            }
            break;
        case 'T':
            type = v;
            if (type == "ST" || type == "EC" || type == "EV")
                return Outcome::Other;
            if (type == "ER") {
                f.error = true;
            } else if (type == "FD" || type == "FB" || type == "FE" || type == "BI") {
                f.fd = true;
            } else if (type == "RR") {
                f.remote = true;
            } else if (type != "DT") {
                reason = "unknown message type";
                return Outcome::Bad;
            }
            break;
        case 'B': {
            uint32_t bus = 0;
            if (!parseDecimal(v, bus, 3)) {
                reason = "bad bus";
                return Outcome::Bad;
            }
            f.channel = uint16_t(bus);
            break;
        }
        case 'I':
            if (f.error && v == "-")
                break;
            if (!parseId(v, f, reason))
                return Outcome::Bad;
            break;
        case 'd':
            if (v != "Rx" && v != "Tx") {
                reason = "direction is not Rx or Tx";
                return Outcome::Bad;
            }
            f.tx = v == "Tx";
            break;
        case 'L':
        case 'l':
            if (f.error || f.fd)
                return Outcome::Frame;   // their bytes are not kept
            return parseData(t, n, at, f, column == 'l', reason) ? Outcome::Frame
                                                                   : Outcome::Bad;
        default:
            break;
        }
        ++at;
    }
    if (type.empty()) {
        reason = "line shorter than its columns";
        return Outcome::Bad;
    }
    if (f.error || f.fd)
        return Outcome::Frame;
    reason = "no data length";
    return Outcome::Bad;
}

LogLineParser::Outcome TrcLineParser::carBus(std::string_view line, LogFrame &f,
                                             const char *&reason)
{
    std::string_view cells[8];
    int n = 0;
    size_t start = 0;
    while (n < 8) {
        const size_t tab = line.find('\t', start);
        cells[n++] = line.substr(start, tab == std::string_view::npos ? tab : tab - start);
        if (tab == std::string_view::npos)
            break;
        start = tab + 1;
    }
    if (n < 6) {
        reason = "record has too few fields";
        return Outcome::Bad;
    }
    char time[32];
    if (cells[0].size() >= sizeof time) {
        reason = "bad time";
        return Outcome::Bad;
    }
    std::replace_copy(cells[0].begin(), cells[0].end(), time, ',', '.');
    uint32_t bus = 0;
    if (!parseSecondsUs(std::string_view(time, cells[0].size()), f.timeUs)
        || !parseDecimal(cells[1], bus, 3)) {
        reason = "bad time or bus";
        return Outcome::Bad;
    }
    f.channel = uint16_t(bus);
    uint32_t id = 0;
    if (!parseHex(cells[3], id) || id > 0x1FFFFFFF) {
        reason = "bad identifier";
        return Outcome::Bad;
    }
    f.id = id;
    f.extended = id > 0x7FF;
    std::string_view t[kMaxTokens];
    t[0] = cells[4];
    size_t pos = 0;
    int count = 1;
    while (count < kMaxTokens) {
        skipSpaces(cells[5], pos);
        if (pos == cells[5].size())
            break;
        t[count++] = token(cells[5], pos);
    }
    return parseData(t, count, 0, f, true, reason) ? Outcome::Frame : Outcome::Bad;
}

void CarBusSplitter::feed(std::string_view block, std::string &out)
{
    const size_t at = out.size();
    out.append(block);
    std::replace(out.begin() + ptrdiff_t(at), out.end(), '\r', '\n');
}

void TrcLogWriter::begin(TextOutput &out, int64_t originUs)
{
    m_originUs = (originUs / 1000 - (originUs % 1000 < 0 ? 1 : 0)) * 1000;
    const QDateTime start = QDateTime::fromMSecsSinceEpoch(m_originUs / 1000);
    const QDateTime midnight(start.date(), QTime(0, 0));
    const int64_t days = QDate(1899, 12, 30).daysTo(start.date());
    const int64_t ms = midnight.msecsTo(start);
    // The day's fraction to twelve places: read back, it gives the millisecond exactly.
    const int64_t fraction
        = int64_t((__int128(ms) * 1000000000000LL + 43200000) / 86400000);
    char line[160];
    std::snprintf(line, sizeof line,
                  ";$FILEVERSION=2.1\r\n;$STARTTIME=%lld.%012lld\r\n"
                  ";$COLUMNS=N,O,T,B,I,d,R,L,D\r\n;\r\n;   Start time: %s\r\n",
                  static_cast<long long>(days), static_cast<long long>(fraction),
                  qPrintable(start.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss.zzz"))));
    out.append(line);
    out.append(";---+-- ------+------ +- +- --+----- +- +- +--- +- -- -- -- -- -- -- --\r\n");
}

void TrcLogWriter::write(TextOutput &out, const LogFrame &f)
{
    char *p = out.reserve(128);
    const auto pad = [&](char *from, int width) {
        const ptrdiff_t used = p - from;
        if (used < width) {
            std::move_backward(from, p, from + width);
            std::fill(from, from + (width - used), ' ');
            p = from + width;
        }
    };
    char *field = p;
    p = appendDecimal(p, ++m_number);
    pad(field, 7);
    *p++ = ' ';
    const int64_t t = std::max<int64_t>(0, f.timeUs - m_originUs);
    field = p;
    p = appendDecimal(p, uint64_t(t / 1000));
    *p++ = '.';
    p = appendDecimal(p, uint64_t(t % 1000), 3);
    pad(field, 13);
    *p++ = ' ';
    *p++ = f.remote ? 'R' : 'D';
    *p++ = f.remote ? 'R' : 'T';
    *p++ = ' ';
    field = p;
    p = appendDecimal(p, f.channel == 0 ? 1 : f.channel);
    pad(field, 2);
    *p++ = ' ';
    field = p;
    p = f.extended ? appendHex(p, f.id, 8) : appendHex(p, f.id, 4);
    pad(field, 8);
    *p++ = ' ';
    *p++ = f.tx ? 'T' : 'R';
    *p++ = 'x';
    *p++ = ' ';
    *p++ = '-';
    *p++ = ' ';
    *p++ = ' ';
    field = p;
    p = appendDecimal(p, f.dlc);
    while (p - field < 4)
        *p++ = ' ';
    if (!f.remote)
        for (uint8_t k = 0; k < f.length && k < 8; ++k) {
            *p++ = ' ';
            p = appendHexByte(p, f.data[k]);
        }
    *p++ = '\r';
    *p++ = '\n';
    out.commit(p);
}
