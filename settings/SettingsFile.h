#pragma once

#include "ELM327_Info.h"
#include "PlayTarget.h"

#include <QString>

// config.dat in <settings base>/pelmora/CanKestrova.
QString settingsFilePath();

// 0 loaded, -1 no settings file, -2 rejected (other title, rights notice or format
// number) and deleted, -3 loaded but the file ended early (what was read is used).
int32_t LoadSettingsFile(ELM327_Info &params, PlayTarget &player);

// 0 written, -1 not written. The file is replaced atomically, so a crash while saving
// leaves the previous file in place.
int32_t SaveSettingsFile(const ELM327_Info &params, const PlayTarget &player);
