#include "report/report_fill.h"

#include <algorithm>
#include <exception>
#include <string_view>

#include "base/messages.h"
#include "db/data_source.h"
#include "db/odbc.h"
#include "db/record_sets.h"
#include "db/report_store.h"
#include "levelling/number_text.h"
#include "levelling/quality_check.h"
#include "report/report_engine.h"

namespace lorvex::report {

std::optional<ReportTemplateKind> TemplateKindForGrade(LevellingGrade grade) {
    switch (grade) {
        case GradeSecond:
            return TemplateSecondOrder;
        case GradeThird:
        case GradeFourth:
            return TemplateThirdFourthOrder;
        default:
            return std::nullopt;
    }
}

const char* TemplateFileName(ReportTemplateKind kind) {
    return kind == TemplateSecondOrder ? "Second.rpt" : "ThirdandFour.rpt";
}

std::filesystem::path TemplatePath(const std::filesystem::path& dataFolder,
                                   std::optional<ReportTemplateKind> kind) {
    if (!kind) return {};
    return dataFolder / TemplateFileName(*kind);
}

std::string GradeName(LevellingGrade grade) {
    switch (grade) {
        case GradeSecond:
            return "二等";
        case GradeThird:
            return "三等";
        case GradeFourth:
            return "四等";
        default:
            return {};
    }
}

std::vector<ReportParameter> HeaderParameters(ReportTemplateKind kind, const ReportHeader& h) {
    std::vector<ReportParameter> parameters = {
        {"sStationStGo", h.sStationStGo},
        {"sStationEnGo", h.sStationEnGo},
        {"sStationStBack", h.sStationStBack},
        {"sStationEnBack", h.sStationEnBack},
        {"sWeather", h.sWeather},
        {"sImaging", h.sImaging},
        {"sRoad", h.sRoad},
        {"sWind", h.sWind},
        {"sSun", h.sSunLocation},  // the field is named sSun in the template
        {"sYear", h.sYear},
        {"sMonth", h.sMonth},
        {"sDay", h.sDay},
        {"sHourSt", h.sHourSt},
        {"sMinSt", h.sMinSt},
        {"sHourEn", h.sHourEn},
        {"sMinEn", h.sMinEn},
        {"sCloud", h.sCloud},
        {"sTemperature", h.sTemperature},
    };
    if (kind != TemplateSecondOrder) {
        // Road, wind, sun, cloud and temperature are observed for second
        // order only; the third/fourth-order book has no place for them.
        std::erase_if(parameters, [](const ReportParameter& p) {
            const std::string_view name = p.name;
            return name == "sRoad" || name == "sWind" || name == "sSun" || name == "sCloud" ||
                   name == "sTemperature";
        });
    }
    return parameters;
}

std::vector<ReportParameter> ResultParameters(ReportTemplateKind kind,
                                              const std::optional<ReportTotals>& totals) {
    auto km = [&](double ReportTotals::*m) {
        return totals ? FormatFixed((*totals).*m, 2) + " km" : std::string();
    };
    const std::string height = totals ? FormatFixed(totals->heightAvg, 5) : std::string();
    if (kind == TemplateSecondOrder) {
        return {{"sDis_Back", km(&ReportTotals::disBack)},
                {"sDis_Go", km(&ReportTotals::disGo)},
                {"sHeight", height}};
    }
    return {{"sDis_Go", km(&ReportTotals::disGo)}, {"sHeight", height}};
}

namespace {

class OdbcReportRows final : public ReportRowSource {
  public:
    // Each record set opens its own connection and closes it on every way out.
    std::optional<ReportHeader> ReadHeader() override {
        db::COrInfoSet info;
        Open(info, R"(SELECT * FROM "Info_tbl")");
        // A table left without its row (its insert failed and was reported)
        // gives empty texts, never another report's values.
        if (info.IsEOF()) return std::nullopt;
        return info.Header();
    }
    std::optional<ReportTotals> ReadTotals() override {
        db::COrResultSet result;
        Open(result, R"(SELECT * FROM "Result_tbl")");
        if (result.IsEOF()) return std::nullopt;
        return ReportTotals{result.m_dDis_Go, result.m_dDis_Back, result.m_HeightAvg};
    }
    std::shared_ptr<RowSource> StationRows() override { return MakeOdbcRowSource(); }

  private:
    static void Open(db::CRecordset& set, const char* query) {
        try {
            set.Open(db::CRecordset::dynaset, query, 0);
        } catch (const db::DbError& e) {
            throw TableUnavailable(e.what());
        }
    }
};

// The stations as the caller holds them, whatever table the template names.
class HeldStationRows final : public RowSource {
  public:
    explicit HeldStationRows(TableData rows) : m_rows(std::move(rows)) {}
    TableData ReadTable(const TableLogon&, const std::string&) override { return m_rows; }

