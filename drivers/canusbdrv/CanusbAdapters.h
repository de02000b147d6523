#pragma once

#include "DeviceSpec.h"

#include <string>
#include <string_view>
#include <vector>

// The adapters the library reports, serial number -> Qt SerialBus device:
// $CANUSB_ADAPTERS when set, else canusbdrv.conf beside the library, else one adapter
// VCAN0001 on the built-in virtual bus (virtualcan, can0).
struct CanusbAdapter
{
    std::string serial;
    DeviceSpec spec;
};

namespace canusbadapters {

inline constexpr const char *envName = "CANUSB_ADAPTERS";
inline constexpr const char *fileName = "canusbdrv.conf";
inline constexpr const char *defaultSerial = "VCAN0001";
// The vendor's buffers hold 32 characters with the terminating NUL.
inline constexpr size_t maxSerialLength = 31;

std::vector<CanusbAdapter> parse(std::string_view text);
std::vector<CanusbAdapter> configured();

} // namespace canusbadapters
