// End-to-end tests of the limit checks through lorvex-cli: check, compare,
// the flags of compute, and the record book's 备注 and footer.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli.h"
#include "cli_fixture.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

const std::string& kSample = lorvex::test::kSampleFile;

using Outcome = lorvex::test::CliOutcome;
using lorvex::test::RunCli;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A second-order line of two stations, BM1 -> T -> BM2: station 1 has a back
// distance of 52 m (sight_max 50) and d = 2.0 m (distance_diff 1.5); station
// 2 passes every second-order limit.
const char* kFlaggedLine =
    "@FLAG Line 2026-03-07 08:10:00 0 0 107\n"
    "BM1 B 1.52341 52.00 08:11:00 1 107\n"
    "T F 1.20112 50.00 08:12:00 2 107\n"
    "T F 1.20108 50.00 08:13:00 3 107\n"
    "BM1 B 1.52349 52.00 08:14:00 4 107\n"
    "BM2 F 1.61204 28.95 08:15:00 5 107\n"
    "T B 1.48820 28.40 08:16:00 6 107\n"
    "T B 1.48826 28.42 08:17:00 7 107\n"
    "BM2 F 1.61199 28.93 08:18:00 8 107\n";

// The back run of the sample's first line (BM1 -> BM2, +0.53279 m, 2118 dm):
// BM2 -> T -> BM1, 1000 dm, with the fore reading of station 2 chosen so
// that the two runs' height differences sum to w.
std::string BackRun(const std::string& foreReading) {
    return "@BACK Line 2026-03-07 09:10:00 0 0 107\n"
           "BM2 B 1.00000 25.00 09:11:00 1 107\n"
           "T F 1.26640 25.00 09:12:00 2 107\n"
           "T F 1.26640 25.00 09:13:00 3 107\n"
           "BM2 B 1.00000 25.00 09:14:00 4 107\n"
           "BM1 F " +
           foreReading +
           " 25.00 09:15:00 5 107\n"
           "T B 1.00000 25.00 09:16:00 6 107\n"
           "T B 1.00000 25.00 09:17:00 7 107\n"
           "BM1 F " +
           foreReading + " 25.00 09:18:00 8 107\n";
}

class CliCheckTest : public lorvex::test::CliFolderTest {
  protected:
    CliCheckTest() : CliFolderTest("lorvex-cli-check-", true) {}
    // The sample's lines followed by more.
    std::string SampleWith(const std::string& more) {
        return Write("m.mdt", ReadFile(kSample) + more);
    }
};

std::vector<std::string> Rules(const Json& flags) {
    std::vector<std::string> rules;
    for (const Json& f : flags) rules.push_back(f["rule"].get<std::string>());
    return rules;
}

