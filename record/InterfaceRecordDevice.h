#pragma once

#include "RecordDevice.h"

class CAN_DB_Interface;
class InterfaceCAN;

// An Interface CAN board as a record loop sees it: five bit rates, microsecond time stamps
// that wrap at 429491000, deactivated and closed after the last record file is written,
// with the close result shown in status line 0.
class InterfaceRecordDevice final : public RecordDevice
{
public:
    InterfaceRecordDevice(InterfaceCAN &IfCan_u, CAN_DB_Interface &IfCan_d)
        : m_IfCan_u(IfCan_u), m_IfCan_d(IfCan_d)
    {
    }

    static constexpr double kWrapMs = 429491;

    double wrapMs() const override { return kWrapMs; }
    bool open(const ELM327_Info &params) override;
    bool poll(ReceivedFrame &frame) override;
    QString lostText() const override;
    bool closesBeforeLastFile() const override { return false; }
    std::optional<QString> close() override;

    // The board's time stamp in ms: microseconds taken as a signed 32-bit value, divided
    // by 1000 with the fraction dropped toward zero.
    static double deviceTimeMs(uint32_t timeStampUs);

private:
    InterfaceCAN &m_IfCan_u;
    CAN_DB_Interface &m_IfCan_d;
    int32_t m_handle = -1;
    bool m_lost = false;
};
