// The ".morseq" sequence file: a list of projects played one after another.
//
//   # faces, slowly at the ends
//   faces.mor            length=4 timing=ease-in-out
//   ../more/third.mor    hold=5
//   tail.morseq
//
// One project per line, named relative to the sequence file's folder. After
// the name, separated by spaces, optional settings for that project:
// length=SECONDS (above 0), timing=linear|ease-in|ease-out|ease-in-out and
// hold=K (0 to 100). "#" starts a comment at the start of a line or after a
// space. A line may name another sequence file, whose projects take its
// place; a file that names itself, directly or through others, is refused.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/morphtiming.h"

namespace core {

// What one entry sets for its project; unset values come from the common
// settings (the command line's options or the window's fields).
struct TSequenceOverrides {
    std::optional<double> length;
    std::optional<TTiming> timing;
    std::optional<std::int64_t> hold;
    bool operator==(const TSequenceOverrides&) const = default;
};

struct TSequenceItem {
    std::string project;  // the platform path: the name resolved against the file's folder
    TSequenceOverrides settings;
    // Where the item was named, for messages: "faces.morseq, line 3"; empty
    // for a project named directly.
    std::string origin;
    bool operator==(const TSequenceItem&) const = default;
};

struct TSequenceRead {
    std::vector<TSequenceItem> items;
    // Empty when the file was read; otherwise one line: "faces.morseq, line
    // 3: unknown key 'speed' (length, timing or hold)".
    std::string error;
    bool ok() const { return error.empty(); }
};

// Whether a name is a sequence file (".morseq", any letter case).
bool IsSequenceFileName(const std::filesystem::path& name);

// The lines of a sequence file's text, the file itself being `file` (for the
// folder names are resolved against and for messages). Nested sequence files
// are not opened here: they come back as items naming them. No item at all is
// an error.
TSequenceRead ParseSequenceText(std::string_view text, const std::filesystem::path& file);

// Reads a sequence file and the sequence files it names, in order; their
// items carry the settings of the line that named the file where they set
// none of their own.
TSequenceRead ReadSequenceFile(const std::filesystem::path& file);

// The text of a sequence file for these items, named relative to `file`'s
// folder where possible.
std::string SequenceFileText(const std::vector<TSequenceItem>& items,
                             const std::filesystem::path& file);

}  // namespace core
