#include "saver/host/SceneFolder.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

bool holdsAll(const fs::path& folder, const std::vector<const char*>& files) {
    std::error_code ignored;
    for (const char* name : files) {
        if (!fs::is_regular_file(folder / name, ignored)) return false;
    }
    return true;
}

fs::path programFolder() {
    std::error_code ignored;
    return fs::read_symlink("/proc/self/exe", ignored).parent_path();
}

}  // namespace

std::string findSceneFolder(const std::string& requested, const std::vector<const char*>& files,
                            const std::string& folder, std::string& error) {
    std::error_code ignored;
    if (!requested.empty()) {
        if (fs::is_directory(requested, ignored)) return requested;
        error = "no such folder: " + requested;
        return {};
    }
    if (holdsAll(fs::current_path(ignored), files)) return fs::current_path(ignored).string();
    fs::path here = programFolder();
    // Built: scenes/ beside the program. Installed: share/ beside bin/, or two levels up from
    // libexec/xscreensaver/, where XScreenSaver looks for its hacks.
    fs::path installed = fs::path("share") / "lumivale" / "scenes" / folder;
    for (const fs::path& candidate :
         {here / "scenes" / folder, here / ".." / installed, here / ".." / ".." / installed}) {
        if (holdsAll(candidate, files)) return candidate.lexically_normal().string();
    }
    error = "no scene files here, and no demo scenes beside the program (use --scene-dir)";
    return {};
}

bool enterFolder(const std::string& path, std::string& error) {
    if (::chdir(path.c_str()) == 0) return true;
    error = path + ": " + std::strerror(errno);
    return false;
}
