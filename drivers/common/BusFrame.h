#pragma once

#include <cstdint>

// One classic CAN frame as the driver libraries queue it, with the moment it arrived.
struct BusFrame
{
    enum Flag : uint8_t { Extended = 0x01, Remote = 0x02 };

    uint32_t id = 0;
    uint8_t flags = 0;
    uint8_t len = 0;
    uint8_t data[8] = {};
    uint64_t arrivalNs = 0;

    bool extended() const { return flags & Extended; }
    bool remote() const { return flags & Remote; }
};
