#include "FormCommonSetting.h"

#include "DialogSupport.h"
#include "ELM327_Info.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const char *const kBitRateTexts[8] = {"1M bps",   "800k bps", "500k bps", "250k bps",
                                      "100k bps", "50k bps",  "20k bps",  "10k bps"};
const char *const kBitRateNames[8] = {"RB_BitRate_0", "RB_BitRate_1", "RB_BitRate_2",
                                      "RB_BitRate_3", "RB_BitRate_4", "RB_BitRate_5",
                                      "RB_BitRate_6", "RB_BitRate_7"};

template <size_t N>
QList<QRadioButton *> group(const std::array<QRadioButton *, N> &buttons)
{
    return QList<QRadioButton *>(buttons.begin(), buttons.end());
}

void setTicked(QCheckBox *box, int32_t value)
{
    // Values other than 0 and 1 leave the box as it is.
    if (value == 1 || value == 0)
        box->setChecked(value == 1);
}

void storeSelected(const QList<QRadioButton *> &buttons, int32_t &target)
{
    if (const auto i = dialogs::selectedIndex(buttons))
        target = *i;
}

} // namespace

FormCommonSetting::FormCommonSetting(ELM327_Info &params, FormHelp *help, QWidget *parent)
    : SettingsDialog(parent), m_params(params), m_help(help)
{
    setObjectName(QStringLiteral("FormCommonSetting"));
    buildWindow();
}

