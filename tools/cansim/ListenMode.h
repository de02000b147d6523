#pragma once

#include "SimMode.h"

#include <QByteArray>
#include <QFile>
#include <QTimer>

#include <cstdint>

// Logs every frame that arrives, stamped on arrival with the monotonic clock.
class ListenMode final : public SimMode
{
    Q_OBJECT

public:
    ListenMode(BusLink &bus, QString logFile, int64_t count, QObject *parent = nullptr);

    bool prepare(QString *error) override;
    bool start(QString *error) override;
    void stop() override;
    QString summary() const override;
    int defaultLingerMs() const override { return 0; }

private:
    void take();
    void flush();

    QFile m_file;
    int64_t m_count;
    int64_t m_received = 0;
    QByteArray m_pending;
    QTimer m_flushTimer;
    bool m_done = false;
};
