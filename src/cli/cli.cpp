#include "cli.h"

#include <algorithm>
#include <ctime>
#include <fstream>
#include <iostream>
#include <sstream>
#include <utility>

#include "cli_session.h"
#include "json_stream.h"

namespace lorvex::cli {
namespace {

constexpr const char* kUsage =
    "usage: lorvex-cli lines FILE [--grade G]\n"
    "       lorvex-cli show FILE --line N [--grade G]\n"
    "       lorvex-cli compute FILE --line N [--header HEADER.json] [--grade G]\n"
    "       lorvex-cli report FILE --line N [--header HEADER.json] [--pdf OUT.pdf] [--grade G]\n"
    "       lorvex-cli report FILE --all --pdf BOOK.pdf [--header HEADER.json] [--grade G]\n"
    "       lorvex-cli sections FILE [--grade G] [--csv OUT.csv | --xlsx OUT.xlsx]\n"
    "       lorvex-cli check FILE --line N [--grade G]\n"
    "       lorvex-cli compare FILE --line A --line B [--grade G]\n"
    "       lorvex-cli dump\n"
    "       lorvex-cli install-data [--force | --local [--force] | --server ATTRIBUTES]\n"
    "       lorvex-cli history [--limit N] [--line NAME]\n"
    "       lorvex-cli reprint ID [--pdf OUT.pdf]\n"
    "FILE: .mdt, Leica GSI-8/GSI-16 or Trimble DiNi M5; G: second, third or fourth\n";

constexpr std::pair<const char*, LevellingGrade> kGradeNames[] = {
    {"second", GradeSecond}, {"third", GradeThird}, {"fourth", GradeFourth}};

std::string GradeName(LevellingGrade grade) {
    for (const auto& [name, g] : kGradeNames) {
        if (g == grade) return name;
    }
    return std::to_string(grade);
}

// Dumps with invalid UTF-8 replaced: record texts are decoded at import, but
// a JSON writer must never throw on what a file happened to contain.
std::string Dump(const Json& document) {
    return document.dump(2, ' ', false, Json::error_handler_t::replace);
}

// "second", "third", "fourth", or the grade's number as the JSON prints it.
std::optional<LevellingGrade> ParseGrade(const std::string& text) {
    for (const LevellingGrade g : kLimitGrades) {
        if (text == GradeId(g)) return g;
    }
    return std::nullopt;
}

std::optional<CliOptions> ParseOptions(const std::vector<std::string>& args, std::string& error) {
    CliOptions options;
    if (args.empty()) {
        error = "no command given";
        return std::nullopt;
    }
    options.command = args[0];
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](const char* name) -> std::optional<std::string> {
            if (i + 1 >= args.size()) {
                error = std::string(name) + " needs a value";
                return std::nullopt;
            }
            return args[++i];
        };
        if (arg == "--line" && options.command == "history") {
            // The archive is searched by the line's name, not its row.
            options.lineName = value("--line");
            if (!options.lineName) return std::nullopt;
        } else if (arg == "--limit") {
            const auto v = value("--limit");
            if (!v) return std::nullopt;
            char* end = nullptr;
            const long long n = std::strtoll(v->c_str(), &end, 10);
            if (v->empty() || *end != '\0' || n < 0) {
                error = "--limit takes a whole number";
                return std::nullopt;
            }
            options.limit = n;
        } else if (arg == "--line") {
            const auto v = value("--line");
            if (!v) return std::nullopt;
            char* end = nullptr;
            const long long n = std::strtoll(v->c_str(), &end, 10);
            if (v->empty() || *end != '\0') {
                error = "--line takes a whole number";
                return std::nullopt;
            }
            if (!options.line) {
                options.line = n;
            } else if (!options.otherLine) {
                options.otherLine = n;
            } else {
                error = "--line given more than twice";
                return std::nullopt;
            }
        } else if (arg == "--grade") {
            const auto v = value("--grade");
            if (!v) return std::nullopt;
            options.grade = ParseGrade(*v);
            if (!options.grade) {
                error = "--grade takes second, third or fourth";
                return std::nullopt;
            }
        } else if (arg == "--header") {
            options.headerFile = value("--header");
            if (!options.headerFile) return std::nullopt;
        } else if (arg == "--pdf") {
            options.pdf = value("--pdf");
            if (!options.pdf) return std::nullopt;
        } else if (arg == "--all") {
            options.all = true;
        } else if (arg == "--csv") {
            options.csv = value("--csv");
            if (!options.csv) return std::nullopt;
        } else if (arg == "--xlsx") {
            options.xlsx = value("--xlsx");
            if (!options.xlsx) return std::nullopt;
        } else if (arg == "--force") {
            options.force = true;
        } else if (arg == "--server") {
            options.server = value("--server");
            if (!options.server) return std::nullopt;
        } else if (arg == "--local") {
            options.local = true;
        } else if (arg.starts_with("--")) {
            error = "unknown option " + arg;
            return std::nullopt;
        } else if (options.file.empty()) {
            options.file = arg;
        } else {
            error = "unexpected argument " + arg;
            return std::nullopt;
        }
    }
    return options;
}

