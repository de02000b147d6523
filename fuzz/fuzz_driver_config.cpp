// The driver libraries' configuration: the adapter and port lists, from their variables or
// files, and the port names the applications pass in.
#include "CanusbAdapters.h"
#include "IfcanPorts.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    for (const CanusbAdapter &a : canusbadapters::parse(text))
        if (a.serial.size() > canusbadapters::maxSerialLength)
            std::abort();   // the vendor's buffers hold no more
    for (const IfcanPort &p : ifcanports::parse(text))
        if (p.number < 1 || p.number > ifcanports::maxPort)
            std::abort();
    ifcanports::portNumber(text.c_str());
    return 0;
}