  private:
    TableData m_rows;
};

class MemoryReportRows final : public ReportRowSource {
  public:
    explicit MemoryReportRows(ReportRowsInMemory rows)
        : m_rows(std::move(rows)),
          m_stations(std::make_shared<HeldStationRows>(std::move(m_rows.stations))) {}
    std::optional<ReportHeader> ReadHeader() override { return m_rows.header; }
    std::optional<ReportTotals> ReadTotals() override { return m_rows.totals; }
    std::shared_ptr<RowSource> StationRows() override { return m_stations; }
    const RecordBookLine* Line() const override { return m_rows.line ? &*m_rows.line : nullptr; }

  private:
    ReportRowsInMemory m_rows;
    std::shared_ptr<RowSource> m_stations;
};

// Rows with what travels beside them: the checks, the line's name and grade.
class DecoratedReportRows final : public ReportRowSource {
  public:
    explicit DecoratedReportRows(std::shared_ptr<ReportRowSource> rows) : m_rows(std::move(rows)) {}
    std::optional<ReportHeader> ReadHeader() override { return m_rows->ReadHeader(); }
    std::optional<ReportTotals> ReadTotals() override { return m_rows->ReadTotals(); }
    std::shared_ptr<RowSource> StationRows() override { return m_rows->StationRows(); }
    const RecordBookChecks* Checks() const override {
        return m_checks ? &*m_checks : m_rows->Checks();
    }
    const RecordBookLine* Line() const override { return m_line ? &*m_line : m_rows->Line(); }

    std::optional<RecordBookChecks> m_checks;
    std::optional<RecordBookLine> m_line;

  private:
    std::shared_ptr<ReportRowSource> m_rows;
};

// The station rows with the remark column added, row i getting remark i:
// the remarks live beside the stored rows, never in the table.
class RemarkedStationRows final : public RowSource {
  public:
    RemarkedStationRows(std::shared_ptr<RowSource> rows, std::vector<std::string> remarks)
        : m_rows(std::move(rows)),
          m_remarks(std::make_shared<const std::vector<std::string>>(std::move(remarks))) {}
    TableData ReadTable(const TableLogon& logon, const std::string& table) override {
        TableData data = m_rows->ReadTable(logon, table);
        if (std::find(data.columns.begin(), data.columns.end(), kRemarkColumn) !=
            data.columns.end()) {
            return data;
        }
        data.columns.emplace_back(kRemarkColumn);
        for (std::size_t i = 0; i < data.rows.size(); ++i) {
            data.rows[i].emplace_back(i < m_remarks->size() ? (*m_remarks)[i] : std::string());
        }
        return data;
    }

    std::unique_ptr<RowCursor> OpenTable(const TableLogon& logon,
                                         const std::string& table) override {
        return std::make_unique<Cursor>(m_rows->OpenTable(logon, table), m_remarks);
    }

  private:
    // The same, a batch at a time.
    class Cursor final : public RowCursor {
      public:
        Cursor(std::unique_ptr<RowCursor> rows,
               std::shared_ptr<const std::vector<std::string>> remarks)
            : m_rows(std::move(rows)), m_remarks(std::move(remarks)), m_columns(m_rows->Columns()) {
            m_add = std::find(m_columns.begin(), m_columns.end(), kRemarkColumn) == m_columns.end();
            if (m_add) m_columns.emplace_back(kRemarkColumn);
        }
        std::vector<std::string> Columns() const override { return m_columns; }
        std::size_t Count() const override { return m_rows->Count(); }
        bool Fetch(std::vector<std::vector<std::optional<std::string>>>& rows,
                   std::size_t maxRows) override {
            const std::size_t before = rows.size();
            const bool more = m_rows->Fetch(rows, maxRows);
            if (m_add) {
                for (std::size_t i = before; i < rows.size(); ++i, ++m_next) {
                    rows[i].emplace_back(m_next < m_remarks->size() ? (*m_remarks)[m_next]
                                                                    : std::string());
                }
            }
            return more;
        }

      private:
        std::unique_ptr<RowCursor> m_rows;
        std::shared_ptr<const std::vector<std::string>> m_remarks;
        std::vector<std::string> m_columns;
        std::size_t m_next = 0;
        bool m_add = true;
    };

