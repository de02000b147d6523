// Vector's binary log: the whole input as a file. Frames must stay within what a frame can
// carry; nothing the file says may make the reader read or allocate beyond it.
#include "BlfLog.h"
#include "LogInput.h"

#include <cstdint>
#include <cstdlib>

namespace {

struct Check final : LogSink
{
    void frame(const LogFrame &f) override
    {
        if (f.length > sizeof f.data || f.dlc > 15 || (!f.fd && f.length > 8) || f.id > 0x1FFFFFFF
            || (!f.extended && f.id > 0x7FF))
            std::abort();
    }
    void badLine(int64_t, std::string_view) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    LogInputBytes in;
    in.openMemory(std::string_view(reinterpret_cast<const char *>(data), size));
    Check sink;
    (void)blf::read(in, sink, {});
    return 0;
}
