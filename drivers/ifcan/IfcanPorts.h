#pragma once

#include "BoardModels.h"
#include "DeviceSpec.h"

#include <optional>
#include <string_view>
#include <vector>

// The ports the library reports, IFCANn -> Qt SerialBus device and board model:
// $IFCAN_PORTS when set, else IFCan.conf beside the library, else IFCAN1 on the built-in
// virtual bus (virtualcan, can0) presenting a PCI-485220.
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
std::vector<IfcanPort> parse(std::string_view text);
std::vector<IfcanPort> configured();

// "IFCAN" (any case) and a port number 1..255 without leading zeros.
std::optional<int> portNumber(const char *name);

} // namespace ifcanports
