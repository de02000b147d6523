#include "EcuMessage.h"
#include "TrafficMode.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<QByteArray> firstPayloads(uint32_t id, int cycle, uint32_t seed, int n)
{
    EcuMessage m(id, cycle, seed);
    std::vector<QByteArray> out;
    for (int i = 0; i < n; ++i)
        out.push_back(m.nextPayload());
    return out;
}

TEST(EcuMessage, SameSeedSameBytesOtherSeedOtherBytes)
{
    EXPECT_EQ(firstPayloads(0x0C0, 10, 7, 200), firstPayloads(0x0C0, 10, 7, 200));
    EXPECT_NE(firstPayloads(0x0C0, 10, 7, 200), firstPayloads(0x0C0, 10, 8, 200));
    // Identifiers do not share one stream of contents.
    EXPECT_NE(firstPayloads(0x0C0, 10, 7, 50), firstPayloads(0x0D0, 10, 7, 50));
}

TEST(EcuMessage, CounterRollsAndChecksumHoldsOnEveryFrame)
{
    int withBoth = 0;
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        EcuMessage m(0x200 + seed, 20, seed);
        const int dlc = m.dlc();
        ASSERT_GE(dlc, 2);
        ASSERT_LE(dlc, 8);
        if (dlc < 4)
            continue;
        ASSERT_EQ(m.role(dlc - 1), EcuMessage::Role::Checksum);
        ASSERT_EQ(m.role(dlc - 2), EcuMessage::Role::Counter);
        ++withBoth;
        for (int i = 0; i < 40; ++i) {
            const QByteArray d = m.nextPayload();
            ASSERT_EQ(d.size(), dlc);
            EXPECT_EQ(uint8_t(d[dlc - 2]) & 0x0F, i & 0x0F);
            uint32_t sum = (0x200 + seed) & 0xFF;
            for (char b : d)
                sum += uint8_t(b);
            EXPECT_EQ(sum & 0xFF, 0u) << "frame " << i;
        }
    }
    EXPECT_GT(withBoth, 20);
}

TEST(EcuMessage, SomeBytesChangeOthersStay)
{
    EcuMessage m(0x3A0, 100, 3);
    const QByteArray first = m.nextPayload();
    std::vector<bool> changed(size_t(first.size()), false);
    for (int i = 0; i < 300; ++i) {
        const QByteArray d = m.nextPayload();
        for (int b = 0; b < d.size(); ++b)
            changed[size_t(b)] = changed[size_t(b)] || d[b] != first[b];
    }
    int n = 0;
    for (int b = 0; b < first.size(); ++b) {
        const bool fixed = m.role(b) == EcuMessage::Role::Constant;
        EXPECT_EQ(changed[size_t(b)], !fixed) << "byte " << b;
        n += changed[size_t(b)];
    }
    EXPECT_GE(n, 1);
}

struct SilentRow
{
    double ms;
    bool silent;
};

void PrintTo(const SilentRow &r, std::ostream *os)
{
    *os << r.ms << " ms";
}

class Silence : public ::testing::TestWithParam<SilentRow>
{
};

TEST_P(Silence, FourSecondsOfEveryTwenty)
{
    EXPECT_EQ(TrafficMode::isSilentAt(GetParam().ms), GetParam().silent) << GetParam().ms;
}

INSTANTIATE_TEST_SUITE_P(Rows, Silence,
                         ::testing::Values(SilentRow{0, false}, SilentRow{5999.9, false},
                                           SilentRow{6000, true}, SilentRow{9999.9, true},
                                           SilentRow{10000, false}, SilentRow{26000, true},
                                           SilentRow{30000, false}));

} // namespace
