#include "core/process.h"

#include <csignal>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace core {

void PrepareProcess() {
    std::signal(SIGXFSZ, SIG_IGN);
#if defined(__GLIBC__)
    // Blocks up to 32 MB come from the heap, and up to 64 MB of free heap is
    // kept for the next picture.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
}

}  // namespace core
