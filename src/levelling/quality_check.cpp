#include "levelling/quality_check.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>

#include "base/fresh_memory.h"
#include "levelling/number_text.h"
#include "levelling/quality_texts.h"

namespace lorvex {
namespace {

// The rules a single station is checked against, SightMax to DhDiff.
constexpr std::size_t kStationRuleCount = 7;
static_assert(static_cast<std::size_t>(Rule::DhDiff) + 1 == kStationRuleCount);

constexpr std::int64_t kNoMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kNoMin = std::numeric_limits<std::int64_t>::min();

// The largest value v (in units of `perUnit` millionths) with v·perUnit <=
// the limit, and the smallest with v·perUnit >= it: the exact integer form of
// "value <= limit" and "value >= limit".
std::int64_t MaxIn(const Limit& limit, std::int64_t perUnit) {
    return limit.checked ? limit.micro / perUnit : kNoMax;
}
std::int64_t MinIn(const Limit& limit, std::int64_t perUnit) {
    return limit.checked ? (limit.micro + perUnit - 1) / perUnit : kNoMin;
}

std::uint64_t Magnitude(std::int64_t v) {
    return v < 0 ? 0u - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
}

// The book's numbers as stored: "%d" and "%.0f" texts, an explicit '+' on
// the signed differences. Digits up to the first other character.
std::int64_t ParseWhole(std::string_view text, int tenthsPlaces = 0) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (value < kNoMax / 100) value = value * 10 + (text[i] - '0');
    }
    if (tenthsPlaces > 0) {
        // A "%.1f" text: one decimal, read as tenths so that 1.5 is 15 exactly.
        int digit = 0;
        if (i + 1 < text.size() && text[i] == '.' && text[i + 1] >= '0' && text[i + 1] <= '9') {
            digit = text[i + 1] - '0';
        }
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

// Readings as the book keeps them: 10^-5 m in second order, truncated toward
// zero to 10^-4 m below (as the station computation does).
std::int32_t BookReading(std::int32_t reading, bool second) {
    return second ? reading : reading / 10;
}

// An unsigned 256-bit number: enough for the product of four 64-bit factors,
// the most the runs comparison multiplies.
class Wide {
  public:
    explicit Wide(std::uint64_t v) : m_limbs{v, 0, 0, 0} {}

    Wide& operator*=(std::uint64_t m) {
        std::uint64_t carry = 0;
        for (std::uint64_t& limb : m_limbs) {
            std::uint64_t hi, lo;
            Mul(limb, m, hi, lo);
            lo += carry;
            if (lo < carry) ++hi;
            limb = lo;
            carry = hi;
        }
        if (carry != 0) m_limbs.fill(std::numeric_limits<std::uint64_t>::max());  // saturate
        return *this;
    }

    friend bool operator<=(const Wide& x, const Wide& y) {
        for (std::size_t i = x.m_limbs.size(); i-- > 0;) {
            if (x.m_limbs[i] != y.m_limbs[i]) return x.m_limbs[i] < y.m_limbs[i];
        }
        return true;
    }

  private:
    // 64 x 64 -> 128 bits from 32-bit halves (no compiler extension needed).
    static void Mul(std::uint64_t a, std::uint64_t b, std::uint64_t& hi, std::uint64_t& lo) {
        const std::uint64_t mask = 0xffffffffu;
        const std::uint64_t p00 = (a & mask) * (b & mask);
        const std::uint64_t p01 = (a & mask) * (b >> 32);
        const std::uint64_t p10 = (a >> 32) * (b & mask);
        const std::uint64_t p11 = (a >> 32) * (b >> 32);
        const std::uint64_t mid = (p00 >> 32) + (p01 & mask) + (p10 & mask);
        lo = (p00 & mask) | (mid << 32);
        hi = p11 + (p01 >> 32) + (p10 >> 32) + (mid >> 32);
    }

    std::array<std::uint64_t, 4> m_limbs;
};

// |W| <= k·√K with W in u-ths of a mm, k = kMicro/10^6 mm, K = sumDm/20000 km:
// squared and cleared of fractions, W²·10^12·20000 <= kMicro²·sumDm·u².
bool RunsPass(std::uint64_t w, std::uint64_t kMicro, std::uint64_t sumDm, std::uint64_t u) {
    Wide lhs(w);
    lhs *= w;
    lhs *= 1'000'000'000'000u;
    lhs *= 20'000u;
    Wide rhs(kMicro);
    rhs *= kMicro;
    rhs *= sumDm;
    rhs *= u * u;
    return lhs <= rhs;
}

// value·per, held at the int64 range: only absurd records (a corrupt file
// of millions of kilometre-long sights) come near it.
std::int64_t Scaled(std::int64_t value, std::int64_t per) {
    const std::int64_t bound = kNoMax / per;
    return std::clamp(value, -bound, bound) * per;
}

// Millionths of a metre in one reading unit (10^-5 m or 10^-4 m), and of a
// millimetre in one height unit (0.01 mm or 0.1 mm).
constexpr std::int64_t ReadingPer(bool second) { return second ? 10 : 100; }
constexpr std::int64_t HeightPer(bool second) { return second ? 10'000 : 100'000; }

bool IsLowerBound(Rule rule) { return rule == Rule::SightMin || rule == Rule::ReadingMin; }

}  // namespace

std::string Flag::ValueText() const { return DecimalText(value, 6, ShownDecimals(rule)); }
std::string Flag::LimitText() const { return DecimalText(limit, 6, ShownDecimals(rule)); }

std::string RunSummary::HeightMetres() const {
    const int scale = grade == GradeSecond ? 5 : 4;
    return DecimalText(height, scale, scale);
}

std::size_t LineCheck::FlaggedStations() const {
    return static_cast<std::size_t>(std::count_if(
        stations.begin(), stations.end(), [](const StationFlags& s) { return !s.Passes(); }));
}

LineChecker::LineChecker(LevellingGrade grade, const LimitTable& limits) {
    m_check.grade = LimitGrade(grade);
    m_check.run.grade = grade;
    const bool second = grade == GradeSecond;
    auto get = [&](Rule rule) -> const Limit& { return limits.Get(rule, grade); };
    // Millionths of the file's unit in one unit of the value: 1 mm is 1000
    // µm; 0.1 m is 10^5 µm; a reading unit is 10 or 100 µm; a height unit
    // is 0.01 or 0.1 mm, i.e. 10^4 or 10^5 millionths of a mm.
    m_sightMaxMm = MaxIn(get(Rule::SightMax), 1000);
    m_sightMinMm = MinIn(get(Rule::SightMin), 1000);
    m_distanceDiffDm = MaxIn(get(Rule::DistanceDiff), 100'000);
    m_distanceSumDm = MaxIn(get(Rule::DistanceSum), 100'000);
    m_readingMin = MinIn(get(Rule::ReadingMin), ReadingPer(second));
    m_readingMax = MaxIn(get(Rule::ReadingMax), ReadingPer(second));
    m_dhDiff = MaxIn(get(Rule::DhDiff), HeightPer(second));
    m_evenStations = get(Rule::EvenStations).checked;
    for (Rule rule : kAllRules) m_limitMicro[static_cast<std::size_t>(rule)] = get(rule).micro;
}

void LineChecker::Reserve(std::size_t stations) { ReserveFresh(m_check.stations, stations); }

void LineChecker::Add(std::span<const SightRecord, 4> records, const StationResult& computed) {
    const LevellingGrade grade = m_check.run.grade;
    const bool second = grade == GradeSecond;
    const std::int64_t readingPer = ReadingPer(second), heightPer = HeightPer(second);

    std::int32_t nearest = records[0].Distance, farthest = nearest;
    std::int32_t lowest = BookReading(records[0].Reading, second), highest = lowest;
    for (std::size_t i = 1; i < 4; ++i) {
        nearest = std::min(nearest, records[i].Distance);
        farthest = std::max(farthest, records[i].Distance);
        const std::int32_t reading = BookReading(records[i].Reading, second);
        lowest = std::min(lowest, reading);
        highest = std::max(highest, reading);
    }
    // d and Σd as the book prints them, to 0.1 m.
    const std::int64_t d = ParseWhole(computed.sDistance_Error, 1);
    const std::int64_t sigma = ParseWhole(computed.sSigma_d, 1);
    const std::int64_t dh = ParseWhole(computed.sFore_Back);

    // The flags are gathered first and stored in one allocation of their
    // own size: on a line that breaks its limits everywhere they are most
    // of what the checks keep.
    std::array<Flag, kStationRuleCount> found;
    std::size_t count = 0;
    // perUnit: millionths of the rule's unit in one unit of the value.
    auto flag = [&](Rule rule, std::int64_t value, std::int64_t perUnit) {
        found[count++] =
            Flag{rule, Scaled(value, perUnit), m_limitMicro[static_cast<std::size_t>(rule)]};
    };
    // In rule order, as the flags are listed.
    if (farthest > m_sightMaxMm) flag(Rule::SightMax, farthest, 1000);
    if (nearest < m_sightMinMm) flag(Rule::SightMin, nearest, 1000);
    if (static_cast<std::int64_t>(Magnitude(d)) > m_distanceDiffDm) {
        flag(Rule::DistanceDiff, d, 100'000);
    }
    if (static_cast<std::int64_t>(Magnitude(sigma)) > m_distanceSumDm) {
        flag(Rule::DistanceSum, sigma, 100'000);
    }
    if (lowest < m_readingMin) flag(Rule::ReadingMin, lowest, readingPer);
    if (highest > m_readingMax) flag(Rule::ReadingMax, highest, readingPer);
    if (static_cast<std::int64_t>(Magnitude(dh)) > m_dhDiff) {
        flag(Rule::DhDiff, dh, heightPer);
    }
    StationFlags& station = m_check.stations.emplace_back();
    if (count > 0) station.flags.assign(found.begin(), found.begin() + count);

    RunSummary& run = m_check.run;
    if (run.stations++ == 0) run.from = computed.sTarget_Back;
    run.to = computed.sTarget_Fore;
    run.lengthDm += ParseWhole(computed.sDis_Back) + ParseWhole(computed.sDis_Fore);
    run.height += ParseWhole(computed.sH);
}

LineCheck LineChecker::Finish() && {
    if (m_evenStations && m_check.run.stations % 2 != 0) {
        // The remainder of the count divided by two, which must be 0.
        m_check.line.push_back(Flag{Rule::EvenStations, 1'000'000, 0});
    }
    return std::move(m_check);
}

LineCheck CheckLine(std::span<const SightRecord> records, std::span<const StationResult> computed,
                    LevellingGrade grade, const LimitTable& limits) {
    if (records.size() != computed.size() * 4) {
        throw std::invalid_argument("CheckLine: records are not four per computed station");
    }
    LineChecker checker(grade, limits);
    checker.Reserve(computed.size());
    for (std::size_t i = 0; i < computed.size(); ++i) {
        checker.Add(records.subspan(4 * i).first<4>(), computed[i]);
    }
    return std::move(checker).Finish();
}

RunSummary SummarizeRun(std::span<const StationResult> computed, LevellingGrade grade) {
    RunSummary run;
    run.grade = grade;
    run.stations = computed.size();
    if (computed.empty()) return run;
    run.from = computed.front().sTarget_Back;
    run.to = computed.back().sTarget_Fore;
    for (const StationResult& s : computed) {
        run.lengthDm += ParseWhole(s.sDis_Back) + ParseWhole(s.sDis_Fore);
        run.height += ParseWhole(s.sH);
    }
    return run;
}

RunComparison CompareRuns(const RunSummary& a, const RunSummary& b, Rule rule,
                          const LimitTable& limits, RunPairing pairing) {
    if (rule != Rule::RunsDiff && rule != Rule::LeftRightDiff) {
        throw std::invalid_argument("CompareRuns: not a rule for two runs");
    }
    const bool second = a.grade == GradeSecond;
    if (second != (b.grade == GradeSecond)) {
        throw std::invalid_argument("CompareRuns: the runs' heights are in different units");
    }

    RunComparison out;
    out.rule = rule;
    out.grade = LimitGrade(a.grade);
    out.a = a;
    out.b = b;
    switch (pairing) {
        case RunPairing::SameDirection:
            out.opposite = false;
            break;
        case RunPairing::OppositeDirections:
            out.opposite = true;
            break;
        case RunPairing::Auto: {
            auto same = [](const std::string& x, const std::string& y) {
                return !x.empty() && x == y;
            };
            if (same(a.from, b.to) || same(a.to, b.from)) {
                out.opposite = true;
            } else if (same(a.from, b.from) || same(a.to, b.to)) {
                out.opposite = false;
            } else {
                // Nothing to tell by: a go and a back run climb the same
                // height in opposite signs.
                out.opposite = (a.height < 0) != (b.height < 0) && a.height != 0 && b.height != 0;
            }
            break;
        }
    }

    // Heights in 0.01 mm (second order) or 0.1 mm: u units to the mm.
    const std::int64_t w = out.opposite ? a.height + b.height : a.height - b.height;
    const std::uint64_t u = second ? 100 : 10;
    const std::int64_t sumDm = std::max<std::int64_t>(a.lengthDm + b.lengthDm, 0);
    out.meanKm = static_cast<double>(sumDm) / 20000.0;
    out.wMicro = Scaled(w, HeightPer(second));
    out.w = DecimalText(out.wMicro, 6, 1);

    const Limit& limit = limits.Get(rule, a.grade);
    out.checked = limit.checked;
    if (!limit.checked) {
        out.limit = "-";
        return out;
    }
    const auto k = static_cast<std::uint64_t>(limit.micro);
    const auto sum = static_cast<std::uint64_t>(sumDm);
    out.holds = RunsPass(Magnitude(w), k, sum, u);

    // The limit shown: the largest W of W's precision that passes, so that
    // a W shown equal to the limit always passes and one above never does.
    const double estimate =
        static_cast<double>(limit.micro) / 1e6 * std::sqrt(out.meanKm) * static_cast<double>(u);
    std::uint64_t largest =
        estimate >= 9e18 ? 9'000'000'000'000'000'000u : static_cast<std::uint64_t>(estimate);
    while (largest > 0 && !RunsPass(largest, k, sum, u)) --largest;
    while (largest < 9'000'000'000'000'000'000u && RunsPass(largest + 1, k, sum, u)) ++largest;
    out.limitMicro = Scaled(static_cast<std::int64_t>(largest), HeightPer(second));
    out.limit = DecimalText(out.limitMicro, 6, 1);
    if (!out.holds) out.flag = Flag{rule, out.wMicro, out.limitMicro};
    return out;
}

std::optional<std::string> DualRunPartner(std::string_view lineName) {
    if (lineName.ends_with("(R)") || lineName.ends_with("(L)")) {
        std::string partner(lineName);
        partner[partner.size() - 2] = lineName.ends_with("(R)") ? 'L' : 'R';
        return partner;
    }
    return std::nullopt;
}

std::string FlagTooltip(const Flag& flag) {
    if (flag.rule == Rule::EvenStations) return QcMessage(QcText::OddStations);
    return QcMessage(IsLowerBound(flag.rule) ? QcText::TooltipMin : QcText::TooltipMax,
                     {TextsOf(flag.rule).name, flag.ValueText(), flag.Unit(), flag.LimitText()});
}

std::string StationTooltip(const StationFlags& station) {
    std::string out;
    for (const Flag& f : station.flags) {
        if (!out.empty()) out += '\n';
        out += FlagTooltip(f);
    }
    return out;
}

std::string StationRemark(const StationFlags& station) {
    std::string out;
    std::vector<std::string_view> said;
    for (const Flag& f : station.flags) {
        const std::string_view remark = TextsOf(f.rule).remark;
        if (std::find(said.begin(), said.end(), remark) != said.end()) continue;
        said.push_back(remark);
        if (!out.empty()) out += QcMessage(QcText::ListSeparator);
        out += remark;
    }
    return out;
}

std::string CheckSummary(const LineCheck& check) {
    // Stations per remark, a station counted once under each remark it has.
    // Rules that share a remark (the two sight limits, the two reading
    // limits) count under the first of them; a line where every station is
    // flagged is counted without an allocation per station.
    std::array<std::size_t, kRuleCount> firstWithRemark{};
    for (std::size_t r = 0; r < kRuleCount; ++r) {
        firstWithRemark[r] = r;
        for (std::size_t q = 0; q < r; ++q) {
            if (TextsOf(kAllRules[q]).remark == TextsOf(kAllRules[r]).remark) {
                firstWithRemark[r] = q;
                break;
            }
        }
    }
    std::array<std::size_t, kRuleCount> counts{};
    std::size_t flagged = 0;
    for (const StationFlags& station : check.stations) {
        if (station.Passes()) continue;
        ++flagged;
        std::uint32_t said = 0;
        for (const Flag& f : station.flags)
            said |= 1u << firstWithRemark[static_cast<std::size_t>(f.rule)];
        for (std::size_t r = 0; said != 0; ++r, said >>= 1) counts[r] += said & 1u;
    }
    // Listed in rule order, whatever order the stations showed them in.
    std::string list;
    for (std::size_t r = 0; r < kRuleCount; ++r) {
        if (counts[r] == 0) continue;
        if (!list.empty()) list += QcMessage(QcText::ListSeparator);
        list +=
            QcMessage(QcText::RuleCount, {TextsOf(kAllRules[r]).remark, std::to_string(counts[r])});
    }
    std::string out = flagged == 0
                          ? QcMessage(QcText::AllPass)
                          : QcMessage(QcText::FlaggedSummary, {std::to_string(flagged), list});
    for (const Flag& f : check.line) {
        out += QcMessage(QcText::PartSeparator);
        out += FlagTooltip(f);
    }
    return out;
}

std::string CheckFooter(const LineCheck& check) {
    const std::size_t flagged = check.FlaggedStations();
    return flagged == 0 ? QcMessage(QcText::AllPass)
                        : QcMessage(QcText::Footer, {std::to_string(flagged)});
}

}  // namespace lorvex
