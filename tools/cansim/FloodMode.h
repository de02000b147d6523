#pragma once

#include "SimMode.h"

#include <QList>
#include <QTimer>

#include <cstdint>

// Sends a counted run of frames at a steady rate. Each frame carries its sequence number
// (bytes 0..3, little-endian) and its complement (bytes 4..7), so a receiver can check
// that nothing was lost, doubled or reordered.
class FloodMode final : public SimMode
{
    Q_OBJECT

public:
    FloodMode(BusLink &bus, int64_t count, double rate, QList<uint32_t> ids,
              QObject *parent = nullptr);

    bool start(QString *error) override;
    void stop() override;
    QString summary() const override;

    static QByteArray payload(uint32_t sequence);

private:
    void pump();

    int64_t m_count;
    double m_rate;
    QList<uint32_t> m_ids;
    int64_t m_sent = 0;
    int64_t m_retries = 0;
    double m_startMs = 0;
    double m_endMs = 0;
    QTimer m_timer;
};
