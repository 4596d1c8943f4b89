#include "db/record_sets.h"
#include "db_fixture.h"
#include "levelling/number_text.h"

namespace lorvex::db::test {
namespace {

using TableReader = DbTest;

// The SQLite driver hands reals over with 15 significant digits (the file
// keeps all 17); the lengths and heights of a levelling line need far fewer.
TEST_F(TableReader, RealsReadBackToTheSameDouble) {
    const double values[] = {
        0.1004, 0.58028,         -0.00001, 12345.6789012345, 0.0, -0.0, 1.23456789012345e-300,
        5e15,   314.159265358979};
    for (const double value : values) {
        COrResultSet set;
        set.Open(CRecordset::dynaset, {}, CRecordset::appendOnly);
        set.AddNew();
        set.m_HeightAvg = value;
        set.Update();
    }
    const TableRows table = ReadTable("Qel", "Result_tbl");
    const std::vector<std::string> columns{"Record_ID",      "sStationSt", "sStationEn",
                                           "dDis_Go",        "dDis_Back",  "HeightAvg_Go",
                                           "HeightAvg_Back", "HeightAvg"};
    EXPECT_EQ(table.columns, columns);
    ASSERT_EQ(table.rows.size(), std::size(values));
    for (std::size_t i = 0; i < table.rows.size(); ++i) {
        ASSERT_TRUE(table.rows[i][7].has_value());
        EXPECT_EQ(ParseDouble(*table.rows[i][7]), values[i]) << *table.rows[i][7];
        EXPECT_EQ(table.rows[i][0], std::to_string(i + 1));  // in key order
    }
}

TEST_F(TableReader, RowsComeInKeyOrderWhateverTheStorageOrder) {
    Sql({"INSERT INTO Observation_tbl (Record_ID, sStation) VALUES (7, 'b')",
         "INSERT INTO Observation_tbl (Record_ID, sStation) VALUES (3, 'a')",
         "INSERT INTO Observation_tbl (Record_ID, sStation, sH) VALUES (9, 'c', NULL)"});
    const TableRows table = ReadTable("Qel", "Observation_tbl");
    ASSERT_EQ(table.rows.size(), 3u);
    EXPECT_EQ(table.rows[0][1], "a");
    EXPECT_EQ(table.rows[1][1], "b");
    EXPECT_EQ(table.rows[2][1], "c");
    EXPECT_EQ(table.rows[2][15], std::nullopt);
}

TEST_F(TableReader, RejectsWhatIsNotATableName) {
    EXPECT_THROW(ReadTable("Qel", "Info_tbl; DROP TABLE Info_tbl"), std::invalid_argument);
    EXPECT_THROW(ReadTable("Qel", "No_tbl"), DbError);
    EXPECT_THROW(ReadTable("Qel;Database=/tmp/x", "Info_tbl"), std::invalid_argument);
}

}  // namespace
}  // namespace lorvex::db::test
