// The live result of the "Similar areas" page: the morph picture for the
// areas as they are this moment, rendered on a worker thread of its own so
// that the user-interface thread never waits for it.
//
// Requests coalesce: a request replaces any that has not been started, so
// while the user drags faster than pictures can be rendered, the renderer
// goes from the picture it is working on straight to the newest state and
// skips the ones in between instead of queueing them.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "core/areapair.h"
#include "raster/dib.h"

namespace core {

// The live result is picture n of kLivePictures, n chosen by a position in
// percent: n = max(1, percent), so 0 % and 1 % both show picture 1 and 100 %
// shows picture 2 as the last picture of the sequence does.
inline constexpr std::int64_t kLivePictures = 100;
std::int64_t LivePictureNumber(int percent);

// A picture the renderer can read while the window goes on: the pixels are
// copied once, when a picture is loaded, and shared by every request.
using TSharedPicture = std::shared_ptr<const raster::DibRecord>;
TSharedPicture SharePicture(const raster::DibRecord& picture);

struct TLiveScene {
    TSharedPicture pic1;
    TSharedPicture pic2;
    std::vector<TAreaPair> areas;
    std::int64_t n = 50;
    std::int64_t N = kLivePictures;
    std::uint32_t background = 0;  // red in the lowest byte
};

class TLiveRenderer {
public:
    // `ready` runs on the worker thread after every finished picture; it
    // should do no more than tell the user-interface thread to Take() it.
    explicit TLiveRenderer(std::function<void()> ready);
    ~TLiveRenderer();
    TLiveRenderer(const TLiveRenderer&) = delete;
    TLiveRenderer& operator=(const TLiveRenderer&) = delete;

    // Renders this scene next, in place of any request not yet started.
    void Request(TLiveScene scene);
    // Swaps the newest finished picture into `shown` (whose memory the
    // renderer uses again) and returns the number of the request it shows,
    // counted from 1; 0, and `shown` untouched, when nothing new is done. A
    // result too large to hold, or without memory, has no pixels.
    std::uint64_t Take(raster::DibRecord& shown);
    // Waits until the newest request is rendered.
    void WaitIdle();

    struct TCounts {
        std::uint64_t requested = 0;
        std::uint64_t rendered = 0;
        // Requests replaced by a newer one before they were started.
        std::uint64_t skipped = 0;
    };
    TCounts Counts() const;

private:
    void Run();

    std::function<void()> ready_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::optional<TLiveScene> pending_;
    std::uint64_t pendingId_ = 0;
    bool busy_ = false;
    bool stop_ = false;
    // The finished picture waiting to be taken, and the request it shows.
    raster::DibRecord done_;
    std::uint64_t doneId_ = 0;
    bool doneNew_ = false;
    TCounts counts_;
    std::thread worker_;
};

}  // namespace core
