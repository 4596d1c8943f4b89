#include "db/table_reader.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>

#include "db/odbc.h"
#include "db/odbc_detail.h"
#include "db/text_encoding.h"

namespace lorvex::db {

namespace {

bool IsPlainName(const std::string& name) {
    if (name.empty()) return false;
    for (const char c : name) {
        const bool ok =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        if (!ok) return false;
    }
    return true;
}

enum class ColumnKind { Text, Real, Integer };

ColumnKind KindOf(SQLSMALLINT sqlType) {
    switch (sqlType) {
        case SQL_DOUBLE:
        case SQL_FLOAT:
        case SQL_REAL:
            return ColumnKind::Real;
        case SQL_INTEGER:
        case SQL_SMALLINT:
        case SQL_TINYINT:
        case SQL_BIGINT:
            return ColumnKind::Integer;
        default:
            return ColumnKind::Text;
    }
}

bool IsSqlite(SQLHDBC connection) {
    SQLCHAR name[64] = {};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfo(connection, SQL_DBMS_NAME, name, sizeof name, &length))) {
        return false;
    }
    return std::string(reinterpret_cast<const char*>(name)) == "SQLite";
}

void Execute(SQLHSTMT statement, std::string sql) {
    detail::Check(SQLExecDirect(statement, reinterpret_cast<SQLCHAR*>(sql.data()),
                                static_cast<SQLINTEGER>(sql.size())),
                  SQL_HANDLE_STMT, statement, "SQLExecDirect");
}

}  // namespace

struct TableCursor::Open {
    CDatabase db;
    OdbcHandle handle;
    std::vector<std::string> columns;
    std::vector<ColumnKind> kinds;
    std::size_t count = 0;
    bool done = false;
};

TableCursor::TableCursor(const std::string& dataSourceName, const std::string& table)
    : m_open(std::make_unique<Open>()) {
    if (!IsPlainName(table)) throw std::invalid_argument("not a table name: " + table);
    if (dataSourceName.find_first_of(";{}") != std::string::npos) {
        throw std::invalid_argument("not a data source name: " + dataSourceName);
    }

    CDatabase& db = m_open->db;
    db.Open("DSN=" + dataSourceName);
    m_open->handle = detail::AllocateStatement(db.Handle());
    SQLHSTMT statement = m_open->handle.Get();
    // Counted first, on the same connection: the caller holds the report
    // lock, so nothing writes the table between the count and the rows.
    Execute(statement, db.NativeSql("SELECT COUNT(*) FROM \"" + table + "\""));
    {
        SQLBIGINT value = 0;
        SQLLEN indicator = 0;
        const SQLRETURN ret = SQLFetch(statement);
        if (ret != SQL_NO_DATA) {
            detail::Check(ret, SQL_HANDLE_STMT, statement, "SQLFetch");
            detail::Check(SQLGetData(statement, 1, SQL_C_SBIGINT, &value, 0, &indicator),
                          SQL_HANDLE_STMT, statement, "SQLGetData");
        }
        m_open->count = indicator == SQL_NULL_DATA ? 0 : static_cast<std::size_t>(value);
        detail::Check(SQLFreeStmt(statement, SQL_CLOSE), SQL_HANDLE_STMT, statement, "SQLFreeStmt");
    }
    const std::string order = " FROM \"" + table + "\" ORDER BY \"Record_ID\"";
    Execute(statement, db.NativeSql("SELECT *" + order));

    SQLSMALLINT count = 0;
    detail::Check(SQLNumResultCols(statement, &count), SQL_HANDLE_STMT, statement,
                  "SQLNumResultCols");
    std::vector<std::string>& columnNames = m_open->columns;
    std::vector<ColumnKind>& kinds = m_open->kinds;
    for (SQLUSMALLINT column = 1; column <= static_cast<SQLUSMALLINT>(count); ++column) {
        SQLCHAR name[256] = {};
        SQLSMALLINT nameLength = 0;
        SQLSMALLINT type = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = 0;
        detail::Check(SQLDescribeCol(statement, column, name, sizeof name, &nameLength, &type,
                                     &size, &digits, &nullable),
                      SQL_HANDLE_STMT, statement, "SQLDescribeCol");
        columnNames.push_back(FromDriverText(reinterpret_cast<const char*>(name)));
        kinds.push_back(KindOf(type));
    }

    // The SQLite driver passes a real on as text of 15 significant digits,
    // which can be another double than the one stored. SQLite's own printf
    // with 21 digits reads back exactly (its 17-digit form does not, near
    // the ends of the range); the driver then converts that text to the
    // double asked for.
    if (std::find(kinds.begin(), kinds.end(), ColumnKind::Real) != kinds.end() &&
        IsSqlite(db.Handle())) {
        std::string columns;
        for (std::size_t i = 0; i < kinds.size(); ++i) {
            const std::string name = "\"" + ToDriverText(columnNames[i]) + "\"";
            if (!columns.empty()) columns += ',';
            columns += kinds[i] == ColumnKind::Real
                           ? "CASE WHEN " + name + " IS NULL THEN NULL ELSE printf('%!.20e', " +
                                 name + ") END"
                           : name;
        }
        detail::Check(SQLFreeStmt(statement, SQL_CLOSE), SQL_HANDLE_STMT, statement, "SQLFreeStmt");
        Execute(statement, db.NativeSql("SELECT " + columns + order));
    }
}