// The usage rules of each command: which take a file and a line.
std::string CheckUsage(const CliOptions& o) {
    const bool needsFile = o.command == "lines" || o.command == "show" || o.command == "compute" ||
                           o.command == "report" || o.command == "check" ||
                           o.command == "compare" || o.command == "sections";
    const bool wholeFile = o.command == "sections" || (o.command == "report" && o.all);
    const bool needsLine = needsFile && o.command != "lines" && !wholeFile;
    if (o.command == "history" || o.command == "reprint") return CheckArchiveUsage(o);
    if (!needsFile && o.command != "dump" && o.command != "install-data") {
        return "unknown command " + o.command;
    }
    if (needsFile && o.file.empty()) return o.command + " needs a measurement file";
    if (!needsFile && !o.file.empty()) return o.command + " takes no file";
    if (needsLine && !o.line) return o.command + " needs --line N";
    if (!needsLine && o.line) return o.command + " takes no --line";
    if (o.headerFile && o.command != "compute" && o.command != "report") {
        return "--header goes with compute or report";
    }
    if (o.all && o.command != "report") return "--all goes with report";
    if (o.all && o.line) return "report --all takes no --line";
    if (o.all && !o.pdf) return "report --all needs --pdf BOOK.pdf";
    if ((o.csv || o.xlsx) && o.command != "sections") return "--csv and --xlsx go with sections";
    if (o.csv && o.xlsx) return "sections takes --csv or --xlsx, not both";
    if (o.command == "compare" && !o.otherLine) return "compare needs a second --line";
    if (o.otherLine && o.command != "compare") return "only compare takes a second --line";
    if (o.otherLine && *o.otherLine < 1) return "--line counts from 1";
    if (o.pdf && o.command != "report") return "--pdf goes with report";
    if (o.grade && !needsFile) return "--grade goes with a measurement file";
    if (o.force && o.command != "install-data") return "--force goes with install-data";
    if ((o.server || o.local) && o.command != "install-data") {
        return "--server and --local go with install-data";
    }
    if (o.server && (o.local || o.force)) return "--server goes alone";
    if (o.limit) return "--limit goes with history";
    if (o.line && *o.line < 1) return "--line counts from 1";
    return {};
}

// Header texts are stored as C strings further on; a NUL would cut them.
std::optional<std::string> FieldWithNul(const ReportHeader& header) {
    for (const auto& field : kReportHeaderFields) {
        if ((header.*(field.member)).find('\0') != std::string::npos) return field.name;
    }
    return std::nullopt;
}

