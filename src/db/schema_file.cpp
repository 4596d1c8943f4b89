#include "db/schema_file.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace lorvex::db {

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw std::runtime_error("cannot read " + path.string());
    return bytes;
}

std::vector<std::string> SchemaStatements(const std::string& schema) {
    // Comments go first: a "--" comment may hold a ';'.
    std::string code;
    std::istringstream lines(schema);
    for (std::string line; std::getline(lines, line);) {
        const auto comment = line.find("--");
        if (comment != std::string::npos) line.erase(comment);
        code += line;
        code += '\n';
    }
    std::vector<std::string> statements;
    std::size_t start = 0;
    while (start < code.size()) {
        std::size_t end = code.find(';', start);
        if (end == std::string::npos) end = code.size();
        std::string statement = code.substr(start, end - start);
        if (statement.find_first_not_of(" \t\r\n") != std::string::npos) {
            statements.push_back(std::move(statement));
        }
        start = end + 1;
    }
    return statements;
}

}  // namespace lorvex::db
