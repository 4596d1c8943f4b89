#include "db/report_store.h"

#include <filesystem>
#include <optional>
#include <string>

#include "db/data_source.h"
#include "db/odbc.h"
#include "db/record_sets.h"
#include "db/report_archive.h"
#include "db/resources_dir.h"

namespace lorvex::db {

namespace {

void Warn(MessageSink& sink, const DbError& error) {
    sink.Show(UserMessage{error.what(), MessageIcon::Warning});
}

// One table of a report being written: its record set, opened once for the
// emptying and the inserts, or the error that kept it closed.
struct TableWriter {
    CRecordset& set;
    std::optional<DbError> openError;

    void Open(unsigned options = CRecordset::appendOnly) {
        try {
            set.Open(CRecordset::dynaset, {}, options);
        } catch (const DbError& e) {
            openError = e;
        }
    }
    bool IsOpen() const { return !openError.has_value(); }
};

// The three tables of a report being written, each opened once for the
// emptying and the inserts. Opening reads no rows, so it is done before the
// lock that other writers wait for.
struct ReportTables {
    explicit ReportTables(CDatabase& db) : observations(&db), info(&db), result(&db) {}

    // Opens every table, keeping each failure for the messages.
    void Open() {
        // A line's stations go in batches: one statement per batch of rows.
        observationTable.Open(CRecordset::batchedAppend);
        infoTable.Open();
        resultTable.Open();
    }
    bool Complete() const {
        return observationTable.IsOpen() && infoTable.IsOpen() && resultTable.IsOpen();
    }
    const DbError* FirstError() const {
        for (const TableWriter* table : {&observationTable, &infoTable, &resultTable}) {
            if (!table->IsOpen()) return &*table->openError;
        }
        return nullptr;
    }

