#include <bit>
#include <limits>

#include "db/report_archive.h"
#include "db_fixture.h"

namespace lorvex::db::test {
namespace {

using ReportArchive = DbTest;

// What the archive must give back: everything ComputeReport made and the
// front ends print, and where it came from.
void ExpectSameReport(const ReportRows& got, const ReportRows& want) {
    EXPECT_EQ(got.grade, want.grade);
    EXPECT_EQ(got.info, want.info);
    EXPECT_EQ(got.result, want.result);
    EXPECT_EQ(got.observations, want.observations);
    EXPECT_EQ(got.lineName, want.lineName);
    EXPECT_EQ(got.fileName, std::filesystem::path(want.fileName).filename().string());
}

ReportRows Shaped(const std::string& tag, int stations, LevellingGrade grade, double length,
                  double height, std::optional<double> go) {
    ReportRows rows = MakeReport(tag, stations);
    rows.grade = grade;
    rows.result.dDis_Go = rows.result.dDis_Back = length;
    rows.result.HeightAvg = height;
    rows.result.HeightAvg_Go = go;
    rows.fileName = "/survey/week 49/" + tag + ".mdt";
    rows.lineName = "line-" + tag;
    return rows;
}

TEST_F(ReportArchive, EveryReportComesBackAsWritten) {
    // Doubles that the SQLite driver's 15-digit text would change, texts
    // past the 255 of the column declaration, Chinese, a line without
    // stations, and a header left empty.
    ReportRows longTexts = Shaped("long", 2, GradeThird, 1.5, -0.25, std::nullopt);
    longTexts.info.sWeather = std::string(300, 'w');
    ReplaceText(longTexts, 1, &ObservationRow::sH, "高差 " + std::string(400, '9'));
    ReportRows emptyHeader = Shaped("empty", 1, GradeFourth, 0.0, 0.0, std::nullopt);
    emptyHeader.info = ReportHeader{};
    const ReportRows reports[] = {
        Shaped("second", 3, GradeSecond, 0.1 + 0.2, 0.58028, std::nullopt),
        Shaped("digits", 4, GradeSecond, 12.345678901234567, -1.0000000000000002, 2.5),
        Shaped("tiny", 2, GradeThird, std::numeric_limits<double>::denorm_min(), 1e300, -7.25e-9),
        Shaped("none", 0, GradeFourth, 0.0, 0.0, std::nullopt),
        longTexts,
        emptyHeader,
    };
    RecordingSink sink;
    for (const ReportRows& rows : reports) {
        ASSERT_EQ(WriteReportTables(rows, sink), WriteOutcome::Written);
    }
    EXPECT_TRUE(sink.shown.empty());

    const std::vector<ArchivedReport> listed = ListArchivedReports(std::nullopt, std::nullopt);
    ASSERT_EQ(listed.size(), std::size(reports));
    for (std::size_t i = 0; i < listed.size(); ++i) {
        // Newest first.
        const ReportRows& want = reports[std::size(reports) - 1 - i];
        SCOPED_TRACE(want.lineName);
        const ArchivedReport& entry = listed[i];
        EXPECT_EQ(entry.id, static_cast<std::int64_t>(std::size(reports) - i));
        EXPECT_EQ(entry.line, want.lineName);
        EXPECT_EQ(entry.file, want.lineName.substr(5) + ".mdt");
        EXPECT_EQ(entry.grade, want.grade);
        EXPECT_EQ(entry.stations, static_cast<std::int64_t>(want.observations.size()));
        // Bit for bit, as compute prints them.
        EXPECT_EQ(std::bit_cast<std::uint64_t>(entry.lengthKm),
                  std::bit_cast<std::uint64_t>(want.result.dDis_Go));
        EXPECT_EQ(entry.heightM, want.result.HeightAvg);
        EXPECT_EQ(entry.user, CurrentUserName());
        EXPECT_EQ(entry.host, CurrentHostName());
        EXPECT_EQ(entry.written.size(), 20u) << entry.written;
        EXPECT_EQ(entry.written.back(), 'Z');

        const std::optional<ArchivedRows> back = ReadArchivedReport(entry.id);
        ASSERT_TRUE(back.has_value());
        ExpectSameReport(back->rows, want);
    }
    EXPECT_FALSE(ReadArchivedReport(0).has_value());
    EXPECT_FALSE(ReadArchivedReport(99).has_value());
}

TEST_F(ReportArchive, ListFiltersByLineAndLimits) {
    RecordingSink sink;
    for (const char* tag : {"a", "b", "a", "c", "a"}) {
        ASSERT_EQ(WriteReportTables(Shaped(tag, 1, GradeSecond, 1.0, 1.0, std::nullopt), sink),
                  WriteOutcome::Written);
    }
    auto ids = [](const std::vector<ArchivedReport>& list) {
        std::vector<std::int64_t> out;
        for (const auto& r : list) out.push_back(r.id);
        return out;
    };
    const struct {
        std::optional<std::int64_t> limit;
        std::optional<std::string> line;
        std::vector<std::int64_t> ids;
    } cases[] = {
        {std::nullopt, std::nullopt, {5, 4, 3, 2, 1}},
        {2, std::nullopt, {5, 4}},
        {std::nullopt, "line-a", {5, 3, 1}},
        {1, "line-a", {5}},
        {0, std::nullopt, {}},
        {std::nullopt, "line-z", {}},
        {std::nullopt, "line-a' OR '1'='1", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line.value_or("(all)"));
        EXPECT_EQ(ids(ListArchivedReports(c.limit, c.line)), c.ids);
    }
}

// A fault at any step of the archive keeps the whole report out: neither
// the last-report tables nor the archive change.
TEST_F(ReportArchive, AFailingArchiveWriteKeepsEverythingAsItWas) {
    const struct {
        const char* label;
        const char* trigger;
    } cases[] = {
        {"report row", "BEFORE INSERT ON Report_tbl"},
        {"header row", "BEFORE INSERT ON InfoArchive_tbl"},
        {"totals row", "BEFORE INSERT ON ResultArchive_tbl"},
        {"fifth station", "BEFORE INSERT ON ObservationArchive_tbl WHEN NEW.Record_ID = 5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        RecordingSink sink;
        ASSERT_EQ(WriteReportTables(Shaped("old", 3, GradeSecond, 1.0, 2.0, std::nullopt), sink),
                  WriteOutcome::Written);
        const Snapshot before = Tables();
        const auto archived = ListArchivedReports(std::nullopt, std::nullopt);
        Sql({std::string("CREATE TRIGGER refuse ") + c.trigger +
             " BEGIN SELECT RAISE(ABORT, 'archive refused'); END"});

        EXPECT_EQ(WriteReportTables(Shaped("new", 8, GradeSecond, 3.0, 4.0, std::nullopt), sink),
                  WriteOutcome::Failed);
        ASSERT_EQ(sink.shown.size(), 1u);
        EXPECT_EQ(sink.shown[0].icon, MessageIcon::Stop);
        EXPECT_NE(sink.shown[0].text.find("archive refused"), std::string::npos);
        EXPECT_EQ(Tables(), before);
        EXPECT_EQ(ListArchivedReports(std::nullopt, std::nullopt), archived);
        EXPECT_EQ(ReadTable("Qel", "ObservationArchive_tbl").rows.size(), 3u * archived.size());
        Sql({"DROP TRIGGER refuse"});
    }
}

void ExpectSameCheck(const std::optional<LineCheck>& got, const std::optional<LineCheck>& want) {
    ASSERT_EQ(got.has_value(), want.has_value());
    if (!want) return;
    EXPECT_EQ(got->grade, want->grade);
    ASSERT_EQ(got->stations.size(), want->stations.size());
    for (std::size_t i = 0; i < want->stations.size(); ++i) {
        EXPECT_EQ(got->stations[i].flags, want->stations[i].flags) << "station " << i;
    }
    EXPECT_EQ(got->line, want->line);
    EXPECT_EQ(got->run.stations, want->run.stations);
    EXPECT_EQ(got->run.lengthDm, want->run.lengthDm);
    EXPECT_EQ(got->run.height, want->run.height);
    // What the record book prints from them.
    EXPECT_EQ(CheckFooter(*got), CheckFooter(*want));
}

// The checks a report was written with come back with it, whatever the
// limit table says by then: none, all passing, stations with several flags
// (signed values, as the book prints them) and a flag of the whole line.
TEST_F(ReportArchive, ChecksComeBackAsTheyWereWritten) {
    LineCheck passing;
    passing.grade = GradeSecond;
    passing.stations.resize(4);
    passing.run = {GradeSecond, 4, 1234, -58028, "A", "B"};
    LineCheck flagged = passing;
    flagged.grade = flagged.run.grade = GradeThird;
    flagged.stations[0].flags = {Flag{Rule::SightMax, 52'310'000, 50'000'000},
                                 Flag{Rule::DistanceDiff, -1'800'000, 1'500'000}};
    flagged.stations[3].flags = {Flag{Rule::DhDiff, -610'000, 550'000}};
    flagged.line = {Flag{Rule::EvenStations, 3'000'000, 0}};
    LineCheck empty;  // a line without stations

    const std::optional<LineCheck> checks[] = {std::nullopt, passing, flagged, empty};
    RecordingSink sink;
    for (const auto& check : checks) {
        const ReportRows rows = Shaped("c", 4, GradeSecond, 1.0, 2.0, std::nullopt);
        ASSERT_EQ(WriteReportTables(rows, sink, check ? &*check : nullptr), WriteOutcome::Written);
    }
    EXPECT_TRUE(sink.shown.empty());
    for (std::size_t i = 0; i < std::size(checks); ++i) {
        SCOPED_TRACE(i);
        const auto back = ReadArchivedReport(static_cast<std::int64_t>(i + 1));
        ASSERT_TRUE(back.has_value());
        ExpectSameCheck(back->check, checks[i]);
    }
}

// A damaged text in the archive is a database error, never a crash or a
// check that was not made.
TEST_F(ReportArchive, DamagedChecksAreAnError) {
    for (const char* text :
         {"", "2 1 1 0 0", "2 1 1 0 0;", "x 1 1 0 0;;",
          "2 1 1 0 0;;5=", "2 1 1 0 0;;1=sight_max:1:2", "2 1 1 0 0;;0=no_rule:1:2",
          "2 1 1 0 0;sight_max:1;", "2 1 1 0 0;sight_max:1:2:3;", "2 99999999999 1 0 0;;"}) {
        SCOPED_TRACE(text);
        EXPECT_THROW(CheckFromText(text), DbError);
    }
}

// An archive from before the checks were kept: its reports read back
// without checks, and the next report adds the column and keeps its own.
TEST_F(ReportArchive, AnOlderArchiveGainsTheChecks) {
    RecordingSink sink;
    ASSERT_EQ(WriteReportTables(Shaped("old", 2, GradeSecond, 1.0, 2.0, std::nullopt), sink),
              WriteOutcome::Written);
    Sql({"ALTER TABLE Report_tbl DROP COLUMN Checks"});
    ASSERT_TRUE(ReadArchivedReport(1).has_value());
    EXPECT_FALSE(ReadArchivedReport(1)->check.has_value());

    LineCheck check;
    check.stations.resize(2);
    check.stations[1].flags = {Flag{Rule::SightMin, 2'000'000, 3'000'000}};
    ASSERT_EQ(
        WriteReportTables(Shaped("new", 2, GradeSecond, 1.0, 2.0, std::nullopt), sink, &check),
        WriteOutcome::Written);
    EXPECT_TRUE(sink.shown.empty());
    EXPECT_FALSE(ReadArchivedReport(1)->check.has_value());
    ExpectSameCheck(ReadArchivedReport(2)->check, check);
}

// A database made before the archive: its last report stays, and the
// archive tables appear on the next installation or on the next report.
TEST_F(ReportArchive, AnOlderDatabaseGainsTheArchive) {
    for (const bool byInstall : {true, false}) {
        SCOPED_TRACE(byInstall ? "install-data" : "next report");
        RecordingSink sink;
        ASSERT_EQ(WriteReportTables(Shaped("old", 2, GradeSecond, 1.0, 2.0, std::nullopt), sink),
                  WriteOutcome::Written);
        Sql({"DROP TABLE ObservationArchive_tbl", "DROP TABLE ResultArchive_tbl",
             "DROP TABLE InfoArchive_tbl", "DROP TABLE Report_tbl"});
        const Snapshot before = Tables();
        EXPECT_TRUE(ListArchivedReports(std::nullopt, std::nullopt).empty());
        EXPECT_FALSE(ReadArchivedReport(1).has_value());

        if (byInstall) {
            InstallData(fs::path(LORVEX_SOURCE_DIR) / "resources", false);
            EXPECT_EQ(Tables(), before);
            EXPECT_TRUE(ListArchivedReports(std::nullopt, std::nullopt).empty());
        }
        const ReportRows next = Shaped("next", 3, GradeThird, 5.0, 6.0, 1.0);
        ASSERT_EQ(WriteReportTables(next, sink), WriteOutcome::Written);
        EXPECT_TRUE(sink.shown.empty());
        const auto listed = ListArchivedReports(std::nullopt, std::nullopt);
        ASSERT_EQ(listed.size(), 1u);
        ExpectSameReport(ReadArchivedReport(listed[0].id)->rows, next);
    }
}

}  // namespace
}  // namespace lorvex::db::test
