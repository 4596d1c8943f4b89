#pragma once

// A thin layer over the ODBC C API in the shape of the classic database and
// record-set classes: a connection (CDatabase), a query whose columns are bound
// to members of a derived class (CRecordset), and the database error that
// carries what the driver said. Values always travel as bound parameters,
// never inside SQL text.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace lorvex::db {

class BatchInserter;

// A failure reported by the driver manager or the driver. what() is the
// diagnostic text exactly as the driver words it (several records joined by
// newlines); SqlState() and NativeError() are those of the first record.
class DbError : public std::runtime_error {
  public:
    explicit DbError(const std::string& message, std::string sqlState = {}, long nativeError = 0);

    const std::string& SqlState() const noexcept { return m_sqlState; }
    long NativeError() const noexcept { return m_nativeError; }

  private:
    std::string m_sqlState;
    long m_nativeError;
};

// Owns one ODBC handle of any type and frees it on destruction.
class OdbcHandle {
  public:
    OdbcHandle() = default;
    OdbcHandle(short type, void* handle) noexcept : m_type(type), m_handle(handle) {}
    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;
    OdbcHandle(OdbcHandle&& other) noexcept;
    OdbcHandle& operator=(OdbcHandle&& other) noexcept;
    ~OdbcHandle();

    void* Get() const noexcept { return m_handle; }
    explicit operator bool() const noexcept { return m_handle != nullptr; }
    void Reset() noexcept;

  private:
    short m_type = 0;
    void* m_handle = nullptr;
};

// sql with every double-quoted name in brackets ("a" becomes [a]); a double
// quote inside a '...' text stays as it is.
std::string BracketedNames(std::string sql);

// One connection to a data source.
class CDatabase {
  public:
    CDatabase();
    CDatabase(const CDatabase&) = delete;
    CDatabase& operator=(const CDatabase&) = delete;
    ~CDatabase();

    // Connects with a connect string such as "ODBC;DSN=Qel" (the "ODBC;"
    // prefix is optional). Never prompts. Throws DbError.
    void Open(const std::string& connect);
    void Close() noexcept;
    bool IsOpen() const noexcept { return static_cast<bool>(m_connection); }
    // Whether the driver knows the connection to be gone (the server ended
    // it, the network dropped): error is the failure that showed it, whose
    // SQLSTATE class 08 says so where the driver keeps no state of its own.
    bool IsLost(const DbError& error) const noexcept;

    // Manual-commit mode until CommitTrans or Rollback. With begin, the
    // transaction is opened by that statement in the database's own SQL
    // (e.g. one that takes the write lock at once) and ended by COMMIT or
    // ROLLBACK. Throws DbError.
    void BeginTrans(const std::string& begin = {});
    void CommitTrans();
    void Rollback();
    bool InTransaction() const noexcept { return m_inTransaction; }

    // Runs one statement that returns no rows. Throws DbError.
    void ExecuteSQL(const std::string& sql);

    // The database's own name as the driver gives it: "SQLite",
    // "PostgreSQL". Empty when the driver does not say.
    std::string DbmsName() const;
    bool IsSqlite() const noexcept { return m_sqlite; }
    // A PostgreSQL server, whose own SQL some statements use to save round
    // trips while other writers wait.
    bool IsPostgreSql() const noexcept { return m_postgresql; }
    // An Access database file (the Windows data folder's): no server lock,
    // no multi-row VALUES, no LIMIT or CAST, its own column types.
    bool IsAccess() const noexcept { return m_access; }

    // sql as this database takes it. Names are written in standard double
    // quotes; SQLite takes a double-quoted name that matches no column as a
    // text instead, so that a missing column would go unnoticed, and Access
    // reads every double-quoted word as a text: both get brackets, which
    // only ever name something.
    std::string NativeSql(std::string sql) const;

    // The raw connection handle, for the record sets.
    void* Handle() const noexcept { return m_connection.Get(); }

  private:
    void EndTransaction(short completion);

    OdbcHandle m_environment;
    OdbcHandle m_connection;
    bool m_inTransaction = false;
    bool m_sqlTransaction = false;  // opened by a statement, not the driver's mode
    bool m_sqlite = false;
    bool m_postgresql = false;
    bool m_access = false;
};

