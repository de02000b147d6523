#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

class FormHelp;
class QAbstractButton;
class QCheckBox;
class QColor;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMimeData;
class QPushButton;
class QRadioButton;
class QToolButton;
class QWidget;

// What the three settings dialogs share: reading numbers as the user types them, the
// colour buttons, option-button groups and folder drops.
namespace dialogs {

// The text as a number when it is one (spaces around it and full-width digits allowed),
// else nothing. Infinite and NaN texts are not numbers.
std::optional<double> number(const QString &text);
// Rounds to the nearest integer, halves to even; nothing outside the 32-bit range.
std::optional<int32_t> roundToLong(double value);
// The leading hexadecimal digits of the text (after spaces and an optional "0x" or "&H"),
// the rest ignored; 0 when there are none. Saturates instead of overflowing.
int64_t leadingHex(const QString &text);
// An identifier as the tables show it: upper-case hexadecimal, at least three digits.
QString idText(int32_t value);
// Milliseconds shown as seconds: 60000 gives "60", 1500 gives "1.5".
QString secondsText(int32_t milliseconds);

// Colours are kept as 0x00BBGGRR.
QColor toColor(int32_t bgr);
int32_t toBgr(const QColor &color);
void setBackColor(QAbstractButton *button, int32_t bgr);
int32_t backColor(const QAbstractButton *button);
// Shows the colour chooser over `parent`; a chosen colour becomes the button's back
// colour, a cancelled chooser changes nothing.
void chooseBackColor(QWidget *parent, QAbstractButton *button);

// Selects the button at `index`, or none when the index is outside the group.
void selectIndex(const QList<QRadioButton *> &group, int32_t index);
// The first selected button's index, nothing when none is selected.
std::optional<int32_t> selectedIndex(const QList<QRadioButton *> &group);

// The folder a drop names: the first dropped path, without the file name when it is an
// existing file, without one trailing separator. Nothing unless the drop carries files.
std::optional<QString> droppedFolder(const QMimeData *data);

// The caption of a settings window: the product title, two ideographic spaces, the name.
QString caption(const QString &applicationTitle, const QString &name);

// Controls made the same way in every settings window, named as the windows' controls.
QRadioButton *radio(QWidget *parent, const QByteArray &name, const QString &text);
QCheckBox *check(QWidget *parent, const QByteArray &name, const QString &text);
QLineEdit *line(QWidget *parent, const QByteArray &name, const QString &text, const QString &tip,
                int width);
QLabel *label(QWidget *parent, const QByteArray &name, const QString &text);
QPushButton *colourButton(QWidget *parent, const QByteArray &name);
// The help picture on the left, OK and キャンセル on the right.
QHBoxLayout *bottomRow(QWidget *parent, QToolButton *&help, QPushButton *&ok,
                       QPushButton *&cancel);
// Shows help text `resource` in the help window, when there is one, beside `dialog`.
void showHelp(FormHelp *help, QWidget *dialog, const QString &applicationTitle, int resource);

} // namespace dialogs
