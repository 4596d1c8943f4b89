#include "db/report_archive.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <variant>

#include "db/data_source.h"
#include "db/odbc.h"
#include "db/odbc_detail.h"
#include "db/resources_dir.h"
#include "db/text_encoding.h"

namespace lorvex::db {

namespace {

constexpr const char* kArchiveTables[] = {"Report_tbl", "InfoArchive_tbl", "ResultArchive_tbl",
                                          "ObservationArchive_tbl"};

// A value bound to a statement parameter: an integer, a text, a double, or
// NULL (monostate).
using Value = std::variant<std::monostate, std::int64_t, std::string, double>;

// One statement with its parameters bound from buffers that stay put until
// the next Execute, prepared once and run for every row.
class Statement {
  public:
    Statement(CDatabase& db, const std::string& sql)
        : m_handle(detail::AllocateStatement(db.Handle())) {
        std::string text = ToDriverText(sql);
        detail::Check(SQLPrepare(m_handle.Get(), reinterpret_cast<SQLCHAR*>(text.data()),
                                 static_cast<SQLINTEGER>(text.size())),
                      SQL_HANDLE_STMT, m_handle.Get(), "SQLPrepare");
    }

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
        detail::Check(SQLExecute(statement), SQL_HANDLE_STMT, statement, "SQLExecute");
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

  private:
    OdbcHandle m_handle;
    std::vector<Value> m_values;
    std::vector<std::string> m_texts;
    std::vector<SQLLEN> m_indicators;
};

bool IsSqlite(CDatabase& db) {
    SQLCHAR name[64] = {};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfo(db.Handle(), SQL_DBMS_NAME, name, sizeof name, &length))) {
        return false;
    }
    return std::string(reinterpret_cast<const char*>(name)) == "SQLite";
}

// A real column as a SELECT reads it back exactly. The SQLite driver hands
// a real on as text of 15 significant digits, which can be another double
// than the one stored; SQLite's own printf with 21 digits reads back the
// same. Other databases give enough digits themselves.
std::string ExactReal(bool sqlite, const std::string& column) {
    if (!sqlite) return column;
    return "CASE WHEN " + column + " IS NULL THEN NULL ELSE printf('%!.20e', " + column + ") END";
}

std::int64_t ToInteger(const std::optional<std::string>& text) {
    if (!text) return 0;
    std::int64_t value = 0;
    std::from_chars(text->data(), text->data() + text->size(), value);
    return value;
}

std::optional<double> ToReal(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    double value = 0.0;
    const char* begin = text->data();
    const char* end = begin + text->size();
    if (begin != end && *begin == '+') ++begin;
    const auto [last, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc{}) {
        throw DbError("The archive holds \"" + *text + "\" where a number belongs.", "22018");
    }
    (void)last;
    return value;
}

std::string Text(const std::optional<std::string>& text) { return text.value_or(std::string{}); }

std::string Folded(std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    return text;
}

bool CatalogHasTable(CDatabase& db, std::string pattern, const std::string& wanted) {
    OdbcHandle handle = detail::AllocateStatement(db.Handle());
    SQLHSTMT statement = handle.Get();
    detail::Check(
        SQLTables(statement, nullptr, 0, nullptr, 0, reinterpret_cast<SQLCHAR*>(pattern.data()),
                  static_cast<SQLSMALLINT>(pattern.size()), nullptr, 0),
        SQL_HANDLE_STMT, statement, "SQLTables");
    bool found = false;
    std::string name;
    for (;;) {
        const SQLRETURN ret = SQLFetch(statement);
        if (ret == SQL_NO_DATA) break;
        detail::Check(ret, SQL_HANDLE_STMT, statement, "SQLFetch");
        if (detail::GetCharData(statement, 3, name) && Folded(name) == wanted) found = true;
    }
    return found;
}

// Asked through the catalog, not by a failing SELECT: on PostgreSQL a failed
// statement would end the transaction it ran in. PostgreSQL folds unquoted
// names to lower case, and some drivers match the pattern case-sensitively.
bool HasTable(CDatabase& db, const std::string& table) {
    const std::string folded = Folded(table);
    return CatalogHasTable(db, table, folded) || CatalogHasTable(db, folded, folded);
}

