#include "FormOption1.h"

#include "DialogSupport.h"
#include "ELM327_Info.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <optional>
#include <functional>

namespace {

constexpr int64_t kLastId = 0x7FF;

QByteArray rowName(const char *base, int i)
{
    return QByteArray(base) + '_' + QByteArray::number(i);
}

// The last row of a table: the parameters' bound, never past the eight rows.
int lastRow(int32_t max)
{
    return std::clamp<int32_t>(max, -1, 7);
}

// One parameter array as the dialog reads and writes it.
struct Column
{
    std::function<int32_t(int16_t)> get;
    std::function<void(int16_t, int32_t)> set;
};

#define COLUMN(p, name) \
    Column{[&p](int16_t i) { return p.name(i); }, [&p](int16_t i, int32_t v) { p.name(i, v); }}

void setTicked(QCheckBox *box, int32_t value)
{
    if (value == 1 || value == 0)
        box->setChecked(value == 1);
}

// A byte number as typed: a whole decimal number, else nothing.
std::optional<int64_t> byteNumber(const QString &text)
{
    const auto v = dialogs::number(text);
    if (!v || *v != std::floor(*v) || std::abs(*v) > 1e9)
        return std::nullopt;
    return int64_t(*v);
}

} // namespace

// An exclusion table: check boxes and Start/End boxes with their parameter arrays.
struct FormOption1::ExclusionTable
{
    const Row &on;
    const Boxes &start;
    const Boxes &end;
    Column onValue, startValue, endValue;
    int32_t last;
};

std::array<FormOption1::ExclusionTable, 2> FormOption1::exclusionTables()
{
    ELM327_Info &p = m_params;
    return {{
        {CB_DisID_Play, TB_DisID_PlaylStart, TB_DisID_PlayEnd, COLUMN(p, t_DisableID_Play_ON),
         COLUMN(p, t_DisableID_Play_Start), COLUMN(p, t_DisableID_Play_End),
         lastRow(p.t_DisableID_Play_MAX)},
        {CB_DisID_Rec, TB_DisID_RecStart, TB_DisID_RecEnd, COLUMN(p, t_DisableID_Rec_ON),
         COLUMN(p, t_DisableID_Rec_Start), COLUMN(p, t_DisableID_Rec_End),
         lastRow(p.t_DisableID_Rec_MAX)},
    }};
}

FormOption1::FormOption1(ELM327_Info &params, FormHelp *help, QWidget *parent)
    : SettingsDialog(parent), m_params(params), m_help(help)
{
    setObjectName(QStringLiteral("FormOption1"));
    buildWindow();
}

void FormOption1::buildWindow()
{
    using namespace dialogs;
    const QString hexTip = QStringLiteral("000 ～ 7FF (16進数)");
    auto *root = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;

    auto exclusion = [&](const char *groupName, const QString &title, const char *check,
                         const char *start, const char *end, Row &on, Boxes &from, Boxes &to) {
        auto *box = new QGroupBox(title, this);
        box->setObjectName(QLatin1String(groupName));
        auto *grid = new QGridLayout(box);
        for (int i = 0; i < 8; ++i) {
            on[size_t(i)] = dialogs::check(box, rowName(check, i), QString::number(i + 1));
            from[size_t(i)] = line(box, rowName(start, i), QStringLiteral("0"), hexTip, 56);
            to[size_t(i)] = line(box, rowName(end, i), QStringLiteral("0"), hexTip, 56);
            grid->addWidget(on[size_t(i)], i, 0);
            grid->addWidget(new QLabel(QStringLiteral("CAN ID"), box), i, 1);
            grid->addWidget(from[size_t(i)], i, 2);
            grid->addWidget(new QLabel(QStringLiteral("～"), box), i, 3);
            grid->addWidget(to[size_t(i)], i, 4);
        }
        grid->setColumnStretch(5, 1);
        top->addWidget(box);
    };
    exclusion("GB_DisID_Play", QStringLiteral("再生メッセージ除外設定"), "CB_DisID_Play",
              "TB_DisID_PlaylStart", "TB_DisID_PlayEnd", CB_DisID_Play, TB_DisID_PlaylStart,
              TB_DisID_PlayEnd);
    exclusion("GB_DisID_Rec", QStringLiteral("●録画メッセージ除外設定"), "CB_DisID_Rec",
              "TB_DisID_RecStart", "TB_DisID_RecEnd", CB_DisID_Rec, TB_DisID_RecStart,
              TB_DisID_RecEnd);
    root->addLayout(top);

    auto *markers = new QGroupBox(QStringLiteral("マーカー設定"), this);
    markers->setObjectName(QStringLiteral("GB_MsgMarker"));
    auto *grid = new QGridLayout(markers);
    const QString byteTip = QStringLiteral("1 ～ 8 (10進数)");
    for (int i = 0; i < 8; ++i) {
        const size_t k = size_t(i);
        CB_MsgMarker[k] = check(markers, rowName("CB_MsgMarker", i), QString::number(i + 1));
        TB_MsgMarkerID[k] = line(markers, rowName("TB_MsgMarkerID", i),
                                 QStringLiteral("0"), hexTip, 56);
        TB_MsgMarkerStartByte[k] = line(markers, rowName("TB_MsgMarkerStartByte", i),
                                        QStringLiteral("1"), byteTip, 36);
        TB_MsgMarkerEndByte[k] = line(markers, rowName("TB_MsgMarkerEndByte", i),
                                      QStringLiteral("1"), byteTip, 36);
        Bt_MarkerColor_Dialog[k] = colourButton(markers, rowName("Bt_MarkerColor_Dialog", i));
        const int col = (i / 4) * 9;
        const int r = i % 4;
        grid->addWidget(CB_MsgMarker[k], r, col);
        grid->addWidget(new QLabel(QStringLiteral("CAN ID"), markers), r, col + 1);
        grid->addWidget(TB_MsgMarkerID[k], r, col + 2);
        grid->addWidget(TB_MsgMarkerStartByte[k], r, col + 3);
        grid->addWidget(new QLabel(QStringLiteral("～"), markers), r, col + 4);
        grid->addWidget(TB_MsgMarkerEndByte[k], r, col + 5);
        grid->addWidget(new QLabel(QStringLiteral("Byte"), markers), r, col + 6);
        grid->addWidget(Bt_MarkerColor_Dialog[k], r, col + 7);
        if (i < 4)
            grid->setColumnMinimumWidth(col + 8, 24);
        connect(Bt_MarkerColor_Dialog[k], &QPushButton::clicked, this,
                [this, i] { Bt_MarkerColor_Dialog_Click(i); });
    }
    root->addWidget(markers);
    root->addWidget(label(this, "Label_Note", QStringLiteral("※ CAN ID は、16進数表記")));

    QPushButton *ok = nullptr;
    QPushButton *cancel = nullptr;
    root->addLayout(bottomRow(this, Img_Help_Setting, ok, cancel));
    connect(ok, &QPushButton::clicked, this, &FormOption1::Bt_OK_Click);
    connect(cancel, &QPushButton::clicked, this, &FormOption1::Bt_Cancell_Click);
    connect(Img_Help_Setting, &QToolButton::clicked, this, &FormOption1::Img_Help_Setting_Click);
}

