// Filling the record book from the database and showing it: the parameters
// of each template kind, the report dialog, and the PDF written without a
// window. The database tests run against the real SQLite ODBC driver through
// a data source registered in a temporary ODBCINI.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QPushButton>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>

#include "base/messages.h"
#include "db/data_source.h"
#include "db/install.h"
#include "db/odbc.h"
#include "db/report_store.h"
#include "report/report_entry.h"
#include "report/report_export_dlg.h"
#include "report/report_fill.h"
#include "report/report_page_view.h"
#include "report/report_viewer.h"
#include "report_test_support.h"

namespace lorvex::report {
namespace {

namespace fs = std::filesystem;

TEST(FillParameters, EachKindSetsItsFieldsInOrder) {
    ReportHeader h;
    for (const auto& f : kReportHeaderFields) h.*f.member = std::string("<") + f.name + ">";
    const auto second = HeaderParameters(TemplateSecondOrder, h);
    const auto third = HeaderParameters(TemplateThirdFourthOrder, h);
    ASSERT_EQ(second.size(), 18u);
    ASSERT_EQ(third.size(), 13u);
    EXPECT_EQ(ResultParameters(TemplateSecondOrder, ReportTotals{}).size(), 3u);
    EXPECT_EQ(ResultParameters(TemplateThirdFourthOrder, ReportTotals{}).size(), 2u);
    // Every field carries its own column, except sSun, which is the sun direction.
    for (const auto* list : {&second, &third}) {
        for (const auto& p : *list) {
            const std::string expected = p.name == "sSun" ? "<sSunLocation>" : "<" + p.name + ">";
            EXPECT_EQ(p.text, expected) << p.name;
        }
    }
    const std::vector<std::string> order{
        "sStationStGo", "sStationEnGo", "sStationStBack", "sStationEnBack", "sWeather",
        "sImaging",     "sRoad",        "sWind",          "sSun",           "sYear",
        "sMonth",       "sDay",         "sHourSt",        "sMinSt",         "sHourEn",
        "sMinEn",       "sCloud",       "sTemperature"};
    for (std::size_t i = 0; i < order.size(); ++i) EXPECT_EQ(second[i].name, order[i]);
    for (const auto& p : third) {
        for (const char* secondOnly : {"sRoad", "sWind", "sSun", "sCloud", "sTemperature"}) {
            EXPECT_NE(p.name, secondOnly);
        }
    }
}

TEST(FillParameters, TotalsTexts) {
    struct Case {
        double go, back, height;
        std::string goText, backText, heightText;
    };
    const Case cases[] = {
        {1.234, 0.0, -0.0123456, "1.23 km", "0.00 km", "-0.01235"},
        {0.125, 2.5, 0.000005, "0.13 km", "2.50 km", "0.00001"},  // halves away from zero
        {-0.001, 10.0, -0.000001, "-0.00 km", "10.00 km", "-0.00000"},
    };
    for (const auto& c : cases) {
        const auto p = ResultParameters(TemplateSecondOrder, ReportTotals{c.go, c.back, c.height});
        EXPECT_EQ(p[0], (ReportParameter{"sDis_Back", c.backText}));
        EXPECT_EQ(p[1], (ReportParameter{"sDis_Go", c.goText}));
        EXPECT_EQ(p[2], (ReportParameter{"sHeight", c.heightText}));
        const auto q =
            ResultParameters(TemplateThirdFourthOrder, ReportTotals{c.go, c.back, c.height});
        EXPECT_EQ(q[0], (ReportParameter{"sDis_Go", c.goText}));
        EXPECT_EQ(q[1], (ReportParameter{"sHeight", c.heightText}));
    }
    // No totals row: empty texts, not zeros that were never computed.
    for (const auto& p : ResultParameters(TemplateSecondOrder, std::nullopt))
        EXPECT_EQ(p.text, "") << p.name;
}

TEST(FillParameters, GradesChooseTheirTemplate) {
    const fs::path folder = "/data/Lorvex";
    struct Case {
        LevellingGrade grade;
        std::string path;
    };
    const Case cases[] = {
        {GradeSecond, "/data/Lorvex/Second.rpt"},
        {GradeThird, "/data/Lorvex/ThirdandFour.rpt"},
        {GradeFourth, "/data/Lorvex/ThirdandFour.rpt"},
        {GradeNone, ""},
        {3, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TemplatePath(folder, TemplateKindForGrade(c.grade)).string(), c.path) << c.grade;
    }
}

struct RecordingSink final : MessageSink {
    std::vector<UserMessage> shown;
    void Show(const UserMessage& m) override { shown.push_back(m); }
    std::string Texts() const {
        std::string all;
        for (const auto& m : shown) all += m.text + "\n";
        return all;
    }
};

// A value that names its station and column, short enough for every cell.
std::string StationValue(int station, std::size_t column) {
    return "S" + std::to_string(station) + (column < 10 ? "c0" : "c") + std::to_string(column);
}

ReportRows MakeRows(LevellingGrade grade, int stations) {
    ReportRows rows;
    rows.grade = grade;
    for (const auto& f : kReportHeaderFields) rows.info.*f.member = std::string("表头") + f.name;
    rows.info.sStationStGo = "京BM甲12";
    rows.info.sWeather = "晴";
    rows.info.sSunLocation = "左前方";
    rows.result.dDis_Go = 1.234;
    rows.result.dDis_Back = 1.2449;
    rows.result.HeightAvg = -0.0123456;
    for (int s = 1; s <= stations; ++s) {
        ObservationRow row;
        for (std::size_t i = 0; i < kObservationRowFields.size(); ++i) {
            row.*kObservationRowFields[i].member = StationValue(s, i);
        }
        row.sStation = std::to_string(s);
        rows.observations.push_back(row);
    }
    return rows;
}

class ReportDbTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::App();
        ASSERT_TRUE(dir_.isValid());
        root_ = dir_.path().toStdString();
        setenv("ODBCINI", (root_ / "odbc.ini").c_str(), 1);
        setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
        db::InstallData(fs::path(LORVEX_SOURCE_DIR) / "resources", false);
        std::string error;
        ASSERT_TRUE(db::RegisterDataSource(&error)) << error;
        baseline_ = RefCounted::LiveObjects();
    }
    void TearDown() override {
        EXPECT_EQ(RefCounted::LiveObjects(), baseline_) << "engine objects left";
    }

