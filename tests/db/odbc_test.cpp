#include <cmath>

#include "db/record_sets.h"
#include "db_fixture.h"

namespace lorvex::db::test {
namespace {

using RecordSets = DbTest;

// Texts that break SQL built by pasting, or that a fixed 255-byte buffer
// would cut.
TEST_F(RecordSets, HeaderTextsRoundTripWhole) {
    struct Case {
        const char* label;
        std::string text;
    };
    const Case cases[] = {
        {"empty", ""},
        {"quotes", "it's \"quoted\" ''"},
        {"sql", "x'); DROP TABLE Info_tbl; --"},
        {"backslashes", "C:\\Quorral Data\\Lorvex\\"},
        {"chinese", "晴转多云，东南风 3 级"},
        {"exactly 255 bytes", std::string(255, 'a')},
        {"10000 characters", std::string(9997, 'x') + "尾"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ReportHeader header;
        for (const auto& field : kReportHeaderFields) header.*field.member = c.text + field.name;
        {
            COrInfoSet set;
            set.Open(CRecordset::dynaset, {}, CRecordset::appendOnly);
            set.AddNew();
            set.Assign(header);
            set.Update();
        }
        COrInfoSet set;
        set.Open(CRecordset::dynaset, "SELECT * FROM Info_tbl ORDER BY Record_ID DESC");
        ASSERT_FALSE(set.IsEOF());
        EXPECT_EQ(set.Header(), header);
        EXPECT_GT(set.m_Record_ID, 0);
    }
}

TEST_F(RecordSets, ResultRowKeepsAbsentHeightsNullAndZeroesAsZero) {
    ResultRow row;
    row.sStationSt = "BM1";
    row.sStationEn = "BM2";
    row.HeightAvg_Back = -0.00001;  // one present, one absent
    {
        COrResultSet set;
        set.Open(CRecordset::dynaset, {}, CRecordset::appendOnly);
        set.AddNew();
        set.Assign(row);
        set.Update();
    }
    COrResultSet set;
    set.Open(CRecordset::dynaset, "SELECT * FROM Result_tbl");
    ASSERT_FALSE(set.IsEOF());
    EXPECT_EQ(set.Row(), row);
    EXPECT_FALSE(set.IsFieldNull(&set.m_dDis_Go));  // a zero length is a value
    EXPECT_TRUE(set.IsFieldNull(&set.m_HeightAvg_Go));
    set.MoveNext();
    EXPECT_TRUE(set.IsEOF());
}

TEST_F(RecordSets, DeleteWhileReadingEmptiesTheTable) {
    for (int i = 0; i < 3; ++i) {
        COrObservationSet set;
        set.Open(CRecordset::dynaset, {}, CRecordset::appendOnly);
        set.AddNew();
        set.m_sStation = std::to_string(i + 1);
        set.Update();
    }
    COrObservationSet set;
    set.Open(CRecordset::dynaset, "SELECT * FROM Observation_tbl");
    int seen = 0;
    while (!set.IsEOF()) {
        EXPECT_EQ(set.m_sStation, std::to_string(++seen));
        set.Delete();
        set.MoveNext();
    }
    set.Close();
    EXPECT_EQ(seen, 3);
    EXPECT_TRUE(ReadTable("Qel", "Observation_tbl").rows.empty());
}

TEST_F(RecordSets, TransactionRollsBackUnlessCommitted) {
    CDatabase db;
    db.Open("ODBC;DSN=Qel");
    auto insert = [&](const char* station) {
        COrObservationSet set(&db);
        set.Open(CRecordset::dynaset, {}, CRecordset::appendOnly);
        set.AddNew();
        set.m_sStation = station;
        set.Update();
    };
    {
        Transaction transaction(db);
        insert("dropped");
    }
    {
        Transaction transaction(db);
        insert("kept");
        transaction.Commit();
    }
    const TableRows rows = ReadTable("Qel", "Observation_tbl");
    ASSERT_EQ(rows.rows.size(), 1u);
    EXPECT_EQ(rows.rows[0][1], "kept");
}

TEST_F(RecordSets, OpenReportsWhatTheDriverSays) {
    Sql({"DROP TABLE Result_tbl",
         "CREATE TABLE Result_tbl (Record_ID INTEGER PRIMARY KEY, sStationSt TEXT)"});
    struct Case {
        const char* label;
        std::string sql;
        const char* expected;
    };
    const Case cases[] = {
        {"bound columns by name", "", "no such column"},
        {"all columns, too few", "SELECT * FROM Result_tbl", "returns 2 columns"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        COrResultSet set;
        try {
            set.Open(CRecordset::dynaset, c.sql);
            FAIL() << "opened a table without its columns";
        } catch (const DbError& e) {
            EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what();
        }
        EXPECT_FALSE(set.IsOpen());
    }
}

TEST_F(RecordSets, UnknownDataSourceCarriesTheDriverManagersState) {
    CDatabase db;
    try {
        db.Open("ODBC;DSN=NoSuchSource");
        FAIL();
    } catch (const DbError& e) {
        EXPECT_EQ(e.SqlState(), "IM002");
        EXPECT_NE(std::string(e.what()).find("Data source name not found"), std::string::npos)
            << e.what();
    }
    EXPECT_FALSE(db.IsOpen());
}

}  // namespace
}  // namespace lorvex::db::test
