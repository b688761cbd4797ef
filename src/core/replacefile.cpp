#include "core/replacefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace core {

namespace {

namespace fs = std::filesystem;

// Large enough that encoders writing a few bytes at a time cost few system
// calls; small enough not to matter next to any picture.
constexpr std::size_t kBufferSize = 256 * 1024;
// Leaves room in NAME_MAX for the temporary name's prefix and suffix.
constexpr std::size_t kMaxBaseName = 200;

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size, int& error) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errno;
            return false;
        }
        if (n == 0) {  // a regular file takes at least one byte unless it is full
            error = ENOSPC;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string SystemReason(int error) {
    return std::generic_category().message(error);
}

fs::path ResolveSaveTarget(const fs::path& target) {
    fs::path p = target;
    std::error_code ec;
    // The kernel's own limit on a chain of links.
    for (int hops = 0; hops < 40 && fs::is_symlink(p, ec); ++hops) {
        const fs::path next = fs::read_symlink(p, ec);
        if (ec) break;
        p = next.is_absolute() ? next : p.parent_path() / next;
    }
    return p;
}

TReplacement::TReplacement(const fs::path& target, const TStopFlag* stop)
    : stop_(stop), target_(ResolveSaveTarget(target)) {
    if (Stopped()) return;
    if (!target_.has_filename()) {
        FailWithErrno(EISDIR);
        return;
    }
    struct stat old {};
    const bool exists = ::stat(target_.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode)) {
        FailWithErrno(EISDIR);
        return;
    }
    // Renaming over a device or a pipe would replace the node, not feed it.
    if (exists && !S_ISREG(old.st_mode)) {
        Fail("Not a regular file");
        return;
    }
    // The rename needs only the folder's permission, which would get round
    // the file's own: a read-only file, or another user's in one's folder.
    // What the user could not write is not replaced. The effective ids
    // decide, as they would for the write.
    if (exists && ::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0) {
        FailWithErrno(errno);
        return;
    }
    const fs::path folder = target_.has_parent_path() ? target_.parent_path() : fs::path(".");
    std::string base = target_.filename().string();
    if (base.size() > kMaxBaseName) base.resize(kMaxBaseName);

    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temp_ = folder / ("." + base + ".tmp-" + std::to_string(::getpid()) + "-" +
                          std::to_string(counter++));
        fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) {
        FailWithErrno(errno);
        temp_.clear();
        return;
    }
    if (exists) {
        // The replacement looks like the file it replaces. Changing the owner
        // works only with the right to do so; the mode is ours to set.
        ::fchmod(fd_, old.st_mode & 07777);
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
            static_cast<void>(::fchown(fd_, old.st_uid, old.st_gid));
    }
    buffer_.reserve(kBufferSize);
}

TReplacement::~TReplacement() {
    if (!committed_) CloseAndRemove();
}

void TReplacement::CloseAndRemove() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

void TReplacement::Fail(std::string reason) {
    if (error_.empty())
        error_ = reason.empty() ? std::string("Unknown failure") : std::move(reason);
}

void TReplacement::FailWithErrno(int error) {
    if (!error_.empty()) return;
    errno_ = error;
    Fail(SystemReason(error));
}

bool TReplacement::Stopped() {
    if (stop_ == nullptr || stop_->load(std::memory_order_relaxed) == 0) return false;
    if (error_.empty()) {
        errno_ = EINTR;
        error_ = kInterrupted;
    }
    return true;
}

bool TReplacement::Flush() {
    if (Stopped() || Failed() || fd_ < 0) return false;
    int error = 0;
    if (!WriteAll(fd_, buffer_.data(), buffer_.size(), error)) {
        FailWithErrno(error);
        return false;
    }
    buffer_.clear();
    return true;
}

bool TReplacement::Write(std::span<const std::uint8_t> bytes) {
    if (Stopped() || Failed() || fd_ < 0) return false;
    if (buffer_.size() + bytes.size() <= kBufferSize) {
        buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
        return true;
    }
    if (!Flush()) return false;
    if (bytes.size() < kBufferSize) {
        buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
        return true;
    }
    int error = 0;
    if (!WriteAll(fd_, bytes.data(), bytes.size(), error)) {
        FailWithErrno(error);
        return false;
    }
    return true;
}

bool TReplacement::Write(const void* data, std::size_t size) {
    return Write(std::span(static_cast<const std::uint8_t*>(data), size));
}

off_t TReplacement::Seek(off_t offset, int whence) {
    if (!Flush()) return -1;
    const off_t at = ::lseek(fd_, offset, whence);
    if (at < 0) FailWithErrno(errno);
    return at;
}

off_t TReplacement::Size() {
    if (!Flush()) return -1;
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        FailWithErrno(errno);
        return -1;
    }
    return st.st_size;
}

TSaveResult TReplacement::Commit() {
    TSaveResult result;
    if (committed_ || (fd_ < 0 && !Failed())) Fail("the file is already written");
    if (Flush()) {
        // The data must be on the disk before the name points at it: a crash
        // then leaves either the old file or the complete new one.
        if (::fdatasync(fd_) != 0) FailWithErrno(errno);
    }
    if (!Failed()) {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) FailWithErrno(errno);
    }
    // The last moment a stop keeps the old file.
    if (!Stopped() && !Failed() && ::rename(temp_.c_str(), target_.c_str()) != 0)
        FailWithErrno(errno);
    if (Failed()) {
        CloseAndRemove();
        result.error = error_;
        return result;
    }
    committed_ = true;
    // Makes the rename itself durable; a failure here loses nothing already written.
    const fs::path folder = target_.has_parent_path() ? target_.parent_path() : fs::path(".");
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    result.ok = true;
    return result;
}

TSaveResult ReplaceFile(const fs::path& target, const std::function<bool(TReplacement&)>& fill,
                        const TStopFlag* stop) {
    TReplacement out(target, stop);
    if (!out.Failed() && !fill(out) && !out.Failed()) out.Fail("the output could not be written");
    return out.Commit();
}

TSaveResult ReplaceFile(const fs::path& target, std::span<const std::uint8_t> bytes,
                        const TStopFlag* stop) {
    return ReplaceFile(
        target, [bytes](TReplacement& out) { return out.Write(bytes); }, stop);
}

}  // namespace core
