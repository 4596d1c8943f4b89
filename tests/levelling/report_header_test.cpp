#include "levelling/report_header.h"

#include <gtest/gtest.h>

namespace lorvex {
namespace {

TEST(CheckTimeField, ResetsOutOfRangeValuesOnly) {
    const struct {
        TimeField field;
        const char* text;
        const char* kept;
    } cases[] = {
        {TimeField::HourStart, "23", "23"},
        {TimeField::HourStart, "24", "0"},
        {TimeField::HourEnd, "0", "0"},
        {TimeField::HourEnd, "-1", "0"},
        {TimeField::HourEnd, "99999999999", "0"},  // atoi saturates, still out of range
        {TimeField::MinuteStart, "59", "59"},
        {TimeField::MinuteStart, "60", "0"},
        {TimeField::MinuteEnd, "24", "24"},  // a valid minute, not an hour
        {TimeField::MinuteEnd, "-0", "-0"},
        // Texts without a leading number count as 0 and stay as typed.
        {TimeField::HourStart, "abc", "abc"},
        {TimeField::HourStart, "7x", "7x"},
        {TimeField::HourStart, " 7", " 7"},
        {TimeField::HourStart, "", ""},
        {TimeField::HourStart, "30x", "0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CheckTimeField(c.field, c.text), c.kept) << '"' << c.text << '"';
    }
}

TEST(CheckTimeField, EachFieldHasItsMember) {
    EXPECT_EQ(TimeFieldMember(TimeField::HourStart), &ReportHeader::sHourSt);
    EXPECT_EQ(TimeFieldMember(TimeField::MinuteStart), &ReportHeader::sMinSt);
    EXPECT_EQ(TimeFieldMember(TimeField::HourEnd), &ReportHeader::sHourEn);
    EXPECT_EQ(TimeFieldMember(TimeField::MinuteEnd), &ReportHeader::sMinEn);
}

}  // namespace
}  // namespace lorvex
