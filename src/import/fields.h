#pragma once

#include <string_view>
#include <vector>

namespace lorvex {

// White space as the record trimming knows it: space, tab, CR, LF, VT, FF.
bool IsBlank(char c);
std::string_view TrimBlanks(std::string_view text);

// The program's one field splitter, as views into text. Leading white space
// goes, then trailing CRs, then trailing LFs. Runs of the separator give no
// empty fields, and a text without the separator gives no fields at all. An
// empty text leaves `fields` as it was, so callers skip blank texts first.
void SplitFields(std::string_view text, std::vector<std::string_view>& fields,
                 std::string_view separator = " ");

}  // namespace lorvex
