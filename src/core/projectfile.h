// The ".mor" project file: the two picture names and the area pairs.
//
// Layout (little-endian, no gaps): the 20-byte magic, picture 1's name and
// picture 2's name as short strings (a length byte, then the bytes), a signed
// 32-bit count and that many 32-byte area records. Names are stored with "\"
// as the folder separator, relative to the project's folder where possible.
//
// Everything here is a pure function over bytes and path text, except the
// file reader at the end; the window and vellora-render share it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/areapair.h"
#include "core/replacefile.h"

namespace core {

inline constexpr std::string_view kProjectMagic = "TALVORN Morphing 1.0";
inline constexpr std::size_t kProjectRecordSize = 32;
// The smallest project: magic, two empty names, a count of 0.
inline constexpr std::size_t kEmptyProjectSize = 26;
inline constexpr std::size_t kMaxShortStr = 255;

// The project as stored: the names exactly as the file holds them.
struct TProjectData {
    std::string pic1Name;
    std::string pic2Name;
    std::vector<TAreaPair> areas;
    bool operator==(const TProjectData&) const = default;
};

enum class TProjectStatus {
    Ok,
    CannotOpen,         // the file does not exist or cannot be opened
    ReadFailed,         // an I/O error while reading
    NotProject,         // shorter than the magic, or the magic differs
    EndsInsideName,     // the file ends inside (or before) a picture name
    EndsBeforeCount,    // the file ends before the 4 bytes of the count
    EndsBeforeRecords,  // fewer bytes than the count's records need
};

struct TProjectReadResult {
    TProjectStatus status = TProjectStatus::Ok;
    TProjectData data;           // filled only when status is Ok
    std::int64_t announced = 0;  // the stored count, when it was read
    int systemError = 0;         // errno of CannotOpen and ReadFailed, when known
};

// A short description of a refusal, without the file's name, e.g.
// "it ends inside a picture name" or "it cannot be opened: Permission denied".
std::string DescribeProjectStatus(TProjectStatus status, std::int64_t announced = 0,
                                  int systemError = 0);
std::string DescribeProjectStatus(const TProjectReadResult& result);

// Appends the length byte and the bytes of text. False (nothing appended)
// when the text is longer than 255 bytes: the length byte cannot hold it.
bool WriteShortStr(std::vector<std::uint8_t>& out, std::string_view text);

// Reads from a byte sequence at a moving position; never reads past its end.
class TByteReader {
public:
    explicit TByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::size_t Position() const { return pos_; }
    std::size_t Remaining() const { return bytes_.size() - pos_; }
    // The next n bytes; false (position unchanged) when fewer remain.
    bool Take(std::size_t n, std::span<const std::uint8_t>& out);

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

// One length byte, then that many bytes. False when the bytes end first.
bool ReadShortStr(TByteReader& in, std::string& text);

// Record layout: eight signed 32-bit little-endian integers, Left1 first.
void WriteAreaRecord(std::vector<std::uint8_t>& out, const TAreaPair& area);
TAreaPair ReadAreaRecord(std::span<const std::uint8_t, kProjectRecordSize> bytes);

// The exact bytes of a project. False when a name does not fit its length
// byte; out is then left empty.
bool WriteProject(const TProjectData& data, std::vector<std::uint8_t>& out);

// Reads a whole project from its bytes, checking everything before anything
// is returned. Bytes after the last record are ignored; a count of zero or
// less gives no areas. Nothing is allocated beyond what the bytes hold.
TProjectReadResult ReadProject(std::span<const std::uint8_t> bytes);

// ---- Picture names ------------------------------------------------------------

// The picture name as stored for a project in `folder` (which ends with "\").
// Both are in stored form ("\" separators). A name on another drive or share,
// or a relative name, comes back unchanged. Drive letters and UNC shares are
// compared without regard to letter case (as their file systems do); a name
// rooted at "\" (a POSIX absolute path in stored form) shares the root drive
// with a folder rooted there, and is compared exactly, since those file
// systems tell letter case apart.
std::string RelativePath(std::string_view folder, std::string_view name);

// The folder part of a stored-form name: up to and including its last "\" or ":".
std::string_view StoredFolderOf(std::string_view name);

// A platform file name in stored form ("/" becomes "\").
std::string ToStoredForm(std::string_view platformName);

// A stored name in platform form: "\" and "/" both become "/".
std::string FromStoredForm(std::string_view storedName);

// The full platform path of a stored name for a project whose file is
// projectFile: relative names are resolved against the project's folder.
// An empty name stays empty.
std::string ResolveStoredName(const std::filesystem::path& projectFile,
                              std::string_view storedName);

// The stored name of a picture held in memory (a full platform path or
// empty) for a project to be saved as projectFile.
std::string StoredNameFor(const std::filesystem::path& projectFile, std::string_view pictureName);

// A picture of an opened project that could not be loaded: the name exactly
// as the project stored it and the project file it came from. Empty when the
// slot holds a loaded or a blank picture.
struct TMissingPicture {
    std::string storedName;
    std::filesystem::path project;
    bool operator==(const TMissingPicture&) const = default;
};

// The name Save writes for one picture slot of a project saved as
// projectFile. A loaded picture (pictureName, a full path) is stored as
// StoredNameFor says. A picture that was missing when the project was opened
// keeps its stored name: byte for byte when the project is saved into the
// folder it was opened from (or the name is not relative), otherwise
// re-relativised to the new folder so that it still names the same file.
std::string KeptStoredName(const std::filesystem::path& projectFile, std::string_view pictureName,
                           const TMissingPicture& missing);

// ---- Files ----------------------------------------------------------------------

// Reads and checks a project file. Reads only what the header says the file
// needs, after checking that the file is long enough to hold it.
TProjectReadResult ReadProjectFile(const std::filesystem::path& file);

}  // namespace core
