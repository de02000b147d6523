#pragma once

#include "KeyboardNavigation.h"

#include <QDialog>

// A settings window. Its controls are filled from the parameters once, when it is first
// shown: a later resize or re-show must not throw away what was typed.
class SettingsDialog : public QDialog
{
public:
    using QDialog::QDialog;

    virtual void read_setting() = 0;

protected:
    void showEvent(QShowEvent *event) override
    {
        if (!m_read) {
            m_read = true;
            read_setting();
            keyboard::focusFirstControl(this);
        }
        QDialog::showEvent(event);
    }

private:
    bool m_read = false;
};
