#pragma once

// Reads a whole table back as text, for the report engine and for dumps.

#include <cstddef>
#include <memory>
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

// The same rows read a batch at a time on one open statement, so that the
// first page of a long record book can be shown before the rest is read.
class TableCursor {
  public:
    // Opens the table as ReadTable does and counts its rows. Throws DbError.
    TableCursor(const std::string& dataSourceName, const std::string& table);
    ~TableCursor();
    TableCursor(const TableCursor&) = delete;
    TableCursor& operator=(const TableCursor&) = delete;

    const std::vector<std::string>& Columns() const;
    // The rows the table held when it was opened.
    std::size_t Count() const;
    // Appends up to maxRows rows; false once the last row has been read.
    // Throws DbError.
    bool Fetch(std::vector<std::vector<std::optional<std::string>>>& rows, std::size_t maxRows);

  private:
    struct Open;
    std::unique_ptr<Open> m_open;
};

}  // namespace lorvex::db
