#pragma once

#include "ELM327_Info.h"
#include "PlayTarget.h"

#include <QByteArray>

// The byte layout of config.dat: one record of 54 fields, little-endian, strings as a
// 16-bit byte count and code page 932 text. Fields 3 to 33 always take 432 bytes.
namespace settingsrecord {

QByteArray serialize(const ELM327_Info &params, const PlayTarget &target);

// Reads the record into the given objects field by field; a field that is not fully in
// the data keeps the value the object already had, and so do all fields after it.
// Returns false when the data ended before the last field.
bool parse(const QByteArray &data, ELM327_Info &params, PlayTarget &target);

} // namespace settingsrecord