void FormCommonSetting::buildWindow()
{
    using namespace dialogs;
    auto *root = new QVBoxLayout(this);
    auto *columns = new QHBoxLayout;
    auto *left = new QVBoxLayout;
    auto *right = new QVBoxLayout;

    auto *rates = new QGroupBox(QStringLiteral("通信速度"), this);
    rates->setObjectName(QStringLiteral("GB_BitRate"));
    auto *rateGrid = new QGridLayout(rates);
    for (int i = 0; i < 8; ++i) {
        RB_BitRate[size_t(i)] = radio(rates, kBitRateNames[i], QLatin1String(kBitRateTexts[i]));
        rateGrid->addWidget(RB_BitRate[size_t(i)], i % 4, i / 4);
    }
    // The rates only the CANUSB adapter offers are written in blue.
    for (int i : {1, 6, 7})
        RB_BitRate[size_t(i)]->setStyleSheet(QStringLiteral("color: blue;"));
    auto *label6 = label(rates, "Label6", QStringLiteral("青字・・・CANUSBのみ"));
    label6->setStyleSheet(QStringLiteral("color: blue;"));
    rateGrid->addWidget(label6, 4, 0, 1, 2);
    left->addWidget(rates);

    auto *type = new QGroupBox(QStringLiteral("メッセージ仕様"), this);
    type->setObjectName(QStringLiteral("GB_MsgType"));
    auto *typeRow = new QHBoxLayout(type);
    RB_MsgType[0] = radio(type, "RB_MsgType_0", QStringLiteral("11ビットＣＡＮ"));
    RB_MsgType[1] = radio(type, "RB_MsgType_1", QStringLiteral("29ビットＣＡＮ"));
    RB_MsgType[0]->setChecked(true);
    RB_MsgType[1]->setEnabled(false);   // only 11-bit identifiers are supported
    typeRow->addWidget(RB_MsgType[0]);
    typeRow->addWidget(RB_MsgType[1]);
    left->addWidget(type);

    auto *silent = new QGroupBox(QStringLiteral("サイレントモード"), this);
    silent->setObjectName(QStringLiteral("GB_Silent_Mode"));
    auto *silentGrid = new QGridLayout(silent);
    RB_Silent_Mode[0] = radio(silent, "RB_Silent_Mode_0", QStringLiteral("ACKを返す"));
    RB_Silent_Mode[1] = radio(silent, "RB_Silent_Mode_1", QStringLiteral("サイレント"));
    silentGrid->addWidget(RB_Silent_Mode[0], 0, 0);
    silentGrid->addWidget(RB_Silent_Mode[1], 0, 1);
    silentGrid->addWidget(label(silent, "Label7", QStringLiteral("Interface CAN専用")), 1, 0, 1, 2);
    left->addWidget(silent);
    left->addStretch(1);

    auto *skip = new QGroupBox(QStringLiteral("ファイル切替時に時間を飛ばす"), this);
    skip->setObjectName(QStringLiteral("GB_SkipTime"));
    auto *skipRow = new QHBoxLayout(skip);
    CB_SkipTime_On = check(skip, "CB_SkipTime_On", QStringLiteral("有効"));
    TB_SkipTimeParam = line(skip, "TB_SkipTimeParam", QStringLiteral("300"),
                            QStringLiteral("30 ～ 100000 [ms]"), 80);
    skipRow->addWidget(CB_SkipTime_On);
    skipRow->addWidget(TB_SkipTimeParam);
    skipRow->addWidget(label(skip, "Label5_0", QStringLiteral("ms以上のとき")));
    skipRow->addStretch(1);
    right->addWidget(skip);

    CB_MM_Mode = check(this, "CB_MM_Mode",
                       QStringLiteral("メモリバッファ再生を有効にする （最大200ファイル）"));
    right->addWidget(CB_MM_Mode);

    auto *change = new QGroupBox(QStringLiteral("データ変化時の色表示"), this);
    change->setObjectName(QStringLiteral("GB_DataChangeColor"));
    auto *changeRow = new QHBoxLayout(change);
    CB_DataChangeColor_Enable = check(change, "CB_DataChangeColor_Enable", QStringLiteral("有効"));
    TB_DataChangeColorTime = line(change, "TB_DataChangeColorTime", QStringLiteral("60"),
                                  QStringLiteral("1 ～ 3600 [sec]"), 60);
    Bt_DataChangeColor_Dialog = colourButton(change, "Bt_DataChangeColor_Dialog");
    changeRow->addWidget(CB_DataChangeColor_Enable);
    changeRow->addWidget(TB_DataChangeColorTime);
    changeRow->addWidget(label(change, "Label2", QStringLiteral("sec")));
    changeRow->addStretch(1);
    changeRow->addWidget(Bt_DataChangeColor_Dialog);
    right->addWidget(change);

    auto *late = new QGroupBox(QStringLiteral("受信周期遅れの色表示"), this);
    late->setObjectName(QStringLiteral("GB_MsgLateColor"));
    auto *lateRow = new QHBoxLayout(late);
    CB_MsgLateColor_Enable = check(late, "CB_MsgLateColor_Enable", QStringLiteral("有効"));
    TB_MsgLateColor_Ratio = line(late, "TB_MsgLateColor_Ratio", QStringLiteral("30"),
                                 QStringLiteral("1 ～ 100 [%]"), 50);
    TB_MsgLateColor_Time = line(late, "TB_MsgLateColor_Time", QStringLiteral("60"),
                                QStringLiteral("1 ～ 3600 [sec]"), 60);
    Bt_MsgLateColor_Dialog = colourButton(late, "Bt_MsgLateColor_Dialog");
    lateRow->addWidget(CB_MsgLateColor_Enable);
    lateRow->addWidget(TB_MsgLateColor_Ratio);
    lateRow->addWidget(label(late, "Label3", QStringLiteral("％")));
    lateRow->addWidget(label(late, "Label4", QStringLiteral("表示時間")));
    lateRow->addWidget(TB_MsgLateColor_Time);
    lateRow->addWidget(label(late, "Label5_1", QStringLiteral("sec")));
    lateRow->addStretch(1);
    lateRow->addWidget(Bt_MsgLateColor_Dialog);
    right->addWidget(late);

    auto *stop = new QGroupBox(QStringLiteral("受信途絶の色表示"), this);
    stop->setObjectName(QStringLiteral("GB_Msg_Blackout"));
    auto *stopRow = new QHBoxLayout(stop);
    CB_Msg_Blackout_Enable = check(stop, "CB_Msg_Blackout_Enable", QStringLiteral("有効"));
    TB_Msg_Blackout_Ratio = line(stop, "TB_Msg_Blackout_Ratio", QStringLiteral("300"),
                                 QStringLiteral("150 ～ 10000 [%]"), 60);
    Bt_Msg_Blackout_Dialog = colourButton(stop, "Bt_Msg_Blackout_Dialog");
    stopRow->addWidget(CB_Msg_Blackout_Enable);
    stopRow->addWidget(TB_Msg_Blackout_Ratio);
    stopRow->addWidget(label(stop, "Label10", QStringLiteral("％")));
    stopRow->addStretch(1);
    stopRow->addWidget(Bt_Msg_Blackout_Dialog);
    right->addWidget(stop);
    right->addStretch(1);

    columns->addLayout(left);
    columns->addLayout(right, 1);
    root->addLayout(columns);

    QPushButton *ok = nullptr;
    QPushButton *cancel = nullptr;
    QHBoxLayout *bottom = bottomRow(this, Img_Help_Setting, ok, cancel);
    bottom->insertWidget(1, label(this, "Label1", QStringLiteral("ヘルプ")));
    root->addLayout(bottom);

    keyboard::arrowKeysChoose(group(RB_BitRate));
    keyboard::arrowKeysChoose(group(RB_MsgType));
    keyboard::arrowKeysChoose(group(RB_Silent_Mode));

    connect(ok, &QPushButton::clicked, this, &FormCommonSetting::Bt_OK_Click);
    connect(cancel, &QPushButton::clicked, this, &FormCommonSetting::Bt_Cancell_Click);
    connect(Img_Help_Setting, &QToolButton::clicked, this,
            &FormCommonSetting::Img_Help_Setting_Click);
    connect(Bt_DataChangeColor_Dialog, &QPushButton::clicked, this,
            &FormCommonSetting::Bt_DataChangeColor_Dialog_Click);
    connect(Bt_MsgLateColor_Dialog, &QPushButton::clicked, this,
            &FormCommonSetting::Bt_MsgLateColor_Dialog_Click);
    connect(Bt_Msg_Blackout_Dialog, &QPushButton::clicked, this,
            &FormCommonSetting::Bt_Msg_Blackout_Dialog_Click);
}

