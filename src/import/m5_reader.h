#pragma once

#include <string_view>

#include "import/instrument_file.h"

namespace lorvex {

// The fixed columns of a Trimble DiNi M5 line, from the line's start:
//   "For M5|Adr " address(5) "|" type(4) information(27) "|" and three value
//   blocks, each type(2) value(14) " " unit(5) "|".
// The information block of a reading holds the point number (8), the code
// (3), the time (8) and the line number (5), each followed by one space but
// the last; a TO line holds free text there ("Start-Line BFFB", "End-Line",
// "Station repeated").
namespace m5 {
inline constexpr std::size_t kAddress = 11;
inline constexpr std::size_t kAddressWidth = 5;
inline constexpr std::size_t kType = 17;
inline constexpr std::size_t kTypeWidth = 4;
inline constexpr std::size_t kInfo = 21;
inline constexpr std::size_t kInfoWidth = 27;
inline constexpr std::size_t kPointWidth = 8;
inline constexpr std::size_t kCode = 9;
inline constexpr std::size_t kTime = 13;
inline constexpr std::size_t kTimeWidth = 8;
inline constexpr std::size_t kFirstBlock = 49;
inline constexpr std::size_t kBlockWidth = 22;  // without its closing bar
inline constexpr std::size_t kValueWidth = 14;
inline constexpr std::size_t kUnitWidth = 5;
inline constexpr std::size_t kBlocks = 3;
inline constexpr std::size_t kLineWidth = kFirstBlock + kBlocks * (kBlockWidth + 1);
}  // namespace m5

// Reads a DiNi M5 file.
InstrumentFile ReadM5(std::string_view text);

}  // namespace lorvex
