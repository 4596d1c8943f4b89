#include "db/odbc.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>
#include <utility>

#include "db/batch_insert.h"
#include "db/odbc_detail.h"
#include "db/text_encoding.h"

namespace lorvex::db {

namespace detail {

DbError MakeError(SQLSMALLINT handleType, SQLHANDLE handle, const char* fallback) {
    std::string text;
    std::string firstState;
    long firstNative = 0;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        std::string message(SQL_MAX_MESSAGE_LENGTH, '\0');
        SQLRETURN ret = SQLGetDiagRec(handleType, handle, record, state, &native,
                                      reinterpret_cast<SQLCHAR*>(message.data()),
                                      static_cast<SQLSMALLINT>(message.size()), &length);
        if (ret == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
            message.assign(static_cast<std::size_t>(length) + 1, '\0');
            ret = SQLGetDiagRec(handleType, handle, record, state, &native,
                                reinterpret_cast<SQLCHAR*>(message.data()),
                                static_cast<SQLSMALLINT>(message.size()), &length);
        }
        if (!SQL_SUCCEEDED(ret)) break;
        message.resize(std::min<std::size_t>(
            static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)), message.size() - 1));
        if (record == 1) {
            firstState = reinterpret_cast<const char*>(state);
            firstNative = native;
        } else {
            text += '\n';
        }
        text += FromDriverText(message);
    }
    if (text.empty()) text = std::string(fallback) + " failed without a diagnostic record";
    return DbError(text, firstState, firstNative);
}

void Check(SQLRETURN ret, SQLSMALLINT handleType, SQLHANDLE handle, const char* call) {
    if (SQL_SUCCEEDED(ret) || ret == SQL_NO_DATA) return;
    throw MakeError(handleType, handle, call);
}

bool GetCharData(SQLHSTMT statement, SQLUSMALLINT column, std::string& out) {
    out.clear();
    char buffer[4096];
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN ret =
            SQLGetData(statement, column, SQL_C_CHAR, buffer, sizeof buffer, &indicator);
        if (ret == SQL_NO_DATA) break;  // the previous piece was the last
        Check(ret, SQL_HANDLE_STMT, statement, "SQLGetData");
        if (indicator == SQL_NULL_DATA) return false;
        // A piece that filled the buffer leaves room for the terminating NUL only.
        const bool truncated =
            ret == SQL_SUCCESS_WITH_INFO &&
            (indicator == SQL_NO_TOTAL || indicator >= static_cast<SQLLEN>(sizeof buffer));
        if (truncated) {
            out.append(buffer, sizeof buffer - 1);
            continue;
        }
        out.append(buffer, static_cast<std::size_t>(indicator));
        break;
    }
    return true;
}

OdbcHandle AllocateStatement(SQLHDBC connection) {
    SQLHANDLE statement = SQL_NULL_HANDLE;
    Check(SQLAllocHandle(SQL_HANDLE_STMT, connection, &statement), SQL_HANDLE_DBC, connection,
          "SQLAllocHandle");
    return OdbcHandle(SQL_HANDLE_STMT, statement);
}

bool StartsWithSelect(const std::string& sql) {
    std::size_t i = 0;
    while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i]))) ++i;
    static constexpr char kSelect[] = "select";
    const std::size_t n = sizeof kSelect - 1;
    if (sql.size() - i < n) return false;
    for (std::size_t k = 0; k < n; ++k) {
        if (std::tolower(static_cast<unsigned char>(sql[i + k])) != kSelect[k]) return false;
    }
    return i + n == sql.size() || !std::isalnum(static_cast<unsigned char>(sql[i + n]));
}

}  // namespace detail

using detail::Check;

DbError::DbError(const std::string& message, std::string sqlState, long nativeError)
    : std::runtime_error(message), m_sqlState(std::move(sqlState)), m_nativeError(nativeError) {}

// ---------------------------------------------------------------------------
// OdbcHandle

OdbcHandle::OdbcHandle(OdbcHandle&& other) noexcept
    : m_type(other.m_type), m_handle(std::exchange(other.m_handle, nullptr)) {}

OdbcHandle& OdbcHandle::operator=(OdbcHandle&& other) noexcept {
    if (this != &other) {
        Reset();
        m_type = other.m_type;
        m_handle = std::exchange(other.m_handle, nullptr);
    }
    return *this;
}

