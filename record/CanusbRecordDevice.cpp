#include "CanusbRecordDevice.h"

#include "CANUSB.h"
#include "CAN_DB.h"
#include "ELM327_Info.h"
#include "MessageBox.h"

#include <cstring>

bool CanusbRecordDevice::open(const ELM327_Info &params)
{
    m_handle = 0;
    // All eight rates are the adapter's; anything else can only come from a damaged
    // settings file.
    const char *rate = CANUSB::bitRateText(params.t_bitRate);
    if (!rate) {
        showMessage(QStringLiteral("非対応の通信速度が選択されています。\r\n接続をを終了します。"),
                    MsgIcon::Critical, params.Application_title);
        return false;
    }
    m_handle = CANUSB::canusb_Open(m_CAN_d.CAN_USB_SelectSerial, rate,
                                   CANUSB::CANUSB_ACCEPTANCE_CODE_ALL,
                                   CANUSB::CANUSB_ACCEPTANCE_MASK_ALL,
                                   CANUSB::CANUSB_FLAG_TIMESTAMP);
    m_CAN_d.CAN_USB_Handle = m_handle;
    if (m_handle >= 1)
        return true;
    showMessage(QStringLiteral("機器が正常に動作していません。\r\nアプリケーションを終了します。"),
                MsgIcon::Critical, params.Application_title);
    return false;
}

bool CanusbRecordDevice::poll(ReceivedFrame &frame)
{
    CANUSB::CANMsg msg;
    const int32_t read = CANUSB::canusb_Read(m_handle, &msg);
    if (read <= 0) {
        m_lost = read == CANUSB::ERROR_CANUSB_NO_DEVICE;
        return false;
    }
    frame.id = msg.id;
    frame.dlc = msg.len;
    std::memcpy(frame.data, msg.data, sizeof frame.data);
    frame.deviceTimeMs = double(msg.timestamp);
    return true;
}

QString CanusbRecordDevice::lostText() const
{
    return m_lost ? QStringLiteral("機器が正常に動作していません。\r\nアプリケーションを終了します。")
                  : QString();
}

std::optional<QString> CanusbRecordDevice::close()
{
    // A handle that never opened is not the driver's to close.
    if (m_handle >= 1)
        CANUSB::canusb_Close(m_handle);
    m_handle = 0;
    return QString();
}
