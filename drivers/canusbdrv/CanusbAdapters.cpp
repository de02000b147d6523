#include "CanusbAdapters.h"

#include "SocketCan.h"

#include <algorithm>

namespace canusbadapters {

namespace {

bool isPrintable(const std::string &serial)
{
    return std::all_of(serial.begin(), serial.end(),
                       [](unsigned char c) { return c > ' ' && c < 0x7F; });
}

void note(std::vector<IgnoredEntry> *ignored, std::string entry, std::string reason)
{
    if (ignored)
        ignored->push_back({std::move(entry), std::move(reason)});
}

bool known(const std::vector<CanusbAdapter> &adapters, const std::string &serial)
{
    return std::any_of(adapters.begin(), adapters.end(),
                       [&](const CanusbAdapter &a) { return a.serial == serial; });
}

} // namespace

std::vector<CanusbAdapter> parse(std::string_view text, std::vector<IgnoredEntry> *ignored)
{
    std::vector<std::string> unreadable;
    const auto entries = driverconfig::parseEntries(text, &unreadable);
    for (const std::string &line : unreadable)
        note(ignored, line, "not \"serial=plugin:interface\"");
    std::vector<CanusbAdapter> adapters;
    for (const driverconfig::Entry &entry : entries) {
        const std::string line = entry.key + '=' + entry.value;
        const auto spec = DeviceSpec::parse(entry.value);
        if (!spec)
            note(ignored, line, "the device is not \"plugin:interface\"");
        else if (entry.key.size() > maxSerialLength)
            note(ignored, line, "serial longer than 31 characters");
        else if (!isPrintable(entry.key))
            note(ignored, line, "serial holds blanks or characters outside ASCII");
        else if (known(adapters, entry.key))
            note(ignored, line, "serial given twice; the first entry holds");
        else
            adapters.push_back({entry.key, *spec});
    }
    return adapters;
}

std::string serialFor(const std::string &interface)
{
    return interfacePrefix + interface;
}

std::vector<CanusbAdapter> assemble(const std::optional<std::string> &text,
                                    const std::vector<std::string> &interfaces,
                                    std::vector<IgnoredEntry> *ignored)
{
    std::vector<CanusbAdapter> adapters = text ? parse(*text, ignored)
                                               : std::vector<CanusbAdapter>{};
    for (const std::string &name : interfaces) {
        const DeviceSpec spec{socketcan::pluginName, name, 0};
        const bool named = std::any_of(adapters.begin(), adapters.end(), [&](const auto &a) {
            return a.spec.plugin == spec.plugin && a.spec.interface == name;
        });
        const std::string serial = serialFor(name);
        if (!named && !known(adapters, serial) && serial.size() <= maxSerialLength
            && isPrintable(serial))
            adapters.push_back({serial, spec});
    }
    if (!text && !known(adapters, defaultSerial))
        adapters.push_back({defaultSerial, {"virtualcan", "can0", 0}});
    const auto shortOnes = std::stable_partition(adapters.begin(), adapters.end(), [](const auto &a) {
        return a.serial.size() >= minListedSerialLength;
    });
    for (auto it = shortOnes; it != adapters.end(); ++it)
        note(ignored, it->serial + '=' + it->spec.plugin + ':' + it->spec.interface,
             "serial shorter than 7 characters, which the device list does not take");
    return adapters;
}

std::vector<CanusbAdapter> configured(std::vector<IgnoredEntry> *ignored)
{
    static const char anchor = 0;
    return assemble(driverconfig::configText(envName, fileName, &anchor),
                    socketcan::interfaces(), ignored);
}

} // namespace canusbadapters
