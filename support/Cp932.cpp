#include "Cp932.h"

#include <iconv.h>

#include <cerrno>
#include <mutex>

namespace {

// iconv descriptors are not thread-safe; one pair guarded by a mutex is plenty for the
// short strings of a settings record or a trailer.
struct Converter
{
    iconv_t handle;
    std::mutex lock;
    Converter(const char *to, const char *from) : handle(iconv_open(to, from)) {}
    ~Converter()
    {
        if (handle != iconv_t(-1))
            iconv_close(handle);
    }
};

Converter &encoder()
{
    static Converter c("CP932", "UTF-16LE");
    return c;
}

Converter &decoder()
{
    static Converter c("UTF-16LE", "CP932");
    return c;
}

// Runs the whole input through iconv; each unconvertible unit of `skip` bytes (or the
// bytes a surrogate pair spans) is replaced by `replacement`.
QByteArray run(Converter &c, const char *in, size_t inLeft, int unit, const QByteArray &replacement)
{
    QByteArray out;
    if (c.handle == iconv_t(-1))
        return out;
    std::lock_guard<std::mutex> guard(c.lock);
    iconv(c.handle, nullptr, nullptr, nullptr, nullptr);
    char buffer[1024];
    char *src = const_cast<char *>(in);
    while (inLeft > 0) {
        char *dst = buffer;
        size_t dstLeft = sizeof buffer;
        const size_t r = iconv(c.handle, &src, &inLeft, &dst, &dstLeft);
        out.append(buffer, int(dst - buffer));
        if (r != size_t(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // EILSEQ or EINVAL: one unmappable or broken unit.
        size_t skip = std::min<size_t>(unit, inLeft);
        if (unit == 2 && inLeft >= 4) {
            const unsigned hi = uchar(src[0]) | (uchar(src[1]) << 8);
            if (hi >= 0xD800 && hi < 0xDC00)
                skip = 4;
        }
        src += skip;
        inLeft -= skip;
        out.append(replacement);
        iconv(c.handle, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

} // namespace

namespace cp932 {

QByteArray encode(const QString &text)
{
    if (text.isEmpty())
        return {};
    return run(encoder(), reinterpret_cast<const char *>(text.utf16()), size_t(text.size()) * 2,
               2, QByteArray("?"));
}

QString decode(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return {};
    static const QByteArray question("?\0", 2);
    const QByteArray utf16 = run(decoder(), bytes.constData(), size_t(bytes.size()), 1, question);
    return QString(reinterpret_cast<const QChar *>(utf16.constData()), utf16.size() / 2);
}

} // namespace cp932
