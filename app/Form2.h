#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

// The progress window shown while the program starts.
class Form2 final : public QWidget
{
    Q_OBJECT

public:
    explicit Form2(QWidget *parent = nullptr);

    QLabel *Lb_msg = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
};
