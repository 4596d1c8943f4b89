#pragma once

#include <string>

namespace lorvex {

// The measurement file's bytes to UTF-8, once, at the reader's edge. A file
// that is valid UTF-8 (a byte-order mark is dropped) is taken as UTF-8; any
// other is decoded as GBK / code page 936 (0x80 is the euro sign). Bytes
// valid in neither become U+FFFD; nothing else is lost. Pure ASCII is
// returned as it is.
std::string DecodeMeasurementText(std::string bytes);

}  // namespace lorvex
