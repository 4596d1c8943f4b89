#pragma once

// The numbers a record book prints beyond the stored texts: a stored text
// through a template's number format ("253" decimetres as 25.3 m), and the
// sums of a page's stations for its check block. Sums are exact: every text
// is read as the decimal it spells, so Σ of a hundred 0.1 m values is never
// 10.000000000000002 before it is printed.

#include <QStringView>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "report/report_template.h"

namespace lorvex::report {

struct TableData;

// Wide enough that no sum of record-book values overflows.
__extension__ typedef __int128 Int128;

// A decimal held exactly: units / 10^decimals.
struct Decimal {
    Int128 units = 0;
    int decimals = 0;
};

// The decimal a stored text spells: "253", "-1.8", "+3", and the grouped
// digits of the readings, "0580 28" (single spaces between digits). nullopt
// for anything else: empty, letters, exponents, more than 9 decimals or 18
// digits.
std::optional<Decimal> ParseDecimal(std::string_view text);

// "/10 %.1f", "*1000", "%+.2f": a power of ten to divide or multiply by,
// then a fixed-point format. Throws std::invalid_argument naming the fault.
NumberFormat ParseNumberFormat(QStringView spec);

// Prints value by format. With %.Nf the shifted value is printed as
// FormatFixed prints a double (halves away from zero); without it, exactly,
// with the decimals the shift gives.
std::string FormatDecimal(const Decimal& value, const NumberFormat& format);

// A stored text through a format; a text that is not a number is printed as
// it stands, so the page never shows a value the table does not hold.
std::string FormatStoredText(std::string_view text, const NumberFormat& format);

// The running sums of one sum's terms over the rows: Prefix(r) is the sum
// of rows [0, r). A cell that is not a number counts as 0.
class SumSeries {
  public:
    SumSeries() = default;
    SumSeries(const TableData& table, const std::vector<SumTerm>& terms);

    int Decimals() const { return m_decimals; }
    Int128 Prefix(int rows) const;
    // The sum of the rows [first, first + count).
    Decimal Sum(int first, int count) const;
    // One row's value.
    Decimal Value(int row) const { return Sum(row, 1); }

  private:
    int m_decimals = 0;
    std::vector<Int128> m_prefix{0};
};

// The value of a sum segment on a page whose rows are [first, first + count).
Decimal PageAggregate(const TextSegment& segment, const SumSeries& series, int first, int count);

}  // namespace lorvex::report