// Rolls the transaction back unless Commit was called: a failure or an early
// return leaves the database as it was before BeginTrans.
class Transaction {
  public:
    explicit Transaction(CDatabase& db, const std::string& begin = {});
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    ~Transaction();

    void Commit();
    void Rollback();

  private:
    CDatabase& m_db;
    bool m_active = true;
};

// Collects the columns a record set binds, in the order of its table. Called
// through CRecordset::DoFieldExchange.
class CFieldExchange {
  public:
    // The database-assigned key (an auto-number column): read back, never
    // written by an insert.
    void Key(std::string column, std::int32_t& value);
    void Long(std::string column, std::int32_t& value);
    // Texts are bound with their actual length: nothing is cut.
    void Text(std::string column, std::string& value);
    void Real(std::string column, double& value);

  private:
    friend class CRecordset;
    enum class Kind { Key, Long, Text, Real };
    struct Field {
        std::string column;  // as written in SQL, quoted: "Record_ID"
        Kind kind;
        void* member;
        bool isNull = false;
    };
    void Add(std::string column, Kind kind, void* member);

    std::vector<Field> m_fields;
};

// A query over one table whose columns are bound, by position, to members of
// the derived class. Reading a field is reading the member after Open or
// MoveNext. Rows are added with AddNew/Update and removed with Delete; rows
// are never changed in place.
class CRecordset {
  public:
    // All types give a forward-reading cursor; the type is kept for callers
    // written against the classic interface.
    enum OpenType { dynaset, snapshot, forwardOnly };
    // Open option: the record set only adds rows. Open checks that the table
    // and every bound column exist but reads no rows.
    static constexpr unsigned appendOnly = 0x1;
    // Open option, implies appendOnly: Update holds the row and writes rows a
    // batch at a time (see BatchInserter); Flush writes the rest. A write
    // error then surfaces at the Update that completed a batch or at Flush.
    // Close drops rows not flushed.
    static constexpr unsigned batchedAppend = 0x2;

    explicit CRecordset(CDatabase* db = nullptr);
    CRecordset(const CRecordset&) = delete;
    CRecordset& operator=(const CRecordset&) = delete;
    virtual ~CRecordset();

    virtual std::string GetDefaultConnect() const;
    // A quoted table name ("Info_tbl" with its quotes) or a whole SELECT.
    virtual std::string GetDefaultSQL() const = 0;
    virtual void DoFieldExchange(CFieldExchange& fx) = 0;

    // Connects with GetDefaultConnect() unless constructed on a database, then
    // runs sql (GetDefaultSQL() when empty; a bare table name selects the bound
    // columns) and reads the first row. Throws DbError.
    void Open(OpenType type = dynaset, const std::string& sql = {}, unsigned options = 0);
    bool IsOpen() const noexcept { return m_open; }
    void Close() noexcept;

    // Starts a new row: members take their defaults, the key is left to the
    // database. Every other field is written by Update unless SetFieldNull
    // marks it null.
    void AddNew();
    // Inserts the row started by AddNew (a prepared statement, reused for the
    // following rows). Throws DbError.
    void Update();
    // Writes the rows a batchedAppend record set still holds. Throws DbError.
    void Flush();
    // Deletes the current row, found by its key. Throws DbError.
    void Delete();
    void MoveNext();
    bool IsEOF() const noexcept { return m_eof; }

    void SetFieldNull(const void* member, bool isNull = true);
    bool IsFieldNull(const void* member) const;

  protected:
    CDatabase* m_pDatabase;
    int m_nFields = 0;  // the number of bound columns, checked against DoFieldExchange
    OpenType m_nDefaultType = dynaset;

  private:
    using Field = CFieldExchange::Field;
    Field& FindField(const void* member);
    const Field& FindField(const void* member) const;
    std::string TableName() const;
    void Fetch();
    void ReadCurrentRow();
    void ResetMembers();

    struct Statements;  // the statement handles and their parameter buffers

    std::unique_ptr<CDatabase> m_ownDatabase;
    std::unique_ptr<Statements> m_statements;
    std::unique_ptr<BatchInserter> m_batch;
    std::vector<Field> m_fields;
    bool m_open = false;
    bool m_eof = true;
    bool m_adding = false;
    bool m_readsRows = false;
};

}  // namespace lorvex::db
