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
    // The third/fourth-order book names the grade it was computed with.
    const Case cases[] = {{GradeSecond, "二等水准测量记录手簿", true},
                          {GradeThird, "三等水准测量记录手簿", false},
                          {GradeFourth, "四等水准测量记录手簿", false}};
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

// Rows the caller holds: no database is touched.
class HeldRowsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::App();
        baseline_ = RefCounted::LiveObjects();
    }
    void TearDown() override {
        EXPECT_EQ(RefCounted::LiveObjects(), baseline_) << "engine objects left";
    }
    static fs::path Shipped(const char* name) {
        return fs::path(LORVEX_SOURCE_DIR) / "resources" / "templates" / name;
    }
    static ReportRowsInMemory Rows(int stations) {
        ReportRowsInMemory rows;
        rows.header = ReportHeader{};
        rows.header->sStationStGo = "京BM甲12";
        rows.header->sSunLocation = "左前方";
        rows.totals = ReportTotals{1.234, 2.5, -0.0123456};
        rows.stations.columns.push_back("Record_ID");
        for (const auto& f : kObservationRowFields) rows.stations.columns.push_back(f.name);
        for (int s = 1; s <= stations; ++s) {
            std::vector<std::optional<std::string>> row{std::to_string(s)};
            for (std::size_t i = 0; i < kObservationRowFields.size(); ++i)
                row.push_back(StationValue(s, i));
            rows.stations.rows.push_back(row);
        }
        return rows;
    }
    static QString Value(const RefPtr<Report>& report, const char* name) {
        return report->ParameterValue(report->ParameterIndex(name)).value_or("<unset>");
    }
    long baseline_ = 0;
};

TEST_F(HeldRowsTest, FillSetsTheParametersAndReadsTheStationsFromTheRowsGiven) {
    struct Case {
        const char* what;
        bool header, totals;
        QString start, sun, dis, height;
    };
    const Case cases[] = {
        {"both rows", true, true, "京BM甲12", "左前方", "1.23 km", "-0.01235"},
        {"no header row", false, true, "", "", "1.23 km", "-0.01235"},
        {"no totals row", true, false, "京BM甲12", "左前方", "", ""},
    };
    for (const auto& c : cases) {
        ReportRowsInMemory given = Rows(12);
        if (!c.header) given.header.reset();
        if (!c.totals) given.totals.reset();
        const auto rows = MakeMemoryReportRows(std::move(given));
        RecordingSink sink;
        EngineReferences held;
        ASSERT_TRUE(
            FillReportGuarded(held, Shipped("Second.rpt"), TemplateSecondOrder, *rows, sink))
            << c.what << "\n"
            << sink.Texts();
        EXPECT_TRUE(sink.shown.empty()) << c.what << "\n" << sink.Texts();
        // Opened: the stations counted and the pages laid out; the rows
        // after the first page are read when asked for.
        EXPECT_TRUE(held.report->IsOpened()) << c.what;
        EXPECT_EQ(held.report->RowCount(), 12) << c.what;
        held.report->Prepare();
        EXPECT_EQ(held.report->Table().rows.size(), 12u) << c.what;
        EXPECT_EQ(Value(held.report, "sStationStGo"), c.start) << c.what;
        EXPECT_EQ(Value(held.report, "sSun"), c.sun) << c.what;
        EXPECT_EQ(Value(held.report, "sDis_Go"), c.dis) << c.what;
        EXPECT_EQ(Value(held.report, "sHeight"), c.height) << c.what;
        EXPECT_EQ(held.parameterField->Name(), "sHeight") << c.what;  // the last one looked up
    }
}

// A source whose reads fail as the data source's do.
class FailingRows final : public ReportRowSource {
  public:
    enum class At { Header, Totals, Stations };
    FailingRows(At at, bool unavailable) : m_at(at), m_unavailable(unavailable) {}
    std::optional<ReportHeader> ReadHeader() override {
        Fail(At::Header, "Info_tbl");
        return ReportHeader{};
    }
    std::optional<ReportTotals> ReadTotals() override {
        Fail(At::Totals, "Result_tbl");
        return ReportTotals{};
    }
    std::shared_ptr<RowSource> StationRows() override {
        auto rows = std::make_shared<test::MemoryRows>();
        if (m_at != At::Stations) rows->tables["Observation_tbl"] = TableData{{"Record_ID"}, {}};
        return rows;
    }

