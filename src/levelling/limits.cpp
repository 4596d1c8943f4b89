#include "levelling/limits.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include <utility>

#include "levelling/quality_texts.h"

namespace lorvex {
namespace {

struct RuleInfo {
    std::string_view id;
    std::string_view unit;      // of the values and of the limit as shown
    std::string_view fileUnit;  // the unit column of limits.tsv
    int minDecimals;            // places a limit or value always shows: 50, 1.5, 2.80
};

// In Rule order.
constexpr std::array<RuleInfo, kRuleCount> kRules{{
    {"sight_max", "m", "m", 0},
    {"sight_min", "m", "m", 0},
    {"distance_diff", "m", "m", 1},
    {"distance_sum", "m", "m", 1},
    {"reading_min", "m", "m", 2},
    {"reading_max", "m", "m", 2},
    {"dh_diff", "mm", "mm", 1},
    {"even_stations", "", "-", 0},
    {"runs_diff", "mm", "mm/sqrt(km)", 1},
    {"left_right_diff", "mm", "mm/sqrt(km)", 1},
}};

const RuleInfo& InfoOf(Rule rule) { return kRules[static_cast<std::size_t>(rule)]; }

constexpr std::size_t GradeIndex(LevellingGrade grade) {
    return static_cast<std::size_t>(LimitGrade(grade));
}

constexpr std::string_view kSecondSource = "GB/T 12897-2006";
constexpr std::string_view kLowerSource = "GB/T 12898-2009";
constexpr std::int64_t kMicro = 1'000'000;

LimitTable MakeBuiltIn() {
    // Limits × 10^6; -1 for a rule the grade does not have.
    struct Row {
        Rule rule;
        std::array<std::int64_t, 3> micro;  // second, third, fourth order
    };
    constexpr Row rows[] = {
        {Rule::SightMax, {50 * kMicro, 100 * kMicro, 150 * kMicro}},
        {Rule::SightMin, {3 * kMicro, -1, -1}},
        {Rule::DistanceDiff, {1'500'000, 2 * kMicro, 3 * kMicro}},
        {Rule::DistanceSum, {6 * kMicro, 5 * kMicro, 10 * kMicro}},
        {Rule::ReadingMin, {550'000, -1, -1}},
        {Rule::ReadingMax, {2'800'000, -1, -1}},
        {Rule::DhDiff, {600'000, 3 * kMicro, 5 * kMicro}},
        {Rule::EvenStations, {0, -1, -1}},
        {Rule::RunsDiff, {4 * kMicro, 12 * kMicro, 20 * kMicro}},
        {Rule::LeftRightDiff, {-1, 8 * kMicro, 14 * kMicro}},
    };
    LimitTable table;
    for (const Row& row : rows) {
        for (std::size_t g = 0; g < 3; ++g) {
            const auto grade = static_cast<LevellingGrade>(g);
            const bool checked = row.micro[g] >= 0;
            table.Set(row.rule, grade,
                      Limit{checked, checked ? row.micro[g] : 0,
                            std::string(grade == GradeSecond ? kSecondSource : kLowerSource)});
        }
    }
    return table;
}

std::string_view Trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// Splits off the next field at spaces or tabs.
std::string_view NextField(std::string_view& rest) {
    rest = Trim(rest);
    const auto end = rest.find_first_of(" \t");
    const std::string_view field = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    return field;
}

std::optional<Rule> RuleFromId(std::string_view id) {
    for (Rule rule : kAllRules) {
        if (RuleId(rule) == id) return rule;
    }
    return std::nullopt;
}

std::optional<LevellingGrade> GradeFromId(std::string_view id) {
    for (LevellingGrade grade : kLimitGrades) {
        if (GradeId(grade) == id) return grade;
    }
    return std::nullopt;
}

// A plain decimal: digits, optionally '.' and 1 to 6 more digits, at most
// 10^9. No sign, exponent or thousands separator: a limit is never negative,
// and a comma must not be read as a decimal point or ignored.
std::optional<std::int64_t> ParseMicro(std::string_view text) {
    std::int64_t whole = 0;
    std::size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        whole = whole * 10 + (text[i] - '0');
        if (whole > 1'000'000'000) return std::nullopt;
    }
    if (i == 0) return std::nullopt;
    std::int64_t fraction = 0;
    int places = 0;
    if (i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            if (++places > 6) return std::nullopt;
            fraction = fraction * 10 + (text[i] - '0');
        }
        if (places == 0) return std::nullopt;
    }
    if (i != text.size()) return std::nullopt;
    for (; places < 6; ++places) fraction *= 10;
    return whole * kMicro + fraction;
}

LoadedLimits Rejected(std::string_view where, const std::string& detail) {
    LoadedLimits out;
    out.table = BuiltInLimits();
    out.messages.push_back(QcMessage(QcText::FileRejected, {where, detail}));
    return out;
}

std::string Where(std::string_view fileName, std::size_t line) {
    return std::string(fileName) + ":" + std::to_string(line);
}

std::string ShownLimit(Rule rule, const Limit& limit) {
    std::string text = LimitText(rule, limit);
    if (limit.checked && !RuleUnit(rule).empty()) {
        text += ' ';
        text += InfoOf(rule).fileUnit;
    }
    return text;
}

}  // namespace

std::string_view RuleId(Rule rule) { return InfoOf(rule).id; }
std::string_view RuleUnit(Rule rule) { return InfoOf(rule).unit; }
int ShownDecimals(Rule rule) { return InfoOf(rule).minDecimals; }

std::string_view GradeId(LevellingGrade grade) {
    switch (LimitGrade(grade)) {
        case GradeSecond:
            return "second";
        case GradeThird:
            return "third";
        default:
            return "fourth";
    }
}

const Limit& LimitTable::Get(Rule rule, LevellingGrade grade) const {
    return m_limits[static_cast<std::size_t>(rule)][GradeIndex(grade)];
}

void LimitTable::Set(Rule rule, LevellingGrade grade, Limit limit) {
    m_limits[static_cast<std::size_t>(rule)][GradeIndex(grade)] = std::move(limit);
}

const LimitTable& BuiltInLimits() {
    static const LimitTable table = MakeBuiltIn();
    return table;
}

std::string DecimalText(std::int64_t value, int scale, int minDecimals) {
    // Digits of the magnitude, least significant first, at least scale + 1 of
    // them so that a whole-number digit is always there. The magnitude is
    // unsigned, so that the most negative value has one.
    std::uint64_t magnitude =
        value < 0 ? 0u - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    char digits[40];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0 || count <= scale);
    // Trailing zeros of the fraction are dropped down to minDecimals.
    int keep = scale;
    while (keep > std::max(minDecimals, 0) && digits[scale - keep] == '0') --keep;

    char text[48];
    char* out = text;
    if (value < 0) *out++ = '-';
    for (int i = count; i-- > scale;) *out++ = digits[i];
    if (keep > 0 || minDecimals > 0) *out++ = '.';
    for (int i = scale - 1; i >= scale - keep; --i) *out++ = digits[i];
    for (int i = keep; i < minDecimals; ++i) *out++ = '0';
    return std::string(text, out);
}

std::string LimitText(Rule rule, const Limit& limit) {
    if (!limit.checked) return "-";
    if (rule == Rule::EvenStations) return "required";
    return DecimalText(limit.micro, 6, ShownDecimals(rule));
}

LoadedLimits ParseLimitTable(std::string_view text, std::string_view fileName) {
    // Lines already given, per rule and grade, for the duplicate message.
    std::array<std::array<std::size_t, 3>, kRuleCount> seenOn{};
    LimitTable table;
    bool versionSeen = false;

    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);  // an editor's UTF-8 mark
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++lineNumber;
        if (line.ends_with('\r')) line.remove_suffix(1);
        line = Trim(line);
        if (line.empty() || line.front() == '#') continue;

        std::string_view rest = line;
        const std::string_view first = NextField(rest);
        const std::string where = Where(fileName, lineNumber);
        if (!versionSeen) {
            // The version line comes first, so that a later format is never
            // half-understood by this program.
            if (first != "version") return Rejected(where, QcMessage(QcText::NoVersion));
            const std::string_view version = NextField(rest);
            if (version != std::to_string(kLimitFileVersion) || !Trim(rest).empty()) {
                return Rejected(where, QcMessage(QcText::BadVersion,
                                                 {version, std::to_string(kLimitFileVersion)}));
            }
            versionSeen = true;
            continue;
        }

        const std::string_view gradeId = NextField(rest);
        const std::string_view limitText = NextField(rest);
        const std::string_view unit = NextField(rest);
        const std::string_view source = Trim(rest);
        if (source.empty()) return Rejected(where, QcMessage(QcText::MissingFields));

        const std::optional<Rule> rule = RuleFromId(first);
        if (!rule) return Rejected(where, QcMessage(QcText::UnknownRule, {first}));
        const std::optional<LevellingGrade> grade = GradeFromId(gradeId);
        if (!grade) return Rejected(where, QcMessage(QcText::UnknownGrade, {gradeId}));
        const std::string_view fileUnit = InfoOf(*rule).fileUnit;
        if (unit != fileUnit) {
            return Rejected(where, QcMessage(QcText::WrongUnit, {first, fileUnit, unit}));
        }

        Limit limit;
        limit.source = std::string(source);
        if (limitText == "-") {
            limit.checked = false;
        } else if (*rule == Rule::EvenStations) {
            if (limitText != "required") {
                return Rejected(where, QcMessage(QcText::BadRequired, {limitText}));
            }
            limit.checked = true;
        } else {
            const std::optional<std::int64_t> micro = ParseMicro(limitText);
            if (!micro) return Rejected(where, QcMessage(QcText::BadNumber, {limitText}));
            limit.checked = true;
            limit.micro = *micro;
        }

        std::size_t& seen = seenOn[static_cast<std::size_t>(*rule)][GradeIndex(*grade)];
        if (seen != 0) {
            return Rejected(where,
                            QcMessage(QcText::Duplicate, {first, gradeId, std::to_string(seen)}));
        }
        seen = lineNumber;
        table.Set(*rule, *grade, std::move(limit));
    }

