#pragma once

#include <QWidget>

class QTextBrowser;

// The help window: shows the help text of a settings dialog; hidden with that dialog.
class FormHelp final : public QWidget
{
    Q_OBJECT

public:
    explicit FormHelp(QWidget *parent = nullptr);

    void showHelp(const QString &title, const QString &text);
    QString helpText() const;

private:
    QTextBrowser *m_text = nullptr;
};
