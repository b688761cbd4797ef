#include "vision/vision.h"

#include <regex>

#include "core/module.h"

namespace vision {

std::string MissingMessage(const std::string& why) {
    // "libopencv_objdetect.so.406: cannot open ..." is in Debian's package
    // libopencv-objdetect406.
    std::string package = "libopencv-imgproc406";
    static const std::regex library(R"(libopencv_([a-z0-9]+)\.so\.([0-9]+))");
    std::smatch m;
    if (std::regex_search(why, m, library)) package = "libopencv-" + m[1].str() + m[2].str();
    return "the picture matcher cannot be loaded (" + why + "); install the package " + package;
}

const TLoaded& Load() {
    static const TLoaded loaded = [] {
#ifdef VELLORA_VISION_MODULE_BUILD
        const char* build = VELLORA_VISION_MODULE_BUILD;
#else
        const char* build = nullptr;
#endif
        TLoaded result;
        std::string why;
        result.module =
            core::LoadModuleTable<TVisionModule>(core::ModulePath("vellora-vision.so", build),
                                                 kVisionModuleEntry, kVisionModuleVersion, why);
        if (!result.module) result.message = MissingMessage(why);
        return result;
    }();
    return loaded;
}

}  // namespace vision
