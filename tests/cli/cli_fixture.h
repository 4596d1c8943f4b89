#pragma once

// What the lorvex-cli tests share: a run of the program in-process, read
// back as JSON, and a temporary folder per test for the files it reads and
// writes.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli.h"

namespace lorvex::test {

inline const std::string kSampleFile = std::string(LORVEX_SOURCE_DIR) + "/samples/sample.mdt";

struct CliOutcome {
    int code;
    nlohmann::json json;
    std::string err;
};

// Every outcome, failures included, must be one valid JSON document.
inline CliOutcome RunCli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = lorvex::cli::Run(args, out, err);
    return CliOutcome{code, nlohmann::json::parse(out.str()), err.str()};
}

// What a shell command printed on its standard output.
inline std::string Capture(const std::string& command) {
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
        pclose(pipe);
    }
    return text;
}

// The text of a PDF as pdftotext lays it out: every page, or pages first to
// last (from 1).
inline std::string PdfText(const std::filesystem::path& pdf, int first = 0, int last = 0) {
    const std::string pages =
        first > 0 ? "-f " + std::to_string(first) + " -l " + std::to_string(last) + " "
                  : std::string();
    return Capture("pdftotext -layout " + pages + "'" + pdf.string() + "' -");
}

// A folder of its own for every test, named by prefix, process and test.
// With ownDatabase, the data folder and the data source list live in it too,
// so each test starts with no database.
class CliFolderTest : public ::testing::Test {
  protected:
    CliFolderTest(std::string prefix, bool ownDatabase)
        : m_prefix(std::move(prefix)), m_ownDatabase(ownDatabase) {}

    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               (m_prefix + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        if (m_ownDatabase) UseOwnDatabase();
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    void UseOwnDatabase() {
        setenv("ODBCINI", (dir_ / "odbc.ini").c_str(), 1);
        setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
    }

    std::string Write(const std::string& name, const std::string& bytes) {
        const std::filesystem::path path = dir_ / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

    std::filesystem::path dir_;

  private:
    std::string m_prefix;
    bool m_ownDatabase;
};

}  // namespace lorvex::test
