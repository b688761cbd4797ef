#include "core/morphtiming.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace core {

namespace {

double Ease(TTiming timing, double t) {
    switch (timing) {
        case TTiming::EaseIn:
            return t * t;
        case TTiming::EaseOut:
            return 1 - (1 - t) * (1 - t);
        case TTiming::EaseInOut:
            return 3 * t * t - 2 * t * t * t;
        case TTiming::Linear:
            break;
    }
    return t;
}

constexpr std::array<std::pair<std::string_view, TTiming>, 4> kTimings{{
    {"linear", TTiming::Linear},
    {"ease-in", TTiming::EaseIn},
    {"ease-out", TTiming::EaseOut},
    {"ease-in-out", TTiming::EaseInOut},
}};
constexpr std::array<std::pair<std::string_view, TMorphMode>, 4> kModes{{
    {"morph", TMorphMode::Morph},
    {"warp", TMorphMode::WarpOnly},
    {"warp2", TMorphMode::WarpOnly2},
    {"dissolve", TMorphMode::DissolveOnly},
}};

}  // namespace

TMorphPosition TimedPosition(TTiming timing, std::int64_t n, std::int64_t N) {
    if (timing == TTiming::Linear || N > kMaxTimedPictures) return {n, N};
    const std::int64_t M = 1000 * N;
    const double t = static_cast<double>(n) / static_cast<double>(N);
    const double f = Ease(timing, t);
    const double m = std::floor(static_cast<double>(M) * f + 0.5);
    // f stays within 0..1 for t within 0..1; the clamp guards the last ulp.
    return {std::clamp<std::int64_t>(static_cast<std::int64_t>(m), 1, M), M};
}

std::int64_t HeldFrameCount(std::int64_t N, std::int64_t hold) {
    return N + 2 * std::max<std::int64_t>(hold, 0);
}

std::int64_t HeldPictureNumber(std::int64_t index, std::int64_t N, std::int64_t hold) {
    hold = std::max<std::int64_t>(hold, 0);
    const std::int64_t picture = std::clamp<std::int64_t>(index - hold, 0, N - 1) + 1;
    return std::max<std::int64_t>(picture, 1);
}

std::optional<TTiming> TimingFromName(std::string_view name) {
    for (const auto& [text, timing] : kTimings)
        if (text == name) return timing;
    return std::nullopt;
}

std::string TimingName(TTiming timing) {
    for (const auto& [text, t] : kTimings)
        if (t == timing) return std::string(text);
    return "linear";
}

std::optional<TMorphMode> ModeFromName(std::string_view name) {
    for (const auto& [text, mode] : kModes)
        if (text == name) return mode;
    return std::nullopt;
}

std::string ModeName(TMorphMode mode) {
    for (const auto& [text, m] : kModes)
        if (m == mode) return std::string(text);
    return "morph";
}

}  // namespace core
