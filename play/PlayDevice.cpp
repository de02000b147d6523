#include "PlayDevice.h"

#include "RecordFrame.h"

#include <algorithm>
#include <cstring>

QString PlayDevice::bitRateLabel(int32_t t_bitRate)
{
    static const char *const kLabels[] = {"1M bps",  "800k bps", "500k bps", "250k bps",
                                          "100k bps", "50k bps", "20k bps",  "10k bps"};
    if (t_bitRate < 0 || t_bitRate >= int32_t(std::size(kLabels)))
        return {};
    return QString::fromLatin1(kLabels[t_bitRate]);
}

PlayMessage PlayDevice::toMessage(const RecordFrame &record, bool extended)
{
    PlayMessage m;
    m.id = uint32_t(record.identifier);
    m.dlc = std::min<uint8_t>(record.dlc, 8);
    std::memcpy(m.data, record.data.data(), sizeof m.data);
    const uint32_t limit = extended ? 0x1FFFFFFFu : 0x7FFu;
    m.sendable = record.identifier >= 1 && m.id <= limit;
    return m;
}