OdbcHandle::~OdbcHandle() { Reset(); }

void OdbcHandle::Reset() noexcept {
    if (m_handle != nullptr) {
        SQLFreeHandle(m_type, m_handle);
        m_handle = nullptr;
    }
}

// ---------------------------------------------------------------------------
// CDatabase

CDatabase::CDatabase() = default;

CDatabase::~CDatabase() { Close(); }

void CDatabase::Open(const std::string& connect) {
    Close();
    std::string text = connect;
    if (text.size() >= 5 &&
        (text.compare(0, 5, "ODBC;") == 0 || text.compare(0, 5, "odbc;") == 0)) {
        text.erase(0, 5);
    }

    SQLHANDLE env = SQL_NULL_HANDLE;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) {
        throw DbError("Cannot allocate an ODBC environment (is the driver manager installed?)");
    }
    OdbcHandle environment(SQL_HANDLE_ENV, env);
    Check(SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
          SQL_HANDLE_ENV, env, "SQLSetEnvAttr");

    SQLHANDLE dbc = SQL_NULL_HANDLE;
    Check(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_HANDLE_ENV, env, "SQLAllocHandle");
    OdbcHandle connection(SQL_HANDLE_DBC, dbc);
    // One connect at a time in this process: the PostgreSQL driver calls
    // setlocale while it connects, which frees the locale name another
    // thread's connect may be reading. Connections already open run freely.
    static std::mutex connecting;
    SQLRETURN ret;
    {
        const std::lock_guard lock(connecting);
        ret = SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(text.data()),
                               static_cast<SQLSMALLINT>(text.size()), nullptr, 0, nullptr,
                               SQL_DRIVER_NOPROMPT);
    }
    Check(ret, SQL_HANDLE_DBC, dbc, "SQLDriverConnect");

    m_environment = std::move(environment);
    m_connection = std::move(connection);
    const std::string dbms = DbmsName();
    m_sqlite = dbms == "SQLite";
    m_postgresql = dbms == "PostgreSQL";
    m_access = dbms == "ACCESS";
}

std::string BracketedNames(std::string sql) {
    bool inText = false;  // inside '...', where a double quote is a character
    bool inName = false;
    for (char& c : sql) {
        if (c == '\'' && !inName) {
            inText = !inText;  // '' inside a text toggles twice
        } else if (c == '"' && !inText) {
            c = inName ? ']' : '[';
            inName = !inName;
        }
    }
    return sql;
}

std::string CDatabase::NativeSql(std::string sql) const {
    if (!m_sqlite && !m_access) return sql;
    return BracketedNames(std::move(sql));
}

bool CDatabase::IsLost(const DbError& error) const noexcept {
    if (!m_connection) return true;
    if (error.SqlState().rfind("08", 0) == 0) return true;
    SQLUINTEGER dead = SQL_CD_FALSE;
    return SQL_SUCCEEDED(SQLGetConnectAttr(m_connection.Get(), SQL_ATTR_CONNECTION_DEAD, &dead,
                                           SQL_IS_UINTEGER, nullptr)) &&
           dead == SQL_CD_TRUE;
}

std::string CDatabase::DbmsName() const {
    SQLCHAR name[64] = {};
    SQLSMALLINT length = 0;
    if (!m_connection ||
        !SQL_SUCCEEDED(SQLGetInfo(m_connection.Get(), SQL_DBMS_NAME, name, sizeof name, &length))) {
        return {};
    }
    return reinterpret_cast<const char*>(name);
}

void CDatabase::Close() noexcept {
    m_sqlite = false;
    m_postgresql = false;
    m_access = false;
    if (!m_connection) return;
    if (m_inTransaction) {
        try {
            EndTransaction(SQL_ROLLBACK);
        } catch (...) {
            // Disconnecting ends an unfinished transaction anyway.
        }
        m_inTransaction = false;
    }
    SQLDisconnect(m_connection.Get());
    m_connection.Reset();
    m_environment.Reset();
}

void CDatabase::BeginTrans(const std::string& begin) {
    if (!IsOpen()) throw std::logic_error("BeginTrans on a closed database");
    if (m_inTransaction) throw std::logic_error("BeginTrans inside a transaction");
    if (!begin.empty()) {
        // The driver stays in auto-commit mode and leaves the statements to
        // the database, which holds them in the transaction begin opened.
        ExecuteSQL(begin);
        m_inTransaction = true;
        m_sqlTransaction = true;
        return;
    }
    Check(SQLSetConnectAttr(m_connection.Get(), SQL_ATTR_AUTOCOMMIT,
                            reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER),
          SQL_HANDLE_DBC, m_connection.Get(), "SQLSetConnectAttr");
    m_inTransaction = true;
}

