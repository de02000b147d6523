#include "AscLog.h"

#include "TextScan.h"

#include <QDateTime>

#include <algorithm>
#include <cstdio>

using namespace textscan;

namespace {

constexpr const char *kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char *kWeekdays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};

bool startsWith(std::string_view s, std::string_view prefix)
{
    return s.substr(0, prefix.size()) == prefix;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if ((a[i] | 0x20) != (b[i] | 0x20))
            return false;
    return true;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && equalsNoCase(s.substr(0, prefix.size()), prefix);
}

// 0 … 11, or -1. German names where they differ from English: "Mär" (UTF-8 or
// Latin-1), "Mrz", "Mai", "Okt", "Dez".
int monthOf(std::string_view t)
{
    for (int m = 0; m < 12; ++m)
        if (equalsNoCase(t, kMonths[m]))
            return m;
    if (t == "M\xC3\xA4r" || t == "M\xE4r" || equalsNoCase(t, "Mrz"))
        return 2;
    if (equalsNoCase(t, "Mai"))
        return 4;
    if (equalsNoCase(t, "Okt"))
        return 9;
    if (equalsNoCase(t, "Dez"))
        return 11;
    return -1;
}

bool isIdToken(std::string_view t)
{
    if (t.empty())
        return false;
    if (t.back() == 'x' || t.back() == 'X')
        t.remove_suffix(1);
    if (t.empty())
        return false;
    for (char c : t)
        if (hexDigit(c) < 0)
            return false;
    return true;
}

