// The timing of one morph: which state of the change a picture number shows
// (easing), which half of the change is shown (mode), and the pictures held
// still before and after it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace core {

// Picture n of N shows the morph at fraction f(n / N):
//   Linear          f(t) = t
//   EaseIn          f(t) = t * t
//   EaseOut         f(t) = 1 - (1 - t) * (1 - t)
//   EaseInOut       f(t) = 3 * t * t - 2 * t * t * t
enum class TTiming { Linear, EaseIn, EaseOut, EaseInOut };

// Which part of the change is shown (see renderer.h for the arithmetic).
enum class TMorphMode { Morph, WarpOnly, WarpOnly2, DissolveOnly };

// A position in the morph: picture m of M.
struct TMorphPosition {
    std::int64_t m = 1;
    std::int64_t M = 1;
    bool operator==(const TMorphPosition&) const = default;
};

// Picture n of N (n already within 1..N) under a timing. Linear gives n of N
// itself. The others give m of M with M = 1000 * N and
// m = max(1, floor(M * f(n / N) + 0.5)), computed in double precision; n / N,
// f and the product are each one double operation as written above. For N
// past kMaxTimedPictures, where 1000 * N would not fit, every timing is linear.
TMorphPosition TimedPosition(TTiming timing, std::int64_t n, std::int64_t N);
inline constexpr std::int64_t kMaxTimedPictures = std::int64_t{1} << 50;

// Hold frames: `hold` copies of picture 1 before pictures 1..N and `hold`
// copies of picture N after them, N + 2 * hold frames in all. The picture
// number of frame `index` (0-based; clamped into the frames).
inline constexpr std::int64_t kMaxHold = 100;  // the most held pictures offered
std::int64_t HeldFrameCount(std::int64_t N, std::int64_t hold);
std::int64_t HeldPictureNumber(std::int64_t index, std::int64_t N, std::int64_t hold);

// The names the command line and sequence files use: "linear", "ease-in",
// "ease-out", "ease-in-out"; "morph", "warp", "warp2", "dissolve".
std::optional<TTiming> TimingFromName(std::string_view name);
std::string TimingName(TTiming timing);
std::optional<TMorphMode> ModeFromName(std::string_view name);
std::string ModeName(TMorphMode mode);

}  // namespace core
