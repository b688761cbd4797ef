#include "core/projectfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>

namespace core {

namespace {

void PutInt32(std::vector<std::uint8_t>& out, std::int32_t value) {
    const auto u = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(u >> shift));
}

std::int32_t GetInt32(const std::uint8_t* p) {
    const std::uint32_t u = std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) |
                            (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
    return static_cast<std::int32_t>(u);
}

// Magic, both names and the count. On success in is positioned on the first
// record and result.announced holds the count.
bool ReadHeader(TByteReader& in, TProjectReadResult& result) {
    std::span<const std::uint8_t> magic;
    if (!in.Take(kProjectMagic.size(), magic) ||
        !std::equal(magic.begin(), magic.end(), kProjectMagic.begin(), kProjectMagic.end(),
                    [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); })) {
        result.status = TProjectStatus::NotProject;
        return false;
    }
    if (!ReadShortStr(in, result.data.pic1Name) || !ReadShortStr(in, result.data.pic2Name)) {
        result.status = TProjectStatus::EndsInsideName;
        return false;
    }
    std::span<const std::uint8_t> count;
    if (!in.Take(4, count)) {
        result.status = TProjectStatus::EndsBeforeCount;
        return false;
    }
    result.announced = GetInt32(count.data());
    return true;
}

std::uint64_t RecordBytes(std::int64_t announced) {
    return announced > 0 ? static_cast<std::uint64_t>(announced) * kProjectRecordSize : 0;
}

// ---- Path text -----------------------------------------------------------------

constexpr char kSep = '\\';

struct TDrive {
    std::string_view key;   // what two paths must share to be related
    std::size_t strip = 0;  // characters removed before the folder names
    bool caseless = false;  // drive letters and shares ignore letter case
};

