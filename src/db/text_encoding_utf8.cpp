// The SQLite driver stores and returns UTF-8: texts pass unchanged.

#include "db/text_encoding.h"

namespace lorvex::db {

std::string ToDriverText(std::string_view utf8) { return std::string(utf8); }

std::string FromDriverText(std::string_view driverText) { return std::string(driverText); }

}  // namespace lorvex::db