    void Write(const ReportRows& rows) {
        RecordingSink sink;
        ASSERT_EQ(db::WriteReportTables(rows, sink), db::WriteOutcome::Written) << sink.Texts();
    }
    static void Sql(const std::string& statement) {
        db::CDatabase db;
        db.Open(std::string(db::kConnectString));
        db.ExecuteSQL(statement);
    }
    fs::path DataFolder() const { return db::GetDataFolder(); }
    QString Out(const char* name) const { return QString::fromStdString((root_ / name).string()); }

    QTemporaryDir dir_;
    fs::path root_;
    long baseline_ = 0;
};

TEST_F(ReportDbTest, PdfOfEachGradeCarriesHeaderStationsAndTotals) {
    struct Case {
        LevellingGrade grade;
        const char* title;
        bool secondOnlyFields;
    };
    const Case cases[] = {{GradeSecond, "二等水准测量记录手簿", true},
                          {GradeThird, "三、四等水准测量记录手簿", false},
                          {GradeFourth, "三、四等水准测量记录手簿", false}};
    for (const auto& c : cases) {
        Write(MakeRows(c.grade, 25));
        RecordingSink sink;
        const QString pdf = Out("book.pdf");
        ASSERT_TRUE(WriteReportPdf(c.grade, pdf.toStdString(), sink)) << sink.Texts();
        EXPECT_TRUE(sink.shown.empty()) << sink.Texts();
        const QString text = test::PdfText(pdf);
        EXPECT_TRUE(test::HasText(text, c.title)) << c.grade;
        EXPECT_TRUE(test::HasText(text, "京BM甲12"));
        EXPECT_TRUE(test::HasText(text, "1.23 km"));
        EXPECT_TRUE(test::HasText(text, "-0.01235"));
        EXPECT_EQ(test::HasText(text, "左前方"), c.secondOnlyFields);
        EXPECT_EQ(test::HasText(text, "1.24 km"),
                  c.secondOnlyFields);  // sDis_Back, second order only
        // Every value of every station, station after station.
        const QString squeezed = test::Squeeze(text);
        qsizetype at = -1;
        for (int s = 1; s <= 25; ++s) {
            for (std::size_t i = 1; i < kObservationRowFields.size(); ++i) {
                const QString value = QString::fromStdString(StationValue(s, i));
                EXPECT_TRUE(squeezed.contains(value))
                    << value.toStdString() << " " << kObservationRowFields[i].name;
            }
            const qsizetype found = squeezed.indexOf(QString::fromStdString(StationValue(s, 1)));
            EXPECT_GT(found, at) << "station " << s << " out of order";
            at = found;
        }
    }
}

// A table that cannot be opened: the database's text first, then "报表未生成！".
TEST_F(ReportDbTest, UnreadableTableShowsTheDatabaseTextThenNoReport) {
    for (const char* table : {"Info_tbl", "Result_tbl"}) {
        Write(MakeRows(GradeSecond, 3));
        Sql(std::string("DROP TABLE ") + table);
        RecordingSink sink;
        EXPECT_FALSE(WriteReportPdf(GradeSecond, Out("none.pdf").toStdString(), sink));
        ASSERT_EQ(sink.shown.size(), 2u) << sink.Texts();
        EXPECT_NE(sink.shown[0].text.find(table), std::string::npos) << sink.shown[0].text;
        EXPECT_EQ(sink.shown[0].icon, MessageIcon::Warning);
        EXPECT_EQ(sink.shown[1], MessageFromId(IDS_NO_REPORT));
        EXPECT_FALSE(fs::exists(root_ / "none.pdf"));
        db::InstallData(fs::path(LORVEX_SOURCE_DIR) / "resources", true);  // a whole database again
    }
}

