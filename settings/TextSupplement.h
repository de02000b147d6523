#pragma once

#include "ELM327_Info.h"
#include "PlayTarget.h"

#include <QByteArray>

// Texts of config.dat that code page 932 cannot hold (a folder named "café", "Straße",
// most names outside Japanese and ASCII) would come back from the file as another text,
// with "?" in place of each such character. Their real text travels in a reserved string
// field that every reader of the file ignores: the fields keep their byte layout, and
// this program takes the real text back only while the field still holds exactly what
// was written for it.
namespace textsupplement {

// The reserved field's bytes: empty when every text fits code page 932.
QByteArray build(const ELM327_Info &params, const PlayTarget &target);
// Puts the real texts back into the fields they belong to.
void apply(const QByteArray &supplement, ELM327_Info &params, PlayTarget &target);

} // namespace textsupplement
