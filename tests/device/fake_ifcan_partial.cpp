// A libIFCan.so that lacks most of its entry points, as a damaged or foreign file would.
#include <cstdint>

extern "C" __attribute__((visibility("default"))) int32_t CanOpenPort(const char *)
{
    return 1;
}

extern "C" __attribute__((visibility("default"))) uint32_t CanClosePort(int32_t)
{
    return 0;
}
