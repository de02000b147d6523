#include "LogTextWriter.h"

#include "AscLog.h"
#include "BlfLog.h"
#include "CandumpLog.h"
#include "CsvLog.h"
#include "TrcLog.h"

std::unique_ptr<LogTextWriter> makeLogTextWriter(LogFormat format)
{
    switch (format) {
    case LogFormat::Candump: return std::make_unique<CandumpLogWriter>();
    case LogFormat::Asc: return std::make_unique<AscLogWriter>();
    case LogFormat::Csv: return std::make_unique<CsvLogWriter>();
    case LogFormat::Blf: return std::make_unique<BlfLogWriter>();
    case LogFormat::Trc: return std::make_unique<TrcLogWriter>();
    default: return nullptr;
    }
}
