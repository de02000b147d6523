#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// The Interface CAN board models a port can present, by the PCI DeviceID/SubsystemID pair
// the board reports (both written as decimal numbers, as the model names read).
struct BoardModel
{
    const char *name;
    uint32_t deviceId;
    uint32_t subsystemId;
};

namespace boardmodels {

inline constexpr const char *defaultModel = "PCI-485220";

// A model name ("PCI-485220", any case) or a raw pair "4852/8340".
std::optional<BoardModel> parse(std::string_view text);
// The number in the model name (485220 for "PCI-485220"); 0 for a raw pair.
uint32_t modelNumber(const BoardModel &model);

} // namespace boardmodels
