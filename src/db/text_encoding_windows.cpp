// Windows: the Access driver's ANSI entry points store and return text in the
// system's multibyte code page (CP_ACP; 936 on a Chinese system). Texts go
// through UTF-16, the one form both sides convert to without loss. A
// character the code page cannot hold reaches the driver as the code page's
// default character ('?'): the ANSI driver has no way to store it.

#include <windows.h>

#include <limits>
#include <stdexcept>

#include "db/text_encoding.h"

namespace lorvex::db {
namespace {

int CheckedLength(std::size_t size) {
    if (size > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        throw std::length_error("text too long for the driver");
    return static_cast<int>(size);
}

std::wstring ToWide(UINT codePage, std::string_view text) {
    if (text.empty()) return {};
    const int length = CheckedLength(text.size());
    const int wide = ::MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(wide), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), length, out.data(), wide);
    return out;
}

std::string FromWide(UINT codePage, const std::wstring& wide) {
    if (wide.empty()) return {};
    const int length = CheckedLength(wide.size());
    const int bytes =
        ::WideCharToMultiByte(codePage, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes), '\0');
    ::WideCharToMultiByte(codePage, 0, wide.data(), length, out.data(), bytes, nullptr, nullptr);
    return out;
}

}  // namespace

std::string ToDriverText(std::string_view utf8) { return FromWide(CP_ACP, ToWide(CP_UTF8, utf8)); }

std::string FromDriverText(std::string_view driverText) {
    return FromWide(CP_UTF8, ToWide(CP_ACP, driverText));
}

}  // namespace lorvex::db
