#include "IfcanPorts.h"

#include "DriverConfig.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <strings.h>

namespace ifcanports {

namespace {

std::optional<int> number(std::string_view text)
{
    if (text.empty() || text.size() > 3 || text.front() == '0')
        return std::nullopt;
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 1 || value > maxPort)
        return std::nullopt;
    return value;
}

std::optional<IfcanPort> parsePort(const driverconfig::Entry &entry)
{
    const auto n = number(entry.key);
    if (!n)
        return std::nullopt;
    const std::string_view value = entry.value;
    const size_t lastColon = value.rfind(':');
    if (lastColon != std::string_view::npos) {
        const auto model = boardmodels::parse(driverconfig::trim(value.substr(lastColon + 1)));
        const auto spec = DeviceSpec::parse(value.substr(0, lastColon));
        if (model && spec)
            return IfcanPort{*n, *spec, *model, 1};
    }
    const auto spec = DeviceSpec::parse(value);
    const auto model = boardmodels::parse(boardmodels::defaultModel);
    if (!spec)
        return std::nullopt;
    return IfcanPort{*n, *spec, *model, 1};
}

} // namespace

std::vector<IfcanPort> parse(std::string_view text)
{
    std::vector<IfcanPort> ports;
    for (const driverconfig::Entry &entry : driverconfig::parseEntries(text)) {
        const auto port = parsePort(entry);
        if (!port)
            continue;
        const bool known = std::any_of(ports.begin(), ports.end(),
                                       [&](const IfcanPort &p) { return p.number == port->number; });
        if (!known)
            ports.push_back(*port);
    }
    std::sort(ports.begin(), ports.end(),
              [](const IfcanPort &a, const IfcanPort &b) { return a.number < b.number; });
    for (size_t i = 0; i < ports.size(); ++i) {
        ports[i].channel = 1 + uint32_t(std::count_if(ports.begin(), ports.begin() + long(i), [&](const IfcanPort &p) {
            return p.model.deviceId == ports[i].model.deviceId
                   && p.model.subsystemId == ports[i].model.subsystemId;
        }));
    }
    return ports;
}

std::vector<IfcanPort> configured()
{
    static const char anchor = 0;
    const auto text = driverconfig::configText(envName, fileName, &anchor);
    if (!text)
        return parse("1=virtualcan:can0");
    return parse(*text);
}

std::optional<int> portNumber(const char *name)
{
    if (!name || strncasecmp(name, "IFCAN", 5) != 0)
        return std::nullopt;
    return number(std::string_view(name + 5));
}

} // namespace ifcanports
