#include <gtest/gtest.h>

#include "db/odbc_ini.h"

namespace lorvex::db::test {
namespace {

const std::vector<IniKey> kKeys = {{"Driver", "SQLite3"}, {"Database", "/d/Qel.db"}};

TEST(OdbcIni, SectionIsRightOnlyWithExactlyOurKeys) {
    struct Case {
        const char* ini;
        bool right;
    };
    const Case cases[] = {
        {"[Qel]\nDriver=SQLite3\nDatabase=/d/Qel.db\n", true},
        {"[a]\nx=1\n[qel]\n; ours\n database = /d/Qel.db \r\nDRIVER=SQLite3", true},
        {"[Qel]\nDriver=SQLite3\n", false},                                // a key missing
        {"[Qel]\nDriver=SQLite3\nDatabase=/d/Qel.db\nDBQ=/old\n", false},  // a stale key
        {"[Qel]\nDriver=SQLite3\nDatabase=/e/Qel.db\n", false},            // another file
        {"[Qel]\nDriver=SQLite3\nDriver=SQLite3\nDatabase=/d/Qel.db\n", false},
        {"[Qel]\nDriver=SQLite3\nDatabase=/d/Qel.db\n[Qel]\nDriver=x\n", false},  // twice
        {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HasIniSection(c.ini, "Qel", kKeys), c.right) << c.ini;
    }
}

TEST(OdbcIni, SectionIsReplacedWhereItStandsAndEverythingElseKept) {
    struct Case {
        const char* before;
        const char* after;
    };
    const Case cases[] = {
        {"", "[Qel]\nDriver=SQLite3\nDatabase=/d/Qel.db\n"},
        {"[A]\nk = v", "[A]\nk = v\n\n[Qel]\nDriver=SQLite3\nDatabase=/d/Qel.db\n"},
        {"[A]\r\nk=v\r\n\r\n", "[A]\r\nk=v\r\n\r\n[Qel]\nDriver=SQLite3\nDatabase=/d/Qel.db\n"},
        {"; top\n[Qel]\nDBQ=x\n\n[B]\nb=1\n",
         "; top\n[Qel]\nDriver=SQLite3\nDatabase=/d/Qel.db\n\n[B]\nb=1\n"},
        {"[qel]\nDBQ=x\n[B]\nb=1\n[Qel]\nold=1\n",
         "[Qel]\nDriver=SQLite3\nDatabase=/d/Qel.db\n\n[B]\nb=1\n"},
    };
    for (const Case& c : cases) {
        const std::string after = WithIniSection(c.before, "Qel", kKeys);
        EXPECT_EQ(after, c.after) << c.before;
        EXPECT_TRUE(HasIniSection(after, "Qel", kKeys)) << after;
    }
}

}  // namespace
}  // namespace lorvex::db::test
