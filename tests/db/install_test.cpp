#include <fstream>

#include "db_fixture.h"

namespace lorvex::db::test {
namespace {

class Install : public DbTest {
  protected:
    bool InstallsData() const override { return false; }

    void SetUp() override {
        DbTest::SetUp();
        // Resources of our own, so that templates can be added and changed.
        resources_ = root_ / "resources";
        fs::create_directories(resources_ / "templates");
        fs::copy_file(fs::path(LORVEX_SOURCE_DIR) / "resources" / "schema.sql",
                      resources_ / "schema.sql");
        fs::copy_file(fs::path(LORVEX_SOURCE_DIR) / "resources" / "archive.sql",
                      resources_ / "archive.sql");
        Write(resources_ / "templates" / "Second.rpt", "second v1");
        Write(resources_ / "limits.tsv", "version\t1\n");
        ASSERT_TRUE(RegisterDataSource());
    }

    static void Write(const fs::path& file, const std::string& text) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
    }
    static std::string Read(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    }
    std::vector<std::string> Run(bool force = false) { return InstallData(resources_, force); }
    std::string Folder() const { return DataFolder().string(); }

    fs::path resources_;
};

TEST_F(Install, FirstRunCreatesEverythingAndTheTablesInColumnOrder) {
    const std::vector<std::string> expected{
        "created folder " + Folder(),
        "created database " + Folder() + "/Qel.db",
        "installed template " + Folder() + "/Second.rpt",
        "skipped template ThirdandFour.rpt (not in " + (resources_ / "templates").string() + ")",
        "installed limit table " + Folder() + "/limits.tsv",
    };
    EXPECT_EQ(Run(), expected);

    const struct {
        const char* table;
        std::size_t columns;
        const char* second;
        const char* last;
    } tables[] = {
        {"Info_tbl", 19, "sStationStGo", "sSunLocation"},
        {"Observation_tbl", 18, "sStation", "sTarget_Fore"},
        {"Result_tbl", 8, "sStationSt", "HeightAvg"},
    };
    for (const auto& t : tables) {
        const TableRows rows = ReadTable("Qel", t.table);
        ASSERT_EQ(rows.columns.size(), t.columns) << t.table;
        EXPECT_EQ(rows.columns[0], "Record_ID");
        EXPECT_EQ(rows.columns[1], t.second);
        EXPECT_EQ(rows.columns.back(), t.last);
        EXPECT_TRUE(rows.rows.empty());
    }
    EXPECT_FALSE(fs::exists(DataFolder() / "Qel.db.new"));
}

TEST_F(Install, AgainKeepsTheDatabaseAndTheUsersTemplates) {
    Run();
    Sql({"INSERT INTO Info_tbl (sYear) VALUES ('2024')"});

    // A newer template in the resources replaces one the user never touched.
    Write(resources_ / "templates" / "Second.rpt", "second v2");
    std::vector<std::string> done = Run();
    EXPECT_EQ(done[0], "kept folder " + Folder() + " (exists)");
    EXPECT_EQ(done[1], "kept database " + Folder() + "/Qel.db (exists)");
    EXPECT_EQ(done[2], "updated template " + Folder() + "/Second.rpt");
    EXPECT_EQ(ReadTable("Qel", "Info_tbl").rows.size(), 1u);

    done = Run();
    EXPECT_EQ(done[2], "kept template " + Folder() + "/Second.rpt (up to date)");

    // The user's own change survives a newer template, until --force.
    Write(DataFolder() / "Second.rpt", "edited by the surveyor");
    Write(resources_ / "templates" / "Second.rpt", "second v3");
    done = Run();
    EXPECT_EQ(done[2], "kept template " + Folder() + "/Second.rpt (changed by the user)");
    EXPECT_EQ(Read(DataFolder() / "Second.rpt"), "edited by the surveyor");

    // The limit table is kept the same way.
    Write(DataFolder() / "limits.tsv", "version\t1\n# tightened\n");
    EXPECT_EQ(done[4], "kept limit table " + Folder() + "/limits.tsv (up to date)");
    done = Run();
    EXPECT_EQ(done[4], "kept limit table " + Folder() + "/limits.tsv (changed by the user)");
    EXPECT_EQ(Read(DataFolder() / "limits.tsv"), "version\t1\n# tightened\n");

    done = Run(true);
    EXPECT_EQ(done[1], "recreated database " + Folder() + "/Qel.db");
    EXPECT_EQ(done[4], "replaced limit table " + Folder() + "/limits.tsv");
    EXPECT_EQ(done[2], "replaced template " + Folder() + "/Second.rpt");
    EXPECT_EQ(Read(DataFolder() / "Second.rpt"), "second v3");
    EXPECT_TRUE(ReadTable("Qel", "Info_tbl").rows.empty());
}

TEST_F(Install, BrokenSchemaLeavesNoDatabaseBehind) {
    Write(resources_ / "schema.sql",
          "CREATE TABLE Info_tbl (Record_ID INTEGER PRIMARY KEY);\n"
          "CREATE TABLE oops (;\n");
    try {
        Run();
        FAIL() << "installed a broken schema";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("cannot create the database"), std::string::npos)
            << e.what();
    }
    EXPECT_FALSE(fs::exists(DataFolder() / "Qel.db"));
    EXPECT_FALSE(fs::exists(DataFolder() / "Qel.db.new"));

    fs::remove(resources_ / "schema.sql");
    EXPECT_THROW(Run(), std::runtime_error);
}

}  // namespace
}  // namespace lorvex::db::test
