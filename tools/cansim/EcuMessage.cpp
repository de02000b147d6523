#include "EcuMessage.h"

#include <algorithm>
#include <cmath>
#include <numbers>

EcuMessage::EcuMessage(uint32_t id, int cycleMs, uint32_t seed)
    : m_id(id), m_cycleMs(cycleMs), m_rng(seed * 2654435761u ^ (id * 40503u + 0x9E37u))
{
    planBytes();
}

void EcuMessage::planBytes()
{
    static constexpr int kLengths[] = {8, 8, 8, 8, 8, 6, 5, 4, 3, 2};
    m_dlc = kLengths[m_rng() % std::size(kLengths)];
    m_roles.fill(Role::Constant);
    int last = m_dlc - 1;
    if (m_dlc >= 4)
        m_roles[size_t(last--)] = Role::Checksum;
    if (m_dlc >= 3)
        m_roles[size_t(last--)] = Role::Counter;
    for (int b = 0; b <= last; ++b) {
        const uint32_t pick = m_rng() % 10;
        if (pick < 4 && b < last) {
            m_roles[size_t(b)] = Role::SignalLow;
            m_roles[size_t(++b)] = Role::SignalHigh;
        } else if (pick < 6) {
            m_roles[size_t(b)] = Role::Noise;
        } else if (pick < 8) {
            m_roles[size_t(b)] = Role::Flags;
        }
    }
    for (auto &c : m_constants)
        c = uint8_t(m_rng());
    m_flags = uint8_t(m_rng());
    m_signalBase = 2000 + m_rng() % 30000;
    m_signalAmplitude = 200 + m_rng() % 20000;
    m_signalPeriodMs = 2000 + m_rng() % 28000;
}

uint8_t EcuMessage::checksum(uint32_t id, const QByteArray &data)
{
    uint32_t sum = id & 0xFF;
    for (int i = 0; i + 1 < data.size(); ++i)
        sum += uint8_t(data[i]);
    return uint8_t(0x100 - (sum & 0xFF));
}

QByteArray EcuMessage::nextPayload()
{
    // The signal follows the frame's nominal time, so it looks the same at any timing.
    const double t = double(m_frameNo) * m_cycleMs;
    const double value = m_signalBase
                         + m_signalAmplitude * std::sin(2 * std::numbers::pi * t / m_signalPeriodMs);
    const uint16_t signal = uint16_t(std::lround(std::clamp(value, 0.0, 65535.0)));
    if (m_rng() % 50 == 0)
        m_flags ^= uint8_t(1u << (m_rng() % 8));

    QByteArray data(m_dlc, '\0');
    for (int b = 0; b < m_dlc; ++b) {
        uint8_t v = 0;
        switch (m_roles[size_t(b)]) {
        case Role::Constant: v = m_constants[size_t(b)]; break;
        case Role::SignalLow: v = uint8_t(signal & 0xFF); break;
        case Role::SignalHigh: v = uint8_t(signal >> 8); break;
        case Role::Noise: v = uint8_t(m_rng()); break;
        case Role::Flags: v = m_flags; break;
        case Role::Counter: v = uint8_t((m_constants[size_t(b)] & 0xF0) | (m_frameNo & 0x0F)); break;
        case Role::Checksum: break;
        }
        data[b] = char(v);
    }
    if (m_roles[size_t(m_dlc - 1)] == Role::Checksum)
        data[m_dlc - 1] = char(checksum(m_id, data));
    ++m_frameNo;
    return data;
}
