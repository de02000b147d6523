#pragma once

#include <QWidget>

class ELM327_Info;

// The version window: product title, rights notice and a link to the product's web page.
// The main window is disabled while it is open.
class FormVersion final : public QWidget
{
    Q_OBJECT

public:
    FormVersion(const ELM327_Info &params, QWidget *mainWindow);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *m_mainWindow;
};