// Every line with every record, written as it goes: a file of a million
// records would otherwise be held a second time as a JSON tree.
void WriteLines(JsonStream& out, const LevellingSession& session) {
    out.BeginArray();
    for (std::size_t i = 0; i < session.LineCount(); ++i) {
        out.BeginObject();
        out.Key("name");
        out.String(session.LineName(i));
        out.Key("records");
        out.BeginArray();
        for (const std::string_view record : session.RecordViews(i)) out.String(record);
        out.EndArray();
        out.EndObject();
    }
    out.EndArray();
}

int RunLines(Session& s) {
    if (auto code = s.Import()) return *code;
    JsonStream out(s.StartOutput());
    out.BeginObject();
    out.Key("lines");
    WriteLines(out, s.Levelling());
    out.Key("ignored");
    out.Value(s.Levelling().IgnoredLineCount());
    out.Key("messages");
    out.Value(s.MessagesJson());
    out.EndObject();
    out.Finish();
    return kExitOk;
}

int RunShow(Session& s) {
    if (auto code = s.Import()) return *code;
    if (auto code = s.ClickLine()) return *code;
    const LevellingSession& shown = s.Levelling();
    return s.Print(Json{{"rows", shown.DataRows()},
                        {"grade", shown.Grade()},
                        {"sStationStGo", shown.Header().sStationStGo},
                        {"sStationEnGo", shown.Header().sStationEnGo},
                        {"messages", s.MessagesJson()}},
                   kExitOk);
}

int RunCompute(Session& s) {
    auto computed = s.ComputeReport();
    if (const int* code = std::get_if<int>(&computed)) return *code;
    JsonStream out(s.StartOutput());
    out.BeginObject();
    WriteComputed(out, std::get<ReportRows>(computed), s.Check() ? &*s.Check() : nullptr);
    out.Key("messages");
    out.Value(s.MessagesJson());
    out.EndObject();
    out.Finish();
    return kExitOk;
}

// FlagsJson written as it goes: a long line flags most of its stations, and
// a document per station would cost more than the station itself.
void WriteFlags(JsonStream& out, const std::vector<Flag>& flags) {
    out.BeginArray();
    for (const Flag& flag : flags) {
        out.BeginObject();
        out.Key("rule");
        out.String(flag.Id());
        out.Key("value");
        out.Number(flag.Value());
        out.Key("limit");
        out.Number(flag.LimitValue());
        out.Key("unit");
        out.String(flag.Unit());
        out.EndObject();
    }
    out.EndArray();
}

// Every station with its flags (empty when it passes), and the line's. A
// flag is not an error: the exit is 0 whatever is found.
int RunCheck(Session& s) {
    auto computed = s.ComputeReport();
    if (const int* code = std::get_if<int>(&computed)) return *code;
    const LineCheck& check = *s.Check();
    JsonStream out(s.StartOutput());
    out.BeginObject();
    out.Key("grade");
    out.Value(check.grade);
    out.Key("stations");
    out.BeginArray();
    for (std::size_t i = 0; i < check.stations.size(); ++i) {
        out.BeginObject();
        out.Key("station");
        out.Value(i + 1);
        out.Key("flags");
        WriteFlags(out, check.stations[i].flags);
        out.EndObject();
    }
    out.EndArray();
    out.Key("line");
    out.Value(LineCheckJson(check));
    out.Key("messages");
    out.Value(s.MessagesJson());
    out.EndObject();
    out.Finish();
    return kExitOk;
}

Json RunJson(const RunSummary& run, const std::string& name) {
    return Json{{"line", name},
                {"from", run.from},
                {"to", run.to},
                {"stations", run.stations},
                {"length_km", run.LengthKm()},
                {"height_m", std::stod(run.HeightMetres())}};
}

