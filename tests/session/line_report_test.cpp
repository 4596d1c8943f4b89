// A line prepared for a whole-file run is the line a click in a new window
// and the report command prepare, and preparing it leaves the window's state.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "levelling/totals.h"
#include "session/levelling_session.h"

namespace lorvex {
namespace {

const std::string kSample = std::string(LORVEX_SOURCE_DIR) + "/samples/sample.mdt";

std::vector<std::string> Texts(const ReportRows& rows) {
    std::vector<std::string> texts;
    for (const ObservationRow& row : rows.observations) {
        for (const auto& field : kObservationRowFields) texts.push_back(row.*(field.member));
    }
    return texts;
}

TEST(LineReport, EqualsAClickInANewWindowThenTheReport) {
    LevellingSession whole;
    ASSERT_TRUE(whole.ImportFile(kSample).opened);
    // The session used for the whole file shows a line with a row edited
    // (the stored record stays as read).
    whole.ClickLine(3);
    whole.EditRow(0, std::string("BM2 B 9.99999 20.00"));
    const std::vector<std::string> shownRows(whole.DataRows().begin(), whole.DataRows().end());
    ReportHeader header;
    header.sWeather = "晴";
    for (std::size_t line = 0; line < whole.LineCount(); ++line) {
        SCOPED_TRACE(line);
        LevellingSession fresh;
        ASSERT_TRUE(fresh.ImportFile(kSample).opened);
        fresh.Header() = header;
        fresh.ClickLine(static_cast<int>(line));
        const PreparedReport expected = fresh.PrepareReport();
        const LevellingSession::LineReport got = whole.PrepareLineReport(line, header);
        ASSERT_FALSE(expected.stop) << expected.stop->text;
        ASSERT_FALSE(got.prepared.stop) << got.prepared.stop->text;
        EXPECT_EQ(got.prepared.rows.grade, expected.rows.grade);
        EXPECT_EQ(got.prepared.rows.info.sStationStGo, expected.rows.info.sStationStGo);
        EXPECT_EQ(got.prepared.rows.info.sStationEnGo, expected.rows.info.sStationEnGo);
        EXPECT_EQ(got.prepared.rows.info.sWeather, "晴");
        EXPECT_EQ(got.prepared.rows.result, expected.rows.result);
        EXPECT_EQ(Texts(got.prepared.rows), Texts(expected.rows));
        EXPECT_EQ(got.prepared.rows.lineName, expected.rows.lineName);
        ASSERT_TRUE(got.prepared.check && expected.check);
        EXPECT_EQ(got.prepared.check->line, expected.check->line);
    }
    EXPECT_EQ(whole.ShownLine(), 3);
    EXPECT_EQ(std::vector<std::string>(whole.DataRows().begin(), whole.DataRows().end()),
              shownRows);
    EXPECT_EQ(whole.Grade(), GradeFourth);
}

// The window keeps the last grade after a click on a line it cannot read;
// a whole-file run must not compute such a line with the grade of another.
TEST(LineReport, ALineOfNoGradeStopsWhateverWasShownBefore) {
    LevellingSession session;
    const std::string file = ::testing::TempDir() + "/line_report_no_grade.mdt";
    {
        std::FILE* out = std::fopen(file.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        std::fputs(
            "@Odd Line 2026-03-07 08:00:00 0 0 107\r\nA B 1.5 20 0 1 107\r\n"
            "B F 1.2 20 0 2 107\r\nC F 1.2 20 0 3 107\r\nD B 1.5 20 0 4 107\r\n"
            "@Empty Line 2026-03-07 08:00:00 0 0 107\r\n",
            out);
        std::fclose(out);
    }
    ASSERT_TRUE(session.ImportFile(file).opened);
    session.ApplyGrade(GradeSecond);
    struct Case {
        std::size_t line;
        const char* stop;
    };
    for (const Case& c : {Case{0, "数据格式不支持！"}, Case{1, "没有测量数据，请选择线路名称！"},
                          Case{7, "没有测量数据，请选择线路名称！"}}) {
        SCOPED_TRACE(c.line);
        const LevellingSession::LineReport got = session.PrepareLineReport(c.line, {});
        ASSERT_TRUE(got.prepared.stop);
        EXPECT_EQ(got.prepared.stop->text, c.stop);
    }
}

}  // namespace
}  // namespace lorvex
