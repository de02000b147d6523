#include "SequenceMode.h"

#include "BusLink.h"
#include "FrameText.h"
#include "MonotonicClock.h"

#include <QFile>

#include <algorithm>
#include <cmath>

SequenceMode::SequenceMode(BusLink &bus, QString framesFile, QObject *parent)
    : SimMode(bus, parent), m_path(std::move(framesFile))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &SequenceMode::sendDue);
}

bool SequenceMode::prepare(QString *error)
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(m_path, file.errorString());
        return false;
    }
    double at = 0;
    int lineNo = 0;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        ++lineNo;
        QString lineError;
        const auto parsed = frametext::parseScriptLine(line, &lineError);
        if (!lineError.isEmpty()) {
            *error = QStringLiteral("%1:%2: %3").arg(m_path).arg(lineNo).arg(lineError);
            return false;
        }
        if (!parsed)
            continue;
        at += parsed->delayMs;
        m_steps.push_back({at, parsed->frame});
    }
    return true;
}

bool SequenceMode::start(QString *)
{
    m_startMs = monotonicMs();
    sendDue();
    return true;
}

void SequenceMode::sendDue()
{
    const double elapsed = monotonicMs() - m_startMs;
    while (m_next < m_steps.size() && m_steps[m_next].atMs <= elapsed) {
        if (!m_bus.send(m_steps[m_next].frame)) {
            // A full device queue: try the same frame again shortly.
            m_timer.start(1);
            return;
        }
        ++m_next;
    }
    scheduleNext();
}

void SequenceMode::scheduleNext()
{
    if (m_next >= m_steps.size()) {
        emit finished();
        return;
    }
    const double wait = m_steps[m_next].atMs - (monotonicMs() - m_startMs);
    m_timer.start(std::max(0, int(std::ceil(wait))));
}

void SequenceMode::stop()
{
    m_timer.stop();
}

QString SequenceMode::summary() const
{
    return QStringLiteral("sequence: sent %1 of %2 frames").arg(m_next).arg(m_steps.size());
}
