#include "cli_drawing.h"

#include <cstdlib>
#include <map>
#include <mutex>

#include "db/resources_dir.h"

namespace lorvex::cli {

std::vector<std::filesystem::path> DrawingCandidates() {
    if (const char* given = std::getenv("LORVEX_CLI_DRAWING"); given != nullptr && *given != '\0') {
        return {std::filesystem::path(given)};
    }
    std::vector<std::filesystem::path> candidates;
    const std::filesystem::path program = db::ExecutablePath();
    if (!program.empty()) {
        const std::filesystem::path bin = program.parent_path();
        candidates.push_back(bin / LORVEX_DRAWING_FILE);
        candidates.push_back(
            (bin / LORVEX_BIN_TO_MODULES / LORVEX_DRAWING_FILE).lexically_normal());
    }
    return candidates;
}

Drawing* LoadDrawing(std::string& error) {
    // Loaded once per file: a process that draws several books, or tests
    // that run many commands in one process, start Qt once.
    static std::mutex mutex;
    static std::map<std::filesystem::path, Drawing*> loaded;
    const std::lock_guard lock(mutex);
    const std::vector<std::filesystem::path> candidates = DrawingCandidates();
    std::string reasons;
    for (const std::filesystem::path& file : candidates) {
        if (const auto found = loaded.find(file); found != loaded.end()) return found->second;
        std::string why;
        void* entry = OpenModuleFunction(file, kDrawingEntry, why);
        Drawing* drawing = entry != nullptr ? reinterpret_cast<DrawingEntry>(entry)() : nullptr;
        if (drawing != nullptr) {
            loaded.emplace(file, drawing);
            return drawing;
        }
        reasons += (reasons.empty() ? "" : "; ") + (why.empty() ? file.string() : why);
    }
    error = "cannot load the drawing module " LORVEX_DRAWING_FILE
            " (record books and workbooks are drawn by it): " +
            (reasons.empty() ? std::string("the program's folder is unknown") : reasons);
    return nullptr;
}

}  // namespace lorvex::cli
