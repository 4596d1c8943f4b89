#pragma once

// The limits of the levelling standards that a surveyor checks the record
// book against, per rule and grade, and the text file (limits.tsv) through
// which a company can tighten them. The station computation never reads
// these: the checks are computed beside it (quality_check.h).

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/grade.h"

namespace lorvex {

// The rules, in the order the file, the summaries and the JSON list them.
enum class Rule : std::uint8_t {
    SightMax,       // any single sight distance, at most
    SightMin,       // any single sight distance, at least
    DistanceDiff,   // |d|: mean back minus mean fore distance of a station
    DistanceSum,    // |Σd|: the accumulated distance difference at a station
    ReadingMin,     // lowest staff reading (line of sight above the ground)
    ReadingMax,     // highest staff reading
    DhDiff,         // |difference of the station's two height differences|
    EvenStations,   // a section has an even number of stations
    RunsDiff,       // two runs of one section: W <= k·√K
    LeftRightDiff,  // the (R) and (L) halves of a dual-run line: W <= k·√K
};
inline constexpr std::size_t kRuleCount = 10;
inline constexpr std::array<Rule, kRuleCount> kAllRules{
    Rule::SightMax,   Rule::SightMin, Rule::DistanceDiff, Rule::DistanceSum, Rule::ReadingMin,
    Rule::ReadingMax, Rule::DhDiff,   Rule::EvenStations, Rule::RunsDiff,    Rule::LeftRightDiff};

// The rule id of the file and the JSON: "sight_max", "distance_diff", ...
std::string_view RuleId(Rule rule);
// The unit of the rule's values and limits: "m", "mm", or "" for
// even_stations. runs_diff and left_right_diff give W and its limit in mm;
// their factor k in the file is in mm per √km ("mm/sqrt(km)").
std::string_view RuleUnit(Rule rule);
// The decimals a value or limit of the rule always shows: 50 m, 1.5 m,
// 2.80 m, 0.6 mm (more when the number has them).
int ShownDecimals(Rule rule);

// The grades that have limits of their own; any other grade value is checked
// as fourth order, as the station computation computes it.
inline constexpr std::array<LevellingGrade, 3> kLimitGrades{GradeSecond, GradeThird, GradeFourth};
constexpr LevellingGrade LimitGrade(LevellingGrade g) { return IsKnownGrade(g) ? g : GradeFourth; }
// "second", "third", "fourth" (the file's grade names).
std::string_view GradeId(LevellingGrade grade);

// One limit. Numbers are kept exactly, in millionths of the rule's unit as
// the file writes it (m, mm, or mm/√km), so that no binary fraction decides
// whether a value equal to the limit passes.
struct Limit {
    bool checked = false;    // false: the rule does not apply to this grade
    std::int64_t micro = 0;  // the limit × 10^6 (unused for even_stations)
    std::string source;      // where the number comes from, e.g. "GB/T 12897-2006"

    friend bool operator==(const Limit&, const Limit&) = default;
};

class LimitTable {
  public:
    const Limit& Get(Rule rule, LevellingGrade grade) const;
    void Set(Rule rule, LevellingGrade grade, Limit limit);

    friend bool operator==(const LimitTable&, const LimitTable&) = default;

  private:
    // Each Limit starts from its member initializers. No "{}" here: clang 14
    // crashes on value-initialising this nested array of a class with a
    // defaulted comparison.
    std::array<std::array<Limit, 3>, kRuleCount> m_limits;
};

// The limits of GB/T 12897-2006 (second order) and GB/T 12898-2009 (third and
// fourth order) for digital levels; resources/limits.tsv ships the same.
const LimitTable& BuiltInLimits();

// The file's name in the resources and in the data folder.
inline constexpr std::string_view kLimitFileName = "limits.tsv";

// The version of the file format this program reads.
inline constexpr int kLimitFileVersion = 1;

// A table read from a file, or the built-in one with the reason why.
struct LoadedLimits {
    LimitTable table;
    bool fromFile = false;              // false: the built-in limits are in force
    std::vector<std::string> messages;  // for the user, in Chinese, with file:line
};

// Reads the text of a limit file; fileName names it in the messages. Any
// error rejects the whole file: the built-in limits are used and the message
// says where the file is wrong. A valid file whose numbers differ from the
// built-in ones is used, with a message naming the changed limits.
LoadedLimits ParseLimitTable(std::string_view text, std::string_view fileName);

// The same for a file on disk; a missing or unreadable file gives the
// built-in limits and a message.
LoadedLimits LoadLimitTable(const std::filesystem::path& file);

// The exact decimal text of value × 10^-scale, trailing zeros dropped down
// to minDecimals places: (52310, 3, 1) -> "52.31", (-18, 1, 1) -> "-1.8",
// (50000000, 6, 1) -> "50.0". scale is at most 18.
std::string DecimalText(std::int64_t value, int scale, int minDecimals);

// The limit's number as the messages and the JSON show it ("1.5", "0.55").
std::string LimitText(Rule rule, const Limit& limit);

}  // namespace lorvex
