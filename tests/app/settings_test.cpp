// What the program remembers between runs, read back from its file.
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "app/settings.h"

TEST(Settings, RecentProjectsAndTheLastFolderSurviveAndDamageReadsAsNone) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("sub/vellora.conf"));
    {
        TDesktopSettings s(file);
        EXPECT_TRUE(s.RecentProjects().isEmpty());
        EXPECT_FALSE(s.WindowState());
        for (int i = 0; i < 10; ++i) s.AddRecentProject(QStringLiteral("/p/%1.mor").arg(i));
        s.AddRecentProject(QStringLiteral("/p/5.mor"));  // to the front, once
        s.SetLastFolder(dir.path());
        s.SetWindowState({QRect(10, 20, 700, 500), true, 5, 70});
        ASSERT_TRUE(s.Sync());
    }
    TDesktopSettings again(file);
    EXPECT_EQ(again.RecentProjects(),
              (QStringList{"/p/5.mor", "/p/9.mor", "/p/8.mor", "/p/7.mor", "/p/6.mor", "/p/4.mor",
                           "/p/3.mor", "/p/2.mor"}));
    EXPECT_EQ(again.LastFolder(), dir.path());
    const auto state = again.WindowState();
    ASSERT_TRUE(state);
    EXPECT_EQ(state->geometry, QRect(10, 20, 700, 500));
    EXPECT_TRUE(state->maximised);
    EXPECT_EQ(state->split1, 50) << "a percentage out of 10..90 reads as the default";
    EXPECT_EQ(state->split2, 70);

    // A folder that is gone is no last folder; a damaged file is no settings.
    again.SetLastFolder(dir.filePath(QStringLiteral("gone")));
    EXPECT_TRUE(again.LastFolder().isEmpty());
    QFile damaged(dir.filePath(QStringLiteral("bad.conf")));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("[window]\ngeometry=@Rect(garbage\x01\xff\nmaximised=perhaps\n[recent\n\0\0\0",
                  60);
    damaged.close();
    TDesktopSettings bad(damaged.fileName());
    EXPECT_FALSE(bad.WindowState());
    EXPECT_TRUE(bad.LastFolder().isEmpty());
}

TEST(Settings, AStoredWindowIsPlacedWithinTheScreensThereAreNow) {
    const QList<QRect> one{QRect(0, 0, 1280, 1000)};
    EXPECT_EQ(FitOnScreens(QRect(100, 80, 638, 512), one), QRect(100, 80, 638, 512));
    // Off the right and bottom edges, larger than the screen, far away.
    EXPECT_EQ(FitOnScreens(QRect(1000, 900, 638, 512), one), QRect(642, 488, 638, 512));
    EXPECT_EQ(FitOnScreens(QRect(-50, -20, 3000, 2000), one), QRect(0, 0, 1280, 1000));
    EXPECT_EQ(FitOnScreens(QRect(5000, 5000, 600, 400), one), QRect(680, 600, 600, 400));
    // Two screens side by side: it stays on the one it mostly lay on.
    const QList<QRect> two{QRect(0, 0, 1280, 1000), QRect(1280, 0, 1920, 1080)};
    EXPECT_EQ(FitOnScreens(QRect(1200, 100, 800, 600), two), QRect(1280, 100, 800, 600));
}
