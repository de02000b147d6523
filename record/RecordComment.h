#pragma once

#include <QString>

// The comment as the record files keep it: without trailing spaces and at most 50
// characters, counted as the user sees them (a character outside the basic plane is one
// character, never cut in half). The window's comment box and the command line both
// store it this way.
QString recordComment(QString text);

constexpr qsizetype kRecordCommentMaxCharacters = 50;
