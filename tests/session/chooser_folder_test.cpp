// Where the file chooser opens: the current file's folder, the last folder
// used, the home folder, in that order, each only when it is a folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "session/levelling_session.h"

namespace lorvex {
namespace {

namespace fs = std::filesystem;

class ChooserFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_root =
            fs::temp_directory_path() /
            ("lorvex-chooser-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_root / "current");
        fs::create_directories(m_root / "last");
        fs::create_directories(m_root / "home");
        std::ofstream(m_root / "plain-file") << "x";
    }
    void TearDown() override { fs::remove_all(m_root); }

    std::string Path(const std::string& relative) const {
        if (relative.empty()) return {};
        const std::u8string text = (m_root / relative).u8string();
        return std::string(text.begin(), text.end());
    }

    fs::path m_root;
};

TEST_F(ChooserFolderTest, FirstExistingFolderWins) {
    struct Case {
        const char* name;
        std::string filePath;  // the session's path, as typed or imported
        std::string lastUsed;
        const char* expected;  // under the test's root
    };
    const Case cases[] = {
        {"current file's folder", Path("current/a.mdt"), Path("last"), "current"},
        {"a typed file that does not exist still names its folder", Path("current/none.mdt"),
         Path("last"), "current"},
        {"file's folder gone: last folder", Path("gone/a.mdt"), Path("last"), "last"},
        {"no file yet: last folder", "", Path("last"), "last"},
        {"a bare file name names no folder", "a.mdt", Path("last"), "last"},
        {"last folder gone: home", "", Path("gone"), "home"},
        {"last folder is a file: home", "", Path("plain-file"), "home"},
        {"nothing remembered: home", "", "", "home"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LevellingSession session;
        session.FilePath() = c.filePath;
        EXPECT_EQ(
            session.ChooserFolder(fs::path(std::u8string(c.lastUsed.begin(), c.lastUsed.end())),
                                  m_root / "home"),
            m_root / c.expected);
    }
}

TEST_F(ChooserFolderTest, ChineseFolderNames) {
    fs::create_directories(m_root / u8"水准");
    LevellingSession session;
    const std::u8string file = (m_root / u8"水准" / u8"线路.mdt").u8string();
    session.FilePath().assign(file.begin(), file.end());
    EXPECT_EQ(session.ChooserFolder({}, m_root / "home"), m_root / u8"水准");
}

}  // namespace
}  // namespace lorvex
