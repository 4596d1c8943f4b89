// lorvex-cli report --pdf and reprint --pdf: the record book, drawn by the
// drawing module.

#include "cli_drawing.h"
#include "cli_session.h"
#include "db/data_source.h"

namespace lorvex::cli {

Drawing* LoadDrawing(Session& session, Json& document) {
    std::string error;
    Drawing* drawing = LoadDrawing(error);
    if (drawing == nullptr) {
        // No record book, as the window says it; why, for whoever installed it.
        session.Show(MessageFromId(IDS_NO_REPORT));
        session.Complain(error);
        document["error"] = error;
    }
    return drawing;
}

int WriteReportPdf(Session& session, LevellingGrade grade, const std::string& path,
                   Json& document) {
    Drawing* drawing = LoadDrawing(session, document);
    if (drawing == nullptr) return kExitNoAccess;
    SessionSink sink(session);
    const LevellingSession& levelling = session.Levelling();
    std::optional<std::string> lineName;
    if (levelling.ShownLine() >= 0) {
        lineName = levelling.LineName(static_cast<std::size_t>(levelling.ShownLine()));
    }
    const LineCheck* check = session.Check() ? &*session.Check() : nullptr;
    return drawing->WriteRecordBook(grade, check, lineName ? &*lineName : nullptr,
                                    db::GetDataFolder(), path, sink)
               ? kExitOk
               : kExitStopped;
}

int WriteReportPdf(Session& session, const ReportRows& rows, const std::optional<LineCheck>& check,
                   const std::string& path, Json& document) {
    Drawing* drawing = LoadDrawing(session, document);
    if (drawing == nullptr) return kExitNoAccess;
    SessionSink sink(session);
    return drawing->WriteRecordBookFrom(rows, check, path, sink) ? kExitOk : kExitStopped;
}

}  // namespace lorvex::cli
