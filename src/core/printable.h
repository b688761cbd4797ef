// Names from files and the command line shown in messages: a name may hold
// any bytes but NUL, and a project file's stored names even NUL.
#pragma once

#include <string>
#include <string_view>

namespace core {

// The text with every byte that could cut a message or act on a terminal
// shown visibly as \xHH: NUL and the other C0 controls (ESC, CR, LF, ...),
// DEL, the C1 controls (U+0080 to U+009F), the bidirectional controls that
// reorder what follows (U+202E and its kind), the line and paragraph
// separators, and bytes that are not valid UTF-8.
// Everything else, "\" and non-ASCII letters included, stays as it is.
std::string PrintableText(std::string_view text);

}  // namespace core
