#include "CANUSB.h"

#include "CanusbdrvSymbols.h"
#include "DeviceProblem.h"

#include <iterator>

namespace {

CanusbdrvSymbols &bound()
{
    CanusbdrvSymbols &s = CanusbdrvSymbols::instance();
    s.bind();
    return s;
}

// A device the driver lost may come with a reason for the user.
int reportLoss(CanusbdrvSymbols &s, int32_t handle, int result)
{
    if (result == CANUSB::ERROR_CANUSB_NO_DEVICE && s.getProblem) {
        char text[1024] = {};
        if (s.getProblem(handle, text, int(sizeof text)) > 0)
            DeviceProblem::show(text);
    }
    return result;
}

} // namespace

const char *CANUSB::bitRateText(int32_t t_bitRate)
{
    static constexpr const char *kTexts[] = {CAN_BAUD_1M,  CAN_BAUD_800K, CAN_BAUD_500K,
                                             CAN_BAUD_250K, CAN_BAUD_100K, CAN_BAUD_50K,
                                             CAN_BAUD_20K,  CAN_BAUD_10K};
    if (t_bitRate < 0 || t_bitRate >= int32_t(std::size(kTexts)))
        return nullptr;
    return kTexts[t_bitRate];
}

int CANUSB::canusb_getFirstAdapter(char *szAdapter, int size)
{
    auto &s = bound();
    if (!s.getFirstAdapter || !szAdapter || size < 1)
        return ERROR_CANUSB_GENERAL;
    return s.getFirstAdapter(szAdapter, size);
}

int CANUSB::canusb_getNextAdapter(char *szAdapter, int size)
{
    auto &s = bound();
    if (!s.getNextAdapter || !szAdapter || size < 1)
        return ERROR_CANUSB_GENERAL;
    return s.getNextAdapter(szAdapter, size);
}

int32_t CANUSB::canusb_Open(const QString &szID, const char *szBitrate, uint32_t acceptance_code,
                            uint32_t acceptance_mask, uint32_t flags)
{
    auto &s = bound();
    if (!s.open || !szBitrate)
        return ERROR_CANUSB_GENERAL;
    const QByteArray serial = szID.toLatin1();
    return s.open(serial.constData(), szBitrate, acceptance_code, acceptance_mask, flags);
}

int CANUSB::canusb_Close(int32_t handle)
{
    auto &s = bound();
    return s.close ? s.close(handle) : ERROR_CANUSB_GENERAL;
}

int CANUSB::canusb_Read(int32_t handle, CANMsg *msg)
{
    auto &s = bound();
    return s.read && msg ? reportLoss(s, handle, s.read(handle, msg)) : ERROR_CANUSB_GENERAL;
}

int CANUSB::canusb_ReadFirst(int32_t handle, uint32_t id, uint32_t flags, CANMsg *msg)
{
    auto &s = bound();
    return s.readFirst && msg ? reportLoss(s, handle, s.readFirst(handle, id, flags, msg))
                              : ERROR_CANUSB_GENERAL;
}

int CANUSB::canusb_Write(int32_t handle, CANMsg *msg)
{
    auto &s = bound();
    return s.write && msg ? reportLoss(s, handle, s.write(handle, msg)) : ERROR_CANUSB_GENERAL;
}

int CANUSB::canusb_Status(int32_t handle)
{
    auto &s = bound();
    return s.status ? s.status(handle) : ERROR_CANUSB_GENERAL;
}

int CANUSB::canusb_VersionInfo(int32_t handle, char *verinfo)
{
    auto &s = bound();
    return s.versionInfo && verinfo ? s.versionInfo(handle, verinfo) : ERROR_CANUSB_GENERAL;
}

int CANUSB::canusb_Flush(int32_t handle, uint8_t flushflags)
{
    auto &s = bound();
    return s.flush ? s.flush(handle, flushflags) : ERROR_CANUSB_GENERAL;
}

bool CANUSB::hasTimedSending()
{
    auto &s = bound();
    return s.writeAt && s.writeAtStatus && s.flush;
}

int CANUSB::canusb_WriteAt(int32_t handle, CANMsg *msg, uint64_t dueUs)
{
    auto &s = bound();
    return s.writeAt && msg ? reportLoss(s, handle, s.writeAt(handle, msg, dueUs))
                            : ERROR_CANUSB_GENERAL;
}

int CANUSB::canusb_WriteAtStatus(int32_t handle, uint32_t *sent, uint32_t *waiting)
{
    auto &s = bound();
    return s.writeAtStatus ? reportLoss(s, handle, s.writeAtStatus(handle, sent, waiting))
                           : ERROR_CANUSB_GENERAL;
}

QStringList CANUSB::ignoredEntries()
{
    auto &s = bound();
    if (!s.getIgnoredEntry)
        return {};
    return DeviceProblem::collect(s.getIgnoredEntry);
}

QString CANUSB::driverPath()
{
    return CanusbdrvSymbols::instance().library().path();
}

bool CANUSB::isDriverInstalled()
{
    return CanusbdrvSymbols::instance().library().isPresent();
}

bool CANUSB::bindDriver(QString *error)
{
    auto &s = CanusbdrvSymbols::instance();
    const bool ok = s.bind();
    if (!ok && error)
        *error = s.library().errorString();
    return ok;
}
