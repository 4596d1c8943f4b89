// End-to-end tests of lorvex-cli's output contract, run in-process on files
// written to a temporary folder.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <nlohmann/json.hpp>

#include "../db/server_database.h"
#include "cli.h"
#include "cli_fixture.h"
#include "db/odbc.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using namespace std::string_literals;

const std::string& kSample = lorvex::test::kSampleFile;

using Outcome = lorvex::test::CliOutcome;
using lorvex::test::RunCli;

class CliTest : public lorvex::test::CliFolderTest {
  protected:
    CliTest() : CliFolderTest("lorvex-cli-", false) {}
};

TEST_F(CliTest, LinesOfTheSampleDecodeGbkAndSplitTheDualRun) {
    const Outcome o = RunCli({"lines", kSample});
    ASSERT_EQ(o.code, 0) << o.err;
    const Json& lines = o.json["lines"];
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0]["name"], "BM1-BM2");
    EXPECT_EQ(lines[1]["name"], "L2(R)");
    EXPECT_EQ(lines[2]["name"], "L2(L)");
    EXPECT_EQ(lines[3]["name"], "水准3");
    EXPECT_EQ(lines[0]["records"].size(), 16u);
    EXPECT_EQ(lines[1]["records"].size(), 8u);
    EXPECT_EQ(lines[2]["records"].size(), 8u);
    EXPECT_EQ(lines[1]["records"][4], "R1 B 1.20500 45.00 10:09:30 9 105");
    EXPECT_EQ(lines[2]["records"][0], "A B 1.40110 41.00 10:05:30 5 105");
    EXPECT_TRUE(o.json["messages"].empty());
}

TEST_F(CliTest, ShowDetectsGradeAndEndPointsOfEachSampleLine) {
    struct Case {
        int line;
        int grade;
        const char* start;
        const char* end;
    };
    for (const Case& c : {Case{1, 0, "BM1", "BM2"}, Case{2, 1, "A", "B"}, Case{3, 1, "A", "B"},
                          Case{4, 2, "BM2", "BM3"}}) {
        SCOPED_TRACE(c.line);
        const Outcome o = RunCli({"show", kSample, "--line", std::to_string(c.line)});
        ASSERT_EQ(o.code, 0) << o.err;
        EXPECT_EQ(o.json["grade"], c.grade);
        EXPECT_EQ(o.json["sStationStGo"], c.start);
        EXPECT_EQ(o.json["sStationEnGo"], c.end);
    }
    const Outcome o = RunCli({"show", kSample, "--line", "1"});
    EXPECT_EQ(o.json["rows"][0], "BM1 B 1.52341 25.31 08:11:00 1");
}

// Stations 1 and 2 of the second-order sample line, worked by hand: station 1
// is back-fore-fore-back, station 2 fore-back-back-fore.
TEST_F(CliTest, ComputeMatchesTheHandWorkedSecondOrderLine) {
    const std::string header =
        Write("header.json", R"({"sWeather": "晴", "sHourSt": "24", "sMinSt": "7x",
                                 "sYear": "2026", "sMonth": "3", "sDay": "7"})");
    const Outcome o = RunCli({"compute", kSample, "--line", "1", "--header", header});
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.json["grade"], 0);
    const Json& info = o.json["info"];
    EXPECT_EQ(info["sWeather"], "晴");
    EXPECT_EQ(info["sHourSt"], "0");
    EXPECT_EQ(info["sMinSt"], "7x");
    EXPECT_EQ(info["sStationStGo"], "BM1");
    EXPECT_EQ(info["sStationEnGo"], "BM2");
    EXPECT_EQ(info["sDay"], "7");

    const Json& obs = o.json["observations"];
    ASSERT_EQ(obs.size(), 4u);
    const Json expected1 = {
        {"sStation", "1"},
        {"sDis_Back", "253"},
        {"sDis_Fore", "249"},
        {"sDistance_Error", "0.4"},
        {"sSigma_d", "0.4"},
        {"sBack_I", "1523 41"},
        {"sFore_I", "1201 12"},
        {"sBack_II", "1523 49"},
        {"sFore_II", "1201 08"},
        {"sFore_Back_I", "-8"},
        {"sFore_Back_II", "+4"},
        {"sFore_Back", "-12"},
        {"sFBI_Height", "322 29"},
        {"sFBII_Height", "322 41"},
        {"sH", "0322 35"},
        {"sTarget_Back", "BM1"},
        {"sTarget_Fore", "T1"},
        {"flags", Json::array()}};  // the limit checks beside the row: none broken
    EXPECT_EQ(obs[0], expected1);
    const Json expected2 = {
        {"sStation", "2"},           {"sDis_Back", "284"},        {"sDis_Fore", "289"},
        {"sDistance_Error", "-0.5"}, {"sSigma_d", "-0.1"},        {"sBack_I", "1488 20"},
        {"sFore_I", "1612 04"},      {"sBack_II", "1488 26"},     {"sFore_II", "1611 99"},
        {"sFore_Back_I", "-6"},      {"sFore_Back_II", "+5"},     {"sFore_Back", "-11"},
        {"sFBI_Height", "-123 84"},  {"sFBII_Height", "-123 73"}, {"sH", "-0123 79"},
        {"sTarget_Back", "T1"},      {"sTarget_Fore", "T2"},      {"flags", Json::array()}};
    EXPECT_EQ(obs[1], expected2);

    // Lengths 253+249, 284+289, 221+216, 301+305 dm; sH 32235, -12379,
    // 18726, 14697 in 10^-5 m.
    const Json& result = o.json["result"];
    EXPECT_DOUBLE_EQ(result["dDis_Go"].get<double>(), 0.2118);
    EXPECT_DOUBLE_EQ(result["dDis_Back"].get<double>(), 0.2118);
    EXPECT_DOUBLE_EQ(result["HeightAvg"].get<double>(), 0.53279);
    EXPECT_TRUE(result["HeightAvg_Go"].is_null());
    EXPECT_TRUE(result["HeightAvg_Back"].is_null());
    EXPECT_EQ(result["sStationSt"], "BM1");
}

