#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lorvex {

class MappedFile;

// The measurement file's bytes to UTF-8, once, at the reader's edge. A file
// that starts with a UTF-16 byte-order mark (what Windows Notepad saves as
// "Unicode") is decoded as UTF-16 little- or big-endian, unpaired surrogates
// and an odd last byte becoming U+FFFD. A file
// that is valid UTF-8 (a byte-order mark is dropped) is taken as UTF-8; any
// other is decoded as GBK / code page 936 (0x80 is the euro sign). Bytes
// valid in neither become U+FFFD; nothing else is lost. Pure ASCII is
// returned as it is.
std::string DecodeMeasurementText(std::string bytes);
// The same from bytes the caller keeps (a mapped file): the result is the
// only copy made.
std::string DecodeMeasurementText(std::string_view bytes);
// The same from a mapped file, whose pages are given back behind each pass
// so that the file and its text are never both resident whole; nothing
// when the file looks like UTF-16 without its byte-order mark (below).
std::optional<std::string> DecodeMeasurementText(MappedFile& file);

// Whether bytes look like UTF-16 that lost its byte-order mark: no mark of
// either byte order, and more than half of the two-byte units hold a zero
// byte. Text in any code page the reader knows holds no zero bytes at all,
// so such a file would read as nothing but unrecognised lines.
bool LooksLikeUtf16WithoutBom(std::string_view bytes);

}  // namespace lorvex
