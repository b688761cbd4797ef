// What durability costs: replacing a 1920 x 1080 BMP (6 MB) through
// core::ReplaceFile (flush of the data and of the folder) against the same
// bytes written and renamed without any flush.
#include <fcntl.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "core/replacefile.h"

namespace {

const std::vector<std::uint8_t>& Picture() {
    static const std::vector<std::uint8_t> bytes(54 + 1920 * 3 * 1080, 0x5A);
    return bytes;
}

std::filesystem::path Target() {
    const auto dir = std::filesystem::temp_directory_path() / "vellora-replace-bench";
    std::filesystem::create_directories(dir);
    return dir / "picture.bmp";
}

void BM_ReplaceFileDurable(benchmark::State& state) {
    const auto target = Target();
    for (auto _ : state) {
        if (!core::ReplaceFile(target, Picture()).ok) state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_ReplaceFileDurable)->Unit(benchmark::kMillisecond);

void BM_WriteAndRenameWithoutFlush(benchmark::State& state) {
    const auto target = Target();
    const auto temp = target.string() + ".tmp";
    for (auto _ : state) {
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        const bool ok = fd >= 0 &&
                        ::write(fd, Picture().data(), Picture().size()) ==
                            static_cast<ssize_t>(Picture().size()) &&
                        ::close(fd) == 0 && std::rename(temp.c_str(), target.c_str()) == 0;
        if (!ok) state.SkipWithError("write failed");
    }
}
BENCHMARK(BM_WriteAndRenameWithoutFlush)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
