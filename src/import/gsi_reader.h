#pragma once

#include <string_view>

#include "import/instrument_file.h"

namespace lorvex {

// Reads a Leica GSI-8 or GSI-16 levelling file (text already decoded). Each
// line of the file is one block of words; a word is a word index, four
// information characters (the last one the units digit), a sign and 8 or 16
// data characters. Word 41 opens a line, 11 names the point and carries the
// running address, 32 is the distance, 331/332/335/336 the readings B1, F1,
// B2, F2, 333 an intermediate sight, 571-574 and 83 the instrument's results.
InstrumentFile ReadGsi(std::string_view text, InstrumentFormat format);

}  // namespace lorvex
