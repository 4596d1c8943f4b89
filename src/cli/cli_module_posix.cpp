// The drawing module through the dynamic loader.

#include <dlfcn.h>

#include "cli_drawing.h"

namespace lorvex::cli {

void* OpenModuleFunction(const std::filesystem::path& file, const char* name, std::string& error) {
    // RTLD_LOCAL: the module's own copies of the core stay its own and
    // never stand in for the program's.
    void* module = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* why = dlerror();
        error = why != nullptr ? why : file.string() + ": cannot be loaded";
        return nullptr;
    }
    void* function = dlsym(module, name);
    if (function == nullptr) {
        error = file.string() + " has no " + name + " (a module of another version)";
        dlclose(module);
    }
    return function;
}

}  // namespace lorvex::cli
