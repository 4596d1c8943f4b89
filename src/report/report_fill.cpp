#include "report/report_fill.h"

#include <exception>
#include <string_view>

#include "base/messages.h"
#include "db/data_source.h"
#include "db/odbc.h"
#include "db/record_sets.h"
#include "db/report_store.h"
#include "levelling/number_text.h"
#include "report/report_engine.h"
#include "report/report_viewer.h"

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

void SetParameters(EngineReferences& held, const RefPtr<Report>& report,
                   const std::vector<ReportParameter>& parameters) {
    for (const auto& p : parameters) {
        held.parameterField = ReportEngine::FindParameter(report, p.name);
        ReportEngine::SetParameterValue(held.parameterField, p.text);
    }
}

}  // namespace

RefPtr<Report> FillReport(EngineReferences& held, const std::string& templatePath,
                          ReportTemplateKind kind, ReportViewer* viewer, MessageSink& sink) {
    held.engine.Reset();
    held.engine = ReportEngine::CreateEngine();
    RefPtr<Report> report = ReportEngine::OpenTemplate(held.engine, templatePath);
    const std::string dsn(db::kDataSourceName);
    ReportEngine::SetTableLogon(report, 1, dsn, dsn, "", "");

    // Each record set opens its own connection; both are closed by their
    // destructors on every way out.
    db::COrInfoSet info;
    db::COrResultSet result;
    try {
        info.Open(db::CRecordset::dynaset, "SELECT * FROM Info_tbl", 0);
    } catch (const db::DbError& e) {
        sink.Show(UserMessage{e.what(), MessageIcon::Warning});
        return {};
    }
    // A table left without its row (its insert failed and was reported)
    // gives empty texts, never another report's values.
    const ReportHeader header = info.IsEOF() ? ReportHeader{} : info.Header();
    SetParameters(held, report, HeaderParameters(kind, header));

    std::optional<ReportTotals> totals;
    try {
        result.Open(db::CRecordset::dynaset, "SELECT * FROM Result_tbl", 0);
    } catch (const db::DbError& e) {
        sink.Show(UserMessage{e.what(), MessageIcon::Warning});
        return {};  // the header values set so far go with the report
    }
    if (!result.IsEOF())
        totals = ReportTotals{result.m_dDis_Go, result.m_dDis_Back, result.m_HeightAvg};
    result.Close();
    SetParameters(held, report, ResultParameters(kind, totals));

    if (viewer) {
        viewer->AttachReport(report);
        viewer->SetShowPageList(false);
        viewer->SetShowStatusBar(false);
        viewer->ShowReport();
    }
    info.Close();
    return report;
}

RefPtr<Report> FillReportGuarded(EngineReferences& held, const std::filesystem::path& templatePath,
                                 std::optional<ReportTemplateKind> kind, ReportViewer* viewer,
                                 MessageSink& sink) {
    try {
        // Without a kind there is no template to open; the user has been
        // told so ("模板不存在！"), and an engine error about an empty path
        // would only repeat it less clearly.
        if (kind) held.report = FillReport(held, templatePath.string(), *kind, viewer, sink);
    } catch (const EngineError& e) {
        held.report.Reset();
        if (viewer) viewer->AttachReport({});
        sink.Show(UserMessage{e.Describe(), MessageIcon::Stop});
    } catch (const std::exception& e) {
        // A database failure after a table opened, or out of memory: shown
        // with its own text, and no report.
        held.report.Reset();
        if (viewer) viewer->AttachReport({});
        sink.Show(UserMessage{e.what(), MessageIcon::Stop});
    }
    if (!held.report) sink.Show(MessageFromId(IDS_NO_REPORT));
    return held.report;
}

}  // namespace lorvex::report
