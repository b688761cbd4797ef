// Which picture playback shows: once through the sequence, round and round,
// or back and forth (1 to N to 1 and again).
#pragma once

#include <cstdint>

namespace core {

enum class TPlayMode { Once, Loop, BackAndForth };

// The picture to show at `position`, the start picture plus the pictures
// the elapsed time is worth (counted from 1, not limited to N), for a
// sequence of N >= 1 pictures. Once stops at N; Loop starts again at 1
// after N; BackAndForth turns at N and at 1, showing neither twice in a row.
int PlaybackPicture(std::int64_t position, int N, TPlayMode mode);

}  // namespace core
