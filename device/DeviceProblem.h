#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// What a driver library has to tell the user about a device that failed (a machine
// interface down, at another bit rate, removed): shown in a critical message box titled
// with the program's title, before the caller's own message about the lost device.
namespace DeviceProblem {

// The title of the boxes; the device check sets it from the parameters.
void setTitle(const QString &title);

// Shows text when it is not empty (as the driver gives it, UTF-8).
void show(const char *utf8);

// The texts a driver gives for index 0, 1, ... through get(index, buffer, size), which
// answers how many there are; none when get is null.
QStringList collect(const std::function<int(int, char *, int)> &get);

} // namespace DeviceProblem
