#pragma once

#include "BusFrame.h"

#include <cstdint>

// The adapter's acceptance filter, as its SJA1000 controller applies it in single-filter
// mode: a mask bit of 1 means "don't care", so code 0 with mask 0xFFFFFFFF passes all.
// Standard frames are compared as ID.10-0 in bits 31-21, RTR in bit 20 and the first two
// data bytes in bits 15-0 (bytes a short frame lacks are not compared); extended frames
// as ID.28-0 in bits 31-3 and RTR in bit 2.
class AcceptanceFilter final
{
public:
    AcceptanceFilter(uint32_t code, uint32_t mask) : m_code(code), m_mask(mask) {}

    bool accepts(const BusFrame &frame) const;

private:
    uint32_t m_code;
    uint32_t m_mask;
};
