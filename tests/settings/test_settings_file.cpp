#include "CAN_PlayDB.h"
#include "ELM327_Info.h"
#include "SettingsFile.h"
#include "SettingsRecord.h"
#include "TestHelpers.h"

#include <gtest/gtest.h>

namespace {

class SettingsFileTest : public ::testing::Test
{
protected:
    QTemporaryDir base;
    ScopedEnv env{"ProgramFiles", base.path().toUtf8()};
    QString file() const { return settingsFilePath(); }

    // Every member that the file carries, set to a value unlike its default.
    static void fillEveryMember(ELM327_Info &p, CAN_PlayDB &player)
    {
        int v = 1000;
        for (int32_t *m : {&p.t_SaveFormat, &p.t_bitRate, &p.t_msgID_type, &p.t_silent_mode,
                           &p.t_MM_Mode, &p.t_SkipTimeON, &p.t_SkipTime_Value,
                           &p.t_DataChangeColorTime, &p.t_DataChangeColor,
                           &p.t_DataChangeColorEnable, &p.t_MsgLateColor_Ratio,
                           &p.t_MsgLateColor_Time, &p.t_MsgLateColor, &p.t_MsgLateColorEnable,
                           &p.t_MsgBlackout_Ratio, &p.t_MsgBlackout_Color,
                           &p.t_MsgBlackout_Enable, &p.t_SaveFilePath_mode, &p.t_LogSaveFormat,
                           &p.t_LogSaveFilePath_mode, &p.t_LogSave_Enable,
                           &p.t_LogSave_subFolder, &p.t_CF_mode, &p.t_CF_Load_FileType,
                           &p.t_CF_Vistbus_On, &p.t_CF_Save_Path_mode})
            *m = ++v;
        for (int16_t i = 0; i < 8; ++i) {
            p.t_DisableID_Play_ON(i, 100 + i);
            p.t_DisableID_Play_Start(i, 200 + i);
            p.t_DisableID_Play_End(i, 300 + i);
            p.t_DisableID_Rec_ON(i, 400 + i);
            p.t_DisableID_Rec_Start(i, 500 + i);
            p.t_DisableID_Rec_End(i, 600 + i);
            p.t_MsgMarker_ON(i, 700 + i);
            p.t_MsgMarkerID(i, 800 + i);
            p.t_MsgMarkerStartByte(i, 900 + i);
            p.t_MsgMarkerEndByte(i, 1000 + i);
            p.t_MsgMarkerColor(i, 0x10000 * i + 7);
        }
        p.t_SaveFilePath = QString::fromUtf8("/snap/スナップ");
        p.t_LogSaveFilePath = QString::fromUtf8("/rec/録画");
        p.t_LogComment = QString::fromUtf8("試験走行 ①");
        p.t_CF_Load_Name = "a.dat";
        p.t_CF_Load_Path = "/conv/in";
        p.t_CF_Save_Path = "/conv/out";
        player.t_RecPlay_FileType = 2;
        player.t_RecPlay_FilePath = QString::fromUtf8("/play/再生");
        player.t_RecPlay_FileName = "CR26120803-001.dat";
    }
};

} // namespace

TEST_F(SettingsFileTest, MissingFileGivesMinusOneAndDefaults)
{
    ELM327_Info p;
    CAN_PlayDB player;
    EXPECT_EQ(LoadSettingsFile(p, player), -1);
    EXPECT_EQ(p.t_bitRate, 2);
    EXPECT_EQ(file(), base.path() + "/pelmora/CanKestrova/config.dat");
}

TEST_F(SettingsFileTest, RoundTripReproducesEveryMember)
{
    ELM327_Info saved;
    CAN_PlayDB player;
    fillEveryMember(saved, player);
    ASSERT_EQ(SaveSettingsFile(saved, player), 0);

    ELM327_Info loaded;
    CAN_PlayDB loadedPlayer;
    ASSERT_EQ(LoadSettingsFile(loaded, loadedPlayer), 0);
    EXPECT_EQ(settingsrecord::serialize(loaded, loadedPlayer),
              settingsrecord::serialize(saved, player));
    EXPECT_EQ(loaded.t_LogComment, saved.t_LogComment);
    EXPECT_EQ(loaded.t_CF_Vistbus_On, saved.t_CF_Vistbus_On);
    EXPECT_EQ(loaded.t_MsgBlackout_Enable, saved.t_MsgBlackout_Enable);
    for (int16_t i = 0; i < 8; ++i) {
        EXPECT_EQ(loaded.t_DisableID_Play_End(i), 300 + i);
        EXPECT_EQ(loaded.t_MsgMarkerColor(i), 0x10000 * i + 7);
    }
    EXPECT_EQ(loadedPlayer.t_RecPlay_FileType, 2);
    EXPECT_EQ(loadedPlayer.t_RecPlay_FilePath, player.t_RecPlay_FilePath);
    EXPECT_EQ(loadedPlayer.t_RecPlay_FileName, player.t_RecPlay_FileName);
    // Not stored: run-time state and the sibling viewer's name.
    EXPECT_EQ(loaded.t_select_Vender, 0);
}

