#include "db/schema_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "db/odbc.h"
#include "db/report_archive.h"

namespace fs = std::filesystem;
using namespace lorvex::db;

namespace {

TEST(BracketedNames, QuotesBecomeBracketsOutsideTexts) {
    const struct {
        const char* sql;
        const char* bracketed;
    } cases[] = {
        {R"(SELECT "a","b" FROM "t")", "SELECT [a],[b] FROM [t]"},
        {R"(SELECT 'say "hi"' FROM "t")", R"(SELECT 'say "hi"' FROM [t])"},
        // '' inside a text is a quote of the text, not its end.
        {R"(WHERE "x" = 'it''s "so"')", R"(WHERE [x] = 'it''s "so"')"},
        // A quote inside a name is a character of the name.
        {R"(SELECT "o'k" FROM "t")", "SELECT [o'k] FROM [t]"},
        {"SELECT 1", "SELECT 1"},
    };
    for (const auto& c : cases) EXPECT_EQ(BracketedNames(c.sql), c.bracketed) << c.sql;
}

TEST(WhatStatementCreates, NamesTheTableCreatedOrIndexed) {
    using Kind = SchemaObject::Kind;
    const struct {
        const char* statement;
        bool creates;
        Kind kind;
        const char* table;
    } cases[] = {
        {"\nCREATE TABLE Report_tbl (\n Report_ID INTEGER)", true, Kind::Table, "Report_tbl"},
        {"create table IF NOT EXISTS \"Info_tbl\"(x TEXT)", true, Kind::Table, "Info_tbl"},
        {"CREATE TABLE [Result_tbl] (x TEXT)", true, Kind::Table, "Result_tbl"},
        {"CREATE INDEX Report_tbl_Written ON Report_tbl (Written)", true, Kind::Index,
         "Report_tbl"},
        {"CREATE UNIQUE INDEX IF NOT EXISTS i ON \"t\"(a)", true, Kind::Index, "t"},
        {"ALTER TABLE Report_tbl ADD COLUMN Checks MEMO", false, Kind::Table, ""},
        {"CREATE VIEW v AS SELECT 1", false, Kind::Table, ""},
        {"CREATE INDEX i", false, Kind::Table, ""},
        {"CREATE", false, Kind::Table, ""},
        {"", false, Kind::Table, ""},
    };
    for (const auto& c : cases) {
        const auto object = WhatStatementCreates(c.statement);
        ASSERT_EQ(object.has_value(), c.creates) << c.statement;
        if (!object) continue;
        EXPECT_EQ(object->kind, c.kind) << c.statement;
        EXPECT_EQ(object->table, c.table) << c.statement;
    }
}

// Each created table's columns in order, from the lines inside its
// parentheses (constraint lines left out).
std::map<std::string, std::vector<std::string>> TablesOf(const std::string& schema) {
    std::map<std::string, std::vector<std::string>> tables;
    for (const std::string& statement : SchemaStatements(schema)) {
        const auto object = WhatStatementCreates(statement);
        if (!object || object->kind != SchemaObject::Kind::Table) continue;
        std::vector<std::string>& columns = tables[object->table];
        std::istringstream lines(statement.substr(statement.find('(') + 1));
        for (std::string line; std::getline(lines, line);) {
            std::istringstream words(line);
            std::string name;
            if (!(words >> name) || name == "CONSTRAINT" || name == "PRIMARY" || name == ")")
                continue;
            columns.push_back(name);
        }
    }
    return tables;
}

TEST(AccessArchiveSchema, HasTheTablesAndColumnsOfTheArchive) {
    const fs::path resources = fs::path(LORVEX_SOURCE_DIR) / "resources";
    const auto archive = TablesOf(ReadFile(resources / "archive.sql"));
    const auto access = TablesOf(ReadFile(resources / kAccessArchiveFile));
    ASSERT_EQ(archive.size(), 4u);
    EXPECT_EQ(access, archive);
    // Nothing Access would refuse.
    const std::string text = ReadFile(resources / kAccessArchiveFile);
    for (const char* word :
         {"IF NOT EXISTS", "PRECISION", " TEXT", "REFERENCES Report_tbl (Report_ID),"}) {
        for (const std::string& statement : SchemaStatements(text)) {
            EXPECT_EQ(statement.find(word), std::string::npos) << word << " in " << statement;
        }
    }
}

}  // namespace
