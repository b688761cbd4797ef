// Faults a save can meet, injected without privileges: a file-size limit, a
// read-only folder, a folder in place of the file, a missing folder and a
// full device (/dev/full in place of the file being written). With root's
// rights also: another user to run as, an immutable file and a small file
// system that really fills up.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <linux/fs.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

enum class Fault { FileSizeLimit, ReadOnlyFolder, FolderInPlace, MissingFolder, FullDevice };

inline const char* FaultName(Fault f) {
    switch (f) {
        case Fault::FileSizeLimit:
            return "FileSizeLimit";
        case Fault::ReadOnlyFolder:
            return "ReadOnlyFolder";
        case Fault::FolderInPlace:
            return "FolderInPlace";
        case Fault::MissingFolder:
            return "MissingFolder";
        case Fault::FullDevice:
            return "FullDevice";
    }
    return "?";
}

// The system's reason the save must report.
inline const char* FaultReason(Fault f) {
    switch (f) {
        case Fault::FileSizeLimit:
            return "File too large";
        case Fault::ReadOnlyFolder:
            return "Permission denied";
        case Fault::FolderInPlace:
            return "Is a directory";
        case Fault::MissingFolder:
            return "No such file or directory";
        case Fault::FullDevice:
            return "No space left on device";
    }
    return "?";
}

// Permissions do not stop root.
inline bool PermissionsApply() {
    return ::geteuid() != 0;
}

inline std::vector<char> FileContent(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void PutFile(const std::filesystem::path& p, std::string_view content) {
    std::ofstream(p, std::ios::binary)
        .write(content.data(), static_cast<std::streamsize>(content.size()));
}

// Every name in a folder, hidden ones included, sorted.
inline std::vector<std::string> Names(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Lowers this process's file-size limit while alive; SIGXFSZ is ignored so a
// write past the limit fails with EFBIG instead of ending the test.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes) {
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limited = old_;
        limited.rlim_cur = bytes;
        ok_ = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~TFileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    TFileSizeLimit(const TFileSizeLimit&) = delete;
    TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;
    bool Ok() const { return ok_; }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
    bool ok_ = false;
};

// A folder with an old file "old" in it, and the target a save with the
// fault aims at. For ReadOnlyFolder the folder's write permission is
// withdrawn while the object lives; for FullDevice the target is the old file
// (the writer is pointed at /dev/full by the test itself).
class TFaultScene {
public:
    TFaultScene(const std::filesystem::path& dir, Fault fault, const std::string& fileName)
        : dir_(dir), fault_(fault) {
        namespace fs = std::filesystem;
        fs::create_directories(dir_);
        old_ = dir_ / fileName;
        target_ = old_;
        PutFile(old_, kOldContent);
        switch (fault) {
            case Fault::ReadOnlyFolder:
                fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
                break;
            case Fault::FolderInPlace:
                target_ = dir_ / ("folder-" + fileName);
                fs::create_directories(target_ / "inside");
                break;
            case Fault::MissingFolder:
                target_ = dir_ / "missing" / fileName;
                break;
            case Fault::FileSizeLimit:
            case Fault::FullDevice:
                break;
        }
        before_ = Names(dir_);
    }
    ~TFaultScene() {
        std::error_code ec;
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all, ec);
    }
    TFaultScene(const TFaultScene&) = delete;
    TFaultScene& operator=(const TFaultScene&) = delete;

    const std::filesystem::path& Target() const { return target_; }
    // The old file is byte-identical and nothing was added or left behind.
    bool Untouched() const {
        const std::vector<char> now = FileContent(old_);
        return std::string(now.begin(), now.end()) == kOldContent && Names(dir_) == before_;
    }
    std::string Listing() const {
        std::string s;
        for (const std::string& n : Names(dir_)) s += n + " ";
        return s;
    }

    static constexpr const char* kOldContent = "the previous content, kept byte for byte";

private:
    std::filesystem::path dir_;
    Fault fault_;
    std::filesystem::path old_;
    std::filesystem::path target_;
    std::vector<std::string> before_;
};

// Another user, for tests run as root that need permissions to apply.
struct TUser {
    uid_t uid = 0;
    gid_t gid = 0;
};

// The user nobody, when this process may become it (root).
inline std::optional<TUser> Nobody() {
    if (::geteuid() != 0) return std::nullopt;
    const passwd* p = ::getpwnam("nobody");
    if (p == nullptr) return std::nullopt;
    return TUser{p->pw_uid, p->pw_gid};
}

// Becomes the user for good, groups first; for a child process.
inline bool BecomeUser(const TUser& user) {
    return ::setgroups(0, nullptr) == 0 && ::setgid(user.gid) == 0 && ::setuid(user.uid) == 0;
}

// Runs fn in a child process as the user; fn's result (0 to 254), or -1.
inline int RunAs(const TUser& user, const std::function<int()>& fn) {
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) ::_exit(BecomeUser(user) ? fn() : 255);
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) == 255)
        return -1;
    return WEXITSTATUS(status);
}

// Sets or clears a file's immutable flag, which stops even root from
// changing it; false where the file system or the rights do not allow it.
inline bool SetImmutable(const std::filesystem::path& file, bool on) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

// A file system of a few hundred kilobytes (tmpfs) on a folder while alive:
// a disk that really fills up. Needs root's rights; Mounted() tells.
class TSmallFileSystem {
public:
    TSmallFileSystem(const std::filesystem::path& dir, std::size_t kilobytes) : dir_(dir) {
        std::filesystem::create_directories(dir_);
        const std::string options = "size=" + std::to_string(kilobytes) + "k,mode=0755";
        mounted_ = ::mount("tmpfs", dir_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV | MS_NOEXEC,
                           options.c_str()) == 0;
    }
    ~TSmallFileSystem() {
        if (mounted_) ::umount2(dir_.c_str(), MNT_DETACH);
    }
    TSmallFileSystem(const TSmallFileSystem&) = delete;
    TSmallFileSystem& operator=(const TSmallFileSystem&) = delete;

    bool Mounted() const { return mounted_; }
    // The bytes still free.
    std::uint64_t Free() const {
        struct statvfs st {};
        if (::statvfs(dir_.c_str(), &st) != 0) return 0;
        return static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
    }
    // Fills it with the file "filler" until about `room` bytes are left.
    void LeaveRoom(std::uint64_t room) const {
        const std::uint64_t free = Free();
        if (free <= room) return;
        PutFile(dir_ / "filler", std::string(free - room, 'f'));
    }

private:
    std::filesystem::path dir_;
    bool mounted_ = false;
};

inline const std::vector<Fault>& AllFaults() {
    static const std::vector<Fault> faults = {Fault::FileSizeLimit, Fault::ReadOnlyFolder,
                                              Fault::FolderInPlace, Fault::MissingFolder,
                                              Fault::FullDevice};
    return faults;
}

}  // namespace testing_support