// Two runs of one section: both lengths and height differences, W, the
// grade's limit and whether it holds.
int RunCompare(Session& s) {
    if (auto code = s.Import()) return *code;
    const LevellingSession& levelling = s.Levelling();
    const std::size_t lines = levelling.LineCount();
    for (const long long n : {*s.Options().line, *s.Options().otherLine}) {
        if (n > static_cast<long long>(lines)) {
            return s.UsageError("line " + std::to_string(n) + " is beyond the last line (" +
                                std::to_string(lines) + ")");
        }
    }
    s.LoadLimits();
    const auto a = static_cast<std::size_t>(*s.Options().line - 1);
    const auto b = static_cast<std::size_t>(*s.Options().otherLine - 1);
    const LineComparison outcome = levelling.CompareLines(a, b);
    if (outcome.stop) {
        s.Show(*outcome.stop);
        return s.Print(Json{{"messages", s.MessagesJson()}}, kExitStopped);
    }
    const RunComparison& c = outcome.comparison;
    return s.Print(Json{{"grade", c.grade},
                        {"rule", RuleId(c.rule)},
                        {"runs", Json::array({RunJson(c.a, levelling.LineName(a)),
                                              RunJson(c.b, levelling.LineName(b))})},
                        {"opposite", c.opposite},
                        {"k_km", c.meanKm},
                        {"w_mm", std::stod(c.w)},
                        {"limit_mm", c.checked ? Json(std::stod(c.limit)) : Json(nullptr)},
                        {"checked", c.checked},
                        {"holds", c.holds},
                        {"messages", s.MessagesJson()}},
                   kExitOk);
}

}  // namespace

Session::Session(const CliOptions& options, std::ostream& out, std::ostream& err)
    : m_options(options), m_out(out), m_err(err) {
    // A new window writes today's local date into the header.
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) != nullptr) {
        SetHeaderDate(m_session.Header(), local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    } else {
        SetHeaderDate(m_session.Header(), 0, 0, 0);
    }
}

void Session::StreamSink::Show(const UserMessage& message) { m_out << message.text << '\n'; }

void Session::Show(const UserMessage& message) {
    m_messages.push_back(message.text);
    m_errRuns.Show(message);
}

void Session::Show(const Messages& messages) {
    for (const UserMessage& message : messages) Show(message);
}

int Session::Print(Json document, int code) {
    m_errRuns.Flush();
    m_out << Dump(document) << '\n';
    return code;
}

std::ostream& Session::StartOutput() {
    m_errRuns.Flush();
    return m_out;
}

void Session::Complain(const std::string& text) {
    m_errRuns.Flush();
    m_err << "lorvex-cli: " << text << '\n';
}

int Session::UsageError(const std::string& text) {
    Complain(text);
    m_err << kUsage;
    return Print(Json{{"error", text}, {"messages", m_messages}}, kExitUsage);
}

int Session::UnexpectedError(const std::string& text) {
    Complain(text);
    return Print(Json{{"error", text}, {"messages", m_messages}}, kExitNoAccess);
}

std::optional<int> Session::Import() {
    const ImportOutcome outcome = m_session.ImportFile(m_options.file);
    if (!outcome.opened) {
        // A refused file (not a regular file, too large, UTF-16 without a
        // byte-order mark) says why, in the error and as a message.
        std::string text = "cannot open " + m_options.file;
        for (const UserMessage& message : outcome.messages) text += ": " + message.text;
        Show(outcome.messages);
        Complain(text);
        return Print(Json{{"error", text}, {"messages", m_messages}}, kExitNoAccess);
    }
    Show(outcome.messages);
    // A read error stops the import (shown with the stop icon); the
    // 100-line limit only warns.
    for (const UserMessage& message : outcome.messages) {
        if (message.icon == MessageIcon::Stop) {
            JsonStream out(StartOutput());
            out.BeginObject();
            out.Key("lines");
            WriteLines(out, m_session);
            out.Key("messages");
            out.Value(m_messages);
            out.EndObject();
            out.Finish();
            return kExitNoAccess;
        }
    }
    return ApplyGrade(outcome.gradeQuestion);
}

