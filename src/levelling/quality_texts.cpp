#include "levelling/quality_texts.h"

#include <array>
#include <cstddef>

namespace lorvex {
namespace {

// In Rule order. Two rules may share a remark: the record book only says
// which kind of limit a station broke.
constexpr std::array<RuleTexts, kRuleCount> kRuleTexts{{
    {"视距", "视距超限"},                    // sight_max
    {"视距", "视距超限"},                    // sight_min
    {"视距差", "视距差超限"},                // distance_diff
    {"视距累积差", "累积差超限"},            // distance_sum
    {"视线高", "视线高超限"},                // reading_min
    {"视线高", "视线高超限"},                // reading_max
    {"高差之差", "高差之差超限"},            // dh_diff
    {"测站数", "测站数不是偶数"},            // even_stations
    {"往返测高差不符值", "往返测超限"},      // runs_diff
    {"左右路线高差不符值", "左右路线超限"},  // left_right_diff
}};

struct Entry {
    QcText id;
    std::string_view pattern;
};

constexpr Entry kTexts[] = {
    {QcText::TooltipMax, "%1 %2 %3 超限（限差 %4 %3）"},
    {QcText::TooltipMin, "%1 %2 %3 超限（最小 %4 %3）"},
    {QcText::OddStations, "测站数为奇数（应为偶数）"},
    {QcText::AllPass, "全部测站符合限差要求"},
    {QcText::FlaggedSummary, "超限测站 %1 个：%2"},
    {QcText::RuleCount, "%1 %2 站"},
    {QcText::ListSeparator, "，"},
    {QcText::PartSeparator, "；"},
    {QcText::Footer, "超限测站：%1 个"},
    {QcText::FileMissing, "限差文件 %1 不存在，使用内置限差。"},
    {QcText::FileUnreadable, "无法读取限差文件 %1，使用内置限差。"},
    {QcText::FileRejected, "%1：%2；已改用内置限差。"},
    {QcText::FileChanged, "%1：以下限差与内置值不同，按此文件检查：%2"},
    {QcText::ChangedItem, "%1 %2 %3（内置 %4）"},
    {QcText::NoVersion, "缺少版本行“version 1”"},
    {QcText::BadVersion, "不支持的版本“%1”（本程序读取版本 %2）"},
    {QcText::MissingFields, "缺少字段（每行应有 规则、等级、限差、单位、来源 五项）"},
    {QcText::UnknownRule, "未知规则“%1”"},
    {QcText::UnknownGrade, "未知等级“%1”（应为 second、third 或 fourth）"},
    {QcText::BadNumber, "限差“%1”不是数字（应为不带单位的非负小数，最多 6 位小数）"},
    {QcText::BadRequired, "even_stations 的限差应为 required 或 -，而不是“%1”"},
    {QcText::WrongUnit, "%1 的单位应为“%2”，而不是“%3”"},
    {QcText::Duplicate, "%1 %2 已在第 %3 行给出"},
    {QcText::MissingLimit, "缺少 %1 %2 的限差（不检查请写 -）"},
};

}  // namespace

const RuleTexts& TextsOf(Rule rule) { return kRuleTexts[static_cast<std::size_t>(rule)]; }

std::string QcMessage(QcText text, std::initializer_list<std::string_view> args) {
    std::string_view pattern;
    for (const Entry& e : kTexts) {
        if (e.id == text) pattern = e.pattern;
    }
    std::string out;
    out.reserve(pattern.size() + 32);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
            const auto n = static_cast<std::size_t>(pattern[i + 1] - '1');
            if (n < args.size()) out.append(args.begin()[n]);
            ++i;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace lorvex
