#pragma once

#include "CANUSB.h"
#include "PlayDevice.h"

class CAN_DB;
class ELM327_Info;

// Playback through the CANUSB adapter selected in CAN_d (CAN_USB_SelectSerial).
class CanusbPlayDevice final : public PlayDevice
{
public:
    CanusbPlayDevice(ELM327_Info &params, CANUSB &CAN_u, CAN_DB &CAN_d);
    ~CanusbPlayDevice() override;

    bool open() override;
    bool start() override { return true; }
    void busCheck(RunHost &host, CAN_ReadDB &rx) override;
    void fill(const RecordFrame &record) override;
    SendResult send() override;
    bool canSendTimed() const override;
    SendResult sendAt(uint64_t dueUs) override;
    void cancelTimed() override;
    TimedStatus timedStatus() const override;
    void close() override;
    QString bitRateLabel() const override;
    QString failureText() const override;

    // The adapter's frame from a record: identifier, time stamp 0, flags, the DLC (at
    // most 8) and the eight data bytes.
    static void CopyRecordToCanusbMsg(const PlayMessage &message, uint8_t flags,
                                      CANUSB::CANMsg &msg);
    const CANUSB::CANMsg &canusbMsg() const { return m_msg; }

private:
    ELM327_Info &m_params;
    CAN_DB &m_adapters;
    // Only the extended-identifier bit of t_msgID_type belongs in the flags byte; a
    // settings file with other bits set must not turn the frames into remote frames.
    uint8_t m_flags = 0;
    CANUSB::CANMsg m_msg;
    bool m_open = false;
};
