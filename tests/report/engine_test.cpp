// The report engine: its objects and their reference counts, its failures
// and their codes, and what reaches the printed page.

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include "levelling/totals.h"
#include "report/report_export_dlg.h"
#include "report/report_fill.h"
#include "report/report_output.h"
#include "report/report_page_view.h"
#include "report/report_viewer.h"
#include "report_test_support.h"

namespace lorvex::report {
namespace {

using test::App;
using test::MemoryRows;

std::string Shipped(const char* name) {
    return std::string(LORVEX_SOURCE_DIR "/resources/templates/") + name;
}

// Stations whose every value names its station and column ("S7:sBack_I"), so
// the page shows which value landed where.
TableData Stations(int count) {
    TableData t;
    t.columns.push_back("Record_ID");
    for (const auto& f : kObservationRowFields) t.columns.push_back(f.name);
    for (int s = 1; s <= count; ++s) {
        std::vector<std::optional<std::string>> row{std::to_string(s)};
        for (const auto& f : kObservationRowFields) {
            row.push_back(std::string(f.name) == "sStation"
                              ? std::to_string(s)
                              : "S" + std::to_string(s) + ":" + f.name);
        }
        t.rows.push_back(row);
    }
    return t;
}

class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        App();
        baseline_ = RefCounted::LiveObjects();
        rows_ = std::make_shared<MemoryRows>();
        rows_->tables["Observation_tbl"] = Stations(30);
    }
    void TearDown() override {
        EXPECT_EQ(RefCounted::LiveObjects(), baseline_) << "engine objects leaked";
    }

    RefPtr<Report> Open(const std::string& path) {
        auto app = ReportEngine::CreateEngine(rows_);
        auto report = ReportEngine::OpenTemplate(app, path);
        ReportEngine::SetTableLogon(report, 1, "Qel", "Qel", "", "");
        return report;
    }

    static void SetAll(const RefPtr<Report>& report, const std::vector<ReportParameter>& params) {
        for (const auto& p : params) {
            ReportEngine::SetParameterValue(ReportEngine::FindParameter(report, p.name), p.text);
        }
    }

    long baseline_ = 0;
    std::shared_ptr<MemoryRows> rows_;
    QTemporaryDir dir_;
};

TEST_F(EngineTest, CountedReferencesReleaseTheObjectHeldBefore) {
    RefPtr<Report> a = Open(Shipped("Second.rpt"));
    const long afterOpen = RefCounted::LiveObjects();
    EXPECT_EQ(a->RefCount(), 1);
    RefPtr<ParameterField> field = ReportEngine::FindParameter(a, "sSun");
    EXPECT_EQ(a->RefCount(), 2);  // the field keeps its report
    field = ReportEngine::FindParameter(a, "sRoad");
    EXPECT_EQ(a->RefCount(), 2);  // assigning released the field held before
    EXPECT_EQ(RefCounted::LiveObjects(), afterOpen + 1);
    a = Open(Shipped("ThirdandFour.rpt"));
    // The first report lives on in the field only.
    EXPECT_EQ(field->Owner()->RefCount(), 1);
    field.Reset();
    EXPECT_EQ(RefCounted::LiveObjects(), afterOpen);
}