void FormOption1::read_setting()
{
    ELM327_Info &p = m_params;
    for (const ExclusionTable &t : exclusionTables()) {
        for (int16_t i = 0; i <= t.last; ++i) {
            setTicked(t.on[size_t(i)], t.onValue.get(i));
            t.start[size_t(i)]->setText(dialogs::idText(t.startValue.get(i)));
            t.end[size_t(i)]->setText(dialogs::idText(t.endValue.get(i)));
        }
    }
    for (int16_t i = 0; i <= lastRow(p.t_MsgMarker_MAX); ++i) {
        const size_t k = size_t(i);
        setTicked(CB_MsgMarker[k], p.t_MsgMarker_ON(i));
        TB_MsgMarkerID[k]->setText(dialogs::idText(p.t_MsgMarkerID(i)));
        TB_MsgMarkerStartByte[k]->setText(QString::number(p.t_MsgMarkerStartByte(i)));
        TB_MsgMarkerEndByte[k]->setText(QString::number(p.t_MsgMarkerEndByte(i)));
        dialogs::setBackColor(Bt_MarkerColor_Dialog[k], p.t_MsgMarkerColor(i));
    }
    setWindowTitle(dialogs::caption(p.Application_title, QStringLiteral("拡張機能１")));
}

void FormOption1::Bt_OK_Click()
{
    ELM327_Info &p = m_params;
    for (const ExclusionTable &t : exclusionTables()) {
        for (int16_t i = 0; i <= t.last; ++i) {
            t.onValue.set(i, t.on[size_t(i)]->isChecked() ? 1 : 0);
            const int64_t start = dialogs::leadingHex(t.start[size_t(i)]->text());
            const int64_t end = dialogs::leadingHex(t.end[size_t(i)]->text());
            if (start <= kLastId && end <= kLastId && start <= end) {
                t.startValue.set(i, int32_t(start));
                t.endValue.set(i, int32_t(end));
            }
        }
    }
    for (int16_t i = 0; i <= lastRow(p.t_MsgMarker_MAX); ++i) {
        const size_t k = size_t(i);
        p.t_MsgMarkerColor(i, dialogs::backColor(Bt_MarkerColor_Dialog[k]));
        p.t_MsgMarker_ON(i, CB_MsgMarker[k]->isChecked() ? 1 : 0);
        const int64_t id = dialogs::leadingHex(TB_MsgMarkerID[k]->text());
        if (id <= kLastId)
            p.t_MsgMarkerID(i, int32_t(id));
        const auto first = byteNumber(TB_MsgMarkerStartByte[k]->text());
        const auto last = byteNumber(TB_MsgMarkerEndByte[k]->text());
        if (first && last && *first >= 1 && *last <= 8 && *first <= *last) {
            p.t_MsgMarkerStartByte(i, int32_t(*first));
            p.t_MsgMarkerEndByte(i, int32_t(*last));
        }
    }
    accept();
}

void FormOption1::Bt_Cancell_Click()
{
    reject();
}

void FormOption1::Bt_MarkerColor_Dialog_Click(int index)
{
    if (index >= 0 && index < 8)
        dialogs::chooseBackColor(this, Bt_MarkerColor_Dialog[size_t(index)]);
}

void FormOption1::Img_Help_Setting_Click()
{
    dialogs::showHelp(m_help, this, m_params.Application_title, 102);
}
