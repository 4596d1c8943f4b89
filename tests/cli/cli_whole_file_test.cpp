// The whole-file commands: the section table (sections, with its CSV and
// workbook) and every line's record book in one PDF (report --all), against
// the one-line commands they must agree with.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli.h"
#include "cli_fixture.h"
#include "levelling/number_text.h"
#include "many_lines.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

const std::string& kSample = lorvex::test::kSampleFile;

using Outcome = lorvex::test::CliOutcome;
using lorvex::test::RunCli;

using lorvex::test::Capture;
#ifdef LORVEX_HAS_REPORT
using lorvex::test::PdfText;

int PdfPages(const fs::path& pdf) {
    const std::string info = Capture("pdfinfo '" + pdf.string() + "'");
    const auto at = info.find("Pages:");
    return at == std::string::npos ? 0 : std::stoi(info.substr(at + 6));
}
#endif

// Reads a CSV (as a spreadsheet program would: UTF-8 with its byte-order
// mark) or a workbook (openpyxl) back into JSON rows of cells, with the
// workbook's number formats and frozen cell beside them.
constexpr const char* kReader = R"(import csv, json, sys
path = sys.argv[1]
if path.endswith(".csv"):
    raw = open(path, "rb").read()
    assert raw.startswith(b"\xef\xbb\xbf")
    rows = list(csv.reader(open(path, encoding="utf-8-sig", newline="")))
    print(json.dumps({"rows": rows}))
else:
    import openpyxl
    sheet = openpyxl.load_workbook(path).active
    rows = [[c.value for c in r] for r in sheet.iter_rows()]
    formats = [[c.number_format for c in r] for r in sheet.iter_rows(min_row=2)]
    print(json.dumps({"rows": rows, "formats": formats, "frozen": sheet.freeze_panes}))
)";

class CliWholeFileTest : public lorvex::test::CliFolderTest {
  protected:
    CliWholeFileTest() : CliFolderTest("lorvex-whole-", true) {}

    Json ReadBack(const fs::path& file) {
        const std::string script = Write("read_back.py", kReader);
        const std::string out =
            Capture("/usr/bin/python3 '" + script + "' '" + file.string() + "'");
        return Json::parse(out);
    }

    // A file of generated lines: a name with a comma, quotes and Chinese, a
    // back run of the first line, a line of an incomplete station and one
    // whose pattern fits no grade.
    std::string ManyLineFile() {
        auto lines = lorvex::test::ChainOfLines(6, 6);
        lines[1].name = "测段,\"二\"";
        lines.push_back({"L1返", "P2", "P1", 4});
        std::string file = lorvex::test::ManyLinesMdt(lines, 7);
        file +=
            "@残缺 Line 2026-03-07 08:00:00 0 0 107\r\n"
            "P9 B 1.50000 20.00 08:00:00 1 107\r\nQ9 F 1.20000 20.00 08:00:00 2 107\r\n"
            "Q9 F 1.20010 20.00 08:00:00 3 107\r\n";
        file +=
            "@乱序 Line 2026-03-07 08:00:00 0 0 107\r\n"
            "A B 1.50000 20.00 08:00:00 1 107\r\nB F 1.20000 20.00 08:00:00 2 107\r\n"
            "C F 1.20010 20.00 08:00:00 3 107\r\nD B 1.50000 20.00 08:00:00 4 107\r\n";
        return Write("day.mdt", file);
    }
};

