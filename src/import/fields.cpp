#include "import/fields.h"

namespace lorvex {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view TrimBlanks(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

namespace {

// What the splitter looks at: leading white space gone, then trailing CRs,
// then trailing LFs (in that order, so "a\r\n" keeps its CR).
std::string_view SplitterInput(std::string_view text) {
    std::size_t begin = 0;
    while (begin < text.size() && IsBlank(text[begin])) ++begin;
    text.remove_prefix(begin);
    while (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    while (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    return text;
}

// Calls emit(piece) for each field.
template <typename Emit>
void ForEachField(std::string_view text, std::string_view separator, Emit emit) {
    std::size_t sep = text.find(separator);
    if (sep == std::string_view::npos) return;  // no separator: no fields at all
    // The first piece is taken as it is (it cannot be empty after the
    // leading white space went, unless the separator is not white space).
    emit(text.substr(0, sep));
    std::size_t pos = sep + separator.size();
    while ((sep = text.find(separator, pos)) != std::string_view::npos) {
        if (sep > pos) emit(text.substr(pos, sep - pos));
        pos = sep + separator.size();
    }
    if (pos < text.size()) emit(text.substr(pos));
}

}  // namespace

void SplitFields(std::string_view text, std::vector<std::string_view>& fields,
                 std::string_view separator) {
    if (text.empty()) return;
    text = SplitterInput(text);
    fields.clear();
    if (separator.empty()) return;
    ForEachField(text, separator, [&fields](std::string_view piece) { fields.push_back(piece); });
}

}  // namespace lorvex