bool isDigits(std::string_view t)
{
    if (t.empty())
        return false;
    for (char c : t)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// "h:mm:ss[.fraction]", each field one or two digits; the fraction of any length, in
// microseconds (digits beyond the sixth dropped).
bool parseClock(std::string_view t, uint32_t &h, uint32_t &m, uint32_t &s, uint32_t &us)
{
    const size_t c1 = t.find(':');
    const size_t c2 = c1 == std::string_view::npos ? c1 : t.find(':', c1 + 1);
    if (c2 == std::string_view::npos)
        return false;
    std::string_view secText = t.substr(c2 + 1);
    us = 0;
    if (const size_t dot = secText.find('.'); dot != std::string_view::npos) {
        const std::string_view frac = secText.substr(dot + 1);
        if (!isDigits(frac))
            return false;
        uint32_t scale = 100000;
        for (size_t i = 0; i < frac.size() && i < 6; ++i, scale /= 10)
            us += uint32_t(frac[i] - '0') * scale;
        secText = secText.substr(0, dot);
    }
    return parseDecimal(t.substr(0, c1), h, 2) && parseDecimal(t.substr(c1 + 1, c2 - c1 - 1), m, 2)
           && parseDecimal(secText, s, 2) && t.substr(c1 + 1, c2 - c1 - 1).size() >= 1;
}

int64_t floorDiv(int64_t a, int64_t b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

} // namespace

std::optional<int64_t> AscLineParser::parseDate(std::string_view text)
{
    size_t pos = 0;
    std::string_view parts[7];
    int n = 0;
    for (; n < 7; ++n) {
        skipSpaces(text, pos);
        parts[n] = token(text, pos);
        if (parts[n].empty())
            break;
    }
    // [weekday] month day time [am|pm] year
    int at = 0;
    if (n > 0 && monthOf(parts[0]) < 0)
        at = 1;
    if (n - at < 4)
        return std::nullopt;
    const int month = monthOf(parts[at]);
    uint32_t day = 0, year = 0, hour = 0, minute = 0, second = 0, micro = 0;
    if (month < 0 || !parseDecimal(parts[at + 1], day, 2)
        || !parseClock(parts[at + 2], hour, minute, second, micro))
        return std::nullopt;
    std::string_view yearText = parts[at + 3];
    if (equalsNoCase(yearText, "am") || equalsNoCase(yearText, "pm")) {
        if (n - at < 5 || hour < 1 || hour > 12)
            return std::nullopt;
        hour %= 12;
        if (equalsNoCase(yearText, "pm"))
            hour += 12;
        yearText = parts[at + 4];
    }
    if (!parseDecimal(yearText, year, 4) || year < 1000)
        return std::nullopt;
    const QTime time{int(hour), int(minute), int(second)};
    const QDateTime dt(QDate(int(year), month + 1, int(day)), time);
    if (!time.isValid() || !dt.isValid())
        return std::nullopt;
    return dt.toMSecsSinceEpoch() * 1000 + micro;
}

std::optional<int64_t> AscLineParser::startUs() const
{
    const std::optional<int64_t> start = m_triggerUs ? m_triggerUs : m_dateUs;
    if (start && *start < 0)
        return std::nullopt;
    return start;
}

bool AscLineParser::parseByte(std::string_view text, uint8_t &value) const
{
    uint32_t b = 0;
    const bool ok = m_decimal ? parseDecimal(text, b, 3) && b <= 255
                              : text.size() <= 2 && parseHex(text, b, 2);
    value = uint8_t(b);
    return ok;
}

bool AscLineParser::parseBytes(std::string_view line, size_t &pos, uint32_t count,
                               uint8_t *data) const
{
    for (uint32_t k = 0; k < count; ++k) {
        skipSpaces(line, pos);
        if (!parseByte(token(line, pos), data[k]))
            return false;
    }
    return true;
}

LogLineParser::Outcome AscLineParser::parse(std::string_view line, LogFrame &frame,
                                            const char *&reason)
{
    size_t pos = 0;
    skipSpaces(line, pos);
    const std::string_view rest = line.substr(pos);
    if (rest.empty() || startsWith(rest, "//"))
        return Outcome::Other;
    if (rest[0] >= '0' && rest[0] <= '9')
        return frameLine(line, pos, frame, reason);
    if (rest[0] == '-' && rest.size() > 1 && rest[1] >= '0' && rest[1] <= '9')
        return frameLine(line, pos, frame, reason);
    if (startsWithNoCase(rest, "date ")) {
        // Files that hold several sessions (BUSMASTER appends them) go on counting their
        // times from the first date, as python-can and asc2log read them.
        if (!m_dateSeen)
            m_dateUs = parseDate(rest.substr(5));
        m_dateSeen = true;
        return Outcome::Other;
    }
    if (startsWithNoCase(rest, "base ")) {
        size_t p = 5;
        skipSpaces(rest, p);
        m_decimal = startsWithNoCase(rest.substr(p), "dec");
        m_baseSeen = true;
        m_relative = rest.find("timestamps relative") != std::string_view::npos;
        return Outcome::Other;
    }
    if (startsWithNoCase(rest, "begin triggerblock")) {
        size_t p = 18;
        skipSpaces(rest, p);
        if (p < rest.size())
            if (const auto t = parseDate(rest.substr(p)))
                m_triggerUs = t;
        m_lastUs = 0;
        return Outcome::Other;
    }
    // "no internal events logged", "End TriggerBlock", and other words that name what the
    // file holds.
    return Outcome::Other;
}

LogLineParser::Outcome AscLineParser::fdLine(std::string_view line, size_t pos, LogFrame &frame,
                                             const char *&reason)
{
    frame = LogFrame();
    frame.fd = true;
    uint32_t ch = 0;
    if (!parseDecimal(token(line, pos), ch, 3)) {
        reason = "bad CAN FD channel";
        return Outcome::Bad;
    }
    frame.channel = uint16_t(ch);
    skipSpaces(line, pos);
    const std::string_view direction = token(line, pos);
    frame.tx = direction == "Tx";
    skipSpaces(line, pos);
    const std::string_view idText = token(line, pos);
    if (idText == "ErrorFrame") {
        frame.error = true;
        return Outcome::Frame;
    }
    if ((direction != "Rx" && direction != "Tx") || !isIdToken(idText)) {
        reason = "bad CAN FD frame";
        return Outcome::Bad;
    }
    std::string_view digits = idText;
    frame.extended = digits.back() == 'x' || digits.back() == 'X';
    if (frame.extended)
        digits.remove_suffix(1);
    uint32_t id = 0;
    if (!(m_decimal ? parseDecimal(digits, id, 10) : parseHex(digits, id)) || id > 0x1FFFFFFF) {
        reason = "bad identifier";
        return Outcome::Bad;
    }
    frame.extended = frame.extended || id > 0x7FF;
    frame.id = id;
    // [symbolic name] brs esi dlc length bytes…
    skipSpaces(line, pos);
    std::string_view brs = token(line, pos);
    if (!isDigits(brs)) {
        skipSpaces(line, pos);
        brs = token(line, pos);
    }
    skipSpaces(line, pos);
    const std::string_view esi = token(line, pos);
    skipSpaces(line, pos);
    uint32_t dlc = 0, length = 0;
    const bool ok = isDigits(brs) && isDigits(esi) && parseHex(token(line, pos), dlc, 1);
    skipSpaces(line, pos);
    if (!ok || !parseDecimal(token(line, pos), length, 2) || length > 64) {
        reason = "bad CAN FD length";
        return Outcome::Bad;
    }
    if (!parseBytes(line, pos, length, frame.data)) {
        reason = "bad or missing data byte";
        return Outcome::Bad;
    }
    frame.length = uint8_t(length);
    frame.dlc = uint8_t(dlc);
    return Outcome::Frame;
}

LogLineParser::Outcome AscLineParser::frameLine(std::string_view line, size_t pos,
                                                LogFrame &frame, const char *&reason)
{
    int64_t t = 0;
    if (!parseSecondsUs(token(line, pos), t)) {
        reason = "bad time";
        return Outcome::Bad;
    }
    skipSpaces(line, pos);
    const std::string_view channel = token(line, pos);
    skipSpaces(line, pos);
    if (channel == "CANFD") {
        const Outcome o = fdLine(line, pos, frame, reason);
        if (o != Outcome::Frame)
            return o;
    } else {
        uint32_t ch = 0;
        if (!parseDecimal(channel, ch, 3))
            return Outcome::Other;   // "Start of measurement" and similar events
        const std::string_view idText = token(line, pos);
        if (idText == "ErrorFrame") {
            frame = LogFrame();
            frame.error = true;
        } else {
            if (!isIdToken(idText))
                return Outcome::Other;   // "Statistic:", "Status:", …
            std::string_view digits = idText;
            frame.extended = digits.back() == 'x' || digits.back() == 'X';
            if (frame.extended)
                digits.remove_suffix(1);
            skipSpaces(line, pos);
            const std::string_view direction = token(line, pos);
            if (direction != "Rx" && direction != "Tx") {
                reason = "direction is not Rx or Tx";
                return Outcome::Bad;
            }
            frame.tx = direction == "Tx";
            skipSpaces(line, pos);
            const std::string_view kind = token(line, pos);
            skipSpaces(line, pos);
            const size_t afterKind = pos;
            uint32_t dlc = 0;
            const std::string_view dlcText = token(line, pos);
            if (!m_baseSeen && !m_framesSeen && kind == "d") {
                // BUSMASTER's decimal logs say so only by their three-digit bytes.
                size_t p = pos;
                skipSpaces(line, p);
                const std::string_view first = token(line, p);
                m_decimal = first.size() == 3 && isDigits(first);
            }
            uint32_t id = 0;
            const bool idOk = m_decimal ? parseDecimal(digits, id, 10) : parseHex(digits, id);
            if (!idOk || id > 0x1FFFFFFF) {
                reason = "bad identifier";
                return Outcome::Bad;
            }
            // No 11-bit identifier is that large: it is a 29-bit one without its 'x'.
            frame.extended = frame.extended || id > 0x7FF;
            frame.id = id;
            frame.error = false;
            frame.fd = false;
            if (kind == "r") {
                // "r", "r 8", "r Length = …": a length only when a digit follows.
                frame.remote = true;
                if (dlcText.size() == 1 && parseHex(dlcText, dlc, 1)) {
                    if (dlc > 8) {
                        reason = "bad remote frame length";
                        return Outcome::Bad;
                    }
                    frame.dlc = uint8_t(dlc);
                } else {
                    frame.dlc = 0;
                    pos = afterKind;
                }
                frame.length = uint8_t(frame.dlc > 8 ? 8 : frame.dlc);
            } else if (kind == "d") {
                frame.remote = false;
                if (!parseHex(dlcText, dlc, 1)) {
                    reason = "bad DLC";
                    return Outcome::Bad;
                }
                const uint32_t n = dlc > 8 ? 8 : dlc;
                if (!parseBytes(line, pos, n, frame.data)) {
                    reason = "bad or missing data byte";
                    return Outcome::Bad;
                }
                frame.length = uint8_t(n);
                frame.dlc = uint8_t(dlc);
            } else {
                reason = "frame type is not d or r";
                return Outcome::Bad;
            }
        }
        frame.channel = uint16_t(ch);
    }
    m_framesSeen = true;
    if (m_relative) {
        m_lastUs += t;
        t = m_lastUs;
    }
    frame.timeUs = startUs().value_or(0) + t;
    return Outcome::Frame;
}

std::string AscLogWriter::dateText(int64_t epochUs)
{
    const QDateTime dt = QDateTime::fromMSecsSinceEpoch(floorDiv(epochUs, 1000));
    const QDate d = dt.date();
    const QTime t = dt.time();
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s %s %02d %02d:%02d:%02d.%03d %d",
                  kWeekdays[(d.dayOfWeek() + 6) % 7], kMonths[(d.month() + 11) % 12], d.day(),
                  t.hour(), t.minute(), t.second(), t.msec(), d.year());
    return buffer;
}

