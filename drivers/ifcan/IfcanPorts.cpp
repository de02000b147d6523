#include "IfcanPorts.h"

#include "DriverConfig.h"
#include "SocketCan.h"

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

void countChannels(std::vector<IfcanPort> &ports)
{
    std::sort(ports.begin(), ports.end(),
              [](const IfcanPort &a, const IfcanPort &b) { return a.number < b.number; });
    for (size_t i = 0; i < ports.size(); ++i) {
        ports[i].channel = 1 + uint32_t(std::count_if(ports.begin(), ports.begin() + long(i), [&](const IfcanPort &p) {
            return p.model.deviceId == ports[i].model.deviceId
                   && p.model.subsystemId == ports[i].model.subsystemId;
        }));
    }
}

} // namespace

std::vector<IfcanPort> parse(std::string_view text,
                             std::vector<driverconfig::IgnoredEntry> *ignored)
{
    auto note = [ignored](std::string entry, std::string reason) {
        if (ignored)
            ignored->push_back({std::move(entry), std::move(reason)});
    };
    std::vector<std::string> unreadable;
    const auto entries = driverconfig::parseEntries(text, &unreadable);
    for (const std::string &line : unreadable)
        note(line, "not \"n=plugin:interface[:model]\"");
    std::vector<IfcanPort> ports;
    for (const driverconfig::Entry &entry : entries) {
        const std::string line = entry.key + '=' + entry.value;
        if (!number(entry.key)) {
            note(line, "the port is not a number 1 to 255");
            continue;
        }
        const auto port = parsePort(entry);
        if (!port) {
            note(line, "the device is not \"plugin:interface\"");
            continue;
        }
        const bool known = std::any_of(ports.begin(), ports.end(),
                                       [&](const IfcanPort &p) { return p.number == port->number; });
        if (known)
            note(line, "port given twice; the first entry holds");
        else
            ports.push_back(*port);
    }
    countChannels(ports);
    return ports;
}

std::vector<IfcanPort> assemble(const std::optional<std::string> &text,
                                const std::vector<std::string> &interfaces,
                                std::vector<driverconfig::IgnoredEntry> *ignored)
{
    std::vector<IfcanPort> ports = text ? parse(*text, ignored) : std::vector<IfcanPort>{};
    int next = ports.empty() ? 1 : ports.back().number + 1;
    const BoardModel model = *boardmodels::parse(boardmodels::defaultModel);
    for (const std::string &name : interfaces) {
        const bool named = std::any_of(ports.begin(), ports.end(), [&](const IfcanPort &p) {
            return p.spec.plugin == socketcan::pluginName && p.spec.interface == name;
        });
        if (named)
            continue;
        if (next > maxPort) {
            if (ignored)
                ignored->push_back({name, "no port number left (255 in use)"});
            continue;
        }
        ports.push_back({next++, {socketcan::pluginName, name, 0}, model, 1});
    }
    if (!text && next <= maxPort)
        ports.push_back({next, {"virtualcan", "can0", 0}, model, 1});
    countChannels(ports);
    return ports;
}

std::vector<IfcanPort> configured(std::vector<driverconfig::IgnoredEntry> *ignored)
{
    static const char anchor = 0;
    return assemble(driverconfig::configText(envName, fileName, &anchor), socketcan::interfaces(),
                    ignored);
}

std::optional<int> portNumber(const char *name)
{
    if (!name || strncasecmp(name, "IFCAN", 5) != 0)
        return std::nullopt;
    return number(std::string_view(name + 5));
}

} // namespace ifcanports
