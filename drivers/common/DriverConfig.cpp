#include "DriverConfig.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace driverconfig {

std::string_view trim(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::string folderOf(const void *anchor)
{
    Dl_info info{};
    if (!dladdr(anchor, &info) || !info.dli_fname)
        return {};
    const std::string path = info.dli_fname;
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::optional<std::string> configText(const char *envName, const char *fileName,
                                      const void *anchor)
{
    if (const char *value = std::getenv(envName))
        return std::string(value);
    const std::string folder = folderOf(anchor);
    if (folder.empty())
        return std::nullopt;
    std::ifstream file(folder + '/' + fileName);
    if (!file)
        return std::nullopt;
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

std::vector<Entry> parseEntries(std::string_view text)
{
    std::vector<Entry> entries;
    size_t pos = 0;
    while (pos <= text.size()) {
        const size_t end = std::min(text.find_first_of(";\n", pos), text.size());
        const std::string_view item = trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (item.empty() || item.front() == '#')
            continue;
        const size_t eq = item.find('=');
        if (eq == std::string_view::npos)
            continue;
        const std::string_view key = trim(item.substr(0, eq));
        const std::string_view value = trim(item.substr(eq + 1));
        if (!key.empty())
            entries.push_back({std::string(key), std::string(value)});
    }
    return entries;
}

} // namespace driverconfig
