#include "Form2.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

Form2::Form2(QWidget *parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("Form2"));
    auto *layout = new QVBoxLayout(this);
    auto *picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Img_Logo"));
    picture->setPixmap(QPixmap(QStringLiteral(":/buttons/302.png")));
    picture->setAlignment(Qt::AlignCenter);
    auto *title = new QLabel(QStringLiteral("CANケストローバ"), this);
    title->setAlignment(Qt::AlignCenter);
    QFont big = title->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    title->setFont(big);
    Lb_msg = new QLabel(this);
    Lb_msg->setObjectName(QStringLiteral("Lb_msg"));
    Lb_msg->setAlignment(Qt::AlignCenter);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    layout->addWidget(picture);
    layout->addWidget(title);
    layout->addWidget(Lb_msg);
    layout->addWidget(ProgressBar1);
    resize(360, 200);
}
