#pragma once

#include <QStringList>

// The subcommands; each takes its arguments (without the program and subcommand names)
// and returns the process's exit code.
namespace cli {

int runDevices(const QStringList &args);
int runRecord(const QStringList &args);
int runPlay(const QStringList &args);
int runConvert(const QStringList &args);
int runInfo(const QStringList &args);
int runDecode(const QStringList &args);

} // namespace cli
