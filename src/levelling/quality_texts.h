#pragma once

// Every Chinese text of the limit checks, kept in one table
// (quality_texts.cpp): the rules' names and record-book remarks, the summary
// and footer lines, and the messages about the limit file.

#include <initializer_list>
#include <string>
#include <string_view>

#include "levelling/limits.h"

namespace lorvex {

// What the user reads about one rule.
struct RuleTexts {
    std::string_view name;  // tooltip: "视距差" as in "视距差 1.8 m 超限（限差 1.5 m）"
    std::string_view remark;  // 备注 column / summary: "视距差超限"
};
const RuleTexts& TextsOf(Rule rule);

enum class QcText {
    TooltipMax,      // "%1 %2 %3 超限（限差 %4 %3）"
    TooltipMin,      // "%1 %2 %3 超限（最小 %4 %3）"
    OddStations,     // "测站数为奇数（应为偶数）"
    AllPass,         // "全部测站符合限差要求"
    FlaggedSummary,  // "超限测站 %1 个：%2"
    RuleCount,       // "%1 %2 站"
    ListSeparator,   // "，"
    PartSeparator,   // "；"
    Footer,          // "超限测站：%1 个"
    FileMissing,     // the limit file is not there
    FileUnreadable,  // it cannot be read
    FileRejected,    // "%1：%2；已改用内置限差。"
    FileChanged,     // the file's limits differ from the built-in ones
    ChangedItem,     // "%1 %2 %3（内置 %4）"
    NoVersion,       // no version line before the limits
    BadVersion,      // a version this program does not read
    MissingFields,   // fewer than five fields
    UnknownRule,     // "未知规则“%1”"
    UnknownGrade,    // "未知等级“%1”"
    BadNumber,       // "限差“%1”不是数字"
    BadRequired,     // even_stations takes "required" or "-"
    WrongUnit,       // "%1 的单位应为“%2”，而不是“%3”"
    Duplicate,       // "%1 %2 已在第 %3 行给出"
    MissingLimit,    // "缺少 %1 %2 的限差"
};

// The text with %1, %2, ... replaced by the arguments.
std::string QcMessage(QcText text, std::initializer_list<std::string_view> args = {});

}  // namespace lorvex
