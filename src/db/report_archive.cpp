#include "db/report_archive.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <set>
#include <stdexcept>
#include <variant>

#include "db/batch_insert.h"
#include "db/data_source.h"
#include "db/odbc.h"
#include "db/odbc_detail.h"
#include "db/resources_dir.h"
#include "db/schema_file.h"
#include "db/text_encoding.h"

namespace lorvex::db {

namespace {

constexpr const char* kArchiveTables[] = {"Report_tbl", "InfoArchive_tbl", "ResultArchive_tbl",
                                          "ObservationArchive_tbl"};

// A name in standard SQL quotes: PostgreSQL keeps its case, SQLite takes
// them too.
std::string Q(std::string_view name) { return "\"" + std::string(name) + "\""; }

// A value bound to a statement parameter: an integer, a text, a double, or
// NULL (monostate).
using Value = std::variant<std::monostate, std::int64_t, std::string, double>;

// One statement with its parameters bound from buffers that stay put until
// the next Execute. Each is run once: sent with its values in one go, not
// prepared first, which on a server saves the round trips of preparing and
// of dropping the prepared statement afterwards.
class Statement {
  public:
    Statement(CDatabase& db, const std::string& sql)
        : m_handle(detail::AllocateStatement(db.Handle())),
          m_text(ToDriverText(db.NativeSql(sql))) {}

    void Execute(const std::vector<Value>& values) {
        SQLHSTMT statement = m_handle.Get();
        detail::Check(SQLFreeStmt(statement, SQL_CLOSE), SQL_HANDLE_STMT, statement, "SQLFreeStmt");
        m_values = values;
        m_texts.assign(values.size(), {});
        m_indicators.assign(values.size(), 0);
        for (std::size_t i = 0; i < m_values.size(); ++i) {
            const auto number = static_cast<SQLUSMALLINT>(i + 1);
            SQLLEN& indicator = m_indicators[i];
            SQLRETURN ret = SQL_SUCCESS;
            if (std::holds_alternative<std::monostate>(m_values[i])) {
                indicator = SQL_NULL_DATA;
                ret = SQLBindParameter(statement, number, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR,
                                       1, 0, nullptr, 0, &indicator);
            } else if (auto* integer = std::get_if<std::int64_t>(&m_values[i])) {
                ret = SQLBindParameter(statement, number, SQL_PARAM_INPUT, SQL_C_SBIGINT,
                                       SQL_BIGINT, 0, 0, integer, 0, &indicator);
            } else if (auto* real = std::get_if<double>(&m_values[i])) {
                ret = SQLBindParameter(statement, number, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE,
                                       0, 0, real, 0, &indicator);
            } else {
                std::string& text = m_texts[i];
                text = ToDriverText(std::get<std::string>(m_values[i]));
                indicator = static_cast<SQLLEN>(text.size());
                // As the record sets bind texts: long ones as long varchar.
                const SQLSMALLINT sqlType = text.size() > 255 ? SQL_LONGVARCHAR : SQL_VARCHAR;
                ret = SQLBindParameter(statement, number, SQL_PARAM_INPUT, SQL_C_CHAR, sqlType,
                                       std::max<std::size_t>(text.size(), 1), 0, text.data(),
                                       static_cast<SQLLEN>(text.size()), &indicator);
            }
            detail::Check(ret, SQL_HANDLE_STMT, statement, "SQLBindParameter");
        }
        detail::Check(SQLExecDirect(statement, reinterpret_cast<SQLCHAR*>(m_text.data()),
                                    static_cast<SQLINTEGER>(m_text.size())),
                      SQL_HANDLE_STMT, statement, "SQLExecDirect");
    }

    // The rows of the last Execute, every column as text (nullopt for NULL).
    std::vector<std::vector<std::optional<std::string>>> Rows() {
        SQLHSTMT statement = m_handle.Get();
        SQLSMALLINT count = 0;
        detail::Check(SQLNumResultCols(statement, &count), SQL_HANDLE_STMT, statement,
                      "SQLNumResultCols");
        std::vector<std::vector<std::optional<std::string>>> rows;
        std::string raw;
        for (;;) {
            const SQLRETURN ret = SQLFetch(statement);
            if (ret == SQL_NO_DATA) break;
            detail::Check(ret, SQL_HANDLE_STMT, statement, "SQLFetch");
            auto& row = rows.emplace_back();
            for (SQLUSMALLINT column = 1; column <= static_cast<SQLUSMALLINT>(count); ++column) {
                if (detail::GetCharData(statement, column, raw)) {
                    row.emplace_back(FromDriverText(raw));
                } else {
                    row.emplace_back();
                }
            }
        }
        return rows;
    }

