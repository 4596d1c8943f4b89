#pragma once

#include <cstddef>
#include <optional>

namespace lorvex {

// Where a reader gets its bytes: Read fills up to size bytes and returns how
// many (0 at the end), or nullopt on a read error. Tests feed readers from
// memory through it; the program from a file.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    virtual std::optional<std::size_t> Read(char* buffer, std::size_t size) = 0;
    // The number of bytes expected, if known, so the reader can size its
    // buffer once instead of growing it.
    virtual std::optional<std::size_t> SizeHint() const { return std::nullopt; }
};

}  // namespace lorvex
