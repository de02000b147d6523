#pragma once

#include <QString>

// The help texts of the settings dialogs, by their resource number: 101 common settings,
// 102 extended function 1, 103 save functions. Empty for any other number.
namespace HelpTexts {

QString helpText(int resource);

} // namespace HelpTexts