TableCursor::~TableCursor() = default;

const std::vector<std::string>& TableCursor::Columns() const { return m_open->columns; }

std::size_t TableCursor::Count() const { return m_open->count; }

bool TableCursor::Fetch(std::vector<std::vector<std::optional<std::string>>>& rows,
                        std::size_t maxRows) {
    if (m_open->done) return false;
    SQLHSTMT statement = m_open->handle.Get();
    const std::vector<ColumnKind>& kinds = m_open->kinds;
    const auto count = static_cast<SQLSMALLINT>(kinds.size());
    std::string text;
    for (std::size_t fetched = 0; fetched < maxRows; ++fetched) {
        const SQLRETURN ret = SQLFetch(statement);
        if (ret == SQL_NO_DATA) {
            m_open->done = true;
            m_open->handle = OdbcHandle();
            return false;
        }
        detail::Check(ret, SQL_HANDLE_STMT, statement, "SQLFetch");
        auto& row = rows.emplace_back();
        row.reserve(kinds.size());
        for (SQLUSMALLINT column = 1; column <= static_cast<SQLUSMALLINT>(count); ++column) {
            SQLLEN indicator = 0;
            switch (kinds[column - 1]) {
                case ColumnKind::Real: {
                    double value = 0.0;
                    detail::Check(
                        SQLGetData(statement, column, SQL_C_DOUBLE, &value, 0, &indicator),
                        SQL_HANDLE_STMT, statement, "SQLGetData");
                    if (indicator == SQL_NULL_DATA) {
                        row.emplace_back();
                        break;
                    }
                    // Shortest round-trip form, independent of the locale.
                    char buffer[32];
                    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
                    (void)ec;  // 32 bytes hold any double
                    row.emplace_back(std::string(buffer, end));
                    break;
                }
                case ColumnKind::Integer: {
                    SQLBIGINT value = 0;
                    detail::Check(
                        SQLGetData(statement, column, SQL_C_SBIGINT, &value, 0, &indicator),
                        SQL_HANDLE_STMT, statement, "SQLGetData");
                    if (indicator == SQL_NULL_DATA) {
                        row.emplace_back();
                    } else {
                        row.emplace_back(std::to_string(static_cast<long long>(value)));
                    }
                    break;
                }
                case ColumnKind::Text:
                    if (detail::GetCharData(statement, column, text)) {
                        row.emplace_back(FromDriverText(text));
                    } else {
                        row.emplace_back();
                    }
                    break;
            }
        }
    }
    return true;
}

TableRows ReadTable(const std::string& dataSourceName, const std::string& table) {
    TableCursor cursor(dataSourceName, table);
    TableRows result;
    result.columns = cursor.Columns();
    result.rows.reserve(cursor.Count());
    while (cursor.Fetch(result.rows, std::size_t(-1))) {
    }
    return result;
}

}  // namespace lorvex::db
