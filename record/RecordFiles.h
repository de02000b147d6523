#pragma once

#include "ELM327_Info.h"
#include "FrameBuffer.h"
#include "MemoryBuffer.h"
#include "RecordFileResult.h"
#include "RecordFormat.h"
#include "RecordTrailer.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>
#include <span>

// The record-file routines shared by recording, playback and conversion.
//
// Reader results: 0 valid, -1 no such file or not readable as a whole record file,
// -2 written by another program (maker, product or key differ), -3 failure after a
// passed check. After any failed load the receiving buffer reads as empty (slot 0's
// identifier is 0), so a loop that tests slot 0 moves on.

// Zeroes slots 0 … lastIndex (20000 for all; larger values are clamped).
void ClearFrameBuffer(int32_t lastIndex, FrameBuffer &buffer);
// Zeroes slots 0 … lastIndex of rows 0 … lastRow (20000 and 199 for all).
void ClearMemoryBuffer(int32_t lastIndex, int32_t lastRow, MemoryBuffer &memory);

// Appends one frame to buffer1 (activeBuffer 1) or buffer2 (any other number) at
// fillCount and counts it. Copies min(dlc, 8, data.size()) bytes and zeroes the rest;
// the DLC is kept as given. A fill count outside 0 … 20000 stores nothing and gives false.
bool StoreFrame(int32_t &fillCount, int32_t activeBuffer, FrameBuffer &buffer1,
                FrameBuffer &buffer2, double time, int32_t identifier, uint8_t dlc,
                std::span<const uint8_t> data);

// Writes the buffer as a new file "CR" + yymmddhh + "-" + number + ".dat" in the record
// folder (the sub-folder when it is on and exists). lastHourStamp / lastSequenceNumber
// carry the numbering from one call to the next within a run (start both empty). An
// existing file is never replaced: after 1000 the numbers go on (1001, 1002, …).
// On failure code is -1 with the path tried and the reason; the buffer's frames are not
// on disk.
RecordFileResult WriteRecordFile(ELM327_Info &params, const FrameBuffer &buffer,
                                 QString &lastHourStamp, QString &lastSequenceNumber,
                                 const QString &subFolderName);

int32_t CheckRecordFile(const QString &path, const ELM327_Info &params);
// Both loaders for playback give frames without a usable time the time of the frame
// before them (FrameBuffer::mendFramesWithoutTime).
// Into buffer; on success t_LogComment := the file's comment.
int32_t LoadRecordFile(const QString &path, ELM327_Info &params, FrameBuffer &buffer);
// Into row of memory and comments[row] (t_LogComment stays). Yields to the window system
// while copying. A row outside 0 … 199 gives -3 and touches nothing.
int32_t LoadRecordFileToMemory(const QString &path, const ELM327_Info &params,
                               MemoryComments &comments, MemoryBuffer &memory, int32_t row);

// Makes the recording's sub-folder named after t_LogComment in the record folder, with
// "-002", "-003" … when the name is taken, and puts its name into subFolderName. A
// comment that leaves no usable name gives code 0 and an empty name: files then go into
// the record folder itself. On failure subFolderName is empty.
RecordFileResult CreateRecordSubFolder(ELM327_Info &params, QString &subFolderName);

// Exclusion ranges k = 0 … t_DisableID_*_MAX (taken as at most 7). 1 or 0.
int32_t IsRecExclusionEnabled(const ELM327_Info &params);
int32_t IsRecExcludedID(int32_t identifier, const ELM327_Info &params);
int32_t IsPlayExclusionEnabled(const ELM327_Info &params);
int32_t IsPlayExcludedID(int32_t identifier, const ELM327_Info &params);
// CR LF, then one line per switched-on range; empty when none is on.
QString RecExclusionText(const ELM327_Info &params);
QString PlayExclusionText(const ELM327_Info &params);

// The pieces the routines above are made of.

// By t_LogSaveFilePath_mode: 0 (and any unknown value) the program's folder, 1 the
// desktop, 2 t_LogSaveFilePath, or the desktop (then also stored there) when that is
// empty or not a folder.
QString recordBaseFolder(ELM327_Info &params);
QString recordHourStamp(const QDateTime &localTime);
// "CR" + stamp + "-" + number with at least three digits + ".dat".
QString recordFileName(const QString &hourStamp, int number);
// The order of a recording's files: by name as the recording writes them, with every run of
// digits compared as a number, so "CR26120915-999.dat" comes before "CR26120915-1000.dat"
// and the hour stamps go by time. Names equal as numbers go by their text.
bool recordFileNameLess(const QString &a, const QString &b);
// The comment made into one folder name: line breaks and control characters dropped,
// characters Windows forbids in names replaced by their full-width forms, leading dots
// made full-width (no ".", "..", hidden folders), cut to fit a file name with a suffix.
// Empty when nothing but white space is left.
QString recordSubFolderName(const QString &comment);
// A name WriteRecordFile accepts as a sub-folder: one plain path component.
bool isPlainFolderName(const QString &name);

// The clock that stamps file names; an empty function restores the local wall clock.
void setRecordClockForTesting(std::function<QDateTime()> clock);
