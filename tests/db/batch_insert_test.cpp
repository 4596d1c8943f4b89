#include "db/batch_insert.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "db_fixture.h"

namespace lorvex::db::test {
namespace {

using Row = std::vector<std::optional<std::string>>;

const std::vector<InsertColumn> kResultColumns{
    {"\"sStationSt\"", ColumnType::Text},   {"\"sStationEn\"", ColumnType::Text},
    {"\"dDis_Go\"", ColumnType::Real},      {"\"dDis_Back\"", ColumnType::Real},
    {"\"HeightAvg_Go\"", ColumnType::Real}, {"\"HeightAvg_Back\"", ColumnType::Real},
    {"\"HeightAvg\"", ColumnType::Real},
};

// Row r of a table written through the inserter, as ReadTable gives it back
// (without the key). Every seventh row has null heights; names vary in
// length, script and past the 255 bytes of a short varchar.
Row ExpectedRow(int r) {
    std::string start = "BM" + std::to_string(r);
    if (r % 5 == 1) start += "水准点";
    if (r % 11 == 3) start += std::string(300, 'x');
    const bool nulls = r % 7 == 0;
    return {start,
            std::string(r % 3 == 0 ? "" : "T") + std::to_string(r),
            std::to_string(r) + ".5",
            "0.25",
            nulls ? std::nullopt : std::optional<std::string>("-1.125"),
            nulls ? std::nullopt : std::optional<std::string>(std::to_string(r)),
            "3"};
}

void AddRow(BatchInserter& inserter, int r) {
    const Row row = ExpectedRow(r);
    inserter.Text(*row[0]);
    inserter.Text(*row[1]);
    inserter.Real(r + 0.5);
    inserter.Real(0.25);
    if (row[4]) {
        inserter.Real(-1.125);
        inserter.Real(r);
    } else {
        inserter.Null();
        inserter.Null();
    }
    inserter.Real(3);
    inserter.EndRow();
}

class BatchInsert : public DbTest {};

// Rows land whole and in order whatever their count is against the batch:
// none, part of one, exactly one, one and a bit, several with a short tail.
TEST_F(BatchInsert, WritesEveryRowInOrderAroundBatchEdges) {
    struct Case {
        int rows;
        std::size_t perBatch;
    };
    for (const Case c : {Case{0, 50}, Case{1, 50}, Case{49, 50}, Case{50, 50}, Case{51, 50},
                         Case{123, 50}, Case{10, 1}, Case{10, 3}}) {
        SCOPED_TRACE("rows " + std::to_string(c.rows) + " per batch " + std::to_string(c.perBatch));
        CDatabase db;
        db.Open(std::string(kConnectString));
        db.ExecuteSQL("DELETE FROM \"Result_tbl\"");
        {
            Transaction transaction(db);
            BatchInserter inserter(db, "\"Result_tbl\"", kResultColumns, c.perBatch);
            for (int r = 0; r < c.rows; ++r) AddRow(inserter, r);
            EXPECT_EQ(inserter.Pending(), static_cast<std::size_t>(c.rows) % c.perBatch);
            inserter.Flush();
            EXPECT_EQ(inserter.Pending(), 0u);
            transaction.Commit();
        }
        const TableRows table = ReadTable("Qel", "Result_tbl");
        ASSERT_EQ(table.rows.size(), static_cast<std::size_t>(c.rows));
        for (int r = 0; r < c.rows; ++r) {
            Row got = table.rows[static_cast<std::size_t>(r)];
            got.erase(got.begin());  // the key
            EXPECT_EQ(got, ExpectedRow(r)) << "row " << r;
        }
    }
}

// A statement never binds more parameters than the smallest driver limit.
TEST_F(BatchInsert, KeepsBelowTheParameterLimit) {
    CDatabase db;
    db.Open(std::string(kConnectString));
    std::vector<InsertColumn> many(100, {"\"sStationSt\"", ColumnType::Text});
    EXPECT_EQ(BatchInserter(db, "\"Result_tbl\"", many, 50).RowsPerBatch(), 9u);
    EXPECT_EQ(BatchInserter(db, "\"Result_tbl\"", kResultColumns, 50).RowsPerBatch(), 50u);
}

// A batch the driver refuses throws its words; rows never added half; the
// transaction keeps the table as it was.
TEST_F(BatchInsert, FailureThrowsTheDriversWordsAndRollsBack) {
    CDatabase db;
    db.Open(std::string(kConnectString));
    db.ExecuteSQL("DELETE FROM \"Result_tbl\"");
    {
        Transaction transaction(db);
        BatchInserter inserter(db, "\"Result_tbl\"", {{"\"NoSuchColumn\"", ColumnType::Text}}, 4);
        for (int r = 0; r < 3; ++r) {
            inserter.Text("a");
            inserter.EndRow();
        }
        inserter.Text("a");
        try {
            inserter.EndRow();
            FAIL() << "the fourth row completes a batch and writes it";
        } catch (const DbError& e) {
            EXPECT_NE(std::string(e.what()).find("NoSuchColumn"), std::string::npos) << e.what();
        }
        EXPECT_EQ(inserter.Pending(), 0u);
    }
    EXPECT_TRUE(ReadTable("Qel", "Result_tbl").rows.empty());

    BatchInserter inserter(db, "\"Result_tbl\"", kResultColumns);
    inserter.Text("only one value");
    EXPECT_THROW(inserter.EndRow(), std::logic_error);
    for (int v = 0; v < 7; ++v) inserter.Null();
    EXPECT_THROW(inserter.Null(), std::logic_error);
}

}  // namespace
}  // namespace lorvex::db::test
