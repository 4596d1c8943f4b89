#pragma once

// The checks and the computation of the report command, from the data-list
// rows to the rows of the three tables. Front ends (window, lorvex-cli) show
// the messages and write the rows; nothing here touches a database or widget.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "levelling/grade.h"
#include "levelling/report_header.h"
#include "levelling/station.h"
#include "levelling/strings.h"
#include "levelling/totals.h"

namespace lorvex {

// Turns the data-list rows into sight records: blank rows and rows whose
// first field contains "PtID" are skipped. A non-blank row that splits into
// no fields, or into fewer than four, is an invalid argument: nullopt.
std::optional<std::vector<SightRecord>> CollectSightRecords(std::span<const std::string> rows);

// The point-ID pattern of the grade, tested on stations 1, 3, 5, ... only:
// second and third order 1=4 and 2=3, fourth order 1=2 and 3=4, any other
// grade no test. Records must be a whole number of stations.
bool CheckStationPattern(std::span<const SightRecord> records, LevellingGrade grade);

// What the report command writes: the three tables' rows.
struct ReportRows {
    LevellingGrade grade = GradeNone;
    ReportHeader info;
    ResultRow result;
    std::vector<ObservationRow> observations;
    LineTotals totals;
};

// The outcome of the checks and computation: either the rows, or the one
// message that stopped the command (its icon tells which kind of stop).
struct PreparedReport {
    std::optional<UserMessage> stop;
    ReportRows rows;
};

// Steps 2 to 8 of the report command: lineCount is the number of rows of the
// line list, dataRows the texts of the data list, grade and header as pulled
// from the window.
PreparedReport PrepareReport(std::size_t lineCount, std::span<const std::string> dataRows,
                             LevellingGrade grade, const ReportHeader& header);

}  // namespace lorvex
