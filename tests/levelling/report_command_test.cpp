#include "levelling/report_command.h"

#include <gtest/gtest.h>

#include <vector>

namespace lorvex {
namespace {

std::vector<SightRecord> Records(std::initializer_list<const char*> ids) {
    std::vector<SightRecord> records;
    for (const char* id : ids) records.push_back({id, "B", 0, 0});
    return records;
}

TEST(CheckStationPattern, TestsEveryOtherStationByGrade) {
    const struct {
        const char* name;
        std::vector<SightRecord> records;
        LevellingGrade grade;
        bool passes;
    } cases[] = {
        {"second 1=4, 2=3", Records({"A", "1", "1", "A"}), GradeSecond, true},
        {"third 1=4, 2=3", Records({"A", "1", "1", "A"}), GradeThird, true},
        {"second, outer differ", Records({"A", "1", "1", "B"}), GradeSecond, false},
        {"third, inner differ", Records({"A", "1", "2", "A"}), GradeThird, false},
        {"fourth 1=2, 3=4", Records({"A", "A", "1", "1"}), GradeFourth, true},
        {"fourth fails a BFFB station", Records({"A", "1", "1", "A"}), GradeFourth, false},
        {"IDs compare case-sensitively", Records({"a", "1", "1", "A"}), GradeSecond, false},
        {"no grade: no test", Records({"A", "B", "C", "D"}), GradeNone, true},
        {"grade 5: no test", Records({"A", "B", "C", "D"}), 5, true},
        {"station 2 is not tested", Records({"A", "1", "1", "A", "x", "y", "z", "w"}), GradeSecond,
         true},
        {"station 3 is tested",
         Records({"A", "1", "1", "A", "x", "y", "z", "w", "A", "1", "2", "A"}), GradeSecond, false},
        {"no records", {}, GradeSecond, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CheckStationPattern(c.records, c.grade), c.passes) << c.name;
    }
}

}  // namespace
}  // namespace lorvex
