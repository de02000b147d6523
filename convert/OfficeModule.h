#pragma once

#include "SpreadsheetServer.h"

#include <QString>

#include <functional>
#include <memory>

// Finds and loads the office module beside the program, only when it is needed.
namespace office {

// The module's file name in the program's folder.
QString moduleFileName();

// True when the module loads and the office it was built for is installed; otherwise
// false with the reason.
bool isUsable(QString *why = nullptr);

struct Started
{
    std::unique_ptr<SpreadsheetServer> server;
    QString error;   // why there is no server
};

// Starts a private office and connects to it.
Started start();

// How long one call may take before the office counts as hung and is stopped.
void setCallLimitMs(int ms);
int callLimitMs();

// Tests look for the module elsewhere (an empty folder: no office); empty restores the
// program's folder.
void setModuleFolderForTesting(const QString &folder);

// Tests hand in their own server (an in-memory workbook); an empty function restores
// the office.
void setServerFactoryForTesting(std::function<Started()> factory);

} // namespace office