    // For a caller that binds the result's columns itself.
    SQLHSTMT Handle() const { return m_handle.Get(); }

  private:
    OdbcHandle m_handle;
    std::string m_text;
    std::vector<Value> m_values;
    std::vector<std::string> m_texts;
    std::vector<SQLLEN> m_indicators;
};

// A real column as a SELECT reads it back exactly. The SQLite driver hands
// a real on as text of 15 significant digits, which can be another double
// than the one stored; SQLite's own printf with 21 digits reads back the
// same. Other databases give enough digits themselves.
std::string ExactReal(bool sqlite, const std::string& column) {
    if (!sqlite) return Q(column);
    return "CASE WHEN " + Q(column) + " IS NULL THEN NULL ELSE printf('%!.20e', " + Q(column) +
           ") END";
}

std::int64_t ToInteger(const std::optional<std::string>& text) {
    if (!text) return 0;
    std::int64_t value = 0;
    std::from_chars(text->data(), text->data() + text->size(), value);
    return value;
}

double ParseReal(std::string_view text) {
    double value = 0.0;
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+') ++begin;
    if (std::from_chars(begin, end, value).ec != std::errc{}) {
        throw DbError("The archive holds \"" + std::string(text) + "\" where a number belongs.",
                      "22018");
    }
    return value;
}

std::optional<double> ToReal(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    return ParseReal(*text);
}

std::string Text(const std::optional<std::string>& text) { return text.value_or(std::string{}); }

std::string Folded(std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    return text;
}

// Whether a catalog result set (SQLTables, SQLColumns) lists wanted in its
// name column, compared folded. Every row is fetched, so the statement is
// left with nothing pending.
bool CatalogListsName(SQLHSTMT statement, SQLUSMALLINT nameColumn, const std::string& wanted) {
    bool found = false;
    std::string name;
    for (;;) {
        const SQLRETURN ret = SQLFetch(statement);
        if (ret == SQL_NO_DATA) break;
        detail::Check(ret, SQL_HANDLE_STMT, statement, "SQLFetch");
        if (detail::GetCharData(statement, nameColumn, name) && Folded(name) == wanted) {
            found = true;
        }
    }
    return found;
}

bool CatalogHasTable(CDatabase& db, std::string pattern, const std::string& wanted) {
    OdbcHandle handle = detail::AllocateStatement(db.Handle());
    SQLHSTMT statement = handle.Get();
    detail::Check(
        SQLTables(statement, nullptr, 0, nullptr, 0, reinterpret_cast<SQLCHAR*>(pattern.data()),
                  static_cast<SQLSMALLINT>(pattern.size()), nullptr, 0),
        SQL_HANDLE_STMT, statement, "SQLTables");
    return CatalogListsName(statement, 3, wanted);
}

// Asked through the catalog, not by a failing SELECT: on PostgreSQL a failed
// statement would end the transaction it ran in. PostgreSQL folds unquoted
// names to lower case, and some drivers match the pattern case-sensitively.
bool HasTable(CDatabase& db, const std::string& table) {
    const std::string folded = Folded(table);
    return CatalogHasTable(db, table, folded) || CatalogHasTable(db, folded, folded);
}

bool CatalogHasColumn(CDatabase& db, std::string table, std::string column) {
    OdbcHandle handle = detail::AllocateStatement(db.Handle());
    SQLHSTMT statement = handle.Get();
    detail::Check(
        SQLColumns(statement, nullptr, 0, nullptr, 0, reinterpret_cast<SQLCHAR*>(table.data()),
                   static_cast<SQLSMALLINT>(table.size()),
                   reinterpret_cast<SQLCHAR*>(column.data()),
                   static_cast<SQLSMALLINT>(column.size())),
        SQL_HANDLE_STMT, statement, "SQLColumns");
    return CatalogListsName(statement, 4, Folded(column));
}

bool HasColumn(CDatabase& db, const std::string& table, const std::string& column) {
    return CatalogHasColumn(db, table, column) ||
           CatalogHasColumn(db, Folded(table), Folded(column));
}

bool HasArchiveTables(CDatabase& db) {
    return std::all_of(std::begin(kArchiveTables), std::end(kArchiveTables),
                       [&](const char* table) { return HasTable(db, table); });
}

// The servers this process has seen with the whole archive, Checks
// included: asking the catalog costs a server several queries, and a writer
// would ask while it holds the lock every other writer waits for. A
// database is named by its server and database as the driver gives them.
class CompleteArchives {
  public:
    static bool Knows(CDatabase& db) {
        const std::lock_guard lock(s_mutex);
        return s_known.contains(Name(db));
    }
    static void Add(CDatabase& db) {
        const std::string name = Name(db);
        const std::lock_guard lock(s_mutex);
        s_known.insert(name);
    }

