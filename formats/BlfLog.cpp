#include "BlfLog.h"

#include "LogInput.h"
#include "TextOutput.h"

#include <QDateTime>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace blf {

namespace {

uint16_t u16(const char *p)
{
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
uint32_t u32(const char *p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
uint64_t u64(const char *p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// SYSTEMTIME: year, month, weekday, day, hour, minute, second, milliseconds; local time.
std::optional<int64_t> systemTimeUs(const char *p)
{
    const QDate date(u16(p), u16(p + 2), u16(p + 6));
    const QTime time(u16(p + 8), u16(p + 10), u16(p + 12), u16(p + 14));
    if (!date.isValid() || !time.isValid() || date.year() < 1980)
        return std::nullopt;
    return QDateTime(date, time).toMSecsSinceEpoch() * 1000;
}

// Pulls the file's bytes through a buffer of its own.
class Bytes
{
public:
    explicit Bytes(LogInputBytes &in) : m_in(in) {}

    // Exactly n bytes into out, or false (the end, or a failure: failed() tells). The
    // buffer grows with what arrives, never to a size the file only claims.
    bool take(size_t n, std::string &out)
    {
        out.clear();
        while (out.size() < n) {
            const size_t at = out.size();
            const size_t step = std::min<size_t>(n - at, 1 << 20);
            out.resize(at + step);
            const int64_t got = m_in.read(out.data() + at, int64_t(step));
            if (got < 0)
                m_failed = true;
            out.resize(at + size_t(std::max<int64_t>(got, 0)));
            if (got <= 0)
                break;
        }
        return out.size() == n;
    }
    bool failed() const { return m_failed; }

private:
    LogInputBytes &m_in;
    bool m_failed = false;
};

class Parser
{
public:
    Parser(LogSink &sink, std::optional<int64_t> startUs) : m_sink(sink), m_startUs(startUs) {}

    // The objects of a container's contents, which may end in the middle of one.
    void contents(std::string_view block)
    {
        m_inner.append(block);
        size_t pos = 0;
        while (m_inner.size() - pos >= 16) {
            if (std::memcmp(m_inner.data() + pos, "LOBJ", 4) != 0) {
                // Padding before the next object, or damage: look for the next signature.
                const size_t next = m_inner.find("LOBJ", pos + 1);
                if (next == std::string::npos) {
                    pos = m_inner.size() - 3;
                    break;
                }
                if (next - pos > 8)
                    bad("no object where one should start");
                pos = next;
                continue;
            }
            const uint32_t size = u32(m_inner.data() + pos + 8);
            if (size < 16 || size > kMaxObjectBytes) {
                bad("object size out of range");
                pos += 4;
                continue;
            }
            if (m_inner.size() - pos < size)
                break;   // continues in the next container
            object(std::string_view(m_inner.data() + pos, size));
            pos += size;
        }
        m_inner.erase(0, pos);
    }

    // One object, signature and size already checked.
    void object(std::string_view o)
    {
        ++m_objects;
        const uint16_t headerSize = u16(o.data() + 4);
        const uint16_t version = u16(o.data() + 6);
        const uint32_t type = u32(o.data() + 12);
        if (type == kLogContainer) {
            bad("container inside a container");
            return;
        }
        if (type != kCanMessage && type != kCanMessage2 && type != kCanError
            && type != kCanErrorExt && type != kCanFdMessage && type != kCanFdMessage64) {
            ++result.other;
            return;
        }
        if ((version != 1 && version != 2) || headerSize < 32 || headerSize > o.size()) {
            bad("object header not understood");
            return;
        }
        const uint32_t flags = u32(o.data() + 16);
        const uint64_t stamp = u64(o.data() + 24);
        if (stamp > (flags == 1 ? uint64_t(INT64_MAX / 20) : uint64_t(INT64_MAX / 2))) {
            bad("time out of range");
            return;
        }
        // Units of 10 µs, or nanoseconds.
        const int64_t rel = flags == 1 ? int64_t(stamp) * 10 : (int64_t(stamp) + 500) / 1000;
        const std::string_view d = o.substr(headerSize);
        LogFrame &f = m_frame;
        f = LogFrame();
        f.timeUs = m_startUs.value_or(0) + rel;
        switch (type) {
        case kCanMessage:
        case kCanMessage2: {
            if (d.size() < 16)
                return bad("CAN message too short");
            const uint8_t fl = uint8_t(d[2]);
            if (!classic(u16(d.data()), fl & 1, fl & 0x80, uint8_t(d[3]), u32(d.data() + 4),
                         d.data() + 8))
                return;
            break;
        }
        case kCanError:
        case kCanErrorExt:
            if (d.size() < 4)
                return bad("CAN error too short");
            f.error = true;
            f.channel = u16(d.data());
            break;
        case kCanFdMessage: {
            if (d.size() < 84)
                return bad("CAN FD message too short");
            const uint8_t fl = uint8_t(d[2]);
            const uint8_t fdFlags = uint8_t(d[13]);
            if (!(fdFlags & 1)) {
                if (!classic(u16(d.data()), fl & 1, fl & 0x80, uint8_t(d[3]),
                             u32(d.data() + 4), d.data() + 20))
                    return;
                break;
            }
            if (!fd(u16(d.data()), fl & 1, uint8_t(d[3]), uint8_t(d[14]), u32(d.data() + 4),
                    d.substr(20)))
                return;
            break;
        }
        case kCanFdMessage64: {
            if (d.size() < 40)
                return bad("CAN FD message too short");
            const uint32_t fdFlags = u32(d.data() + 12);
            const bool tx = d[34] != 0;
            if (!(fdFlags & 0x1000)) {
                char data[8] = {};
                std::memcpy(data, d.data() + 40, std::min<size_t>(8, d.size() - 40));
                if (!classic(uint8_t(d[0]), tx, fdFlags & 0x10, uint8_t(d[1]),
                             u32(d.data() + 4), data))
                    return;
                break;
            }
            if (!fd(uint8_t(d[0]), tx, uint8_t(d[1]), uint8_t(d[2]), u32(d.data() + 4),
                    d.substr(40)))
                return;
            break;
        }
        default:
            return;
        }
        ++result.frames;
        m_sink.frame(f);
    }

    ReadResult result;

private:
    void bad(const char *reason)
    {
        ++result.bad;
        m_sink.badLine(m_objects, reason);
    }

    bool classic(uint16_t channel, bool tx, bool remote, uint8_t dlc, uint32_t id,
                 const char *data)
    {
        LogFrame &f = m_frame;
        f.channel = channel;
        f.tx = tx;
        f.remote = remote;
        f.extended = (id & 0x80000000u) != 0;
        f.id = id & 0x1FFFFFFF;
        if (dlc > 15) {
            bad("DLC above 15");
            return false;
        }
        // No 11-bit identifier is above 7FF: such a one is taken as 29-bit.
        f.extended = f.extended || f.id > 0x7FF;
        f.dlc = dlc;
        f.length = dlc > 8 ? 8 : dlc;
        if (!remote)
            std::memcpy(f.data, data, f.length);
        return true;
    }

    bool fd(uint16_t channel, bool tx, uint8_t dlc, uint8_t length, uint32_t id,
            std::string_view data)
    {
        LogFrame &f = m_frame;
        f.fd = true;
        f.channel = channel;
        f.tx = tx;
        f.id = id & 0x1FFFFFFF;
        f.extended = (id & 0x80000000u) != 0 || f.id > 0x7FF;
        if (dlc > 15 || length > 64) {
            bad("CAN FD length out of range");
            return false;
        }
        // Some writers give a length their object has no room for: only the bytes there
        // are taken (no format here writes CAN FD frames, so none reaches a file).
        f.dlc = dlc;
        f.length = uint8_t(std::min<size_t>(length, data.size()));
        std::memcpy(f.data, data.data(), f.length);
        return true;
    }

    LogSink &m_sink;
    std::optional<int64_t> m_startUs;
    std::string m_inner;
    LogFrame m_frame;
    int64_t m_objects = 0;
};

} // namespace

Result<ReadResult> read(LogInputBytes &in, LogSink &sink,
                        const std::function<bool(int64_t, int64_t)> &progress)
{
    using R = Result<ReadResult>;
    Bytes bytes(in);
    std::string header;
    if (!bytes.take(kFileHeaderBytes, header) || header.compare(0, 4, "LOGG") != 0)
        return R::failure(bytes.failed() ? in.errorString()
                                         : QStringLiteral("not a Vector binary log (no LOGG "
                                                          "header)"));
    const uint32_t headerSize = u32(header.data() + 4);
    if (headerSize < kFileHeaderBytes || headerSize > kMaxObjectBytes)
        return R::failure(QStringLiteral("file header size out of range"));
    std::string rest;
    if (!bytes.take(headerSize - kFileHeaderBytes, rest))
        return R::failure(QStringLiteral("file ends in its header"));
    const std::optional<int64_t> startUs = systemTimeUs(header.data() + 40);
    sink.start({startUs, {}});

    Parser parser(sink, startUs);
    std::string base;
    std::string body;
    std::vector<char> plain;
    int64_t lastReport = 0;
    while (bytes.take(16, base)) {
        if (base.compare(0, 4, "LOBJ") != 0) {
            // Files pad their top-level objects to four bytes; anything else is damage.
            const size_t at = base.find("LOBJ");
            if (at == std::string::npos || base.find_first_not_of('\0') < at)
                return R::failure(QStringLiteral("object chain broken at byte %1")
                                      .arg(in.position()));
            std::string more;
            if (!bytes.take(at, more))
                break;
            base = base.substr(at) + more;
        }
        const uint32_t size = u32(base.data() + 8);
        if (size < 16 || size > kMaxObjectBytes)
            return R::failure(QStringLiteral("object size %1 out of range").arg(size));
        if (!bytes.take(size - 16, body))
            return R::failure(bytes.failed() ? in.errorString()
                                             : QStringLiteral("file ends inside an object"));
        if (u32(base.data() + 12) == kLogContainer) {
            if (body.size() < 16)
                return R::failure(QStringLiteral("container too short"));
            const uint16_t method = u16(body.data());
            const uint32_t plainSize = u32(body.data() + 8);
            const std::string_view packed = std::string_view(body).substr(16);
            if (method == 0) {
                parser.contents(packed);
            } else if (method == 2 && plainSize <= kMaxObjectBytes) {
                // Deflate packs at most about 1032 to 1: a larger size is not believed.
                plain.resize(std::min<size_t>(plainSize, packed.size() * 1040 + 1024));
                uLongf n = plainSize;
                if (uncompress(reinterpret_cast<Bytef *>(plain.data()), &n,
                               reinterpret_cast<const Bytef *>(packed.data()),
                               uLong(packed.size()))
                    != Z_OK)
                    return R::failure(QStringLiteral("a compressed container is damaged"));
                parser.contents(std::string_view(plain.data(), n));
            } else {
                return R::failure(QStringLiteral("container compression %1 not known").arg(method));
            }
        } else {
            parser.contents(base + body);
        }
        if (progress && in.position() - lastReport >= (1 << 20)) {
            lastReport = in.position();
            if (!progress(in.position(), in.size()))
                return R::failure(QStringLiteral("stopped"));
        }
    }
    if (bytes.failed())
        return R::failure(in.errorString());
    if (progress && !progress(in.position(), in.size()))
        return R::failure(QStringLiteral("stopped"));
    return parser.result;
}

} // namespace blf

namespace {

int64_t floorMs(int64_t us)
{
    return (us / 1000 - (us % 1000 < 0 ? 1 : 0)) * 1000;
}

void put16(char *p, uint16_t v) { std::memcpy(p, &v, 2); }
void put32(char *p, uint32_t v) { std::memcpy(p, &v, 4); }
void put64(char *p, uint64_t v) { std::memcpy(p, &v, 8); }

void putSystemTime(char *p, int64_t us)
{
    if (us < int64_t(315532800) * 1000000)
        return;   // before 1980: left zero, as the format has no such time
    const QDateTime dt = QDateTime::fromMSecsSinceEpoch(us / 1000);
    const QDate d = dt.date();
    const QTime t = dt.time();
    put16(p, uint16_t(d.year()));
    put16(p + 2, uint16_t(d.month()));
    put16(p + 4, uint16_t(d.dayOfWeek() % 7));
    put16(p + 6, uint16_t(d.day()));
    put16(p + 8, uint16_t(t.hour()));
    put16(p + 10, uint16_t(t.minute()));
    put16(p + 12, uint16_t(t.second()));
    put16(p + 14, uint16_t(t.msec()));
}

} // namespace

std::string BlfLogWriter::header(int64_t fileBytes) const
{
    std::string h(blf::kFileHeaderBytes, '\0');
    char *p = h.data();
    std::memcpy(p, "LOGG", 4);
    put32(p + 4, blf::kFileHeaderBytes);
    p[8] = 0;   // application: unknown
    p[12] = 4;  // format version 4.x
    put64(p + 16, uint64_t(fileBytes));
    put64(p + 24, uint64_t(m_uncompressed));
    put32(p + 32, uint32_t(m_objects));
    putSystemTime(p + 40, m_originUs);
    putSystemTime(p + 56, std::max(m_originUs, m_lastUs));
    return h;
}

BlfLogWriter::~BlfLogWriter()
{
    if (m_zlib)
        deflateEnd(static_cast<z_stream *>(m_zlib));
    delete static_cast<z_stream *>(m_zlib);
}

void BlfLogWriter::begin(TextOutput &out, int64_t originUs)
{
    m_originUs = floorMs(originUs);
    m_lastUs = m_originUs;
    m_uncompressed = blf::kFileHeaderBytes;
    m_container.assign(kContainerBytes + 128, '\0');
    m_used = 0;
    auto *z = new z_stream{};
    if (deflateInit(z, Z_BEST_SPEED) == Z_OK) {
        m_zlib = z;
    } else {
        delete z;
    }
    m_compressed.resize(32 + compressBound(uLong(m_container.size())) + 4);
    out.append(header(0));
}

void BlfLogWriter::write(TextOutput &out, const LogFrame &f)
{
    const bool error = f.error;
    const uint32_t size = error ? 64 : 48;
    char *p = m_container.data() + m_used;
    m_used += size;
    std::memset(p, 0, size);
    std::memcpy(p, "LOBJ", 4);
    put16(p + 4, 32);
    put16(p + 6, 1);
    put32(p + 8, size);
    put32(p + 12, error ? blf::kCanErrorExt : blf::kCanMessage);
    put32(p + 16, 2);   // nanoseconds
    const int64_t rel = std::max<int64_t>(0, f.timeUs - m_originUs);
    put64(p + 24, uint64_t(rel) * 1000);
    char *d = p + 32;
    put16(d, f.channel == 0 ? 1 : f.channel);
    if (!error) {
        d[2] = char((f.tx ? 1 : 0) | (f.remote ? 0x80 : 0));
        d[3] = char(f.dlc);
        put32(d + 4, f.id | (f.extended ? 0x80000000u : 0));
        if (!f.remote)
            std::memcpy(d + 8, f.data, f.length > 8 ? 8 : f.length);
    }
    ++m_objects;
    m_lastUs = std::max(m_lastUs, f.timeUs);
    if (m_used >= kContainerBytes)
        flush(out);
}

void BlfLogWriter::flush(TextOutput &out)
{
    if (m_used == 0)
        return;
    char *p = m_compressed.data();
    uLongf n = uLongf(m_compressed.size() - 36);
    auto *z = static_cast<z_stream *>(m_zlib);
    bool packed = false;
    if (z && deflateReset(z) == Z_OK) {
        z->next_in = reinterpret_cast<Bytef *>(m_container.data());
        z->avail_in = uInt(m_used);
        z->next_out = reinterpret_cast<Bytef *>(p + 32);
        z->avail_out = uInt(n);
        packed = deflate(z, Z_FINISH) == Z_STREAM_END;
        n = z->total_out;
    }
    if (!packed) {
        n = uLongf(m_compressed.size() - 36);
        compress2(reinterpret_cast<Bytef *>(p + 32), &n,
                  reinterpret_cast<const Bytef *>(m_container.data()), uLong(m_used), Z_BEST_SPEED);
    }
    std::memset(p, 0, 32);
    const uint32_t size = uint32_t(32 + n);
    std::memcpy(p, "LOBJ", 4);
    put16(p + 4, 16);
    put16(p + 6, 1);
    put32(p + 8, size);
    put32(p + 12, blf::kLogContainer);
    put16(p + 16, 2);   // zlib
    put32(p + 24, uint32_t(m_used));
    const uint32_t padding = size % 4;
    std::memset(p + size, 0, padding);
    out.append(std::string_view(p, size + padding));
    m_uncompressed += 32 + int64_t(m_used);
    m_used = 0;
}

void BlfLogWriter::end(TextOutput &out)
{
    flush(out);
    out.patch(0, header(out.written()));
}
