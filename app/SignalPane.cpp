#include "SignalPane.h"

#include "SignalCsv.h"
#include "Vexa100.h"

#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QColor fromBgr(int32_t c)
{
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

QString fromUtf8(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

void setText(QTreeWidgetItem *item, int column, const QString &text)
{
    if (item->text(column) != text)
        item->setText(column, text);
}

} // namespace

SignalPane::SignalPane(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("SignalPane"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("SignalPane_Title"));
    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("SignalPane_Signals"));
    m_tree->setRootIsDecorated(false);
    m_tree->setUniformRowHeights(true);
    m_tree->setHeaderLabels({QStringLiteral("信号"), QStringLiteral("値"), QStringLiteral("単位"),
                             QStringLiteral("値の名前")});
    m_tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(m_title);
    layout->addWidget(m_tree, 1);
    m_info = new QLabel(this);
    m_info->setObjectName(QStringLiteral("SignalPane_Database"));
    m_info->setWordWrap(true);
    layout->addWidget(m_info);
    m_title->setText(QStringLiteral("表の行を選ぶと、その信号を表示します"));
}

void SignalPane::setDatabaseInfo(const QString &fileName, const CanDatabase *db)
{
    if (!db) {
        m_info->clear();
        return;
    }
    const int standard = db->standardCount();
    const int extended = int(db->messages().size()) - standard;
    QString text = QStringLiteral("%1（%2）: メッセージ %3")
                       .arg(fileName, db->formatText())
                       .arg(standard);
    if (extended > 0)
        text += QStringLiteral("、29ビット %1（このバスでは使用しません）").arg(extended);
    m_info->setText(text);
}

QString SignalPane::databaseInfo() const
{
    return m_info->text();
}

QString SignalPane::titleText() const
{
    return m_title->text();
}

void SignalPane::showWatch(const SignalWatch &watch, bool colourOn, int32_t colour,
                           int32_t fadeTime)
{
    const DbcMessage *m = watch.message();
    if (m != m_shown) {
        m_shown = m;
        m_tree->clear();
        if (!m) {
            m_title->setText(QStringLiteral("表の行を選ぶと、その信号を表示します"));
            return;
        }
        QString title = QString::number(m->id, 16).toUpper().rightJustified(3, QLatin1Char('0'))
                        + QStringLiteral("  ") + QString::fromStdString(m->name);
        if (m->cycleTimeMs > 0)
            title += QStringLiteral("  (%1 ms)").arg(m->cycleTimeMs);
        m_title->setText(title);
        m_title->setToolTip(QString::fromStdString(m->comment));
    }
    if (!m)
        return;
    const std::vector<SignalWatch::Row> &rows = watch.rows();
    while (m_tree->topLevelItemCount() > int(rows.size()))
        delete m_tree->takeTopLevelItem(m_tree->topLevelItemCount() - 1);
    std::string number;
    for (size_t i = 0; i < rows.size(); ++i) {
        const SignalWatch::Row &r = rows[i];
        QTreeWidgetItem *item = m_tree->topLevelItem(int(i));
        if (!item)
            item = new QTreeWidgetItem(m_tree);
        const QString name = QString::fromStdString(r.signal->name);
        if (item->text(0) != name) {   // another signal in this place: a new page
            item->setText(0, name);
            item->setText(2, QString::fromStdString(r.signal->unit));
            item->setToolTip(0, QString::fromStdString(r.signal->comment));
            item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        }
        number.clear();
        signalcsv::appendNumber(number, r.value);
        setText(item, 1, QString::fromLatin1(number.data(), qsizetype(number.size())));
        setText(item, 3, fromUtf8(r.signal->valueName(r.raw)));
        const QColor ink = colourOn && r.counter > 0 && fadeTime > 0
                               ? fromBgr(vexa::ColorAttenuation(colour & 0xFFFFFF,
                                                                std::min(r.counter, fadeTime),
                                                                fadeTime))
                               : palette().color(QPalette::Text);
        if (item->foreground(1).color() != ink) {
            item->setForeground(1, ink);
            item->setForeground(3, ink);
        }
    }
}
