#include "core/liverenderer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "core/renderer.h"

#if defined(__linux__)
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace core {

std::int64_t LivePictureNumber(int percent) {
    return std::clamp<std::int64_t>(percent, 1, kLivePictures);
}

TSharedPicture SharePicture(const raster::DibRecord& picture) {
    auto copy = std::make_shared<raster::DibRecord>();
    if (picture.HasPixels() &&
        copy->Allocate(picture.Width(), picture.Height(), picture.BitCount())) {
        std::memcpy(copy->Bits().data(), picture.Bits().data(), picture.Bits().size());
        copy->Palette() = picture.Palette();
    }
    return copy;
}

namespace {

// The worker yields to the user-interface thread: on a machine with two
// cores the mouse and the panes' repaints come first. Relative to the
// program's own priority, so a program started with nice keeps the order.
void LowerThisThreadsPriority() {
#if defined(__linux__)
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int now = getpriority(PRIO_PROCESS, tid);
    if (errno == 0) setpriority(PRIO_PROCESS, tid, std::min(now + 10, 19));
#endif
}

}  // namespace

TLiveRenderer::TLiveRenderer(std::function<void()> ready)
    : ready_(std::move(ready)), worker_([this] { Run(); }) {}

TLiveRenderer::~TLiveRenderer() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

void TLiveRenderer::Request(TLiveScene scene) {
    {
        std::lock_guard lock(mutex_);
        if (pending_) ++counts_.skipped;
        pending_ = std::move(scene);
        pendingId_ = ++counts_.requested;
    }
    wake_.notify_one();
}

std::uint64_t TLiveRenderer::Take(raster::DibRecord& shown) {
    std::lock_guard lock(mutex_);
    if (!doneNew_) return 0;
    doneNew_ = false;
    std::swap(shown, done_);
    return doneId_;
}

void TLiveRenderer::WaitIdle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return !pending_ && !busy_; });
}

TLiveRenderer::TCounts TLiveRenderer::Counts() const {
    std::lock_guard lock(mutex_);
    return counts_;
}

void TLiveRenderer::Run() {
    LowerThisThreadsPriority();
    // The picture being rendered; after each render it changes places with
    // the finished one, so that both memories are used again.
    raster::DibRecord work;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || pending_.has_value(); });
        if (stop_) return;
        TLiveScene scene = std::move(*pending_);
        const std::uint64_t id = pendingId_;
        pending_.reset();
        busy_ = true;
        lock.unlock();

        TMorphInput input;
        input.pic1 = scene.pic1.get();
        input.pic2 = scene.pic2.get();
        input.areas = scene.areas;
        input.n = scene.n;
        input.N = scene.N;
        input.background = scene.background;
        // One thread: the other core belongs to the user-interface thread.
        input.secondThread = false;
        try {
            if (MorphResultSize(input).Fits())
                RenderMorphInto(input, work);
            else
                work = raster::DibRecord();
        } catch (const std::bad_alloc&) {
            work = raster::DibRecord();
        }

        lock.lock();
        std::swap(work, done_);
        doneId_ = id;
        doneNew_ = true;
        ++counts_.rendered;
        lock.unlock();
        if (ready_) ready_();
        lock.lock();
        busy_ = false;
        if (!pending_) idle_.notify_all();
    }
}

}  // namespace core
