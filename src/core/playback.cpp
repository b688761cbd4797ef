#include "core/playback.h"

#include <algorithm>

namespace core {

int PlaybackPicture(std::int64_t position, int N, TPlayMode mode) {
    if (N <= 1) return 1;
    position = std::max<std::int64_t>(position, 1);
    switch (mode) {
        case TPlayMode::Once:
            return static_cast<int>(std::min<std::int64_t>(position, N));
        case TPlayMode::Loop:
            return static_cast<int>((position - 1) % N + 1);
        case TPlayMode::BackAndForth: {
            const std::int64_t period = 2 * static_cast<std::int64_t>(N) - 2;
            const std::int64_t k = (position - 1) % period;
            return static_cast<int>(k < N ? k + 1 : period - k + 1);
        }
    }
    return 1;
}

}  // namespace core
