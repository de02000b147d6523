#include "Paths.h"
#include "Vexa100.h"
#include "HookGuard.h"

#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

TEST(Vexa100Binding, BindsFromTheProgramFolder)
{
    vexa::unbindForTesting();
    QString error;
    ASSERT_TRUE(vexa::bind(&error)) << error.toStdString();
    EXPECT_EQ(vexa::ColorAttenuation(0x0000FF, 1, 2), 0x000080);
    const double a = vexa::vx_timeGetTime();
    QThread::msleep(20);
    const double d = vexa::vx_timeGetTime() - a;
    EXPECT_GE(d, 19);
    EXPECT_LE(d, 40);
}

TEST(Vexa100Binding, MissingLibraryIsAnErrorNotACrash)
{
    QTemporaryDir empty;
    const HookGuard programFolder(&paths::setProgramFolderForTesting, empty.path());
    const ResetGuard unbind(&vexa::unbindForTesting);
    vexa::unbindForTesting();
    QString error;
    EXPECT_FALSE(vexa::bind(&error));
    EXPECT_TRUE(error.contains("libvexa100.so")) << error.toStdString();
    // The calls still answer.
    EXPECT_EQ(vexa::ColorAttenuation(0xFFFFFF, 1, 2), 0x808080);
    EXPECT_GT(vexa::vx_timeGetTime(), 0);
}
