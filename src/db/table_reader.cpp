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

TableRows ReadTable(const std::string& dataSourceName, const std::string& table) {
    if (!IsPlainName(table)) throw std::invalid_argument("not a table name: " + table);
    if (dataSourceName.find_first_of(";{}") != std::string::npos) {
        throw std::invalid_argument("not a data source name: " + dataSourceName);
    }

    CDatabase db;
    db.Open("DSN=" + dataSourceName);
    OdbcHandle handle = detail::AllocateStatement(db.Handle());
    SQLHSTMT statement = handle.Get();
    const std::string order = " FROM \"" + table + "\" ORDER BY \"Record_ID\"";
    Execute(statement, db.NativeSql("SELECT *" + order));

    SQLSMALLINT count = 0;
    detail::Check(SQLNumResultCols(statement, &count), SQL_HANDLE_STMT, statement,
                  "SQLNumResultCols");
    TableRows result;
    std::vector<ColumnKind> kinds;
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
        result.columns.push_back(FromDriverText(reinterpret_cast<const char*>(name)));
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
            const std::string name = "\"" + ToDriverText(result.columns[i]) + "\"";
            if (!columns.empty()) columns += ',';
            columns += kinds[i] == ColumnKind::Real
                           ? "CASE WHEN " + name + " IS NULL THEN NULL ELSE printf('%!.20e', " +
                                 name + ") END"
                           : name;
        }
        detail::Check(SQLFreeStmt(statement, SQL_CLOSE), SQL_HANDLE_STMT, statement, "SQLFreeStmt");
        Execute(statement, db.NativeSql("SELECT " + columns + order));
    }

    std::string text;
    for (;;) {
        const SQLRETURN ret = SQLFetch(statement);
        if (ret == SQL_NO_DATA) break;
        detail::Check(ret, SQL_HANDLE_STMT, statement, "SQLFetch");
        auto& row = result.rows.emplace_back();
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
    return result;
}

}  // namespace lorvex::db
