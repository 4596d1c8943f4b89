#pragma once

// Filling a report template: the header row of Info_tbl and the totals row
// of Result_tbl become the template's parameter fields, and the template's
// table reads the station rows. The rows come from a ReportRowSource: the
// data source "Qel" as the report command leaves it, or rows the caller
// already holds. The fill produces a finished report; whoever shows or
// writes it only paints it.

#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/grade.h"
#include "levelling/report_header.h"
#include "report/ref_ptr.h"
#include "report/row_source.h"

namespace lorvex {
class MessageSink;
struct LineCheck;
}  // namespace lorvex

namespace lorvex::report {

class EngineApplication;
class ParameterField;
class Report;

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

// A table a fill cannot open: its text is shown with the warning icon and
// the fill makes no report.
class TableUnavailable : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// What the limit checks add to a record book: the 备注 of each station row
// (empty where the station passes) and the footer line.
struct RecordBookChecks {
    std::vector<std::string> remarks;  // "视距差超限", in station-row order
    std::string footer;                // "超限测站：N 个" or "全部测站符合限差要求"
};

// The remarks and footer of a checked line (StationRemark, CheckFooter).
RecordBookChecks RecordBookChecksOf(const LineCheck& check);

// The column of the station rows that carries the remarks, and the
// parameter that carries the footer. Neither is stored in a table: the fill
// adds the column to the rows it reads (empty without checks) and sets the
// parameter when the template declares it.
inline constexpr const char* kRemarkColumn = "sRemark";
inline constexpr const char* kCheckFooterParameter = "sCheckFooter";

// The line a record book is of, printed on every page so that a loose page
// can be placed: its name and its grade. The last-report tables keep
// neither, so they travel beside the rows (WithRecordBookLine).
struct RecordBookLine {
    std::string name;                  // the line list's name, e.g. "BM1-BM2(R)"
    LevellingGrade grade = GradeNone;  // the third/fourth-order book says which
};

// The parameters that carry them, set when the template declares them and
// the value is known (else the template's default prints): "BM1-BM2" and
// "二等", "三等" or "四等".
inline constexpr const char* kLineNameParameter = "sLineName";
inline constexpr const char* kGradeParameter = "sGrade";

// "二等", "三等", "四等"; empty for any other grade.
std::string GradeName(LevellingGrade grade);

// Where a fill takes its rows from. The reads run in the order header,
// totals, stations; each throws TableUnavailable when its table cannot be
// opened, any other std::exception for a failure after that.
class ReportRowSource {
  public:
    virtual ~ReportRowSource() = default;
    // The header row; nullopt when the table holds none.
    virtual std::optional<ReportHeader> ReadHeader() = 0;
    // The totals row; nullopt when the table holds none.
    virtual std::optional<ReportTotals> ReadTotals() = 0;
    // What the engine reads the template's table through.
    virtual std::shared_ptr<RowSource> StationRows() = 0;
    // The limit checks of the rows; none unless given (WithRecordBookChecks).
    virtual const RecordBookChecks* Checks() const { return nullptr; }
    // The line the rows are of; none unless given (WithRecordBookLine).
    virtual const RecordBookLine* Line() const { return nullptr; }
};

// rows, with the limit checks of their line beside them.
std::shared_ptr<ReportRowSource> WithRecordBookChecks(std::shared_ptr<ReportRowSource> rows,
                                                      RecordBookChecks checks);

// rows, named as the line they are of.
std::shared_ptr<ReportRowSource> WithRecordBookLine(std::shared_ptr<ReportRowSource> rows,
                                                    RecordBookLine line);

// rows, of grade unless they name their line's grade themselves: whoever
// chose the template knows the grade even when the tables do not.
std::shared_ptr<ReportRowSource> WithGradeKnown(std::shared_ptr<ReportRowSource> rows,
                                                LevellingGrade grade);

// The three tables through the data source "Qel", each read on its own
// connection, as the report command leaves them.
std::shared_ptr<ReportRowSource> MakeOdbcReportRows();

// Rows the caller holds already: read from an archive, or inside the
// transaction that wrote them.
struct ReportRowsInMemory {
    std::optional<ReportHeader> header;
    std::optional<ReportTotals> totals;
    TableData stations;  // the rows of the template's table
    std::optional<RecordBookLine> line;
};
std::shared_ptr<ReportRowSource> MakeMemoryReportRows(ReportRowsInMemory rows);

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
// "Qel", sets the parameters from the header and totals rows and has the
// engine read the station rows, so the report comes back ready to show or
// write. Returns none after a table could not be opened (its text already
// shown). Engine failures throw EngineError.
RefPtr<Report> FillReport(EngineReferences& held, const std::string& templatePath,
                          ReportTemplateKind kind, ReportRowSource& rows, MessageSink& sink);

// FillReport as the report dialog and lorvex-cli run it: an engine failure
// is shown (its text and code) instead of ending the program, and "报表未生成！"
// follows whenever no report came of it. The result goes into held.report.
RefPtr<Report> FillReportGuarded(EngineReferences& held, const std::filesystem::path& templatePath,
                                 std::optional<ReportTemplateKind> kind, ReportRowSource& rows,
                                 MessageSink& sink);

}  // namespace lorvex::report