void CDatabase::CommitTrans() { EndTransaction(SQL_COMMIT); }

void CDatabase::Rollback() { EndTransaction(SQL_ROLLBACK); }

void CDatabase::EndTransaction(short completion) {
    if (!m_inTransaction) throw std::logic_error("no transaction to end");
    if (m_sqlTransaction) {
        // A COMMIT that fails (another connection still reading past the
        // busy timeout) leaves the transaction open, to be rolled back.
        ExecuteSQL(completion == SQL_COMMIT ? "COMMIT" : "ROLLBACK");
        m_inTransaction = false;
        m_sqlTransaction = false;
        return;
    }
    Check(SQLEndTran(SQL_HANDLE_DBC, m_connection.Get(), completion), SQL_HANDLE_DBC,
          m_connection.Get(), "SQLEndTran");
    m_inTransaction = false;
    Check(SQLSetConnectAttr(m_connection.Get(), SQL_ATTR_AUTOCOMMIT,
                            reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), SQL_IS_UINTEGER),
          SQL_HANDLE_DBC, m_connection.Get(), "SQLSetConnectAttr");
}

void CDatabase::ExecuteSQL(const std::string& sql) {
    if (!IsOpen()) throw std::logic_error("ExecuteSQL on a closed database");
    OdbcHandle statement = detail::AllocateStatement(m_connection.Get());
    std::string text = ToDriverText(NativeSql(sql));
    Check(SQLExecDirect(statement.Get(), reinterpret_cast<SQLCHAR*>(text.data()),
                        static_cast<SQLINTEGER>(text.size())),
          SQL_HANDLE_STMT, statement.Get(), "SQLExecDirect");
}

// ---------------------------------------------------------------------------
// Transaction

Transaction::Transaction(CDatabase& db, const std::string& begin) : m_db(db) {
    m_db.BeginTrans(begin);
}

Transaction::~Transaction() {
    if (!m_active) return;
    try {
        m_db.Rollback();
    } catch (...) {
        // The connection is going away or already broken; the database rolls
        // an unfinished transaction back on its own.
    }
}

void Transaction::Commit() {
    m_db.CommitTrans();
    m_active = false;
}

void Transaction::Rollback() {
    m_active = false;
    m_db.Rollback();
}

// ---------------------------------------------------------------------------
// CFieldExchange

void CFieldExchange::Add(std::string column, Kind kind, void* member) {
    m_fields.push_back(Field{std::move(column), kind, member});
}

void CFieldExchange::Key(std::string column, std::int32_t& value) {
    Add(std::move(column), Kind::Key, &value);
}

void CFieldExchange::Long(std::string column, std::int32_t& value) {
    Add(std::move(column), Kind::Long, &value);
}

void CFieldExchange::Text(std::string column, std::string& value) {
    Add(std::move(column), Kind::Text, &value);
}

void CFieldExchange::Real(std::string column, double& value) {
    Add(std::move(column), Kind::Real, &value);
}

// ---------------------------------------------------------------------------
// CRecordset

struct CRecordset::Statements {
    OdbcHandle query;
    OdbcHandle insert;
    OdbcHandle remove;
    // Parameter buffers of the insert, one slot per written column. Sized
    // once when the insert is prepared so that bound addresses stay put.
    std::vector<std::size_t> columns;  // index into m_fields
    std::vector<std::string> texts;
    std::vector<double> reals;
    std::vector<SQLINTEGER> longs;
    std::vector<SQLLEN> indicators;
    SQLINTEGER key = 0;
    SQLLEN keyIndicator = 0;
};

CRecordset::CRecordset(CDatabase* db) : m_pDatabase(db) {}

CRecordset::~CRecordset() { Close(); }

std::string CRecordset::GetDefaultConnect() const { return "ODBC;"; }

