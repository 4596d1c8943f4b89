#pragma once

// Where the flagged stations of a checked line stand in its data list. A
// station is four records in a row, but the list may hold rows the
// computation passed over (blank rows, column headers, intermediate sights),
// so a station's rows are found through the row each record was read from.
// Nothing is worked out per row ahead of time: a list paints a few dozen
// rows at once, and a line of a hundred thousand records with every station
// flagged must cost no more to mark than one that passes.

#include <cstddef>
#include <vector>

#include "levelling/quality_check.h"

namespace lorvex {

class RowMarks {
  public:
    RowMarks() = default;
    // check of the records read from the rows, and rowOfRecord the row each
    // record came from, ascending (as CollectSightRecords gives them).
    RowMarks(LineCheck check, std::vector<std::size_t> rowOfRecord);

    // The flags of the station whose record row is; null for a row of a
    // station that passes and for a row that is no station's record.
    const StationFlags* FlagsOfRow(std::size_t row) const;
    // Whether no row is marked.
    bool Empty() const { return m_flagged == 0; }
    const LineCheck& Check() const { return m_check; }

  private:
    LineCheck m_check;
    std::vector<std::size_t> m_rowOfRecord;
    std::size_t m_flagged = 0;  // stations with a flag
};

}  // namespace lorvex
