#pragma once

#include <QString>

// The file kinds a conversion reads and writes, told by their extension.
enum class LogFormat {
    Unknown,
    Record,    // .dat, this program's record file
    Candump,   // .log, can-utils' candump -l
    Asc,       // .asc, Vector ASCII
    Csv,       // .csv, one frame a row (also SavvyCAN's GVRET layout, read only)
    Xls,       // .xls, through the conversion engine
    Blf,       // .blf, Vector's binary logging format
    Trc,       // .trc, PEAK's trace
};

// By the extension; "x.asc.gz" is an .asc (see isGzipPath).
LogFormat logFormatOfPath(const QString &path);
bool isGzipPath(const QString &path);
// From a name as typed on a command line: "dat", "log", "asc", "csv", "xls", "blf", "trc".
LogFormat logFormatOfName(const QString &name);
QString logFormatExtension(LogFormat format);   // ".dat", ".log", …
bool isTextLogFormat(LogFormat format);
// The formats read as a stream of frames: the text logs, .blf and .trc.
bool isStreamLogFormat(LogFormat format);
// "Vector ASCII log (.asc)", for messages.
QString logFormatTitle(LogFormat format);
