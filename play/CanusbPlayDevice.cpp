#include "CanusbPlayDevice.h"

#include "CAN_DB.h"
#include "CAN_ReadDB.h"
#include "ELM327_Info.h"
#include "MessageBox.h"
#include "RecordFrame.h"

#include <cstring>

CanusbPlayDevice::CanusbPlayDevice(ELM327_Info &params, CANUSB &, CAN_DB &CAN_d)
    : m_params(params), m_adapters(CAN_d),
      m_flags(uint8_t(params.t_msgID_type & CANUSB::CANMSG_EXTENDED))
{
}

CanusbPlayDevice::~CanusbPlayDevice()
{
    close();
}

QString CanusbPlayDevice::bitRateLabel() const
{
    return PlayDevice::bitRateLabel(m_params.t_bitRate);
}

QString CanusbPlayDevice::failureText() const
{
    return QStringLiteral("機器が正常に動作していません。\r\nアプリケーションを終了します。");
}

bool CanusbPlayDevice::open()
{
    const char *rate = CANUSB::bitRateText(m_params.t_bitRate);
    if (!rate) {
        // Only a damaged settings file gets here; the dialog offers indices 0 … 7.
        showMessage(QStringLiteral("非対応の通信速度が選択されています。\r\n接続をを終了します。"),
                    MsgIcon::Critical, m_params.Application_title);
        return false;
    }
    m_adapters.CAN_USB_Handle = CANUSB::canusb_Open(
        m_adapters.CAN_USB_SelectSerial, rate, CANUSB::CANUSB_ACCEPTANCE_CODE_ALL,
        CANUSB::CANUSB_ACCEPTANCE_MASK_ALL, CANUSB::CANUSB_FLAG_TIMESTAMP);
    if (m_adapters.CAN_USB_Handle < 1) {
        showMessage(failureText(), MsgIcon::Critical, m_params.Application_title);
        return false;
    }
    m_open = true;
    return true;
}

void CanusbPlayDevice::busCheck(RunHost &host, CAN_ReadDB &rx)
{
    const int32_t handle = m_adapters.CAN_USB_Handle;
    rx.busCheck(host, [handle](uint32_t &id) {
        CANUSB::CANMsg msg;
        if (CANUSB::canusb_Read(handle, &msg) < 1)
            return false;
        id = msg.id;
        return true;
    });
}

void CanusbPlayDevice::CopyRecordToCanusbMsg(const PlayMessage &message, uint8_t flags,
                                             CANUSB::CANMsg &msg)
{
    msg.id = message.id;
    msg.timestamp = 0;
    msg.flags = flags;
    msg.len = message.dlc;
    std::memcpy(msg.data, message.data, sizeof msg.data);
}

void CanusbPlayDevice::fill(const RecordFrame &record)
{
    m_message = toMessage(record, m_flags & CANUSB::CANMSG_EXTENDED);
    CopyRecordToCanusbMsg(m_message, m_flags, m_msg);
}

namespace {

// What a write's result means for the run. A timed write fails with any other code when the
// driver cannot send at a due time.
PlayDevice::SendResult resultOf(int result, bool timed)
{
    switch (result) {
    case CANUSB::ERROR_CANUSB_OK:
        return PlayDevice::SendResult::Sent;
    case CANUSB::ERROR_CANUSB_TX_FIFO_FULL:
        return PlayDevice::SendResult::Busy;
    case CANUSB::ERROR_CANUSB_NO_DEVICE:
    case CANUSB::ERROR_CANUSB_NOT_OPEN:
        return PlayDevice::SendResult::Lost;
    case CANUSB::ERROR_CANUSB_INVALID_PARAM:
        return PlayDevice::SendResult::Refused;
    default:
        return timed ? PlayDevice::SendResult::Untimed : PlayDevice::SendResult::Refused;
    }
}

} // namespace

PlayDevice::SendResult CanusbPlayDevice::send()
{
    return resultOf(CANUSB::canusb_Write(m_adapters.CAN_USB_Handle, &m_msg), false);
}

bool CanusbPlayDevice::canSendTimed() const
{
    return CANUSB::hasTimedSending();
}

PlayDevice::SendResult CanusbPlayDevice::sendAt(uint64_t dueUs)
{
    return resultOf(CANUSB::canusb_WriteAt(m_adapters.CAN_USB_Handle, &m_msg, dueUs), true);
}

void CanusbPlayDevice::cancelTimed()
{
    CANUSB::canusb_Flush(m_adapters.CAN_USB_Handle,
                         CANUSB::FLUSH_CANCEL_TIMED | CANUSB::FLUSH_DONTWAIT);
}

PlayDevice::TimedStatus CanusbPlayDevice::timedStatus() const
{
    TimedStatus s;
    CANUSB::canusb_WriteAtStatus(m_adapters.CAN_USB_Handle, &s.sent, &s.waiting);
    return s;
}

void CanusbPlayDevice::close()
{
    if (!m_open)
        return;
    m_open = false;
    CANUSB::canusb_Close(m_adapters.CAN_USB_Handle);
}
