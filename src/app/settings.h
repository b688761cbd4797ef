// What the program remembers between runs: the folder last used by a file
// dialog, the recent projects, the window's place and size and the splitter
// positions. Kept with QSettings in the standard per-user place
// ($XDG_CONFIG_HOME/vellora/vellora.conf); a damaged or unreadable file reads
// as no settings, and every value is checked before it is used.
#pragma once

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QSettings;

class TDesktopSettings {
public:
    static constexpr int kRecentCount = 8;

    // The settings kept in file (DefaultFile() when empty).
    explicit TDesktopSettings(const QString& file = QString());
    ~TDesktopSettings();
    static QString DefaultFile();

    // Empty when none is remembered or it is no folder any more.
    QString LastFolder() const;
    void SetLastFolder(const QString& folder);

    // Most recent first, at most kRecentCount, each once.
    QStringList RecentProjects() const;
    void AddRecentProject(const QString& file);

    struct TWindowState {
        QRect geometry;  // the normal (not maximised) frame-less geometry
        bool maximised = false;
        int split1 = 50;  // percent, 10..90
        int split2 = 50;
    };
    // None when nothing (usable) is stored.
    std::optional<TWindowState> WindowState() const;
    void SetWindowState(const TWindowState& state);

    // Writes what was set to the file; false when it cannot be written.
    bool Sync();

private:
    std::unique_ptr<QSettings> settings_;
};

// A window rectangle stored at an earlier run, placed within the screens'
// available areas now: moved (and shrunk when larger) onto the screen it
// mostly lay on, or onto the first when it lies on none.
QRect FitOnScreens(const QRect& stored, const QList<QRect>& available);

// The list after opening or saving file: file first, earlier entries after
// it without their duplicate, at most TDesktopSettings::kRecentCount.
QStringList WithRecent(const QStringList& recent, const QString& file);
