#include "export/pictureseries.h"

#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace exporting {

namespace {

// The field starting at name[at] ('%'): its length and width, or length 0
// when it is no number field.
struct TField {
    std::size_t length = 0;
    int width = 0;
    bool zeros = false;
};

TField ParseField(std::string_view name, std::size_t at) {
    TField f;
    std::size_t i = at + 1;
    if (i < name.size() && name[i] == '0') {
        f.zeros = true;
        ++i;
    }
    const std::size_t digits = i;
    while (i < name.size() && std::isdigit(static_cast<unsigned char>(name[i])) && i - digits < 2)
        f.width = f.width * 10 + (name[i++] - '0');
    if (i - digits > 1 || i >= name.size() || name[i] != 'd') return {};
    f.length = i + 1 - at;
    return f;
}

namespace fs = std::filesystem;

// The lock that keeps two runs from writing the same pictures of a pattern:
// one byte of the lock file per picture number, locked for writing (open
// file description locks, which also keep apart two runs in one process).
// Runs of separate slices lock separate bytes and go side by side.
class TSeriesLock {
public:
    TSeriesLock() = default;
    ~TSeriesLock() { Release(); }
    TSeriesLock(const TSeriesLock&) = delete;
    TSeriesLock& operator=(const TSeriesLock&) = delete;

    // Locks pictures first..last; an empty string when locked, else why not.
    QString Take(const fs::path& file, int first, int last) {
        file_ = file;
        // A run that finishes removes the file while holding it: a run that
        // opened it meanwhile tries again with the new one. A few short
        // waits let such a run finish; a run still writing holds on.
        for (int attempt = 0; attempt < 20; ++attempt) {
            const int fd = ::open(file_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
            if (fd < 0) {
                const int error = errno;
                const QString reason = QString::fromStdString(core::SystemReason(error));
                // A missing folder says it all; otherwise the file is named.
                if (error == ENOENT) return reason;
                return QStringLiteral("the lock file \"%1\" cannot be made (%2)")
                    .arg(QString::fromLocal8Bit(file_.filename().c_str()), reason);
            }
            struct flock range {};
            range.l_type = F_WRLCK;
            range.l_whence = SEEK_SET;
            range.l_start = first;
            range.l_len = static_cast<off_t>(last) - first + 1;
            if (::fcntl(fd, F_OFD_SETLK, &range) != 0) {
                const int error = errno;
                const bool removed = !IsTheFile(fd);
                ::close(fd);
                if (error != EAGAIN && error != EACCES) {
                    // No such locks on this file system: the pictures are
                    // written without.
                    return {};
                }
                if (!removed) std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            if (!IsTheFile(fd)) {
                ::close(fd);
                continue;
            }
            fd_ = fd;
            return {};
        }
        return QStringLiteral("another run is writing these pictures now");
    }

    // Removes the lock file when no other run holds a part of it.
    void Release() {
        if (fd_ < 0) return;
        struct flock whole {};
        whole.l_type = F_WRLCK;
        whole.l_whence = SEEK_SET;
        if (::fcntl(fd_, F_OFD_SETLK, &whole) == 0) ::unlink(file_.c_str());
        ::close(fd_);
        fd_ = -1;
    }

private:
    bool IsTheFile(int fd) const {
        struct stat opened {};
        struct stat named {};
        return ::fstat(fd, &opened) == 0 && ::stat(file_.c_str(), &named) == 0 &&
               opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
    }

    fs::path file_;
    int fd_ = -1;
};

// The lock file of a pattern: hidden, beside the pictures.
fs::path LockFileOf(const std::string& pattern) {
    const fs::path p(pattern);
    std::string base = p.filename().string();
    // Leaves room in NAME_MAX for the dot and the suffix.
    if (base.size() > 200) base.resize(200);
    return p.parent_path() / ("." + base + ".lock");
}

// "pictures 1 to 61", "picture 7", "pictures 1 to 3, 5 and 9 to 12": the
// numbers, ascending.
QString NumbersText(const std::vector<int>& numbers) {
    std::vector<std::pair<int, int>> runs;
    for (const int n : numbers) {
        if (!runs.empty() && runs.back().second + 1 == n)
            runs.back().second = n;
        else
            runs.emplace_back(n, n);
    }
    // Two numbers in a row read better on their own: "2 and 3".
    for (std::size_t i = 0; i < runs.size(); ++i) {
        if (runs[i].second == runs[i].first + 1) {
            runs.insert(runs.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                        {runs[i].second, runs[i].second});
            runs[i].second = runs[i].first;
        }
    }
    if (numbers.size() == 1) return QStringLiteral("picture %1").arg(numbers.front());
    constexpr std::size_t kMostRuns = 4;
    if (runs.size() > kMostRuns)
        return QStringLiteral("%1 pictures from %2 to %3")
            .arg(numbers.size())
            .arg(numbers.front())
            .arg(numbers.back());
    QString text = QStringLiteral("pictures ");
    for (std::size_t i = 0; i < runs.size(); ++i) {
        if (i > 0) text += i + 1 == runs.size() ? QStringLiteral(" and ") : QStringLiteral(", ");
        text += runs[i].first == runs[i].second
                    ? QString::number(runs[i].first)
                    : QStringLiteral("%1 to %2").arg(runs[i].first).arg(runs[i].second);
    }
    return text;
}

}  // namespace

int NumberFieldCount(std::string_view name) {
    int fields = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '%') continue;
        if (i + 1 < name.size() && name[i + 1] == '%') {
            ++i;
            continue;
        }
        const TField f = ParseField(name, i);
        if (f.length == 0) return -1;
        ++fields;
        i += f.length - 1;
    }
    return fields;
}

