#pragma once

#include <QString>

// The file kinds a conversion reads and writes, told by their extension.
enum class LogFormat {
    Unknown,
    Record,    // .dat, this program's record file
    Candump,   // .log, can-utils' candump -l
    Asc,       // .asc, Vector ASCII
    Csv,       // .csv, one frame a row
    Xls,       // .xls, through the conversion engine
};

LogFormat logFormatOfPath(const QString &path);
// From a name as typed on a command line: "dat", "log", "asc", "csv", "xls".
LogFormat logFormatOfName(const QString &name);
QString logFormatExtension(LogFormat format);   // ".dat", ".log", …
bool isTextLogFormat(LogFormat format);
