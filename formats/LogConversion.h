#pragma once

#include "LogFormat.h"
#include "LogTextReader.h"
#include "Result.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

class ELM327_Info;
class SpreadsheetServer;

// Converting between record files and the field's text logs, a file or a folder at a
// time. Record files are written 20001 frames each, named and numbered as a recording
// names them. Frames a target cannot hold are counted by kind, never changed.
struct ConversionOptions
{
    LogFormat to = LogFormat::Unknown;   // Unknown: by the output's extension
    ReadProgress progress;               // bytes of input read so far, of all; false stops
    // Record files written carry the comment of the record file or workbook their frames
    // came from, instead of params' t_LogComment.
    bool keepComments = false;
    // Starts the spreadsheet server the first time a workbook (.xls) is read or written;
    // called at most once a conversion. The caller keeps the server and shuts it down.
    std::function<Result<SpreadsheetServer *>()> workbookServer;
};

struct ConversionReport
{
    int inputs = 0;
    int64_t framesRead = 0;
    int64_t framesWritten = 0;
    // Frames left out, by why.
    int64_t skippedFd = 0;
    int64_t skippedRemote = 0;
    int64_t skippedError = 0;
    int64_t skippedExtended = 0;   // 29-bit identifiers or above 0x7FF: not in a record file
    int64_t skippedIdZero = 0;     // identifier 0 would end a record file's data
    int64_t skippedBadTime = 0;    // a record whose time is not a number
    int64_t badLines = 0;
    QStringList badLineTexts;      // "file:line: reason", the first kMaxBadLineTexts
    QStringList skippedInputs;     // inputs that could not be read, with why
    QStringList outputs;

    static constexpr int kMaxBadLineTexts = 20;

    int64_t skipped() const
    {
        return skippedFd + skippedRemote + skippedError + skippedExtended + skippedIdZero
               + skippedBadTime;
    }
    // "skipped 3 (CAN FD 1, remote 2)", or empty when nothing was skipped.
    QString skippedText() const;
};

// in: a file or a folder. A folder's record files are read in recording order as one
// time line; its text logs in name order; its workbooks only when it holds neither. out: a
// file for a text log (an existing folder gets a file named after the input), a folder for
// record files. Workbooks are written one a record file, named after it: out is the
// workbook's name for a single record file, otherwise a folder. Workbooks are read as the
// record files they were made from.
// params gives the record files' identification and comment (t_LogComment).
Result<ConversionReport> convertLogs(const QString &in, const QString &out,
                                     const ConversionOptions &options, const ELM327_Info &params);

// The inputs a folder (or a single file) stands for, in the order they are converted:
// record files (or workbooks) by hour stamp and number, other logs by name.
QStringList conversionInputs(const QString &in);