void CRecordset::Open(OpenType type, const std::string& sql, unsigned options) {
    (void)type;  // every type reads forward, which is all the program needs
    Close();
    CFieldExchange fx;
    DoFieldExchange(fx);
    if (m_nFields != 0 && static_cast<std::size_t>(m_nFields) != fx.m_fields.size()) {
        throw std::logic_error("record set binds " + std::to_string(fx.m_fields.size()) +
                               " columns, expected " + std::to_string(m_nFields));
    }
    m_fields = std::move(fx.m_fields);

    try {
        CDatabase* db = m_pDatabase;
        if (db == nullptr) {
            m_ownDatabase = std::make_unique<CDatabase>();
            db = m_ownDatabase.get();
        }
        if (!db->IsOpen()) db->Open(GetDefaultConnect());

        std::string query = sql.empty() ? GetDefaultSQL() : sql;
        m_readsRows = (options & (appendOnly | batchedAppend)) == 0;
        if (!detail::StartsWithSelect(query)) {
            // A table name: select the bound columns by name, so that a missing
            // column is reported by the driver when the table is opened.
            std::string columns;
            for (const Field& field : m_fields) {
                if (!columns.empty()) columns += ',';
                columns += field.column;
            }
            query = "SELECT " + columns + " FROM " + query;
            if (!m_readsRows) query += " WHERE 1=0";
        }

        m_statements = std::make_unique<Statements>();
        m_statements->query = detail::AllocateStatement(db->Handle());
        SQLHSTMT statement = m_statements->query.Get();
        std::string text = ToDriverText(db->NativeSql(query));
        Check(SQLExecDirect(statement, reinterpret_cast<SQLCHAR*>(text.data()),
                            static_cast<SQLINTEGER>(text.size())),
              SQL_HANDLE_STMT, statement, "SQLExecDirect");

        SQLSMALLINT resultColumns = 0;
        Check(SQLNumResultCols(statement, &resultColumns), SQL_HANDLE_STMT, statement,
              "SQLNumResultCols");
        if (static_cast<std::size_t>(resultColumns) < m_fields.size()) {
            // Drivers accept binding past the last column and then read
            // garbage or nothing; a short row is an error here.
            throw DbError("The query \"" + query + "\" returns " + std::to_string(resultColumns) +
                              " columns, but " + std::to_string(m_fields.size()) + " are bound.",
                          "07009");
        }
        if ((options & batchedAppend) != 0) {
            std::vector<InsertColumn> columns;
            for (const Field& field : m_fields) {
                switch (field.kind) {
                    case CFieldExchange::Kind::Key:
                        break;  // assigned by the database
                    case CFieldExchange::Kind::Long:
                        columns.push_back({field.column, ColumnType::Long});
                        break;
                    case CFieldExchange::Kind::Real:
                        columns.push_back({field.column, ColumnType::Real});
                        break;
                    case CFieldExchange::Kind::Text:
                        columns.push_back({field.column, ColumnType::Text});
                        break;
                }
            }
            m_batch = std::make_unique<BatchInserter>(*db, TableName(), std::move(columns));
        }
        m_open = true;
        if (m_readsRows) {
            Fetch();
        } else {
            m_eof = true;
        }
    } catch (...) {
        Close();
        throw;
    }
}

void CRecordset::Close() noexcept {
    m_batch.reset();
    m_statements.reset();
    if (m_ownDatabase) {
        m_ownDatabase->Close();
        m_ownDatabase.reset();
    }
    m_open = false;
    m_eof = true;
    m_adding = false;
}

void CRecordset::ResetMembers() {
    for (Field& field : m_fields) {
        switch (field.kind) {
            case CFieldExchange::Kind::Key:
            case CFieldExchange::Kind::Long:
                *static_cast<std::int32_t*>(field.member) = 0;
                break;
            case CFieldExchange::Kind::Text:
                static_cast<std::string*>(field.member)->clear();
                break;
            case CFieldExchange::Kind::Real:
                *static_cast<double*>(field.member) = 0.0;
                break;
        }
    }
}

void CRecordset::Fetch() {
    SQLHSTMT statement = m_statements->query.Get();
    const SQLRETURN ret = SQLFetch(statement);
    if (ret == SQL_NO_DATA) {
        m_eof = true;
        return;
    }
    Check(ret, SQL_HANDLE_STMT, statement, "SQLFetch");
    m_eof = false;
    ReadCurrentRow();
}

