#include "CAN_ReadDB.h"
#include "RunHost.h"
#include "Vexa100.h"

#include <gtest/gtest.h>

namespace {

struct HeadlessHost final : RunHost
{
    void setStatusText(int, const QString &) override {}
    QString statusText(int) const override { return {}; }
    void setProtocolText(const QString &) override {}
    bool timerBattReadEnabled() const override { return false; }
    void setTimerBattReadEnabled(bool) override {}
    bool timerFileRecPlayEnabled() const override { return false; }
    void setTimerFileRecPlayEnabled(bool) override {}
};

const uint8_t kBytesA[8] = {1, 2, 3, 4, 5, 6, 7, 8};
const uint8_t kBytesB[8] = {9, 10, 11, 12, 13, 14, 15, 16};

} // namespace

TEST(CAN_ReadDB, FirstFrameSetsBothStampsSecondMovesThem)
{
    CAN_ReadDB db;
    db.updateFrame(0x123, 8, 500.0, Currency::fromDouble(10.5), kBytesA);
    EXPECT_EQ(db.CAN11_Received(0x123), 1);
    EXPECT_EQ(db.CAN11_ReceivedTime(0x123), db.CAN11_ReceivedTime_old(0x123));
    EXPECT_EQ(db.CAN11_ReceivedTime(0x123).toDouble(), 10.5);
    EXPECT_EQ(db.CAN11_ReadTime_old(0x123), 500.0);

    db.updateFrame(0x123, 4, 510.0, Currency::fromDouble(20.25), kBytesB);
    EXPECT_EQ(db.CAN11_ReceivedTime_old(0x123).toDouble(), 10.5);
    EXPECT_EQ(db.CAN11_ReceivedTime(0x123).toDouble(), 20.25);
    EXPECT_EQ(db.CAN11_DLC(0x123), 4);
    for (int k = 1; k <= 8; ++k) {
        EXPECT_EQ(db.dataOld(0x123, k), kBytesA[k - 1]);
        EXPECT_EQ(db.data(0x123, k), kBytesB[k - 1]);
    }
    EXPECT_EQ(db.CAN11_Data8(0x123), 16);
    EXPECT_EQ(db.CAN11_Data1_old(0x123), 1);
    EXPECT_EQ(db.CAN11_ReceivedTime_writting(0x123), 0);
}

TEST(CAN_ReadDB, TimeStampsKeepFourDecimals)
{
    CAN_ReadDB db;
    db.CAN11_ReceivedTime(5, Currency::fromDouble(1.234567));
    EXPECT_EQ(db.CAN11_ReceivedTime(5).scaled(), 12346);
}

TEST(CAN_ReadDB, IndicesOutsideTheTablesAreHarmless)
{
    CAN_ReadDB db;
    for (int16_t id : {int16_t(-1), int16_t(2049), int16_t(32767), int16_t(-32768)}) {
        db.CAN11_DLC(id, 8);
        db.updateFrame(id, 8, 1.0, Currency::fromDouble(1.0), kBytesA);
        EXPECT_EQ(db.CAN11_DLC(id), 0);
        EXPECT_EQ(db.CAN11_Received(id), 0);
        EXPECT_EQ(db.data(id, 1), 0);
    }
    EXPECT_EQ(db.data(1, 0), 0);
    EXPECT_EQ(db.data(1, 9), 0);
    db.updateFrame(2048, 8, 1.0, Currency::fromDouble(1.0), kBytesA);
    EXPECT_EQ(db.CAN11_Received(2048), 1);
}

TEST(CAN_ReadDB, ClearResetsEverything)
{
    CAN_ReadDB db;
    db.updateFrame(0x7FF, 8, 1.0, Currency::fromDouble(3.0), kBytesA);
    db.CAN11_Disabled_ID(0x10, 1);
    db.Param_ALL_Clear();
    for (int16_t id = 0; id <= 2048; ++id) {
        ASSERT_EQ(db.CAN11_Received(id), 0);
        ASSERT_EQ(db.CAN11_Disabled_ID(id), 0);
        ASSERT_EQ(db.CAN11_ReceivedTime(id).scaled(), 0);
        ASSERT_EQ(db.data(id, 1), 0);
    }
    CAN_ReadDB::Table<int32_t> t{};
    t.fill(7);
    CAN_ReadDB::Arayy_ALL_Clear_zero_long(2, t);
    EXPECT_EQ(t[2], 0);
    EXPECT_EQ(t[3], 7);
    CAN_ReadDB::Arayy_ALL_Clear_zero_long(-1, t);
    EXPECT_EQ(t[3], 7);
}

TEST(CAN_ReadDB, BusCheckMarksIdentifiersSeenForThreeSeconds)
{
    CAN_ReadDB db;
    HeadlessHost host;
    host.RxFlag = 1;
    int calls = 0;
    const double start = vexa::vx_timeGetTime();
    db.busCheck(host, [&](uint32_t &id) {
        ++calls;
        if (calls == 1) { id = 0x100; return true; }
        if (calls == 2) { id = 0x800; return true; }   // not 11-bit: ignored
        if (calls == 3) { id = 0x7FF; return true; }
        return false;
    });
    const double took = vexa::vx_timeGetTime() - start;
    EXPECT_EQ(db.CAN11_Disabled_ID(0x100), 1);
    EXPECT_EQ(db.CAN11_Disabled_ID(0x7FF), 1);
    EXPECT_EQ(db.CAN11_Disabled_ID(0x000), 0);
    EXPECT_GE(took, 3000);
    EXPECT_LT(took, 3500);
}

TEST(CAN_ReadDB, BusCheckStopsWhenTheRunIsStopped)
{
    CAN_ReadDB db;
    HeadlessHost host;
    host.RxFlag = 1;
    int calls = 0;
    db.busCheck(host, [&](uint32_t &) {
        if (++calls == 10)
            host.RxFlag = 0;
        return false;
    });
    EXPECT_EQ(calls, 10);
}