TEST_F(CliTest, ExitStatusesFollowTheContract) {
    const std::string empty = Write("empty.mdt", "");
    const std::string noRecords = Write("bare.mdt", "@L1 a b c d e f\n");
    const std::string oddCount = Write("odd.mdt",
                                       "@L1 a b c d e f\n"
                                       "A B 1.0 10.0 0 0 106\nA B 1.0 10.0 0 0 106\n"
                                       "C F 1.0 10.0 0 0 106\nC F 1.0 10.0 0 0 106\n"
                                       "C B 1.0 10.0 0 0 106\nC B 1.0 10.0 0 0 106\n");
    const std::string header = Write("bad.json", "{\"sNope\": \"x\"}");
    struct Case {
        std::vector<std::string> args;
        int code;
        std::vector<std::string> messages;
    };
    const std::vector<Case> cases = {
        {{"compute", empty, "--line", "7"}, 1, {"没有线路数据，请导入！"}},
        {{"show", empty, "--line", "1"}, 0, {}},
        {{"compute", noRecords, "--line", "1"}, 1, {"没有测量数据，请选择线路名称！"}},
        {{"compute", oddCount, "--line", "1"},
         1,
         {"数据中有非线路测量的数据或测站数据不完整，请检查！"}},
        {{"show", kSample, "--line", "5"}, 2, {}},
        {{"show", kSample, "--line", "0"}, 2, {}},
        {{"show", kSample}, 2, {}},
        {{"frobnicate"}, 2, {}},
        {{}, 2, {}},
        {{"compute", kSample, "--line", "1", "--header", header}, 2, {}},
        {{"lines", (dir_ / "missing.mdt").string()}, 3, {}},
        {{"compute", kSample, "--line", "1", "--header", (dir_ / "none.json").string()}, 3, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const Outcome o = RunCli(c.args);
        EXPECT_EQ(o.code, c.code) << o.err;
        EXPECT_EQ(o.json["messages"], Json(c.messages));
        if (c.code == 1) {
            EXPECT_FALSE(o.json.contains("observations"));
        }
    }
}

TEST_F(CliTest, HostileFilesNeverCrashTheCommands) {
    std::mt19937 random(42);
    std::string junk(1 << 16, '\0');
    for (char& c : junk) c = static_cast<char>(random());
    const std::vector<std::string> files = {
        Write("empty.mdt", ""),
        Write("binary.mdt", junk),
        Write("nul.mdt", "@L1 a b c d e f\nA B 1\0 2 3 4 106\n"s),
        Write("long.mdt", std::string(10 << 20, 'x')),
        Write("longfields.mdt",
              "@L1 a b c d e f\n" + std::string(5 << 20, 'y') + " B 1.0 2.0 0 0 106\n"),
        Write("tabs.mdt", "@L1\ta b c d e f g\nA\tB 1.0 2.0 0 0 106 x\n"),
        Write("crlf.mdt", "@L1 a b c d e f\r\nA B 1.0 2.0 0 0 106\r\n"),
        Write("gbk.mdt", "\x81\x40@L1 a b c d e f\nA\x81\x40 B 1.0 2.0 0 0 106\n"),
    };
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        for (const char* command : {"lines", "show", "compute"}) {
            std::vector<std::string> args = {command, file};
            if (std::string(command) != "lines") args.insert(args.end(), {"--line", "1"});
            const Outcome o = RunCli(args);
            EXPECT_TRUE(o.code == 0 || o.code == 1) << command << " exited " << o.code;
        }
    }
}

