#pragma once

#include "CanDatabase.h"
#include "LogFrame.h"
#include "LogTextReader.h"
#include "Result.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

class ELM327_Info;

// What decode and info --dbc share.
namespace cli {

// Reads a database for a command: its problems go to stderr with the file's name and
// their line numbers. Empty (message printed) when the file cannot be read.
std::optional<CanDatabase> loadDatabase(const QString &path);

// Every frame of a record file, a folder or a text log, in time order, into sink;
// progress in bytes over all inputs. The one place decode reads its input.
Result<LogReadStats> readInputFrames(const QString &in, const ELM327_Info &params,
                                     LogSink &sink, const ReadProgress &progress);

struct SeenId
{
    uint32_t id = 0;
    bool extended = false;
    int64_t count = 0;
    double meanCycleMs = 0;   // 0 with fewer than two frames
};
// One line per identifier seen: its message and how its mean cycle compares with the
// message's GenMsgCycleTime; then the database's messages that never came. False when a
// cycle differs.
bool printDatabaseCycles(const CanDatabase &db, const std::vector<SeenId> &ids,
                         int32_t ratioPercent);

} // namespace cli
