#include "levelling/station.h"

#include <charconv>
#include <cstddef>
#include <utility>

#include "levelling/number_text.h"

namespace lorvex {
namespace {

// The record book works in 32-bit integers. Differences and sums of readings
// and distances wrap like two's complement rather than overflow, so absurd
// readings in a corrupt file give a strange row, never undefined behaviour.
std::int32_t Sub(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

std::int32_t Add(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

// Reading differences are shown with an explicit sign: +3, -5, +0.
std::string FormatSigned(std::int32_t value) {
    char buf[16];
    char* first = buf + 1;
    const auto res = std::to_chars(first, buf + sizeof buf, value);
    if (*first != '-') *--first = '+';
    return std::string(first, res.ptr);
}

bool IsBackSight(const SightRecord& record) { return record.SightCode == "B"; }

// Positions (0-based, in row order) of the canonical sights B1, F1, F2, B2.
struct SightOrder {
    std::size_t b1, f1, f2, b2;
};

SightOrder CanonicalOrder(std::span<const SightRecord, 4> records, LevellingGrade grade) {
    switch (grade) {
        case GradeSecond:
            // A second-order station is observed back-fore-fore-back or
            // fore-back-back-fore; the first record's code alone decides.
            if (IsBackSight(records[0])) return {0, 1, 2, 3};
            return {1, 0, 3, 2};
        case GradeThird:
            return {0, 1, 2, 3};
        default:
            // Fourth order (and no grade): back-back-fore-fore.
            return {0, 2, 3, 1};
    }
}

// The record-book form of a reading: "%0<width>d", then one more '0' after a
// minus sign that took a digit place, then a space before the last `tail`
// characters. Taken together: the sign, the magnitude zero-padded to `width`
// digits (a longer one keeps all its digits), and the space.
void FormatReadingColumn(std::string& field, int width, std::size_t tail) {
    const std::int64_t value = ParseInt(field);
    char digits[16];
    const auto res = std::to_chars(digits, digits + sizeof digits, value < 0 ? -value : value);
    const auto count = static_cast<std::size_t>(res.ptr - digits);
    const auto padded = static_cast<std::size_t>(width);
    const std::size_t zeros = padded > count ? padded - count : 0;

    char buf[32];
    char* out = buf;
    if (value < 0) *out++ = '-';
    // The padded width always exceeds tail, so the space never lands before
    // the sign.
    const std::size_t head = zeros + count - tail;
    for (std::size_t i = 0; i < zeros + count; ++i) {
        if (i == head) *out++ = ' ';
        *out++ = i < zeros ? '0' : digits[i - zeros];
    }
    field.assign(buf, out);
}

}  // namespace

StationResult ComputeStation(std::span<const SightRecord, 4> records, LevellingGrade grade,
                             double& sigma) {
    const SightOrder order = CanonicalOrder(records, grade);
    std::int32_t b1 = records[order.b1].Reading;
    std::int32_t f1 = records[order.f1].Reading;
    std::int32_t f2 = records[order.f2].Reading;
    std::int32_t b2 = records[order.b2].Reading;
    if (grade != GradeSecond) {
        // Below second order the book keeps readings in 0.1 mm; C++ division
        // truncates toward zero, so -9 becomes 0 and -15 becomes -1.
        b1 /= 10;
        f1 /= 10;
        f2 /= 10;
        b2 /= 10;
    }
    const std::int32_t db1 = records[order.b1].Distance;
    const std::int32_t df1 = records[order.f1].Distance;
    const std::int32_t df2 = records[order.f2].Distance;
    const std::int32_t db2 = records[order.b2].Distance;

    const double backSum = static_cast<double>(Add(db1, db2));
    const double foreSum = static_cast<double>(Add(df1, df2));
    const std::int32_t firstHeight = Sub(b1, f1);
    const std::int32_t secondHeight = Sub(b2, f2);

    // Mean back minus mean fore distance in metres. The running sum adds
    // the differences as shown (to 0.1 m), so the column always equals the
    // sum of the rows above it.
    std::string distanceError = FormatFixed((backSum / 20.0 - foreSum / 20.0) / 100.0, 1);
    sigma += ParseDouble(distanceError);

    // The staff positions, visited in row order: the last back sight names
    // the back point, the last other sight the fore point.
    const std::string* backPoint = nullptr;
    const std::string* forePoint = nullptr;
    for (const SightRecord& record : records) {
        (IsBackSight(record) ? backPoint : forePoint) = &record.PointId;
    }

    return StationResult{
        .sBack_I = FormatInt(b1),
        .sBack_II = FormatInt(b2),
        .sFore_Back_I = FormatSigned(Sub(b1, b2)),
        .sFore_I = FormatInt(f1),
        .sFore_II = FormatInt(f2),
        .sFore_Back_II = FormatSigned(Sub(f1, f2)),
        // Mean sight distances in decimetres (mm sum / 2 / 100).
        .sDis_Back = FormatFixed(backSum / 200.0, 0),
        .sDis_Fore = FormatFixed(foreSum / 200.0, 0),
        .sFBI_Height = FormatInt(firstHeight),
        .sFBII_Height = FormatInt(secondHeight),
        .sFore_Back = FormatSigned(Sub(firstHeight, secondHeight)),
        .sDistance_Error = std::move(distanceError),
        .sSigma_d = FormatFixed(sigma, 1),
        .sH = FormatFixed(0.5 * static_cast<double>(Add(secondHeight, firstHeight)), 0),
        .sTarget_Back = backPoint ? *backPoint : std::string(),
        .sTarget_Fore = forePoint ? *forePoint : std::string(),
    };
}

void FormatStationColumns(StationResult& station, LevellingGrade grade) {
    const bool second = grade == GradeSecond;
    // Readings: 1234 56 (10^-5 m) in second order, 12 345 (10^-4 m) below.
    const int width = second ? 5 : 4;
    const std::size_t tail = second ? 2 : 3;
    for (std::string StationResult::*field :
         {&StationResult::sBack_I, &StationResult::sBack_II, &StationResult::sFore_I,
          &StationResult::sFore_II, &StationResult::sFBI_Height, &StationResult::sFBII_Height}) {
        FormatReadingColumn(station.*field, width, tail);
    }
    // The mean height difference gets one more integer place: 0580 28, 0 5803.
    FormatReadingColumn(station.sH, second ? 6 : 5, second ? 2 : 4);
}

}  // namespace lorvex