  private:
    static std::string Info(CDatabase& db, SQLUSMALLINT what) {
        SQLCHAR text[512] = {};
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(SQLGetInfo(db.Handle(), what, text, sizeof text, &length))) return {};
        return reinterpret_cast<const char*>(text);
    }
    static std::string Name(CDatabase& db) {
        return db.DbmsName() + '\n' + Info(db, SQL_SERVER_NAME) + '\n' +
               Info(db, SQL_DATABASE_NAME) + '\n' + Info(db, SQL_DATA_SOURCE_NAME);
    }
    static inline std::mutex s_mutex;
    static inline std::set<std::string> s_known;
};

// Whether db holds the archive tables with every column, asking the catalog
// only until the answer is yes.
// Only a server's answer is kept: the SQLite file answers at once.
bool HasCompleteArchive(CDatabase& db) {
    const bool server = !db.IsSqlite();
    if (server && CompleteArchives::Knows(db)) return true;
    if (!HasArchiveTables(db) || !HasColumn(db, "Report_tbl", "Checks")) return false;
    if (server) CompleteArchives::Add(db);
    return true;
}

// first (quoted already), then names, each quoted.
std::string ColumnList(std::string_view first, const std::vector<std::string>& names) {
    std::string list(first);
    for (const std::string& name : names) list += "," + Q(name);
    return list;
}

std::string Marks(std::size_t count) {
    std::string marks;
    for (std::size_t i = 0; i < count; ++i) marks += i == 0 ? "?" : ",?";
    return marks;
}

std::vector<std::string> InfoColumns() {
    std::vector<std::string> names;
    for (const auto& field : kReportHeaderFields) names.emplace_back(field.name);
    return names;
}

std::vector<std::string> ObservationColumns() {
    std::vector<std::string> names;
    for (const auto& field : kObservationRowFields) names.emplace_back(field.name);
    return names;
}

const std::vector<std::string> kResultColumns{"sStationSt", "sStationEn",   "dDis_Go",
                                              "dDis_Back",  "HeightAvg_Go", "HeightAvg_Back",
                                              "HeightAvg"};

Value Optional(const std::optional<double>& value) {
    return value ? Value(*value) : Value(std::monostate{});
}

}  // namespace

std::string UtcTimestampNow() {
    using namespace std::chrono;
    const auto now = floor<seconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day date{day};
    const hh_mm_ss time{now - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(time.hours().count()),
                  static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return text;
}

std::string CheckText(const LineCheck& check) {
    auto flags = [](const std::vector<Flag>& list) {
        std::string out;
        for (const Flag& flag : list) {
            if (!out.empty()) out += ',';
            out += std::string(flag.Id()) + ':' + std::to_string(flag.value) + ':' +
                   std::to_string(flag.limit);
        }
        return out;
    };
    // "grade count stations lengthDm height;line flags;i=flags i=flags", the
    // stations that pass left out: most of a long line passes.
    std::string text =
        std::to_string(int{check.grade}) + ' ' + std::to_string(check.stations.size()) + ' ' +
        std::to_string(check.run.stations) + ' ' + std::to_string(check.run.lengthDm) + ' ' +
        std::to_string(check.run.height) + ';' + flags(check.line) + ';';
    bool first = true;
    for (std::size_t i = 0; i < check.stations.size(); ++i) {
        if (check.stations[i].Passes()) continue;
        if (!first) text += ' ';
        first = false;
        text += std::to_string(i) + '=' + flags(check.stations[i].flags);
    }
    return text;
}

namespace {

// Far more stations than any measurement file holds.
constexpr std::size_t kMostStations = 10'000'000;

[[noreturn]] void BadCheckText(std::string_view text) {
    throw DbError(
        "The archive holds checks it cannot read: \"" + std::string(text.substr(0, 80)) + "\"",
        "22018");
}

// Reads one whole number from the front of text and the separator after it
// (or the end).
template <class Integer>
Integer TakeNumber(std::string_view& text, char separator, std::string_view whole) {
    Integer value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end == text.data()) BadCheckText(whole);
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    if (!text.empty()) {
        if (text.front() != separator) BadCheckText(whole);
        text.remove_prefix(1);
    }
    return value;
}

std::vector<Flag> FlagsFromText(std::string_view text, std::string_view whole) {
    std::vector<Flag> flags;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        std::string_view item = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
        const std::size_t colon = item.find(':');
        if (colon == std::string_view::npos) BadCheckText(whole);
        const std::string_view id = item.substr(0, colon);
        const auto rule = std::find_if(kAllRules.begin(), kAllRules.end(),
                                       [&](Rule r) { return RuleId(r) == id; });
        if (rule == kAllRules.end()) BadCheckText(whole);
        item.remove_prefix(colon + 1);
        Flag& flag = flags.emplace_back();
        flag.rule = *rule;
        flag.value = TakeNumber<std::int64_t>(item, ':', whole);
        if (item.empty()) BadCheckText(whole);
        flag.limit = TakeNumber<std::int64_t>(item, ':', whole);
        if (!item.empty()) BadCheckText(whole);
    }
    return flags;
}

}  // namespace