TEST_F(CliTest, GbkTrailBytesNeverActAsLineStartOrSeparator) {
    // 0x81 0x40 is one GBK character whose trail byte is '@'.
    const std::string file = Write("gbk.mdt",
                                   "\x81\x40@L1 a b c d e f\n"
                                   "A\x81\x40 B 1.0 2.0 0 0 106\n");
    const Outcome o = RunCli({"lines", file});
    ASSERT_EQ(o.code, 0);
    ASSERT_EQ(o.json["lines"].size(), 1u);
    EXPECT_EQ(o.json["lines"][0]["name"], "L1");
    EXPECT_EQ(o.json["lines"][0]["records"][0], "A丂 B 1.0 2.0 0 0 106");
}

// A second-order line of `stations` stations, back-fore-fore-back, every
// record with a fixed reading and distance.
std::string LongLine(int stations) {
    std::string text = "@Long Line 0 0 0 0 107\n";
    auto rec = [&](int point, char sight) {
        text += "P" + std::to_string(point) + " " + sight + " 1.50000 20.00 0 0 107\n";
    };
    for (int i = 0; i < stations; ++i) {
        rec(i, 'B');
        rec(i + 1, 'F');
        rec(i + 1, 'F');
        rec(i, 'B');
    }
    return text;
}

// Input that is no measurement file, or one in a form the reader once
// misread: each ends in JSON with a clear outcome, never in an abort, a hang
// or an all-zero report.
TEST_F(CliTest, InputEdgesEndInJsonWithAClearOutcome) {
    const fs::path fifo = dir_ / "fifo.mdt";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string utf16 = "\xFF\xFE";
    for (const char c : "@U Line 0 0 0 0 105\r\nA B 1.5 20 0 0 105\r\n"s) {
        if (c == '\0') break;
        utf16 += c;
        utf16 += '\0';
    }
    const std::string withBom = Write("utf16.mdt", utf16);
    const std::string withoutBom = Write("utf16-nobom.mdt", utf16.substr(2));
    const std::string tabs =
        Write("tabs.mdt", "@L1\tLine\t0\t0\t0\t0\t105\nA\tB\t1\t2\t0\t0\t105\n");
    const std::string nulHeader = Write("nul.json", R"({"sWeather": "晴\u0000阴"})");
    const std::string noData = "文件中没有可识别的测量数据。";
    const struct {
        std::vector<std::string> args;
        int code;
        const char* error;  // a part of the error text; nullptr: no error
        std::vector<std::string> messages;
    } cases[] = {
        {{"lines", dir_.string()}, 3, "不是普通文件", {}},
        {{"lines", "/dev/zero"}, 3, "不是普通文件", {}},
        {{"lines", fifo.string()}, 3, "不是普通文件", {}},
        {{"lines", withoutBom}, 3, "UTF-16", {}},
        {{"lines", withBom}, 0, nullptr, {}},
        {{"lines", tabs}, 0, nullptr, {noData}},
        {{"compute", kSample, "--line", "1", "--header", dir_.string()}, 3, "unexpected error", {}},
        {{"compute", kSample, "--line", "1", "--header", nulHeader}, 2, "sWeather", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const Outcome o = RunCli(c.args);
        EXPECT_EQ(o.code, c.code) << o.err;
        if (c.error) {
            ASSERT_TRUE(o.json.contains("error"));
            EXPECT_NE(o.json["error"].get<std::string>().find(c.error), std::string::npos)
                << o.json["error"];
            if (c.code == 3 && c.args[0] == "lines") {
                EXPECT_EQ(o.json["error"].get<std::string>().rfind("cannot open " + c.args[1], 0),
                          0u);
                EXPECT_EQ(o.json["messages"].size(), 1u);
            }
        } else {
            EXPECT_FALSE(o.json.contains("error"));
            EXPECT_EQ(o.json["messages"], Json(c.messages));
        }
    }

    const Outcome decoded = RunCli({"lines", withBom});
    EXPECT_EQ(decoded.json["lines"],
              Json::parse(R"([{"name": "U", "records": ["A B 1.5 20 0 0 105"]}])"));
}

// "ignored" counts the non-empty text lines that were neither a record nor a
// line start, so a script can tell a clean file from a noisy one.
TEST_F(CliTest, LinesCountsTheTextLinesItDidNotUse) {
    const struct {
        const char* name;
        std::string text;
        int ignored;
    } cases[] = {
        {"clean", "@L Line 0 0 0 0 105\nA B 1.5 20 0 0 105\n", 0},
        {"noisy", "PtID Code\n@L Line 0 0 0 0 105\n# note\nA B 1.5 20 0 0 105\n\n junk \n", 3},
    };
    for (const auto& c : cases) {
        const Outcome o = RunCli({"lines", Write(std::string(c.name) + ".mdt", c.text)});
        EXPECT_EQ(o.code, 0) << c.name;
        EXPECT_EQ(o.json["ignored"], c.ignored) << c.name;
    }
    EXPECT_EQ(RunCli({"lines", kSample}).json["ignored"], 1);  // the column header
}

}  // namespace

