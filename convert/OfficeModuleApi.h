#pragma once

#include <QString>

class SpreadsheetServer;

// The entry points of the office module, resolved by name after dlopen. The module and
// the program are built together, so C++ types cross the boundary; the version number
// keeps a stale module from being used.
constexpr int kOfficeModuleApi = 1;

#define OFFICE_MODULE_EXPORT __attribute__((visibility("default")))

extern "C" {
using OfficeApiFn = int (*)();
// True when the office install the module was built against is there.
using OfficeUsableFn = bool (*)(QString *why);
// A started and connected office, or nullptr with the reason in *error.
using OfficeStartFn = SpreadsheetServer *(*)(int startLimitMs, int callLimitMs, QString *error);
}