void FormCommonSetting::read_setting()
{
    using namespace dialogs;
    setWindowTitle(caption(m_params.Application_title, QStringLiteral("共通設定")));

    selectIndex(group(RB_BitRate), m_params.t_bitRate);
    selectIndex(group(RB_MsgType), m_params.t_msgID_type);
    selectIndex(group(RB_Silent_Mode), m_params.t_silent_mode);

    setTicked(CB_SkipTime_On, m_params.t_SkipTimeON);
    setTicked(CB_MM_Mode, m_params.t_MM_Mode);
    setTicked(CB_DataChangeColor_Enable, m_params.t_DataChangeColorEnable);
    setTicked(CB_MsgLateColor_Enable, m_params.t_MsgLateColorEnable);
    setTicked(CB_Msg_Blackout_Enable, m_params.t_MsgBlackout_Enable);

    TB_DataChangeColorTime->setText(secondsText(m_params.t_DataChangeColorTime));
    TB_MsgLateColor_Time->setText(secondsText(m_params.t_MsgLateColor_Time));
    TB_MsgLateColor_Ratio->setText(QString::number(m_params.t_MsgLateColor_Ratio));
    TB_Msg_Blackout_Ratio->setText(QString::number(m_params.t_MsgBlackout_Ratio));
    TB_SkipTimeParam->setText(QString::number(m_params.t_SkipTime_Value));

    setBackColor(Bt_DataChangeColor_Dialog, m_params.t_DataChangeColor);
    setBackColor(Bt_MsgLateColor_Dialog, m_params.t_MsgLateColor);
    setBackColor(Bt_Msg_Blackout_Dialog, m_params.t_MsgBlackout_Color);
}

void FormCommonSetting::Bt_OK_Click()
{
    storeSelected(group(RB_BitRate), m_params.t_bitRate);
    storeSelected(group(RB_MsgType), m_params.t_msgID_type);
    storeSelected(group(RB_Silent_Mode), m_params.t_silent_mode);
    m_params.t_MM_Mode = CB_MM_Mode->isChecked() ? 1 : 0;

    // Each box: the accepted range of the number typed, and the factor to the stored unit.
    // The stored value is at least 1: a time or ratio of 0 would divide by zero or
    // colour every line.
    struct Rule
    {
        QLineEdit *box;
        double low;
        bool lowIncluded;
        double high;
        double factor;
        int32_t &target;
    };
    const Rule rules[] = {
        {TB_DataChangeColorTime, 0, false, 3600, 1000, m_params.t_DataChangeColorTime},
        {TB_MsgLateColor_Ratio, 0, false, 100, 1, m_params.t_MsgLateColor_Ratio},
        {TB_MsgLateColor_Time, 0, false, 3600, 1000, m_params.t_MsgLateColor_Time},
        {TB_Msg_Blackout_Ratio, 150, true, 10000, 1, m_params.t_MsgBlackout_Ratio},
        {TB_SkipTimeParam, 30, true, 100000, 1, m_params.t_SkipTime_Value},
    };
    for (const Rule &r : rules) {
        const auto v = dialogs::number(r.box->text());
        if (!v || *v > r.high || *v < r.low || (*v == r.low && !r.lowIncluded))
            continue;
        const auto stored = dialogs::roundToLong(*v * r.factor);
        if (stored && *stored >= 1)
            r.target = *stored;
    }

    m_params.t_DataChangeColorEnable = CB_DataChangeColor_Enable->isChecked() ? 1 : 0;
    m_params.t_MsgLateColorEnable = CB_MsgLateColor_Enable->isChecked() ? 1 : 0;
    m_params.t_MsgBlackout_Enable = CB_Msg_Blackout_Enable->isChecked() ? 1 : 0;
    m_params.t_SkipTimeON = CB_SkipTime_On->isChecked() ? 1 : 0;
    m_params.t_DataChangeColor = dialogs::backColor(Bt_DataChangeColor_Dialog);
    m_params.t_MsgLateColor = dialogs::backColor(Bt_MsgLateColor_Dialog);
    m_params.t_MsgBlackout_Color = dialogs::backColor(Bt_Msg_Blackout_Dialog);
    accept();
}

void FormCommonSetting::Bt_Cancell_Click()
{
    reject();
}

void FormCommonSetting::Bt_DataChangeColor_Dialog_Click()
{
    dialogs::chooseBackColor(this, Bt_DataChangeColor_Dialog);
}

void FormCommonSetting::Bt_MsgLateColor_Dialog_Click()
{
    dialogs::chooseBackColor(this, Bt_MsgLateColor_Dialog);
}

void FormCommonSetting::Bt_Msg_Blackout_Dialog_Click()
{
    dialogs::chooseBackColor(this, Bt_Msg_Blackout_Dialog);
}

void FormCommonSetting::Img_Help_Setting_Click()
{
    dialogs::showHelp(m_help, this, m_params.Application_title, 101);
}
