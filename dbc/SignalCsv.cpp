#include "SignalCsv.h"

#include <charconv>

namespace signalcsv {

namespace {

void appendTime(std::string &out, int64_t us)
{
    char buffer[32];
    char *p = buffer;
    uint64_t magnitude = uint64_t(us);
    if (us < 0) {
        *p++ = '-';
        magnitude = 0 - magnitude;
    }
    p = std::to_chars(p, buffer + sizeof buffer, magnitude / 1000).ptr;
    const unsigned fraction = unsigned(magnitude % 1000);
    *p++ = '.';
    *p++ = char('0' + fraction / 100);
    *p++ = char('0' + fraction / 10 % 10);
    *p++ = char('0' + fraction % 10);
    out.append(buffer, size_t(p - buffer));
}

void appendId(std::string &out, const DbcMessage &m)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    const int digits = m.extended ? 8 : 3;
    char buffer[9];
    for (int i = 0; i < digits; ++i)
        buffer[i] = kHex[(m.id >> (4 * (digits - 1 - i))) & 0xF];
    out.append(buffer, size_t(digits));
    if (m.extended)
        out.push_back('x');
}

} // namespace

void appendField(std::string &out, std::string_view text)
{
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out.append(text);
        return;
    }
    out.push_back('"');
    for (char c : text) {
        if (c == '"')
            out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
}

void appendNumber(std::string &out, double value)
{
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, size_t(r.ptr - buffer));
}

void appendRows(std::string &out, int64_t timeUs, const DbcMessage &message,
                const DecodedSignal *signalList, int count)
{
    if (count <= 0)
        return;
    // The row's start is the same for every signal of the frame.
    const size_t prefixStart = out.size();
    appendTime(out, timeUs);
    out.push_back(',');
    appendId(out, message);
    out.push_back(',');
    appendField(out, message.name);
    out.push_back(',');
    const size_t prefixLength = out.size() - prefixStart;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            out.append(out, prefixStart, prefixLength);
        const DecodedSignal &d = signalList[i];
        appendField(out, d.signal->name);
        out.push_back(',');
        appendNumber(out, d.value);
        out.push_back(',');
        appendField(out, d.signal->unit);
        out.push_back(',');
        appendField(out, d.valueName());
        out.push_back('\n');
    }
}

} // namespace signalcsv
