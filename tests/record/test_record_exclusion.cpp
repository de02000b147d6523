#include "RecordFiles.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

QString utf8(const char *s)
{
    return QString::fromUtf8(s);
}

struct Range
{
    int16_t k;
    int32_t on;
    int32_t start;
    int32_t end;
};

// The same rows run against the recording and the playback ranges; each sets only its
// own group, so a helper that read the other group would fail.
enum class Group { Rec, Play };

void PrintTo(Group g, std::ostream *os)
{
    *os << (g == Group::Rec ? "Rec" : "Play");
}

void setRanges(ELM327_Info &p, Group g, const std::vector<Range> &ranges, int32_t max)
{
    for (const Range &r : ranges) {
        if (g == Group::Rec) {
            p.t_DisableID_Rec_ON(r.k, r.on);
            p.t_DisableID_Rec_Start(r.k, r.start);
            p.t_DisableID_Rec_End(r.k, r.end);
        } else {
            p.t_DisableID_Play_ON(r.k, r.on);
            p.t_DisableID_Play_Start(r.k, r.start);
            p.t_DisableID_Play_End(r.k, r.end);
        }
    }
    (g == Group::Rec ? p.t_DisableID_Rec_MAX : p.t_DisableID_Play_MAX) = max;
}

int32_t enabled(const ELM327_Info &p, Group g)
{
    return g == Group::Rec ? IsRecExclusionEnabled(p) : IsPlayExclusionEnabled(p);
}

int32_t excluded(int32_t id, const ELM327_Info &p, Group g)
{
    return g == Group::Rec ? IsRecExcludedID(id, p) : IsPlayExcludedID(id, p);
}

QString text(const ELM327_Info &p, Group g)
{
    return g == Group::Rec ? RecExclusionText(p) : PlayExclusionText(p);
}

std::string groupName(Group g)
{
    return g == Group::Rec ? "Rec" : "Play";
}

struct ExcludeRow
{
    const char *name;
    std::vector<Range> ranges;
    int32_t max;
    int32_t id;
    int32_t expectedExcluded;
    int32_t expectedEnabled;
};

static void PrintTo(const ExcludeRow &row, std::ostream *os)
{
    *os << row.name;
}

class ExclusionTest : public ::testing::TestWithParam<std::tuple<Group, ExcludeRow>>
{
};

} // namespace

TEST_P(ExclusionTest, DecidesByTheSwitchedOnRangesUpToMax)
{
    const auto &[group, row] = GetParam();
    ELM327_Info p;
    setRanges(p, group, row.ranges, row.max);
    EXPECT_EQ(excluded(row.id, p, group), row.expectedExcluded);
    EXPECT_EQ(enabled(p, group), row.expectedEnabled);

    ELM327_Info other;   // the other group holds the same ranges: must not count
    setRanges(other, group == Group::Rec ? Group::Play : Group::Rec, row.ranges, row.max);
    EXPECT_EQ(excluded(row.id, other, group), 0);
    EXPECT_EQ(enabled(other, group), 0);
}

const Range kBand{0, 1, 0x100, 0x1FF};

INSTANTIATE_TEST_SUITE_P(
    Ranges, ExclusionTest,
    ::testing::Combine(
        ::testing::Values(Group::Rec, Group::Play),
        ::testing::Values(
            ExcludeRow{"BelowTheRange", {kBand}, 7, 0x0FF, 0, 1},
            ExcludeRow{"StartIsInside", {kBand}, 7, 0x100, 1, 1},
            ExcludeRow{"EndIsInside", {kBand}, 7, 0x1FF, 1, 1},
            ExcludeRow{"AboveTheRange", {kBand}, 7, 0x200, 0, 1},
            ExcludeRow{"SwitchedOffIsIgnored", {{0, 0, 0x100, 0x1FF}}, 7, 0x150, 0, 0},
            ExcludeRow{"OnMeansExactlyOne", {{0, 2, 0x100, 0x1FF}}, 7, 0x150, 0, 0},
            ExcludeRow{"StartAfterEndExcludesNothing", {{0, 1, 0x1FF, 0x100}}, 7, 0x150, 0, 1},
            ExcludeRow{"OneIdRange", {{5, 1, 0x7FF, 0x7FF}}, 7, 0x7FF, 1, 1},
            ExcludeRow{"LaterRangeMatches", {{0, 1, 1, 2}, {6, 1, 0x300, 0x3FF}}, 7, 0x350, 1, 1},
            ExcludeRow{"LastRangeWithinMax", {{7, 1, 0, 0x7FF}}, 7, 0x10, 1, 1},
            ExcludeRow{"LastRangeBeyondMax", {{7, 1, 0, 0x7FF}}, 6, 0x10, 0, 0},
            ExcludeRow{"MaxTooLargeIsSeven", {{7, 1, 0, 0x7FF}}, 1000, 0x10, 1, 1},
            ExcludeRow{"MaxNegativeMeansNoRanges", {{0, 1, 0, 0x7FF}}, -1, 0x10, 0, 0},
            ExcludeRow{"MaxVeryNegative", {{0, 1, 0, 0x7FF}}, INT32_MIN, 0x10, 0, 0})),
    [](const auto &info) {
        return groupName(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name;
    });

// ---- Description texts

struct TextRow
{
    const char *name;
    std::vector<Range> ranges;
    int32_t max;
    const char *expected;
};

static void PrintTo(const TextRow &row, std::ostream *os)
{
    *os << row.name;
}

class ExclusionTextTest : public ::testing::TestWithParam<std::tuple<Group, TextRow>>
{
};

TEST_P(ExclusionTextTest, DescribesTheSwitchedOnRanges)
{
    const auto &[group, row] = GetParam();
    ELM327_Info p;
    setRanges(p, group, row.ranges, row.max);
    EXPECT_EQ(text(p, group), utf8(row.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ExclusionTextTest,
    ::testing::Combine(
        ::testing::Values(Group::Rec, Group::Play),
        ::testing::Values(
            TextRow{"NoneOn", {{0, 0, 5, 0x7FF}}, 7, ""},
            TextRow{"FiveToTheTop", {{0, 1, 5, 0x7FF}}, 7,
                    "\r\nメッセージ除外範囲 1： 005 ～ 7FF\r\n"},
            TextRow{"ZeroIsOneDigit", {{2, 1, 0, 0xF}}, 7,
                    "\r\nメッセージ除外範囲 3： 0 ～ 00F\r\n"},
            TextRow{"TwoAndThreeDigits", {{0, 1, 0x10, 0xFF}}, 7,
                    "\r\nメッセージ除外範囲 1： 010 ～ 0FF\r\n"},
            TextRow{"UpperCase", {{0, 1, 0x100, 0xABC}}, 7,
                    "\r\nメッセージ除外範囲 1： 100 ～ ABC\r\n"},
            TextRow{"OffRangesLeaveGaps", {{0, 1, 1, 2}, {3, 0, 3, 4}, {4, 1, 0x123, 0x456}}, 7,
                    "\r\nメッセージ除外範囲 1： 001 ～ 002\r\n"
                    "メッセージ除外範囲 5： 123 ～ 456\r\n"},
            TextRow{"RangeBeyondMaxLeftOut", {{7, 1, 1, 2}}, 6, ""},
            TextRow{"MaxTooLargeStopsAtEight", {{7, 1, 1, 2}}, 50,
                    "\r\nメッセージ除外範囲 8： 001 ～ 002\r\n"})),
    [](const auto &info) {
        return groupName(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name;
    });