  private:
    void Fail(At at, const std::string& table) {
        if (at != m_at) return;
        if (m_unavailable) throw TableUnavailable("no such table: " + table);
        throw std::runtime_error("lost the connection reading " + table);
    }
    At m_at;
    bool m_unavailable;
};

TEST_F(HeldRowsTest, FailuresOfTheRowsShowTheirTextThenNoReport) {
    struct Case {
        const char* what;
        FailingRows::At at;
        bool unavailable;
        std::string text;
        MessageIcon icon;
    };
    const Case cases[] = {
        {"header table cannot be opened", FailingRows::At::Header, true, "Info_tbl",
         MessageIcon::Warning},
        {"totals table cannot be opened", FailingRows::At::Totals, true, "Result_tbl",
         MessageIcon::Warning},
        {"header read fails after opening", FailingRows::At::Header, false, "lost the connection",
         MessageIcon::Stop},
        {"stations cannot be read", FailingRows::At::Stations, false, "0x8004A003",
         MessageIcon::Stop},
    };
    for (const auto& c : cases) {
        FailingRows rows(c.at, c.unavailable);
        RecordingSink sink;
        EngineReferences held;
        EXPECT_FALSE(FillReportGuarded(held, Shipped("ThirdandFour.rpt"), TemplateThirdFourthOrder,
                                       rows, sink))
            << c.what;
        EXPECT_FALSE(held.report) << c.what;
        ASSERT_EQ(sink.shown.size(), 2u) << c.what << "\n" << sink.Texts();
        EXPECT_NE(sink.shown[0].text.find(c.text), std::string::npos) << sink.shown[0].text;
        EXPECT_EQ(sink.shown[0].icon, c.icon) << c.what;
        EXPECT_EQ(sink.shown[1], MessageFromId(IDS_NO_REPORT)) << c.what;
    }
}

// The rows given win over what the data source holds.
TEST_F(ReportDbTest, DialogHandsTheFinishedReportOfTheRowsGivenToTheViewer) {
    Write(MakeRows(GradeSecond, 3));  // header "京BM甲12" in the database
    ReportRowsInMemory given;
    given.header = ReportHeader{};
    given.header->sStationStGo = "别处的点";
    given.stations.columns = {"Record_ID", "sStation"};
    RecordingSink sink;
    CReportExportDlg dialog(sink);
    dialog.SetRowSource(MakeMemoryReportRows(std::move(given)));
    dialog.SelectTemplate(GradeSecond);
    dialog.OnInitDialog();
    // The template prints more columns than these rows have.
    ASSERT_EQ(sink.shown.size(), 2u) << sink.Texts();
    EXPECT_NE(sink.shown[0].text.find("sDis_Back"), std::string::npos) << sink.shown[0].text;

    ReportRowsInMemory whole;
    whole.header = ReportHeader{};
    whole.header->sStationStGo = "别处的点";
    whole.stations.columns.push_back("Record_ID");
    for (const auto& f : kObservationRowFields) whole.stations.columns.push_back(f.name);
    whole.stations.rows.assign(40, std::vector<std::optional<std::string>>(18, "1"));
    RecordingSink sink2;
    CReportExportDlg shown(sink2);
    shown.SetRowSource(MakeMemoryReportRows(std::move(whole)));
    shown.SelectTemplate(GradeSecond);
    shown.OnInitDialog();
    EXPECT_TRUE(sink2.shown.empty()) << sink2.Texts();
    const auto& report = shown.Held().report;
    ASSERT_TRUE(report);
    EXPECT_EQ(report->ParameterValue(report->ParameterIndex("sStationStGo")), "别处的点");
    EXPECT_EQ(report->RowCount(), 40);
    EXPECT_EQ(shown.Viewer()->AttachedReport().Get(), report.Get());
    EXPECT_EQ(shown.Viewer()->PageView()->pageCount(), report->PageCount());
    // The viewer shows the pages alone.
    EXPECT_FALSE(shown.Viewer()->PageListShown());
    EXPECT_FALSE(shown.Viewer()->StatusBarShown());
}

}  // namespace
}  // namespace lorvex::report
