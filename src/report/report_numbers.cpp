#include "report/report_numbers.h"

#include <QString>

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "levelling/number_text.h"
#include "report/row_source.h"

namespace lorvex::report {
namespace {

constexpr int kMaxDecimals = 9;
constexpr int kMaxDigits = 18;

Int128 Pow10(int n) {
    Int128 p = 1;
    for (int i = 0; i < n; ++i) p *= 10;
    return p;
}

Decimal Rescaled(Decimal d, int decimals) {
    if (decimals > d.decimals) d.units *= Pow10(decimals - d.decimals);
    d.decimals = decimals;
    return d;
}

std::string UnsignedText(Int128 v) {
    if (v == 0) return "0";
    std::string out;
    while (v > 0) {
        out.push_back(static_cast<char>('0' + static_cast<int>(v % 10)));
        v /= 10;
    }
    std::reverse(out.begin(), out.end());
    return out;
}

}  // namespace

std::optional<Decimal> ParseDecimal(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    std::size_t end = text.size();
    while (end > i && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
    bool negative = false;
    if (i < end && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    Decimal d;
    int digits = 0;
    bool point = false;
    bool any = false;
    for (; i < end; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            if (++digits > kMaxDigits) return std::nullopt;
            d.units = d.units * 10 + (c - '0');
            if (point && ++d.decimals > kMaxDecimals) return std::nullopt;
            any = true;
        } else if (c == '.' && !point) {
            point = true;
        } else if (c == ' ' && any && !point && i + 1 < end &&
                   std::isdigit(static_cast<unsigned char>(text[i + 1]))) {
            // A group of the printed readings: "1234 56".
        } else {
            return std::nullopt;
        }
    }
    if (!any) return std::nullopt;
    if (negative) d.units = -d.units;
    return d;
}

NumberFormat ParseNumberFormat(QStringView spec) {
    NumberFormat f;
    f.present = true;
    for (const QStringView part : spec.split(u' ', Qt::SkipEmptyParts)) {
        if (part.startsWith(u'/') || part.startsWith(u'*')) {
            const QStringView power = part.mid(1);
            if (power.size() < 2 || power[0] != u'1' ||
                power.mid(1).count(u'0') != power.size() - 1 || power.size() > 10) {
                throw std::invalid_argument("number format \"" + part.toString().toStdString() +
                                            "\": divide or multiply by 10, 100, 1000 ...");
            }
            const int places = static_cast<int>(power.size()) - 1;
            f.shift += part.startsWith(u'/') ? places : -places;
        } else if (part.startsWith(u'%')) {
            // %.Nf or %+.Nf
            QStringView rest = part.mid(1);
            if (rest.startsWith(u'+')) {
                f.plus = true;
                rest = rest.mid(1);
            }
            bool ok = rest.size() >= 3 && rest.startsWith(u'.') && rest.endsWith(u'f');
            int decimals = 0;
            if (ok) decimals = rest.mid(1, rest.size() - 2).toInt(&ok);
            if (!ok || decimals < 0 || decimals > 9) {
                throw std::invalid_argument("number format \"" + part.toString().toStdString() +
                                            "\": write %.Nf or %+.Nf, N from 0 to 9");
            }
            f.decimals = decimals;
        } else {
            throw std::invalid_argument("number format \"" + part.toString().toStdString() +
                                        "\": use /10, *10, %.1f or %+.1f");
        }
    }
    return f;
}

std::string FormatDecimal(const Decimal& value, const NumberFormat& format) {
    Decimal d = value;
    d.decimals += format.shift;
    if (d.decimals < 0) {
        d.units *= Pow10(-d.decimals);
        d.decimals = 0;
    }
    std::string out;
    if (format.decimals >= 0) {
        // As the rest of the program prints a number: the double the text
        // spells, through printf's fixed format with halves away from zero.
        const double v = static_cast<double>(d.units) / static_cast<double>(Pow10(d.decimals));
        out = FormatFixed(v, format.decimals);
    } else {
        const Int128 magnitude = d.units < 0 ? -d.units : d.units;
        std::string digits = UnsignedText(magnitude);
        if (d.decimals > 0) {
            if (static_cast<int>(digits.size()) <= d.decimals)
                digits.insert(0, static_cast<std::size_t>(d.decimals) + 1 - digits.size(), '0');
            digits.insert(digits.size() - static_cast<std::size_t>(d.decimals), 1, '.');
        }
        out = (d.units < 0 ? "-" : "") + digits;
    }
    if (format.plus && !out.empty() && out[0] != '-') out.insert(0, 1, '+');
    return out;
}

std::string FormatStoredText(std::string_view text, const NumberFormat& format) {
    if (!format.present) return std::string(text);
    const auto d = ParseDecimal(text);
    return d ? FormatDecimal(*d, format) : std::string(text);
}

SumSeries::SumSeries(const TableData& table, const std::vector<SumTerm>& terms) {
    const std::size_t rows = table.rows.size();
    // Every value as its own decimal first, then all at the finest scale.
    std::vector<Decimal> values(rows);
    for (std::size_t r = 0; r < rows; ++r) {
        for (const SumTerm& term : terms) {
            const auto& row = table.rows[r];
            if (term.index < 0 || term.index >= static_cast<int>(row.size())) continue;
            const auto& cell = row[static_cast<std::size_t>(term.index)];
            if (!cell) continue;
            const auto d = ParseDecimal(*cell);
            if (!d) continue;
            const int scale = std::max(values[r].decimals, d->decimals);
            Decimal sum = Rescaled(values[r], scale);
            sum.units += term.sign * Rescaled(*d, scale).units;
            values[r] = sum;
            m_decimals = std::max(m_decimals, scale);
        }
    }
    m_prefix.assign(rows + 1, 0);
    for (std::size_t r = 0; r < rows; ++r)
        m_prefix[r + 1] = m_prefix[r] + Rescaled(values[r], m_decimals).units;
}

Int128 SumSeries::Prefix(int rows) const {
    const auto last = static_cast<int>(m_prefix.size()) - 1;
    return m_prefix[static_cast<std::size_t>(std::clamp(rows, 0, last))];
}

Decimal SumSeries::Sum(int first, int count) const {
    if (count <= 0) return Decimal{0, m_decimals};
    return Decimal{Prefix(first + count) - Prefix(first), m_decimals};
}

Decimal PageAggregate(const TextSegment& segment, const SumSeries& series, int first, int count) {
    switch (segment.kind) {
        case TextSegment::Kind::PageSum:
            return series.Sum(first, count);
        case TextSegment::Kind::RunningSum:
            return series.Sum(0, first + std::max(count, 0));
        case TextSegment::Kind::PageChange: {
            // A running column (Σd) moves over the page by its last row's
            // value less the value it had when the page began.
            if (count <= 0) return Decimal{0, series.Decimals()};
            const Int128 last = series.Value(first + count - 1).units;
            const Int128 before = first > 0 ? series.Value(first - 1).units : 0;
            return Decimal{last - before, series.Decimals()};
        }
        case TextSegment::Kind::LastValue: {
            const int upTo = first + std::max(count, 0);
            if (upTo <= 0) return Decimal{0, series.Decimals()};
            return series.Value(upTo - 1);
        }
        default:
            return Decimal{0, 0};
    }
}

}  // namespace lorvex::report