void CRecordset::ReadCurrentRow() {
    SQLHSTMT statement = m_statements->query.Get();
    std::string raw;
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        Field& field = m_fields[i];
        const auto column = static_cast<SQLUSMALLINT>(i + 1);
        SQLLEN indicator = 0;
        switch (field.kind) {
            case CFieldExchange::Kind::Key:
            case CFieldExchange::Kind::Long: {
                SQLINTEGER value = 0;
                Check(SQLGetData(statement, column, SQL_C_SLONG, &value, 0, &indicator),
                      SQL_HANDLE_STMT, statement, "SQLGetData");
                field.isNull = indicator == SQL_NULL_DATA;
                *static_cast<std::int32_t*>(field.member) = field.isNull ? 0 : value;
                break;
            }
            case CFieldExchange::Kind::Real: {
                double value = 0.0;
                Check(SQLGetData(statement, column, SQL_C_DOUBLE, &value, 0, &indicator),
                      SQL_HANDLE_STMT, statement, "SQLGetData");
                field.isNull = indicator == SQL_NULL_DATA;
                *static_cast<double*>(field.member) = field.isNull ? 0.0 : value;
                break;
            }
            case CFieldExchange::Kind::Text: {
                field.isNull = !detail::GetCharData(statement, column, raw);
                *static_cast<std::string*>(field.member) = FromDriverText(raw);
                break;
            }
        }
    }
}

void CRecordset::MoveNext() {
    if (!m_open || m_eof) throw std::logic_error("MoveNext past the last row");
    if (!m_readsRows) {
        m_eof = true;
        return;
    }
    Fetch();
}

std::string CRecordset::TableName() const {
    std::string table = GetDefaultSQL();
    if (detail::StartsWithSelect(table)) {
        throw std::logic_error("a record set over a query cannot add or delete rows");
    }
    return table;
}

void CRecordset::AddNew() {
    if (!m_open) throw std::logic_error("AddNew on a closed record set");
    ResetMembers();
    for (Field& field : m_fields) field.isNull = field.kind == CFieldExchange::Kind::Key;
    m_adding = true;
}

void CRecordset::Update() {
    if (!m_adding) throw std::logic_error("Update without AddNew: rows are never changed in place");
    if (m_batch) {
        m_adding = false;
        for (const Field& field : m_fields) {
            if (field.kind == CFieldExchange::Kind::Key) continue;
            if (field.isNull) {
                m_batch->Null();
                continue;
            }
            switch (field.kind) {
                case CFieldExchange::Kind::Key:
                    break;
                case CFieldExchange::Kind::Long:
                    m_batch->Long(*static_cast<const std::int32_t*>(field.member));
                    break;
                case CFieldExchange::Kind::Real:
                    m_batch->Real(*static_cast<const double*>(field.member));
                    break;
                case CFieldExchange::Kind::Text:
                    m_batch->Text(*static_cast<const std::string*>(field.member));
                    break;
            }
        }
        m_batch->EndRow();
        return;
    }
    Statements& st = *m_statements;
    CDatabase* db = m_ownDatabase ? m_ownDatabase.get() : m_pDatabase;

    if (!st.insert) {
        std::string columns;
        std::string marks;
        for (std::size_t i = 0; i < m_fields.size(); ++i) {
            if (m_fields[i].kind == CFieldExchange::Kind::Key) continue;
            if (!columns.empty()) {
                columns += ',';
                marks += ',';
            }
            columns += m_fields[i].column;
            marks += '?';
            st.columns.push_back(i);
        }
        std::string sql = ToDriverText(db->NativeSql("INSERT INTO " + TableName() + " (" + columns +
                                                     ") VALUES (" + marks + ")"));
        OdbcHandle insert = detail::AllocateStatement(db->Handle());
        Check(SQLPrepare(insert.Get(), reinterpret_cast<SQLCHAR*>(sql.data()),
                         static_cast<SQLINTEGER>(sql.size())),
              SQL_HANDLE_STMT, insert.Get(), "SQLPrepare");
        st.insert = std::move(insert);
        st.texts.assign(st.columns.size(), {});
        st.reals.assign(st.columns.size(), 0.0);
        st.longs.assign(st.columns.size(), 0);
        st.indicators.assign(st.columns.size(), 0);
    }

    SQLHSTMT statement = st.insert.Get();
    for (std::size_t p = 0; p < st.columns.size(); ++p) {
        const Field& field = m_fields[st.columns[p]];
        const auto number = static_cast<SQLUSMALLINT>(p + 1);
        SQLRETURN ret = SQL_SUCCESS;
        switch (field.kind) {
            case CFieldExchange::Kind::Key:
                break;  // never a parameter
            case CFieldExchange::Kind::Long:
                st.longs[p] = *static_cast<const std::int32_t*>(field.member);
                st.indicators[p] = field.isNull ? SQL_NULL_DATA : 0;
                ret = SQLBindParameter(statement, number, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER,
                                       0, 0, &st.longs[p], 0, &st.indicators[p]);
                break;
            case CFieldExchange::Kind::Real:
                st.reals[p] = *static_cast<const double*>(field.member);
                st.indicators[p] = field.isNull ? SQL_NULL_DATA : 0;
                ret = SQLBindParameter(statement, number, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE,
                                       0, 0, &st.reals[p], 0, &st.indicators[p]);
                break;
            case CFieldExchange::Kind::Text: {
                std::string& text = st.texts[p];
                text = ToDriverText(*static_cast<const std::string*>(field.member));
                st.indicators[p] = field.isNull ? SQL_NULL_DATA : static_cast<SQLLEN>(text.size());
                // Long texts go as long varchar so that drivers with a 255-byte
                // varchar limit take them whole or say why not.
                const SQLSMALLINT sqlType = text.size() > 255 ? SQL_LONGVARCHAR : SQL_VARCHAR;
                ret = SQLBindParameter(statement, number, SQL_PARAM_INPUT, SQL_C_CHAR, sqlType,
                                       std::max<std::size_t>(text.size(), 1), 0, text.data(),
                                       static_cast<SQLLEN>(text.size()), &st.indicators[p]);
                break;
            }
        }
        Check(ret, SQL_HANDLE_STMT, statement, "SQLBindParameter");
    }
    m_adding = false;
    Check(SQLExecute(statement), SQL_HANDLE_STMT, statement, "SQLExecute");
}

