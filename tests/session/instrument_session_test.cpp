// The session over the other levels' files: the format told by content, one
// line per instrument line, the grade the file leaves open, and a line of
// single readings that is listed and shown but never reported.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "base/strings.h"
#include "session/levelling_session.h"

namespace lorvex {
namespace {

// A GSI-16 file: a BFFB line of one station (0.01 mm readings), then a BF
// line of one station, addresses running on without a gap.
const std::string kBffbThenBf =
    "*410001+0000000000000002 \n"
    "*110002+0000000000000A01 83...8+0000000010000000 \n"
    "*110003+0000000000000A01 32...8+0000000002531000 331..8+0000000000152341 \n"
    "*110004+00000000000000P1 32...8+0000000002487000 332..8+0000000000120112 \n"
    "*110005+00000000000000P1 32...8+0000000002488000 336..8+0000000000120108 \n"
    "*110006+0000000000000A01 32...8+0000000002532000 335..8+0000000000152349 \n"
    "*410007+0000000000000001 \n"
    "*110008+00000000000000P1 32...8+0000000002840000 331..8+0000000000148820 \n"
    "*110009+00000000000000P2 32...8+0000000002895000 332..8+0000000000161204 \n";

class Source final : public ByteSource {
  public:
    Source(std::string text, std::size_t failAfter = std::string::npos)
        : m_text(std::move(text)), m_failAfter(failAfter) {}
    std::optional<std::size_t> Read(char* buffer, std::size_t size) override {
        if (m_pos >= m_failAfter) return std::nullopt;
        const std::size_t n = std::min({size, m_text.size() - m_pos, m_failAfter - m_pos});
        std::memcpy(buffer, m_text.data() + m_pos, n);
        m_pos += n;
        return n;
    }

  private:
    std::string m_text;
    std::size_t m_failAfter;
    std::size_t m_pos = 0;
};

std::vector<std::string> Codes(const std::vector<std::string>& records) {
    std::vector<std::string> codes;
    for (const std::string& r : records) codes.push_back(r.substr(r.rfind(' ') + 1));
    return codes;
}

TEST(InstrumentSession, AsksTheGradeOnceAndWritesEveryLineWithIt) {
    LevellingSession session;
    Source source(kBffbThenBf);
    const ImportOutcome outcome = session.ImportBytes(source, "a.txt");
    ASSERT_TRUE(outcome.opened);
    ASSERT_TRUE(outcome.gradeQuestion.has_value());
    // BFFB fits second and third order; the BF line does not restrict the
    // choice; 0.01 mm readings preselect second order.
    EXPECT_EQ(outcome.gradeQuestion->allowed,
              (std::vector<LevellingGrade>{GradeSecond, GradeThird}));
    EXPECT_EQ(outcome.gradeQuestion->preselected, GradeSecond);
    ASSERT_EQ(session.LineCount(), 2u);
    EXPECT_EQ(session.LineName(0), "A01-P1");
    EXPECT_EQ(session.LineName(1), "P1-P2");

    struct Case {
        LevellingGrade grade;
        bool accepted;
        std::string code;  // of every record of the BFFB line afterwards
    };
    const Case cases[] = {{GradeThird, true, "105"},
                          {GradeFourth, false, "105"},  // not allowed: nothing changes
                          {GradeSecond, true, "107"},
                          {GradeNone, false, "107"}};
    for (const Case& c : cases) {
        session.ClickLine(0);
        EXPECT_EQ(session.SetFileGrade(c.grade), c.accepted) << c.grade;
        EXPECT_EQ(Codes(session.Records(0)), std::vector<std::string>(4, c.code)) << c.grade;
        if (c.accepted) {
            EXPECT_EQ(session.ShownLine(), -1) << "records rewritten, line unshown";
        }
    }
    // The line shown afterwards is detected with the grade picked.
    EXPECT_TRUE(session.ClickLine(0).empty());
    EXPECT_EQ(session.Grade(), GradeSecond);
    EXPECT_FALSE(session.PrepareReport().stop.has_value());
}

TEST(InstrumentSession, SingleReadingLineIsShownButNeverReported) {
    LevellingSession session;
    Source source(kBffbThenBf);
    session.ImportBytes(source, "a.gsi");
    session.Grade() = GradeThird;
    EXPECT_TRUE(session.ClickLine(1).empty());  // no "数据格式不支持！": it is shown as read
    ASSERT_EQ(session.DataRows().size(), 2u);
    EXPECT_EQ(session.DataRows()[0].rfind("P1 B 1.48820 28.400", 0), 0u) << session.DataRows()[0];
    EXPECT_EQ(session.Grade(), GradeThird);
    const PreparedReport report = session.PrepareReport();
    ASSERT_TRUE(report.stop.has_value());
    EXPECT_EQ(report.stop->text, LoadString(IDS_SINGLE_READING_STATIONS));
    EXPECT_EQ(report.stop->icon, MessageIcon::Stop);
    // The other line still reports.
    session.ClickLine(0);
    EXPECT_FALSE(session.PrepareReport().stop.has_value());
}

TEST(InstrumentSession, MdtKeepsItsRoadAndHasNoFileGrade) {
    // An .mdt long enough that detection sees only its start.
    std::string mdt = "@L1 Line 0 0 0 0 107\n";
    for (int i = 0; i < 1000; ++i) {
        mdt +=
            "A B 1.23456 25.310 08:00:00 1 107\nP F 1.20000 25.300 08:00:00 2 107\n"
            "P F 1.20000 25.300 08:00:00 3 107\nA B 1.23456 25.310 08:00:00 4 107\n";
    }
    struct Case {
        const char* name;
        std::size_t failAfter;
        bool readError;
    };
    const Case cases[] = {{"whole", std::string::npos, false},
                          {"fails after the peeked start", std::size_t{100} << 10, true},
                          {"fails inside the peeked start", 50, true}};
    for (const Case& c : cases) {
        LevellingSession session;
        Source source(mdt, c.failAfter);
        const ImportOutcome outcome = session.ImportBytes(source, "x.mdt");
        EXPECT_FALSE(outcome.gradeQuestion.has_value()) << c.name;
        EXPECT_EQ(!outcome.messages.empty() && outcome.messages.back().icon == MessageIcon::Stop,
                  c.readError)
            << c.name;
        std::size_t records = 0;
        for (std::size_t i = 0; i < session.LineCount(); ++i) records += session.RecordCount(i);
        if (!c.readError) {
            EXPECT_EQ(records, 4000u) << c.name;
        }
        EXPECT_FALSE(session.SetFileGrade(GradeSecond)) << c.name;
    }
}

TEST(InstrumentSession, ReadErrorInAnInstrumentFileKeepsWhatWasReadAndSaysSo) {
    LevellingSession session;
    // Cut after the first line's last reading: the second line never arrives.
    Source source(kBffbThenBf, kBffbThenBf.find("*410007"));
    const ImportOutcome outcome = session.ImportBytes(source, "cut.gsi");
    ASSERT_FALSE(outcome.messages.empty());
    EXPECT_EQ(outcome.messages.back().icon, MessageIcon::Stop);
    EXPECT_NE(outcome.messages.back().text.find("cut.gsi"), std::string::npos);
    ASSERT_EQ(session.LineCount(), 1u);
    EXPECT_EQ(session.RecordCount(0), 4u);
}

}  // namespace
}  // namespace lorvex