LineCheck CheckFromText(std::string_view text) {
    const std::string_view whole = text;
    const std::size_t first = text.find(';');
    const std::size_t second = first == std::string_view::npos ? first : text.find(';', first + 1);
    if (second == std::string_view::npos) BadCheckText(whole);
    std::string_view head = text.substr(0, first);
    LineCheck check;
    check.grade = static_cast<LevellingGrade>(TakeNumber<int>(head, ' ', whole));
    const auto count = TakeNumber<std::size_t>(head, ' ', whole);
    check.run.grade = check.grade;
    check.run.stations = TakeNumber<std::size_t>(head, ' ', whole);
    check.run.lengthDm = TakeNumber<std::int64_t>(head, ' ', whole);
    check.run.height = TakeNumber<std::int64_t>(head, ' ', whole);
    if (!head.empty()) BadCheckText(whole);
    // A damaged count must not ask for memory no line could need.
    if (count > kMostStations) BadCheckText(whole);
    check.stations.resize(count);
    check.line = FlagsFromText(text.substr(first + 1, second - first - 1), whole);
    std::string_view stations = text.substr(second + 1);
    while (!stations.empty()) {
        const std::size_t space = stations.find(' ');
        std::string_view item = stations.substr(0, space);
        stations =
            space == std::string_view::npos ? std::string_view{} : stations.substr(space + 1);
        const auto index = TakeNumber<std::size_t>(item, '=', whole);
        if (index >= count || item.empty()) BadCheckText(whole);
        check.stations[index].flags = FlagsFromText(item, whole);
    }
    return check;
}

void EnsureArchiveTables(CDatabase& db, const std::filesystem::path& resourcesDir) {
    if (HasCompleteArchive(db)) return;
    if (HasArchiveTables(db)) {
        // An archive from before the checks were kept gains their column;
        // its reports read back without checks.
        if (!HasColumn(db, "Report_tbl", "Checks")) {
            // Access's TEXT holds 255 characters; a line's checks need more.
            db.ExecuteSQL(std::string(R"(ALTER TABLE "Report_tbl" ADD COLUMN "Checks" )") +
                          (db.IsAccess() ? "MEMO" : "TEXT"));
        }
        return;
    }
    // A server gets its whole schema, every statement creating only what is
    // missing; the SQLite file has its last-report tables from schema.sql,
    // the Access file from the installation.
    const char* file = db.IsSqlite()   ? "archive.sql"
                       : db.IsAccess() ? kAccessArchiveFile
                                       : kServerSchemaFile;
    const std::vector<std::string> statements = SchemaStatements(ReadFile(resourcesDir / file));
    if (!db.IsAccess()) {
        for (const std::string& statement : statements) db.ExecuteSQL(statement);
        return;
    }
    // Access's SQL has no IF NOT EXISTS, and its driver commits each table
    // as it is created: after a run cut short, the tables already made are
    // kept, and an index is made only with its table.
    std::set<std::string> created;
    for (const std::string& statement : statements) {
        const std::optional<SchemaObject> object = WhatStatementCreates(statement);
        if (object && object->kind == SchemaObject::Kind::Table) {
            if (HasTable(db, object->table)) continue;
            created.insert(object->table);
        } else if (object && !created.contains(object->table)) {
            continue;
        }
        db.ExecuteSQL(statement);
    }
}

