// libFuzzer target for the project reader: any bytes must be either refused
// or read back into a project that writes out as the same leading bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>
#include <vector>

#include "core/projectfile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    // The same bytes as a folder and a name for the relative-name rule: the
    // result is never longer than the name plus one "..\" per folder byte.
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = text.find('\0');
    if (cut != std::string_view::npos) {
        const std::string_view folder = text.substr(0, cut);
        const std::string_view name = text.substr(cut + 1);
        if (core::RelativePath(folder, name).size() > name.size() + 3 * folder.size()) std::abort();
    }
    const core::TProjectReadResult read = core::ReadProject(bytes);
    if (read.status != core::TProjectStatus::Ok) return 0;
    // Whatever was read came from the bytes: the areas cannot outnumber them.
    if (read.data.areas.size() * core::kProjectRecordSize > size) std::abort();
    std::vector<std::uint8_t> written;
    if (!core::WriteProject(read.data, written)) std::abort();
    // Rewriting gives the file's own bytes, except for a count below zero
    // (written as 0) and the ignored bytes after the last record.
    const std::size_t countAt =
        written.size() - read.data.areas.size() * core::kProjectRecordSize - 4;
    for (std::size_t i = 0; i < written.size(); ++i) {
        if (i >= countAt && i < countAt + 4 && read.announced < 0) continue;
        if (written[i] != bytes[i]) std::abort();
    }
    return 0;
}
