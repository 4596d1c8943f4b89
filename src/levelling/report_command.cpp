#include "levelling/report_command.h"

#include <array>
#include <optional>
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

// The records of a span, for callers that hold them already.
class SpanSource final : public SightRecordSource {
  public:
    explicit SpanSource(std::span<const SightRecord> records) : m_records(records) {}
    Read Next(SightRecord& record) override {
        if (m_next == m_records.size()) return Read::End;
        record = m_records[m_next++];
        return Read::Record;
    }
    std::size_t RecordsAtMost() const override { return m_records.size() - m_next; }

  private:
    std::span<const SightRecord> m_records;
    std::size_t m_next = 0;
};

PreparedReport Compute(SightRecordSource& source, LevellingGrade grade, const ReportHeader& header,
                       const LimitTable* limits, const UserMessage& invalidStop) {
    std::optional<LineChecker> checker;
    if (limits != nullptr) checker.emplace(grade, *limits);

    PreparedReport out;
    ReportRows& rows = out.rows;
    rows.grade = grade;
    rows.info = header;
    const std::size_t stationsAtMost = source.RecordsAtMost() / kRecordsPerStation;
    rows.observations.reserve(stationsAtMost);
    if (checker) checker->Reserve(stationsAtMost);

    // Each station is computed as soon as its four records are read, counted
    // into the totals while its texts are still plain numbers (the display
    // form of sH holds a space and would no longer parse to the height
    // difference), then formatted into its row. The four records are reused
    // from station to station, so no record outlives its station.
    std::array<SightRecord, kRecordsPerStation> sights;
    std::size_t held = 0;  // records of the station being read
    // Once a station breaks the grade's pattern (or a partial station is
    // left at the end), nothing is computed, but the rest is still read:
    // a row that is no record anywhere stops the command first.
    bool broken = false;
    LineTotalsSum sum;
    double sigma = 0.0;
    for (;;) {
        const SightRecordSource::Read read = source.Next(sights[held]);
        if (read == SightRecordSource::Read::Invalid) return Stop(invalidStop);
        if (read == SightRecordSource::Read::End) break;
        if (++held < kRecordsPerStation) continue;
        held = 0;
        if (broken) continue;
        const std::span<const SightRecord, kRecordsPerStation> station(sights);
        const std::size_t i = rows.observations.size();
        // Only every second station is tested for the pattern, starting with
        // the first.
        if (i % 2 == 0 && !StationPasses(station, grade)) {
            broken = true;
            continue;
        }
        StationResult computed = ComputeStation(station, grade, sigma);
        // The checks read the plain numbers too, before they are formatted.
        if (checker) checker->Add(station, computed);
        sum.Add(computed);
        FormatStationColumns(computed, grade);
        AppendObservationRow(rows.observations, std::move(computed), static_cast<int>(i + 1));
    }
    if (broken || held != 0) return Stop(MessageFromId(IDS_BAD_STATIONS));

    rows.totals = sum.Totals(grade);
    rows.result = MakeResultRow(header, rows.totals);
    if (checker) out.check = std::move(*checker).Finish();
    return out;
}

}  // namespace

PreparedReport ComputeReport(std::span<const SightRecord> records, LevellingGrade grade,
                             const ReportHeader& header) {
    SpanSource source(records);
    return Compute(source, grade, header, nullptr, {});
}

PreparedReport ComputeReport(std::span<const SightRecord> records, LevellingGrade grade,
                             const ReportHeader& header, const LimitTable& limits) {
    SpanSource source(records);
    return Compute(source, grade, header, &limits, {});
}

PreparedReport ComputeReport(SightRecordSource& records, LevellingGrade grade,
                             const ReportHeader& header, const LimitTable* limits,
                             const UserMessage& invalidStop) {
    return Compute(records, grade, header, limits, invalidStop);
}

}  // namespace lorvex
