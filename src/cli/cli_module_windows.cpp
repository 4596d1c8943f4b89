// The drawing module through the Windows loader.

#include <windows.h>

#include "cli_drawing.h"

namespace lorvex::cli {

void* OpenModuleFunction(const std::filesystem::path& file, const char* name, std::string& error) {
    // With its own folder searched for its dependencies (Qt beside it); that
    // search takes a full path only.
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(file, ec);
    HMODULE module =
        LoadLibraryExW((ec ? file : full).c_str(), nullptr,
                       LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    if (module == nullptr) {
        error = file.string() + ": cannot be loaded (Windows error " +
                std::to_string(GetLastError()) + ")";
        return nullptr;
    }
    FARPROC function = GetProcAddress(module, name);
    if (function == nullptr) {
        error = file.string() + " has no " + name + " (a module of another version)";
        FreeLibrary(module);
        return nullptr;
    }
    return reinterpret_cast<void*>(function);
}

}  // namespace lorvex::cli
