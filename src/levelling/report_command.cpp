#include "levelling/report_command.h"

#include <utility>

#include "levelling/number_text.h"

namespace lorvex {
namespace {

constexpr std::size_t kRecordsPerStation = 4;

bool StationPasses(std::span<const SightRecord, 4> s, LevellingGrade grade) {
    switch (grade) {
        case GradeSecond:
        case GradeThird:
            // Back-fore-fore-back (or its mirror): the outer sights share a
            // staff position, and so do the inner ones.
            return s[0].PointId == s[3].PointId && s[1].PointId == s[2].PointId;
        case GradeFourth:
            // Back-back-fore-fore.
            return s[0].PointId == s[1].PointId && s[2].PointId == s[3].PointId;
        default:
            return true;
    }
}

std::span<const SightRecord, 4> StationAt(std::span<const SightRecord> records,
                                          std::size_t station) {
    return records.subspan(station * kRecordsPerStation).first<kRecordsPerStation>();
}

PreparedReport Stop(UserMessage message) {
    PreparedReport out;
    out.stop = std::move(message);
    return out;
}

}  // namespace

bool CheckStationPattern(std::span<const SightRecord> records, LevellingGrade grade) {
    if (!IsKnownGrade(grade)) return true;
    // Only every second station is tested, starting with the first.
    const std::size_t stations = records.size() / kRecordsPerStation;
    for (std::size_t i = 0; i < stations; i += 2) {
        if (!StationPasses(StationAt(records, i), grade)) return false;
    }
    return true;
}

namespace {

PreparedReport Compute(std::span<const SightRecord> records, LevellingGrade grade,
                       const ReportHeader& header, LineChecker* checker) {
    if (records.size() % kRecordsPerStation != 0 || !CheckStationPattern(records, grade)) {
        return Stop(MessageFromId(IDS_BAD_STATIONS));
    }

    PreparedReport out;
    ReportRows& rows = out.rows;
    rows.grade = grade;
    rows.info = header;

    // Each station is computed, counted into the totals while its texts are
    // still plain numbers (the display form of sH holds a space and would no
    // longer parse to the height difference), then formatted into its row.
    const std::size_t stationCount = records.size() / kRecordsPerStation;
    rows.observations.reserve(stationCount);
    LineTotalsSum sum;
    double sigma = 0.0;
    for (std::size_t i = 0; i < stationCount; ++i) {
        StationResult station = ComputeStation(StationAt(records, i), grade, sigma);
        // The checks read the plain numbers too, before they are formatted.
        if (checker != nullptr) checker->Add(StationAt(records, i), station);
        sum.Add(station);
        FormatStationColumns(station, grade);
        AppendObservationRow(rows.observations, std::move(station), static_cast<int>(i + 1));
    }
    rows.totals = sum.Totals(grade);
    rows.result = MakeResultRow(header, rows.totals);
    return out;
}

}  // namespace

PreparedReport ComputeReport(std::span<const SightRecord> records, LevellingGrade grade,
                             const ReportHeader& header) {
    return Compute(records, grade, header, nullptr);
}

PreparedReport ComputeReport(std::span<const SightRecord> records, LevellingGrade grade,
                             const ReportHeader& header, const LimitTable& limits) {
    LineChecker checker(grade, limits);
    checker.Reserve(records.size() / kRecordsPerStation);
    PreparedReport out = Compute(records, grade, header, &checker);
    if (!out.stop) out.check = std::move(checker).Finish();
    return out;
}

}  // namespace lorvex
