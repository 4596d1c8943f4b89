#pragma once

// The section table (测段高差表): one row per levelling line of a file, with
// the length and height difference the adjustment of a levelling network
// reads, and the checks a surveyor looks at before trusting a section. The
// values are the very totals the report command computes for each line.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/grade.h"
#include "base/messages.h"
#include "levelling/quality_check.h"
#include "levelling/report_header.h"

namespace lorvex {

class LevellingSession;

// Two runs of one section compared: the other half of a dual-run line
// (left_right_diff), or another line between the same two points
// (runs_diff).
struct SectionPair {
    std::size_t line = 0;  // 0-based row of the other run
    RunComparison comparison;
};

struct SectionRow {
    std::size_t line = 0;  // 0-based row of the line list
    std::string name;
    // The message that stops the line's report; the numbers below are then
    // unset.
    std::optional<UserMessage> stop;
    std::vector<UserMessage> messages;  // what a click on the line said
    std::string start;                  // 起点, 终点 as the record book prints them
    std::string end;
    LevellingGrade grade = GradeNone;
    std::size_t stations = 0;
    double lengthKm = 0.0;    // dDis_Go of the report's totals row
    double heightM = 0.0;     // HeightAvg of the report's totals row
    std::vector<Flag> flags;  // the line's own (even_stations, left_right_diff)
    std::size_t flaggedStations = 0;
    std::optional<SectionPair> pair;
};

// Every line of the session's line list, in order, computed as a click on
// it in a new window and the report command would compute it with header.
std::vector<SectionRow> BuildSectionTable(const LevellingSession& session,
                                          const ReportHeader& header);

// "二等", "三等", "四等"; empty for another grade.
std::string GradeText(LevellingGrade grade);

// The columns as the files carry them: 序号 … 高差(m), then the checks and
// the reason a line does not compute. A row's cells are texts in column
// order, numbers as the table prints them (length 3 decimals, height 5, W
// and its limit in mm).
std::vector<std::string> SectionHeadings();
std::vector<std::string> SectionCells(const SectionRow& row);

// UTF-8 with a byte-order mark, comma-separated, CRLF line ends, fields
// quoted as RFC 4180 asks (a quote, comma or line break inside). A line that
// does not compute keeps its number and name and gives its message in the
// last column.
std::string SectionCsv(const std::vector<SectionRow>& rows);

// Writes a file whole or not at all: write(temporary) fills a file beside
// target, which is renamed over target only when write returns true; a
// failure removes it. false with error set when nothing was written.
bool WriteFileWhole(const std::filesystem::path& target,
                    const std::function<bool(const std::filesystem::path&, std::string&)>& write,
                    std::string& error);

// The CSV or the workbook at path, whole or not at all; false with error.
bool WriteSectionCsv(const std::vector<SectionRow>& rows, const std::filesystem::path& path,
                     std::string& error);
bool WriteSectionXlsx(const std::vector<SectionRow>& rows, const std::filesystem::path& path,
                      std::string& error);

// Whether this build writes workbooks (not the Windows cross build).
bool XlsxSupported();

}  // namespace lorvex