std::string SeriesFileName(std::string_view pattern, std::int64_t n) {
    std::string name;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            name += pattern[i];
            continue;
        }
        if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
            name += '%';
            ++i;
            continue;
        }
        const TField f = ParseField(pattern, i);
        if (f.length == 0) {
            name += pattern[i];
            continue;
        }
        std::string digits = std::to_string(n);
        if (static_cast<int>(digits.size()) < f.width)
            digits.insert(n < 0 ? 1 : 0, static_cast<std::size_t>(f.width) - digits.size(),
                          f.zeros ? '0' : ' ');
        name += digits;
        i += f.length - 1;
    }
    return name;
}

ExportResult WritePictureSeries(const std::string& pattern, PictureFormat format, int first,
                                int last, const FrameSource& render, const ProgressSink& progress,
                                const core::TStopFlag* stop) {
    const QString shownName = QFileInfo(QString::fromLocal8Bit(pattern.c_str())).fileName();
    const int count = last - first + 1;
    if (count < 1 || first < 1)
        return {ExportStatus::Failed,
                QStringLiteral("The pictures cannot be saved as \"%1\": there are no pictures.")
                    .arg(shownName)};
    if (NumberFieldCount(pattern) != 1)
        return {ExportStatus::Failed,
                QStringLiteral("The pictures cannot be saved as \"%1\": the name needs one number "
                               "field such as %04d.")
                    .arg(shownName)};

    struct TWritten {
        int n;
        fs::path file;  // the file itself, links followed
        bool created;   // no file had that name before
    };
    std::vector<TWritten> written;
    // What a run that does not finish leaves: the files it created go again;
    // the old pictures it replaced are its new ones, and the result says so.
    auto undo = [&](ExportResult result) {
        std::vector<int> replaced;
        for (const TWritten& w : written) {
            if (w.created) {
                std::error_code ec;
                fs::remove(w.file, ec);
            } else {
                replaced.push_back(w.n);
            }
        }
        if (!replaced.empty())
            result.replaced = NumbersText(replaced) +
                              (replaced.size() == 1
                                   ? QStringLiteral(" was replaced, the rest are as they were")
                                   : QStringLiteral(" were replaced, the rest are as they were"));
        if (result.status == ExportStatus::Cancelled) {
            result.message =
                QStringLiteral("Saving the pictures was cancelled; %1.")
                    .arg(replaced.empty() ? QStringLiteral("no file was kept") : result.replaced);
        } else if (!replaced.empty()) {
            QString sentence = result.replaced;
            sentence[0] = sentence[0].toUpper();
            result.message += QStringLiteral(" ") + sentence + QStringLiteral(".");
        }
        return result;
    };
    auto failed = [&](const QString& reason) {
        return undo(
            {ExportStatus::Failed,
             QStringLiteral("The pictures cannot be saved as \"%1\": %2.").arg(shownName, reason)});
    };
    auto stopped = [&] { return stop != nullptr && stop->load() != 0; };
    auto cancelled = [&] { return undo({ExportStatus::Cancelled, {}}); };

    TSeriesLock lock;
    if (const QString busy = lock.Take(LockFileOf(pattern), first, last); !busy.isEmpty())
        return failed(busy);
    if (stopped() || (progress && !progress(0, count))) return cancelled();
    try {
        for (int n = first; n <= last; ++n) {
            const raster::DibRecord& picture = render(n);
            if (stopped()) return cancelled();
            const fs::path file = SeriesFileName(pattern, n);
            const QString shownFile = QFileInfo(QString::fromLocal8Bit(file.c_str())).fileName();
            if (!picture.HasPixels())
                return failed(QStringLiteral("picture %1 could not be rendered").arg(n));
            const fs::path resolved = core::ResolveSaveTarget(file);
            std::error_code ec;
            const bool existed = fs::exists(fs::symlink_status(resolved, ec));
            const core::TSaveResult saved = WritePictureFile(picture, format, file, stop);
            if (!saved.ok) {
                if (stopped()) return cancelled();
                return failed(
                    QStringLiteral("%1: %2").arg(shownFile, QString::fromStdString(saved.error)));
            }
            written.push_back({n, resolved, !existed});
            if (stopped() || (progress && !progress(n - first + 1, count))) return cancelled();
        }
    } catch (const std::bad_alloc&) {
        return failed(QStringLiteral("not enough memory"));
    }
    return {};
}

}  // namespace exporting
