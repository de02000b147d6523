#include "CanusbAdapters.h"

#include "DriverConfig.h"

#include <algorithm>

namespace canusbadapters {

namespace {

bool isValidSerial(const std::string &serial)
{
    if (serial.empty() || serial.size() > maxSerialLength)
        return false;
    return std::all_of(serial.begin(), serial.end(),
                       [](unsigned char c) { return c > ' ' && c < 0x7F; });
}

} // namespace

std::vector<CanusbAdapter> parse(std::string_view text)
{
    std::vector<CanusbAdapter> adapters;
    for (const driverconfig::Entry &entry : driverconfig::parseEntries(text)) {
        const auto spec = DeviceSpec::parse(entry.value);
        if (!spec || !isValidSerial(entry.key))
            continue;
        const bool known = std::any_of(adapters.begin(), adapters.end(),
                                       [&](const CanusbAdapter &a) { return a.serial == entry.key; });
        if (!known)
            adapters.push_back({entry.key, *spec});
    }
    return adapters;
}

std::vector<CanusbAdapter> configured()
{
    static const char anchor = 0;
    const auto text = driverconfig::configText(envName, fileName, &anchor);
    if (!text)
        return {{defaultSerial, {"virtualcan", "can0", 0}}};
    return parse(*text);
}

} // namespace canusbadapters
