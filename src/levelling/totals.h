#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
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

// The row of a station after FormatStationColumns, taking its texts over and
// built in place at the end of rows (a long line's rows are many);
// stationNumber counts from 1.
void AppendObservationRow(std::vector<ObservationRow>& rows, StationResult&& formatted,
                          int stationNumber);

}  // namespace lorvex
