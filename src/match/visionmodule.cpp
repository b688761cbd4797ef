// The entry of the vision module, the one symbol it exports.
#include "match/facefinder.h"
#include "match/match.h"
#include "vision/vision.h"

namespace {

constexpr vision::TVisionModule kModule{vision::kVisionModuleVersion, match::Search,
                                        match::StatusText, match::FindFace};

}  // namespace

extern "C" __attribute__((visibility("default"))) const vision::TVisionModule*
vellora_vision_module() {
    return &kModule;
}
