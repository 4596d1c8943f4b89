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

}  // namespace
}  // namespace lorvex::db::test
