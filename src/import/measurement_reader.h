#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "base/byte_source.h"
#include "base/messages.h"
#include "import/line_store.h"

namespace lorvex {

// The largest measurement file the reader takes: the store holds 100 lines
// anyway, and a limit keeps a device or a growing file from filling memory.
inline constexpr std::uint64_t kMaxMeasurementFileBytes = std::uint64_t{1} << 30;  // 1 GiB

struct ImportResult {
    // false: the file could not be opened or was refused (message says why
    // when it was refused); the store is untouched.
    bool opened = true;
    // A read error, the 100-line limit, or a file with text but no line.
    std::optional<UserMessage> message;
    // Non-empty text lines the reader did not use (neither a record nor a
    // line start), up to where it stopped.
    std::size_t ignored = 0;
};

// The reader's choices where the file leaves them open:
// - records ahead of the first line-start record form a first line with an
//   empty name;
// - a file that needs more than 100 lines (the "(L)" halves counted) is read
//   up to there; a dual-run line with no slot left for its "(L)" half stays
//   whole under its own name; the lines kept are regrouped, and the message
//   IDS_TOO_MANY_LINES comes back;
// - a record whose method code starts no earlier line stays where it is;
// - a file larger than kMaxMeasurementFileBytes, or one that looks like
//   UTF-16 without its byte-order mark, is refused (opened false, with a
//   message) and the store is untouched;
// - a file with non-empty text lines but no line gives IDS_NO_MEASUREMENT_DATA;
// - on a read error the complete lines before it are kept, the line being
//   read is not closed, nothing is regrouped, and IDS_READ_ERROR comes back
//   with the stop icon.
//
// Rebuilds the store from a measurement file's bytes: lines opened by "@"
// records, seven-field measurement records, dual-run lines split into "(R)"
// and "(L)", records regrouped by method code. displayPath names the file in
// the read-error message.
ImportResult ReadMeasurementFile(ByteSource& source, std::string_view displayPath,
                                 LineStore& store);

// The same from memory.
ImportResult ReadMeasurementBytes(std::string_view bytes, LineStore& store);

// Opens the file; if it cannot be opened nothing changes and opened is false.
// Anything but a regular file (a directory, a device, a FIFO) is refused
// with a message, as is a file over the size limit, before any byte is read.
ImportResult ImportMeasurementFile(const std::filesystem::path& path, LineStore& store);

}  // namespace lorvex
