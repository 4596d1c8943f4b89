#pragma once

// Checking a computed line against the limits of the levelling standards,
// as a surveyor does with a pencil over the record book before handing it
// in, and comparing the two runs of a section. The checks read the computed
// stations and never change them: every station is computed and stored
// whatever these checks find.
//
// Values are compared in the integer units of the record book: sight
// distances in mm, d and Σd in 0.1 m exactly as the book prints them,
// readings and height differences in the grade's reading unit (10^-5 m for
// second order, 10^-4 m below). A value equal to its limit passes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/grade.h"
#include "levelling/limits.h"
#include "levelling/station.h"

namespace lorvex {

// One broken limit: {"rule": "distance_diff", "value": 1.8, "limit": 1.5, "unit": "m"}.
// Value and limit are exact, in millionths of RuleUnit(rule); the value is
// signed as the book prints it (d -1.8 m, dh -0.61 mm).
struct Flag {
    Rule rule = Rule::SightMax;
    std::int64_t value = 0;
    std::int64_t limit = 0;

    std::string_view Id() const { return RuleId(rule); }
    std::string_view Unit() const { return RuleUnit(rule); }
    std::string ValueText() const;  // "1.8", "52.31", "0.54999"
    std::string LimitText() const;  // "1.5", "50", "0.55"
    double Value() const { return static_cast<double>(value) / 1e6; }
    double LimitValue() const { return static_cast<double>(limit) / 1e6; }

    friend bool operator==(const Flag&, const Flag&) = default;
};

// The flags of one station, at most one per rule, in rule order.
struct StationFlags {
    std::vector<Flag> flags;

    bool Passes() const { return flags.empty(); }
};

// The length and height difference of one run (a line), from its stations
// as the book stores them, and its end points.
struct RunSummary {
    LevellingGrade grade = GradeNone;  // as computed; decides the height unit
    std::size_t stations = 0;
    std::int64_t lengthDm = 0;  // Σ (sDis_Back + sDis_Fore), decimetres
    std::int64_t height = 0;    // Σ sH, in the grade's reading unit
    std::string from;           // back point of the first station
    std::string to;             // fore point of the last station

    double LengthKm() const { return static_cast<double>(lengthDm) / 10000.0; }
    std::string HeightMetres() const;  // exact: "0.58028"
};

// The outcome of checking a line.
struct LineCheck {
    LevellingGrade grade = GradeNone;    // the grade whose limits were applied
    std::vector<StationFlags> stations;  // one per station, in line order
    std::vector<Flag> line;              // rules of the whole line (even_stations, and
                                         // runs_diff/left_right_diff a front end adds)
    RunSummary run;

    std::size_t FlaggedStations() const;
};

// Checks a line station by station as it is computed: call Add with each
// station's four records and its result right after ComputeStation, before
// FormatStationColumns (which rewrites the reading columns). Cheap enough to
// run on every computation.
class LineChecker {
  public:
    // grade as the stations are computed with.
    LineChecker(LevellingGrade grade, const LimitTable& limits);

    void Reserve(std::size_t stations);
    void Add(std::span<const SightRecord, 4> records, const StationResult& computed);
    LineCheck Finish() &&;

  private:
    // Limits in the integer units of the values; INT64_MAX / INT64_MIN where
    // a rule does not apply.
    std::int64_t m_sightMaxMm, m_sightMinMm, m_distanceDiffDm, m_distanceSumDm;
    std::int64_t m_readingMin, m_readingMax, m_dhDiff;
    bool m_evenStations;
    std::array<std::int64_t, kRuleCount> m_limitMicro;  // as the flags carry them
    LineCheck m_check;
};

// The same for a whole computed line: records in row order (four per
// station) and the stations computed from them, before FormatStationColumns.
// Throws std::invalid_argument when the counts do not match.
LineCheck CheckLine(std::span<const SightRecord> records, std::span<const StationResult> computed,
                    LevellingGrade grade, const LimitTable& limits);

// The run summary alone (what CheckLine also puts into LineCheck::run).
RunSummary SummarizeRun(std::span<const StationResult> computed, LevellingGrade grade);

// How two runs of a section lie: go and back run in opposite directions, and
// W is the sum of their height differences; two runs the same way (the (R)
// and (L) halves of a dual-run line) give W as the difference. Auto decides
// by the end points (A's start is B's end: opposite; same start or same end:
// same way) and, when they tell nothing, by the signs of the two heights.
enum class RunPairing { Auto, SameDirection, OppositeDirections };

struct RunComparison {
    Rule rule = Rule::RunsDiff;  // runs_diff or left_right_diff
    LevellingGrade grade = GradeNone;
    RunSummary a, b;
    bool opposite = false;        // the pairing applied
    double meanKm = 0.0;          // K: the mean length of the two runs
    std::int64_t wMicro = 0;      // W in millionths of a mm, exact, signed
    std::int64_t limitMicro = 0;  // k·√K rounded down to W's precision, same unit
    std::string w;                // W in mm as text: "-0.03"
    std::string limit;            // the limit as text; "-" if not checked
    bool checked = false;         // the grade has this rule
    bool holds = true;            // |W| <= k·√K, decided exactly
    std::optional<Flag> flag;
};

// Compares two runs computed with the same grade, whose limits apply (their
// heights must share a unit; else std::invalid_argument). rule is
// Rule::RunsDiff or Rule::LeftRightDiff. The decision |W| <= k·√K is taken exactly as
// W²·(2·10^16) <= k_micro²·(La + Lb)·u² in integers (lengths in dm, W in
// u-ths of a mm), so a W equal to the limit passes whatever √K is.
RunComparison CompareRuns(const RunSummary& a, const RunSummary& b, Rule rule,
                          const LimitTable& limits, RunPairing pairing = RunPairing::Auto);

// The other half of a dual-run line: "N(R)" <-> "N(L)"; nullopt otherwise.
std::optional<std::string> DualRunPartner(std::string_view lineName);

// Texts for the front ends.
// Tooltip of one flag: "视距差 1.8 m 超限（限差 1.5 m）".
std::string FlagTooltip(const Flag& flag);
// All flags of a station, one per line.
std::string StationTooltip(const StationFlags& station);
// The 备注 of a station: "视距差超限", several joined by "，"; empty if it passes.
std::string StationRemark(const StationFlags& station);
// The line under the data list: "全部测站符合限差要求", or
// "超限测站 3 个：视距差超限 2 站，累积差超限 1 站", then any line flag.
std::string CheckSummary(const LineCheck& check);
// The record book's footer: "超限测站：N 个" or "全部测站符合限差要求".
std::string CheckFooter(const LineCheck& check);

}  // namespace lorvex
