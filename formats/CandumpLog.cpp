#include "CandumpLog.h"

#include "TextScan.h"

using namespace textscan;

namespace {

constexpr uint32_t kErrorFlag = 0x20000000;

bool isFdLength(size_t n)
{
    return n <= 8 || n == 12 || n == 16 || n == 20 || n == 24 || n == 32 || n == 48 || n == 64;
}

// Pairs of hex digits, optionally separated by dots, up to max bytes.
bool parseBytes(std::string_view t, uint8_t *data, size_t max, uint8_t &length)
{
    size_t n = 0;
    size_t i = 0;
    while (i < t.size()) {
        if (t[i] == '.') {
            ++i;
            continue;
        }
        if (i + 1 >= t.size() || n == max)
            return false;
        const int hi = hexDigit(t[i]);
        const int lo = hexDigit(t[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        data[n++] = uint8_t(hi << 4 | lo);
        i += 2;
    }
    length = uint8_t(n);
    return true;
}

} // namespace

bool CandumpLineParser::parseFrameText(std::string_view text, LogFrame &frame,
                                       const char *&reason)
{
    const size_t hash = text.find('#');
    if (hash == std::string_view::npos) {
        reason = "no '#' in the frame";
        return false;
    }
    uint32_t id = 0;
    const std::string_view idText = text.substr(0, hash);
    if ((idText.size() != 3 && idText.size() != 8) || !parseHex(idText, id)) {
        reason = "identifier is not 3 or 8 hex digits";
        return false;
    }
    frame.extended = idText.size() == 8;
    frame.error = frame.extended && (id & kErrorFlag) != 0;
    frame.id = frame.extended ? id & 0x1FFFFFFF : id;
    frame.remote = false;
    frame.fd = false;
    std::string_view rest = text.substr(hash + 1);

    if (!rest.empty() && rest[0] == '#') {
        frame.fd = true;
        if (rest.size() < 2 || hexDigit(rest[1]) < 0) {
            reason = "CAN FD flags missing";
            return false;
        }
        if (!parseBytes(rest.substr(2), frame.data, 64, frame.length)
            || !isFdLength(frame.length)) {
            reason = "bad CAN FD data";
            return false;
        }
        frame.dlc = frame.length;
        return true;
    }
    if (!rest.empty() && (rest[0] == 'R' || rest[0] == 'r')) {
        frame.remote = true;
        frame.length = 0;
        if (rest.size() >= 2) {
            const int n = hexDigit(rest[1]);
            if (n < 0 || n > 8 || (rest.size() > 2 && rest[2] != '_') || rest.size() == 3) {
                reason = "bad remote frame length";
                return false;
            }
            frame.length = uint8_t(n);
        }
        frame.dlc = frame.length;
        return true;
    }
    // A classic DLC above 8 is written after the eight bytes: 123#1122334455667788_C.
    uint8_t dlc = 0;
    bool hasDlc = false;
    if (rest.size() >= 2 && rest[rest.size() - 2] == '_') {
        const int d = hexDigit(rest.back());
        if (d < 9) {
            reason = "bad DLC after '_'";
            return false;
        }
        dlc = uint8_t(d);
        hasDlc = true;
        rest.remove_suffix(2);
    }
    if (!parseBytes(rest, frame.data, 8, frame.length)) {
        reason = "bad data bytes";
        return false;
    }
    if (hasDlc && frame.length != 8) {
        reason = "DLC above 8 needs eight bytes";
        return false;
    }
    frame.dlc = hasDlc ? dlc : frame.length;
    return true;
}

LogLineParser::Outcome CandumpLineParser::parse(std::string_view line, LogFrame &frame,
                                                const char *&reason)
{
    size_t pos = 0;
    skipSpaces(line, pos);
    if (pos == line.size() || line[pos] == '#' || line[pos] == ';')
        return Outcome::Other;
    if (line[pos] != '(') {
        reason = "no '(' before the time";
        return Outcome::Bad;
    }
    const size_t close = line.find(')', pos);
    if (close == std::string_view::npos) {
        reason = "no ')' after the time";
        return Outcome::Bad;
    }
    if (!parseSecondsUs(line.substr(pos + 1, close - pos - 1), frame.timeUs)
        || frame.timeUs < 0) {
        reason = "bad time";
        return Outcome::Bad;
    }
    pos = close + 1;
    skipSpaces(line, pos);
    const std::string_view iface = token(line, pos);
    if (iface.empty()) {
        reason = "no interface";
        return Outcome::Bad;
    }
    skipSpaces(line, pos);
    const std::string_view frameText = token(line, pos);
    if (frameText.empty()) {
        reason = "no frame";
        return Outcome::Bad;
    }
    skipSpaces(line, pos);
    const std::string_view direction = token(line, pos);
    skipSpaces(line, pos);
    if (pos != line.size() || (!direction.empty() && direction != "R" && direction != "T")) {
        reason = "unexpected text after the frame";
        return Outcome::Bad;
    }
    if (!parseFrameText(frameText, frame, reason))
        return Outcome::Bad;
    frame.channel = channelOfInterface(iface);
    frame.tx = direction == "T";
    return Outcome::Frame;
}

uint16_t CandumpLineParser::channelOfInterface(std::string_view name)
{
    // can0 is channel 1: the number the interface's name ends in, plus one.
    size_t digits = 0;
    while (digits < name.size() && digits < 4 && name[name.size() - 1 - digits] >= '0'
           && name[name.size() - 1 - digits] <= '9')
        ++digits;
    uint32_t n = 0;
    if (digits == 0 || !parseDecimal(name.substr(name.size() - digits), n) || n >= 0xFFFF)
        return 1;
    return uint16_t(n + 1);
}

void CandumpLogWriter::write(TextOutput &out, const LogFrame &f)
{
    char *p = out.reserve(64 + 2 * 64);
    const int64_t t = f.timeUs;   // never negative: the conversion holds such frames back
    *p++ = '(';
    p = appendDecimal(p, uint64_t(t / 1000000), 10);
    *p++ = '.';
    p = appendDecimal(p, uint64_t(t % 1000000), 6);
    static constexpr std::string_view iface = ") can";
    p = std::copy(iface.begin(), iface.end(), p);
    p = appendDecimal(p, f.channel == 0 ? 0 : f.channel - 1);
    *p++ = ' ';
    if (f.error) {
        // SocketCAN's error frame: the error flag with the bus-error class, eight bytes.
        static constexpr std::string_view error = "20000080#0000000000000000\n";
        p = std::copy(error.begin(), error.end(), p);
        out.commit(p);
        return;
    }
    if (f.extended)
        p = appendHex(p, f.id, 8);
    else
        p = appendHex(p, f.id, 3);
    *p++ = '#';
    if (f.fd) {
        *p++ = '#';
        *p++ = '0';
    }
    if (f.remote) {
        *p++ = 'R';
        if (f.length > 0 && f.length <= 8)
            *p++ = kUpperHex[f.length];
    } else {
        const uint8_t n = f.fd ? f.length : uint8_t(f.length > 8 ? 8 : f.length);
        for (uint8_t k = 0; k < n; ++k)
            p = appendHexByte(p, f.data[k]);
        if (!f.fd && n == 8 && f.dlc > 8 && f.dlc <= 15) {
            *p++ = '_';
            *p++ = kUpperHex[f.dlc];
        }
    }
    if (f.tx) {
        *p++ = ' ';
        *p++ = 'T';
    }
    *p++ = '\n';
    out.commit(p);
}
