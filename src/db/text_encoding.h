#pragma once

// The one place where text crosses between the program (UTF-8) and the
// driver. A driver that stores UTF-8 needs no conversion; a driver working in
// the system's multibyte code page gets the conversion here. The conversion
// is chosen per platform at configure time.

#include <string>
#include <string_view>

namespace lorvex::db {

std::string ToDriverText(std::string_view utf8);
std::string FromDriverText(std::string_view driverText);

}  // namespace lorvex::db