bool HasArchiveTables(CDatabase& db) {
    return std::all_of(std::begin(kArchiveTables), std::end(kArchiveTables),
                       [&](const char* table) { return HasTable(db, table); });
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw std::runtime_error("cannot read " + path.string());
    return bytes;
}

// The statements of a schema file: "--" comments dropped, split at ';'.
std::vector<std::string> Statements(const std::string& schema) {
    std::string code;
    std::size_t start = 0;
    while (start < schema.size()) {
        std::size_t end = schema.find('\n', start);
        if (end == std::string::npos) end = schema.size();
        std::string line = schema.substr(start, end - start);
        const auto comment = line.find("--");
        if (comment != std::string::npos) line.erase(comment);
        code += line;
        code += '\n';
        start = end + 1;
    }
    std::vector<std::string> statements;
    start = 0;
    while (start < code.size()) {
        std::size_t end = code.find(';', start);
        if (end == std::string::npos) end = code.size();
        std::string statement = code.substr(start, end - start);
        if (statement.find_first_not_of(" \t\r\n") != std::string::npos) {
            statements.push_back(std::move(statement));
        }
        start = end + 1;
    }
    return statements;
}

std::string ColumnList(std::string_view first, const std::vector<std::string>& names) {
    std::string list(first);
    for (const std::string& name : names) list += "," + name;
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

void EnsureArchiveTables(CDatabase& db, const std::filesystem::path& resourcesDir) {
    if (HasArchiveTables(db)) return;
    for (const std::string& statement : Statements(ReadFile(resourcesDir / "archive.sql"))) {
        db.ExecuteSQL(statement);
    }
}

std::int64_t ArchiveReport(CDatabase& db, const ReportRows& rows, const std::string& written) {
    EnsureArchiveTables(db, ResourcesDir());

    // The writer holds the database's write lock for the whole transaction,
    // so the next id cannot be taken by another writer before the commit.
    Statement last(db, "SELECT MAX(Report_ID) FROM Report_tbl");
    last.Execute({});
    const auto found = last.Rows();
    const std::int64_t id = (found.empty() ? 0 : ToInteger(found[0][0])) + 1;

    Statement report(db,
                     "INSERT INTO Report_tbl (Report_ID,Written,UserName,HostName,FileName,"
                     "LineName,Grade,Stations,Length_km,Height_m) VALUES (?,?,?,?,?,?,?,?,?,?)");
    report.Execute({id, written, CurrentUserName(), CurrentHostName(),
                    std::filesystem::path(rows.fileName).filename().string(), rows.lineName,
                    std::int64_t{rows.grade}, static_cast<std::int64_t>(rows.observations.size()),
                    rows.result.dDis_Go, rows.result.HeightAvg});

    const std::vector<std::string> infoColumns = InfoColumns();
    Statement info(db, "INSERT INTO InfoArchive_tbl (" +
                           ColumnList("Report_ID,Record_ID", infoColumns) + ") VALUES (" +
                           Marks(2 + infoColumns.size()) + ")");
    std::vector<Value> values{id, std::int64_t{1}};
    for (const auto& field : kReportHeaderFields) values.emplace_back(rows.info.*field.member);
    info.Execute(values);

    Statement result(db, "INSERT INTO ResultArchive_tbl (" +
                             ColumnList("Report_ID,Record_ID", kResultColumns) + ") VALUES (" +
                             Marks(2 + kResultColumns.size()) + ")");
    const ResultRow& r = rows.result;
    result.Execute({id, std::int64_t{1}, r.sStationSt, r.sStationEn, r.dDis_Go, r.dDis_Back,
                    Optional(r.HeightAvg_Go), Optional(r.HeightAvg_Back), r.HeightAvg});

    const std::vector<std::string> observationColumns = ObservationColumns();
    Statement observation(db, "INSERT INTO ObservationArchive_tbl (" +
                                  ColumnList("Report_ID,Record_ID", observationColumns) +
                                  ") VALUES (" + Marks(2 + observationColumns.size()) + ")");
    std::int64_t number = 0;
    for (const ObservationRow& row : rows.observations) {
        values.assign({id, ++number});
        for (const auto& field : kObservationRowFields) values.emplace_back(row.*field.member);
        observation.Execute(values);
    }
    return id;
}

std::vector<ArchivedReport> ListArchivedReports(std::optional<std::int64_t> limit,
                                                const std::optional<std::string>& lineName) {
    CDatabase db;
    db.Open(std::string(kConnectString));
    // A database from before the archive has archived nothing yet.
    if (!HasArchiveTables(db)) return {};
    const bool sqlite = IsSqlite(db);
    std::string sql =
        "SELECT Report_ID,Written,UserName,HostName,FileName,LineName,Grade,Stations," +
        ExactReal(sqlite, "Length_km") + "," + ExactReal(sqlite, "Height_m") + " FROM Report_tbl";
    std::vector<Value> values;
    if (lineName) {
        sql += " WHERE LineName = ?";
        values.emplace_back(*lineName);
    }
    // Newest first; ids grow with every report, so they order reports
    // written within the same second.
    sql += " ORDER BY Written DESC, Report_ID DESC";
    if (limit) {
        sql += " LIMIT ?";
        values.emplace_back(std::max<std::int64_t>(*limit, 0));
    }
    Statement query(db, sql);
    query.Execute(values);

    std::vector<ArchivedReport> reports;
    for (const auto& row : query.Rows()) {
        ArchivedReport& report = reports.emplace_back();
        report.id = ToInteger(row[0]);
        report.written = Text(row[1]);
        report.user = Text(row[2]);
        report.host = Text(row[3]);
        report.file = Text(row[4]);
        report.line = Text(row[5]);
        report.grade = static_cast<LevellingGrade>(ToInteger(row[6]));
        report.stations = ToInteger(row[7]);
        report.lengthKm = ToReal(row[8]).value_or(0.0);
        report.heightM = ToReal(row[9]).value_or(0.0);
    }
    return reports;
}

std::optional<ReportRows> ReadArchivedReport(std::int64_t id) {
    CDatabase db;
    db.Open(std::string(kConnectString));
    if (!HasArchiveTables(db)) return std::nullopt;
    const bool sqlite = IsSqlite(db);
    // No transaction needed: an archived report is committed whole and
    // never changed afterwards; writers only add reports.
    Statement report(db, "SELECT Grade,FileName,LineName FROM Report_tbl WHERE Report_ID = ?");
    report.Execute({id});
    const auto found = report.Rows();
    if (found.empty()) return std::nullopt;

    ReportRows rows;
    rows.grade = static_cast<LevellingGrade>(ToInteger(found[0][0]));
    rows.fileName = Text(found[0][1]);
    rows.lineName = Text(found[0][2]);

    Statement info(db, "SELECT " + ColumnList("Record_ID", InfoColumns()) +
                           " FROM InfoArchive_tbl WHERE Report_ID = ? ORDER BY Record_ID");
    info.Execute({id});
    for (const auto& row : info.Rows()) {
        for (std::size_t i = 0; i < kReportHeaderFields.size(); ++i) {
            rows.info.*kReportHeaderFields[i].member = Text(row[i + 1]);
        }
    }

    std::string resultColumns = "sStationSt,sStationEn";
    for (std::size_t i = 2; i < kResultColumns.size(); ++i) {
        resultColumns += "," + ExactReal(sqlite, kResultColumns[i]);
    }
    Statement result(db, "SELECT " + resultColumns +
                             " FROM ResultArchive_tbl WHERE Report_ID = ? ORDER BY Record_ID");
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

    Statement observations(db, "SELECT " + ColumnList("Record_ID", ObservationColumns()) +
                                   " FROM ObservationArchive_tbl WHERE Report_ID = ? "
                                   "ORDER BY Record_ID");
    observations.Execute({id});
    for (const auto& row : observations.Rows()) {
        ObservationRow& o = rows.observations.emplace_back();
        for (std::size_t i = 0; i < kObservationRowFields.size(); ++i) {
            o.*kObservationRowFields[i].member = Text(row[i + 1]);
        }
    }
    return rows;
}

}  // namespace lorvex::db
