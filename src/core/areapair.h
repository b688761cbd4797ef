// One pair of corresponding areas: a rectangle in picture 1 and one in
// picture 2, in pixels of the respective picture, right and bottom inclusive.
// Corners are kept as the user dragged them (not normalised).
#pragma once

#include <cstdint>
#include <type_traits>

struct TAreaPair {
    std::int32_t Left1 = 0;
    std::int32_t Top1 = 0;
    std::int32_t Right1 = 0;
    std::int32_t Bottom1 = 0;
    std::int32_t Left2 = 0;
    std::int32_t Top2 = 0;
    std::int32_t Right2 = 0;
    std::int32_t Bottom2 = 0;

    bool operator==(const TAreaPair&) const = default;
};

static_assert(sizeof(TAreaPair) == 32 && std::is_trivially_copyable_v<TAreaPair>);

// The half of a pair shown in pane 0 (picture 1) or pane 1 (picture 2).
struct TAreaHalf {
    std::int32_t& left;
    std::int32_t& top;
    std::int32_t& right;
    std::int32_t& bottom;
};

inline TAreaHalf HalfOf(TAreaPair& a, int pane) {
    if (pane == 0) return {a.Left1, a.Top1, a.Right1, a.Bottom1};
    return {a.Left2, a.Top2, a.Right2, a.Bottom2};
}
