#pragma once

#include <array>
#include <cstdint>

// One frame of a record file as it lives in memory. The file keeps the order identifier,
// time, DLC, data (21 bytes, packed); here the double comes first so the slot needs no
// inner padding and stays at 24 bytes.
struct RecordFrame
{
    double time = 0;             // ms since the first frame of the recording run
    int32_t identifier = 0;      // below 1 ends the data of a buffer
    uint8_t dlc = 0;             // as the device reported it; may be above 8 in a file
    std::array<uint8_t, 8> data{};

    bool operator==(const RecordFrame &) const = default;
};

static_assert(sizeof(RecordFrame) == 24);
