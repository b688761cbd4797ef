#include "app/startfolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <array>

namespace {

// Folders that installed programs live in; nobody keeps pictures there.
bool IsSystemProgramFolder(const QString& dir) {
    const QString clean = QDir::cleanPath(QDir::fromNativeSeparators(dir));
    static const std::array<QLatin1StringView, 7> roots = {
        QLatin1StringView("/usr"), QLatin1StringView("/bin"), QLatin1StringView("/sbin"),
        QLatin1StringView("/lib"), QLatin1StringView("/opt"), QLatin1StringView("/snap"),
        QLatin1StringView("/app"),
    };
    for (const QLatin1StringView root : roots) {
        if (clean == root || clean.startsWith(root + QLatin1Char('/'))) return true;
    }
    return false;
}

}  // namespace

QString StartFolder(const QString& programDir, bool programDirWritable, const QString& picturesDir,
                    const QString& homeDir) {
    if (!programDir.isEmpty() && programDirWritable && !IsSystemProgramFolder(programDir))
        return programDir;
    if (!picturesDir.isEmpty() && QFileInfo(picturesDir).isDir()) return picturesDir;
    return homeDir;
}

QString StartFolder(const QString& programDir) {
    return StartFolder(programDir, QFileInfo(programDir).isWritable(),
                       QStandardPaths::writableLocation(QStandardPaths::PicturesLocation),
                       QDir::homePath());
}