namespace {

// The database commands against a private data folder and ODBC user
// configuration; ctest runs each test in its own process, so the driver
// manager reads this ODBCINI afresh.
class CliDatabaseTest : public CliTest {
  protected:
    void SetUp() override {
        CliTest::SetUp();
        UseOwnDatabase();
    }
};

TEST_F(CliDatabaseTest, ReportWritesWhatComputePrintsAndDumpReadsItBack) {
    const Outcome install = RunCli({"install-data"});
    ASSERT_EQ(install.code, 0) << install.err;
    EXPECT_TRUE(fs::exists(dir_ / "data" / "Lorvex" / "Qel.db"));

    const std::string header =
        Write("header.json", R"({"sWeather": "晴 \"多云\" \\ '", "sRoad": "土路"})");
    const Outcome computed = RunCli({"compute", kSample, "--line", "4", "--header", header});
    ASSERT_EQ(computed.code, 0) << computed.err;
    for (int run = 0; run < 2; ++run) {  // a second report replaces the first
        const Outcome report = RunCli({"report", kSample, "--line", "4", "--header", header});
        ASSERT_EQ(report.code, 0) << report.err;
        EXPECT_EQ(report.json["observations"], computed.json["observations"]);
    }

    const Outcome dump = RunCli({"dump"});
    ASSERT_EQ(dump.code, 0) << dump.err;
    ASSERT_EQ(dump.json["Info_tbl"].size(), 1u);
    ASSERT_EQ(dump.json["Result_tbl"].size(), 1u);
    Json info = dump.json["Info_tbl"][0];
    info.erase("Record_ID");
    EXPECT_EQ(info, computed.json["info"]);

    const Json& stored = dump.json["Result_tbl"][0];
    const Json& result = computed.json["result"];
    EXPECT_EQ(stored["sStationSt"], result["sStationSt"]);
    for (const char* column : {"dDis_Go", "dDis_Back", "HeightAvg"}) {
        EXPECT_EQ(std::stod(stored[column].get<std::string>()), result[column].get<double>())
            << column;
    }
    EXPECT_TRUE(stored["HeightAvg_Go"].is_null());

    Json observations = dump.json["Observation_tbl"];
    ASSERT_EQ(observations.size(), computed.json["observations"].size());
    for (Json& row : observations) row.erase("Record_ID");
    // The limit checks' flags go beside the rows, never into the table.
    Json printed = computed.json["observations"];
    for (Json& row : printed) row.erase("flags");
    EXPECT_EQ(observations, printed);
}

TEST_F(CliDatabaseTest, ReportWithoutADatabaseExitsWithTheDriversText) {
    // No install-data: "Qel" is registered at the report, but its file is missing.
    const Outcome report = RunCli({"report", kSample, "--line", "1"});
    EXPECT_EQ(report.code, 3);
    ASSERT_FALSE(report.json["messages"].empty());
    EXPECT_FALSE(report.json["messages"][0].get<std::string>().empty());
    const Outcome dump = RunCli({"dump"});
    EXPECT_EQ(dump.code, 3);
}

