// Builds without the Qt parts have no report engine to write a PDF with.
#include "cli_session.h"

namespace lorvex::cli {

int WriteReportPdf(Session& session, LevellingGrade, const std::string&) {
    session.Show(MessageFromId(IDS_NO_REPORT));
    return kExitStopped;
}

int WriteReportPdf(Session& session, const ReportRows&, const std::optional<LineCheck>&,
                   const std::string&) {
    session.Show(MessageFromId(IDS_NO_REPORT));
    return kExitStopped;
}

int RunReportAll(Session& session) {
    session.Show(MessageFromId(IDS_NO_REPORT));
    return session.Print(Json{{"messages", session.MessagesJson()}}, kExitStopped);
}

}  // namespace lorvex::cli
