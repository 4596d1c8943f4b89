#include "report/report_entry.h"

#include "base/messages.h"
#include "db/data_source.h"
#include "db/report_lock.h"
#include "db/report_store.h"
#include "report/report_engine.h"
#include "report/report_fill.h"
#include "report/report_output.h"

namespace lorvex::report {

bool WriteReportPdf(LevellingGrade grade, const std::filesystem::path& out, MessageSink& sink) {
    return WriteReportPdf(grade, db::GetDataFolder(), out, sink);
}

bool WriteReportPdf(LevellingGrade grade, const std::filesystem::path& dataFolder,
                    const std::filesystem::path& out, MessageSink& sink) {
    const auto rows = MakeOdbcReportRows();
    return WriteReportPdf(grade, dataFolder, *rows, out, sink);
}

bool WriteReportPdf(LevellingGrade grade, const std::filesystem::path& dataFolder,
                    ReportRowSource& rows, const std::filesystem::path& out, MessageSink& sink) {
    const auto kind = TemplateKindForGrade(grade);
    if (!kind) sink.Show(MessageFromId(IDS_NO_TEMPLATE));
    EngineReferences held;
    // The caller keeps rows; the grade rides beside them for the fill only.
    const auto graded =
        WithGradeKnown(std::shared_ptr<ReportRowSource>(std::shared_ptr<void>(), &rows), grade);
    if (!FillReportGuarded(held, TemplatePath(dataFolder, kind), kind, *graded, sink)) return false;
    try {
        WritePdf(held.report, QString::fromStdString(out.string()));
    } catch (const EngineError& e) {
        sink.Show(UserMessage{e.Describe(), MessageIcon::Stop});
        sink.Show(MessageFromId(IDS_NO_REPORT));
        return false;
    }
    return true;
}

}  // namespace lorvex::report
