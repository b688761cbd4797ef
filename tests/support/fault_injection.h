// Faults a save can meet, injected without privileges: a file-size limit, a
// read-only folder, a folder in place of the file, a missing folder and a
// full device (/dev/full in place of the file being written).
#pragma once

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
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

inline const std::vector<Fault>& AllFaults() {
    static const std::vector<Fault> faults = {Fault::FileSizeLimit, Fault::ReadOnlyFolder,
                                              Fault::FolderInPlace, Fault::MissingFolder,
                                              Fault::FullDevice};
    return faults;
}

}  // namespace testing_support
