#include "report/archived_report.h"

#include <string>

#include "db/data_source.h"
#include "report/report_entry.h"

namespace lorvex::report {

ReportRowsInMemory ReportRowsFrom(const ReportRows& rows) {
    ReportRowsInMemory held;
    held.header = rows.info;
    held.totals = ReportTotals{rows.result.dDis_Go, rows.result.dDis_Back, rows.result.HeightAvg};
    held.line = RecordBookLine{rows.lineName, rows.grade};
    held.stations.columns.emplace_back("Record_ID");
    for (const auto& field : kObservationRowFields) held.stations.columns.emplace_back(field.name);
    held.stations.rows.reserve(rows.observations.size());
    for (std::size_t r = 0; r < rows.observations.size(); ++r) {
        auto& cells = held.stations.rows.emplace_back();
        cells.reserve(held.stations.columns.size());
        cells.emplace_back(std::to_string(r + 1));
        for (std::size_t c = 0; c < kObservationRowFields.size(); ++c)
            cells.emplace_back(rows.observations.Text(r, c));
    }
    return held;
}

std::shared_ptr<ReportRowSource> ArchivedReportRows(const ReportRows& rows,
                                                    const std::optional<LineCheck>& check) {
    std::shared_ptr<ReportRowSource> source = MakeMemoryReportRows(ReportRowsFrom(rows));
    if (check) source = WithRecordBookChecks(std::move(source), RecordBookChecksOf(*check));
    return source;
}

bool WriteReportPdfFrom(const ReportRows& rows, const std::optional<LineCheck>& check,
                        const std::filesystem::path& out, MessageSink& sink) {
    const auto source = ArchivedReportRows(rows, check);
    return WriteReportPdf(rows.grade, db::GetDataFolder(), *source, out, sink);
}

}  // namespace lorvex::report
