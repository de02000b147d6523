#include "BrowseFileOrFolder.h"

#include "TestHelpers.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

struct TypedRow
{
    const char *label;
    const char *typed;    // into the name box, relative to the dialog's folder
    bool accept;
    const char *expected; // relative to the folder; nullptr: nothing chosen
};

void PrintTo(const TypedRow &row, std::ostream *os) { *os << row.label; }

void typeInto(QWidget *box, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(box, &press);
    }
}

class BrowseTyped : public ::testing::TestWithParam<TypedRow>
{};

} // namespace

// The one dialog takes a record file or a folder, whether clicked or typed.
TEST_P(BrowseTyped, ANameTypedIntoTheBoxIsTaken)
{
    const TypedRow &row = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(writeAll(dir.filePath("run1.dat"), QByteArray(100, '\0')));
    ASSERT_TRUE(QDir(dir.path()).mkdir("day2"));

    bool driven = false;
    bool warned = false;
    QTimer driver;
    driver.setInterval(20);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        // The dialog's own word on a name it cannot take: read, then dismissed.
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            warned = true;
            QMetaObject::invokeMethod(box, "reject");
            return;
        }
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog || driven)
            return;
        driven = true;
        dialog->setDirectory(dir.path());
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        typeInto(name, QString::fromUtf8(row.typed));
        // Pressed from a call of its own, so that this timer can dismiss a warning the key
        // brings up (Qt does not run a timer again inside its own handler).
        QMetaObject::invokeMethod(
            name,
            [&, dialog, name] {
                if (row.accept) {
                    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
                    QApplication::sendEvent(name, &enter);
                }
                // A dialog that refused the name is still open: close it as the user would.
                if (dialog->isVisible())
                    QMetaObject::invokeMethod(dialog, "reject");
            },
            Qt::QueuedConnection);
    });
    driver.start();
    const QString chosen = BrowseFileOrFolder(nullptr);
    EXPECT_TRUE(driven);
    EXPECT_EQ(warned, row.accept && !row.expected);
    if (row.expected)
        EXPECT_EQ(QDir::cleanPath(chosen), QDir::cleanPath(dir.filePath(row.expected)));
    else
        EXPECT_TRUE(chosen.isEmpty()) << chosen.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BrowseTyped,
    ::testing::Values(TypedRow{"File", "run1.dat", true, "run1.dat"},
                      TypedRow{"Folder", "day2", true, "day2"},
                      TypedRow{"Cancelled", "run1.dat", false, nullptr},
                      TypedRow{"NoSuchName", "nothing.dat", true, nullptr}),
    [](const ::testing::TestParamInfo<TypedRow> &info) { return std::string(info.param.label); });