TDrive DriveOf(std::string_view p) {
    if (p.size() >= 2 && p[1] == ':') return {p.substr(0, 2), 2, true};
    if (p.size() >= 2 && p[0] == kSep && p[1] == kSep) {
        const std::size_t serverEnd = p.find(kSep, 2);
        const std::size_t shareEnd =
            serverEnd == std::string_view::npos ? serverEnd : p.find(kSep, serverEnd + 1);
        if (shareEnd == std::string_view::npos) return {p, p.size(), true};
        return {p.substr(0, shareEnd), shareEnd, true};
    }
    // A POSIX absolute name: its root is its drive. Nothing is stripped, so
    // the folder names start after the leading separator as they do after
    // "C:".
    if (!p.empty() && p[0] == kSep) return {p.substr(0, 1), 0, false};
    return {};
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameText(std::string_view a, std::string_view b, bool caseless) {
    if (!caseless) return a == b;
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

std::string_view FileNameOf(std::string_view p) {
    const std::size_t cut = p.find_last_of("\\:");
    return cut == std::string_view::npos ? p : p.substr(cut + 1);
}

// The folder names of a folder part (drive removed): the pieces between
// consecutive separators. In UTF-8 no byte of a multi-byte character equals
// the separator, so a byte-wise split is safe.
std::vector<std::string_view> FolderNames(std::string_view folder) {
    std::vector<std::string_view> names;
    std::size_t start = folder.find(kSep);
    if (start == std::string_view::npos) return names;
    ++start;
    for (std::size_t end = folder.find(kSep, start); end != std::string_view::npos;
         end = folder.find(kSep, start)) {
        names.push_back(folder.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

}  // namespace

std::string DescribeProjectStatus(TProjectStatus status, std::int64_t announced, int systemError) {
    const std::string reason = systemError != 0 ? ": " + SystemReason(systemError) : "";
    switch (status) {
        case TProjectStatus::Ok:
            return "no error";
        case TProjectStatus::CannotOpen:
            return "it cannot be opened" + reason;
        case TProjectStatus::ReadFailed:
            return "it cannot be read" + reason;
        case TProjectStatus::NotProject:
            return "it is not a morphing project file";
        case TProjectStatus::EndsInsideName:
            return "it ends inside a picture name";
        case TProjectStatus::EndsBeforeCount:
            return "it ends before the number of areas";
        case TProjectStatus::EndsBeforeRecords:
            return "it ends before the last of its " + std::to_string(announced) + " areas";
    }
    return "unknown error";
}

std::string DescribeProjectStatus(const TProjectReadResult& result) {
    return DescribeProjectStatus(result.status, result.announced, result.systemError);
}

bool WriteShortStr(std::vector<std::uint8_t>& out, std::string_view text) {
    if (text.size() > kMaxShortStr) return false;
    out.push_back(static_cast<std::uint8_t>(text.size()));
    out.insert(out.end(), text.begin(), text.end());
    return true;
}

bool TByteReader::Take(std::size_t n, std::span<const std::uint8_t>& out) {
    if (n > Remaining()) return false;
    out = bytes_.subspan(pos_, n);
    pos_ += n;
    return true;
}

bool ReadShortStr(TByteReader& in, std::string& text) {
    std::span<const std::uint8_t> length;
    std::span<const std::uint8_t> chars;
    if (!in.Take(1, length) || !in.Take(length[0], chars)) return false;
    text.assign(chars.begin(), chars.end());
    return true;
}

void WriteAreaRecord(std::vector<std::uint8_t>& out, const TAreaPair& a) {
    for (std::int32_t v :
         {a.Left1, a.Top1, a.Right1, a.Bottom1, a.Left2, a.Top2, a.Right2, a.Bottom2})
        PutInt32(out, v);
}

TAreaPair ReadAreaRecord(std::span<const std::uint8_t, kProjectRecordSize> b) {
    const std::uint8_t* p = b.data();
    return {GetInt32(p),      GetInt32(p + 4),  GetInt32(p + 8),  GetInt32(p + 12),
            GetInt32(p + 16), GetInt32(p + 20), GetInt32(p + 24), GetInt32(p + 28)};
}

bool WriteProject(const TProjectData& data, std::vector<std::uint8_t>& out) {
    out.clear();
    if (data.areas.size() > static_cast<std::size_t>(INT32_MAX)) return false;
    out.reserve(kEmptyProjectSize + data.pic1Name.size() + data.pic2Name.size() +
                data.areas.size() * kProjectRecordSize);
    out.insert(out.end(), kProjectMagic.begin(), kProjectMagic.end());
    if (!WriteShortStr(out, data.pic1Name) || !WriteShortStr(out, data.pic2Name)) {
        out.clear();
        return false;
    }
    PutInt32(out, static_cast<std::int32_t>(data.areas.size()));
    for (const TAreaPair& a : data.areas) WriteAreaRecord(out, a);
    return true;
}

TProjectReadResult ReadProject(std::span<const std::uint8_t> bytes) {
    TProjectReadResult result;
    TByteReader in(bytes);
    if (!ReadHeader(in, result)) {
        result.data = {};
        return result;
    }
    // The count is checked against the bytes that are there before anything
    // is allocated for it.
    const std::uint64_t need = RecordBytes(result.announced);
    if (need > in.Remaining()) {
        result.status = TProjectStatus::EndsBeforeRecords;
        result.data = {};
        return result;
    }
    const auto count = static_cast<std::size_t>(need / kProjectRecordSize);
    result.data.areas.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::span<const std::uint8_t> record;
        in.Take(kProjectRecordSize, record);
        result.data.areas.push_back(ReadAreaRecord(record.first<kProjectRecordSize>()));
    }
    result.status = TProjectStatus::Ok;
    return result;
}

// ---- Picture names ------------------------------------------------------------

std::string_view StoredFolderOf(std::string_view name) {
    const std::size_t cut = name.find_last_of("\\:");
    return cut == std::string_view::npos ? std::string_view{} : name.substr(0, cut + 1);
}

std::string RelativePath(std::string_view folder, std::string_view name) {
    const TDrive folderDrive = DriveOf(folder);
    const TDrive nameDrive = DriveOf(name);
    const bool caseless = folderDrive.caseless || nameDrive.caseless;
    if (name.empty() || nameDrive.key.empty() ||
        !SameText(folderDrive.key, nameDrive.key, caseless))
        return std::string(name);

    // A share without a folder ("\\server\share") is a drive longer than
    // its folder part; nothing of it is left then.
    const auto folderNamesOf = [](std::string_view path, const TDrive& drive) {
        const std::string_view part = StoredFolderOf(path);
        return FolderNames(part.substr(std::min(drive.strip, part.size())));
    };
    const std::vector<std::string_view> from = folderNamesOf(folder, folderDrive);
    const std::vector<std::string_view> to = folderNamesOf(name, nameDrive);
    std::size_t k = 0;
    while (k < from.size() && k < to.size() && SameText(from[k], to[k], caseless)) ++k;

    std::string result;
    for (std::size_t i = k; i < from.size(); ++i) result += "..\\";
    for (std::size_t i = k; i < to.size(); ++i) {
        result += to[i];
        result += kSep;
    }
    result += FileNameOf(name);
    return result;
}

std::string ToStoredForm(std::string_view platformName) {
    std::string s(platformName);
    std::replace(s.begin(), s.end(), '/', kSep);
    return s;
}

std::string FromStoredForm(std::string_view storedName) {
    std::string s(storedName);
    std::replace(s.begin(), s.end(), kSep, '/');
    return s;
}

std::string ResolveStoredName(const std::filesystem::path& projectFile,
                              std::string_view storedName) {
    if (storedName.empty()) return {};
    const std::filesystem::path folder = std::filesystem::absolute(projectFile).parent_path();
    return (folder / FromStoredForm(storedName)).lexically_normal().string();
}

std::string StoredNameFor(const std::filesystem::path& projectFile, std::string_view pictureName) {
    if (pictureName.empty()) return {};
    const std::string project =
        ToStoredForm(std::filesystem::absolute(projectFile).lexically_normal().string());
    const std::filesystem::path picture(pictureName);
    const std::string name =
        picture.is_absolute() ? picture.lexically_normal().string() : std::string(pictureName);
    return RelativePath(StoredFolderOf(project), ToStoredForm(name));
}

std::string KeptStoredName(const std::filesystem::path& projectFile, std::string_view pictureName,
                           const TMissingPicture& missing) {
    if (!pictureName.empty() || missing.storedName.empty())
        return StoredNameFor(projectFile, pictureName);
    const std::string_view stored = missing.storedName;
    // Rooted ("\x", "\\server\share") or with a drive ("C:"): the same
    // wherever the project lies.
    const bool relative = stored.front() != kSep && stored.front() != '/' &&
                          stored.find(':') == std::string_view::npos;
    const auto folderOf = [](const std::filesystem::path& file) {
        return std::filesystem::absolute(file).lexically_normal().parent_path();
    };
    if (!relative || folderOf(projectFile) == folderOf(missing.project)) return missing.storedName;
    return StoredNameFor(projectFile, ResolveStoredName(missing.project, stored));
}

// ---- Files ----------------------------------------------------------------------

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Appends up to n bytes; false on an I/O error (end of file is not one).
// Reads up to n more bytes; 0 when all went well (also at the end of the
// file), otherwise errno of the failed read.
int ReadUpTo(std::FILE* f, std::vector<std::uint8_t>& buffer, std::size_t n) {
    constexpr std::size_t kChunk = 1 << 16;
    while (n > 0) {
        const std::size_t want = std::min(n, kChunk);
        const std::size_t old = buffer.size();
        buffer.resize(old + want);
        errno = 0;
        const std::size_t got = std::fread(buffer.data() + old, 1, want, f);
        const int error = errno;
        buffer.resize(old + got);
        n -= got;
        if (got < want) return std::ferror(f) == 0 ? 0 : (error != 0 ? error : EIO);
    }
    return 0;
}

}  // namespace

TProjectReadResult ReadProjectFile(const std::filesystem::path& file) {
    TProjectReadResult result;
    std::error_code ec;
    if (std::filesystem::is_directory(file, ec)) {
        result.status = TProjectStatus::CannotOpen;
        result.systemError = EISDIR;
        return result;
    }
    FilePtr f(std::fopen(file.c_str(), "rb"));
    if (!f) {
        result.status = TProjectStatus::CannotOpen;
        result.systemError = errno;
        return result;
    }
    // The header is never longer than this; it tells how much more to read.
    constexpr std::size_t kMaxHeader = 20 + 2 * (1 + kMaxShortStr) + 4;
    std::vector<std::uint8_t> bytes;
    if (const int error = ReadUpTo(f.get(), bytes, kMaxHeader); error != 0) {
        result.status = TProjectStatus::ReadFailed;
        result.systemError = error;
        return result;
    }
    TByteReader in(bytes);
    if (!ReadHeader(in, result)) {
        result.data = {};
        return result;
    }
    const std::uint64_t needTotal = in.Position() + RecordBytes(result.announced);
    // A regular file too short for its count is refused without reading it.
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (!ec && size < needTotal) {
        result.status = TProjectStatus::EndsBeforeRecords;
        result.data = {};
        return result;
    }
    // Otherwise read in chunks: memory grows only with the bytes really there.
    if (needTotal > bytes.size()) {
        const int error =
            ReadUpTo(f.get(), bytes, static_cast<std::size_t>(needTotal - bytes.size()));
        if (error != 0) {
            result.status = TProjectStatus::ReadFailed;
            result.systemError = error;
            result.data = {};
            return result;
        }
    }
    return ReadProject(bytes);
}

}  // namespace core
