#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "db_fixture.h"

namespace lorvex::db::test {
namespace {

using namespace std::string_literals;

TEST(AttributeList, WindowsFolderGivesTwoEntriesAndTheClosingNul) {
    EXPECT_EQ(BuildAttributeList("C:\\Quorral Data\\Lorvex"),
              "DSN=Qel\0 DBQ=C:\\Quorral Data\\Lorvex\\Qel.mdb\0\0"s);
}

TEST(DataFolder, FollowsXdgDataHomeThenHome) {
    struct Case {
        const char* xdg;  // nullptr: unset
        const char* expected;
    };
    const Case cases[] = {
        {"/srv/xdg", "/srv/xdg/Lorvex"},
        {nullptr, "/home/surveyor/.local/share/Lorvex"},
        {"", "/home/surveyor/.local/share/Lorvex"},
        {"relative/dir", "/home/surveyor/.local/share/Lorvex"},  // invalid by XDG rules
    };
    const std::string savedHome = getenv("HOME") ? getenv("HOME") : "";
    setenv("HOME", "/home/surveyor", 1);
    for (const Case& c : cases) {
        if (c.xdg) {
            setenv("XDG_DATA_HOME", c.xdg, 1);
        } else {
            unsetenv("XDG_DATA_HOME");
        }
        EXPECT_EQ(GetDataFolder(), fs::path(c.expected)) << (c.xdg ? c.xdg : "(unset)");
    }
    setenv("HOME", savedHome.c_str(), 1);
    unsetenv("XDG_DATA_HOME");
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class Registration : public DbTest {
  protected:
    bool InstallsData() const override { return false; }
};

TEST_F(Registration, TwiceSucceedsAndPointsAtTheDatabaseFile) {
    std::string error;
    ASSERT_TRUE(RegisterDataSource(&error)) << error;
    // A stale key from an older registration must not survive.
    SetDsnKey("DBQ", "/elsewhere/Qel.mdb");
    ASSERT_TRUE(RegisterDataSource(&error)) << error;

    const std::string ini = ReadText(root_ / "odbc.ini");
    EXPECT_NE(ini.find("[Qel]"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Driver=SQLite3"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Database=" + DatabasePath().string()), std::string::npos) << ini;
    EXPECT_NE(ini.find("NoCreat=1"), std::string::npos) << ini;
    EXPECT_EQ(ini.find("DBQ"), std::string::npos) << ini;
}

TEST_F(Registration, MissingDriverFailsWithAReason) {
    if (!FreshProcess()) GTEST_SKIP() << "needs a process of its own; run it through ctest";
    // A driver configuration without the SQLite3 driver.
    const fs::path system = root_ / "etc";
    fs::create_directories(system);
    std::ofstream(system / "odbcinst.ini") << "[Other]\nDriver=libother.so\n";
    // In a child: the driver manager keeps the driver configuration's
    // location for the rest of the process.
    EXPECT_EXIT(
        {
            setenv("ODBCSYSINI", system.c_str(), 1);
            std::string error;
            const bool registered = RegisterDataSource(&error);
            std::fprintf(stderr, "%s\n", error.c_str());
            std::_Exit(registered ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "driver \"SQLite3\" is not installed");
}

TEST_F(Registration, MissingDatabaseFileIsAnErrorAndIsNotCreated) {
    ASSERT_TRUE(RegisterDataSource());
    CDatabase db;
    try {
        db.Open(std::string(kConnectString));
        FAIL() << "connected to a database that does not exist";
    } catch (const DbError& e) {
        EXPECT_STRNE(e.what(), "");
        EXPECT_EQ(e.NativeError(), 14);  // SQLITE_CANTOPEN
    }
    EXPECT_FALSE(fs::exists(DatabasePath()));
}

// A user's odbc.ini as other programs leave it: comments, odd spacing, a
// section without a trailing newline, and a stale "Qel" from an older
// registration between the other data sources.
const std::string kOtherSections =
    "; data sources of other programs\n"
    "[ODBC Data Sources]\n"
    "Survey = PostgreSQL Unicode\n"
    "\n"
    "[Survey]\n"
    "Driver      = PostgreSQL Unicode\n"
    "Servername  = db.example\n"
    "Database=survey\r\n"
    "# port of the office server\n"
    "Port=5432\n"
    "\n";
const std::string kStaleQel = "[Qel]\nDriver=SQLite3\nDBQ=/old/Qel.mdb\n\n";
const std::string kTail = "[Tail]\nKey=Value with = sign";

// The bytes of ini outside every "[Qel]" section (names compare without
// case, as the driver manager compares them). The line ends after the last
// line may differ: a section appended to a file needs them.
std::string WithoutQel(const std::string& ini) {
    std::string kept;
    bool inQel = false;
    std::istringstream lines(ini);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line[0] == '[') {
            std::string name = line.substr(0, 5);
            for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            inQel = name == "[qel]";
        }
        if (!inQel) kept += line + "\n";
    }
    while (!kept.empty() && kept.back() == '\n') kept.pop_back();
    return kept;
}

std::string Key(const char* key) {
    std::array<char, 512> value{};
    SQLGetPrivateProfileString("Qel", key, "", value.data(), static_cast<int>(value.size()),
                               "odbc.ini");
    return value.data();
}

TEST_F(Registration, KeepsEveryOtherSectionByteForByte) {
    const fs::path ini = root_ / "odbc.ini";
    const std::string before[] = {
        "",
        kOtherSections,
        kOtherSections + kStaleQel + kTail,
        kStaleQel + kTail,
        kOtherSections + kTail,
        "[qel]\nDriver=SQLite3\n\n" + kTail,
    };
    for (const std::string& original : before) {
        SCOPED_TRACE(original);
        std::ofstream(ini, std::ios::binary | std::ios::trunc) << original;
        std::string error;
        ASSERT_TRUE(RegisterDataSource(&error)) << error;
        const std::string after = ReadText(ini);
        EXPECT_EQ(WithoutQel(after), WithoutQel(original)) << after;
        EXPECT_EQ(after.find("DBQ"), std::string::npos) << after;
        EXPECT_NE(after.find("[Qel]\nDriver=SQLite3\n"), std::string::npos) << after;
        // The driver manager reads what was written.
        EXPECT_EQ(Key("Database"), DatabasePath().string());
        EXPECT_EQ(Key("Driver"), "SQLite3");
    }
}

TEST_F(Registration, WritesNothingWhenTheEntryIsRight) {
    const fs::path ini = root_ / "odbc.ini";
    std::ofstream(ini, std::ios::binary) << kOtherSections;
    ASSERT_TRUE(RegisterDataSource());
    struct stat first {};
    ASSERT_EQ(::stat(ini.c_str(), &first), 0);
    const std::string bytes = ReadText(ini);
    ::usleep(20000);  // a rewrite would show in the modification time
    ASSERT_TRUE(RegisterDataSource());
    struct stat second {};
    ASSERT_EQ(::stat(ini.c_str(), &second), 0);
    EXPECT_EQ(second.st_ino, first.st_ino);
    EXPECT_EQ(second.st_mtim.tv_nsec, first.st_mtim.tv_nsec);
    EXPECT_EQ(second.st_mtim.tv_sec, first.st_mtim.tv_sec);
    EXPECT_EQ(ReadText(ini), bytes);
}

// Several programs registering at the same moment (the window and scripts)
// must neither lose another data source nor leave "Qel" half written.
TEST_F(Registration, ConcurrentRegistrationsLoseNothing) {
    const fs::path ini = root_ / "odbc.ini";
    constexpr int kTrials = 50;
    constexpr int kProcesses = 4;
    int damaged = 0;
    int lost = 0;
    int broken = 0;
    int failed = 0;
    for (int trial = 0; trial < kTrials; ++trial) {
        const std::string original = kOtherSections + kStaleQel + kTail;
        std::ofstream(ini, std::ios::binary | std::ios::trunc) << original;
        int go[2];
        ASSERT_EQ(::pipe(go), 0);
        std::vector<pid_t> children;
        for (int p = 0; p < kProcesses; ++p) {
            const pid_t pid = ::fork();
            ASSERT_GE(pid, 0);
            if (pid == 0) {
                ::close(go[1]);
                char c;
                (void)!::read(go[0], &c, 1);  // all start when the pipe closes
                std::_Exit(RegisterDataSource() ? 0 : 1);
            }
            children.push_back(pid);
        }
        ::close(go[0]);
        ::close(go[1]);
        for (const pid_t pid : children) {
            int status = 0;
            ::waitpid(pid, &status, 0);
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failed;
        }
        const std::string after = ReadText(ini);
        const bool whole = WithoutQel(after) == WithoutQel(original) &&
                           after.find("Driver=SQLite3") != std::string::npos &&
                           after.find("Database=" + DatabasePath().string()) != std::string::npos &&
                           after.find("Timeout=") != std::string::npos;
        if (!whole) ++damaged;
        if (after.find("Servername") == std::string::npos ||
            after.find("[Tail]") == std::string::npos) {
            ++lost;
        }
        if (after.find("Driver=SQLite3") == std::string::npos ||
            after.find("Database=" + DatabasePath().string()) == std::string::npos) {
            ++broken;
        }
    }
    EXPECT_EQ(damaged, 0) << "of " << kTrials << " trials; another section lost in " << lost
                          << ", \"Qel\" incomplete in " << broken;
    EXPECT_EQ(failed, 0) << "registrations failed";
}

// Registration goes to the user's data sources only. An unusable ODBCINI
// (its folder missing) must fail, also for root, and leave the system-wide
// file alone.
TEST_F(Registration, UnusableUserFileFailsAndWritesNothingSystemWide) {
    if (!FreshProcess()) GTEST_SKIP() << "needs a process of its own; run it through ctest";
    const fs::path system = root_ / "etc";
    fs::create_directories(system);
    fs::copy_file("/etc/odbcinst.ini", system / "odbcinst.ini");
    std::ofstream(system / "odbc.ini", std::ios::binary) << kOtherSections;
    const fs::path missing = root_ / "missing" / "odbc.ini";
    EXPECT_EXIT(
        {
            setenv("ODBCSYSINI", system.c_str(), 1);
            setenv("ODBCINI", missing.c_str(), 1);
            std::string error;
            const bool registered = RegisterDataSource(&error);
            std::fprintf(stderr, "%s\n", error.c_str());
            std::_Exit(registered ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "missing");
    EXPECT_EQ(ReadText(system / "odbc.ini"), kOtherSections);
    EXPECT_FALSE(fs::exists(root_ / "missing"));
}

}  // namespace
}  // namespace lorvex::db::test
