#include "DialogSupport.h"

#include "FormHelp.h"
#include "HelpTexts.h"
#include "Paths.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QColorDialog>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QUrl>

#include <cmath>

namespace dialogs {

namespace {
// Full-width digits, signs and points typed through a Japanese input method count.
QString normalizedInput(const QString &text)
{
    return text.normalized(QString::NormalizationForm_KC).trimmed();
}

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}
} // namespace

std::optional<double> number(const QString &text)
{
    const QString t = normalizedInput(text);
    if (t.isEmpty())
        return std::nullopt;
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);   // "1,5" is not 15
    bool ok = false;
    const double v = c.toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<int32_t> roundToLong(double value)
{
    // The default rounding mode rounds halves to even.
    const double r = std::nearbyint(value);
    if (!(r >= double(INT32_MIN) && r <= double(INT32_MAX)))
        return std::nullopt;
    return int32_t(r);
}

int64_t leadingHex(const QString &text)
{
    QString t = normalizedInput(text);
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
        || t.startsWith(QLatin1String("&h"), Qt::CaseInsensitive))
        t = t.mid(2);
    int64_t value = 0;
    for (const QChar c : t) {
        const int digit = hexDigit(c);
        if (digit < 0)
            break;
        value = std::min<int64_t>(value * 16 + digit, int64_t(1) << 40);   // far past 0x7FF
    }
    return value;
}

QString idText(int32_t value)
{
    return QString::number(uint32_t(value), 16).toUpper().rightJustified(3, QLatin1Char('0'));
}

QString secondsText(int32_t milliseconds)
{
    return QString::number(double(milliseconds) / 1000.0, 'g', 12);
}

QColor toColor(int32_t bgr)
{
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

int32_t toBgr(const QColor &color)
{
    return int32_t(color.red() | (color.green() << 8) | (color.blue() << 16));
}

void setBackColor(QAbstractButton *button, int32_t bgr)
{
    const QColor c = toColor(bgr);
    button->setProperty("backColor", toBgr(c));
    button->setStyleSheet(QStringLiteral("background-color: %1; border: 1px solid #808080;")
                              .arg(c.name()));
}

int32_t backColor(const QAbstractButton *button)
{
    return button->property("backColor").toInt();
}

void chooseBackColor(QWidget *parent, QAbstractButton *button)
{
    QColorDialog chooser(toColor(backColor(button)), parent);
    chooser.setObjectName(QStringLiteral("CommonDialog1"));
    chooser.setOption(QColorDialog::DontUseNativeDialog);
    if (chooser.exec() == QDialog::Accepted && chooser.selectedColor().isValid())
        setBackColor(button, toBgr(chooser.selectedColor()));
}

void selectIndex(const QList<QRadioButton *> &group, int32_t index)
{
    // Auto-exclusive buttons cannot be cleared one by one; lift that while setting.
    for (QRadioButton *b : group) {
        b->setAutoExclusive(false);
        b->setChecked(false);
    }
    if (index >= 0 && index < group.size())
        group[index]->setChecked(true);
    for (QRadioButton *b : group)
        b->setAutoExclusive(true);
}

std::optional<int32_t> selectedIndex(const QList<QRadioButton *> &group)
{
    for (int i = 0; i < group.size(); ++i)
        if (group[i]->isChecked())
            return i;
    return std::nullopt;
}

std::optional<QString> droppedFolder(const QMimeData *data)
{
    if (!data || !data->hasUrls() || data->urls().isEmpty())
        return std::nullopt;
    const QUrl url = data->urls().constFirst();
    if (!url.isLocalFile())
        return std::nullopt;
    QString path = QDir::toNativeSeparators(url.toLocalFile());
    const QFileInfo info(path);
    if (info.isFile())
        path = QDir::toNativeSeparators(info.absolutePath());
    return paths::removeTrailingSeparator(path);
}

QString caption(const QString &applicationTitle, const QString &name)
{
    return applicationTitle + QStringLiteral("　　- ") + name + QStringLiteral(" -");
}

QRadioButton *radio(QWidget *parent, const QByteArray &name, const QString &text)
{
    auto *b = new QRadioButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

QCheckBox *check(QWidget *parent, const QByteArray &name, const QString &text)
{
    auto *b = new QCheckBox(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

QLineEdit *line(QWidget *parent, const QByteArray &name, const QString &text, const QString &tip,
                int width)
{
    auto *e = new QLineEdit(text, parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setToolTip(tip);
    if (width > 0)
        e->setFixedWidth(width);
    return e;
}

QLabel *label(QWidget *parent, const QByteArray &name, const QString &text)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

QPushButton *colourButton(QWidget *parent, const QByteArray &name)
{
    auto *b = new QPushButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setFixedSize(44, 22);
    b->setToolTip(QStringLiteral("色を選択"));
    return b;
}

QHBoxLayout *bottomRow(QWidget *parent, QToolButton *&help, QPushButton *&ok,
                       QPushButton *&cancel)
{
    auto *row = new QHBoxLayout;
    help = new QToolButton(parent);
    help->setObjectName(QStringLiteral("Img_Help_Setting"));
    help->setIcon(parent->style()->standardIcon(QStyle::SP_MessageBoxQuestion));
    help->setIconSize(QSize(28, 28));
    help->setAutoRaise(true);
    help->setToolTip(QStringLiteral("ヘルプ"));
    ok = new QPushButton(QStringLiteral("OK"), parent);
    ok->setObjectName(QStringLiteral("Bt_OK"));
    ok->setDefault(true);
    cancel = new QPushButton(QStringLiteral("キャンセル"), parent);
    cancel->setObjectName(QStringLiteral("Bt_Cancell"));
    row->addWidget(help);
    row->addStretch(1);
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

void showHelp(FormHelp *help, QWidget *dialog, const QString &applicationTitle, int resource)
{
    if (!help)
        return;
    if (!help->isVisible()) {
        // Beside the dialog when the screen has room, so both can be read at once.
        const QRect frame = dialog->frameGeometry();
        const QRect screen = dialog->screen()->availableGeometry();
        QPoint at(frame.right() + 8, frame.top());
        if (at.x() + help->width() > screen.right())
            at.setX(std::max(screen.left(), frame.left() - help->width() - 8));
        help->move(at);
    }
    help->showHelp(applicationTitle + QStringLiteral(" - ヘルプ"), HelpTexts::helpText(resource));
}

} // namespace dialogs
