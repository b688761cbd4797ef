// The one loader for the program's modules: parts that bring large libraries
// (FFmpeg for videos, OpenCV for matching and finding faces) are built as
// modules and opened only when their first job comes, so that starting the
// window or vellora-render does not load those libraries.
//
// A module exports one function, named by its contract, that returns its
// table of entries; the table starts with the contract's version, so that a
// module left over from another build is refused instead of crashing.
#pragma once

#include <string>

namespace core {

struct TModuleLoad {
    const void* table = nullptr;  // the module's table; null when it failed
    // Why it failed, in the system's words ("libopencv_imgproc.so.406: cannot
    // open shared object file: No such file or directory"); empty when loaded.
    std::string error;
};

// Opens the module file at `path` and asks its `entry` for the table, which
// must start with an int equal to `version`. The module stays loaded for the
// life of the process.
TModuleLoad LoadModule(const std::string& path, const char* entry, int version);

// Where the module `fileName` (e.g. "vellora-video.so") is: beside the
// installed programs (bin/../lib/vellora) when it is there, otherwise where
// this build made it (`buildPath`, may be null), for the programs and tests
// run from the build tree.
std::string ModulePath(const char* fileName, const char* buildPath);

// LoadModule with the table's type: T must start with `int version`.
template <class T>
const T* LoadModuleTable(const std::string& path, const char* entry, int version,
                         std::string& error) {
    const TModuleLoad load = LoadModule(path, entry, version);
    error = load.error;
    return static_cast<const T*>(load.table);
}

}  // namespace core