void EnsureServerSchema(CDatabase& db, const std::filesystem::path& resourcesDir) {
    const std::string dbms = db.DbmsName();
    if (dbms != "PostgreSQL") {
        throw std::runtime_error(
            "Lorvex keeps its reports on PostgreSQL or in its SQLite file, "
            "not on " +
            (dbms.empty() ? std::string("this database") : dbms));
    }
    for (const std::string& statement :
         SchemaStatements(ReadFile(resourcesDir / kServerSchemaFile))) {
        db.ExecuteSQL(statement);
    }
    EnsureArchiveTables(db, resourcesDir);
}

namespace {

enum class Stations { Send, CopyFromTable };

// Report_tbl's values for rows, after its id, in the order of kReportColumns.
std::vector<Value> ReportValues(const ReportRows& rows, const std::string& written,
                                const LineCheck* check) {
    return {written,
            CurrentUserName(),
            CurrentHostName(),
            std::filesystem::path(rows.fileName).filename().string(),
            rows.lineName,
            std::int64_t{rows.grade},
            static_cast<std::int64_t>(rows.observations.size()),
            rows.result.dDis_Go,
            rows.result.HeightAvg,
            check ? Value(CheckText(*check)) : Value(std::monostate{})};
}

const std::vector<std::string> kReportColumns{"Written",  "UserName", "HostName", "FileName",
                                              "LineName", "Grade",    "Stations", "Length_km",
                                              "Height_m", "Checks"};
// The SQL types of kReportColumns, and of kResultColumns, for the casts of
// a statement whose parameters only a cast gives a type.
const std::vector<const char*> kReportTypes{"TEXT",
                                            "TEXT",
                                            "TEXT",
                                            "TEXT",
                                            "TEXT",
                                            "INTEGER",
                                            "INTEGER",
                                            "DOUBLE PRECISION",
                                            "DOUBLE PRECISION",
                                            "TEXT"};
const std::vector<const char*> kResultTypes{"TEXT",
                                            "TEXT",
                                            "DOUBLE PRECISION",
                                            "DOUBLE PRECISION",
                                            "DOUBLE PRECISION",
                                            "DOUBLE PRECISION",
                                            "DOUBLE PRECISION"};

std::string Casts(const std::vector<const char*>& types) {
    std::string casts;
    for (const char* type : types) casts += std::string(",CAST(? AS ") + type + ")";
    return casts;
}

// On PostgreSQL the whole archiving is one statement, one round trip while
// the writer holds the lock every other writer waits for: the report's row
// takes the next id (the lock keeps MAX this writer's alone, whichever
// Lorvex version the other writers run), and the header, totals and stations
// rows follow it from that row. The stations are those the transaction has
// just written to Observation_tbl, numbered from 1 in the order written.
std::int64_t ArchiveWrittenOnServer(CDatabase& db, const ReportRows& rows,
                                    const std::string& written, const LineCheck* check) {
    std::string sql = R"(WITH "r" AS (INSERT INTO "Report_tbl" ()" +
                      ColumnList(R"("Report_ID")", kReportColumns) +
                      R"() SELECT COALESCE(MAX("Report_ID"), 0) + 1)" + Casts(kReportTypes) +
                      R"( FROM "Report_tbl" RETURNING "Report_ID"), )";
    std::vector<Value> values = ReportValues(rows, written, check);

    const std::vector<std::string> infoColumns = InfoColumns();
    sql += R"("i" AS (INSERT INTO "InfoArchive_tbl" ()" +
           ColumnList(R"("Report_ID","Record_ID")", infoColumns) + R"() SELECT "Report_ID",1)" +
           Casts(std::vector<const char*>(infoColumns.size(), "TEXT")) + R"( FROM "r"), )";
    for (const auto& field : kReportHeaderFields) values.emplace_back(rows.info.*field.member);

    sql += R"("s" AS (INSERT INTO "ResultArchive_tbl" ()" +
           ColumnList(R"("Report_ID","Record_ID")", kResultColumns) + R"() SELECT "Report_ID",1)" +
           Casts(kResultTypes) + R"( FROM "r"), )";
    const ResultRow& r = rows.result;
    for (Value value :
         {Value(r.sStationSt), Value(r.sStationEn), Value(r.dDis_Go), Value(r.dDis_Back),
          Optional(r.HeightAvg_Go), Optional(r.HeightAvg_Back), Value(r.HeightAvg)}) {
        values.push_back(std::move(value));
    }

    std::string names;
    for (const std::string& name : ObservationColumns()) names += R"(,"o".)" + Q(name);
    sql += R"("t" AS (INSERT INTO "ObservationArchive_tbl" ()" +
           ColumnList(R"("Report_ID","Record_ID")", ObservationColumns()) +
           R"() SELECT "r"."Report_ID","o"."Record_ID" - "f"."First" + 1)" + names +
           R"( FROM "r", "Observation_tbl" "o",)"
           R"( (SELECT MIN("Record_ID") AS "First" FROM "Observation_tbl") "f"))"
           R"( SELECT "Report_ID" FROM "r")";

    Statement archive(db, sql);
    archive.Execute(values);
    const auto id = archive.Rows();
    if (id.empty() || !id[0][0]) throw DbError("The archive gave the report no id.", "HY000");
    return ToInteger(id[0][0]);
}

std::int64_t Archive(CDatabase& db, const ReportRows& rows, const std::string& written,
                     const LineCheck* check, Stations stations) {
    EnsureArchiveTables(db, ResourcesDir());
    if (stations == Stations::CopyFromTable && db.IsPostgreSql()) {
        return ArchiveWrittenOnServer(db, rows, written, check);
    }
    // Access has no CAST to give the copy's report id its type: its
    // stations are sent, one statement a row.
    if (db.IsAccess()) stations = Stations::Send;

    // The writer holds the database's write lock for the whole transaction,
    // so the next id cannot be taken by another writer before the commit.
    Statement last(db, R"(SELECT MAX("Report_ID") FROM "Report_tbl")");
    last.Execute({});
    const auto found = last.Rows();
    const std::int64_t id = (found.empty() ? 0 : ToInteger(found[0][0])) + 1;

    Statement report(db, R"(INSERT INTO "Report_tbl" ()" +
                             ColumnList(R"("Report_ID")", kReportColumns) + ") VALUES (" +
                             Marks(1 + kReportColumns.size()) + ")");
    std::vector<Value> reportValues{id};
    for (Value& value : ReportValues(rows, written, check))
        reportValues.push_back(std::move(value));
    report.Execute(reportValues);

    const std::vector<std::string> infoColumns = InfoColumns();
    Statement info(db, R"(INSERT INTO "InfoArchive_tbl" ()" +
                           ColumnList(R"("Report_ID","Record_ID")", infoColumns) + ") VALUES (" +
                           Marks(2 + infoColumns.size()) + ")");
    std::vector<Value> values{id, std::int64_t{1}};
    for (const auto& field : kReportHeaderFields) values.emplace_back(rows.info.*field.member);
    info.Execute(values);

    Statement result(db, R"(INSERT INTO "ResultArchive_tbl" ()" +
                             ColumnList(R"("Report_ID","Record_ID")", kResultColumns) +
                             ") VALUES (" + Marks(2 + kResultColumns.size()) + ")");
    const ResultRow& r = rows.result;
    result.Execute({id, std::int64_t{1}, r.sStationSt, r.sStationEn, r.dDis_Go, r.dDis_Back,
                    Optional(r.HeightAvg_Go), Optional(r.HeightAvg_Back), r.HeightAvg});

    if (stations == Stations::CopyFromTable) {
        // The database copies the rows it has just written: numbered from 1
        // in the order written, which the key keeps within one transaction.
        std::string names;
        for (const std::string& name : ObservationColumns()) names += "," + Q(name);
        Statement copy(db, R"(INSERT INTO "ObservationArchive_tbl" ("Report_ID","Record_ID")" +
                               names +
                               R"() SELECT CAST(? AS INTEGER),"Record_ID" - )"
                               R"((SELECT MIN("Record_ID") FROM "Observation_tbl") + 1)" +
                               names + R"( FROM "Observation_tbl")");
        copy.Execute({id});
        return id;
    }
    // The stations go in batches, as into Observation_tbl: one statement
    // per batch of rows, a round trip each on a server.
    std::vector<InsertColumn> columns{{Q("Report_ID"), ColumnType::Long},
                                      {Q("Record_ID"), ColumnType::Long}};
    for (const std::string& name : ObservationColumns()) {
        columns.push_back({Q(name), ColumnType::Text});
    }
    BatchInserter observations(db, Q("ObservationArchive_tbl"), std::move(columns));
    std::int32_t number = 0;
    for (std::size_t r = 0; r < rows.observations.size(); ++r) {
        observations.Long(static_cast<std::int32_t>(id));
        observations.Long(++number);
        for (std::size_t c = 0; c < kObservationRowFields.size(); ++c)
            observations.Text(rows.observations.Text(r, c));
        observations.EndRow();
    }
    observations.Flush();
    return id;
}

}  // namespace

