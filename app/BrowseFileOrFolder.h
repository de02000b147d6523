#pragma once

#include <QString>

#include <functional>

class QWidget;

// A file dialog in which a record file or a folder can be chosen. Empty when cancelled.
QString BrowseFileOrFolder(QWidget *owner);

// Tests answer the dialog through this hook instead of a person.
void setBrowseFileOrFolderForTesting(std::function<QString(QWidget *)> answer);
