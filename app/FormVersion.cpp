#include "FormVersion.h"

#include "ELM327_Info.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

FormVersion::FormVersion(const ELM327_Info &params, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormVersion"));
    setWindowTitle(params.Application_title + QStringLiteral(" - バージョン情報"));
    auto *layout = new QVBoxLayout(this);
    auto *title = new QLabel(params.Application_title, this);
    title->setObjectName(QStringLiteral("Lb_Title"));
    QFont big = title->font();
    big.setPointSize(big.pointSize() + 4);
    big.setBold(true);
    title->setFont(big);
    auto *rights = new QLabel(params.Copy_light, this);
    rights->setObjectName(QStringLiteral("Lb_Copyright"));
    auto *link = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(params.Homepage_URL.toHtmlEscaped()),
                            this);
    link->setObjectName(QStringLiteral("Lb_Homepage"));
    link->setTextInteractionFlags(Qt::TextBrowserInteraction);
    connect(link, &QLabel::linkActivated, this,
            [url = params.Homepage_URL] { QDesktopServices::openUrl(QUrl(url)); });
    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Bt_OK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(title);
    layout->addWidget(rights);
    layout->addWidget(link);
    layout->addWidget(ok, 0, Qt::AlignRight);
}
