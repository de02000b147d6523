#pragma once

#include "LogFormat.h"
#include "LogTextReader.h"
#include "Result.h"

#include <QString>
#include <QStringList>

#include <QMap>

#include <cstdint>
#include <functional>
#include <map>

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
    int channel = 0;                     // keep only this channel's frames; 0: all
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
    int64_t skippedChannel = 0;    // another channel than --channel asked for
    // Frames left out for a reason no help text promises (a time the target cannot hold,
    // frames a record file holds past an identifier 0, …): by reason. Never a success.
    QMap<QString, int64_t> notCarried;
    // Frames read by channel (those whose file names one), and how many were sent rather
    // than received; for a target that keeps neither.
    std::map<int, int64_t> channelFrames;
    int64_t txFrames = 0;
    bool targetKeepsChannels = false;
    int64_t badLines = 0;
    QStringList badLineTexts;      // "file:line: reason", the first kMaxBadLineTexts
    QStringList skippedInputs;     // inputs that could not be read, with why
    QStringList outputs;

    static constexpr int kMaxBadLineTexts = 20;

    int64_t skipped() const
    {
        return skippedFd + skippedRemote + skippedError + skippedExtended + skippedIdZero
               + skippedChannel;
    }
    int64_t notCarriedCount() const
    {
        int64_t n = 0;
        for (int64_t v : notCarried)
            n += v;
        return n;
    }
    // "skipped 3 (CAN FD 1, remote 2)", or empty when nothing was skipped.
    QString skippedText() const;
};

// in: a file or a folder. A folder's record files are read in recording order as one
// time line; its other logs in name order; its workbooks only when it holds neither. out: a
// file for a log (an existing folder gets a file named after the input); for record files
// "NAME.dat" when the frames fit one record file, else NAME-001.dat, NAME-002.dat, … beside
// it, and a folder when out is one or has no .dat extension. A single input that cannot be
// read fails the conversion; in a folder it is skipped and named. Workbooks are written one a record file, named after it: out is the
// workbook's name for a single record file, otherwise a folder. Workbooks are read as the
// record files they were made from.
// params gives the record files' identification and comment (t_LogComment).
Result<ConversionReport> convertLogs(const QString &in, const QString &out,
                                     const ConversionOptions &options, const ELM327_Info &params);

// The inputs a folder (or a single file) stands for, in the order they are converted:
// record files (or workbooks) by hour stamp and number, other logs by name.
QStringList conversionInputs(const QString &in);