TEST_F(SettingsFileTest, ByteLayoutOfTheDefaults)
{
    ELM327_Info p;
    CAN_PlayDB player;
    const QByteArray r = settingsrecord::serialize(p, player);
    const QByteArray title = QByteArray::fromHex("43414e835083588367838d815b836f") + " Ver1.01";
    ASSERT_EQ(r.left(2), QByteArray::fromHex("1700"));
    EXPECT_EQ(r.mid(2, 23), title);
    const int rightsCount = uchar(r[25]) | (uchar(r[26]) << 8);
    const int block = 27 + rightsCount;
    // Fields 3 (snapshot format 1), 4 (reserved), 5 (format number 101), 6 (bit rate 2).
    EXPECT_EQ(r.mid(block, 16), QByteArray::fromHex("01000000000000006500000002000000"));
    // The block of fields 3 to 33 is 432 bytes; the snapshot folder string follows it.
    const QByteArray folder = p.t_SaveFilePath.toUtf8();
    const int afterBlock = block + 432;
    EXPECT_EQ(uchar(r[afterBlock]) | (uchar(r[afterBlock + 1]) << 8), folder.size());
    EXPECT_EQ(r.mid(afterBlock + 2, folder.size()), folder);
    // Field 35 is an empty string: 00 00; field 36 eight zero bytes; field 37 kind 0.
    const int f35 = afterBlock + 2 + folder.size();
    EXPECT_EQ(r.mid(f35, 2 + 8 + 4), QByteArray(14, '\0'));
    // The default comment: a count of 14 and 14 bytes of code page 932.
    const QByteArray comment = QByteArray::fromHex("0e0082628260826d8ef3904d838d834f");
    EXPECT_NE(r.indexOf(comment), -1);
}

TEST_F(SettingsFileTest, OtherTitleRightsOrFormatIsDeletedAndRejected)
{
    for (int which = 0; which < 3; ++which) {
        ELM327_Info other;
        CAN_PlayDB player;
        if (which == 0)
            other.Application_title = QString::fromUtf8("CANケストローバ Ver1.00");
        else if (which == 1)
            other.Copy_light = "someone else";
        else
            other.install_version = 100;
        other.t_bitRate = 5;
        ASSERT_EQ(SaveSettingsFile(other, player), 0);
        QFile::setPermissions(file(), QFile::ReadOwner);   // deleted even when read-only

        ELM327_Info p;
        EXPECT_EQ(LoadSettingsFile(p, player), -2) << which;
        EXPECT_FALSE(QFile::exists(file())) << which;
        EXPECT_EQ(p.t_bitRate, 2) << "no member changes on a rejected file";
    }
}

TEST_F(SettingsFileTest, BytesAfterTheRecordAreIgnored)
{
    ELM327_Info saved;
    CAN_PlayDB player;
    saved.t_bitRate = 4;
    ASSERT_EQ(SaveSettingsFile(saved, player), 0);
    ASSERT_TRUE(writeAll(file(), readAll(file()) + QByteArray(5000, 'x')));
    ELM327_Info p;
    EXPECT_EQ(LoadSettingsFile(p, player), 0);
    EXPECT_EQ(p.t_bitRate, 4);
}

TEST_F(SettingsFileTest, TruncatedAndGarbageFilesGiveCodesNotCrashes)
{
    ELM327_Info saved;
    CAN_PlayDB player;
    saved.t_bitRate = 6;
    saved.t_LogComment = "keep";
    ASSERT_EQ(SaveSettingsFile(saved, player), 0);
    const QByteArray whole = readAll(file());

    for (int cut = 0; cut < whole.size(); cut += 7) {
        ASSERT_TRUE(writeAll(file(), whole.left(cut)));
        ELM327_Info p;
        CAN_PlayDB pl;
        const int r = LoadSettingsFile(p, pl);
        // Cut before the format number: the comparison fails; after it: loaded in part.
        EXPECT_TRUE(r == -2 || r == -3) << cut << " gave " << r;
        if (r == -3) {
            EXPECT_EQ(p.t_SkipTime_Value, 300) << "a field not in the file keeps its default";
        }
    }
    // A string count that runs far past the end.
    QByteArray bad = whole.left(60);
    bad[0] = char(0xFF);
    bad[1] = char(0xFF);
    ASSERT_TRUE(writeAll(file(), bad));
    ELM327_Info p;
    EXPECT_EQ(LoadSettingsFile(p, player), -2);
}

TEST_F(SettingsFileTest, UnwritableFolderGivesMinusOne)
{
    ScopedEnv env2("ProgramFiles", "/proc/no-such-place");
    ELM327_Info p;
    CAN_PlayDB player;
    EXPECT_EQ(SaveSettingsFile(p, player), -1);
}
