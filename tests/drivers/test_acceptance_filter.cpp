#include "AcceptanceFilter.h"

#include <gtest/gtest.h>

namespace {

struct FilterRow
{
    const char *what;
    uint32_t code;
    uint32_t mask;
    uint32_t id;
    uint8_t flags;
    std::vector<uint8_t> data;
    bool accepted;
};

void PrintTo(const FilterRow &row, std::ostream *os)
{
    *os << row.what;
}

class DrvAcceptanceFilter : public ::testing::TestWithParam<FilterRow>
{
};

constexpr uint32_t stdId(uint32_t id) { return id << 21; }
// Compare the 11 identifier bits only.
constexpr uint32_t idOnly = 0x001FFFFF;

} // namespace

TEST_P(DrvAcceptanceFilter, Decides)
{
    const FilterRow &row = GetParam();
    BusFrame f;
    f.id = row.id;
    f.flags = row.flags;
    f.len = uint8_t(row.data.size());
    std::copy(row.data.begin(), row.data.end(), f.data);
    EXPECT_EQ(AcceptanceFilter(row.code, row.mask).accepts(f), row.accepted) << row.what;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DrvAcceptanceFilter,
    ::testing::Values(
        FilterRow{"all passes standard", 0, 0xFFFFFFFF, 0x7FF, 0, {1, 2}, true},
        FilterRow{"all passes extended", 0, 0xFFFFFFFF, 0x1FFFFFFF, BusFrame::Extended, {}, true},
        FilterRow{"all passes remote", 0, 0xFFFFFFFF, 0x10, BusFrame::Remote, {}, true},
        FilterRow{"exact id matches", stdId(0x123), idOnly, 0x123, 0, {}, true},
        FilterRow{"exact id refuses neighbour", stdId(0x123), idOnly, 0x124, 0, {}, false},
        FilterRow{"exact id refuses top bit", stdId(0x123), idOnly, 0x523, 0, {}, false},
        FilterRow{"low three bits free", stdId(0x120), idOnly | (7u << 21), 0x127, 0, {}, true},
        FilterRow{"rtr bit compared", stdId(0x123), 0x000FFFFF, 0x123, BusFrame::Remote, {}, false},
        FilterRow{"first data byte compared", stdId(0x123) | 0xAB00, 0x000F00FF, 0x123, 0,
                  {0xAB}, true},
        FilterRow{"first data byte differs", stdId(0x123) | 0xAB00, 0x000F00FF, 0x123, 0,
                  {0xAC}, false},
        FilterRow{"missing data byte not compared", stdId(0x123) | 0xAB00, 0x000F00FF, 0x123,
                  0, {}, true},
        FilterRow{"extended id matches", 0x12345678u << 3, 0x7, 0x12345678, BusFrame::Extended,
                  {}, true},
        FilterRow{"extended id differs", 0x12345678u << 3, 0x7, 0x12345679, BusFrame::Extended,
                  {}, false}));
