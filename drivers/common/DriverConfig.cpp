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

int copyText(const std::string &text, char *buffer, int size)
{
    if (!buffer || size < 1)
        return 0;
    size_t n = std::min(text.size(), size_t(size - 1));
    // Never half a UTF-8 character.
    while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    std::copy_n(text.data(), n, buffer);
    buffer[n] = '\0';
    return int(n);
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

std::vector<Entry> parseEntries(std::string_view text, std::vector<std::string> *unreadable)
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
        const std::string_view key = trim(item.substr(0, std::min(eq, item.size())));
        if (eq == std::string_view::npos || key.empty()) {
            if (unreadable)
                unreadable->emplace_back(item);
            continue;
        }
        entries.push_back({std::string(key), std::string(trim(item.substr(eq + 1)))});
    }
    return entries;
}

} // namespace driverconfig
