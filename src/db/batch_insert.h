#pragma once

// Inserts rows into one table several at a time: each batch is one
// INSERT ... VALUES (...), (...), ... statement whose every value is a bound
// parameter, prepared once and executed a batch at a time. On SQLite the
// statement begins with an empty WITH, the form the SQLite driver keeps
// compiled between executes (a bare INSERT it compiles again every time). A
// driver that refuses several rows in one VALUES clause gets one row a
// statement. The inserter writes into whatever transaction the connection is
// in; it opens none of its own.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/odbc.h"

namespace lorvex::db {

enum class ColumnType { Long, Real, Text };

struct InsertColumn {
    std::string name;  // as written in SQL, quoted: "sStation"
    ColumnType type;
};

class BatchInserter {
  public:
    // Rows a statement carries by default: past about fifty the statement
    // text grows faster than the time saved.
    static constexpr std::size_t kRowsPerBatch = 50;
    // Parameters one statement may bind on the smallest limit among the
    // drivers in use (SQLite before 3.32 allowed 999).
    static constexpr std::size_t kMaxParameters = 999;

    // table is as written in SQL (quoted: "Observation_tbl"). Fewer rows are put in
    // one statement when the columns would pass kMaxParameters.
    BatchInserter(CDatabase& db, std::string table, std::vector<InsertColumn> columns,
                  std::size_t rowsPerBatch = kRowsPerBatch);
    BatchInserter(const BatchInserter&) = delete;
    BatchInserter& operator=(const BatchInserter&) = delete;
    // Rows not flushed are dropped, never written half.
    ~BatchInserter();

    // The values of the row being added, one per column in column order.
    // Texts are UTF-8.
    void Long(std::int32_t value);
    void Real(double value);
    void Text(std::string_view value);
    void Null();
    // Ends the row; writes the held rows once a batch is full. Throws DbError;
    // the rows of a failed batch are dropped.
    void EndRow();
    // Writes every row still held. Throws DbError.
    void Flush();
    // Rows added and not yet written.
    std::size_t Pending() const noexcept;
    // Rows a statement carries now (1 after a driver refused several).
    std::size_t RowsPerBatch() const noexcept;

  private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace lorvex::db
