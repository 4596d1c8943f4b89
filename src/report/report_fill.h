#pragma once

// Filling a report template from the database: the header row of Info_tbl
// and the totals row of Result_tbl become the template's parameter fields,
// the template's table reads the station rows itself through the data
// source "Qel".

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/grade.h"
#include "levelling/report_header.h"
#include "report/ref_ptr.h"

namespace lorvex {
class MessageSink;
}

namespace lorvex::report {

class EngineApplication;
class ParameterField;
class Report;
class ReportViewer;

// Which record-book template a grade uses: second order has its own, third
// and fourth order share one.
enum ReportTemplateKind : int { TemplateSecondOrder = 0, TemplateThirdFourthOrder = 1 };

// nullopt for a grade outside second to fourth order.
std::optional<ReportTemplateKind> TemplateKindForGrade(LevellingGrade grade);

// "Second.rpt" or "ThirdandFour.rpt".
const char* TemplateFileName(ReportTemplateKind kind);

// The template in the data folder; empty while no kind is chosen.
std::filesystem::path TemplatePath(const std::filesystem::path& dataFolder,
                                   std::optional<ReportTemplateKind> kind);

// One parameter field and the text it gets.
struct ReportParameter {
    std::string name;
    std::string text;
    friend bool operator==(const ReportParameter&, const ReportParameter&) = default;
};

// The totals as read from Result_tbl; nullopt when the table holds no row.
struct ReportTotals {
    double disGo = 0.0;
    double disBack = 0.0;
    double heightAvg = 0.0;
};

// The header parameters in the order they are set. Second order prints the
// five weather and ground fields the main window enables for it alone.
std::vector<ReportParameter> HeaderParameters(ReportTemplateKind kind, const ReportHeader& header);

// The totals parameters: distances as "%.2f km", the mean height difference
// as "%.5f". Without a totals row the fields are set empty rather than to
// made-up zeros.
std::vector<ReportParameter> ResultParameters(ReportTemplateKind kind,
                                              const std::optional<ReportTotals>& totals);

// The engine objects a fill leaves behind, held by whoever shows the report.
// Destroyed in the order parameter field, report, engine.
struct EngineReferences {
    RefPtr<EngineApplication> engine;
    RefPtr<Report> report;
    RefPtr<ParameterField> parameterField;
};

// Opens the template with a new engine, points its table at the data source
// "Qel", sets the parameters from Info_tbl and Result_tbl, and (with a
// viewer) shows the report. Returns the report, or none after a database
// read failed (its message already shown). Engine failures throw
// EngineError.
RefPtr<Report> FillReport(EngineReferences& held, const std::string& templatePath,
                          ReportTemplateKind kind, ReportViewer* viewer, MessageSink& sink);

// FillReport as the report dialog and lorvex-cli run it: an engine failure
// is shown (its text and code) instead of ending the program, and "报表未生成！"
// follows whenever no report came of it. The result goes into held.report.
RefPtr<Report> FillReportGuarded(EngineReferences& held, const std::filesystem::path& templatePath,
                                 std::optional<ReportTemplateKind> kind, ReportViewer* viewer,
                                 MessageSink& sink);

}  // namespace lorvex::report