// A database that cannot be reached fails the same way for every row: the
// JSON keeps each message, stderr prints the run once with its count.
TEST_F(CliDatabaseTest, IdenticalMessagesArePrintedOnceWithTheirCount) {
    setenv("XDG_DATA_HOME", (dir_ / "no-such-folder").c_str(), 1);
    const Outcome report = RunCli({"report", Write("long.mdt", LongLine(300)), "--line", "1"});
    EXPECT_EQ(report.code, 3);
    const Json& messages = report.json["messages"];
    ASSERT_EQ(messages.size(), 303u);
    for (const Json& m : messages) EXPECT_EQ(m, messages[0]);
    const std::string once = messages[0].get<std::string>() + "\n（此消息共出现 303 次）\n";
    // The limit table's own note (no data folder, built-in limits) may come
    // first; the run of database messages is printed once.
    ASSERT_GE(report.err.size(), once.size());
    EXPECT_EQ(report.err.substr(report.err.size() - once.size()), once);
    EXPECT_EQ(report.err.find(messages[0].get<std::string>()), report.err.size() - once.size());
}

// Runs the real lorvex-cli in a shell with env (assignments such as
// "ODBCINI=/x") in front; the exit status and the JSON it printed.
Outcome RunProgram(const fs::path& dir, const std::string& env,
                   const std::vector<std::string>& args) {
    std::string command = "env " + env + " '" LORVEX_CLI "'";
    for (const std::string& arg : args) command += " '" + arg + "'";
    const fs::path out = dir / "program.out";
    command += " >'" + out.string() + "' 2>'" + (dir / "program.err").string() + "'";
    const int status = std::system(command.c_str());
    std::ifstream in(out);
    std::stringstream text;
    text << in.rdbuf();
    std::ifstream errIn(dir / "program.err");
    std::stringstream err;
    err << errIn.rdbuf();
    return {WEXITSTATUS(status), Json::parse(text.str()), err.str()};
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Registration writes the user's data sources only: an ODBCINI whose folder
// is missing stops the report, also for root, and the system-wide file is
// left alone.
TEST_F(CliDatabaseTest, ReportWithAnUnusableUserOdbcIniExitsThreeAndWritesNothing) {
    ASSERT_EQ(RunCli({"install-data"}).code, 0);
    const fs::path system = dir_ / "etc";
    fs::create_directories(system);
    fs::copy_file("/etc/odbcinst.ini", system / "odbcinst.ini");
    const std::string systemIni = "[Other]\nDriver=SQLite3\nDatabase=/srv/other.db\n";
    std::ofstream(system / "odbc.ini") << systemIni;
    const std::string env = "ODBCSYSINI='" + system.string() + "' ODBCINI='" +
                            (dir_ / "missing" / "odbc.ini").string() + "' XDG_DATA_HOME='" +
                            (dir_ / "data").string() + "'";
    const Outcome report = RunProgram(dir_, env, {"report", kSample, "--line", "1"});
    EXPECT_EQ(report.code, 3) << report.err;
    EXPECT_EQ(report.json["messages"], Json({"无法连接数据库！"}));
    EXPECT_NE(report.json["error"].get<std::string>().find(dir_ / "missing"), std::string::npos)
        << report.json;
    EXPECT_EQ(ReadAll(system / "odbc.ini"), systemIni);
    EXPECT_FALSE(fs::exists(dir_ / "missing"));
}

TEST_F(CliDatabaseTest, InstallDataIsIdempotent) {
    ASSERT_EQ(RunCli({"install-data"}).code, 0);
    const Outcome again = RunCli({"install-data"});
    ASSERT_EQ(again.code, 0);
    EXPECT_FALSE(again.json["done"].empty());
    EXPECT_EQ(RunCli({"install-data", "--force"}).code, 0);
}

}  // namespace

#ifdef LORVEX_HAS_REPORT
namespace {

using lorvex::test::PdfText;

TEST_F(CliDatabaseTest, ReportWritesTheRecordBookAsPdf) {
    ASSERT_EQ(RunCli({"install-data"}).code, 0);
    const std::string header = Write(
        "header.json",
        R"({"sWeather": "Sunny", "sImaging": "Clear", "sWind": "东南风二级", "sSunLocation": "左前方"})");
    const fs::path pdf = dir_ / "book.pdf";
    const Outcome report =
        RunCli({"report", kSample, "--line", "1", "--header", header, "--pdf", pdf.string()});
    ASSERT_EQ(report.code, 0) << report.err;
    ASSERT_TRUE(fs::exists(pdf));
    const std::string text = PdfText(pdf);
    // Read back as drawn: the ideographs, not the radicals that share their glyphs.
    for (const char* expected :
         {"Sunny", "Clear", "BM1", "1523 41", "0322 35", "-0123 79", "0.21 km", "0.53279",
          "二等水准测量记录手簿", "东南风二级", "左前方"}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected;
    }
}

// A measurement file of one line of the sample with its points renamed, so
// that a record book can be told by its point names alone.
std::string RenamedLine(const std::string& start, const std::string& header,
                        const std::vector<std::pair<std::string, std::string>>& names) {
    std::ifstream in(kSample, std::ios::binary);
    std::string file = header + "\n";
    bool inside = false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line[0] == '@') {
            inside = line.rfind(start, 0) == 0;
            continue;
        }
        if (!inside) continue;
        const std::string point = line.substr(0, line.find(' '));
        for (const auto& [from, to] : names) {
            if (point == from) line = to + line.substr(point.size());
        }
        file += line + "\n";
    }
    return file;
}

