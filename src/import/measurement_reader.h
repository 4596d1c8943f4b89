#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "import/line_store.h"
#include "levelling/strings.h"

namespace lorvex {

// Where the reader gets its bytes: Read fills up to size bytes and returns
// how many (0 at the end), or nullopt on a read error.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::optional<std::size_t> Read(char* buffer, std::size_t size) = 0;
};

struct ImportResult {
    bool opened = true;                  // false: the file could not be opened; store untouched
    std::optional<UserMessage> message;  // read error, or the 100-line limit
};

// Rebuilds the store from a measurement file's bytes: lines opened by "@"
// records, seven-field measurement records, dual-run lines split into "(R)"
// and "(L)", records regrouped by method code. displayPath names the file in
// the read-error message.
ImportResult ReadMeasurementFile(ByteSource& source, std::string_view displayPath, LineStore& store);

// The same from memory.
ImportResult ReadMeasurementBytes(std::string_view bytes, LineStore& store);

// Opens the file; if it cannot be opened nothing changes and opened is false.
ImportResult ImportMeasurementFile(const std::filesystem::path& path, LineStore& store);

}  // namespace lorvex
