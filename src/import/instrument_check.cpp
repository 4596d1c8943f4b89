// The comparison of a line with the instrument's own results. Our values
// come from the line's second-order records (the finest reading unit, and
// the instrument's own order of sights) as the computation reads them, and
// from the same ComputeStation the record book uses.

#include <cmath>
#include <cstdlib>

#include "import/instrument_lines.h"
#include "levelling/number_text.h"
#include "levelling/station.h"

namespace lorvex {
namespace {

// Two units of the last digit written are normal: the instrument rounds
// what it writes, and so do the readings we compute from.
constexpr double kDigitsAllowed = 2.0;
// Distance sums agree to a centimetre (10^-5 m units).
constexpr double kDistanceAllowed = 1000.0;

std::string Millimetres(double units) { return FormatFixed(units / 100.0, 2) + " mm"; }
std::string Metres5(double units) { return FormatFixed(units / 100000.0, 5) + " m"; }
std::string Metres2(double units) { return FormatFixed(units / 100000.0, 2) + " m"; }

// The running distance difference and length the instrument wrote: GSI 573
// and 574 directly, M5 from its running back and fore sums.
std::optional<InstrumentValue> DistanceDifferenceSum(const InstrumentResults& r) {
    if (r.distanceDifferenceSum) return r.distanceDifferenceSum;
    if (r.backDistanceSum && r.foreDistanceSum) {
        return InstrumentValue{
            r.backDistanceSum->value - r.foreDistanceSum->value,
            std::max(r.backDistanceSum->lastDigit, r.foreDistanceSum->lastDigit)};
    }
    return std::nullopt;
}

std::optional<InstrumentValue> LineLength(const InstrumentResults& r) {
    if (r.lineLength) return r.lineLength;
    if (r.backDistanceSum && r.foreDistanceSum) {
        return InstrumentValue{
            r.backDistanceSum->value + r.foreDistanceSum->value,
            std::max(r.backDistanceSum->lastDigit, r.foreDistanceSum->lastDigit)};
    }
    return std::nullopt;
}

// Our values for one station, all in 10^-5 m.
struct Ours {
    std::optional<double> stationDifference;
    double heightDifference = 0.0;
    double distanceDifference = 0.0;
    double length = 0.0;
};

Ours FromRecords(std::span<const SightRecord> records, double& sigma) {
    Ours ours;
    double back = 0.0;  // mm, summed over the station's back sights
    double fore = 0.0;
    for (const SightRecord& r : records) (r.SightCode == "B" ? back : fore) += r.Distance;
    if (records.size() == 4) {
        const StationResult s = ComputeStation(records.first<4>(), GradeSecond, sigma);
        ours.stationDifference = ParseInt(s.sFore_Back);
        ours.heightDifference =
            (static_cast<double>(ParseInt(s.sFBI_Height)) + ParseInt(s.sFBII_Height)) / 2.0;
        back /= 2.0;
        fore /= 2.0;
    } else {
        // A single-reading station has no record-book computation: its
        // height difference is the back reading less the fore reading.
        for (const SightRecord& r : records) {
            ours.heightDifference += r.SightCode == "B" ? r.Reading : -r.Reading;
        }
    }
    // Distances are mean back and fore sights; the record holds millimetres.
    ours.distanceDifference = (back - fore) * 100.0;
    ours.length = (back + fore) * 100.0;
    return ours;
}

}  // namespace

std::vector<UserMessage> CrossCheckLine(const InstrumentLine& line) {
    std::vector<UserMessage> messages;
    const int per = ReadingsPerStation(line.method);
    if (per == 0 || line.stations.empty()) return messages;
    std::array<SightRecord, 4> sights;

    // Running values continue from what the instrument wrote at the station
    // before, so a disagreement is reported at the station where it arises
    // (a deleted or edited record), not again at every station after it.
    std::optional<double> height;
    if (line.startHeight) height = static_cast<double>(line.startHeight->value);
    double distanceSum = 0.0;
    double length = 0.0;
    double sigma = 0.0;

    for (std::size_t k = 0; k < line.stations.size(); ++k) {
        const InstrumentStation& station = line.stations[k];
        const std::size_t count = StationSightRecords(line, station, GradeSecond, sights);
        const Ours ours = FromRecords(std::span(sights).first(count), sigma);
        const InstrumentResults& inst = station.instrument;

        const auto report = [&](int quantity, const std::string& theirs, const std::string& our) {
            const auto point = [&](int sight) -> const std::string& {
                return line
                    .observations[static_cast<std::size_t>(
                        station.sights[static_cast<std::size_t>(sight)])]
                    .point;
            };
            messages.push_back(
                {FormatMessageArgs(
                     LoadString(IDS_CHECK_DISAGREES),
                     {line.name, FormatInt(static_cast<std::int32_t>(k + 1)), point(SightB1),
                      point(SightF1), LoadString(quantity), theirs, our}),
                 MessageIcon::Warning});
        };

        if (inst.stationDifference && ours.stationDifference) {
            const double theirs = static_cast<double>(inst.stationDifference->value);
            if (std::fabs(theirs - *ours.stationDifference) >
                kDigitsAllowed * static_cast<double>(inst.stationDifference->lastDigit)) {
                report(IDS_CHECK_STATION_DIFF, Millimetres(theirs),
                       Millimetres(*ours.stationDifference));
            }
        }

        const std::optional<double> ourHeight =
            height ? std::optional<double>(*height + ours.heightDifference) : std::nullopt;
        if (inst.height && ourHeight) {
            const double theirs = static_cast<double>(inst.height->value);
            if (std::fabs(theirs - *ourHeight) >
                kDigitsAllowed * static_cast<double>(inst.height->lastDigit)) {
                report(IDS_CHECK_HEIGHT, Metres5(theirs), Metres5(*ourHeight));
            }
        }
        height = inst.height ? std::optional<double>(static_cast<double>(inst.height->value))
                             : ourHeight;

        const double ourDistanceSum = distanceSum + ours.distanceDifference;
        const std::optional<InstrumentValue> theirDistanceSum = DistanceDifferenceSum(inst);
        if (theirDistanceSum) {
            const double theirs = static_cast<double>(theirDistanceSum->value);
            if (std::fabs(theirs - ourDistanceSum) > kDistanceAllowed) {
                report(IDS_CHECK_DISTANCE_SUM, Metres2(theirs), Metres2(ourDistanceSum));
            }
            distanceSum = theirs;
        } else {
            distanceSum = ourDistanceSum;
        }

        const double ourLength = length + ours.length;
        const std::optional<InstrumentValue> theirLength = LineLength(inst);
        if (theirLength) {
            const double theirs = static_cast<double>(theirLength->value);
            if (std::fabs(theirs - ourLength) > kDistanceAllowed) {
                report(IDS_CHECK_LINE_LENGTH, Metres2(theirs), Metres2(ourLength));
            }
            length = theirs;
        } else {
            length = ourLength;
        }
    }
    return messages;
}

}  // namespace lorvex
