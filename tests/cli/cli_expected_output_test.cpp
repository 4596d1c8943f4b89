// lorvex-cli's JSON, byte for byte, on a generated file of 10,000 records
// and on the sample against the output stored beside this test. The printer may be rewritten
// for speed; scripts diff its output, so not one byte of it may move.
//
// To store the output anew (only when a change of output is intended):
//   LORVEX_WRITE_EXPECTED=1 ctest -R CliExpectedOutput

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli.h"

namespace {

namespace fs = std::filesystem;

const std::string kSample = std::string(LORVEX_SOURCE_DIR) + "/samples/sample.mdt";
const fs::path kExpectedDir = fs::path(LORVEX_SOURCE_DIR) / "tests/cli/data/expected";

// A file of exactly 10,000 records in the shapes the sample holds, drawn
// from a fixed linear congruential sequence so every run writes the same
// bytes:
// - second-order lines, stations alternating back-fore-fore-back and
//   fore-back-back-fore;
// - fourth-order lines named in GBK, back-back-fore-fore;
// - dual-run lines, the right and left routes' stations interleaved;
// - second-order lines whose names hold a quote and a backslash (escaped in
//   JSON), with a record now and then carrying the method code of the first
//   line (regrouped there, which leaves both lines without whole stations)
//   and a line of noise (counted as ignored).
std::string GeneratedFile() {
    std::uint32_t state = 20261208u;
    auto next = [&state](std::uint32_t n) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % n;
    };
    std::string out = "PtID Code Reading Distance Time No Mode\r\n";
    char buf[160];
    int records = 0;
    int minute = 0;
    auto record = [&](const std::string& point, char sight, double reading, double distance,
                      const char* code) {
        if (records == 10000) return;
        ++records;
        ++minute;
        std::snprintf(buf, sizeof buf, "%s %c %.5f %.2f %02d:%02d:00 %d %s\r\n", point.c_str(),
                      sight, reading, distance, 8 + minute / 60 % 12, minute % 60, records, code);
        out += buf;
    };
    auto reading = [&] { return 0.8 + next(150000) * 1e-5; };
    auto distance = [&] { return 15.0 + next(3500) * 1e-2; };
    // records grows inside record(); a call reads it afresh each turn.
    auto full = [&] { return records >= 10000; };
    for (int line = 0; !full(); ++line) {
        const int kind = line % 4;
        const std::string n = std::to_string(line);
        static const char* const kCodes[] = {"109", "106", "105", "108"};
        const char* code = line == 0 ? "107" : kCodes[kind];
        const std::string name = kind == 1   ? "\xCB\xAE\xD7\xBC" + n  // 水准 in GBK
                                 : kind == 2 ? "D" + n
                                 : kind == 3 ? "Q\"" + n + "\\x"
                                             : "L" + n;
        out += "@" + name + " Line 2026-03-07 08:10:00 0 0 " + code + "\r\n";
        const int sections = 40 + static_cast<int>(next(120));
        for (int s = 0; s < sections && records < 10000; ++s) {
            const std::string a = (kind == 1 ? "Z" : "P") + n + "-" + std::to_string(s);
            const std::string b = (kind == 1 ? "Z" : "P") + n + "-" + std::to_string(s + 1);
            const double rb = reading(), rf = reading(), db = distance(), df = distance();
            const double e1 = next(9) * 1e-5, e2 = next(9) * 1e-5;
            if (kind == 0 || kind == 3) {
                const bool fbbf = s % 2 == 1;
                const char* c = kind == 3 && next(13) == 0 ? "107" : code;
                if (!fbbf) {
                    record(a, 'B', rb, db, c);
                    record(b, 'F', rf, df, code);
                    record(b, 'F', rf + e1, df + 0.01, code);
                    record(a, 'B', rb + e2, db + 0.01, code);
                } else {
                    record(b, 'F', rf, df, code);
                    record(a, 'B', rb, db, code);
                    record(a, 'B', rb + e1, db + 0.02, code);
                    record(b, 'F', rf + e2, df + 0.02, c);
                }
                if (kind == 3 && s == 7) out += "noise that is no record\r\n";
            } else if (kind == 1) {
                record(a, 'B', rb, db, code);
                record(a, 'B', rb + e1, db + 0.1, code);
                record(b, 'F', rf, df, code);
                record(b, 'F', rf + e2, df + 0.1, code);
            } else {
                const std::string r = "R" + n + "-" + std::to_string(s);
                const std::string l = "L" + n + "-" + std::to_string(s);
                for (const std::string* via : {&r, &l}) {
                    record(a, 'B', rb, db, code);
                    record(*via, 'F', rf, df, code);
                    record(*via, 'F', rf + e1, df, code);
                    record(a, 'B', rb + e2, db, code);
                }
                for (const std::string* via : {&r, &l}) {
                    record(*via, 'B', rf + 0.1, df, code);
                    record(b, 'F', rb + 0.1, db, code);
                    record(b, 'F', rb + 0.1 + e2, db, code);
                    record(*via, 'B', rf + 0.1 + e1, df, code);
                }
            }
        }
    }
    return out;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class CliExpectedOutputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("lorvex-cli-expected-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        setenv("ODBCINI", (dir_ / "odbc.ini").c_str(), 1);
        setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
        file_ = (dir_ / "generated.mdt").string();
        std::ofstream(file_, std::ios::binary) << GeneratedFile();
        // The header's date would be today's otherwise.
        header_ = (dir_ / "header.json").string();
        std::ofstream(header_) << R"({"sYear": "2026", "sMonth": "3", "sDay": "7"})";
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_;
    std::string file_;
    std::string header_;
};

TEST_F(CliExpectedOutputTest, GeneratedFileGivesTheStoredOutputByteForByte) {
    std::ostringstream ignored, ignoredErr;
    // The limits the checks use come from the data folder.
    ASSERT_EQ(lorvex::cli::Run({"install-data"}, ignored, ignoredErr), 0) << ignoredErr.str();
    struct Case {
        const char* expected;
        std::vector<std::string> args;
        int code;
    };
    const Case cases[] = {
        {"lines.json", {"lines", file_}, 0},
        {"show-2.json", {"show", file_, "--line", "2"}, 0},
        {"compute-6.json", {"compute", file_, "--line", "6", "--header", header_}, 0},
        {"compute-2.json", {"compute", file_, "--line", "2", "--header", header_}, 0},
        {"compute-1.json", {"compute", file_, "--line", "1", "--header", header_}, 1},
        {"check-6.json", {"check", file_, "--line", "6"}, 0},
        {"compare-3-4.json", {"compare", file_, "--line", "3", "--line", "4"}, 0},
        {"sample-lines.json", {"lines", kSample}, 0},
        {"sample-compute-1.json", {"compute", kSample, "--line", "1", "--header", header_}, 0},
    };
    const bool write = std::getenv("LORVEX_WRITE_EXPECTED") != nullptr;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        std::ostringstream out, err;
        EXPECT_EQ(lorvex::cli::Run(c.args, out, err), c.code) << err.str();
        const fs::path path = kExpectedDir / c.expected;
        if (write) {
            fs::create_directories(kExpectedDir);
            std::ofstream(path, std::ios::binary) << out.str();
            continue;
        }
        const std::string expected = ReadFile(path);
        ASSERT_FALSE(expected.empty()) << "no stored output at " << path;
        // Where the two part, not a megabyte of both.
        const std::string actual = out.str();
        std::size_t at = 0;
        while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
        EXPECT_TRUE(actual == expected)
            << "first difference at byte " << at << " of " << expected.size() << ": expected \""
            << expected.substr(at, 60) << "\", got \"" << actual.substr(at, 60) << "\"";
    }
}

}  // namespace
