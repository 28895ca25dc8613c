// SPDX-License-Identifier: MIT
#include "gis_commands.h"

#include <string>

#ifdef SHEETFIND_GIS_MODULE
#include <dlfcn.h>

#include <array>
#include <filesystem>
#endif

namespace sheetfind::cli {
namespace {

const GisModule* g_module = nullptr;

#ifdef SHEETFIND_GIS_MODULE
// The folder of the running executable: the module is looked for relative to it, never
// on a search path that someone else's library could be found on first.
std::filesystem::path executableFolder() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : self.parent_path();
}
#endif

} // namespace

std::string_view leftOutOfThisBuild() {
    return "this sheetfind-cli was built without GDAL, so it reads and writes no GIS layers; "
           "text and CSV tables work as usual";
}

void useGisModule(const GisModule* module) {
    g_module = module;
}

const GisModule* gisModule(Session& session) {
    if (g_module != nullptr) {
        return g_module;
    }
#if defined(SHEETFIND_GIS_LINKED)
    static_cast<void>(session);
    g_module = sheetfind_cli_gis_module();
    return g_module;
#elif !defined(SHEETFIND_GIS_MODULE)
    session.diagnose(leftOutOfThisBuild());
    return nullptr;
#else
    const std::filesystem::path folder = executableFolder();
    std::string reasons;
    // Beside the executable in a build tree; in the library folder once installed.
    const std::array candidates{folder / SHEETFIND_GIS_MODULE,
                                folder / SHEETFIND_GIS_MODULE_DIR / SHEETFIND_GIS_MODULE};
    for (const std::filesystem::path& path : candidates) {
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* reason = ::dlerror();
            reasons += "\n  " + (reason != nullptr ? std::string(reason) : path.string());
            continue;
        }
        const auto entry = reinterpret_cast<decltype(&sheetfind_cli_gis_module)>(
            ::dlsym(handle, "sheetfind_cli_gis_module"));
        if (entry != nullptr) {
            // Kept loaded to the end of the process: GDAL keeps global state.
            g_module = entry();
            return g_module;
        }
        reasons += "\n  " + path.string() + " has no sheetfind_cli_gis_module";
    }
    session.diagnose("cannot load the GIS part of sheetfind-cli, which reads and writes "
                     "layers:" +
                     reasons);
    return nullptr;
#endif
}

} // namespace sheetfind::cli
