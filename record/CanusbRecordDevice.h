#pragma once

#include "RecordDevice.h"

class CANUSB;
class CAN_DB;

// The CANUSB adapter as a record loop sees it: every bit rate, millisecond time stamps
// that wrap at 60000, closed before the last record file is written.
class CanusbRecordDevice final : public RecordDevice
{
public:
    CanusbRecordDevice(CANUSB &CAN_u, CAN_DB &CAN_d) : m_CAN_u(CAN_u), m_CAN_d(CAN_d) {}

    static constexpr double kWrapMs = 60000;

    double wrapMs() const override { return kWrapMs; }
    bool open(const ELM327_Info &params) override;
    bool poll(ReceivedFrame &frame) override;
    QString lostText() const override;
    bool closesBeforeLastFile() const override { return true; }
    std::optional<QString> close() override;

private:
    CANUSB &m_CAN_u;
    CAN_DB &m_CAN_d;
    int32_t m_handle = 0;
    bool m_lost = false;
};
