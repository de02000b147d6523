#include "FormHelp.h"

#include <QTextBrowser>
#include <QVBoxLayout>

FormHelp::FormHelp(QWidget *parent) : QWidget(parent, Qt::Tool)
{
    setObjectName(QStringLiteral("FormHelp"));
    auto *layout = new QVBoxLayout(this);
    m_text = new QTextBrowser(this);
    m_text->setObjectName(QStringLiteral("TB_Help"));
    layout->addWidget(m_text);
    resize(620, 520);
}

void FormHelp::showHelp(const QString &title, const QString &text)
{
    setWindowTitle(title);
    m_text->setPlainText(text);
    show();
    raise();
}

QString FormHelp::helpText() const
{
    return m_text->toPlainText();
}