    COrObservationSet observations;
    COrInfoSet info;
    COrResultSet result;
    // The order in which the tables are emptied.
    TableWriter observationTable{observations, {}};
    TableWriter infoTable{info, {}};
    TableWriter resultTable{result, {}};
};

// Everything between the lock and CommitTrans, the tables opened already.
// Returns false when a table could not be opened, after showing the same
// messages as a write without a transaction would. Throws DbError for any
// failure after a table opened.
bool WriteInTransaction(CDatabase& db, ReportTables& tables, const ReportRows& rows,
                        MessageSink& sink, const LineCheck* check) {
    // Empty every table that opened; the emptying reports its first failure
    // once. Whatever fails, the caller commits nothing.
    const bool complete = tables.Complete();
    if (!complete) Warn(sink, *tables.FirstError());
    if (complete && db.IsPostgreSql()) {
        // One statement, one round trip under the lock, for the three.
        db.ExecuteSQL(R"(WITH "i" AS (DELETE FROM "Info_tbl"), "r" AS (DELETE FROM "Result_tbl"))"
                      R"( DELETE FROM "Observation_tbl")");
    } else {
        for (TableWriter* table :
             {&tables.observationTable, &tables.infoTable, &tables.resultTable}) {
            if (table->IsOpen()) db.ExecuteSQL("DELETE FROM " + table->set.GetDefaultSQL());
        }
    }

    if (tables.infoTable.IsOpen()) {
        tables.info.AddNew();
        tables.info.Assign(rows.info);
        tables.info.Update();
    } else {
        Warn(sink, *tables.infoTable.openError);
    }

    if (tables.resultTable.IsOpen()) {
        tables.result.AddNew();
        tables.result.Assign(rows.result);
        tables.result.Update();
    } else {
        Warn(sink, *tables.resultTable.openError);
    }

    for (const ObservationRow& row : rows.observations) {
        if (!tables.observationTable.IsOpen()) {
            // Each station's row fails on its own; the table is not retried,
            // which under a lock would cost the busy timeout per station.
            Warn(sink, *tables.observationTable.openError);
            continue;
        }
        tables.observations.AddNew();
        tables.observations.Assign(row);
        tables.observations.Update();
    }
    if (tables.observationTable.IsOpen()) tables.observations.Flush();

    // Every report written is also kept, in the same transaction.
    if (complete) ArchiveWrittenReport(db, rows, UtcTimestampNow(), check);
    return complete;
}

// A report's write on db that a fresh connection may take over: the kept
// connection was found ended before anything of the report was shown or
// committed, so the server has rolled back whatever had been sent.
struct ConnectionLost {};

// One report in one transaction on db. With retryable, a connection found
// ended before anything was shown or committed throws ConnectionLost.
WriteOutcome WriteOn(CDatabase& db, const ReportRows& rows, MessageSink& sink,
                     const LineCheck* check, bool retryable) {
    std::optional<std::string> failure;
    bool complete = true;
    bool committing = false;
    try {
        std::optional<Transaction> transaction;
        std::optional<ReportTables> tables;
        if (db.IsSqlite()) {
            try {
                transaction.emplace(db, BeginWriteStatement());
            } catch (const DbError&) {
                // A database that refuses the write lock (a damaged file,
                // another writer past the busy timeout) is written to as
                // without it: the table opens and the first write then say
                // what is wrong, in the driver's words, as they always have.
                transaction.emplace(db);
            }
            tables.emplace(db);
            tables->Open();
        } else if (db.IsAccess()) {
            // The Access file: the driver's transaction, in which the driver
            // takes its locks as the statements need them; Access has no
            // LOCK TABLE.
            transaction.emplace(db);
            tables.emplace(db);
            tables->Open();
        } else {
            // A server: the driver's transaction, and the last-report tables
            // locked against other writers (readers go on reading the last
            // committed report) until the commit, so that crews writing at
            // once queue and the archive's next id is this writer's alone.
            transaction.emplace(db);
            // The catalog is asked, and the tables opened, before the lock,
            // not while others wait.
            EnsureArchiveTables(db, ResourcesDir());
            tables.emplace(db);
            tables->Open();
            if (const DbError* error = tables->FirstError();
                error != nullptr && retryable && db.IsLost(*error)) {
                throw ConnectionLost{};
            }
            db.ExecuteSQL(R"(LOCK TABLE "Info_tbl", "Result_tbl", "Observation_tbl")"
                          " IN EXCLUSIVE MODE");
        }
        complete = WriteInTransaction(db, *tables, rows, sink, check);
        // All or nothing: a table that could not be opened keeps the whole
        // new report out, so the tables never mix two reports.
        if (complete) {
            committing = true;
            transaction->Commit();
        }
    } catch (const DbError& e) {
        // The transaction has been rolled back: the previous report is whole.
        // Only a report whose tables all opened has shown nothing yet.
        if (retryable && !committing && complete && db.IsLost(e)) throw ConnectionLost{};
        failure = e.what();
    }
    if (failure) {
        sink.Show(UserMessage{*failure, MessageIcon::Stop});
        return WriteOutcome::Failed;
    }
    return complete ? WriteOutcome::Written : WriteOutcome::Incomplete;
}

template <class Set>
bool EmptyTable(const char* query, MessageSink& sink) {
    Set set;
    try {
        set.Open(CRecordset::dynaset, query);
    } catch (const DbError& e) {
        Warn(sink, e);
        return false;
    }
    while (!set.IsEOF()) {
        set.Delete();
        set.MoveNext();
    }
    set.Close();
    return true;
}

template <class Set, class Row>
bool AppendRow(const Row& row, MessageSink& sink) {
    Set set;
    try {
        // Adding a row needs no existing rows: the open only checks the
        // table and its columns.
        set.Open(CRecordset::dynaset, {}, CRecordset::appendOnly);
    } catch (const DbError& e) {
        Warn(sink, e);
        return false;
    }
    set.AddNew();
    set.Assign(row);
    set.Update();
    set.Close();
    return true;
}

}  // namespace

WriteOutcome WriteReportTables(const ReportRows& rows, MessageSink& sink, const LineCheck* check) {
    ReportWriter writer;
    return writer.Write(rows, sink, check);
}

ReportWriter::ReportWriter() = default;

ReportWriter::~ReportWriter() = default;

WriteOutcome ReportWriter::Write(const ReportRows& rows, MessageSink& sink,
                                 const LineCheck* check) {
    // A kept connection serves only the server it was opened for: after
    // install-data --server or --local, "Qel" reaches another database.
    std::optional<std::string> server;
    try {
        server = ServerAttributes();
    } catch (const std::exception&) {
        // Unreadable: the connection attempt below says what is wrong.
    }
    if (m_db && (!server || *server != m_server)) m_db.reset();

    const bool kept = m_db != nullptr;
    if (kept) {
        try {
            const WriteOutcome outcome = WriteOn(*m_db, rows, sink, check, true);
            return outcome;
        } catch (const ConnectionLost&) {
            // Ended while the window sat idle: a fresh connection writes it.
            m_db.reset();
        }
    }

    auto db = std::make_unique<CDatabase>();
    try {
        db->Open(std::string(kConnectString));
    } catch (const DbError& e) {
        // No table can be opened: the emptying and every row report it, as
        // each would on a connection of its own. A driver that only says
        // "connect failed" gets the missing file named beside its words.
        std::string text = e.what();
        const std::filesystem::path database = GetDataFolder() / DatabaseFileName();
        std::error_code ignored;
        if (!server && !std::filesystem::exists(database, ignored)) {
            text += "\n" + database.string() + ": database file not found";
        }
        const UserMessage message{text, MessageIcon::Warning};
        const std::size_t failures = 1 + 2 + rows.observations.size();
        for (std::size_t i = 0; i < failures; ++i) sink.Show(message);
        return WriteOutcome::Incomplete;
    }
    const WriteOutcome outcome = WriteOn(*db, rows, sink, check, false);
    if (!db->IsSqlite() && server) {
        m_db = std::move(db);
        m_server = *server;
    }
    return outcome;
}

bool EmptyTables(MessageSink& sink) {
    return EmptyTable<COrObservationSet>(R"(SELECT * FROM "Observation_tbl")", sink) &&
           EmptyTable<COrInfoSet>(R"(SELECT * FROM "Info_tbl")", sink) &&
           EmptyTable<COrResultSet>(R"(SELECT * FROM "Result_tbl")", sink);
}

bool AppendInfoRow(const ReportHeader& header, MessageSink& sink) {
    return AppendRow<COrInfoSet>(header, sink);
}

bool AppendResultRow(const ResultRow& row, MessageSink& sink) {
    return AppendRow<COrResultSet>(row, sink);
}

bool AppendObservationRow(const ObservationRow& row, MessageSink& sink) {
    return AppendRow<COrObservationSet>(row, sink);
}

}  // namespace lorvex::db
