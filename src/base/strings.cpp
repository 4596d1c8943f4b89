#include "base/strings.h"

#include <algorithm>
#include <iterator>

namespace lorvex {
namespace {

struct Entry {
    int id;
    const char* text;
};

constexpr Entry kStrings[] = {
#include "generated/string_table.inc"
};

}  // namespace

std::string LoadString(int id) {
    const auto it = std::find_if(std::begin(kStrings), std::end(kStrings),
                                 [id](const Entry& e) { return e.id == id; });
    return it == std::end(kStrings) ? std::string() : std::string(it->text);
}

std::string FormatMessage1(std::string_view pattern, std::string_view arg) {
    std::string out;
    out.reserve(pattern.size() + arg.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == '1') {
            out.append(arg);
            ++i;
        } else {
            out.push_back(pattern[i]);
        }
    }
    return out;
}

std::string FormatMessageArgs(std::string_view pattern,
                              std::initializer_list<std::string_view> args) {
    std::string out;
    out.reserve(pattern.size() + 32);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' &&
            pattern[i + 1] <= '9') {
            const auto n = static_cast<std::size_t>(pattern[i + 1] - '1');
            if (n < args.size()) {
                out.append(args.begin()[n]);
                ++i;
                continue;
            }
        }
        out.push_back(pattern[i]);
    }
    return out;
}

}  // namespace lorvex
