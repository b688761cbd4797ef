#include "core/module.h"

#include <dlfcn.h>

#include <filesystem>

namespace core {

TModuleLoad LoadModule(const std::string& path, const char* entry, int version) {
    TModuleLoad load;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        load.error = path + " is missing";
        return load;
    }
    // RTLD_LOCAL: the module's libraries stay out of the program's namespace.
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        load.error = why ? why : path + " cannot be loaded";
        return load;
    }
    using Entry = const void* (*)();
    auto function = reinterpret_cast<Entry>(::dlsym(handle, entry));
    if (!function) {
        load.error = path + " is not a module of this program (no " + entry + ")";
        ::dlclose(handle);
        return load;
    }
    const void* table = function();
    if (!table || *static_cast<const int*>(table) != version) {
        load.error = path + " is of another version";
        ::dlclose(handle);
        return load;
    }
    load.table = table;
    return load;
}

std::string ModulePath(const char* fileName, const char* buildPath) {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const std::filesystem::path installed =
            exe.parent_path() / ".." / "lib" / "vellora" / fileName;
        if (std::filesystem::exists(installed, ec) || !buildPath)
            return installed.lexically_normal();
    }
    return buildPath ? buildPath : fileName;
}

}  // namespace core
