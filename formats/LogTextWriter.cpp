#include "LogTextWriter.h"

#include "AscLog.h"
#include "CandumpLog.h"
#include "CsvLog.h"

std::unique_ptr<LogTextWriter> makeLogTextWriter(LogFormat format)
{
    switch (format) {
    case LogFormat::Candump: return std::make_unique<CandumpLogWriter>();
    case LogFormat::Asc: return std::make_unique<AscLogWriter>();
    case LogFormat::Csv: return std::make_unique<CsvLogWriter>();
    default: return nullptr;
    }
}