// Two programs making record books at once: each record book shows the
// report its own run wrote, whatever the other one wrote meanwhile.
TEST_F(CliDatabaseTest, ConcurrentReportsEachShowTheirOwnLine) {
    ASSERT_EQ(RunCli({"install-data"}).code, 0);
    RunCli({"report", kSample, "--line", "1"});  // registers "Qel"
    const std::string second = Write(
        "second.mdt",
        RenamedLine(
            "@BM1-BM2", "@KX Line 2026-03-07 08:10:00 0 0 107",
            {{"BM1", "KXA1"}, {"T1", "KXA2"}, {"T2", "KXA3"}, {"T3", "KXA4"}, {"BM2", "KXA9"}}));
    const std::string third =
        Write("third.mdt",
              RenamedLine("@\xcb\xae", "@QY Line 2026-03-07 14:00:00 0 0 106",
                          {{"BM2", "QYB1"}, {"Z1", "QYB2"}, {"Z2", "QYB3"}, {"BM3", "QYB9"}}));
    constexpr int kRuns = 50;
    const std::string env = "ODBCINI='" + (dir_ / "odbc.ini").string() + "' XDG_DATA_HOME='" +
                            (dir_ / "data").string() + "' QT_QPA_PLATFORM=offscreen";
    auto loop = [&](const std::string& file, const std::string& tag) {
        return "(for i in $(seq " + std::to_string(kRuns) + "); do env " + env +
               " '" LORVEX_CLI "' report '" + file + "' --line 1 --pdf '" + (dir_ / tag).string() +
               "'$i.pdf >/dev/null 2>&1; echo $? >'" + (dir_ / tag).string() + "'$i.rc; done)";
    };
    const std::string both = loop(second, "kx") + " & " + loop(third, "qy") + " & wait";
    ASSERT_EQ(std::system(both.c_str()), 0);

    int wrong = 0;
    for (const auto& [tag, own, other] : {std::tuple{"kx", std::pair{"KXA1", "KXA9"}, "QYB"},
                                          std::tuple{"qy", std::pair{"QYB1", "QYB9"}, "KXA"}}) {
        for (int i = 1; i <= kRuns; ++i) {
            const fs::path pdf = dir_ / (std::string(tag) + std::to_string(i) + ".pdf");
            EXPECT_EQ(ReadAll(dir_ / (std::string(tag) + std::to_string(i) + ".rc")), "0\n") << pdf;
            const std::string text = PdfText(pdf);
            const bool right = text.find(own.first) != std::string::npos &&
                               text.find(own.second) != std::string::npos &&
                               text.find(other) == std::string::npos;
            if (!right) ++wrong;
        }
    }
    EXPECT_EQ(wrong, 0) << "record books not of their own run, of " << 2 * kRuns;
}

// A table that cannot be written: exit 3 with the driver's words, no record
// book, and the previous report still whole in the tables.
TEST_F(CliDatabaseTest, ReportIntoABrokenTableLeavesThePreviousReportAndNoRecordBook) {
    ASSERT_EQ(RunCli({"install-data"}).code, 0);
    const Outcome first = RunCli({"report", kSample, "--line", "1"});
    ASSERT_EQ(first.code, 0) << first.err;
    {
        lorvex::db::CDatabase db;
        db.Open("ODBC;DSN=Qel");
        db.ExecuteSQL("ALTER TABLE Observation_tbl RENAME COLUMN sH TO sHeight");
    }
    const Outcome before = RunCli({"dump"});
    ASSERT_EQ(before.code, 0);

    const fs::path pdf = dir_ / "book.pdf";
    const Outcome report = RunCli({"report", kSample, "--line", "4", "--pdf", pdf.string()});
    EXPECT_EQ(report.code, 3);
    ASSERT_FALSE(report.json["messages"].empty());
    for (const Json& m : report.json["messages"]) {
        EXPECT_NE(m.get<std::string>().find("no such column: sH"), std::string::npos) << m;
    }
    EXPECT_FALSE(fs::exists(pdf));
    const Outcome after = RunCli({"dump"});
    EXPECT_EQ(after.json, before.json);
}

