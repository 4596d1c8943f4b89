#pragma once

// The station checks and the computation of the report command, from a
// line's sight records to the rows of the three tables. Front ends show the
// messages and write the rows; nothing here touches a database or widget.

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/grade.h"
#include "base/messages.h"
#include "levelling/quality_check.h"
#include "levelling/report_header.h"
#include "levelling/station.h"
#include "levelling/totals.h"

namespace lorvex {

// The point-ID pattern of the grade, tested on stations 1, 3, 5, ... only:
// second and third order 1=4 and 2=3, fourth order 1=2 and 3=4, any other
// grade no test. Records must be a whole number of stations.
bool CheckStationPattern(std::span<const SightRecord> records, LevellingGrade grade);

// What the report command writes: the three tables' rows.
struct ReportRows {
    LevellingGrade grade = GradeNone;
    ReportHeader info;
    ResultRow result;
    ObservationTable observations;
    LineTotals totals;
    // Where the rows came from, for the archive: the measurement file's path
    // and the levelling line's name.
    std::string fileName;
    std::string lineName;
};

// The outcome of the checks and computation: either the rows, or the one
// message that stopped the command (its icon tells which kind of stop).
struct PreparedReport {
    std::optional<UserMessage> stop;
    ReportRows rows;
    // The limit checks of the computed stations, when they were asked for;
    // they never change the rows.
    std::optional<LineCheck> check;
};

// A line's sight records in row order, handed over one at a time, so a long
// line is computed as it is read instead of being held as records first.
class SightRecordSource {
  public:
    enum class Read { Record, End, Invalid };

    virtual ~SightRecordSource() = default;
    // The next record into `record` (its texts reuse the record's storage),
    // End after the last one, or Invalid for something that is no record.
    virtual Read Next(SightRecord& record) = 0;
    // At most how many records remain (to size the rows once).
    virtual std::size_t RecordsAtMost() const = 0;
};

// Checks that the records form whole stations in the grade's order (else
// the stop is "数据中有非线路测量的数据或测站数据不完整，请检查！"), then
// computes every station, the line totals and the rows.
PreparedReport ComputeReport(std::span<const SightRecord> records, LevellingGrade grade,
                             const ReportHeader& header);
// The same, with every station also checked against the limits as it is
// computed (PreparedReport::check); the rows are those of the call above.
PreparedReport ComputeReport(std::span<const SightRecord> records, LevellingGrade grade,
                             const ReportHeader& header, const LimitTable& limits);
// The same from a source read to its end, limits optional. An Invalid read
// anywhere stops with invalidStop, ahead of any station check.
PreparedReport ComputeReport(SightRecordSource& records, LevellingGrade grade,
                             const ReportHeader& header, const LimitTable* limits,
                             const UserMessage& invalidStop);

}  // namespace lorvex
