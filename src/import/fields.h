#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lorvex {

// White space as the record trimming knows it: space, tab, CR, LF, VT, FF.
bool IsBlank(char c);
std::string_view TrimBlanks(std::string_view text);

// The program's one field splitter. Leading white space goes, then trailing
// CRs, then trailing LFs. Runs of the separator give no empty fields, and a
// text without the separator gives no fields at all. An empty text leaves
// `fields` as it was.
void SplitFields(std::string_view text, std::vector<std::string>& fields,
                 std::string_view separator = " ");

// The same fields, as views into text (no allocation beyond the vector).
// Unlike SplitFields, an empty text clears `fields` too, so no view into an
// earlier text survives.
void SplitFieldViews(std::string_view text, std::vector<std::string_view>& fields);

// Field `index` (from 0) as SplitFields would give it; empty when the text
// has fewer fields.
std::string_view FieldView(std::string_view text, std::size_t index);

// The number of fields SplitFields would give, counting no further than limit.
std::size_t CountFields(std::string_view text, std::size_t limit);

}  // namespace lorvex
