// The platform-independent part of the data source: the attribute list.

#include "db/data_source.h"

#include <algorithm>

namespace lorvex::db {

std::string BuildAttributeList(std::string_view dataFolder) {
    // The template "DSN=Qel; DBQ=%s\Qel.mdb;" with every ';' turned into the
    // NUL that ends an entry, and one more NUL ending the list.
    std::string list = "DSN=Qel; DBQ=";
    list += dataFolder;
    list += "\\Qel.mdb;";
    std::replace(list.begin(), list.end(), ';', '\0');
    list += '\0';
    return list;
}

}  // namespace lorvex::db
