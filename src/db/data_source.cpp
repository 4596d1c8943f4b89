// The platform-independent part of the data source: the attribute list.

#include "db/data_source.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

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

std::optional<std::string> ServerAttributes() {
    const std::filesystem::path file = GetDataFolder() / kServerFileName;
    std::error_code ec;
    if (!std::filesystem::exists(file, ec) && !ec) return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw std::runtime_error("cannot read " + file.string());
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

std::string ServerConnectString(const std::string& attributes) {
    // The same keys the data source holds, in a connect string.
    return attributes;
}

}  // namespace lorvex::db
