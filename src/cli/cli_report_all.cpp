// lorvex-cli report --all: the record book of every line of a file in one
// PDF, with a contents page first; the database keeps the last line's report
// as the one-line command would leave it.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli_drawing.h"
#include "cli_session.h"
#include "db/data_source.h"
#include "db/report_lock.h"
#include "db/report_store.h"

namespace lorvex::cli {

namespace {

// A line of the contents: its book's grade and stations, or why it has none.
struct BookLine {
    std::string name;
    LevellingGrade grade = GradeNone;
    std::size_t stations = 0;
    std::string reason;
};

}  // namespace

int RunReportAll(Session& s) {
    // The module first: without it nothing is computed or written.
    Json failed = Json::object();
    Drawing* drawing = LoadDrawing(s, failed);
    if (drawing == nullptr) {
        failed["messages"] = s.MessagesJson();
        return s.Print(std::move(failed), kExitNoAccess);
    }
    if (!drawing->DrawsRecordBooks()) {
        s.Show(MessageFromId(IDS_NO_REPORT));
        return s.Print(Json{{"messages", s.MessagesJson()}}, kExitStopped);
    }
    if (auto code = s.Import()) return *code;
    if (auto code = s.ApplyHeaderFile()) return *code;
    s.LoadLimits();
    const LevellingSession& levelling = s.Levelling();
    const std::unique_ptr<BookSet> books = drawing->StartBookSet();
    std::vector<BookLine> lines;
    std::optional<ReportRows> last;
    std::size_t lastLine = 0;
    for (std::size_t i = 0; i < levelling.LineCount(); ++i) {
        LevellingSession::LineReport prepared = levelling.PrepareLineReport(i, levelling.Header());
        s.Show(prepared.messages);
        if (prepared.prepared.stop) s.Show(*prepared.prepared.stop);
        BookLine& line = lines.emplace_back();
        line.name = levelling.LineName(i);
        books->Add(line.name, prepared.prepared);
        if (prepared.prepared.stop) {
            line.reason = prepared.prepared.stop->text;
        } else {
            line.grade = prepared.prepared.rows.grade;
            line.stations = prepared.prepared.rows.observations.size();
            last = std::move(prepared.prepared.rows);
            lastLine = i;
        }
    }
    auto booksJson = [&lines](const BookSetResult* outcome) {
        Json books = Json::array();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            Json entry{{"line", i + 1}, {"name", lines[i].name}};
            const bool made = outcome != nullptr && outcome->firstPages[i] > 0;
            if (made) {
                entry["grade"] = lines[i].grade;
                entry["stations"] = lines[i].stations;
                entry["first_page"] = outcome->firstPages[i];
                entry["pages"] = outcome->pageCounts[i];
            } else {
                const std::string& reason =
                    outcome != nullptr ? outcome->reasons[i] : lines[i].reason;
                entry["error"] = reason.empty() ? LoadString(IDS_NO_REPORT) : reason;
            }
            books.push_back(std::move(entry));
        }
        return books;
    };
    if (!last) {
        if (lines.empty()) s.Show(MessageFromId(IDS_NO_LINES));
        return s.Print(Json{{"books", booksJson(nullptr)}, {"messages", s.MessagesJson()}},
                       kExitStopped);
    }

    // The database as the one-line command leaves it after the last line.
    if (std::string error; !db::RegisterDataSource(&error)) {
        s.Show(MessageFromId(IDS_DSN_FAILED, MessageIcon::Error));
        s.Complain(error);
        return s.Print(
            Json{{"books", booksJson(nullptr)}, {"error", error}, {"messages", s.MessagesJson()}},
            kExitNoAccess);
    }
    SessionSink sink(s);
    {
        std::optional<db::ReportLock> lock = db::ReportLock::Acquire(sink);
        if (!lock || db::WriteReportTables(*last, sink) != db::WriteOutcome::Written) {
            return s.Print(Json{{"books", booksJson(nullptr)}, {"messages", s.MessagesJson()}},
                           kExitNoAccess);
        }
    }

    const BookSetResult outcome = books->Write(db::GetDataFolder(), *s.Options().pdf, sink);
    int code = kExitOk;
    switch (outcome.result) {
        case BookSetResult::Result::Written:
            code = kExitOk;
            break;
        case BookSetResult::Result::OutputFailed:
            code = kExitNoAccess;
            break;
        default:
            code = kExitStopped;
            break;
    }
    return s.Print(Json{{"books", booksJson(&outcome)},
                        {"database_line", lastLine + 1},
                        {"messages", s.MessagesJson()}},
                   code);
}

}  // namespace lorvex::cli