TEST_F(CliCheckTest, CheckListsEveryStationWithTheLimitsOfTheGrade) {
    ASSERT_EQ(RunCli({"install-data"}).code, 0);
    const std::string file = SampleWith(kFlaggedLine);
    struct Case {
        std::vector<std::string> grade;
        int expectGrade;
        std::vector<std::string> station1;
    };
    // Third order allows 100 m sights and a d of 2.0 m: equal to the limit passes.
    const Case cases[] = {
        {{}, 0, {"sight_max", "distance_diff"}},
        {{"--grade", "third"}, 1, {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"check", file, "--line", "5"};
        args.insert(args.end(), c.grade.begin(), c.grade.end());
        const Outcome o = RunCli(args);
        ASSERT_EQ(o.code, 0) << o.err;
        EXPECT_EQ(o.json["grade"], c.expectGrade);
        const Json& stations = o.json["stations"];
        ASSERT_EQ(stations.size(), 2u);
        EXPECT_EQ(stations[0]["station"], 1);
        EXPECT_EQ(Rules(stations[0]["flags"]), c.station1);
        EXPECT_TRUE(stations[1]["flags"].empty());
        EXPECT_EQ(o.json["line"]["stations"], 2);
        EXPECT_TRUE(o.json["line"]["flags"].empty());
        EXPECT_TRUE(o.json["messages"].empty()) << o.json["messages"];
    }
    // Fourth order observes back-back-fore-fore: the line does not compute
    // as fourth order, and check stops as compute does.
    const Outcome fourth = RunCli({"check", file, "--line", "5", "--grade", "fourth"});
    EXPECT_EQ(fourth.code, 1);
    EXPECT_FALSE(fourth.json.contains("stations"));
    const Json second = RunCli({"check", file, "--line", "5"}).json["stations"][0]["flags"];
    EXPECT_DOUBLE_EQ(second[0]["value"].get<double>(), 52.0);
    EXPECT_DOUBLE_EQ(second[0]["limit"].get<double>(), 50.0);
    EXPECT_EQ(second[0]["unit"], "m");
    EXPECT_DOUBLE_EQ(second[1]["value"].get<double>(), 2.0);
    EXPECT_DOUBLE_EQ(second[1]["limit"].get<double>(), 1.5);
}

TEST_F(CliCheckTest, ComputeCarriesTheFlagsBesideUnchangedRows) {
    const std::string file = SampleWith(kFlaggedLine);
    const Outcome o = RunCli({"compute", file, "--line", "5"});
    ASSERT_EQ(o.code, 0) << o.err;
    const Json& obs = o.json["observations"];
    ASSERT_EQ(obs.size(), 2u);
    EXPECT_EQ(Rules(obs[0]["flags"]), (std::vector<std::string>{"sight_max", "distance_diff"}));
    EXPECT_TRUE(obs[1]["flags"].empty());
    EXPECT_EQ(obs[0]["sDistance_Error"], "2.0");
    EXPECT_EQ(o.json["line"]["stations"], 2);
    // No limit file was installed: the built-in limits apply, and compute's
    // messages stay those of the report command (the reason is on stderr).
    EXPECT_TRUE(o.json["messages"].empty());
    EXPECT_NE(o.err.find("limits.tsv"), std::string::npos) << o.err;
}

TEST_F(CliCheckTest, MissingOrTightenedLimitFile) {
    const std::string file = SampleWith("");
    // Not installed: the built-in limits, and a message naming the file.
    const Outcome missing = RunCli({"check", file, "--line", "1"});
    ASSERT_EQ(missing.code, 0) << missing.err;
    ASSERT_EQ(missing.json["messages"].size(), 1u);
    EXPECT_NE(missing.json["messages"][0].get<std::string>().find("limits.tsv"), std::string::npos);
    for (const Json& s : missing.json["stations"]) EXPECT_TRUE(s["flags"].empty());

    // A company's tighter sight limit (20 m) flags the sample's 25-30 m sights.
    ASSERT_EQ(RunCli({"install-data"}).code, 0);
    const fs::path limits = dir_ / "data" / "Lorvex" / "limits.tsv";
    std::string text = ReadFile(limits);
    const std::string from = "sight_max\tsecond\t50\t";
    const auto at = text.find(from);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, from.size(), "sight_max\tsecond\t20\t");
    std::ofstream(limits, std::ios::binary) << text;
    const Outcome tightened = RunCli({"check", file, "--line", "1"});
    ASSERT_EQ(tightened.code, 0) << tightened.err;
    for (const Json& s : tightened.json["stations"]) {
        EXPECT_EQ(Rules(s["flags"]), std::vector<std::string>{"sight_max"});
    }
    // A malformed file: the built-in limits again, never no checks at all.
    std::ofstream(limits, std::ios::binary) << "version\t1\nsight_max\tsecond\tfifty\tm\tx\n";
    const Outcome broken = RunCli({"check", file, "--line", "1"});
    ASSERT_EQ(broken.code, 0);
    EXPECT_NE(broken.json["messages"][0].get<std::string>().find("limits.tsv:2"), std::string::npos)
        << broken.json["messages"];
}

TEST_F(CliCheckTest, CompareGoAndBackRuns) {
    struct Case {
        const char* foreReading;
        double w;
        bool holds;
    };
    // K = (2118 + 1000) / 2 dm = 0.1559 km; 4·√K = 1.579 mm.
    const Case cases[] = {{"1.26539", 1.00, true}, {"1.26339", 3.00, false}};
    for (const Case& c : cases) {
        const std::string file = SampleWith(BackRun(c.foreReading));
        const Outcome o = RunCli({"compare", file, "--line", "1", "--line", "5"});
        ASSERT_EQ(o.code, 0) << o.err;
        EXPECT_EQ(o.json["rule"], "runs_diff");
        EXPECT_TRUE(o.json["opposite"].get<bool>());
        const Json& runs = o.json["runs"];
        EXPECT_EQ(runs[0]["line"], "BM1-BM2");
        EXPECT_DOUBLE_EQ(runs[0]["length_km"].get<double>(), 0.2118);
        EXPECT_DOUBLE_EQ(runs[0]["height_m"].get<double>(), 0.53279);
        EXPECT_EQ(runs[1]["from"], "BM2");
        EXPECT_EQ(runs[1]["to"], "BM1");
        EXPECT_DOUBLE_EQ(runs[1]["length_km"].get<double>(), 0.1);
        EXPECT_DOUBLE_EQ(o.json["k_km"].get<double>(), 0.1559);
        EXPECT_NEAR(std::fabs(o.json["w_mm"].get<double>()), c.w, 1e-9);
        EXPECT_NEAR(o.json["limit_mm"].get<double>(), 4 * std::sqrt(0.1559), 0.02);
        EXPECT_EQ(o.json["holds"], c.holds);
    }
}

