// Windows: the module file name of the process's own executable.

#include <windows.h>

#include <string>

#include "db/resources_dir.h"

namespace lorvex::db {

std::filesystem::path ExecutablePath() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return std::filesystem::path(buffer);
        }
        buffer.resize(buffer.size() * 2);  // truncated: a long path
    }
}

}  // namespace lorvex::db
