#pragma once

// Reads a whole table back as text, for the report engine and for dumps.

#include <optional>
#include <string>
#include <vector>

namespace lorvex::db {

struct TableRows {
    std::vector<std::string> columns;
    std::vector<std::vector<std::optional<std::string>>> rows;  // nullopt for NULL
};

// All columns of table, rows in Record_ID order, through the data source
// dataSourceName. Texts come as stored; reals as the shortest text that reads
// back to the same double; integers in decimal. table must be a plain name
// (letters, digits, '_'). Throws DbError.
TableRows ReadTable(const std::string& dataSourceName, const std::string& table);

}  // namespace lorvex::db
