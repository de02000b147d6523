#pragma once

#include <QString>

// The play target the file player keeps across runs and the settings file restores.
struct PlayTarget
{
    int t_RecPlay_FileType = 0;   // 0 none, 1 one file, 2 a folder
    QString t_RecPlay_FilePath;   // folder of the target, no trailing separator
    QString t_RecPlay_FileName;   // file name for kind 1, empty for kind 2
};