void CRecordset::Flush() {
    if (m_batch) m_batch->Flush();
}

void CRecordset::Delete() {
    if (!m_open || m_eof) throw std::logic_error("Delete without a current row");
    const auto key = std::find_if(m_fields.begin(), m_fields.end(), [](const Field& f) {
        return f.kind == CFieldExchange::Kind::Key;
    });
    if (key == m_fields.end()) throw std::logic_error("Delete needs a key column");
    if (key->isNull) throw DbError("The current row has no key; it cannot be deleted.", "HY000");

    Statements& st = *m_statements;
    CDatabase* db = m_ownDatabase ? m_ownDatabase.get() : m_pDatabase;
    if (!st.remove) {
        std::string sql = ToDriverText(
            db->NativeSql("DELETE FROM " + TableName() + " WHERE " + key->column + "=?"));
        OdbcHandle remove = detail::AllocateStatement(db->Handle());
        Check(SQLPrepare(remove.Get(), reinterpret_cast<SQLCHAR*>(sql.data()),
                         static_cast<SQLINTEGER>(sql.size())),
              SQL_HANDLE_STMT, remove.Get(), "SQLPrepare");
        Check(SQLBindParameter(remove.Get(), 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0,
                               &st.key, 0, &st.keyIndicator),
              SQL_HANDLE_STMT, remove.Get(), "SQLBindParameter");
        st.remove = std::move(remove);
    }
    st.key = *static_cast<const std::int32_t*>(key->member);
    st.keyIndicator = 0;
    Check(SQLExecute(st.remove.Get()), SQL_HANDLE_STMT, st.remove.Get(), "SQLExecute");
}

CRecordset::Field& CRecordset::FindField(const void* member) {
    for (Field& field : m_fields) {
        if (field.member == member) return field;
    }
    throw std::invalid_argument("not a bound field of this record set (is it open?)");
}

const CRecordset::Field& CRecordset::FindField(const void* member) const {
    return const_cast<CRecordset*>(this)->FindField(member);
}

void CRecordset::SetFieldNull(const void* member, bool isNull) {
    Field& field = FindField(member);
    if (field.kind == CFieldExchange::Kind::Key && !isNull) {
        throw std::invalid_argument("the key is assigned by the database");
    }
    field.isNull = isNull;
}

bool CRecordset::IsFieldNull(const void* member) const { return FindField(member).isNull; }

}  // namespace lorvex::db