TEST_F(EngineTest, FailuresCarryTheirCodes) {
    QFile bad(dir_.filePath("bad.rpt"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("<?xml version=\"1.0\"?>\n<report>\n  <page size=\"A4\">\n</report>\n");
    bad.close();
    auto app = ReportEngine::CreateEngine(rows_);
    auto report = ReportEngine::OpenTemplate(app, Shipped("Second.rpt"));

    struct Case {
        const char* what;
        std::function<void()> call;
        std::uint32_t code;
        std::string text;  // part of the message
    };
    const Case cases[] = {
        {"open through no engine", [] { ReportEngine::OpenTemplate({}, Shipped("Second.rpt")); },
         kErrorInvalidPointer, ""},
        {"find on no report", [] { ReportEngine::FindParameter({}, "sSun"); }, kErrorInvalidPointer,
         ""},
        {"set on no field", [] { ReportEngine::SetParameterValue({}, "x"); }, kErrorInvalidPointer,
         ""},
        {"logon on no report", [] { ReportEngine::SetTableLogon({}, 1, "Qel", "Qel", "", ""); },
         kErrorInvalidPointer, ""},
        {"missing template",
         [&] { ReportEngine::OpenTemplate(app, dir_.filePath("none.rpt").toStdString()); },
         kErrorTemplateNotFound, "none.rpt"},
        {"empty path (no template chosen)", [&] { ReportEngine::OpenTemplate(app, ""); },
         kErrorTemplateNotFound, ""},
        {"malformed template",
         [&] { ReportEngine::OpenTemplate(app, bad.fileName().toStdString()); },
         kErrorTemplateInvalid, "第 4 行"},
        {"parameter the template lacks", [&] { ReportEngine::FindParameter(report, "sCompany"); },
         kErrorUnknownParameter, "sCompany"},
        {"second table", [&] { ReportEngine::SetTableLogon(report, 2, "Qel", "Qel", "", ""); },
         kErrorBadIndex, ""},
    };
    for (const auto& c : cases) {
        try {
            c.call();
            ADD_FAILURE() << c.what << ": no error";
        } catch (const EngineError& e) {
            EXPECT_EQ(e.Code(), c.code) << c.what << ": " << e.what();
            EXPECT_NE(std::string(e.what()).find(c.text), std::string::npos)
                << c.what << ": " << e.what();
        }
    }
    // The code travels with the text the user sees.
    EXPECT_EQ(EngineError(kErrorInvalidPointer, "x").Describe(), "x (0x80004003)");
}

TEST_F(EngineTest, RowsAreReadOnceAndFailuresNameTheTableOrColumn) {
    auto report = Open(Shipped("Second.rpt"));
    report->Prepare();
    report->Prepare();
    EXPECT_EQ(rows_->reads, 1);
    EXPECT_EQ(report->Table().rows.size(), 30u);

    // A data source that is not there.
    auto app = ReportEngine::CreateEngine(rows_);
    auto other = ReportEngine::OpenTemplate(app, Shipped("Second.rpt"));
    ReportEngine::SetTableLogon(other, 1, "Nowhere", "", "", "");
    try {
        other->Prepare();
        ADD_FAILURE() << "read from a missing data source";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.Code(), kErrorDataSource);
        EXPECT_NE(std::string(e.what()).find("Nowhere"), std::string::npos) << e.what();
    }
    // A table without a column the template prints.
    rows_->tables["Observation_tbl"].columns[15] = "sH_renamed";
    auto renamed = Open(Shipped("Second.rpt"));
    try {
        renamed->Prepare();
        ADD_FAILURE() << "missing column accepted";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.Code(), kErrorUnknownField);
        EXPECT_NE(std::string(e.what()).find("sH"), std::string::npos) << e.what();
    }
}

