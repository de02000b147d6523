#include "InterfaceRecordDevice.h"

#include "CAN_DB_Interface.h"
#include "ELM327_Info.h"
#include "InterfaceCAN.h"
#include "MessageBox.h"

#include <algorithm>
#include <cstring>

namespace {
const QString kNoHandle = QStringLiteral("-1");
} // namespace

double InterfaceRecordDevice::deviceTimeMs(uint32_t timeStampUs)
{
    return double(int32_t(timeStampUs) / 1000);
}

bool InterfaceRecordDevice::open(const ELM327_Info &params)
{
    // The end of the run closes whatever handle is stored; a refused rate must not leave
    // the previous run's handle there.
    m_handle = -1;
    m_IfCan_d.Interface_CAN_Handle = kNoHandle;
    const std::optional<uint32_t> timing = InterfaceCAN::bitTiming(params.t_bitRate);
    if (!timing) {
        showMessage(QStringLiteral("非対応の通信速度が選択されています。\r\n接続をを終了します。"),
                    MsgIcon::Critical, params.Application_title);
        return false;
    }

    const int32_t handle =
        InterfaceCAN::CanOpenPort(InterfaceCAN::portName(m_IfCan_d.Interface_CAN_SelectNo));
    m_IfCan_d.Interface_CAN_Handle = QString::number(handle);
    InterfaceCAN::CAN_CONFIG config{};
    if (handle != InterfaceCAN::INVALID_PORT_HANDLE
        && InterfaceCAN::CanGetConfig(handle, &config) != InterfaceCAN::IFCAN_ERROR_SUCCESS) {
        InterfaceCAN::CanClosePort(handle);
        m_IfCan_d.Interface_CAN_Handle = kNoHandle;
    }
    if (m_IfCan_d.Interface_CAN_Handle == kNoHandle) {
        showMessage(QStringLiteral("機器が正常に動作していません。\r\n接続を終了します。"),
                    MsgIcon::Critical, params.Application_title);
        return false;
    }

    m_handle = handle;
    config.ulBitTiming = *timing;
    config.ulMode = params.t_silent_mode == 1 ? InterfaceCAN::CAN_LISTEN_ONLY_MODE
                                              : InterfaceCAN::CAN_NORMAL_MODE;
    InterfaceCAN::CanSetConfig(m_handle, &config);
    InterfaceCAN::CanActivate(m_handle);
    return true;
}

bool InterfaceRecordDevice::poll(ReceivedFrame &frame)
{
    InterfaceCAN::CAN_MESSAGE msg;
    const uint32_t read = InterfaceCAN::CanReceiveMessage(m_handle, &msg, 1);
    if (read != InterfaceCAN::IFCAN_ERROR_SUCCESS) {
        m_lost = read == InterfaceCAN::IFCAN_ERROR_DELETED;
        return false;
    }
    frame.id = msg.ulID;
    // The record keeps the DLC in one byte; a larger report is kept as its largest value.
    frame.dlc = uint8_t(std::min<uint32_t>(msg.ulLength, 0xFF));
    std::memcpy(frame.data, msg.ucData, sizeof frame.data);
    frame.deviceTimeMs = deviceTimeMs(msg.ulTimeStamp);
    return true;
}

QString InterfaceRecordDevice::lostText() const
{
    return m_lost ? QStringLiteral("機器が正常に動作していません。\r\n接続を終了します。") : QString();
}

std::optional<QString> InterfaceRecordDevice::close()
{
    // Also after a failed open, with the handle -1: the close result tells the user what
    // the driver thinks of the port.
    const int32_t handle = m_IfCan_d.Interface_CAN_Handle.toInt();
    InterfaceCAN::CanDeactivate(handle);
    const uint32_t result = InterfaceCAN::CanClosePort(handle);
    m_handle = -1;
    return CAN_DB_Interface::closeResultText(result);
}
