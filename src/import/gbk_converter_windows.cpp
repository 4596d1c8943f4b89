#include <windows.h>

#include "import/gbk_converter.h"

namespace lorvex {
namespace {

constexpr UINT kGbkCodePage = 936;

// Appends the UTF-8 form of bytes when every byte of it is part of a valid
// character; otherwise appends nothing and returns false.
bool AppendIfValid(std::string_view bytes, std::string& out) {
    // Stretches are cut at the first ASCII byte that is not a trail byte,
    // so they stay far below INT_MAX bytes in any real file; a larger one is
    // taken character by character.
    if (bytes.empty()) return true;
    if (bytes.size() > 0x10000000) return false;
    const int length = static_cast<int>(bytes.size());
    const int wideLength =
        ::MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
    if (wideLength <= 0) return false;
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    ::MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, bytes.data(), length, wide.data(),
                          wideLength);
    const int utf8Length =
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    const std::size_t used = out.size();
    out.resize(used + static_cast<std::size_t>(utf8Length));
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, out.data() + used, utf8Length,
                          nullptr, nullptr);
    return true;
}

}  // namespace

GbkConverter::GbkConverter() : m_handle(nullptr) {}

GbkConverter::~GbkConverter() = default;

bool GbkConverter::Available() const { return ::IsValidCodePage(kGbkCodePage) != 0; }

bool GbkConverter::Append(std::string_view bytes, std::string& out) {
    if (AppendIfValid(bytes, out)) return true;
    // Character by character, as the iconv converter does it: an invalid
    // character gives U+FFFD for its first byte and decoding resumes right
    // after that byte.
    bool clean = true;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            out.push_back(static_cast<char>(lead));
            ++i;
            continue;
        }
        // 0x80 (the euro sign) and 0xFF stand alone; any other lead byte
        // takes the next byte with it.
        const std::size_t length = (lead == 0x80 || lead == 0xFF) ? 1 : 2;
        if (i + length <= bytes.size() && AppendIfValid(bytes.substr(i, length), out)) {
            i += length;
            continue;
        }
        out.append(kUtf8Replacement);
        clean = false;
        ++i;
    }
    return clean;
}

}  // namespace lorvex
