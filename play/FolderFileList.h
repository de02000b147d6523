#pragma once

#include <QString>

#include <vector>

class ELM327_Info;
class RunHost;

// The most files of any kind a playback folder may hold; a fuller folder plays nothing.
constexpr int kMaxFolderFiles = 20000;

// The record files of a folder, in the order of the recording (recordFileNameLess):
// regular files (also through a link), not hidden (no leading "."), whose names end in
// ".dat" exactly and which pass the record-file check. Empty when the folder does not
// exist or holds more than kMaxFolderFiles files of any kind (hidden and special files
// count, sub-folders do not). At most maxNames names.
//
// Checking reads every candidate, so a large folder takes a while: the window system gets
// a turn after each file, and the walk ends early with what it has when the host's RxFlag
// drops (Disconnect). Without a host it neither yields nor stops.
std::vector<QString> folderRecordFiles(const QString &folder, const ELM327_Info &params,
                                       RunHost *host, int maxNames = kMaxFolderFiles);
