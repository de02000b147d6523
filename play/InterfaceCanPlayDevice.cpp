#include "InterfaceCanPlayDevice.h"

#include "CAN_DB_Interface.h"
#include "CAN_ReadDB.h"
#include "ELM327_Info.h"
#include "MessageBox.h"
#include "RecordFrame.h"

#include <cstring>

InterfaceCanPlayDevice::InterfaceCanPlayDevice(ELM327_Info &params, InterfaceCAN &,
                                               CAN_DB_Interface &IfCan_d)
    : m_params(params), m_ports(IfCan_d)
{
}

InterfaceCanPlayDevice::~InterfaceCanPlayDevice()
{
    close();
}

QString InterfaceCanPlayDevice::bitRateLabel() const
{
    return PlayDevice::bitRateLabel(m_params.t_bitRate);
}

QString InterfaceCanPlayDevice::failureText() const
{
    return QStringLiteral("機器が正常に動作していません。\r\n接続を終了します。");
}

int32_t InterfaceCanPlayDevice::handle() const
{
    return m_ports.Interface_CAN_Handle.toInt();
}

bool InterfaceCanPlayDevice::open()
{
    const std::optional<uint32_t> timing = InterfaceCAN::bitTiming(m_params.t_bitRate);
    if (!timing) {
        showMessage(QStringLiteral("非対応の通信速度が選択されています。\r\n接続をを終了します。"),
                    MsgIcon::Critical, m_params.Application_title);
        return false;
    }
    const QString port = InterfaceCAN::portName(m_ports.Interface_CAN_SelectNo);
    const int32_t h = InterfaceCAN::CanOpenPort(port);
    m_ports.Interface_CAN_Handle = QString::number(h < 0 ? -1 : h);
    if (h >= 0) {
        m_config = {};
        if (InterfaceCAN::CanGetConfig(h, &m_config) != InterfaceCAN::IFCAN_ERROR_SUCCESS) {
            InterfaceCAN::CanClosePort(h);
            m_ports.Interface_CAN_Handle = QStringLiteral("-1");
        }
    }
    if (m_ports.Interface_CAN_Handle == QLatin1String("-1")) {
        showMessage(failureText(), MsgIcon::Critical, m_params.Application_title);
        return false;
    }
    m_open = true;
    m_config.ulMode = InterfaceCAN::CAN_NORMAL_MODE;
    m_config.ulBitTiming = *timing;
    return true;
}

// A board receives nothing before it is configured and activated, so this comes before
// the bus check: checking an idle controller would find no other node and let playback
// send identifiers the bus already carries.
bool InterfaceCanPlayDevice::start()
{
    if (InterfaceCAN::CanSetConfig(handle(), &m_config) != InterfaceCAN::IFCAN_ERROR_SUCCESS
        || InterfaceCAN::CanActivate(handle()) != InterfaceCAN::IFCAN_ERROR_SUCCESS) {
        showMessage(failureText(), MsgIcon::Critical, m_params.Application_title);
        return false;
    }
    return true;
}

void InterfaceCanPlayDevice::busCheck(RunHost &host, CAN_ReadDB &rx)
{
    const int32_t h = handle();
    rx.busCheck(host, [h](uint32_t &id) {
        InterfaceCAN::CAN_MESSAGE msg;
        if (InterfaceCAN::CanReceiveMessage(h, &msg, 1) != InterfaceCAN::IFCAN_ERROR_SUCCESS)
            return false;
        id = msg.ulID;
        return true;
    });
}

void InterfaceCanPlayDevice::CopyRecordToIfcanMsg(const PlayMessage &message,
                                                  InterfaceCAN::CAN_MESSAGE &msg)
{
    msg = {};
    msg.ulLength = message.dlc;
    msg.ulFlags = 0;
    msg.ulID = message.id;
    std::memcpy(msg.ucData, message.data, sizeof msg.ucData);
}

void InterfaceCanPlayDevice::fill(const RecordFrame &record)
{
    m_message = toMessage(record, false);
    CopyRecordToIfcanMsg(m_message, m_msg);
}

namespace {

// What a send's result means for the run; a timed send says Untimed when the board or its
// library cannot send at a due time.
PlayDevice::SendResult resultOf(uint32_t result, bool timed)
{
    switch (result) {
    case InterfaceCAN::IFCAN_ERROR_SUCCESS:
        return PlayDevice::SendResult::Sent;
    case InterfaceCAN::IFCAN_ERROR_BUFFER_FULL:
    case InterfaceCAN::IFCAN_ERROR_NOW_SENDING:
        return PlayDevice::SendResult::Busy;
    case InterfaceCAN::IFCAN_ERROR_DELETED:
    case InterfaceCAN::IFCAN_ERROR_INVALID_HANDLE:
    case InterfaceCAN::IFCAN_ERROR_NOT_OPENED:
        return PlayDevice::SendResult::Lost;
    case InterfaceCAN::IFCAN_ERROR_NOT_SUPPORTED:
    case InterfaceCAN::IFCAN_ERROR_INVALID_FUNCTION:
        return timed ? PlayDevice::SendResult::Untimed : PlayDevice::SendResult::Refused;
    default:
        return PlayDevice::SendResult::Refused;
    }
}

} // namespace

PlayDevice::SendResult InterfaceCanPlayDevice::send()
{
    return resultOf(InterfaceCAN::CanSendMessage(handle(), &m_msg, 1), false);
}

bool InterfaceCanPlayDevice::canSendTimed() const
{
    return InterfaceCAN::hasTimedSending();
}

PlayDevice::SendResult InterfaceCanPlayDevice::sendAt(uint64_t dueUs)
{
    return resultOf(InterfaceCAN::CanSendMessageAt(handle(), &m_msg, 1, dueUs), true);
}

void InterfaceCanPlayDevice::cancelTimed()
{
    InterfaceCAN::CanFlushMessageAt(handle());
}

PlayDevice::TimedStatus InterfaceCanPlayDevice::timedStatus() const
{
    TimedStatus s;
    InterfaceCAN::CanGetMessageAtStatus(handle(), &s.sent, &s.waiting);
    return s;
}

void InterfaceCanPlayDevice::close()
{
    if (!m_open)
        return;
    m_open = false;
    InterfaceCAN::CanDeactivate(handle());
    InterfaceCAN::CanClosePort(handle());
}
