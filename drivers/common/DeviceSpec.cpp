#include "DeviceSpec.h"

#include "DriverConfig.h"

std::optional<DeviceSpec> DeviceSpec::parse(std::string_view text)
{
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    DeviceSpec spec;
    spec.plugin = std::string(driverconfig::trim(text.substr(0, colon)));
    spec.interface = std::string(driverconfig::trim(text.substr(colon + 1)));
    if (spec.plugin.empty() || spec.interface.empty())
        return std::nullopt;
    return spec;
}