TEST_F(ReportDbTest, DialogShowsTheReportAndReleasesEverythingOnEitherClose) {
    Write(MakeRows(GradeThird, 40));
    for (const bool viaExitButton : {true, false}) {
        RecordingSink sink;
        {
            CReportExportDlg dialog(sink);
            dialog.SelectTemplate(GradeThird);
            dialog.OnInitDialog();
            EXPECT_TRUE(sink.shown.empty()) << sink.Texts();
            EXPECT_EQ(dialog.windowTitle(), "生成报表");
            EXPECT_EQ(dialog.TemplatePathUsed(), DataFolder() / "ThirdandFour.rpt");
            ASSERT_TRUE(dialog.Held().report);
            EXPECT_TRUE(dialog.Held().engine);
            EXPECT_TRUE(dialog.Held().parameterField);
            EXPECT_EQ(dialog.Viewer()->PageView()->pageCount(), dialog.Held().report->PageCount());
            EXPECT_TRUE(dialog.isVisible());
            const auto layout = ComputeReportDialogLayout(dialog.frameGeometry().size());
            EXPECT_EQ(dialog.Viewer()->geometry(), layout.viewer);
            EXPECT_EQ(dialog.ExitButton()->geometry(), layout.button);
            EXPECT_EQ(dialog.ExitButton()->text(), "退出(&O)");
            if (viaExitButton) {
                dialog.ExitButton()->click();
                EXPECT_EQ(dialog.result(), QDialog::Accepted);
                EXPECT_FALSE(dialog.Held().report);
                EXPECT_FALSE(dialog.Held().engine);
                EXPECT_FALSE(dialog.Held().parameterField);
                EXPECT_EQ(RefCounted::LiveObjects(), baseline_);
            } else {
                dialog.reject();  // the close box: released when the dialog goes
            }
        }
        EXPECT_EQ(RefCounted::LiveObjects(), baseline_);
    }
}

TEST_F(ReportDbTest, DialogFailuresLeaveItOpenAndEmpty) {
    Write(MakeRows(GradeSecond, 3));
    // A malformed Second.rpt in the data folder.
    {
        std::ofstream(DataFolder() / "Second.rpt")
            << "<?xml version=\"1.0\"?>\n<report>\n<page size=\"A4\"\n";
    }
    struct Case {
        const char* what;
        LevellingGrade grade;
        std::vector<std::string> firstMessages;  // parts of the messages before "报表未生成！"
    };
    const Case cases[] = {
        {"grade without template", GradeNone, {"模板不存在！"}},
        {"malformed template", GradeSecond, {"第 4 行"}},
    };
    for (const auto& c : cases) {
        RecordingSink sink;
        CReportExportDlg dialog(sink);
        dialog.SelectTemplate(c.grade);
        dialog.OnInitDialog();
        ASSERT_EQ(sink.shown.size(), c.firstMessages.size() + 1) << c.what << "\n" << sink.Texts();
        for (std::size_t i = 0; i < c.firstMessages.size(); ++i) {
            EXPECT_NE(sink.shown[i].text.find(c.firstMessages[i]), std::string::npos)
                << sink.shown[i].text;
        }
        EXPECT_EQ(sink.shown.back(), MessageFromId(IDS_NO_REPORT)) << c.what;
        EXPECT_FALSE(dialog.Held().report) << c.what;
        EXPECT_EQ(dialog.Viewer()->PageView()->pageCount(), 0) << c.what;
        EXPECT_TRUE(dialog.isVisible()) << c.what;
    }
    // The engine error is shown with its code and the stop icon.
    RecordingSink sink;
    CReportExportDlg dialog(sink);
    dialog.SelectTemplate(GradeSecond);
    dialog.OnInitDialog();
    ASSERT_EQ(sink.shown.size(), 2u);
    EXPECT_NE(sink.shown[0].text.find("0x8004A001"), std::string::npos) << sink.shown[0].text;
    EXPECT_EQ(sink.shown[0].icon, MessageIcon::Stop);
}

TEST_F(ReportDbTest, DatabaseFailureInTheDialogShowsTwoMessages) {
    Write(MakeRows(GradeFourth, 3));
    Sql("DROP TABLE Info_tbl");
    RecordingSink sink;
    CReportExportDlg dialog(sink);
    dialog.SelectTemplate(GradeFourth);
    dialog.OnInitDialog();
    ASSERT_EQ(sink.shown.size(), 2u) << sink.Texts();
    EXPECT_NE(sink.shown[0].text.find("Info_tbl"), std::string::npos) << sink.shown[0].text;
    EXPECT_EQ(sink.shown[1], MessageFromId(IDS_NO_REPORT));
    EXPECT_EQ(dialog.Viewer()->PageView()->pageCount(), 0);
    EXPECT_TRUE(dialog.isVisible());
}

}  // namespace
}  // namespace lorvex::report
