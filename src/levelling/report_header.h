#pragma once

#include <array>
#include <string>
#include <string_view>

namespace lorvex {

// The report header typed in the main window: 18 free texts, named and ordered
// as the columns of Info_tbl after its key.
struct ReportHeader {
    std::string sStationStGo;    // 往测自
    std::string sStationEnGo;    // 往测 … 至
    std::string sStationStBack;  // 返测自
    std::string sStationEnBack;  // 返测 … 至
    std::string sHourSt;         // 时刻 始 … 时
    std::string sMinSt;          // 始 … 分
    std::string sHourEn;         // 末 … 时
    std::string sMinEn;          // 末 … 分
    std::string sYear;           // 年
    std::string sMonth;          // 月
    std::string sDay;            // 日
    std::string sWeather;        // 天气
    std::string sImaging;        // 成像
    std::string sTemperature;    // 温度 (second order only)
    std::string sCloud;          // 云量 (second order only)
    std::string sWind;           // 风向风速 (second order only)
    std::string sRoad;           // 道路土质 (second order only)
    std::string sSunLocation;    // 太阳方向 (second order only)

    friend bool operator==(const ReportHeader&, const ReportHeader&) = default;
};

struct ReportHeaderField {
    const char* name;
    std::string ReportHeader::*member;
};

// The fields in Info_tbl column order, for code that handles them by name.
inline constexpr std::array<ReportHeaderField, 18> kReportHeaderFields{{
    {"sStationStGo", &ReportHeader::sStationStGo},
    {"sStationEnGo", &ReportHeader::sStationEnGo},
    {"sStationStBack", &ReportHeader::sStationStBack},
    {"sStationEnBack", &ReportHeader::sStationEnBack},
    {"sHourSt", &ReportHeader::sHourSt},
    {"sMinSt", &ReportHeader::sMinSt},
    {"sHourEn", &ReportHeader::sHourEn},
    {"sMinEn", &ReportHeader::sMinEn},
    {"sYear", &ReportHeader::sYear},
    {"sMonth", &ReportHeader::sMonth},
    {"sDay", &ReportHeader::sDay},
    {"sWeather", &ReportHeader::sWeather},
    {"sImaging", &ReportHeader::sImaging},
    {"sTemperature", &ReportHeader::sTemperature},
    {"sCloud", &ReportHeader::sCloud},
    {"sWind", &ReportHeader::sWind},
    {"sRoad", &ReportHeader::sRoad},
    {"sSunLocation", &ReportHeader::sSunLocation},
}};

// The four time fields of the header, each with its valid range.
enum class TimeField { HourStart, MinuteStart, HourEnd, MinuteEnd };

// The range rule of a time field: its text read like atoi (leading blanks, a
// sign, digits; no number counts as 0) must lie in 0-23 for hours and 0-59 for
// minutes. Returns the text to keep: unchanged when valid, "0" otherwise.
std::string CheckTimeField(TimeField field, std::string_view text);

// The header member that holds a time field.
std::string ReportHeader::*TimeFieldMember(TimeField field);

// Year (four digits), month and day without leading zeros, from a local date.
void SetHeaderDate(ReportHeader& header, int year, int month, int day);

}  // namespace lorvex
