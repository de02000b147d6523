#include "BoardModels.h"

#include <charconv>
#include <strings.h>

namespace boardmodels {

namespace {

constexpr BoardModel models[] = {
    {"PCI-485120", 4851, 8340},   {"PCI-485120", 4851, 14484},  {"PCI-485111", 4851, 8331},
    {"PCI-485102", 4851, 8322},   {"PCI-485110", 4851, 8330},   {"CBI-4851", 4851, 513},
    {"CBI-485120", 4851, 10388},  {"PCI-485220", 4852, 8340},   {"PCI-485211", 4852, 8331},
    {"PCI-485202", 4852, 8322},   {"PCI-485230P", 4852, 8350},  {"CPZ-485220", 4852, 9364},
    {"CPZ-485211", 4852, 9355},   {"CPZ-485202", 4852, 9346},   {"CBI-4852", 4852, 513},
    {"CBI-485220", 4852, 10388},  {"PCI-485340", 4853, 8360},   {"PCI-485322", 4853, 8342},
    {"PCI-485304", 4853, 8324},   {"CPZ-485340", 4853, 9384},   {"CPZ-485322", 4853, 9366},
    {"CPZ-485304", 4853, 9348},   {"PCI-485420P", 4854, 8340},  {"CPZ-485420P", 4854, 9364},
    {"CSI-485420", 4854, 10388},
};

std::optional<uint32_t> decimal(std::string_view text)
{
    uint32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

std::optional<BoardModel> parse(std::string_view text)
{
    for (const BoardModel &m : models) {
        if (text.size() == std::char_traits<char>::length(m.name)
            && strncasecmp(text.data(), m.name, text.size()) == 0)
            return m;
    }
    const size_t slash = text.find('/');
    if (slash == std::string_view::npos)
        return std::nullopt;
    const auto device = decimal(text.substr(0, slash));
    const auto subsystem = decimal(text.substr(slash + 1));
    if (!device || !subsystem)
        return std::nullopt;
    for (const BoardModel &m : models) {
        if (m.deviceId == *device && m.subsystemId == *subsystem)
            return m;
    }
    return BoardModel{"", *device, *subsystem};
}

uint32_t modelNumber(const BoardModel &model)
{
    const std::string_view name = model.name;
    const size_t dash = name.find('-');
    if (dash == std::string_view::npos)
        return 0;
    uint32_t value = 0;
    std::from_chars(name.data() + dash + 1, name.data() + name.size(), value);
    return value;
}

} // namespace boardmodels
