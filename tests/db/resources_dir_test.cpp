// Where the programs find their shipped resources: the variable, then the
// installed folder beside the program, then the source tree.

#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "db/resources_dir.h"

namespace lorvex::db {
namespace {

namespace fs = std::filesystem;

class ResourcesDirTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("lorvex-resources-" + std::to_string(std::random_device{}()));
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(root_); }

    fs::path root_;
};

TEST_F(ResourcesDirTest, FirstExistingPlaceWins) {
    // An installation: <prefix>/bin/lorvex-cli and the folder the install puts beside it.
    const fs::path program = root_ / "prefix" / "bin" / "lorvex-cli";
    const fs::path installed = InstalledResourcesDir(program);
    const fs::path source = root_ / "source" / "resources";
    const fs::path notThere = root_ / "nowhere";

    const struct {
        const char* name;
        const char* variable;
        bool installedExists;
        bool installedIsFile;  // a stray file of that name is not the folder
        fs::path buildTree;
        fs::path expected;
    } cases[] = {
        {"variable beats the installation", "/custom/res", true, false, source, "/custom/res"},
        {"variable need not exist", "/custom/none", false, false, notThere, "/custom/none"},
        {"empty variable counts as unset", "", true, false, source, installed},
        {"installation beats the source tree", nullptr, true, false, source, installed},
        {"source tree when not installed", nullptr, false, false, source, source},
        {"a file is not the installed folder", nullptr, false, true, source, source},
        {"nothing exists: the installed place", nullptr, false, false, notThere, installed},
        {"no source fallback built in", nullptr, false, false, fs::path(), installed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(root_ / "prefix");
        fs::remove_all(root_ / "source");
        fs::create_directories(source);
        if (c.installedExists) fs::create_directories(installed);
        if (c.installedIsFile) {
            fs::create_directories(installed.parent_path());
            std::ofstream(installed) << "not a folder";
        }
        EXPECT_EQ(FindResourcesDir(c.variable, program, c.buildTree), c.expected);
    }
}

TEST_F(ResourcesDirTest, InstalledFolderIsBesideTheProgramsFolderAndNamedPlainly) {
    const fs::path installed = InstalledResourcesDir(root_ / "prefix" / "bin" / "lorvex");
    // Messages name this path: no "." or ".." left in it.
    for (const fs::path& part : installed) {
        EXPECT_NE(part, "..");
        EXPECT_NE(part, ".");
    }
    EXPECT_EQ(installed.filename(), "resources");
    EXPECT_EQ(installed.parent_path().filename(), "lorvex");
    const std::string prefix = (root_ / "prefix").string() + "/";
    EXPECT_TRUE(installed.string().starts_with(prefix)) << installed << " is not under " << prefix;
}

TEST_F(ResourcesDirTest, TheRunningProgramIsFound) {
    const fs::path self = ExecutablePath();
    ASSERT_FALSE(self.empty());
    EXPECT_TRUE(self.is_absolute());
    EXPECT_TRUE(fs::is_regular_file(self)) << self;
}

}  // namespace
}  // namespace lorvex::db
