#pragma once

#include <QDialog>

class ELM327_Info;

// The version window: product title, rights notice and a link to the product's web page.
class FormVersion final : public QDialog
{
    Q_OBJECT

public:
    explicit FormVersion(const ELM327_Info &params, QWidget *parent = nullptr);
};
