#pragma once

// The ODBC data-source file (odbc.ini) as text. Registration edits one
// section and must keep every other byte of the file: the file belongs to
// the user and to every other program with a data source in it.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lorvex::db {

struct IniKey {
    std::string name;
    std::string value;
};

// True when ini holds exactly one section [section] and its keys are exactly
// keys: names compared without regard to case or order, values after
// trimming blanks. Section names compare without regard to case, as the
// driver manager looks them up.
bool HasIniSection(std::string_view ini, std::string_view section, const std::vector<IniKey>& keys);

// ini with [section] holding exactly keys: the first such section is
// replaced where it stands and any further one removed, or the section is
// appended. Every byte outside those sections stays as it was.
std::string WithIniSection(std::string_view ini, std::string_view section,
                           const std::vector<IniKey>& keys);

// The connection attributes of a server data source as install-data takes
// them ("Driver=PostgreSQL Unicode;Servername=db;Port=5432;Database=levelling;
// Username=crew") as keys, in order, blanks around names and values
// trimmed. nullopt with the reason in *error when the text is not such a
// list, names no Driver, or carries a password (Password, PWD): a password
// is never written into a file.
std::optional<std::vector<IniKey>> ParseConnectionAttributes(std::string_view attributes,
                                                             std::string* error);

}  // namespace lorvex::db
