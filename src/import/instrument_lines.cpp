#include "import/instrument_lines.h"

#include <algorithm>
#include <unordered_map>

#include "import/text_decode.h"
#include "levelling/number_text.h"

namespace lorvex {
namespace {

std::string Text(int id, std::initializer_list<std::string_view> args) {
    return FormatMessageArgs(LoadString(id), args);
}

std::string Lines(std::size_t first, std::size_t last) {
    std::string text = FormatInt(static_cast<std::int32_t>(first));
    if (last != first) text.append("–").append(FormatInt(static_cast<std::int32_t>(last)));
    return text;
}

std::string LineNumber(std::size_t line) { return FormatInt(static_cast<std::int32_t>(line)); }

bool HasStationResults(const InstrumentResults& r) {
    return r.stationDifference || r.differenceSum || r.distanceDifferenceSum || r.lineLength ||
           r.backDistanceSum || r.foreDistanceSum;
}

// Takes the values the station does not have yet: the instrument writes each
// once, and a second copy (a repeated word) must not overwrite the first.
void Merge(InstrumentResults& into, const InstrumentResults& from) {
    const auto take = [](std::optional<InstrumentValue>& a,
                         const std::optional<InstrumentValue>& b) {
        if (!a && b) a = b;
    };
    take(into.stationDifference, from.stationDifference);
    take(into.differenceSum, from.differenceSum);
    take(into.distanceDifferenceSum, from.distanceDifferenceSum);
    take(into.lineLength, from.lineLength);
    take(into.backDistanceSum, from.backDistanceSum);
    take(into.foreDistanceSum, from.foreDistanceSum);
    take(into.height, from.height);
}

Observation MakeObservation(const InstrumentBlock& block) {
    Observation o;
    o.kind = *block.readingKind;
    o.point = TextOf(block.point);
    o.reading = block.reading;
    o.distance = *block.distance;
    o.fileLine = block.fileLine;
    if (block.time.size() == o.time.size()) {
        std::copy(block.time.begin(), block.time.end(), o.time.begin());
    }
    return o;
}

}  // namespace

std::string TextOf(std::string_view bytes) {
    const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return ascii ? std::string(bytes) : DecodeMeasurementText(std::string(bytes));
}

InstrumentLineBuilder::InstrumentLineBuilder(InstrumentFormat format, AddressStyle style)
    : format_(format), style_(style) {}

void InstrumentLineBuilder::Message(UserMessage message) {
    if (open_) line_.messages.push_back(message);
    file_.messages.push_back(std::move(message));
}

void InstrumentLineBuilder::StartLine(LevellingMethod method, std::string_view methodText,
                                      std::size_t fileLine, std::optional<std::uint32_t> address) {
    if (open_) FinishLine();
    line_ = InstrumentLine{};
    line_.method = method;
    line_.fileLine = fileLine;
    open_ = true;
    pending_ = Pending{};
    closedStations_ = 0;
    lastClosedKept_ = false;
    outsideReported_ = false;
    gaps_.clear();
    TrackAddress(fileLine, address);
    if (method == LevellingMethod::Unknown) {
        Message({Text(IDS_METHOD_UNKNOWN, {LineNumber(fileLine), TextOf(methodText)}),
                 MessageIcon::Warning});
    }
}

void InstrumentLineBuilder::EndLine(std::size_t fileLine, std::optional<std::uint32_t> address) {
    if (!open_) return;
    TrackAddress(fileLine, address);
    FinishLine();
    open_ = false;
}

void InstrumentLineBuilder::TrackAddress(std::size_t fileLine,
                                         std::optional<std::uint32_t> address) {
    if (!open_ || !address) return;
    const std::uint32_t m = style_.modulus;
    const std::uint32_t a = *address % m;
    if (!line_.addresses.empty()) {
        // The instrument numbers every record it writes, one up from the
        // last. A jump forward means records were taken out afterwards; a
        // jump of more than half the range is a renumbering, not a loss.
        AddressRun& run = line_.addresses.back();
        const std::uint32_t expected = (run.first + run.count) % m;
        if (a == expected) {
            ++run.count;
            return;
        }
        const std::uint32_t missing = (a + m - expected) % m;
        if (missing < m / 2) gaps_.push_back({expected, (a + m - 1) % m, fileLine});
    }
    line_.addresses.push_back({a, 1, fileLine});
}

void InstrumentLineBuilder::NoteAddress(std::size_t fileLine,
                                        std::optional<std::uint32_t> address) {
    TrackAddress(fileLine, address);
}

void InstrumentLineBuilder::IgnoreFileLine(std::size_t fileLine, std::string_view reason) {
    Message({Text(IDS_FILE_LINE_IGNORED, {LineNumber(fileLine), reason}), MessageIcon::Warning});
}

void InstrumentLineBuilder::AddBlock(const InstrumentBlock& block) {
    if (!open_) {
        if ((block.readingKind || HasStationResults(block.results)) && !outsideReported_) {
            file_.messages.push_back(
                {Text(IDS_OUTSIDE_LINE, {LineNumber(block.fileLine)}), MessageIcon::Warning});
            outsideReported_ = true;
        }
        return;
    }
    TrackAddress(block.fileLine, block.address);
    if (!block.fault.empty()) {
        Fault(block);
        return;
    }
    if (!block.readingKind) {
        ApplyResults(block, false);
        return;
    }
    if (!block.distance) {
        InstrumentBlock faulty = block;
        faulty.fault = LoadString(IDS_NO_DISTANCE);
        Fault(faulty);
        return;
    }
    if (*block.readingKind == SightKind::Intermediate || ReadingsPerStation(line_.method) == 0) {
        // Listed with the line, never part of a station.
        line_.observations.push_back(MakeObservation(block));
        return;
    }
    const bool startsStation = pending_.count == 0;
    AddReading(block);
    ApplyResults(block, startsStation);
}

namespace {

// The canonical sight a reading fills, or -1 when the method has no place
// for it. A reading whose series the format does not say takes the first
// free place of its kind.
int SlotFor(SightKind kind, std::uint8_t series, int perStation,
            const std::array<std::int32_t, 4>& sights) {
    const bool back = kind == SightKind::Back;
    const int first = back ? SightB1 : SightF1;
    const int second = back ? SightB2 : SightF2;
    if (series == 1) return first;
    if (series == 2) return perStation == 4 ? second : -1;
    if (perStation == 2) return first;
    return sights[static_cast<std::size_t>(first)] == -1 ? first : second;
}

}  // namespace

void InstrumentLineBuilder::AddReading(const InstrumentBlock& block) {
    const int per = ReadingsPerStation(line_.method);
    const int slot = SlotFor(*block.readingKind, block.series, per, pending_.sights);
    if (slot < 0) {
        InstrumentBlock faulty = block;
        faulty.fault = LoadString(IDS_READING_NOT_IN_METHOD);
        Fault(faulty);
        return;
    }
    // A second reading for a place already filled starts the next station:
    // the one in progress lacks readings.
    if (pending_.sights[static_cast<std::size_t>(slot)] != -1) CloseIncomplete();

    std::int32_t index = -2;
    if (block.fault.empty()) {
        index = static_cast<std::int32_t>(line_.observations.size());
        line_.observations.push_back(MakeObservation(block));
        line_.readingUnit = std::max(line_.readingUnit, block.readingUnit);
    } else if (pending_.fault.empty()) {
        pending_.fault = block.fault;
        pending_.faultLine = block.fileLine;
    }
    pending_.sights[static_cast<std::size_t>(slot)] = index;
    pending_.order.push_back(*block.readingKind == SightKind::Back ? 'B' : 'F');
    if (pending_.count++ == 0) pending_.firstLine = block.fileLine;
    pending_.lastLine = block.fileLine;
    if (pending_.count == per) CloseStation();
}

void InstrumentLineBuilder::Fault(const InstrumentBlock& block) {
    const int per = ReadingsPerStation(line_.method);
    if (block.readingKind && *block.readingKind != SightKind::Intermediate && per > 0 &&
        SlotFor(*block.readingKind, block.series, per, pending_.sights) >= 0) {
        // The reading's place is known: it still ends its station there, so
        // the stations after it are grouped as the instrument grouped them.
        AddReading(block);
        return;
    }
    // An intermediate sight is in no station, so no station suffers for it.
    if (pending_.count > 0 && per > 0 && block.readingKind != SightKind::Intermediate) {
        if (pending_.fault.empty()) {
            pending_.fault = block.fault;
            pending_.faultLine = block.fileLine;
        }
        return;
    }
    IgnoreFileLine(block.fileLine, block.fault);
}

void InstrumentLineBuilder::LeaveOut(std::string_view lines, std::string_view reason) {
    Message({Text(IDS_STATION_LEFT_OUT, {lines, reason}), MessageIcon::Warning});
}

void InstrumentLineBuilder::CloseStation() {
    ++closedStations_;
    if (!pending_.fault.empty()) {
        LeaveOut(LineNumber(pending_.faultLine), pending_.fault);
        lastClosedKept_ = false;
    } else {
        InstrumentStation station;
        station.sights = pending_.sights;
        station.order = std::move(pending_.order);
        for (const std::int32_t i : station.sights) {
            if (i >= 0) line_.observations[static_cast<std::size_t>(i)].inStation = true;
        }
        line_.stations.push_back(std::move(station));
        lastClosedKept_ = true;
    }
    pending_ = Pending{};
}

void InstrumentLineBuilder::CloseIncomplete() {
    if (pending_.count == 0) return;
    ++closedStations_;
    lastClosedKept_ = false;
    if (!pending_.fault.empty()) {
        LeaveOut(LineNumber(pending_.faultLine), pending_.fault);
    } else {
        const std::string reason =
            Text(IDS_READINGS_MISSING,
                 {FormatInt(pending_.count), FormatInt(ReadingsPerStation(line_.method))});
        LeaveOut(Lines(pending_.firstLine, pending_.lastLine), reason);
    }
    pending_ = Pending{};
}

void InstrumentLineBuilder::ApplyResults(const InstrumentBlock& block, bool startedStation) {
    const InstrumentResults& r = block.results;
    if (pending_.count > 0) {
        // Results in the middle of a station: the station ended early.
        if (HasStationResults(r)) {
            CloseIncomplete();
            return;
        }
        // The first back sight may carry the height of the start point.
        if (r.height && startedStation && closedStations_ == 0 && !line_.startHeight &&
            block.readingKind == SightKind::Back) {
            line_.startHeight = r.height;
        }
        return;
    }
    if (closedStations_ == 0) {
        if (r.height && !line_.startHeight) line_.startHeight = r.height;
        return;
    }
    // Results that follow a left-out station belong to it and go with it.
    if (lastClosedKept_) Merge(line_.stations.back().instrument, r);
}

void InstrumentLineBuilder::RepeatStation(std::size_t fileLine,
                                          std::optional<std::uint32_t> address) {
    if (!open_) return;
    TrackAddress(fileLine, address);
    std::vector<std::int32_t> replaced;
    if (pending_.count > 0) {
        for (const std::int32_t i : pending_.sights) {
            if (i >= 0) replaced.push_back(i);
        }
        pending_ = Pending{};
    } else if (closedStations_ > 0) {
        if (lastClosedKept_) {
            for (const std::int32_t i : line_.stations.back().sights) {
                if (i >= 0) replaced.push_back(i);
            }
            line_.stations.pop_back();
        }
        --closedStations_;
        lastClosedKept_ = false;
    } else {
        IgnoreFileLine(fileLine, LoadString(IDS_REPEAT_AT_START));
        return;
    }
    // The replaced readings come after every kept station's, so removing
    // them moves no index a station holds.
    std::sort(replaced.begin(), replaced.end(), std::greater<>());
    for (const std::int32_t i : replaced) {
        line_.observations.erase(line_.observations.begin() + i);
    }
}

std::string InstrumentLineBuilder::UniqueName(std::string name) {
    const int same = nameCounts_[name]++;
    if (same > 0) name.append(" (").append(FormatInt(same + 1)).append(")");
    return name;
}

void InstrumentLineBuilder::FinishLine() {
    CloseIncomplete();

    // A line runs from its first back sight to its last fore sight, whether
    // or not their stations could be kept.
    std::size_t intermediate = 0;
    const Observation* first = nullptr;
    const Observation* last = nullptr;
    for (const Observation& o : line_.observations) {
        if (o.kind == SightKind::Intermediate) {
            ++intermediate;
        } else if (o.kind == SightKind::Back) {
            if (!first) first = &o;
        } else {
            last = &o;
        }
    }
    if (!first) first = last;
    if (!last) last = first;
    line_.name = UniqueName(first ? first->point + "-" + last->point
                                  : LoadString(IDS_LINE_WITHOUT_READINGS));

    for (const Gap& gap : gaps_) {
        std::string where = LoadString(IDS_GAP_LINE_END);
        // The station after the gap is the first one with a reading past it.
        for (std::size_t k = 0; k < line_.stations.size(); ++k) {
            const InstrumentStation& s = line_.stations[k];
            std::size_t lastLine = 0;
            for (const std::int32_t i : s.sights) {
                if (i >= 0) {
                    lastLine = std::max(lastLine,
                                        line_.observations[static_cast<std::size_t>(i)].fileLine);
                }
            }
            if (lastLine >= gap.fileLine) {
                where =
                    Text(IDS_GAP_STATION,
                         {FormatInt(static_cast<std::int32_t>(k + 1)),
                          line_.observations[static_cast<std::size_t>(s.sights[SightB1])].point,
                          line_.observations[static_cast<std::size_t>(s.sights[SightF1])].point});
                break;
            }
        }
        std::string missing = FormatIntPadded(static_cast<std::int32_t>(gap.first), style_.digits);
        if (gap.last != gap.first) {
            missing.append("–").append(
                FormatIntPadded(static_cast<std::int32_t>(gap.last), style_.digits));
        }
        Message({Text(IDS_ADDRESS_GAP, {line_.name, where, missing}), MessageIcon::Warning});
    }
    if (intermediate > 0) {
        Message({Text(IDS_INTERMEDIATE_SIGHTS,
                      {line_.name, FormatInt(static_cast<std::int32_t>(intermediate))}),
                 MessageIcon::Warning});
    }
    for (UserMessage& m : CrossCheckLine(line_)) Message(std::move(m));

    file_.lines.push_back(std::move(line_));
    line_ = InstrumentLine{};
}

InstrumentFile InstrumentLineBuilder::Finish() {
    if (open_) {
        FinishLine();
        open_ = false;
    }
    file_.format = format_;
    return std::move(file_);
}

}  // namespace lorvex
