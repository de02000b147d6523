#pragma once

#include <QByteArray>

#include <array>
#include <cstdint>
#include <random>

// One periodic message of a simulated ECU. Its contents depend only on the seed, the
// identifier and the frame number, never on timing, so two runs with the same seed send
// the same bytes per identifier.
class EcuMessage final
{
public:
    enum class Role : uint8_t { Constant, SignalLow, SignalHigh, Noise, Flags, Counter, Checksum };

    EcuMessage(uint32_t id, int cycleMs, uint32_t seed);

    uint32_t id() const { return m_id; }
    int cycleMs() const { return m_cycleMs; }
    int dlc() const { return m_dlc; }
    Role role(int byte) const { return m_roles[size_t(byte)]; }

    // The next frame's data; each call advances the frame number.
    QByteArray nextPayload();
    // The checksum the last byte carries: the sum of the other bytes plus the identifier's
    // low byte, negated, so that all bytes plus the identifier sum to 0 modulo 256.
    static uint8_t checksum(uint32_t id, const QByteArray &data);

private:
    void planBytes();

    uint32_t m_id;
    int m_cycleMs;
    int m_dlc = 8;
    std::array<Role, 8> m_roles{};
    std::array<uint8_t, 8> m_constants{};
    std::mt19937 m_rng;
    uint32_t m_frameNo = 0;
    uint8_t m_flags = 0;
    double m_signalBase = 0;
    double m_signalAmplitude = 0;
    double m_signalPeriodMs = 1000;
};
