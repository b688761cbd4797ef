#include "app/settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>

namespace {

const QString kLastFolder = QStringLiteral("dialogs/lastFolder");
const QString kRecent = QStringLiteral("recent/projects");
const QString kGeometry = QStringLiteral("window/geometry");
const QString kMaximised = QStringLiteral("window/maximised");
const QString kSplit1 = QStringLiteral("window/split1");
const QString kSplit2 = QStringLiteral("window/split2");

int Percent(const QVariant& v) {
    bool ok = false;
    const int p = v.toInt(&ok);
    return ok && p >= 10 && p <= 90 ? p : 50;
}

}  // namespace

TDesktopSettings::TDesktopSettings(const QString& file)
    : settings_(std::make_unique<QSettings>(file.isEmpty() ? DefaultFile() : file,
                                            QSettings::IniFormat)) {}

TDesktopSettings::~TDesktopSettings() = default;

QString TDesktopSettings::DefaultFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/vellora/vellora.conf");
}

QString TDesktopSettings::LastFolder() const {
    const QString folder = settings_->value(kLastFolder).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

void TDesktopSettings::SetLastFolder(const QString& folder) {
    settings_->setValue(kLastFolder, folder);
}

QStringList TDesktopSettings::RecentProjects() const {
    QStringList list;
    for (const QString& file : settings_->value(kRecent).toStringList())
        if (!file.isEmpty() && !list.contains(file)) list << file;
    return list.mid(0, kRecentCount);
}

void TDesktopSettings::AddRecentProject(const QString& file) {
    settings_->setValue(kRecent, WithRecent(RecentProjects(), file));
}

std::optional<TDesktopSettings::TWindowState> TDesktopSettings::WindowState() const {
    const QRect g = settings_->value(kGeometry).toRect();
    if (!g.isValid() || g.width() < 100 || g.height() < 100 || g.width() > 100000 ||
        g.height() > 100000)
        return std::nullopt;
    TWindowState s;
    s.geometry = g;
    s.maximised = settings_->value(kMaximised).toBool();
    s.split1 = Percent(settings_->value(kSplit1));
    s.split2 = Percent(settings_->value(kSplit2));
    return s;
}

void TDesktopSettings::SetWindowState(const TWindowState& state) {
    settings_->setValue(kGeometry, state.geometry);
    settings_->setValue(kMaximised, state.maximised);
    settings_->setValue(kSplit1, state.split1);
    settings_->setValue(kSplit2, state.split2);
}

bool TDesktopSettings::Sync() {
    QDir().mkpath(QFileInfo(settings_->fileName()).absolutePath());
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

QRect FitOnScreens(const QRect& stored, const QList<QRect>& available) {
    if (available.isEmpty()) return stored;
    // The screen holding most of the window.
    QRect screen = available.front();
    qint64 best = -1;
    for (const QRect& a : available) {
        const QRect common = a.intersected(stored);
        const qint64 area = common.isEmpty() ? 0 : qint64(common.width()) * common.height();
        if (area > best) {
            best = area;
            screen = a;
        }
    }
    QRect r(stored.topLeft(), QSize(std::min(stored.width(), screen.width()),
                                    std::min(stored.height(), screen.height())));
    if (r.right() > screen.right()) r.moveRight(screen.right());
    if (r.bottom() > screen.bottom()) r.moveBottom(screen.bottom());
    if (r.left() < screen.left()) r.moveLeft(screen.left());
    if (r.top() < screen.top()) r.moveTop(screen.top());
    return r;
}

QStringList WithRecent(const QStringList& recent, const QString& file) {
    QStringList list{file};
    for (const QString& f : recent)
        if (f != file && !f.isEmpty()) list << f;
    return list.mid(0, TDesktopSettings::kRecentCount);
}
