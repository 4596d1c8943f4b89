#include "levelling/report_header.h"

#include "levelling/number_text.h"

namespace lorvex {

std::string CheckTimeField(TimeField field, std::string_view text) {
    const int limit = (field == TimeField::HourStart || field == TimeField::HourEnd) ? 23 : 59;
    const std::int32_t value = ParseInt(text);
    if (value < 0 || value > limit) {
        return "0";
    }
    return std::string(text);
}

std::string ReportHeader::*TimeFieldMember(TimeField field) {
    switch (field) {
        case TimeField::HourStart:
            return &ReportHeader::sHourSt;
        case TimeField::MinuteStart:
            return &ReportHeader::sMinSt;
        case TimeField::HourEnd:
            return &ReportHeader::sHourEn;
        case TimeField::MinuteEnd:
            return &ReportHeader::sMinEn;
    }
    return &ReportHeader::sHourSt;
}

void SetHeaderDate(ReportHeader& header, int year, int month, int day) {
    header.sYear = FormatInt(year);
    header.sMonth = FormatInt(month);
    header.sDay = FormatInt(day);
}

}  // namespace lorvex
