#pragma once

#include "BoardModels.h"
#include "DeviceSpec.h"
#include "DriverConfig.h"

#include <optional>
#include <string_view>
#include <vector>

// The ports the library reports, IFCANn -> Qt SerialBus device and board model: the
// entries of $IFCAN_PORTS when set, else of IFCan.conf beside the library; then every CAN
// interface of the machine (socketcan) no entry names, numbered on from the highest port
// (from 1 without configuration), presenting a PCI-485220; then, without any
// configuration, the built-in virtual bus (virtualcan, can0) on the next port.
struct IfcanPort
{
    int number = 0;
    DeviceSpec spec;
    BoardModel model{};
    uint32_t channel = 1; // counts the ports of one model, in port order
};

namespace ifcanports {

inline constexpr const char *envName = "IFCAN_PORTS";
inline constexpr const char *fileName = "IFCan.conf";
inline constexpr int maxPort = 255;

// "n=plugin:interface[:model]"; the interface may hold colons of its own, so only a last
// part that reads as a model is taken as one.
std::vector<IfcanPort> parse(std::string_view text,
                             std::vector<driverconfig::IgnoredEntry> *ignored = nullptr);
// The list from the configuration text (none: not configured) and the machine's interfaces.
std::vector<IfcanPort> assemble(const std::optional<std::string> &text,
                                const std::vector<std::string> &interfaces,
                                std::vector<driverconfig::IgnoredEntry> *ignored = nullptr);
std::vector<IfcanPort> configured(std::vector<driverconfig::IgnoredEntry> *ignored = nullptr);

// "IFCAN" (any case) and a port number 1..255 without leading zeros.
std::optional<int> portNumber(const char *name);

} // namespace ifcanports