    std::shared_ptr<RowSource> m_rows;
    std::shared_ptr<const std::vector<std::string>> m_remarks;
};

void SetParameters(EngineReferences& held, const RefPtr<Report>& report,
                   const std::vector<ReportParameter>& parameters) {
    for (const auto& p : parameters) {
        held.parameterField = ReportEngine::FindParameter(report, p.name);
        ReportEngine::SetParameterValue(held.parameterField, p.text);
    }
}

}  // namespace

std::shared_ptr<ReportRowSource> MakeOdbcReportRows() { return std::make_shared<OdbcReportRows>(); }

std::shared_ptr<ReportRowSource> MakeMemoryReportRows(ReportRowsInMemory rows) {
    return std::make_shared<MemoryReportRows>(std::move(rows));
}

RecordBookChecks RecordBookChecksOf(const LineCheck& check) {
    RecordBookChecks out;
    out.remarks.reserve(check.stations.size());
    for (const StationFlags& station : check.stations)
        out.remarks.push_back(StationRemark(station));
    out.footer = CheckFooter(check);
    return out;
}

std::shared_ptr<ReportRowSource> WithRecordBookChecks(std::shared_ptr<ReportRowSource> rows,
                                                      RecordBookChecks checks) {
    auto decorated = std::make_shared<DecoratedReportRows>(std::move(rows));
    decorated->m_checks = std::move(checks);
    return decorated;
}

std::shared_ptr<ReportRowSource> WithRecordBookLine(std::shared_ptr<ReportRowSource> rows,
                                                    RecordBookLine line) {
    auto decorated = std::make_shared<DecoratedReportRows>(std::move(rows));
    decorated->m_line = std::move(line);
    return decorated;
}

std::shared_ptr<ReportRowSource> WithGradeKnown(std::shared_ptr<ReportRowSource> rows,
                                                LevellingGrade grade) {
    const RecordBookLine* line = rows->Line();
    if (line != nullptr && line->grade != GradeNone) return rows;
    RecordBookLine known{line ? line->name : std::string(), grade};
    return WithRecordBookLine(std::move(rows), std::move(known));
}

RefPtr<Report> FillReport(EngineReferences& held, const std::string& templatePath,
                          ReportTemplateKind kind, ReportRowSource& rows, MessageSink& sink) {
    held.engine.Reset();
    try {
        const RecordBookChecks* checks = rows.Checks();
        held.engine = ReportEngine::CreateEngine(std::make_shared<RemarkedStationRows>(
            rows.StationRows(), checks ? checks->remarks : std::vector<std::string>{}));
    } catch (const std::exception&) {
        // No engine: opening the template says so with the engine's code.
    }
    RefPtr<Report> report = ReportEngine::OpenTemplate(held.engine, templatePath);
    const std::string dsn(db::kDataSourceName);
    ReportEngine::SetTableLogon(report, 1, dsn, dsn, "", "");
    // The checks' footer goes to a template that prints it; older templates
    // do without.
    if (report->ParameterIndex(QString::fromUtf8(kCheckFooterParameter)) >= 0) {
        const RecordBookChecks* checks = rows.Checks();
        SetParameters(held, report,
                      {ReportParameter{kCheckFooterParameter, checks ? checks->footer : ""}});
    }
    // The line's name and grade on every page, where the template prints
    // them and they are known; the second-order book is of one grade only.
    const RecordBookLine* line = rows.Line();
    std::string grade = GradeName(line ? line->grade : GradeNone);
    if (grade.empty() && kind == TemplateSecondOrder) grade = GradeName(GradeSecond);
    for (const auto& [name, text] :
         {std::pair{kLineNameParameter, line ? line->name : std::string()},
          std::pair{kGradeParameter, grade}}) {
        if (!text.empty() && report->ParameterIndex(QString::fromUtf8(name)) >= 0)
            SetParameters(held, report, {ReportParameter{name, text}});
    }

    std::optional<ReportHeader> header;
    try {
        header = rows.ReadHeader();
    } catch (const TableUnavailable& e) {
        sink.Show(UserMessage{e.what(), MessageIcon::Warning});
        return {};
    }
    SetParameters(held, report, HeaderParameters(kind, header.value_or(ReportHeader{})));

    std::optional<ReportTotals> totals;
    try {
        totals = rows.ReadTotals();
    } catch (const TableUnavailable& e) {
        sink.Show(UserMessage{e.what(), MessageIcon::Warning});
        return {};  // the header values set so far go with the report
    }
    SetParameters(held, report, ResultParameters(kind, totals));

    // The engine opens the station rows now and reads the first page's, so
    // that a table it cannot read is reported here; whoever shows the report
    // shows that page at once and has the rest read after (or reads it all
    // before writing every page).
    report->PrepareFirstPage();
    return report;
}

RefPtr<Report> FillReportGuarded(EngineReferences& held, const std::filesystem::path& templatePath,
                                 std::optional<ReportTemplateKind> kind, ReportRowSource& rows,
                                 MessageSink& sink) {
    try {
        // Without a kind there is no template to open; the user has been
        // told so ("模板不存在！"), and an engine error about an empty path
        // would only repeat it less clearly.
        if (kind) held.report = FillReport(held, templatePath.string(), *kind, rows, sink);
    } catch (const EngineError& e) {
        held.report.Reset();
        sink.Show(UserMessage{e.Describe(), MessageIcon::Stop});
    } catch (const std::exception& e) {
        // A database failure after a table opened, or out of memory: shown
        // with its own text, and no report.
        held.report.Reset();
        sink.Show(UserMessage{e.what(), MessageIcon::Stop});
    }
    if (!held.report) sink.Show(MessageFromId(IDS_NO_REPORT));
    return held.report;
}

}  // namespace lorvex::report
