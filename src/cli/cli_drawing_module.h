#pragma once

// Inside the drawing module: what both of its builds share.

#include "cli_drawing.h"

#if defined(_WIN32)
#define LORVEX_DRAWING_EXPORT extern "C" __declspec(dllexport)
#else
#define LORVEX_DRAWING_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace lorvex::cli {

// Workbooks need no report engine; any failure is the error's text.
bool WriteXlsxGuarded(const std::vector<SectionRow>& rows, const std::filesystem::path& out,
                      std::string& error);

// Runs write, turning what it throws into a stop message: the caller is
// on the other side of the module's edge.
template <typename Write>
bool Guarded(MessageSink& sink, Write write) {
    try {
        return write();
    } catch (const std::exception& e) {
        sink.Show(UserMessage{std::string("unexpected error: ") + e.what(), MessageIcon::Stop});
    } catch (...) {
        sink.Show(UserMessage{"unexpected error", MessageIcon::Stop});
    }
    return false;
}

}  // namespace lorvex::cli
