#pragma once

#include <QString>

class QCoreApplication;

// Qt's own texts (the colour chooser, the file dialogs, standard buttons) in Japanese, to
// match the rest of the program, whatever the desktop's language. Empty on success, else
// what is missing.
QString loadQtTranslations(QCoreApplication &app);