TEST_F(CliDatabaseTest, PdfWithoutATemplateStopsWithTheMessages) {
    ASSERT_EQ(RunCli({"install-data"}).code, 0);
    fs::remove(dir_ / "data" / "Lorvex" / "Second.rpt");
    const Outcome report =
        RunCli({"report", kSample, "--line", "1", "--pdf", (dir_ / "book.pdf").string()});
    EXPECT_EQ(report.code, 1);
    ASSERT_FALSE(report.json["messages"].empty());
    EXPECT_EQ(report.json["messages"].back(), "报表未生成！");
}

}  // namespace
#endif

namespace archive {

// The compute document without its messages: what reprint must give again.
Json Rows(Json document) {
    document.erase("messages");
    return document;
}

// Every report written is kept: the list names each with the totals compute
// printed, newest first, and reprint prints each as compute did, with the
// record book it had, while the last report's tables stay as they are.
TEST_F(CliDatabaseTest, HistoryAndReprintGiveBackWhatComputePrinted) {
    ASSERT_EQ(RunCli({"install-data"}).code, 0);
    const std::string header = Write("header.json", R"({"sWeather": "晴", "sRoad": "土路"})");
    const int lines = static_cast<int>(RunCli({"lines", kSample}).json["lines"].size());
    ASSERT_GE(lines, 2);
    std::vector<Json> computed;
    std::vector<std::string> names;
    for (int line = 1; line <= lines; ++line) {
        const std::string n = std::to_string(line);
        const Outcome c = RunCli({"compute", kSample, "--line", n, "--header", header});
        if (c.code != 0) continue;  // a line the checks stop is never written
#ifdef LORVEX_HAS_REPORT
        const fs::path pdf = dir_ / ("written" + n + ".pdf");
        const Outcome r =
            RunCli({"report", kSample, "--line", n, "--header", header, "--pdf", pdf.string()});
#else
        const Outcome r = RunCli({"report", kSample, "--line", n, "--header", header});
#endif
        ASSERT_EQ(r.code, 0) << r.err;
        computed.push_back(Rows(c.json));
        names.push_back(RunCli({"lines", kSample}).json["lines"][line - 1]["name"]);
    }
    ASSERT_GE(computed.size(), 2u);
    const Outcome lastTables = RunCli({"dump"});

    const Outcome history = RunCli({"history"});
    ASSERT_EQ(history.code, 0) << history.err;
    const Json& reports = history.json["reports"];
    ASSERT_EQ(reports.size(), computed.size());
    for (std::size_t i = 0; i < reports.size(); ++i) {
        const std::size_t written = computed.size() - 1 - i;  // newest first
        const Json& entry = reports[i];
        const Json& want = computed[written];
        SCOPED_TRACE(names[written]);
        EXPECT_EQ(entry["line"], names[written]);
        EXPECT_EQ(entry["file"], "sample.mdt");
        EXPECT_EQ(entry["grade"], want["grade"]);
        EXPECT_EQ(entry["stations"], want["observations"].size());
        // The same doubles, so the same JSON text.
        EXPECT_EQ(entry["length_km"].dump(), want["result"]["dDis_Go"].dump());
        EXPECT_EQ(entry["height_m"].dump(), want["result"]["HeightAvg"].dump());
        EXPECT_TRUE(entry["written"].get<std::string>().ends_with("Z"));

        const std::string id = std::to_string(entry["id"].get<long long>());
#ifdef LORVEX_HAS_REPORT
        const fs::path pdf = dir_ / ("again" + id + ".pdf");
        const Outcome reprint = RunCli({"reprint", id, "--pdf", pdf.string()});
#else
        const Outcome reprint = RunCli({"reprint", id});
#endif
        ASSERT_EQ(reprint.code, 0) << reprint.err;
        EXPECT_EQ(Rows(reprint.json), want);
#ifdef LORVEX_HAS_REPORT
        EXPECT_EQ(PdfText(pdf), PdfText(dir_ / ("written" + std::to_string(written + 1) + ".pdf")));
#endif
    }
    EXPECT_EQ(RunCli({"dump"}).json, lastTables.json);

    const Outcome one = RunCli({"history", "--limit", "1", "--line", names[0]});
    ASSERT_EQ(one.code, 0);
    ASSERT_EQ(one.json["reports"].size(), 1u);
    EXPECT_EQ(one.json["reports"][0]["line"], names[0]);
}

TEST_F(CliDatabaseTest, ArchiveCommandsCheckTheirArguments) {
    ASSERT_EQ(RunCli({"install-data"}).code, 0);
    const struct {
        std::vector<std::string> args;
        int code;
    } cases[] = {
        {{"history"}, 0},
        {{"history", "--limit", "0"}, 0},
        {{"history", "--limit", "-1"}, 2},
        {{"history", "--limit", "x"}, 2},
        {{"history", kSample}, 2},
        {{"history", "--pdf", "out.pdf"}, 2},
        {{"reprint"}, 2},
        {{"reprint", "abc"}, 2},
        {{"reprint", "0"}, 2},
        {{"reprint", "1", "--limit", "2"}, 2},
        {{"reprint", "1"}, 1},  // an empty archive
        {{"compute", kSample, "--line", "1", "--limit", "2"}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const Outcome o = RunCli(c.args);
        EXPECT_EQ(o.code, c.code) << o.err;
        if (c.code == 0) {
            EXPECT_EQ(o.json.value("reports", Json()), Json::array());
        }
    }
}

}  // namespace archive

namespace team {

using lorvex::db::test::kNoServer;
using lorvex::db::test::ServerDatabase;
using lorvex::db::test::TestServer;

// The README's set-up for a team, from a clean state: the server runs
// (scripts/test.sh started it), each crew member's computer runs
// install-data --server with the team's attributes and writes a report
// from a program of its own, and history on either lists both; reprint on
// one gives what the other's report printed. --local takes a computer back
// to its own file; a server that cannot be reached changes nothing.
TEST_F(CliDatabaseTest, ATeamKeepsItsReportsOnOneServer) {
    const std::optional<std::string> server = TestServer();
    if (!server) GTEST_SKIP() << kNoServer;
    const ServerDatabase database(*server);
    auto computer = [&](const std::string& name) {
        const fs::path home = dir_ / name;
        fs::create_directories(home);
        return std::pair{home, "ODBCINI='" + (home / "odbc.ini").string() + "' XDG_DATA_HOME='" +
                                   (home / "data").string() + "' QT_QPA_PLATFORM=offscreen"};
    };
    const auto [homeA, envA] = computer("a");
    const auto [homeB, envB] = computer("b");
    for (const auto& [home, env] : {std::pair{homeA, envA}, std::pair{homeB, envB}}) {
        const Outcome install =
            RunProgram(home, env, {"install-data", "--server", database.Attributes()});
        ASSERT_EQ(install.code, 0) << install.err;
        EXPECT_FALSE(fs::exists(home / "data" / "Lorvex" / "Qel.db"));
    }
    const Outcome first = RunProgram(homeA, envA, {"report", kSample, "--line", "1"});
    ASSERT_EQ(first.code, 0) << first.err;
    const Outcome second = RunProgram(homeB, envB, {"report", kSample, "--line", "2"});
    ASSERT_EQ(second.code, 0) << second.err;
    const Json lines = RunCli({"lines", kSample}).json["lines"];

    const Outcome historyA = RunProgram(homeA, envA, {"history"});
    ASSERT_EQ(historyA.code, 0) << historyA.err;
    ASSERT_EQ(historyA.json["reports"].size(), 2u);
    EXPECT_EQ(historyA.json["reports"][0]["line"], lines[1]["name"]);
    EXPECT_EQ(historyA.json["reports"][1]["line"], lines[0]["name"]);
    EXPECT_EQ(RunProgram(homeB, envB, {"history"}).json, historyA.json);

    const std::string id = std::to_string(historyA.json["reports"][1]["id"].get<long long>());
    Json reprint = RunProgram(homeB, envB, {"reprint", id}).json;
    Json written = first.json;
    reprint.erase("messages");
    written.erase("messages");
    EXPECT_EQ(reprint, written);

    const Outcome local = RunProgram(homeA, envA, {"install-data", "--local"});
    ASSERT_EQ(local.code, 0) << local.err;
    EXPECT_EQ(RunProgram(homeA, envA, {"history"}).json["reports"], Json::array());
    EXPECT_EQ(RunProgram(homeB, envB, {"history"}).json["reports"].size(), 2u);

    const auto [homeC, envC] = computer("c");
    const Outcome down = RunProgram(
        homeC, envC,
        {"install-data", "--server",
         "Driver=PostgreSQL Unicode;Servername=/nonexistent;Port=5432;Database=x;Username=crew"});
    EXPECT_EQ(down.code, 3);
    EXPECT_NE(down.json.value("error", "").find("/nonexistent"), std::string::npos) << down.json;
    EXPECT_FALSE(fs::exists(homeC / "data"));
    EXPECT_FALSE(fs::exists(homeC / "odbc.ini"));
}

}  // namespace team
