#include "Paths.h"
#include "TestHelpers.h"

#include <QStandardPaths>

#include <gtest/gtest.h>

TEST(Paths, JoinsAndTrimsSeparators)
{
    EXPECT_EQ(paths::join("/a", "b"), "/a/b");
    EXPECT_EQ(paths::join("/a/", "b"), "/a/b");
    EXPECT_EQ(paths::join("", "b"), "b");
    EXPECT_EQ(paths::removeTrailingSeparator("/a/b/"), "/a/b");
    EXPECT_EQ(paths::removeTrailingSeparator("/a/b//"), "/a/b/");
    EXPECT_EQ(paths::removeTrailingSeparator("/"), "/");
}

TEST(Paths, SettingsBaseFollowsProgramFilesThenXdg)
{
    {
        ScopedEnv pf("ProgramFiles", "/opt/pf/");
        EXPECT_EQ(paths::settingsBaseFolder(), "/opt/pf");
    }
    ScopedEnv nopf("ProgramFiles", "");
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "/tmp/xdgconf");
        EXPECT_EQ(paths::settingsBaseFolder(), "/tmp/xdgconf");
    }
    ScopedEnv noxdg("XDG_CONFIG_HOME", "");
    EXPECT_EQ(paths::settingsBaseFolder(), QDir::homePath() + "/.config");
}

TEST(Paths, ProgramAndDriverFolders)
{
    EXPECT_EQ(paths::programFolder(), QCoreApplication::applicationDirPath());
    EXPECT_EQ(paths::driverFolder(), paths::programFolder());
    ScopedEnv env("CANKESTROVA_DRIVER_DIR", "/tmp/drivers/");
    EXPECT_EQ(paths::driverFolder(), "/tmp/drivers");
}

TEST(Paths, DesktopFallsBackToHome)
{
    QTemporaryDir home;
    ScopedEnv h("HOME", home.path().toUtf8());
    ScopedEnv x("XDG_DESKTOP_DIR", (home.path() + "/NoSuchDesktop").toUtf8());
    const QString desktop = paths::desktopFolder();
    EXPECT_TRUE(QFileInfo(desktop).isDir()) << desktop.toStdString();
}

// Files go beside a program the user unpacked, and to the data folder for an installed one;
// the libraries are looked for beside the program either way.
TEST(Paths, FileFolderIsTheDataFolderOfAnInstalledProgram)
{
    QTemporaryDir program;
    QTemporaryDir data;
    paths::setProgramFolderForTesting(program.path());
    ScopedEnv xdg("XDG_DATA_HOME", data.path().toUtf8());
    EXPECT_EQ(paths::fileFolder(), program.path());

    ASSERT_TRUE(writeAll(program.filePath("cankestrova.installed"), "installed\n"));
    EXPECT_EQ(paths::fileFolder(), data.path() + "/pelmora/CanKestrova");
    EXPECT_TRUE(QFileInfo(paths::fileFolder()).isDir());
    EXPECT_EQ(paths::driverFolder(), program.path());
    paths::setProgramFolderForTesting(QString());
}
