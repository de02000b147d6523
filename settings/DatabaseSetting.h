#pragma once

#include <QString>

// The CAN database the live view decodes with, remembered across restarts in a file of
// its own beside config.dat ("candb.ini", UTF-8), so config.dat keeps its byte layout.
namespace databasesetting {

QString filePath();
// The remembered database file; empty when none is set or the file cannot be read.
QString load();
// An empty path forgets the database. False when the file could not be written.
bool save(const QString &databasePath);

} // namespace databasesetting
