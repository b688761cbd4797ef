// Where the file dialogs open before the user has chosen anything.
#pragma once

#include <QString>

// The program's folder when it is a place of the user's (a build tree or a
// portable copy: writable and not one of the system's program folders);
// otherwise the user's pictures folder when it exists, otherwise home.
QString StartFolder(const QString& programDir, bool programDirWritable, const QString& picturesDir,
                    const QString& homeDir);

// StartFolder for this process.
QString StartFolder(const QString& programDir);
