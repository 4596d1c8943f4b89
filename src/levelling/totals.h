#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/grade.h"
#include "levelling/report_header.h"
#include "levelling/station.h"

namespace lorvex {

// The two totals of a line taken as one section.
struct LineTotals {
    double length = 0.0;            // km: sum of mean back and mean fore distances
    double heightDifference = 0.0;  // m: sum of the stations' mean height differences
};

// The line totals, summed one station at a time as computed (before
// FormatStationColumns), so a long line can be formatted and turned into rows
// as it is computed instead of being held twice.
class LineTotalsSum {
  public:
    void Add(const StationResult& station);
    LineTotals Totals(LevellingGrade grade) const;

  private:
    double m_lengthDm = 0.0;  // mean back and fore distances, decimetres
    double m_height = 0.0;    // mean height differences, in the grade's reading unit
};

// One Observation_tbl row, in the table's column order after Record_ID.
struct ObservationRow {
    std::string sStation;
    std::string sDis_Back;
    std::string sDis_Fore;
    std::string sDistance_Error;
    std::string sSigma_d;
    std::string sBack_I;
    std::string sFore_I;
    std::string sBack_II;
    std::string sFore_II;
    std::string sFore_Back_I;
    std::string sFore_Back_II;
    std::string sFore_Back;
    std::string sFBI_Height;
    std::string sFBII_Height;
    std::string sH;
    std::string sTarget_Back;
    std::string sTarget_Fore;

    friend bool operator==(const ObservationRow&, const ObservationRow&) = default;
};

struct ObservationRowField {
    const char* name;
    std::string ObservationRow::*member;
};

// The 17 columns in Observation_tbl order.
extern const std::array<ObservationRowField, 17> kObservationRowFields;

// The Result_tbl row after Record_ID. The line is one section, so no forward
// and backward mean is computed: HeightAvg_Go and HeightAvg_Back stay empty
// and are stored as NULL rather than as a height difference of zero.
struct ResultRow {
    std::string sStationSt;
    std::string sStationEn;
    double dDis_Go = 0.0;
    double dDis_Back = 0.0;
    std::optional<double> HeightAvg_Go;
    std::optional<double> HeightAvg_Back;
    double HeightAvg = 0.0;

    friend bool operator==(const ResultRow&, const ResultRow&) = default;
};

ResultRow MakeResultRow(const ReportHeader& header, const LineTotals& totals);

// The Observation_tbl rows of a line, their texts held end to end in one
// buffer: a station's 17 columns are a few characters each, and a long
// line's rows are many. Reading a row gives a copy (ObservationRow); a column
// reads as a view.
class ObservationTable {
  public:
    static constexpr std::size_t kColumns = 17;

    class const_iterator {
      public:
        using iterator_category = std::input_iterator_tag;
        using value_type = ObservationRow;
        using difference_type = std::ptrdiff_t;
        using reference = const ObservationRow;
        using pointer = void;

        const_iterator() = default;
        const_iterator(const ObservationTable* table, std::size_t row)
            : m_table(table), m_row(row) {}
        const ObservationRow operator*() const { return (*m_table)[m_row]; }
        const_iterator& operator++() {
            ++m_row;
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator before = *this;
            ++m_row;
            return before;
        }
        friend bool operator==(const const_iterator&, const const_iterator&) = default;

      private:
        const ObservationTable* m_table = nullptr;
        std::size_t m_row = 0;
    };
    using iterator = const_iterator;

    std::size_t size() const { return m_ends.size() / kColumns; }
    bool empty() const { return m_ends.empty(); }
    // Room for `rows` rows of the usual text lengths.
    void reserve(std::size_t rows);
    void clear();
    void push_back(const ObservationRow& row);

    // Column `column` (kObservationRowFields order) of row `row`.
    std::string_view Text(std::size_t row, std::size_t column) const;
    // A copy of row `row`; const, so that assigning to one of its texts does
    // not compile as if it changed the table.
    const ObservationRow operator[](std::size_t row) const;
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

    friend bool operator==(const ObservationTable&, const ObservationTable&) = default;

  private:
    friend void AppendObservationRow(ObservationTable&, StationResult&&, int);
    void Append(std::string_view text);

    std::string m_text;
    // Where each text ends in m_text, row after row; a text starts where the
    // one before it ends.
    std::vector<std::uint32_t> m_ends;
};

// The row of a station after FormatStationColumns, at the end of rows;
// stationNumber counts from 1.
void AppendObservationRow(ObservationTable& rows, StationResult&& formatted, int stationNumber);

}  // namespace lorvex
