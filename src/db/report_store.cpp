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

// Everything between BeginTrans and CommitTrans. Returns false when a table
// could not be opened, after showing the same messages as a write without a
// transaction would. Throws DbError for any failure after a table opened.
bool WriteInTransaction(CDatabase& db, const ReportRows& rows, MessageSink& sink,
                        const LineCheck* check) {
    COrObservationSet observations(&db);
    COrInfoSet info(&db);
    COrResultSet result(&db);
    // The order in which the tables are emptied.
    TableWriter tables[] = {{observations, {}}, {info, {}}, {result, {}}};
    TableWriter& observationTable = tables[0];
    TableWriter& infoTable = tables[1];
    TableWriter& resultTable = tables[2];

    // Empty every table that opens; the emptying reports its first failure
    // once. Whatever fails, the caller commits nothing.
    bool complete = true;
    for (TableWriter& table : tables) {
        // A line's stations go in batches: one statement per batch of rows.
        table.Open(&table == &observationTable ? CRecordset::batchedAppend
                                               : CRecordset::appendOnly);
        if (!table.IsOpen()) {
            if (complete) Warn(sink, *table.openError);
            complete = false;
            continue;
        }
        db.ExecuteSQL("DELETE FROM " + table.set.GetDefaultSQL());
    }

    if (infoTable.IsOpen()) {
        info.AddNew();
        info.Assign(rows.info);
        info.Update();
    } else {
        Warn(sink, *infoTable.openError);
    }

    if (resultTable.IsOpen()) {
        result.AddNew();
        result.Assign(rows.result);
        result.Update();
    } else {
        Warn(sink, *resultTable.openError);
    }

    for (const ObservationRow& row : rows.observations) {
        if (!observationTable.IsOpen()) {
            // Each station's row fails on its own; the table is not retried,
            // which under a lock would cost the busy timeout per station.
            Warn(sink, *observationTable.openError);
            continue;
        }
        observations.AddNew();
        observations.Assign(row);
        observations.Update();
    }
    if (observationTable.IsOpen()) observations.Flush();

    for (TableWriter& table : tables) table.set.Close();
    // Every report written is also kept, in the same transaction.
    if (complete) ArchiveWrittenReport(db, rows, UtcTimestampNow(), check);
    return complete;
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
    CDatabase db;
    try {
        db.Open(std::string(kConnectString));
    } catch (const DbError& e) {
        // No table can be opened: the emptying and every row report it, as
        // each would on a connection of its own. A driver that only says
        // "connect failed" gets the missing file named beside its words.
        std::string text = e.what();
        const std::filesystem::path database = GetDataFolder() / DatabaseFileName();
        std::error_code ignored;
        if (!ServerAttributes() && !std::filesystem::exists(database, ignored)) {
            text += "\n" + database.string() + ": database file not found";
        }
        const UserMessage message{text, MessageIcon::Warning};
        const std::size_t failures = 1 + 2 + rows.observations.size();
        for (std::size_t i = 0; i < failures; ++i) sink.Show(message);
        return WriteOutcome::Incomplete;
    }

    std::optional<std::string> failure;
    bool complete = true;
    try {
        std::optional<Transaction> transaction;
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
        } else {
            // A server: the driver's transaction, and the last-report tables
            // locked against other writers (readers go on reading the last
            // committed report) until the commit, so that crews writing at
            // once queue and the archive's next id is this writer's alone.
            transaction.emplace(db);
            // The catalog is asked before the lock, not while others wait.
            EnsureArchiveTables(db, ResourcesDir());
            db.ExecuteSQL(R"(LOCK TABLE "Info_tbl", "Result_tbl", "Observation_tbl")"
                          " IN EXCLUSIVE MODE");
        }
        complete = WriteInTransaction(db, rows, sink, check);
        // All or nothing: a table that could not be opened keeps the whole
        // new report out, so the tables never mix two reports.
        if (complete) transaction->Commit();
    } catch (const DbError& e) {
        // The transaction has been rolled back: the previous report is whole.
        failure = e.what();
    }
    if (failure) {
        sink.Show(UserMessage{*failure, MessageIcon::Stop});
        return WriteOutcome::Failed;
    }
    return complete ? WriteOutcome::Written : WriteOutcome::Incomplete;
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
