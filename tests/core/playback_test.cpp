// The picture playback shows as time goes on.
#include <gtest/gtest.h>

#include <vector>

#include "core/playback.h"

using core::PlaybackPicture;
using core::TPlayMode;

namespace {

std::vector<int> Shown(int from, int count, int N, TPlayMode mode) {
    std::vector<int> shown;
    for (int p = from; p < from + count; ++p) shown.push_back(PlaybackPicture(p, N, mode));
    return shown;
}

}  // namespace

TEST(Playback, OnceStopsLoopStartsAgainBackAndForthTurns) {
    EXPECT_EQ(Shown(1, 7, 4, TPlayMode::Once), (std::vector<int>{1, 2, 3, 4, 4, 4, 4}));
    EXPECT_EQ(Shown(1, 9, 4, TPlayMode::Loop), (std::vector<int>{1, 2, 3, 4, 1, 2, 3, 4, 1}));
    EXPECT_EQ(Shown(1, 10, 4, TPlayMode::BackAndForth),
              (std::vector<int>{1, 2, 3, 4, 3, 2, 1, 2, 3, 4}));
    // Started in the middle, two pictures and one picture.
    EXPECT_EQ(Shown(3, 5, 4, TPlayMode::Loop), (std::vector<int>{3, 4, 1, 2, 3}));
    EXPECT_EQ(Shown(1, 5, 2, TPlayMode::BackAndForth), (std::vector<int>{1, 2, 1, 2, 1}));
    EXPECT_EQ(Shown(1, 3, 1, TPlayMode::BackAndForth), (std::vector<int>{1, 1, 1}));
    // Far on (a long run at a high rate) and before the start.
    EXPECT_EQ(PlaybackPicture(4'000'000'001LL, 25, TPlayMode::Loop), 1);
    EXPECT_EQ(PlaybackPicture(4'000'000'001LL, 25, TPlayMode::BackAndForth), 17);
    EXPECT_EQ(PlaybackPicture(0, 25, TPlayMode::Loop), 1);
}