// Every entry is what compute gives for that line: the totals row's very
// doubles, the end points, the grade and the stations; a line that does not
// compute carries the message that stops its report.
TEST_F(CliWholeFileTest, SectionsEqualComputeLineByLine) {
    for (const std::string& file : {kSample, ManyLineFile()}) {
        SCOPED_TRACE(file);
        const Outcome sections = RunCli({"sections", file});
        ASSERT_EQ(sections.code, 0) << sections.err;
        const Json& list = sections.json["sections"];
        ASSERT_EQ(list.size(), RunCli({"lines", file}).json["lines"].size());
        for (std::size_t i = 0; i < list.size(); ++i) {
            SCOPED_TRACE(i + 1);
            const Json& entry = list[i];
            EXPECT_EQ(entry["line"], i + 1);
            const Outcome compute = RunCli({"compute", file, "--line", std::to_string(i + 1)});
            if (entry.contains("error")) {
                if (compute.code == 0) {
                    // Computed without a grade there is no record book to make.
                    EXPECT_EQ(compute.json["grade"], -1);
                    EXPECT_EQ(entry["error"], "数据格式不支持！");
                } else {
                    EXPECT_EQ(entry["error"], compute.json["messages"].back());
                }
                continue;
            }
            ASSERT_EQ(compute.code, 0) << compute.err;
            EXPECT_EQ(entry["length_km"].get<double>(),
                      compute.json["result"]["dDis_Go"].get<double>());
            EXPECT_EQ(entry["height_m"].get<double>(),
                      compute.json["result"]["HeightAvg"].get<double>());
            EXPECT_EQ(entry["start"], compute.json["info"]["sStationStGo"]);
            EXPECT_EQ(entry["end"], compute.json["info"]["sStationEnGo"]);
            EXPECT_EQ(entry["grade"], compute.json["grade"]);
            EXPECT_EQ(entry["stations"], compute.json["observations"].size());
            EXPECT_EQ(entry["flags"], compute.json["line"]["flags"]);
        }
    }
}

TEST_F(CliWholeFileTest, SectionsPairTheRunsOfOneSection) {
    const Json list = RunCli({"sections", ManyLineFile()}).json["sections"];
    ASSERT_EQ(list.size(), 9u);
    // L1 and its back run L1返 (line 7) level P1-P2 in opposite directions.
    EXPECT_EQ(list[0]["pair"]["line"], 7);
    EXPECT_EQ(list[6]["pair"]["line"], 1);
    EXPECT_EQ(list[0]["pair"]["rule"], "runs_diff");
    const Outcome compare = RunCli({"compare", ManyLineFile(), "--line", "1", "--line", "7"});
    EXPECT_EQ(list[0]["pair"]["w_mm"], compare.json["w_mm"]);
    EXPECT_EQ(list[0]["pair"]["limit_mm"], compare.json["limit_mm"]);
    EXPECT_TRUE(list[1]["pair"].is_null());
    // The dual-run halves of the sample are each other's pair.
    const Json sample = RunCli({"sections", kSample}).json["sections"];
    EXPECT_EQ(sample[1]["pair"]["line"], 3);
    EXPECT_EQ(sample[1]["pair"]["rule"], "left_right_diff");
    EXPECT_EQ(sample[2]["pair"]["line"], 2);
}

