#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "base/byte_source.h"
#include "base/messages.h"
#include "import/line_store.h"

namespace lorvex {

struct ImportResult {
    bool opened = true;                  // false: the file could not be opened; store untouched
    std::optional<UserMessage> message;  // read error, or the 100-line limit
};

// The reader's choices where the file leaves them open:
// - records ahead of the first line-start record form a first line with an
//   empty name;
// - a file that needs more than 100 lines (the "(L)" halves counted) is read
//   up to there; a dual-run line with no slot left for its "(L)" half stays
//   whole under its own name; the lines kept are regrouped, and the message
//   IDS_TOO_MANY_LINES comes back;
// - a record whose method code starts no earlier line stays where it is;
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
ImportResult ImportMeasurementFile(const std::filesystem::path& path, LineStore& store);

}  // namespace lorvex
