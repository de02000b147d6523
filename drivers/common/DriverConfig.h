#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Where a driver library learns which devices it offers: an environment variable, else a
// small file beside the library, else its built-in default.
namespace driverconfig {

struct Entry
{
    std::string key;
    std::string value;
};

// The variable's value when it is set (an empty value means "no devices"), else the
// content of fileName in the folder of the shared object that holds anchor, else nothing.
std::optional<std::string> configText(const char *envName, const char *fileName,
                                      const void *anchor);

// "key=value" entries separated by ';' or line breaks; blanks around keys and values
// are dropped, as are empty entries, entries without '=' or key and lines starting with
// '#'. The entries that could not be read go to unreadable, when given.
std::vector<Entry> parseEntries(std::string_view text,
                                std::vector<std::string> *unreadable = nullptr);

// A configuration entry a library leaves out, and why, for the user to see.
struct IgnoredEntry
{
    std::string entry;
    std::string reason;
};

// The folder of the shared object (or program) that holds anchor; empty when unknown.
std::string folderOf(const void *anchor);

std::string_view trim(std::string_view text);

// Copies text into a C buffer of size bytes, cut to fit, always terminated; returns the
// number of bytes copied (without the NUL), 0 for no buffer.
int copyText(const std::string &text, char *buffer, int size);

} // namespace driverconfig
