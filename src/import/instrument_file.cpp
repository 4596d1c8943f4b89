#include "import/instrument_file.h"

#include <algorithm>
#include <limits>

#include "import/fields.h"
#include "import/gsi_reader.h"
#include "import/instrument_lines.h"
#include "import/m5_reader.h"
#include "import/record_format.h"
#include "levelling/number_text.h"

namespace lorvex {
namespace {

constexpr std::string_view kNoTime = "--:--:--";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A GSI word of `data` data characters at the start of `text`: a two-digit
// word index, four more characters, a sign and the data, then a space or
// the end of the text.
bool StartsWithGsiWord(std::string_view text, std::size_t data) {
    const std::size_t size = 7 + data;
    if (text.size() < size || (text.size() > size && text[size] != ' ')) return false;
    return IsDigit(text[0]) && IsDigit(text[1]) && (text[6] == '+' || text[6] == '-');
}

std::string_view NextLine(std::string_view& rest) {
    const std::size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    return line;
}

}  // namespace

InstrumentFormat DetectInstrumentFormat(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    std::string_view rest = bytes;
    // The first line with anything on it decides between the instrument
    // formats: each writes every line in its own shape.
    std::string_view first;
    while (!rest.empty() && first.empty()) first = TrimBlanks(NextLine(rest));
    if (first.starts_with("For M5|")) return InstrumentFormat::M5;
    if (first.starts_with('*') && StartsWithGsiWord(first.substr(1), 16)) {
        return InstrumentFormat::Gsi16;
    }
    if (StartsWithGsiWord(first, 8)) return InstrumentFormat::Gsi8;

    // An .mdt has seven-field records; a header or a title line may come
    // first, so a few lines are looked at.
    rest = bytes;
    for (int i = 0; i < 64 && !rest.empty(); ++i) {
        const TextLineKind kind = ClassifyLine(NextLine(rest)).kind;
        if (kind == TextLineKind::Record || kind == TextLineKind::LineStart ||
            kind == TextLineKind::ColumnHeader) {
            return InstrumentFormat::Mdt;
        }
    }
    return InstrumentFormat::Unknown;
}

std::string_view FormatName(InstrumentFormat format) {
    switch (format) {
        case InstrumentFormat::Mdt:
            return "MDT";
        case InstrumentFormat::Gsi8:
            return "GSI-8";
        case InstrumentFormat::Gsi16:
            return "GSI-16";
        case InstrumentFormat::M5:
            return "M5";
        case InstrumentFormat::Unknown:
            break;
    }
    return "?";
}

std::string_view MethodName(LevellingMethod method) {
    switch (method) {
        case LevellingMethod::BF:
            return "BF";
        case LevellingMethod::aBF:
            return "aBF";
        case LevellingMethod::BFFB:
            return "BFFB";
        case LevellingMethod::aBFFB:
            return "aBFFB";
        case LevellingMethod::BFBF:
            return "BFBF";
        case LevellingMethod::CheckAndAdjust:
            return "Check-and-adjust";
        case LevellingMethod::Unknown:
            break;
    }
    return "?";
}

int ReadingsPerStation(LevellingMethod method) {
    switch (method) {
        case LevellingMethod::BF:
        case LevellingMethod::aBF:
            return 2;
        case LevellingMethod::BFFB:
        case LevellingMethod::aBFFB:
        case LevellingMethod::BFBF:
            return 4;
        case LevellingMethod::CheckAndAdjust:
        case LevellingMethod::Unknown:
            break;
    }
    return 0;
}

InstrumentFile ReadInstrumentFile(std::string_view bytes) {
    const InstrumentFormat format = DetectInstrumentFormat(bytes);
    if (format != InstrumentFormat::Gsi8 && format != InstrumentFormat::Gsi16 &&
        format != InstrumentFormat::M5) {
        InstrumentFile file;
        file.format = format;
        return file;
    }
    // Both formats are read as bytes: their columns and word lengths count
    // bytes. The few texts kept from them (point names) are decoded one by
    // one where they are not ASCII.
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    return format == InstrumentFormat::M5 ? ReadM5(bytes) : ReadGsi(bytes, format);
}

GradeChoice LineGradeChoice(const InstrumentLine& line) {
    if (line.stations.empty() || ReadingsPerStation(line.method) != 4) return {};
    const auto all = [&](std::string_view a, std::string_view b) {
        return std::all_of(
            line.stations.begin(), line.stations.end(),
            [&](const InstrumentStation& s) { return s.order == a || s.order == b; });
    };
    if (all("BFFB", "FBBF")) {
        // Second-order levelling reads to 0.01 mm; coarser readings point to
        // third order, though the user may still choose.
        return {{GradeSecond, GradeThird}, line.readingUnit <= 1 ? GradeSecond : GradeThird};
    }
    if (all("BFBF", "BBFF")) return {{GradeFourth}, GradeFourth};
    return {};
}

GradeChoice FileGradeChoice(const InstrumentFile& file) {
    std::vector<LevellingGrade> common;
    std::vector<LevellingGrade> any;
    bool first = true;
    bool fine = true;
    for (const InstrumentLine& line : file.lines) {
        const GradeChoice c = LineGradeChoice(line);
        if (c.allowed.empty()) continue;
        fine = fine && line.readingUnit <= 1;
        for (const LevellingGrade g : c.allowed) {
            if (std::find(any.begin(), any.end(), g) == any.end()) any.push_back(g);
        }
        if (first) {
            common = c.allowed;
            first = false;
        } else {
            std::erase_if(common, [&](LevellingGrade g) {
                return std::find(c.allowed.begin(), c.allowed.end(), g) == c.allowed.end();
            });
        }
    }
    // Lines of different patterns share no grade: offer every grade some
    // line allows; the lines that do not fit say so when reported.
    GradeChoice choice;
    choice.allowed = common.empty() ? any : common;
    std::sort(choice.allowed.begin(), choice.allowed.end());
    const auto has = [&](LevellingGrade g) {
        return std::find(choice.allowed.begin(), choice.allowed.end(), g) != choice.allowed.end();
    };
    if (choice.allowed.empty()) return choice;
    if (fine && has(GradeSecond)) {
        choice.preselected = GradeSecond;
    } else if (has(GradeThird)) {
        choice.preselected = GradeThird;
    } else {
        choice.preselected = choice.allowed.front();
    }
    return choice;
}

std::string_view MethodCodeForGrade(LevellingGrade grade) {
    switch (grade) {
        case GradeSecond:
            return "107";
        case GradeThird:
            return "105";
        case GradeFourth:
            return "106";
        default:
            break;
    }
    return "0";
}

namespace {

// The one place that writes a measurement record here (see
// FormatMeasurementRecord); writes over `text`, keeping its storage.
void WriteRecord(std::string& text, std::string_view point, std::string_view sightCode,
                 std::int64_t reading, std::int64_t distance, std::string_view time,
                 std::size_t number, std::string_view methodCode) {
    // Fields are separated by spaces, so a point name keeps its characters
    // but not a space inside it, and an empty one holds its place with "-".
    text.clear();
    if (point.empty()) {
        text.push_back('-');
    } else {
        for (const char c : point) text.push_back(c == ' ' ? '_' : c);
    }
    // The record holds distances to the millimetre, halves away from zero.
    const std::int32_t millimetres = RoundToInt(static_cast<double>(distance) / 100.0);
    text.append(" ")
        .append(sightCode)
        .append(" ")
        .append(FormatFixed(static_cast<double>(reading) / 100000.0, 5))
        .append(" ")
        .append(FormatFixed(millimetres / 1000.0, 3))
        .append(" ")
        .append(time.empty() ? kNoTime : time)
        .append(" ")
        .append(FormatInt(static_cast<std::int32_t>(number)))
        .append(" ")
        .append(methodCode);
}

}  // namespace

std::string FormatMeasurementRecord(std::string_view point, std::string_view sightCode,
                                    std::int64_t reading, std::int64_t distance,
                                    std::string_view time, std::size_t number,
                                    std::string_view methodCode) {
    std::string text;
    text.reserve(48);
    WriteRecord(text, point, sightCode, reading, distance, time, number, methodCode);
    return text;
}

namespace {

// The canonical sights of a station in the order the grade's record book
// reads them; -1 past the station's readings.
std::array<int, 4> StationLayout(const InstrumentLine& line, const InstrumentStation& station,
                                 LevellingGrade grade) {
    const int per = ReadingsPerStation(line.method);
    const bool foreFirst = !station.order.empty() && station.order.front() == 'F';
    std::array<int, 4> layout{SightB1, SightF1, SightF2, SightB2};
    if (per == 2) {
        layout = foreFirst ? std::array<int, 4>{SightF1, SightB1, -1, -1}
                           : std::array<int, 4>{SightB1, SightF1, -1, -1};
    } else if (grade == GradeSecond) {
        // The second-order book takes a station fore-back-back-fore when
        // its first record is a fore sight.
        if (foreFirst) layout = {SightF1, SightB1, SightB2, SightF2};
    } else if (grade != GradeThird) {
        // The fourth-order book reads back, back, fore, fore.
        layout = {SightB1, SightB2, SightF1, SightF2};
    }
    return layout;
}

}  // namespace

void WriteStationRecords(const InstrumentLine& line, const InstrumentStation& station,
                         LevellingGrade grade, std::size_t firstNumber,
                         std::vector<std::string>& records) {
    const std::array<int, 4> layout = StationLayout(line, station, grade);
    records.resize(static_cast<std::size_t>(ReadingsPerStation(line.method)));
    const std::string_view code = MethodCodeForGrade(grade);
    for (std::size_t k = 0; k < records.size(); ++k) {
        const std::int32_t index = station.sights[static_cast<std::size_t>(layout[k])];
        const Observation& o = line.observations[static_cast<std::size_t>(index)];
        WriteRecord(records[k], o.point, o.kind == SightKind::Back ? "B" : "F", o.reading,
                    o.distance, o.Time(), firstNumber + k, code);
    }
}

std::size_t StationSightRecords(const InstrumentLine& line, const InstrumentStation& station,
                                LevellingGrade grade, std::array<SightRecord, 4>& sights) {
    const std::array<int, 4> layout = StationLayout(line, station, grade);
    const auto per = static_cast<std::size_t>(ReadingsPerStation(line.method));
    for (std::size_t k = 0; k < per; ++k) {
        const Observation& o = line.observations[static_cast<std::size_t>(
            station.sights[static_cast<std::size_t>(layout[k])])];
        SightRecord& r = sights[k];
        r.PointId = o.point.empty() ? "-" : o.point;
        std::replace(r.PointId.begin(), r.PointId.end(), ' ', '_');
        r.SightCode = o.kind == SightKind::Back ? "B" : "F";
        // Readings are whole 10^-5 m, as the record's 5 decimals hold them;
        // distances are rounded to the record's millimetres.
        r.Reading = static_cast<std::int32_t>(o.reading);
        r.Distance = RoundToInt(static_cast<double>(o.distance) / 100.0);
    }
    return per;
}

std::vector<std::string> InstrumentLineRecords(const InstrumentLine& line, LevellingGrade grade) {
    std::vector<std::string> records;
    const auto per = static_cast<std::size_t>(ReadingsPerStation(line.method));
    if (per == 0) return records;
    records.reserve(line.stations.size() * per);
    const std::string_view code = MethodCodeForGrade(grade);

    // Intermediate sights are listed where the instrument took them: before
    // the first station reading that follows them in the file. Inside a
    // station whose book order is not the observed order, that is after as
    // many of its records as it has readings before them.
    std::vector<const Observation*> intermediates;
    for (const Observation& o : line.observations) {
        if (o.kind == SightKind::Intermediate) intermediates.push_back(&o);
    }
    std::size_t nextIntermediate = 0;
    const auto listIntermediatesBefore = [&](std::size_t fileLine) {
        for (; nextIntermediate < intermediates.size() &&
               intermediates[nextIntermediate]->fileLine < fileLine;
             ++nextIntermediate) {
            const Observation& o = *intermediates[nextIntermediate];
            // Numbered 0: the running numbers count the stations' records.
            records.push_back(FormatMeasurementRecord(o.point, kIntermediateSightCode, o.reading,
                                                      o.distance, o.Time(), 0, code));
        }
    };

    std::vector<std::string> station;
    std::size_t number = 1;
    for (const InstrumentStation& s : line.stations) {
        WriteStationRecords(line, s, grade, number, station);
        number += station.size();
        // A kept station has a reading in each of its method's places.
        std::array<std::size_t, 4> fileLines{};
        std::size_t readings = 0;
        for (const std::int32_t index : s.sights) {
            if (index >= 0 && readings < fileLines.size())
                fileLines[readings++] = line.observations[static_cast<std::size_t>(index)].fileLine;
        }
        // At most four: an insertion sort (GCC 12's -O2 bounds analysis also
        // reads std::sort of a partial std::array as running past its end).
        for (std::size_t i = 1; i < readings; ++i) {
            for (std::size_t j = i; j > 0 && fileLines[j] < fileLines[j - 1]; --j)
                std::swap(fileLines[j], fileLines[j - 1]);
        }
        for (std::size_t k = 0; k < station.size(); ++k) {
            if (k < readings) listIntermediatesBefore(fileLines[k]);
            records.push_back(std::move(station[k]));
        }
    }
    listIntermediatesBefore(std::numeric_limits<std::size_t>::max());
    return records;
}

}  // namespace lorvex