// A parameter the template declares but nobody sets prints its default, and
// does not stop the report.
TEST_F(EngineTest, UnsetParameterPrintsItsDefault) {
    QFile f(dir_.filePath("extra.rpt"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(
        R"(<report><parameters><parameter name="sCompany" default="某测绘院"/><parameter name="sSun"/>
</parameters><report-header height="20"><text x="0" y="0" width="100" height="8">{param:sCompany}|{param:sSun}|</text>
</report-header></report>)");
    f.close();
    auto app = ReportEngine::CreateEngine(rows_);
    auto report = ReportEngine::OpenTemplate(app, f.fileName().toStdString());
    ReportEngine::SetParameterValue(ReportEngine::FindParameter(report, "sSun"), "东南");
    const QString pdf = dir_.filePath("extra.pdf");
    WritePdf(report, pdf);
    EXPECT_TRUE(test::PdfText(pdf).contains("某测绘院|东南|")) << test::PdfText(pdf).toStdString();
}

TEST_F(EngineTest, PdfHoldsHeaderStationsInOrderAndTotals) {
    auto report = Open(Shipped("Second.rpt"));
    ReportHeader h;
    for (const auto& f : kReportHeaderFields) h.*f.member = std::string("值") + f.name;
    h.sStationStGo = "北京BM1";
    h.sWeather = "晴转多云";
    SetAll(report, HeaderParameters(TemplateSecondOrder, h));
    SetAll(report, ResultParameters(TemplateSecondOrder, ReportTotals{1.234, 0.0, -0.0123456}));
    const QString pdf = dir_.filePath("book.pdf");
    WritePdf(report, pdf);
    ASSERT_GT(report->PageCount(), 2);  // 30 stations run over several pages

    const QString text = test::PdfText(pdf);
    for (const QString expected :
         {"二等水准测量记录手簿", "北京BM1", "晴转多云", "值sSunLocation", "值sTemperature",
          "1.23 km", "0.00 km", "-0.01235", "测站编号", "第一次读数"}) {
        EXPECT_TRUE(test::HasText(text, expected)) << expected.toStdString();
    }
    EXPECT_TRUE(test::HasText(text, QString("第 1 页 共 %1 页").arg(report->PageCount())));
    // Every value of every station, station after station.
    qsizetype at = 0;
    for (int s = 1; s <= 30; ++s) {
        for (const char* column :
             {"sDis_Back", "sBack_I", "sFore_Back_I", "sFore_I", "sFBI_Height", "sH"}) {
            const QString value = QString("S%1:%2").arg(s).arg(column);
            const qsizetype found = text.indexOf(value);
            ASSERT_GE(found, 0) << value.toStdString();
            if (std::string(column) == "sDis_Back") {
                EXPECT_GT(found, at) << value.toStdString() << " out of order";
                at = found;
            }
        }
    }
    // The column headings are on every page.
    EXPECT_EQ(text.count("第二次读数"), report->PageCount());
}

TEST_F(EngineTest, ThirdFourthTemplatePrintsItsFifteenParameters) {
    auto report = Open(Shipped("ThirdandFour.rpt"));
    ReportHeader h;
    h.sStationStGo = "起点";
    h.sSunLocation = "不应出现";
    SetAll(report, HeaderParameters(TemplateThirdFourthOrder, h));
    SetAll(report, ResultParameters(TemplateThirdFourthOrder, ReportTotals{12.345, 9.0, 0.5}));
    const QString pdf = dir_.filePath("third.pdf");
    WritePdf(report, pdf);
    const QString text = test::PdfText(pdf);
    EXPECT_TRUE(text.contains("三、四等水准测量记录手簿"));
    EXPECT_TRUE(text.contains("起点"));
    EXPECT_TRUE(text.contains("12.35 km"));  // 12.345 is stored just above the half
    EXPECT_TRUE(text.contains("0.50000"));
    EXPECT_FALSE(text.contains("不应出现"));
    EXPECT_FALSE(text.contains("温度"));
}

TEST_F(EngineTest, PdfToAnUnwritablePlaceFails) {
    auto report = Open(Shipped("Second.rpt"));
    try {
        WritePdf(report, dir_.filePath("no/such/folder/x.pdf"));
        ADD_FAILURE() << "wrote into a missing folder";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.Code(), kErrorOutput);
    }
}

TEST_F(EngineTest, ViewerShowsPagesAndEmptiesWhenDetached) {
    auto report = Open(Shipped("Second.rpt"));
    {
        ReportViewer viewer;
        viewer.resize(900, 700);
        viewer.show();
        viewer.AttachReport(report);
        viewer.SetShowPageList(false);
        viewer.SetShowStatusBar(false);
        viewer.ShowReport();
        EXPECT_EQ(viewer.PageView()->pageCount(), report->PageCount());
        EXPECT_FALSE(viewer.PageListShown());
        viewer.PageView()->goToPage(2);
        EXPECT_EQ(viewer.PageView()->currentPage(), 2);
        viewer.PageView()->setZoomMode(ReportPageView::ZoomMode::FitPage);
        EXPECT_LE(viewer.PageView()->pageRect(0).height(), viewer.PageView()->viewport()->height());
        viewer.PageView()->setZoomMode(ReportPageView::ZoomMode::FitWidth);
        EXPECT_LE(viewer.PageView()->pageRect(0).width(), viewer.PageView()->viewport()->width());
        EXPECT_GT(viewer.PageView()->pageRect(0).width(),
                  viewer.PageView()->viewport()->width() * 8 / 10);

        // The screen shows ink where the PDF has it: the page is not blank.
        QImage shot(viewer.PageView()->viewport()->size(), QImage::Format_RGB32);
        viewer.PageView()->viewport()->render(&shot);
        const QRect page =
            viewer.PageView()->pageRect(viewer.PageView()->currentPage()).intersected(shot.rect());
        int dark = 0;
        for (int y = page.top(); y < page.bottom(); y += 2) {
            for (int x = page.left(); x < page.right(); x += 2)
                dark += qGray(shot.pixel(x, y)) < 128;
        }
        EXPECT_GT(dark, 100);

        viewer.AttachReport({});
        EXPECT_EQ(viewer.PageView()->pageCount(), 0);
    }
    EXPECT_EQ(report->RefCount(), 1);
}

TEST(ReportDialogLayout, FollowsTheOuterSize) {
    struct Case {
        QSize outer;
        QRect viewer, button;
    };
    const Case cases[] = {
        {{1040, 800}, {0, 30, 940, 700}, {950, 710, 70, 20}},
        {{1936, 1056}, {0, 30, 1836, 956}, {1846, 966, 70, 20}},
        {{80, 60}, {0, 30, 0, 0}, {-10, -30, 70, 20}},
    };
    for (const auto& c : cases) {
        const auto l = ComputeReportDialogLayout(c.outer);
        EXPECT_EQ(l.viewer, c.viewer);
        EXPECT_EQ(l.button, c.button);
    }
}

}  // namespace
}  // namespace lorvex::report
