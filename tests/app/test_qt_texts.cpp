// Qt's own windows speak Japanese once the program has loaded Qt's translations.
#include "QtTranslations.h"
#include "WidgetHelpers.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QPushButton>

TEST(QtTexts, TheColourChooserAndStandardButtonsAreJapanese)
{
    auto cancelText = [] {
        QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        return box.button(QDialogButtonBox::Cancel)->text();
    };
    ASSERT_EQ(cancelText(), "Cancel") << "no translation may be loaded before";
    ASSERT_EQ(loadQtTranslations(*QCoreApplication::instance()), QString());
    EXPECT_EQ(cancelText(), QString::fromUtf8("キャンセル"));

    QColorDialog chooser;
    chooser.setOption(QColorDialog::DontUseNativeDialog);
    EXPECT_EQ(chooser.windowTitle(), QString::fromUtf8("色を選択"));
    QStringList buttons;
    for (auto *b : chooser.findChildren<QPushButton *>())
        buttons << b->text();
    EXPECT_TRUE(buttons.contains(QString::fromUtf8("キャンセル"))) << buttons.join('|').toStdString();
    EXPECT_FALSE(buttons.join('|').contains("Cancel")) << buttons.join('|').toStdString();
}
