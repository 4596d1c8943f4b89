// The drawing module lorvex-cli loads for record books and workbooks: when it
// cannot be loaded, the commands that draw fail with why, before writing
// anything, and every other command works as before.

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "cli_fixture.h"

namespace {

namespace fs = std::filesystem;
using lorvex::test::RunCli;

// Sets LORVEX_CLI_DRAWING for one test and puts back what was there.
class DrawingModuleAt {
  public:
    explicit DrawingModuleAt(const std::string& file) {
        if (const char* was = std::getenv("LORVEX_CLI_DRAWING")) m_was = was;
        setenv("LORVEX_CLI_DRAWING", file.c_str(), 1);
    }
    ~DrawingModuleAt() {
        if (m_was) {
            setenv("LORVEX_CLI_DRAWING", m_was->c_str(), 1);
        } else {
            unsetenv("LORVEX_CLI_DRAWING");
        }
    }

  private:
    std::optional<std::string> m_was;
};

class CliDrawingTest : public lorvex::test::CliFolderTest {
  protected:
    CliDrawingTest() : CliFolderTest("lorvex-cli-drawing-", true) {}
};

const std::string& kSample = lorvex::test::kSampleFile;

TEST_F(CliDrawingTest, CommandsThatDrawSayWhyWhenTheModuleCannotBeLoaded) {
    ASSERT_EQ(RunCli({"install-data"}).code, 0);
    const std::string pdf = (dir_ / "book.pdf").string();
    const std::string xlsx = (dir_ / "table.xlsx").string();
    struct Case {
        const char* module;   // what LORVEX_CLI_DRAWING names
        const char* because;  // in the error, after the common part
    };
    // A file that is no module, and a library without our entry point (a
    // module of another version looks the same to the loader).
    const Case modules[] = {
        {"/nonexistent/lorvex-cli-drawing.so", "/nonexistent/lorvex-cli-drawing.so"},
        {"libc.so.6", "has no lorvex_cli_drawing_v1"},
    };
    const std::vector<std::vector<std::string>> drawing = {
        {"report", kSample, "--line", "1", "--pdf", pdf},
        {"report", kSample, "--all", "--pdf", pdf},
        {"reprint", "1", "--pdf", pdf},
        {"sections", kSample, "--xlsx", xlsx},
    };
    for (const Case& c : modules) {
        const DrawingModuleAt module(c.module);
        // reprint needs a report in the archive; written without a book.
        ASSERT_EQ(RunCli({"report", kSample, "--line", "1"}).code, 0);
        const auto history = RunCli({"history"}).json["reports"];
        for (const auto& args : drawing) {
            SCOPED_TRACE(std::string(c.module) + ": " + args[0] + " " + args.back());
            const auto o = RunCli(args);
            EXPECT_EQ(o.code, 3) << o.err;
            const std::string error = o.json.value("error", "");
            EXPECT_NE(error.find("cannot load the drawing module"), std::string::npos) << error;
            EXPECT_NE(error.find(c.because), std::string::npos) << error;
            EXPECT_NE(o.err.find(error), std::string::npos) << o.err;
            EXPECT_FALSE(fs::exists(pdf));
            EXPECT_FALSE(fs::exists(xlsx));
        }
        // report --pdf has written its report before the book (as without
        // --pdf); report --all stopped before writing any.
        EXPECT_EQ(RunCli({"history"}).json["reports"].size(), history.size() + 1);
    }
}

TEST_F(CliDrawingTest, CommandsThatNeverDrawWorkWithoutTheModule) {
    ASSERT_EQ(RunCli({"install-data"}).code, 0);
    std::vector<nlohmann::json> with;
    const std::vector<std::vector<std::string>> commands = {
        {"lines", kSample},
        {"compute", kSample, "--line", "2"},
        {"check", kSample, "--line", "2"},
        {"sections", kSample, "--csv", (dir_ / "table.csv").string()},
        {"report", kSample, "--line", "2"},
        {"dump"},
        {"history", "--limit", "1"},
        {"reprint", "1"},
    };
    for (const auto& args : commands) with.push_back(RunCli(args).json);
    const DrawingModuleAt module((dir_ / "missing.so").string());
    for (std::size_t i = 0; i < commands.size(); ++i) {
        SCOPED_TRACE(commands[i][0]);
        const auto o = RunCli(commands[i]);
        EXPECT_EQ(o.code, 0) << o.err;
        // The second report is newer than the first, with new record ids.
        const std::string& command = commands[i][0];
        if (command == "report" || command == "history" || command == "dump") continue;
        EXPECT_EQ(o.json, with[i]);
    }
}

}  // namespace
