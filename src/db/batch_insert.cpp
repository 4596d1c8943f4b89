#include "db/batch_insert.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "db/odbc_detail.h"
#include "db/text_encoding.h"

namespace lorvex::db {

namespace {

// One value of a held row, in the form it is bound in.
struct Cell {
    std::string text;  // in the driver's encoding
    double real = 0.0;
    SQLINTEGER integer = 0;
    SQLLEN indicator = 0;
};

// Put before an INSERT on SQLite so that the driver keeps it prepared.
constexpr std::string_view kKeptPrefix = "WITH unused AS (SELECT 1) ";

}  // namespace

struct BatchInserter::State {
    CDatabase& db;
    std::string table;
    std::vector<InsertColumn> columns;
    std::size_t rowsPerBatch;
    std::vector<Cell> cells;    // rowsPerBatch rows of columns.size() cells
    std::size_t rows = 0;       // complete rows held
    std::size_t column = 0;     // next value of the row being added
    OdbcHandle full;            // the statement for a whole batch, prepared once
    std::size_t fullRows = 0;   // rows the prepared statement carries
    bool kept = db.IsSqlite();  // INSERTs begin with kKeptPrefix

    Cell& Next() {
        if (column >= columns.size()) {
            throw std::logic_error("more values than columns for " + table);
        }
        return cells[rows * columns.size() + column++];
    }

    std::string Sql(std::size_t count) const {
        std::string names;
        std::string marks = "(";
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (c != 0) {
                names += ',';
                marks += ',';
            }
            names += columns[c].name;
            marks += '?';
        }
        marks += ')';
        // The SQLite driver compiles an INSERT afresh on every execute but
        // keeps a statement that begins with WITH compiled and only resets it
        // between executes; the empty WITH changes nothing else.
        std::string sql = kept ? std::string(kKeptPrefix) : std::string();
        sql += "INSERT INTO " + table + " (" + names + ") VALUES ";
        sql.reserve(sql.size() + count * (marks.size() + 1));
        for (std::size_t r = 0; r < count; ++r) {
            if (r != 0) sql += ',';
            sql += marks;
        }
        return ToDriverText(db.NativeSql(std::move(sql)));
    }

    // Prepares an insert of count rows; an empty handle when the driver
    // refuses it and count > 1, so that the caller can try one row a statement.
    // A database that refuses the WITH (SQLite before 3.8.3) gets bare INSERTs.
    OdbcHandle Prepare(std::size_t count) {
        std::string sql = Sql(count);
        OdbcHandle statement = detail::AllocateStatement(db.Handle());
        SQLRETURN ret = SQLPrepare(statement.Get(), reinterpret_cast<SQLCHAR*>(sql.data()),
                                   static_cast<SQLINTEGER>(sql.size()));
        if (!SQL_SUCCEEDED(ret) && kept) {
            kept = false;
            return Prepare(count);
        }
        if (!SQL_SUCCEEDED(ret)) {
            if (count > 1) return {};
            detail::Check(ret, SQL_HANDLE_STMT, statement.Get(), "SQLPrepare");
        }
        return statement;
    }

    void Bind(SQLHSTMT statement, std::size_t firstRow, std::size_t count) {
        const std::size_t n = columns.size();
        for (std::size_t r = 0; r < count; ++r) {
            for (std::size_t c = 0; c < n; ++c) {
                Cell& cell = cells[(firstRow + r) * n + c];
                const auto number = static_cast<SQLUSMALLINT>(r * n + c + 1);
                SQLRETURN ret = SQL_SUCCESS;
                switch (columns[c].type) {
                    case ColumnType::Long:
                        ret =
                            SQLBindParameter(statement, number, SQL_PARAM_INPUT, SQL_C_SLONG,
                                             SQL_INTEGER, 0, 0, &cell.integer, 0, &cell.indicator);
                        break;
                    case ColumnType::Real:
                        ret = SQLBindParameter(statement, number, SQL_PARAM_INPUT, SQL_C_DOUBLE,
                                               SQL_DOUBLE, 0, 0, &cell.real, 0, &cell.indicator);
                        break;
                    case ColumnType::Text: {
                        // Long texts go as long varchar so that drivers with
                        // a 255-byte varchar limit take them whole or say why not.
                        const SQLSMALLINT sqlType =
                            cell.text.size() > 255 ? SQL_LONGVARCHAR : SQL_VARCHAR;
                        ret = SQLBindParameter(
                            statement, number, SQL_PARAM_INPUT, SQL_C_CHAR, sqlType,
                            std::max<std::size_t>(cell.text.size(), 1), 0, cell.text.data(),
                            static_cast<SQLLEN>(cell.text.size()), &cell.indicator);
                        break;
                    }
                }
                detail::Check(ret, SQL_HANDLE_STMT, statement, "SQLBindParameter");
            }
        }
    }

