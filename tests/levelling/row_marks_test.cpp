// The flagged stations of a checked line placed on the rows of its data
// list, which may hold rows the computation passed over.

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#include "levelling/row_marks.h"

namespace lorvex {
namespace {

StationFlags Flagged() { return StationFlags{{Flag{Rule::DistanceDiff, 1800000, 1500000}}}; }

TEST(RowMarks, RowsOfFlaggedStationsThroughTheRowsSkipped) {
    // Ten records: two whole stations and two left over. Row 4 is a blank
    // or intermediate row, rows 9 and 10 the records left over.
    const std::vector<std::size_t> rowOfRecord = {0, 1, 2, 3, 5, 6, 7, 8, 9, 10};
    const struct {
        const char* what;
        std::vector<StationFlags> stations;
        std::vector<int> stationOfRow;  // rows 0..12; -1: not marked
    } cases[] = {
        {"first flagged", {Flagged(), {}}, {0, 0, 0, 0, -1, -1, -1, -1, -1, -1, -1, -1, -1}},
        {"second flagged", {{}, Flagged()}, {-1, -1, -1, -1, -1, 1, 1, 1, 1, -1, -1, -1, -1}},
        {"both flagged", {Flagged(), Flagged()}, {0, 0, 0, 0, -1, 1, 1, 1, 1, -1, -1, -1, -1}},
        {"none flagged", {{}, {}}, {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1}},
        // A check of more stations than the records make marks no row past
        // the records.
        {"check longer than the rows",
         {Flagged(), Flagged(), Flagged()},
         {0, 0, 0, 0, -1, 1, 1, 1, 1, -1, -1, -1, -1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LineCheck check;
        check.stations = c.stations;
        const RowMarks marks(check, rowOfRecord);
        EXPECT_EQ(marks.Empty(), check.FlaggedStations() == 0);
        for (std::size_t row = 0; row < c.stationOfRow.size(); ++row) {
            SCOPED_TRACE(row);
            const StationFlags* flags = marks.FlagsOfRow(row);
            const int station = c.stationOfRow[row];
            if (station < 0) {
                EXPECT_EQ(flags, nullptr);
            } else {
                EXPECT_EQ(flags, &marks.Check().stations[static_cast<std::size_t>(station)]);
            }
        }
    }
}

TEST(RowMarks, NoMarksWithoutACheck) {
    const RowMarks none;
    EXPECT_TRUE(none.Empty());
    EXPECT_EQ(none.FlagsOfRow(0), nullptr);
    // A line whose only flag is the line's own marks no row.
    LineCheck check;
    check.stations.resize(1);
    check.line.push_back(Flag{Rule::EvenStations, 1000000, 0});
    const RowMarks lineOnly(check, {0, 1, 2, 3});
    EXPECT_TRUE(lineOnly.Empty());
    EXPECT_EQ(lineOnly.FlagsOfRow(0), nullptr);
}

}  // namespace
}  // namespace lorvex
