#include "AscLog.h"

#include "TextScan.h"

#include <QDateTime>

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

} // namespace

std::optional<int64_t> AscLineParser::parseDate(std::string_view text)
{
    size_t pos = 0;
    std::string_view parts[6];
    int n = 0;
    for (; n < 6; ++n) {
        skipSpaces(text, pos);
        parts[n] = token(text, pos);
        if (parts[n].empty())
            break;
    }
    // weekday month day time [am|pm] year
    if (n < 5)
        return std::nullopt;
    int month = 0;
    while (month < 12 && !equalsNoCase(parts[1], kMonths[month]))
        ++month;
    uint32_t day = 0, year = 0, hour = 0, minute = 0, second = 0, milli = 0;
    if (month == 12 || !parseDecimal(parts[2], day, 2))
        return std::nullopt;
    const std::string_view clock = parts[3];
    if (clock.size() < 8 || clock[2] != ':' || clock[5] != ':'
        || !parseDecimal(clock.substr(0, 2), hour) || !parseDecimal(clock.substr(3, 2), minute)
        || !parseDecimal(clock.substr(6, 2), second))
        return std::nullopt;
    if (clock.size() > 8 && (clock[8] != '.' || !parseDecimal(clock.substr(9), milli, 3)))
        return std::nullopt;
    std::string_view yearText = parts[4];
    if (equalsNoCase(parts[4], "am") || equalsNoCase(parts[4], "pm")) {
        if (n < 6)
            return std::nullopt;
        hour %= 12;
        if (equalsNoCase(parts[4], "pm"))
            hour += 12;
        yearText = parts[5];
    }
    if (!parseDecimal(yearText, year, 4))
        return std::nullopt;
    const QDateTime dt(QDate(int(year), month + 1, int(day)),
                       QTime(int(hour), int(minute), int(second), int(milli)));
    if (!dt.isValid())
        return std::nullopt;
    return dt.toMSecsSinceEpoch() * 1000;
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
    if (startsWith(rest, "date ")) {
        if (const auto start = parseDate(rest.substr(5)))
            m_startUs = *start;
        return Outcome::Other;
    }
    if (startsWith(rest, "base ")) {
        m_decimal = rest.find(" dec") != std::string_view::npos;
        m_relative = rest.find("timestamps relative") != std::string_view::npos;
        return Outcome::Other;
    }
    // "no internal events logged", "Begin Triggerblock …", "End TriggerBlock", and other
    // words that name what the file holds.
    return Outcome::Other;
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
        frame = LogFrame();
        frame.fd = true;
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
            uint32_t id = 0;
            const bool idOk = m_decimal ? parseDecimal(digits, id, 10) : parseHex(digits, id);
            if (!idOk || id > 0x1FFFFFFF) {
                reason = "bad identifier";
                return Outcome::Bad;
            }
            frame.id = id;
            frame.error = false;
            frame.fd = false;
            skipSpaces(line, pos);
            const std::string_view direction = token(line, pos);
            if (direction != "Rx" && direction != "Tx") {
                reason = "direction is not Rx or Tx";
                return Outcome::Bad;
            }
            skipSpaces(line, pos);
            const std::string_view kind = token(line, pos);
            skipSpaces(line, pos);
            uint32_t dlc = 0;
            const std::string_view dlcText = token(line, pos);
            if (kind == "r") {
                frame.remote = true;
                if (!dlcText.empty() && (!parseHex(dlcText, dlc, 1) || dlc > 8)) {
                    reason = "bad remote frame length";
                    return Outcome::Bad;
                }
                frame.length = uint8_t(dlc);
                frame.dlc = frame.length;
            } else if (kind == "d") {
                frame.remote = false;
                if (!parseHex(dlcText, dlc, 1)) {
                    reason = "bad DLC";
                    return Outcome::Bad;
                }
                const uint32_t n = dlc > 8 ? 8 : dlc;
                for (uint32_t k = 0; k < n; ++k) {
                    skipSpaces(line, pos);
                    const std::string_view byteText = token(line, pos);
                    uint32_t b = 0;
                    const bool ok = m_decimal ? parseDecimal(byteText, b, 3) && b <= 255
                                              : byteText.size() == 2 && parseHex(byteText, b, 2);
                    if (!ok) {
                        reason = "bad or missing data byte";
                        return Outcome::Bad;
                    }
                    frame.data[k] = uint8_t(b);
                }
                frame.length = uint8_t(n);
                frame.dlc = uint8_t(dlc);
            } else {
                reason = "frame type is not d or r";
                return Outcome::Bad;
            }
        }
    }
    if (m_relative) {
        m_lastUs += t;
        t = m_lastUs;
    }
    frame.timeUs = m_startUs + t;
    return Outcome::Frame;
}

std::string AscLogWriter::dateText(int64_t epochUs)
{
    const QDateTime dt = QDateTime::fromMSecsSinceEpoch(epochUs / 1000);
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
    m_originUs = originUs;
    const std::string date = dateText(originUs);
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
    int64_t t = f.timeUs - m_originUs;
    const bool negative = t < 0;
    if (negative)
        t = -t;
    // Seconds right-aligned in four places, as log2asc writes them.
    char seconds[24];
    char *end = seconds + sizeof seconds;
    char *first = writeDecimalBackwards(end, uint64_t(t / 1000000));
    if (negative)
        *--first = '-';
    for (ptrdiff_t width = end - first; width < 4; ++width)
        *p++ = ' ';
    p = std::copy(first, end, p);
    *p++ = '.';
    p = appendDecimal(p, uint64_t(t % 1000000), 6);
    if (f.error) {
        static constexpr std::string_view text = " 1  ErrorFrame\n";
        p = std::copy(text.begin(), text.end(), p);
        out.commit(p);
        return;
    }
    static constexpr std::string_view channel = " 1  ";
    p = std::copy(channel.begin(), channel.end(), p);
    char *idStart = p;
    p = appendHexMinimal(p, f.id);
    if (f.extended)
        *p++ = 'x';
    while (p - idStart < 15)
        *p++ = ' ';
    static constexpr std::string_view rx = " Rx   ";
    p = std::copy(rx.begin(), rx.end(), p);
    if (f.remote) {
        *p++ = 'r';
        *p++ = ' ';
        *p++ = kUpperHex[f.length & 15];
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
