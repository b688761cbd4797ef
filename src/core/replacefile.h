// Replacing a file without ever losing what it held: every output of the
// window and of vellora-render (project files, pictures, videos) is written
// through this one mechanism.
//
// The new content goes to a temporary file in the target's folder; every
// write and the close are checked; the data is flushed to the disk before the
// temporary file is renamed over the target, and the rename is flushed too.
// The old file's permissions are kept, and when the target is a symbolic link
// the file it points at is replaced, not the link. A file the user could not
// write (read-only, or another user's) is not replaced: the rename would get
// round its protection. On any failure the temporary file is removed and the
// old file stays byte for byte as it was.
// The cost of durability (two flushes) is paid once per file, at Commit.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace core {

struct TSaveResult {
    bool ok = false;
    std::string error;  // the system's reason ("No space left on device"), when not ok
};

// A request to stop (set from a signal handler or another thread): a
// replacement that sees it fails with "interrupted" at its next write and
// never replaces its target. Lock-free, so a signal handler may set it.
using TStopFlag = std::atomic<int>;
static_assert(TStopFlag::is_always_lock_free);

// The reason a replacement that was stopped gives.
inline constexpr const char* kInterrupted = "interrupted";

// The system's text for an errno value, e.g. "Read-only file system".
std::string SystemReason(int error);

// The file a save to `target` replaces: symbolic links followed to the end,
// also when the last one points at a file that does not exist yet.
std::filesystem::path ResolveSaveTarget(const std::filesystem::path& target);

// The new content of one file while it is written. Writes are buffered; the
// first failure is kept and every later call does nothing.
class TReplacement {
public:
    // Creates the temporary file; on failure Failed() is true and Error() says
    // why. stop, when given, must outlive the replacement.
    explicit TReplacement(const std::filesystem::path& target, const TStopFlag* stop = nullptr);
    // Removes the temporary file unless Commit succeeded.
    ~TReplacement();
    TReplacement(const TReplacement&) = delete;
    TReplacement& operator=(const TReplacement&) = delete;

    // Appends bytes; false once anything has failed.
    bool Write(std::span<const std::uint8_t> bytes);
    bool Write(const void* data, std::size_t size);
    // Moves the write position, as lseek does (for writers that go back to
    // fill in a header); -1 on failure.
    off_t Seek(off_t offset, int whence);
    // The size written so far (after flushing the buffer); -1 on failure.
    off_t Size();

    // Records a failure found by the caller (an encoder's); the first reason wins.
    void Fail(std::string reason);
    // Records errno's reason.
    void FailWithErrno(int error);
    bool Failed() const { return !error_.empty(); }
    const std::string& Error() const { return error_; }
    int ErrorNumber() const { return errno_; }

    // Flushes the data to disk, closes, renames over the target and flushes
    // the folder. After a failure (here or earlier) the target is untouched.
    TSaveResult Commit();

    const std::filesystem::path& Target() const { return target_; }
    const std::filesystem::path& TempPath() const { return temp_; }
    // The temporary file's descriptor while open (for tests injecting faults).
    int Descriptor() const { return fd_; }

private:
    bool Flush();
    void CloseAndRemove();
    // Fails when a stop was requested.
    bool Stopped();

    const TStopFlag* stop_ = nullptr;
    std::filesystem::path target_;
    std::filesystem::path temp_;
    int fd_ = -1;
    bool committed_ = false;
    std::string error_;
    int errno_ = 0;
    std::vector<std::uint8_t> buffer_;
};

// Replaces target with what fill writes. fill returns false to abandon (after
// calling Fail with the reason, or the replacement's own error is used).
TSaveResult ReplaceFile(const std::filesystem::path& target,
                        const std::function<bool(TReplacement&)>& fill,
                        const TStopFlag* stop = nullptr);
// Replaces target with exactly these bytes.
TSaveResult ReplaceFile(const std::filesystem::path& target, std::span<const std::uint8_t> bytes,
                        const TStopFlag* stop = nullptr);

}  // namespace core
