#pragma once

// GBK (code page 936) to UTF-8 through the platform's converter: iconv on
// POSIX systems, MultiByteToWideChar on Windows. The file is chosen at
// configure time; text_decode.cpp decides what is GBK and calls this only for
// the stretches of double-byte characters.

#include <string>
#include <string_view>

namespace lorvex {

inline constexpr std::string_view kUtf8Replacement = "\xEF\xBF\xBD";  // U+FFFD

class GbkConverter {
  public:
    GbkConverter();
    ~GbkConverter();
    GbkConverter(const GbkConverter&) = delete;
    GbkConverter& operator=(const GbkConverter&) = delete;

    // False when the system has no converter for code page 936.
    bool Available() const;

    // Appends the UTF-8 form of a stretch of GBK characters to out. A byte
    // that starts no valid character becomes U+FFFD and decoding goes on with
    // the next byte, so an invalid lead byte cannot swallow the "@" or space
    // after it. Returns false when a byte had to be replaced. Needs
    // Available().
    bool Append(std::string_view bytes, std::string& out);

  private:
    void* m_handle;  // the platform's converter state, if it keeps one
};

}  // namespace lorvex
