#include "levelling/totals.h"

#include <utility>

#include "levelling/number_text.h"

namespace lorvex {

const std::array<ObservationRowField, 17> kObservationRowFields{{
    {"sStation", &ObservationRow::sStation},
    {"sDis_Back", &ObservationRow::sDis_Back},
    {"sDis_Fore", &ObservationRow::sDis_Fore},
    {"sDistance_Error", &ObservationRow::sDistance_Error},
    {"sSigma_d", &ObservationRow::sSigma_d},
    {"sBack_I", &ObservationRow::sBack_I},
    {"sFore_I", &ObservationRow::sFore_I},
    {"sBack_II", &ObservationRow::sBack_II},
    {"sFore_II", &ObservationRow::sFore_II},
    {"sFore_Back_I", &ObservationRow::sFore_Back_I},
    {"sFore_Back_II", &ObservationRow::sFore_Back_II},
    {"sFore_Back", &ObservationRow::sFore_Back},
    {"sFBI_Height", &ObservationRow::sFBI_Height},
    {"sFBII_Height", &ObservationRow::sFBII_Height},
    {"sH", &ObservationRow::sH},
    {"sTarget_Back", &ObservationRow::sTarget_Back},
    {"sTarget_Fore", &ObservationRow::sTarget_Fore},
}};

void LineTotalsSum::Add(const StationResult& station) {
    // The sums run over the texts as stored in the book (whole decimetres,
    // rounded mean height differences), so the totals agree with the rows.
    m_lengthDm += ParseDouble(station.sDis_Back);
    m_lengthDm += ParseDouble(station.sDis_Fore);
    m_height += ParseDouble(station.sH);
}

LineTotals LineTotalsSum::Totals(LevellingGrade grade) const {
    LineTotals totals;
    totals.length = m_lengthDm / 10000.0;  // dm -> km
    // Heights are in 10^-5 m for second order and in 10^-4 m below.
    totals.heightDifference = m_height / (grade == GradeSecond ? 100000.0 : 10000.0);
    return totals;
}

ResultRow MakeResultRow(const ReportHeader& header, const LineTotals& totals) {
    ResultRow row;
    // The line is one section labelled by its forward run; both distance
    // columns get the same length.
    row.sStationSt = header.sStationStGo;
    row.sStationEn = header.sStationEnGo;
    row.dDis_Go = totals.length;
    row.dDis_Back = totals.length;
    row.HeightAvg = totals.heightDifference;
    return row;
}

void AppendObservationRow(std::vector<ObservationRow>& rows, StationResult&& formatted,
                          int stationNumber) {
    // Built as an aggregate and moved in: parenthesised aggregate
    // initialisation inside emplace_back is not accepted by every compiler
    // the project builds with, and one move of the row's strings is cheap.
    StationResult& s = formatted;
    rows.push_back(
        ObservationRow{FormatInt(stationNumber), std::move(s.sDis_Back), std::move(s.sDis_Fore),
                       std::move(s.sDistance_Error), std::move(s.sSigma_d), std::move(s.sBack_I),
                       std::move(s.sFore_I), std::move(s.sBack_II), std::move(s.sFore_II),
                       std::move(s.sFore_Back_I), std::move(s.sFore_Back_II),
                       std::move(s.sFore_Back), std::move(s.sFBI_Height), std::move(s.sFBII_Height),
                       std::move(s.sH), std::move(s.sTarget_Back), std::move(s.sTarget_Fore)});
}

}  // namespace lorvex
