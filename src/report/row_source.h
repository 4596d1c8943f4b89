#pragma once

// Where the report engine gets the rows of its table: the data source named
// by the table's log-on. The engine reads the rows itself when a report is
// first shown or written; tests hand it rows from memory.

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

class RowSource {
  public:
    virtual ~RowSource() = default;
    // Throws std::exception carrying the database's own text when the table
    // cannot be read.
    virtual TableData ReadTable(const TableLogon& logon, const std::string& table) = 0;
};

// Reads through the project's ODBC layer, rows in Record_ID order.
std::shared_ptr<RowSource> MakeOdbcRowSource();

}  // namespace lorvex::report