std::int64_t ArchiveReport(CDatabase& db, const ReportRows& rows, const std::string& written,
                           const LineCheck* check) {
    return Archive(db, rows, written, check, Stations::Send);
}

std::int64_t ArchiveWrittenReport(CDatabase& db, const ReportRows& rows, const std::string& written,
                                  const LineCheck* check) {
    return Archive(db, rows, written, check, Stations::CopyFromTable);
}

void ForEachArchivedReport(std::optional<std::int64_t> limit,
                           const std::optional<std::string>& lineName,
                           const std::function<void(const ArchivedReport&)>& visit) {
    CDatabase db;
    db.Open(std::string(kConnectString));
    // A database from before the archive has archived nothing yet.
    if (!HasCompleteArchive(db) && !HasArchiveTables(db)) return;
    const bool sqlite = db.IsSqlite();
    // The fixed-size columns first, bound once and filled by every fetch;
    // the texts after them, read by SQLGetData (which drivers allow only
    // for columns past the last bound one).
    std::string sql = R"(SELECT "Report_ID","Grade","Stations",)" + ExactReal(sqlite, "Length_km") +
                      "," + ExactReal(sqlite, "Height_m") +
                      R"(,"Written","UserName","HostName","FileName","LineName" FROM "Report_tbl")";
    std::vector<Value> values;
    if (lineName) {
        sql += R"( WHERE "LineName" = ?)";
        values.emplace_back(*lineName);
    }
    // Newest first; ids grow with every report, so they order reports
    // written within the same second.
    sql += R"( ORDER BY "Written" DESC, "Report_ID" DESC)";
    // Access knows no LIMIT: the fetch stops there instead.
    const std::int64_t most = limit ? std::max<std::int64_t>(*limit, 0) : -1;
    if (limit && !db.IsAccess()) {
        sql += " LIMIT ?";
        values.emplace_back(most);
    }
    Statement query(db, sql);
    query.Execute(values);

    SQLHSTMT statement = query.Handle();
    SQLBIGINT integers[3] = {};
    SQLLEN integerIndicators[3] = {};
    for (SQLUSMALLINT i = 0; i < 3; ++i) {
        detail::Check(SQLBindCol(statement, static_cast<SQLUSMALLINT>(i + 1), SQL_C_SBIGINT,
                                 &integers[i], 0, &integerIndicators[i]),
                      SQL_HANDLE_STMT, statement, "SQLBindCol");
    }
    // A double's text: at most 21 significant digits, sign and exponent.
    char reals[2][64] = {};
    SQLLEN realIndicators[2] = {};
    for (SQLUSMALLINT i = 0; i < 2; ++i) {
        detail::Check(SQLBindCol(statement, static_cast<SQLUSMALLINT>(i + 4), SQL_C_CHAR, reals[i],
                                 sizeof reals[i], &realIndicators[i]),
                      SQL_HANDLE_STMT, statement, "SQLBindCol");
    }
    const auto integer = [&](int i) -> std::int64_t {
        return integerIndicators[i] == SQL_NULL_DATA ? 0 : integers[i];
    };
    const auto real = [&](int i) -> double {
        const SQLLEN indicator = realIndicators[i];
        if (indicator == SQL_NULL_DATA) return 0.0;
        if (indicator < 0 || indicator >= static_cast<SQLLEN>(sizeof reals[i])) {
            throw DbError("The archive holds a number too long to be one.", "22018");
        }
        return ParseReal(std::string_view(reals[i], static_cast<std::size_t>(indicator)));
    };

    ArchivedReport report;
    std::string raw;
    std::string* const texts[] = {&report.written, &report.user, &report.host, &report.file,
                                  &report.line};
    for (std::int64_t fetched = 0; most < 0 || fetched < most; ++fetched) {
        const SQLRETURN ret = SQLFetch(statement);
        if (ret == SQL_NO_DATA) break;
        detail::Check(ret, SQL_HANDLE_STMT, statement, "SQLFetch");
        report.id = integer(0);
        report.grade = static_cast<LevellingGrade>(integer(1));
        report.stations = integer(2);
        report.lengthKm = real(0);
        report.heightM = real(1);
        for (SQLUSMALLINT i = 0; i < 5; ++i) {
            if (detail::GetCharData(statement, static_cast<SQLUSMALLINT>(i + 6), raw)) {
                *texts[i] = FromDriverText(raw);
            } else {
                texts[i]->clear();
            }
        }
        visit(report);
    }
}

