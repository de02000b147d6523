// The live monitor tick, and the CAN database's signal pane beside the table.
#include "Form1.h"

#include "DatabaseChoice.h"
#include "SignalPane.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSplitter>
#include <QTextBlock>

void Form1::TimerBattRead_Timer()
{
    if (!m_monitor) {
        const LiveMonitor::Links links{device, CanPlay, Rx_CANDATA, m_view, *this,
                                       f1_interfaceCAN_offset_time,
                                       [this] { return recordElapsedMs(); }};
        m_monitor = std::make_unique<LiveMonitor>(links, *RTB_MainView);
    }
    m_monitor->setDatabase(m_database->database());
    m_monitor->tick();
    if (m_database->database()) {
        m_signalWatch.update(Rx_CANDATA, device.t_DataChangeColorTime, LiveMonitor::kInterval);
        showSignals();
    }
}

void Form1::buildSignalPane(QSplitter *splitter, QMenu *tools)
{
    m_signalPane = new SignalPane(splitter);
    splitter->addWidget(m_signalPane);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    m_signalPane->setVisible(false);
    m_database = new DatabaseChoice(tools, this, device.Application_title);
    connect(m_database, &DatabaseChoice::changed, this, [this] {
        m_signalWatch.setDatabase(m_database->database());
        m_signalPane->setVisible(m_database->database() != nullptr);
        m_signalPane->setDatabaseInfo(QFileInfo(m_database->path()).fileName(),
                                      m_database->database());
        showSignals();
    });
    // The pane follows the line the cursor is on: its first three characters are the
    // identifier of a table line.
    connect(RTB_MainView, &QTextEdit::cursorPositionChanged, this, [this] {
        static const QRegularExpression line(QStringLiteral("^([0-9A-F]{3})  \\d"));
        const QRegularExpressionMatch m = line.match(RTB_MainView->textCursor().block().text());
        const int id = m.hasMatch() ? m.captured(1).toInt(nullptr, 16) : 0;
        if (id == m_signalWatch.selected() || !m_database->database())
            return;
        m_signalWatch.select(id);
        m_signalWatch.update(Rx_CANDATA, device.t_DataChangeColorTime, 0);
        showSignals();
    });
}

void Form1::showSignals()
{
    m_signalPane->showWatch(m_signalWatch, device.t_DataChangeColorEnable == 1,
                            device.t_DataChangeColor, device.t_DataChangeColorTime);
}