std::optional<int> Session::ApplyGrade(const std::optional<GradeQuestion>& question) {
    if (m_options.grade) {
        if (m_session.SetFileGrade(*m_options.grade)) return std::nullopt;
        // check takes --grade also as the grade whose limits apply, for a
        // file that names its own.
        if (m_options.command == "check" && !question) return std::nullopt;
        // An .mdt names its grade in its records; a pattern allows only some.
        return UsageError("--grade " + GradeName(*m_options.grade) + " does not fit " +
                          m_options.file);
    }
    if (!question) return std::nullopt;
    std::string allowed;
    for (const LevellingGrade g : question->allowed) {
        allowed += (allowed.empty() ? "" : "|") + GradeName(g);
    }
    return UsageError(m_options.file + " does not name its grade: give --grade " + allowed);
}

std::optional<int> Session::ClickLine() {
    const std::size_t lines = m_session.LineCount();
    if (lines == 0) return std::nullopt;  // nothing to click; the report command says so
    if (*m_options.line > static_cast<long long>(lines)) {
        return UsageError("line " + std::to_string(*m_options.line) + " is beyond the last line (" +
                          std::to_string(lines) + ")");
    }
    Show(m_session.ClickLine(static_cast<int>(*m_options.line - 1)));
    return std::nullopt;
}

std::optional<int> Session::ApplyHeaderFile() {
    if (!m_options.headerFile) return std::nullopt;
    const std::string& path = *m_options.headerFile;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        const std::string text = "cannot open " + path;
        Complain(text);
        return Print(Json{{"error", text}, {"messages", m_messages}}, kExitNoAccess);
    }
    Json given;
    try {
        given = Json::parse(in);
    } catch (const Json::exception& e) {
        return UsageError(path + ": " + e.what());
    }
    if (!given.is_object()) return UsageError(path + ": not a JSON object");
    ReportHeader& header = m_session.Header();
    for (const auto& [key, value] : given.items()) {
        const auto field = std::find_if(kReportHeaderFields.begin(), kReportHeaderFields.end(),
                                        [&name = key](const auto& f) { return name == f.name; });
        if (field == kReportHeaderFields.end()) {
            return UsageError(path + ": unknown header field " + key);
        }
        if (!value.is_string()) return UsageError(path + ": " + key + " must be a string");
        header.*(field->member) = value.get<std::string>();
    }
    if (const auto field = FieldWithNul(header))
        return UsageError(path + ": " + *field + " holds a NUL character (U+0000)");
    // Typed hours and minutes go through the range rule of the time edits.
    for (const TimeField f :
         {TimeField::HourStart, TimeField::MinuteStart, TimeField::HourEnd, TimeField::MinuteEnd}) {
        m_session.CheckTimeField(f);
    }
    return std::nullopt;
}

std::variant<int, ReportRows> Session::ComputeReport() {
    if (auto code = Import()) return *code;
    if (auto code = ClickLine()) return *code;
    if (auto code = ApplyHeaderFile()) return *code;
    // A check against another grade's limits applies that grade as the
    // user would pick it.
    if (m_options.grade) m_session.ApplyGrade(*m_options.grade);
    LoadLimits();
    PreparedReport prepared = m_session.PrepareReport();
    if (prepared.stop) {
        Show(*prepared.stop);
        return Print(Json{{"grade", m_session.Grade()}, {"messages", m_messages}}, kExitStopped);
    }
    m_check = std::move(prepared.check);
    return std::move(prepared.rows);
}

Json FlagJson(const Flag& flag) {
    return Json{{"rule", flag.Id()},
                {"value", flag.Value()},
                {"limit", flag.LimitValue()},
                {"unit", flag.Unit()}};
}

Json FlagsJson(const std::vector<Flag>& flags) {
    Json list = Json::array();
    for (const Flag& flag : flags) list.push_back(FlagJson(flag));
    return list;
}

