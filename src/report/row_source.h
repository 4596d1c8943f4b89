#pragma once

// Where the report engine gets the rows of its table: the data source named
// by the table's log-on. The engine reads the rows itself when a report is
// first shown or written; tests hand it rows from memory.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lorvex::report {

struct TableLogon {
    std::string server;  // the ODBC data source name
    std::string database;
    std::string user;
    std::string password;
};

// A table as text: column names, and the rows in key order (NULL as nullopt).
struct TableData {
    std::vector<std::string> columns;
    std::vector<std::vector<std::optional<std::string>>> rows;
};

// A table being read a batch at a time: the columns and the number of rows
// are known once it is open, the rows come as they are asked for.
class RowCursor {
  public:
    virtual ~RowCursor() = default;
    virtual std::vector<std::string> Columns() const = 0;
    // The rows the table held when it was opened.
    virtual std::size_t Count() const = 0;
    // Appends up to maxRows rows to rows; false once the last row has been
    // read. Throws std::exception as ReadTable does.
    virtual bool Fetch(std::vector<std::vector<std::optional<std::string>>>& rows,
                       std::size_t maxRows) = 0;
};

class RowSource {
  public:
    virtual ~RowSource() = default;
    // Throws std::exception carrying the database's own text when the table
    // cannot be read.
    virtual TableData ReadTable(const TableLogon& logon, const std::string& table) = 0;
    // The same table, opened to be read a batch at a time. Unless a source
    // can do better, the whole table is read here and handed out in turn.
    virtual std::unique_ptr<RowCursor> OpenTable(const TableLogon& logon, const std::string& table);
};

// Reads through the project's ODBC layer, rows in Record_ID order.
std::shared_ptr<RowSource> MakeOdbcRowSource();

}  // namespace lorvex::report
