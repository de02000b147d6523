#pragma once

#include "InterfaceCAN.h"
#include "PlayDevice.h"

class CAN_DB_Interface;
class ELM327_Info;

// Playback through the Interface CAN port selected in IfCan_d (Interface_CAN_SelectNo).
// The boards are driven with 11-bit identifiers only: the message's flag word stays 0.
class InterfaceCanPlayDevice final : public PlayDevice
{
public:
    InterfaceCanPlayDevice(ELM327_Info &params, InterfaceCAN &IfCan_u, CAN_DB_Interface &IfCan_d);
    ~InterfaceCanPlayDevice() override;

    bool open() override;
    bool start() override;
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

    // The board's message from a record: length = the DLC (at most 8), the flag word 0,
    // the identifier, the eight data bytes, the rest 0.
    static void CopyRecordToIfcanMsg(const PlayMessage &message, InterfaceCAN::CAN_MESSAGE &msg);
    const InterfaceCAN::CAN_MESSAGE &ifcanMsg() const { return m_msg; }

private:
    int32_t handle() const;

    ELM327_Info &m_params;
    CAN_DB_Interface &m_ports;
    InterfaceCAN::CAN_CONFIG m_config;
    InterfaceCAN::CAN_MESSAGE m_msg;
    bool m_open = false;
};
