#include "levelling/totals.h"

#include <limits>
#include <stdexcept>
#include <utility>

#include "base/fresh_memory.h"
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

void ObservationTable::reserve(std::size_t rows) {
    // Most columns hold three to seven characters; the rare longer ones
    // (point names, long lines' station numbers) only make the buffer grow.
    constexpr std::size_t kTypicalRowText = 96;
    ReserveFresh(m_text, rows * kTypicalRowText);
    ReserveFresh(m_ends, rows * kColumns);
}

void ObservationTable::clear() {
    m_text.clear();
    m_ends.clear();
}

void ObservationTable::Append(std::string_view text) {
    // The offsets are 32-bit: four gigabytes of texts is far beyond any
    // line a level records, and refused rather than wrapped.
    if (m_text.size() + text.size() > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("observation rows too long");
    m_text.append(text);
    m_ends.push_back(static_cast<std::uint32_t>(m_text.size()));
}

void ObservationTable::push_back(const ObservationRow& row) {
    for (const auto& field : kObservationRowFields) Append(row.*field.member);
}

std::string_view ObservationTable::Text(std::size_t row, std::size_t column) const {
    const std::size_t i = row * kColumns + column;
    const std::size_t begin = i == 0 ? 0 : m_ends[i - 1];
    return std::string_view(m_text).substr(begin, m_ends[i] - begin);
}

const ObservationRow ObservationTable::operator[](std::size_t row) const {
    ObservationRow out;
    for (std::size_t c = 0; c < kColumns; ++c)
        out.*kObservationRowFields[c].member = std::string(Text(row, c));
    return out;
}

void AppendObservationRow(ObservationTable& rows, StationResult&& formatted, int stationNumber) {
    const StationResult& s = formatted;
    const std::string number = FormatInt(stationNumber);
    // In kObservationRowFields order.
    for (const std::string_view text :
         {std::string_view(number), std::string_view(s.sDis_Back), std::string_view(s.sDis_Fore),
          std::string_view(s.sDistance_Error), std::string_view(s.sSigma_d),
          std::string_view(s.sBack_I), std::string_view(s.sFore_I), std::string_view(s.sBack_II),
          std::string_view(s.sFore_II), std::string_view(s.sFore_Back_I),
          std::string_view(s.sFore_Back_II), std::string_view(s.sFore_Back),
          std::string_view(s.sFBI_Height), std::string_view(s.sFBII_Height), std::string_view(s.sH),
          std::string_view(s.sTarget_Back), std::string_view(s.sTarget_Fore)}) {
        rows.Append(text);
    }
}

}  // namespace lorvex
