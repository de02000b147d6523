#pragma once

#include "DeviceSpec.h"
#include "DriverConfig.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The adapters the library reports, serial number -> Qt SerialBus device: the entries of
// $CANUSB_ADAPTERS when set, else of canusbdrv.conf beside the library; then every CAN
// interface of the machine (socketcan) no entry names; then, without any configuration,
// one adapter VCAN0001 on the built-in virtual bus (virtualcan, can0).
struct CanusbAdapter
{
    std::string serial;
    DeviceSpec spec;
};

namespace canusbadapters {

using driverconfig::IgnoredEntry;

inline constexpr const char *envName = "CANUSB_ADAPTERS";
inline constexpr const char *fileName = "canusbdrv.conf";
inline constexpr const char *defaultSerial = "VCAN0001";
// The vendor's buffers hold 32 characters with the terminating NUL.
inline constexpr size_t maxSerialLength = 31;
// The program's adapter list ends at a shorter serial.
inline constexpr size_t minListedSerialLength = 7;
// A machine interface is reported as this prefix and its name: long enough for the list
// whatever the name, and recognisable by it.
inline constexpr const char *interfacePrefix = "SocketCAN-";

std::vector<CanusbAdapter> parse(std::string_view text,
                                 std::vector<IgnoredEntry> *ignored = nullptr);

std::string serialFor(const std::string &interface);

// The list the library reports, from the configuration text (none: not configured) and
// the machine's interfaces. Serials the program's list would stop at come last, so that
// they cannot hide the others; they are reported as ignored.
std::vector<CanusbAdapter> assemble(const std::optional<std::string> &text,
                                    const std::vector<std::string> &interfaces,
                                    std::vector<IgnoredEntry> *ignored = nullptr);

std::vector<CanusbAdapter> configured(std::vector<IgnoredEntry> *ignored = nullptr);

} // namespace canusbadapters
