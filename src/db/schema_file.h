#pragma once

// Schema files under the resources: read whole, cut into the statements a
// driver runs one at a time.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace lorvex::db {

// The file's bytes. Throws std::runtime_error naming the file when it cannot
// be read.
std::string ReadFile(const std::filesystem::path& path);

// The statements of a schema file: "--" comments dropped, split at ';',
// blank statements left out.
std::vector<std::string> SchemaStatements(const std::string& schema);

// What a CREATE TABLE or CREATE [UNIQUE] INDEX ... ON statement creates, for
// databases whose SQL has no IF NOT EXISTS: the table it creates or indexes,
// unquoted. nullopt for any other statement.
struct SchemaObject {
    enum class Kind { Table, Index };
    Kind kind;
    std::string table;
};
std::optional<SchemaObject> WhatStatementCreates(const std::string& statement);

}  // namespace lorvex::db
