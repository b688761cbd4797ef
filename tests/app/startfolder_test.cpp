// Where the file dialogs open first.
#include <QDir>

#include <gtest/gtest.h>

#include "app/startfolder.h"
#include "support/test_support.h"

TEST(StartFolder, TheProgramFolderOnlyWhereItIsTheUsers) {
    const QString pictures = testing_support::OutDir(QStringLiteral("startfolder_pictures"));
    const QString home = QStringLiteral("/home/someone");
    // A build tree or a portable copy: the user's own place.
    EXPECT_EQ(
        StartFolder(QStringLiteral("/home/someone/vellora/build/src/app"), true, pictures, home),
        QStringLiteral("/home/someone/vellora/build/src/app"));
    // Installed: the system's program folders, even where root may write.
    for (const char* dir : {"/usr/bin", "/usr/local/bin/", "/opt/vellora/bin", "/bin"})
        EXPECT_EQ(StartFolder(QString::fromLatin1(dir), true, pictures, home), pictures) << dir;
    // A folder that only looks like one of them is not one.
    EXPECT_EQ(StartFolder(QStringLiteral("/usrdata/vellora"), true, pictures, home),
              QStringLiteral("/usrdata/vellora"));
    EXPECT_EQ(StartFolder(QStringLiteral("/srv/shared/vellora"), false, pictures, home), pictures);
    // No pictures folder: home.
    EXPECT_EQ(StartFolder(QStringLiteral("/usr/bin"), false, pictures + "/missing", home), home);
    EXPECT_EQ(StartFolder(QStringLiteral("/usr/bin"), false, QString(), home), home);
}
