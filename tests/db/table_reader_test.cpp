#include <sql.h>
#include <sqlext.h>

#include <cfloat>

#include "db/record_sets.h"
#include "db/table_reader.h"
#include "db_fixture.h"
#include "levelling/number_text.h"

namespace lorvex::db::test {
namespace {

using TableReader = DbTest;

// Every real reads back as the double that was written, including those
// that need all 17 significant digits (the driver itself hands reals over
// with 15).
TEST_F(TableReader, RealsReadBackToTheSameDouble) {
    const double values[] = {0.1004,
                             0.58028,
                             -0.00001,
                             12345.6789012345,
                             0.0,
                             -0.0,
                             1.23456789012345e-300,
                             5e15,
                             314.159265358979,
                             0.1 + 0.2,
                             1.0 / 3,
                             -2.0 / 3,
                             0.2118 * 3,
                             DBL_MAX,
                             DBL_TRUE_MIN,
                             1e23};
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

// ODBC clients see the columns as the record sets bind them: texts as
// variable-length characters of 255 bytes, reals as doubles.
TEST_F(TableReader, ColumnTypesAreThoseTheRecordSetsBind) {
    CDatabase db;
    db.Open("ODBC;DSN=Qel");
    for (const char* table : {"Info_tbl", "Observation_tbl", "Result_tbl"}) {
        SQLHSTMT statement = SQL_NULL_HSTMT;
        ASSERT_TRUE(SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, db.Handle(), &statement)));
        std::string sql = std::string("SELECT * FROM ") + table;
        ASSERT_TRUE(SQL_SUCCEEDED(
            SQLExecDirect(statement, reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS)));
        SQLSMALLINT count = 0;
        SQLNumResultCols(statement, &count);
        for (SQLUSMALLINT column = 1; column <= count; ++column) {
            SQLCHAR name[64] = {};
            SQLSMALLINT type = 0, digits = 0, nullable = 0, length = 0;
            SQLULEN size = 0;
            SQLDescribeCol(statement, column, name, sizeof name, &length, &type, &size, &digits,
                           &nullable);
            const std::string column_name = reinterpret_cast<const char*>(name);
            SCOPED_TRACE(std::string(table) + "." + column_name);
            if (column_name == "Record_ID") {
                EXPECT_EQ(type, SQL_INTEGER);
            } else if (column_name[0] == 's') {
                EXPECT_EQ(type, SQL_VARCHAR);
                EXPECT_EQ(size, 255u);
            } else {
                EXPECT_EQ(type, SQL_DOUBLE);
            }
        }
        SQLFreeHandle(SQL_HANDLE_STMT, statement);
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

// The cursor counts the rows before it reads them and, whatever the batch,
// hands out the rows ReadTable gives, in the same order.
TEST_F(TableReader, CursorCountsThenGivesTheSameRowsInAnyBatches) {
    for (int i = 0; i < 7; ++i) {
        COrResultSet set;
        set.Open(CRecordset::dynaset, {}, CRecordset::appendOnly);
        set.AddNew();
        set.m_HeightAvg = 0.5 * i;
        set.Update();
    }
    const TableRows whole = ReadTable("Qel", "Result_tbl");
    ASSERT_EQ(whole.rows.size(), 7u);
    for (const std::size_t batch :
         {std::size_t{1}, std::size_t{3}, std::size_t{7}, std::size_t{100}}) {
        TableCursor cursor("Qel", "Result_tbl");
        EXPECT_EQ(cursor.Count(), 7u) << batch;
        EXPECT_EQ(cursor.Columns(), whole.columns) << batch;
        std::vector<std::vector<std::optional<std::string>>> rows;
        int fetches = 0;
        while (cursor.Fetch(rows, batch)) ASSERT_LT(++fetches, 20) << batch;
        EXPECT_EQ(rows, whole.rows) << batch;
        EXPECT_FALSE(cursor.Fetch(rows, batch)) << "read on after the end, batch " << batch;
        EXPECT_EQ(rows.size(), 7u) << batch;
    }
    // An empty table: counted as such, nothing to read.
    TableCursor empty("Qel", "Info_tbl");
    std::vector<std::vector<std::optional<std::string>>> none;
    EXPECT_EQ(empty.Count(), 0u);
    EXPECT_FALSE(empty.Fetch(none, 10));
    EXPECT_TRUE(none.empty());
}

TEST_F(TableReader, RejectsWhatIsNotATableName) {
    EXPECT_THROW(ReadTable("Qel", "Info_tbl; DROP TABLE Info_tbl"), std::invalid_argument);
    EXPECT_THROW(ReadTable("Qel", "No_tbl"), DbError);
    EXPECT_THROW(ReadTable("Qel;Database=/tmp/x", "Info_tbl"), std::invalid_argument);
}

}  // namespace
}  // namespace lorvex::db::test
