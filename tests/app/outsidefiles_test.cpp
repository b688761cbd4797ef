// Files named on the command line or dropped on the window.
#include <QDir>

#include <gtest/gtest.h>

#include "app/outsidefiles.h"

TEST(OutsideFiles, AProjectWinsOverPicturesAndAtMostTwoPicturesAreTaken) {
    TOutsideFiles f = SortOutsideFiles({"/p/a.png", "/p/face.MOR", "/p/b.mor"});
    EXPECT_EQ(f.project, "/p/face.MOR");
    EXPECT_TRUE(f.pictures.isEmpty());
    f = SortOutsideFiles({"/p/a.png", "", "/p/b.jpg", "/p/c.bmp"});
    EXPECT_TRUE(f.project.isEmpty());
    EXPECT_EQ(f.pictures, (QStringList{"/p/a.png", "/p/b.jpg"}));
    // Relative names count from the current folder.
    EXPECT_EQ(SortOutsideFiles({"x.mor"}).project, QDir::current().absoluteFilePath("x.mor"));
    EXPECT_EQ(LocalFiles({QUrl::fromLocalFile("/p/a b.png"), QUrl("https://example.org/c.png")}),
              QStringList{"/p/a b.png"});
}