Json LineCheckJson(const LineCheck& check) {
    return Json{{"stations", check.run.stations},
                {"length_km", check.run.LengthKm()},
                {"flags", FlagsJson(check.line)}};
}

void AddCheckJson(Json& document, const LineCheck& check) {
    Json& observations = document["observations"];
    for (std::size_t i = 0; i < observations.size() && i < check.stations.size(); ++i) {
        observations[i]["flags"] = FlagsJson(check.stations[i].flags);
    }
    document["line"] = LineCheckJson(check);
}

Json HeaderJson(const ReportHeader& header) {
    Json info = Json::object();
    for (const auto& field : kReportHeaderFields) info[field.name] = header.*(field.member);
    return info;
}

Json ResultJson(const ResultRow& row) {
    auto optional = [](const std::optional<double>& v) { return v ? Json(*v) : Json(nullptr); };
    return Json{{"sStationSt", row.sStationSt},
                {"sStationEn", row.sStationEn},
                {"dDis_Go", row.dDis_Go},
                {"dDis_Back", row.dDis_Back},
                {"HeightAvg_Go", optional(row.HeightAvg_Go)},
                {"HeightAvg_Back", optional(row.HeightAvg_Back)},
                {"HeightAvg", row.HeightAvg}};
}

Json ObservationsJson(const ObservationTable& rows) {
    Json list = Json::array();
    for (std::size_t r = 0; r < rows.size(); ++r) {
        Json item = Json::object();
        for (std::size_t c = 0; c < kObservationRowFields.size(); ++c)
            item[kObservationRowFields[c].name] = rows.Text(r, c);
        list.push_back(std::move(item));
    }
    return list;
}

void WriteComputed(JsonStream& out, const ReportRows& rows, const LineCheck* check) {
    out.Key("grade");
    out.Value(rows.grade);
    out.Key("info");
    out.Value(HeaderJson(rows.info));
    out.Key("result");
    out.Value(ResultJson(rows.result));
    out.Key("observations");
    out.BeginArray();
    for (std::size_t i = 0; i < rows.observations.size(); ++i) {
        out.BeginObject();
        for (std::size_t c = 0; c < kObservationRowFields.size(); ++c) {
            out.Key(kObservationRowFields[c].name);
            out.String(rows.observations.Text(i, c));
        }
        if (check && i < check->stations.size()) {
            out.Key("flags");
            WriteFlags(out, check->stations[i].flags);
        }
        out.EndObject();
    }
    out.EndArray();
    if (check) {
        out.Key("line");
        out.Value(LineCheckJson(*check));
    }
}

Json ComputeJson(const ReportRows& rows) {
    return Json{{"grade", rows.grade},
                {"info", HeaderJson(rows.info)},
                {"result", ResultJson(rows.result)},
                {"observations", ObservationsJson(rows.observations)}};
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string error;
    const auto options = ParseOptions(args, error);
    if (!options || !(error = CheckUsage(*options)).empty()) {
        Session session(options.value_or(CliOptions{}), out, err);
        return session.UsageError(error);
    }
    Session session(*options, out, err);
    // Whatever a command did not expect still ends in JSON and an exit
    // status a script can act on, never in an abort.
    try {
        const std::string& command = options->command;
        if (command == "lines") return RunLines(session);
        if (command == "show") return RunShow(session);
        if (command == "compute") return RunCompute(session);
        if (command == "report") return options->all ? RunReportAll(session) : RunReport(session);
        if (command == "sections") return RunSections(session);
        if (command == "check") return RunCheck(session);
        if (command == "compare") return RunCompare(session);
        if (command == "dump") return RunDump(session);
        if (command == "history") return RunHistory(session);
        if (command == "reprint") return RunReprint(session);
        return RunInstallData(session);
    } catch (const std::exception& e) {
        return session.UnexpectedError(std::string("unexpected error: ") + e.what());
    } catch (...) {
        return session.UnexpectedError("unexpected error");
    }
}

}  // namespace lorvex::cli
