// PEAK's trace (every version, and the CarBusAnalyzer's export): the text read whole and
// again in blocks of a few bytes, which must agree; every frame within what a frame carries.
#include "LogTextReader.h"
#include "TrcLog.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Collect final : LogSink
{
    std::vector<LogFrame> frames;
    int64_t bad = 0;
    void frame(const LogFrame &f) override
    {
        if (f.length > 8 || f.dlc > 15 || f.id > 0x1FFFFFFF || (!f.extended && f.id > 0x7FF))
            std::abort();
        frames.push_back(f);
    }
    void badLine(int64_t, std::string_view) override { ++bad; }
};

std::string split(std::string_view text)
{
    if (!CarBusSplitter::detect(text))
        return std::string(text);
    std::string out;
    CarBusSplitter().feed(text, out);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text = split(std::string_view(reinterpret_cast<const char *>(data), size));
    Collect whole;
    const LogReadStats stats = parseLogText(LogFormat::Trc, text, whole);

    Collect pieces;
    TrcLineParser parser;
    LogTextReader reader(parser, pieces);
    for (size_t at = 0; at < text.size(); at += 3)
        reader.feed(std::string_view(text).substr(at, 3));
    reader.finish();
    if (stats.frames != int64_t(whole.frames.size()) || pieces.frames.size() != whole.frames.size()
        || pieces.bad != whole.bad)
        std::abort();
    return 0;
}