// The files hold what the JSON holds: the CSV as texts with the table's
// decimals, the workbook as the very numbers with number formats, headings
// in the agreed order, and a name with a comma, quotes and Chinese intact.
TEST_F(CliWholeFileTest, CsvAndWorkbookReadBackAsTheJson) {
    const std::string file = ManyLineFile();
    const fs::path csv = dir_ / "表.csv";
    const fs::path xlsx = dir_ / "表.xlsx";
    const Outcome a = RunCli({"sections", file, "--csv", csv.string()});
    const Outcome b = RunCli({"sections", file, "--xlsx", xlsx.string()});
    ASSERT_EQ(a.code, 0) << a.err;
    ASSERT_EQ(b.code, 0) << b.err;
    ASSERT_EQ(a.json["sections"], b.json["sections"]);
    const Json& list = a.json["sections"];
    const Json fromCsv = ReadBack(csv);
    const Json fromXlsx = ReadBack(xlsx);
    const std::vector<std::string> headings = {"序号", "线路名称", "起点",     "终点",
                                               "等级", "测站数",   "距离(km)", "高差(m)"};
    for (const Json* read : {&fromCsv, &fromXlsx}) {
        const Json& rows = (*read)["rows"];
        ASSERT_EQ(rows.size(), list.size() + 1);
        for (std::size_t c = 0; c < headings.size(); ++c) EXPECT_EQ(rows[0][c], headings[c]);
    }
    const char* grades[] = {"二等", "三等", "四等"};
    for (std::size_t i = 0; i < list.size(); ++i) {
        SCOPED_TRACE(i + 1);
        const Json& entry = list[i];
        const Json& c = fromCsv["rows"][i + 1];
        const Json& x = fromXlsx["rows"][i + 1];
        EXPECT_EQ(c[0], std::to_string(i + 1));
        EXPECT_EQ(x[0], i + 1);
        EXPECT_EQ(c[1], entry["name"]);
        EXPECT_EQ(x[1], entry["name"]);
        if (entry.contains("error")) {
            EXPECT_EQ(c.back(), entry["error"]);
            EXPECT_EQ(x.back(), entry["error"]);
            continue;
        }
        for (const Json* row : {&c, &x}) {
            EXPECT_EQ((*row)[2], entry["start"]);
            EXPECT_EQ((*row)[3], entry["end"]);
            EXPECT_EQ((*row)[4], grades[entry["grade"].get<int>()]);
        }
        EXPECT_EQ(c[5], std::to_string(entry["stations"].get<int>()));
        EXPECT_EQ(x[5], entry["stations"]);
        EXPECT_EQ(c[6], lorvex::FormatFixed(entry["length_km"].get<double>(), 3));
        EXPECT_EQ(c[7], lorvex::FormatFixed(entry["height_m"].get<double>(), 5));
        EXPECT_EQ(x[6].get<double>(), entry["length_km"].get<double>());
        EXPECT_EQ(x[7].get<double>(), entry["height_m"].get<double>());
        EXPECT_EQ(fromXlsx["formats"][i][6], "0.000");
        EXPECT_EQ(fromXlsx["formats"][i][7], "0.00000");
        // The paired run and its difference are numbers a spreadsheet can sort.
        if (entry["pair"].is_object()) {
            EXPECT_EQ(x[8], entry["pair"]["line"]);
            EXPECT_EQ(x[9].get<double>(), entry["pair"]["w_mm"].get<double>());
            if (entry["pair"]["limit_mm"].is_number()) {
                EXPECT_EQ(x[10].get<double>(), entry["pair"]["limit_mm"].get<double>());
            }
        }
    }
    EXPECT_EQ(fromXlsx["frozen"], "A2");
    // The name with a comma and quotes is one quoted field in the file.
    std::ifstream in(csv, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(bytes.find("\"测段,\"\"二\"\"\""), std::string::npos);
}

#ifdef LORVEX_HAS_REPORT
// Each book of the --all PDF is the one-line record book page for page, after
// a contents page naming every line, its first page, or why it has none.
TEST_F(CliWholeFileTest, ReportAllHoldsTheOneLineBooksPageForPage) {
    ASSERT_EQ(RunCli({"install-data"}).code, 0);
    const std::string file = ManyLineFile();
    const fs::path all = dir_ / "all.pdf";
    const Outcome o = RunCli({"report", file, "--all", "--pdf", all.string()});
    ASSERT_EQ(o.code, 0) << o.err;
    const Json& books = o.json["books"];
    ASSERT_EQ(books.size(), 9u);
    const std::string contents = PdfText(all, 1, 1);
    int pages = 1;
    for (std::size_t i = 0; i < books.size(); ++i) {
        SCOPED_TRACE(i + 1);
        const Json& book = books[i];
        if (book.contains("error")) {
            EXPECT_NE(contents.find(book["error"].get<std::string>().substr(0, 12)),
                      std::string::npos);
            continue;
        }
        const int first = book["first_page"];
        const int last = first + book["pages"].get<int>() - 1;
        EXPECT_EQ(first, pages + 1);
        pages = last;
        const fs::path one = dir_ / ("one" + std::to_string(i + 1) + ".pdf");
        const Outcome single =
            RunCli({"report", file, "--line", std::to_string(i + 1), "--pdf", one.string()});
        ASSERT_EQ(single.code, 0) << single.err;
        ASSERT_EQ(PdfPages(one), book["pages"]);
        EXPECT_EQ(PdfText(all, first, last), PdfText(one, 1, book["pages"]));
    }
    EXPECT_EQ(PdfPages(all), pages);
    EXPECT_TRUE(books[7].contains("error"));
    EXPECT_TRUE(books[8].contains("error"));
    // The database keeps the last line that computed, as its one-line run
    // leaves it.
    EXPECT_EQ(o.json["database_line"], 7);
    const Json dump = RunCli({"dump"}).json;
    EXPECT_EQ(dump["Result_tbl"][0]["sStationSt"], "P2");
    EXPECT_EQ(dump["Result_tbl"][0]["sStationEn"], "P1");
}

#endif

TEST_F(CliWholeFileTest, NothingComputesOrNothingCanBeWritten) {
    ASSERT_EQ(RunCli({"install-data"}).code, 0);
    const std::string bad =
        Write("bad.mdt",
              "@甲 Line 2026-03-07 08:00:00 0 0 107\r\nP9 B 1.50000 20.00 08:00:00 1 107\r\n"
              "@乙 Line 2026-03-07 08:00:00 0 0 107\r\nA B 1.5 20 0 1 107\r\nB F 1.2 20 0 2 107\r\n"
              "C F 1.2 20 0 3 107\r\nD B 1.5 20 0 4 107\r\n");
#ifdef LORVEX_HAS_REPORT
    const fs::path pdf = dir_ / "none.pdf";
    const Outcome all = RunCli({"report", bad, "--all", "--pdf", pdf.string()});
    EXPECT_EQ(all.code, 1);
    ASSERT_EQ(all.json["books"].size(), 2u);
    for (const Json& book : all.json["books"]) EXPECT_TRUE(book.contains("error"));
    EXPECT_EQ(all.json["messages"].size(), 2u);
    EXPECT_FALSE(fs::exists(pdf));
#endif
    const Outcome sections = RunCli({"sections", bad, "--csv", (dir_ / "none.csv").string()});
    EXPECT_EQ(sections.code, 1);
    EXPECT_TRUE(sections.json["sections"][0].contains("error"));
    EXPECT_TRUE(sections.json["sections"][1].contains("error"));
    EXPECT_FALSE(fs::exists(dir_ / "none.csv"));

    // A folder in the way, or a folder that does not exist: exit 3, and no
    // file or leftover beside it.
    fs::create_directories(dir_ / "taken.pdf");
    fs::create_directories(dir_ / "taken.csv");
    fs::create_directories(dir_ / "taken.xlsx");
    std::vector<std::vector<std::string>> unwritable = {
        {"sections", kSample, "--csv", (dir_ / "taken.csv").string()},
        {"sections", kSample, "--xlsx", (dir_ / "taken.xlsx").string()},
        {"sections", kSample, "--xlsx", (dir_ / "no/such/t.xlsx").string()},
    };
#ifdef LORVEX_HAS_REPORT
    unwritable.push_back({"report", kSample, "--all", "--pdf", (dir_ / "taken.pdf").string()});
    unwritable.push_back(
        {"report", kSample, "--all", "--pdf", (dir_ / "no/such/all.pdf").string()});
#endif
    for (const auto& args : unwritable) {
        SCOPED_TRACE(args.back());
        const Outcome o = RunCli(args);
        EXPECT_EQ(o.code, 3) << o.err;
    }
    for (const auto& entry : fs::directory_iterator(dir_)) {
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(name.find(".part"), std::string::npos) << name;
        EXPECT_EQ(name.find(".pdf."), std::string::npos) << name;
    }
    EXPECT_TRUE(fs::is_empty(dir_ / "taken.pdf"));
}

TEST_F(CliWholeFileTest, UsageOfTheWholeFileOptions) {
    const std::vector<std::vector<std::string>> usage = {
        {"report", kSample, "--all"},
        {"report", kSample, "--all", "--line", "1", "--pdf", "x.pdf"},
        {"compute", kSample, "--all"},
        {"sections", kSample, "--csv", "a.csv", "--xlsx", "a.xlsx"},
        {"sections", kSample, "--line", "1"},
        {"compute", kSample, "--line", "1", "--csv", "a.csv"},
        {"sections"},
    };
    for (const auto& args : usage) {
        SCOPED_TRACE(args.size());
        EXPECT_EQ(RunCli(args).code, 2);
    }
}

}  // namespace
