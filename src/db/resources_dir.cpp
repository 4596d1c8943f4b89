#include "db/resources_dir.h"

#include <cstdlib>
#include <system_error>

// The install layout comes from cmake/Install.cmake: the path from the
// programs' folder to the resources folder, e.g. "../share/lorvex/resources".
#ifndef LORVEX_BIN_TO_RESOURCES
#error "LORVEX_BIN_TO_RESOURCES must name the resources folder relative to the programs' folder"
#endif

namespace lorvex::db {

namespace fs = std::filesystem;

namespace {

bool IsFolder(const fs::path& path) {
    std::error_code ignored;
    return !path.empty() && fs::is_directory(path, ignored);
}

fs::path BuildTreeResources() {
#ifdef LORVEX_BUILD_TREE_RESOURCES
    return LORVEX_BUILD_TREE_RESOURCES;
#else
    return {};
#endif
}

}  // namespace

fs::path InstalledResourcesDir(const fs::path& executable) {
    return (executable.parent_path() / LORVEX_BIN_TO_RESOURCES).lexically_normal();
}

fs::path FindResourcesDir(const char* overrideDir, const fs::path& executable,
                          const fs::path& buildTreeDir) {
    if (overrideDir != nullptr && *overrideDir != '\0') return overrideDir;
    const fs::path installed = executable.empty() ? fs::path() : InstalledResourcesDir(executable);
    if (IsFolder(installed)) return installed;
    if (IsFolder(buildTreeDir)) return buildTreeDir;
    return installed.empty() ? buildTreeDir : installed;
}

fs::path ResourcesDir() {
    return FindResourcesDir(std::getenv("LORVEX_RESOURCES"), ExecutablePath(),
                            BuildTreeResources());
}

}  // namespace lorvex::db