    if (!versionSeen) return Rejected(Where(fileName, lineNumber), QcMessage(QcText::NoVersion));
    // A rule left out is an error rather than "not checked": a deleted line
    // must not switch a check off unnoticed ("-" does that on purpose).
    for (Rule rule : kAllRules) {
        for (LevellingGrade grade : kLimitGrades) {
            if (seenOn[static_cast<std::size_t>(rule)][GradeIndex(grade)] == 0) {
                return Rejected(fileName,
                                QcMessage(QcText::MissingLimit, {RuleId(rule), GradeId(grade)}));
            }
        }
    }

    LoadedLimits out;
    out.table = std::move(table);
    out.fromFile = true;
    std::string changed;
    for (Rule rule : kAllRules) {
        for (LevellingGrade grade : kLimitGrades) {
            const Limit& mine = out.table.Get(rule, grade);
            const Limit& builtIn = BuiltInLimits().Get(rule, grade);
            if (mine.checked == builtIn.checked && mine.micro == builtIn.micro) continue;
            if (!changed.empty()) changed += QcMessage(QcText::ListSeparator);
            changed += QcMessage(
                QcText::ChangedItem,
                {RuleId(rule), GradeId(grade), ShownLimit(rule, mine), ShownLimit(rule, builtIn)});
        }
    }
    if (!changed.empty())
        out.messages.push_back(QcMessage(QcText::FileChanged, {fileName, changed}));
    return out;
}

LoadedLimits LoadLimitTable(const std::filesystem::path& file) {
    const std::string name = file.string();
    std::error_code ec;
    std::ifstream in;
    if (!std::filesystem::is_directory(file, ec)) in.open(file, std::ios::binary);
    if (!in.is_open()) {
        LoadedLimits out;
        out.table = BuiltInLimits();
        const bool missing = !std::filesystem::exists(file, ec);
        out.messages.push_back(
            QcMessage(missing ? QcText::FileMissing : QcText::FileUnreadable, {name}));
        return out;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        LoadedLimits out;
        out.table = BuiltInLimits();
        out.messages.push_back(QcMessage(QcText::FileUnreadable, {name}));
        return out;
    }
    return ParseLimitTable(text, name);
}

}  // namespace lorvex
