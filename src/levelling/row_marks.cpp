#include "levelling/row_marks.h"

#include <algorithm>
#include <utility>

namespace lorvex {

RowMarks::RowMarks(LineCheck check, std::vector<std::size_t> rowOfRecord)
    : m_check(std::move(check)), m_rowOfRecord(std::move(rowOfRecord)) {
    m_flagged = m_check.FlaggedStations();
}

const StationFlags* RowMarks::FlagsOfRow(std::size_t row) const {
    if (m_flagged == 0) return nullptr;
    // Station s was computed from records 4s..4s+3; records left over after
    // the last whole station belong to none.
    const auto at = std::lower_bound(m_rowOfRecord.begin(), m_rowOfRecord.end(), row);
    if (at == m_rowOfRecord.end() || *at != row) return nullptr;
    const auto station = static_cast<std::size_t>(at - m_rowOfRecord.begin()) / 4;
    if (station >= m_check.stations.size() || 4 * station + 3 >= m_rowOfRecord.size() ||
        m_check.stations[station].Passes()) {
        return nullptr;
    }
    return &m_check.stations[station];
}

}  // namespace lorvex
