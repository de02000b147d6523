#pragma once

#include <optional>
#include <string>
#include <string_view>

// Which Qt SerialBus device stands behind an adapter or a port, and at what bit rate.
struct DeviceSpec
{
    std::string plugin;
    std::string interface;
    int bitRate = 0; // bit/s; 0 leaves the plugin's own setting

    // "plugin:interface"; the interface may itself hold colons (tcp://127.0.0.1:35468/can0).
    static std::optional<DeviceSpec> parse(std::string_view text);
};
