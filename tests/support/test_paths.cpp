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
