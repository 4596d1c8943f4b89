#include "db/schema_file.h"

#include <cctype>
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

namespace {

// The statement's words up to its first '(', names with their quotes
// ("x", [x], `x`) taken off.
std::vector<std::string> LeadingWords(const std::string& statement) {
    std::vector<std::string> words;
    std::string word;
    for (char c : statement) {
        if (c == '(' || std::isspace(static_cast<unsigned char>(c))) {
            if (!word.empty()) words.push_back(std::move(word));
            word.clear();
            if (c == '(') break;
            continue;
        }
        if (c == '"' || c == '[' || c == ']' || c == '`') continue;
        word += c;
    }
    if (!word.empty()) words.push_back(std::move(word));
    return words;
}

bool IsWord(const std::string& word, const char* keyword) {
    std::size_t i = 0;
    for (; keyword[i] != '\0'; ++i) {
        if (i == word.size() || std::toupper(static_cast<unsigned char>(word[i])) !=
                                    static_cast<unsigned char>(keyword[i]))
            return false;
    }
    return i == word.size();
}

}  // namespace

std::optional<SchemaObject> WhatStatementCreates(const std::string& statement) {
    const std::vector<std::string> words = LeadingWords(statement);
    const auto word = [&](std::size_t i, const char* keyword) {
        return i < words.size() && IsWord(words[i], keyword);
    };
    // The name after position at, past an IF NOT EXISTS.
    const auto nameAfter = [&](std::size_t at) -> std::optional<std::string> {
        if (word(at, "IF") && word(at + 1, "NOT") && word(at + 2, "EXISTS")) at += 3;
        if (at >= words.size()) return std::nullopt;
        return words[at];
    };
    if (!word(0, "CREATE")) return std::nullopt;
    if (word(1, "TABLE")) {
        if (auto table = nameAfter(2)) return SchemaObject{SchemaObject::Kind::Table, *table};
        return std::nullopt;
    }
    const std::size_t index = word(1, "UNIQUE") ? 2 : 1;
    if (!word(index, "INDEX")) return std::nullopt;
    // CREATE [UNIQUE] INDEX [IF NOT EXISTS] name ON table
    std::size_t on = index + 2;
    if (word(index + 1, "IF") && word(index + 2, "NOT") && word(index + 3, "EXISTS")) on += 3;
    if (!word(on, "ON") || on + 1 >= words.size()) return std::nullopt;
    return SchemaObject{SchemaObject::Kind::Index, words[on + 1]};
}

}  // namespace lorvex::db