    void Write() {
        std::size_t done = 0;
        while (done < rows) {
            const std::size_t count = std::min(rowsPerBatch, rows - done);
            OdbcHandle once;
            SQLHSTMT statement = nullptr;
            if (count == rowsPerBatch && fullRows == rowsPerBatch) {
                statement = full.Get();
            } else {
                OdbcHandle prepared = Prepare(count);
                if (!prepared) {
                    // Several rows in one VALUES clause are not this driver's SQL.
                    rowsPerBatch = 1;
                    full.Reset();
                    fullRows = 0;
                    continue;
                }
                if (count == rowsPerBatch) {
                    full = std::move(prepared);
                    fullRows = count;
                    statement = full.Get();
                } else {
                    once = std::move(prepared);
                    statement = once.Get();
                }
            }
            Bind(statement, done, count);
            detail::Check(SQLExecute(statement), SQL_HANDLE_STMT, statement, "SQLExecute");
            done += count;
        }
    }
};

BatchInserter::BatchInserter(CDatabase& db, std::string table, std::vector<InsertColumn> columns,
                             std::size_t rowsPerBatch)
    : m_state(new State{db, std::move(table), std::move(columns), 1, {}, 0, 0, {}, 0}) {
    if (m_state->columns.empty()) throw std::logic_error("an insert needs a column");
    const std::size_t fit = std::max<std::size_t>(1, kMaxParameters / m_state->columns.size());
    // Access takes one row a VALUES clause; asking it for more would cost
    // a refused preparation every inserter.
    m_state->rowsPerBatch = db.IsAccess() ? 1 : std::clamp<std::size_t>(rowsPerBatch, 1, fit);
    m_state->cells.resize(m_state->rowsPerBatch * m_state->columns.size());
}

BatchInserter::~BatchInserter() = default;

void BatchInserter::Long(std::int32_t value) {
    Cell& cell = m_state->Next();
    cell.integer = value;
    cell.indicator = 0;
}

void BatchInserter::Real(double value) {
    Cell& cell = m_state->Next();
    cell.real = value;
    cell.indicator = 0;
}

void BatchInserter::Text(std::string_view value) {
    Cell& cell = m_state->Next();
    cell.text = ToDriverText(value);
    cell.indicator = static_cast<SQLLEN>(cell.text.size());
}

void BatchInserter::Null() {
    Cell& cell = m_state->Next();
    cell.text.clear();
    cell.indicator = SQL_NULL_DATA;
}

void BatchInserter::EndRow() {
    State& s = *m_state;
    if (s.column != s.columns.size()) {
        s.column = 0;
        throw std::logic_error("a row of " + s.table + " needs " +
                               std::to_string(s.columns.size()) + " values");
    }
    s.column = 0;
    ++s.rows;
    // After a fallback to one row a statement the cells still hold a batch.
    if (s.rows * s.columns.size() == s.cells.size()) Flush();
}

void BatchInserter::Flush() {
    State& s = *m_state;
    if (s.rows == 0) return;
    try {
        s.Write();
    } catch (...) {
        s.rows = 0;
        throw;
    }
    s.rows = 0;
}

std::size_t BatchInserter::Pending() const noexcept { return m_state->rows; }

std::size_t BatchInserter::RowsPerBatch() const noexcept { return m_state->rowsPerBatch; }

}  // namespace lorvex::db
