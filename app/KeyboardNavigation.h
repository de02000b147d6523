#pragma once

#include <QList>

class QRadioButton;
class QWidget;

// What a keyboard user needs in every window: option groups that the arrow keys move
// through, and a window that opens with the focus where the first control is.
namespace keyboard {

// The arrow keys move the choice within the group (in the group's order, over disabled
// buttons, round at the ends); Tab enters the group at the chosen button.
void arrowKeysChoose(const QList<QRadioButton *> &group);

// The first control Tab would reach in the window gets the focus.
void focusFirstControl(QWidget *window);

} // namespace keyboard