TEST_F(CliCheckTest, DualRunHalvesAreComparedWithEachOther) {
    // The (L) half's last fore readings 1 cm lower break 8·√K in third order.
    std::string broken = ReadFile(kSample);
    for (const char* from : {"B F 1.50650", "B F 1.50658"}) {
        const auto at = broken.find(from);
        ASSERT_NE(at, std::string::npos);
        broken.replace(at + 4, 4, "1.49");
    }
    struct Case {
        std::string text;
        std::vector<std::string> lineFlags;
        bool holds;
    };
    const Case cases[] = {{ReadFile(kSample), {}, true}, {broken, {"left_right_diff"}, false}};
    for (const Case& c : cases) {
        const std::string file = Write("dual.mdt", c.text);
        for (const char* half : {"2", "3"}) {
            const Outcome o = RunCli({"check", file, "--line", half});
            ASSERT_EQ(o.code, 0) << o.err;
            EXPECT_EQ(Rules(o.json["line"]["flags"]), c.lineFlags) << half;
        }
        const Outcome compared = RunCli({"compare", file, "--line", "2", "--line", "3"});
        ASSERT_EQ(compared.code, 0) << compared.err;
        EXPECT_EQ(compared.json["rule"], "left_right_diff");
        EXPECT_FALSE(compared.json["opposite"].get<bool>());
        // Two runs the same way: W is the difference of their heights.
        const Json& runs = compared.json["runs"];
        EXPECT_NEAR(
            compared.json["w_mm"].get<double>(),
            (runs[0]["height_m"].get<double>() - runs[1]["height_m"].get<double>()) * 1000.0, 1e-6);
        EXPECT_EQ(compared.json["holds"], c.holds);
    }
}

TEST_F(CliCheckTest, UsageOfCheckAndCompare) {
    const std::string file = SampleWith("");
    struct Case {
        std::vector<std::string> args;
        int code;
    };
    const Case cases[] = {
        {{"compare", file, "--line", "1"}, 2},
        {{"compare", file, "--line", "1", "--line", "9"}, 2},
        {{"compare", file, "--line", "1", "--line", "2", "--line", "3"}, 2},
        {{"check", file, "--line", "1", "--line", "2"}, 2},
        {{"check", file, "--line", "1", "--grade", "first"}, 2},
        {{"compute", file, "--line", "1", "--grade", "third"}, 2},
        {{"check", file}, 2},
        {{"check", file, "--line", "9"}, 2},
    };
    for (const Case& c : cases) {
        const Outcome o = RunCli(c.args);
        EXPECT_EQ(o.code, c.code) << o.err;
    }
}

#ifdef LORVEX_HAS_REPORT
using lorvex::test::PdfText;

TEST_F(CliCheckTest, RecordBookShowsRemarksAndFooter) {
    ASSERT_EQ(RunCli({"install-data"}).code, 0);
    const std::string file = SampleWith(kFlaggedLine);
    struct Case {
        const char* line;
        std::vector<std::string> present;
        std::vector<std::string> absent;
    };
    const Case cases[] = {
        {"5", {"视距超限，视距差超限", "超限测站：1 个"}, {"全部测站符合限差要求"}},
        {"1", {"全部测站符合限差要求"}, {"超限"}},
    };
    for (const Case& c : cases) {
        const fs::path pdf = dir_ / "book.pdf";
        const Outcome o = RunCli({"report", file, "--line", c.line, "--pdf", pdf.string()});
        ASSERT_EQ(o.code, 0) << o.err;
        const std::string text = PdfText(pdf);
        for (const std::string& s : c.present) EXPECT_NE(text.find(s), std::string::npos) << s;
        for (const std::string& s : c.absent) EXPECT_EQ(text.find(s), std::string::npos) << s;
    }
    // The stored rows hold no remark.
    const Outcome dump = RunCli({"dump"});
    ASSERT_EQ(dump.code, 0);
    EXPECT_FALSE(dump.json["Observation_tbl"][0].contains("sRemark"));
}
#endif

}  // namespace