std::vector<ArchivedReport> ListArchivedReports(std::optional<std::int64_t> limit,
                                                const std::optional<std::string>& lineName) {
    std::vector<ArchivedReport> reports;
    ForEachArchivedReport(limit, lineName,
                          [&](const ArchivedReport& report) { reports.push_back(report); });
    return reports;
}

std::optional<ArchivedRows> ReadArchivedReport(std::int64_t id) {
    CDatabase db;
    db.Open(std::string(kConnectString));
    const bool complete = HasCompleteArchive(db);
    if (!complete && !HasArchiveTables(db)) return std::nullopt;
    const bool sqlite = db.IsSqlite();
    // No transaction needed: an archived report is committed whole and
    // never changed afterwards; writers only add reports.
    // An archive from before the checks were kept, not yet upgraded: its
    // reports have none.
    const bool checks = complete || HasColumn(db, "Report_tbl", "Checks");
    Statement report(db, std::string(R"(SELECT "Grade","FileName","LineName")") +
                             (checks ? R"(,"Checks")" : "") +
                             R"( FROM "Report_tbl" WHERE "Report_ID" = ?)");
    report.Execute({id});
    const auto found = report.Rows();
    if (found.empty()) return std::nullopt;

    ArchivedRows archived;
    if (checks && found[0][3]) archived.check = CheckFromText(*found[0][3]);
    ReportRows& rows = archived.rows;
    rows.grade = static_cast<LevellingGrade>(ToInteger(found[0][0]));
    rows.fileName = Text(found[0][1]);
    rows.lineName = Text(found[0][2]);

    Statement info(db, "SELECT " + ColumnList(R"("Record_ID")", InfoColumns()) +
                           R"( FROM "InfoArchive_tbl" WHERE "Report_ID" = ? ORDER BY "Record_ID")");
    info.Execute({id});
    for (const auto& row : info.Rows()) {
        for (std::size_t i = 0; i < kReportHeaderFields.size(); ++i) {
            rows.info.*kReportHeaderFields[i].member = Text(row[i + 1]);
        }
    }

    std::string resultColumns = R"("sStationSt","sStationEn")";
    for (std::size_t i = 2; i < kResultColumns.size(); ++i) {
        resultColumns += "," + ExactReal(sqlite, kResultColumns[i]);
    }
    Statement result(db,
                     "SELECT " + resultColumns +
                         R"( FROM "ResultArchive_tbl" WHERE "Report_ID" = ? ORDER BY "Record_ID")");
    result.Execute({id});
    for (const auto& row : result.Rows()) {
        ResultRow& r = rows.result;
        r.sStationSt = Text(row[0]);
        r.sStationEn = Text(row[1]);
        r.dDis_Go = ToReal(row[2]).value_or(0.0);
        r.dDis_Back = ToReal(row[3]).value_or(0.0);
        r.HeightAvg_Go = ToReal(row[4]);
        r.HeightAvg_Back = ToReal(row[5]);
        r.HeightAvg = ToReal(row[6]).value_or(0.0);
    }
    rows.totals.length = rows.result.dDis_Go;
    rows.totals.heightDifference = rows.result.HeightAvg;

    Statement observations(db, "SELECT " + ColumnList(R"("Record_ID")", ObservationColumns()) +
                                   R"( FROM "ObservationArchive_tbl" WHERE "Report_ID" = ?)"
                                   R"( ORDER BY "Record_ID")");
    observations.Execute({id});
    for (const auto& row : observations.Rows()) {
        ObservationRow o;
        for (std::size_t i = 0; i < kObservationRowFields.size(); ++i) {
            o.*kObservationRowFields[i].member = Text(row[i + 1]);
        }
        rows.observations.push_back(o);
    }
    return archived;
}

}  // namespace lorvex::db
