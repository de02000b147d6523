// The field's text logs (candump .log, Vector .asc, .csv): the first byte picks the format,
// the rest is the text, read whole and again in blocks of a few bytes, which must agree.
#include "LogTextReader.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

struct Collect final : LogSink
{
    std::vector<LogFrame> frames;
    int64_t bad = 0;
    void frame(const LogFrame &f) override
    {
        if (f.length > sizeof f.data)
            std::abort();   // a length no frame can carry
        frames.push_back(f);
    }
    void badLine(int64_t, std::string_view) override { ++bad; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    static constexpr LogFormat kFormats[] = {LogFormat::Candump, LogFormat::Asc, LogFormat::Csv};
    const LogFormat format = kFormats[data[0] % 3];
    const std::string_view text(reinterpret_cast<const char *>(data + 1), size - 1);

    Collect whole;
    const LogReadStats stats = parseLogText(format, text, whole);

    Collect pieces;
    auto parser = makeLogLineParser(format);
    LogTextReader reader(*parser, pieces);
    for (size_t at = 0; at < text.size(); at += 3)
        reader.feed(text.substr(at, 3));
    reader.finish();
    if (stats.frames != int64_t(whole.frames.size()) || pieces.frames.size() != whole.frames.size()
        || pieces.bad != whole.bad)
        std::abort();   // how the text arrives must not change what is read
    return 0;
}
