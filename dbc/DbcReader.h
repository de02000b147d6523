#pragma once

#include "CanDatabase.h"
#include "Result.h"

#include <QString>

#include <string_view>

// Reads a CAN database in the DBC format as real files write it: UTF-8 or code page 932,
// LF or CR LF, comments over several lines. A statement it cannot use becomes a problem
// with its line number and the rest of the file still loads; no input makes it fail.
class DbcReader final
{
public:
    static CanDatabase parse(std::string_view bytes);
    // Fails only when the file cannot be read or is larger than kMaxFileBytes.
    static Result<CanDatabase> readFile(const QString &path);

    static constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;
};
