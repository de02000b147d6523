#pragma once

#include "EcuMessage.h"
#include "SimMode.h"

#include <QTimer>

#include <cstdint>
#include <random>
#include <vector>

// A bus of ECUs: about thirty periodic identifiers with cycle times from 10 to 1000 ms.
// Two of them are sometimes late by a few cycles, and one falls silent for a while and
// returns, so a monitor has something to show for every one of its judgements.
class TrafficMode final : public SimMode
{
    Q_OBJECT

public:
    TrafficMode(BusLink &bus, uint32_t seed, QObject *parent = nullptr);

    bool start(QString *error) override;
    void stop() override;
    QString summary() const override;

    static constexpr uint32_t kSilentId = 0x5F0;
    static constexpr double kSilentPeriodMs = 20000;
    static constexpr double kSilentFromMs = 6000;
    static constexpr double kSilentUntilMs = 10000;

    // Whether the identifier that falls silent is quiet at this time of the run.
    static bool isSilentAt(double elapsedMs);

private:
    struct Slot
    {
        EcuMessage message;
        double dueMs; // from the start of the mode
        bool jumps;
        std::mt19937 timing; // per identifier, so late frames follow the seed too
        QByteArray pending;  // made but not yet taken by the device
    };

    void sendDue();

    std::vector<Slot> m_slots;
    double m_startMs = 0;
    int64_t m_sent = 0;
    int64_t m_jumps = 0;
    QTimer m_timer;
};