void AscLogWriter::begin(TextOutput &out, int64_t originUs)
{
    m_originUs = floorDiv(originUs, 1000) * 1000;
    const std::string date = dateText(m_originUs);
    out.append("date " + date + "\n");
    out.append("base hex  timestamps absolute\n");
    out.append("no internal events logged\n");
    out.append("Begin Triggerblock " + date + "\n");
    out.append("   0.000000 Start of measurement\n");
}

void AscLogWriter::end(TextOutput &out)
{
    out.append("End TriggerBlock\n");
}

void AscLogWriter::write(TextOutput &out, const LogFrame &f)
{
    char *p = out.reserve(96);
    // Never before the origin: the conversion starts the file at its earliest frame.
    const int64_t t = std::max<int64_t>(0, f.timeUs - m_originUs);
    // Seconds right-aligned in four places, as log2asc writes them.
    char seconds[24];
    char *end = seconds + sizeof seconds;
    char *first = writeDecimalBackwards(end, uint64_t(t / 1000000));
    for (ptrdiff_t width = end - first; width < 4; ++width)
        *p++ = ' ';
    p = std::copy(first, end, p);
    *p++ = '.';
    p = appendDecimal(p, uint64_t(t % 1000000), 6);
    *p++ = ' ';
    p = appendDecimal(p, f.channel == 0 ? 1 : f.channel);
    if (f.error) {
        static constexpr std::string_view text = "  ErrorFrame\n";
        p = std::copy(text.begin(), text.end(), p);
        out.commit(p);
        return;
    }
    *p++ = ' ';
    *p++ = ' ';
    char *idStart = p;
    p = appendHexMinimal(p, f.id);
    if (f.extended)
        *p++ = 'x';
    while (p - idStart < 15)
        *p++ = ' ';
    const std::string_view dir = f.tx ? " Tx   " : " Rx   ";
    p = std::copy(dir.begin(), dir.end(), p);
    if (f.remote) {
        *p++ = 'r';
        *p++ = ' ';
        *p++ = kUpperHex[f.dlc & 15];
    } else {
        *p++ = 'd';
        *p++ = ' ';
        *p++ = kUpperHex[f.dlc & 15];
        const uint8_t n = f.length > 8 ? 8 : f.length;
        for (uint8_t k = 0; k < n; ++k) {
            *p++ = ' ';
            p = appendHexByte(p, f.data[k]);
        }
    }
    *p++ = '\n';
    out.commit(p);
}
