// What the program and the vision module agree on. The module carries the
// work that needs OpenCV ("Match object", the face detector of "Find
// pairs"); the window and vellora-render load
// it through Load() the first time they need it, so that neither links
// OpenCV nor loads it at start-up. Header-only contract plus the loader.
#pragma once

#include <optional>
#include <string>

#include "match/match.h"
#include "raster/dib.h"
#include "vision/facepairs.h"

namespace vision {

// The table the module exports under kVisionModuleEntry. Both sides are built
// from this header in one build; the version guards against a stale module.
struct TVisionModule {
    int version;
    // match::Search and match::StatusText (match/match.h).
    match::TResult (*search)(const raster::DibRecord& model, match::TRect half,
                             const raster::DibRecord& other, std::optional<match::TRect> present);
    std::string (*statusText)(const match::TResult& result);
    // The largest face in the picture with the eyes and smile inside it,
    // found with the cascade files in `folder`; when one of them cannot be
    // read, Kind::None and `error` names it. The cascades are read once.
    TFaceFound (*findFace)(const raster::DibRecord& picture, const std::string& folder,
                           std::string& error);
};
inline constexpr int kVisionModuleVersion = 5;
inline constexpr const char* kVisionModuleEntry = "vellora_vision_module";

struct TLoaded {
    const TVisionModule* module = nullptr;
    // When the module cannot be used: a sentence for the status line or
    // stderr, with the system's reason and the package to install.
    std::string message;
};

// Where Debian's opencv-data puts the cascades.
inline constexpr const char* kCascadeFolder = "/usr/share/opencv4/haarcascades";
inline constexpr const char* kCascadePackage = "opencv-data";

// Loads the module once per process; later calls return the same result.
const TLoaded& Load();

// The message for a module that failed with the system's reason `why`: names
// the OpenCV package whose library the reason mentions (libopencv-imgproc406
// when it names none).
std::string MissingMessage(const std::string& why);

}  // namespace vision
