#include "match_command.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <optional>
#include <string_view>

#include "core/printable.h"
#include "core/projectfile.h"
#include "core/replacefile.h"
#include "interruption.h"
#include "raster/dib.h"
#include "vision/vision.h"

namespace matchcommand {

const char* const kUsage =
    "\n"
    "Matching:\n"
    "  vellora-render PROJECT.mor --match K -o NEW.mor\n"
    "                             writes a copy of the project with pair K's picture-2 area\n"
    "                             moved to where picture 1's area is found in picture 2\n"
    "                             (K from 1; 'all' for every pair). A pair whose area is\n"
    "                             not convincingly found stays as it was; each pair's\n"
    "                             result is printed.\n"
    "  vellora-render PROJECT.mor --find-pairs -o NEW.mor\n"
    "                             writes a copy of the project with area pairs added for the\n"
    "                             faces found in both pictures (face, eyes, nose, mouth; a\n"
    "                             cat's face and eyes); pairs already there are kept. What\n"
    "                             was found is printed.\n";

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct TFailure {
    int code;
    std::string message;
};

struct TOptions {
    std::string project;
    std::string output;
    std::string pair;  // "all" or a number from 1; empty for Find pairs
    bool findPairs = false;
};

std::string Shown(std::string_view text) {
    return core::PrintableText(text);
}

// The pairs to match, 0-based, or a usage failure.
std::optional<TFailure> Selected(const std::string& pair, std::size_t count,
                                 std::vector<std::size_t>& out) {
    if (pair == "all") {
        for (std::size_t i = 0; i < count; ++i) out.push_back(i);
        return std::nullopt;
    }
    char* end = nullptr;
    errno = 0;
    const long long k = std::strtoll(pair.c_str(), &end, 10);
    const bool number = !pair.empty() && errno == 0 && end == pair.c_str() + pair.size();
    if (!number || k < 1 || static_cast<unsigned long long>(k) > count)
        return TFailure{kExitUsage, "--match must be 'all' or a pair from 1 to " +
                                        std::to_string(count) + ", not '" + Shown(pair) + "'"};
    out.push_back(static_cast<std::size_t>(k - 1));
    return std::nullopt;
}

std::optional<TFailure> Load(const std::string& project, const std::string& stored, int number,
                             raster::DibRecord& dib) {
    if (stored.empty()) {
        // What a slot holds without a picture file: white, 320 x 200.
        dib = raster::newdib(320, 200, 24);
        std::fill(dib.Bits().begin(), dib.Bits().end(), std::uint8_t{255});
        return std::nullopt;
    }
    dib = raster::OpenDib(core::ResolveStoredName(project, stored));
    if (dib.HasPixels()) return std::nullopt;
    return TFailure{kExitFailure, "picture " + std::to_string(number) + " (" + Shown(stored) +
                                      ") cannot be loaded: " + Shown(dib.ErrorText())};
}

// A stored name as the copy must store it: the copy may be in another folder.
std::string Restored(const std::string& project, const std::string& output,
                     const std::string& stored) {
    if (stored.empty()) return stored;
    return core::StoredNameFor(output, core::ResolveStoredName(project, stored));
}

std::optional<TFailure> Execute(const TOptions& options) {
    const core::TProjectReadResult read = core::ReadProjectFile(options.project);
    if (read.status != core::TProjectStatus::Ok)
        return TFailure{kExitFailure, "cannot use project " + Shown(options.project) + ": " +
                                          core::DescribeProjectStatus(read)};
    core::TProjectData data = read.data;
    std::vector<std::size_t> pairs;
    if (!options.findPairs)
        if (auto f = Selected(options.pair, data.areas.size(), pairs)) return f;

    auto interrupted = [] {
        return TFailure{interruption::ExitCode(), interruption::Message("nothing was written")};
    };
    const vision::TLoaded& matcher = vision::Load();
    if (!matcher.module) return TFailure{kExitFailure, matcher.message + "; nothing was written"};
    raster::DibRecord pic1;
    raster::DibRecord pic2;
    if (auto f = Load(options.project, data.pic1Name, 1, pic1)) return f;
    if (interruption::Requested()) return interrupted();
    if (auto f = Load(options.project, data.pic2Name, 2, pic2)) return f;
    interruption::Hold("match");

    if (options.findPairs) {
        vision::TFaceFound found[2];
        for (int side = 0; side < 2; ++side) {
            std::string error;
            found[side] =
                matcher.module->findFace(side == 0 ? pic1 : pic2, vision::kCascadeFolder, error);
            if (!error.empty())
                return TFailure{kExitFailure, error + "; install the package " +
                                                  vision::kCascadePackage +
                                                  "; nothing was written"};
            if (interruption::Requested()) return interrupted();
        }
        const std::vector<vision::TNewPair> added = vision::NewPairs(
            vision::PlaceFeatures(found[0]), vision::PlaceFeatures(found[1]), data.areas);
        for (const vision::TNewPair& pair : added) data.areas.push_back(pair.area);
        std::printf("%s\n", vision::FindPairsText(found[0], found[1], added).c_str());
    }

    for (const std::size_t i : pairs) {
        // Searching one pair may take seconds on large pictures.
        if (interruption::Requested()) return interrupted();
        TAreaPair& a = data.areas[i];
        const match::TResult r =
            matcher.module->search(pic1, {a.Left1, a.Top1, a.Right1, a.Bottom1}, pic2,
                                   match::TRect{a.Left2, a.Top2, a.Right2, a.Bottom2});
        if (r.status == match::TStatus::Matched) {
            a.Left2 = r.best.rect.left;
            a.Top2 = r.best.rect.top;
            a.Right2 = r.best.rect.right;
            a.Bottom2 = r.best.rect.bottom;
        }
        std::printf("pair %zu: %s%s\n", i + 1, matcher.module->statusText(r).c_str(),
                    r.status == match::TStatus::Matched ? "" : "; left as it was");
    }

    data.pic1Name = Restored(options.project, options.output, data.pic1Name);
    data.pic2Name = Restored(options.project, options.output, data.pic2Name);
    std::vector<std::uint8_t> bytes;
    if (!core::WriteProject(data, bytes))
        return TFailure{kExitFailure, "cannot write " + Shown(options.output) +
                                          ": a picture name is longer than 255 bytes"};
    const core::TSaveResult saved = core::ReplaceFile(options.output, bytes, &interruption::Flag());
    if (!saved.ok)
        return TFailure{kExitFailure, "cannot write " + Shown(options.output) + ": " + saved.error};
    return std::nullopt;
}

int RunCommand(const TOptions& options) {
    std::optional<TFailure> failure;
    {
        try {
            failure = Execute(options);
        } catch (const std::bad_alloc&) {
            failure = TFailure{kExitFailure, "not enough memory; nothing was written"};
        }
        // A write the signal stopped.
        if (failure && failure->code != kExitUsage && interruption::Requested())
            failure =
                TFailure{interruption::ExitCode(), interruption::Message("nothing was written")};
    }
    if (!failure) return kExitOk;
    std::fflush(stdout);
    std::fprintf(stderr, "vellora-render: %s\n", failure->message.c_str());
    return failure->code;
}

}  // namespace

int Run(const std::string& project, const std::string& output, const std::string& pair) {
    return RunCommand(TOptions{project, output, pair, false});
}

int RunFindPairs(const std::string& project, const std::string& output) {
    return RunCommand(TOptions{project, output, {}, true});
}

}  // namespace matchcommand
