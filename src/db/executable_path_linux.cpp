// Linux: the kernel names the running program's file in /proc/self/exe.

#include <system_error>

#include "db/resources_dir.h"

namespace lorvex::db {

std::filesystem::path ExecutablePath() {
    std::error_code error;
    std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : path;
}

}  // namespace lorvex::db
