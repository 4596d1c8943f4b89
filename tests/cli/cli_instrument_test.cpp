// lorvex-cli over the other levels' files: the same observations written as
// .mdt, GSI-16, GSI-8 and M5 give the same lines and the same computation,
// and a file that leaves its grade open needs --grade.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli.h"

namespace {

using Json = nlohmann::json;

const std::string kData = std::string(LORVEX_SOURCE_DIR) + "/tests/import/data/";

struct Outcome {
    int code;
    Json json;
    std::string err;
};

Outcome RunCli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = lorvex::cli::Run(args, out, err);
    return {code, Json::parse(out.str()), err.str()};
}

// Everything but the messages: the readers of the instruments' files add
// what they noticed (intermediate sights), the .mdt has nothing to say.
Json WithoutMessages(Json document) {
    document.erase("messages");
    return document;
}

TEST(CliInstrumentFiles, SameObservationsComputeAlikeInEveryFormat) {
    const Outcome mdtLines = RunCli({"lines", kData + "levelling.mdt"});
    ASSERT_EQ(mdtLines.code, 0) << mdtLines.err;
    const std::size_t lineCount = mdtLines.json["lines"].size();
    ASSERT_GE(lineCount, 2u);

    struct Case {
        const char* file;
        std::vector<std::string> grade;  // the option where the file needs it
    };
    const Case cases[] = {{"levelling.mdt", {}},
                          {"levelling.gsi", {"--grade", "second"}},
                          {"levelling_gsi8.gsi", {"--grade", "second"}},
                          {"levelling.dat", {"--grade", "second"}}};
    for (const Case& c : cases) {
        std::vector<std::string> lines = {"lines", kData + c.file};
        lines.insert(lines.end(), c.grade.begin(), c.grade.end());
        const Outcome listed = RunCli(lines);
        ASSERT_EQ(listed.code, 0) << c.file << listed.err;
        ASSERT_EQ(listed.json["lines"].size(), lineCount) << c.file;
        for (std::size_t k = 0; k < lineCount; ++k) {
            // Line k is the k-th instrument line, named by its end points.
            EXPECT_EQ(listed.json["lines"][k]["name"], mdtLines.json["lines"][k]["name"])
                << c.file << " line " << k + 1;
            std::vector<std::string> args = {"compute", kData + c.file, "--line",
                                             std::to_string(k + 1)};
            args.insert(args.end(), c.grade.begin(), c.grade.end());
            const Outcome computed = RunCli(args);
            const Outcome expected =
                RunCli({"compute", kData + "levelling.mdt", "--line", std::to_string(k + 1)});
            ASSERT_EQ(computed.code, expected.code) << c.file << computed.err;
            EXPECT_EQ(WithoutMessages(computed.json), WithoutMessages(expected.json))
                << c.file << " line " << k + 1;
        }
    }
}

// The intermediate sight on M1 (after station 2 of line 2) is a row of
// `show` in every format that has it, and the stations are the .mdt's.
TEST(CliInstrumentFiles, IntermediateSightIsARowButNoStation) {
    const Outcome mdt = RunCli({"show", kData + "levelling.mdt", "--line", "2"});
    ASSERT_EQ(mdt.code, 0) << mdt.err;
    for (const char* file : {"levelling.gsi", "levelling_gsi8.gsi", "levelling.dat"}) {
        SCOPED_TRACE(file);
        const Outcome shown = RunCli({"show", kData + file, "--line", "2", "--grade", "second"});
        ASSERT_EQ(shown.code, 0) << shown.err;
        const Json& rows = shown.json["rows"];
        ASSERT_EQ(rows.size(), mdt.json["rows"].size() + 1);
        EXPECT_EQ(rows[8].get<std::string>().rfind("M1 中视@ 1.23456 15.000 ", 0), 0u) << rows[8];
        EXPECT_EQ(shown.json["sStationStGo"], mdt.json["sStationStGo"]);
        EXPECT_EQ(shown.json["sStationEnGo"], mdt.json["sStationEnGo"]);
        const Outcome checked = RunCli({"check", kData + file, "--line", "2", "--grade", "second"});
        ASSERT_EQ(checked.code, 0) << checked.err;
        EXPECT_EQ(checked.json["stations"].size(), 3u);
    }
}

TEST(CliInstrumentFiles, GradeOptionIsAUsageErrorWhereItDoesNotAnswer) {
    const std::string gsi = kData + "levelling.gsi";
    const std::string mdt = kData + "levelling.mdt";
    struct Case {
        std::vector<std::string> args;
        int code;
        std::string errorPart;  // in the JSON's "error"; empty: no error
    };
    const Case cases[] = {
        {{"compute", gsi, "--line", "1"}, 2, "--grade second|third"},
        {{"show", gsi, "--line", "1"}, 2, "--grade second|third"},
        {{"lines", gsi}, 2, "--grade second|third"},
        {{"compute", gsi, "--line", "1", "--grade", "fourth"}, 2, "does not fit"},
        {{"compute", mdt, "--line", "1", "--grade", "second"}, 2, "does not fit"},
        {{"compute", gsi, "--line", "1", "--grade", "2"}, 2, "second, third or fourth"},
        {{"dump", "--grade", "third"}, 2, "--grade goes with"},
        {{"show", gsi, "--line", "1", "--grade", "third"}, 0, ""},
    };
    for (const Case& c : cases) {
        const Outcome o = RunCli(c.args);
        EXPECT_EQ(o.code, c.code) << c.args[0] << " " << c.errorPart << o.err;
        if (c.errorPart.empty()) {
            EXPECT_FALSE(o.json.contains("error"));
        } else {
            EXPECT_NE(o.json.value("error", "").find(c.errorPart), std::string::npos)
                << o.json.dump();
        }
    }
    // Third order writes its method code into the records and is detected.
    const Outcome third = RunCli({"show", gsi, "--line", "1", "--grade", "third"});
    EXPECT_EQ(third.json["grade"], 1);
}

}  // namespace
