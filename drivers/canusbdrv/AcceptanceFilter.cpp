#include "AcceptanceFilter.h"

bool AcceptanceFilter::accepts(const BusFrame &frame) const
{
    uint32_t bits = 0;
    uint32_t compared = 0;
    if (frame.extended()) {
        bits = (frame.id & 0x1FFFFFFFu) << 3 | (frame.remote() ? 1u << 2 : 0u);
        compared = 0xFFFFFFFCu;
    } else {
        bits = (frame.id & 0x7FFu) << 21 | (frame.remote() ? 1u << 20 : 0u);
        compared = 0xFFF00000u;
        if (!frame.remote() && frame.len >= 1) {
            bits |= uint32_t(frame.data[0]) << 8;
            compared |= 0x0000FF00u;
        }
        if (!frame.remote() && frame.len >= 2) {
            bits |= frame.data[1];
            compared |= 0x000000FFu;
        }
    }
    return ((bits ^ m_code) & ~m_mask & compared) == 0;
}
