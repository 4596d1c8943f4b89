#include "import/record_format.h"

#include <cmath>

#include "import/fields.h"
#include "levelling/number_text.h"

namespace lorvex {
namespace {

constexpr std::string_view kColumnHeaderMark = "PtID";

// What one pass over a trimmed, non-empty line tells: its field count (the
// runs of non-space characters, or none at all when there is no space),
// whether it holds "@", and whether it may hold the column-header mark
// ("Pt" somewhere; only then is the mark looked for). Written as one flat
// loop with no early exit so that the compiler can vectorise it: classifying
// every line of a file is the reader's hot path.
struct LineShape {
    std::size_t fields;
    bool at;
    bool maybeHeader;
};

LineShape ShapeOfTrimmed(std::string_view t) {
    const auto* p = reinterpret_cast<const unsigned char*>(t.data());
    std::size_t runs = 1;  // a trimmed line starts with a non-space
    unsigned at = p[0] == '@';
    unsigned pt = 0;
    for (std::size_t i = 1; i < t.size(); ++i) {
        runs += static_cast<std::size_t>((p[i] != ' ') & (p[i - 1] == ' '));
        at |= static_cast<unsigned>(p[i] == '@');
        pt |= static_cast<unsigned>((p[i] == 't') & (p[i - 1] == 'P'));
    }
    return {runs == 1 ? 0 : runs, at != 0, pt != 0};
}

// Whether a part can stand as one field of a record and read back unchanged.
bool IsFieldText(std::string_view text) {
    if (text.empty() || HasColumnHeaderMark(text)) return false;
    for (const char c : text) {
        if (IsBlank(c) || c == '@') return false;
    }
    return true;
}

}  // namespace

ClassifiedLine ClassifyLine(std::string_view line) {
    ClassifiedLine c;
    c.trimmed = TrimBlanks(line);
    if (c.trimmed.empty()) return c;
    const LineShape shape = ShapeOfTrimmed(c.trimmed);
    if (shape.fields != kRecordFieldCount) {
        c.kind = TextLineKind::Ignored;
    } else if (shape.maybeHeader && HasColumnHeaderMark(c.trimmed)) {
        c.kind = TextLineKind::ColumnHeader;
    } else if (shape.at) {
        c.kind = TextLineKind::LineStart;
    } else {
        c.kind = TextLineKind::Record;
    }
    return c;
}

bool HasColumnHeaderMark(std::string_view text) {
    return text.find(kColumnHeaderMark) != std::string_view::npos;
}

std::string LineStartName(std::string_view trimmed) {
    const std::size_t at = trimmed.find('@');
    const std::size_t space = trimmed.find(' ');
    if (at == std::string_view::npos || space < at) return {};
    return std::string(trimmed.substr(at + 1, space - at - 1));
}

bool IsNonStationRow(std::span<const std::string_view> fields) {
    if (fields.empty()) return false;
    if (HasColumnHeaderMark(fields[kPointIdField])) return true;
    return fields.size() > kSightCodeField && fields[kSightCodeField] == kIntermediateSightCode;
}

std::string_view RecordPointId(std::string_view record) {
    return record.substr(0, record.find(' '));
}

std::string_view RecordMethodCode(std::string_view record) {
    const std::size_t space = record.rfind(' ');
    return space == std::string_view::npos ? std::string_view() : record.substr(space + 1);
}

LevellingGrade GradeOfMethodCode(std::string_view code) {
    if (code == kMethodCodeSecond) return GradeSecond;
    if (code == kMethodCodeThird) return GradeThird;
    if (code == kMethodCodeFourth) return GradeFourth;
    return GradeNone;
}

std::string_view MethodCodeOfGrade(LevellingGrade grade) {
    switch (grade) {
        case GradeSecond:
            return kMethodCodeSecond;
        case GradeThird:
            return kMethodCodeThird;
        case GradeFourth:
            return kMethodCodeFourth;
        default:
            return {};
    }
}

std::string_view CutAtLastSpace(std::string_view record) {
    const std::size_t space = record.rfind(' ');
    return space == std::string_view::npos ? record : record.substr(0, space);
}

SightRecordSource::Read DataRowRecords::Next(SightRecord& record) {
    while (m_next < m_rows.size()) {
        const std::string_view text = TrimBlanks(m_rows[m_next++]);
        if (text.empty()) continue;
        SplitFields(text, m_fields);
        if (m_fields.empty()) return Read::Invalid;
        // The test comes after the split, so a lone "PtID" with no space in
        // it is a malformed row, not a column header.
        if (IsNonStationRow(m_fields)) continue;
        if (m_fields.size() <= kDistanceField) return Read::Invalid;

        record.PointId.assign(m_fields[kPointIdField]);
        record.SightCode.assign(m_fields[kSightCodeField]);
        // Metres to 10^-5 m (reading) and to millimetres (distance).
        record.Reading = RoundToInt(ParseDouble(m_fields[kReadingField]) * 100000.0);
        record.Distance = RoundToInt(ParseDouble(m_fields[kDistanceField]) * 1000.0);
        return Read::Record;
    }
    return Read::End;
}

std::optional<std::vector<SightRecord>> CollectSightRecords(
    std::span<const std::string_view> rows) {
    std::vector<SightRecord> records;
    records.reserve(rows.size());
    DataRowRecords reader(rows);
    for (;;) {
        SightRecord record;
        switch (reader.Next(record)) {
            case SightRecordSource::Read::Invalid:
                return std::nullopt;
            case SightRecordSource::Read::End:
                return records;
            case SightRecordSource::Read::Record:
                records.push_back(std::move(record));
                break;
        }
    }
}

std::optional<std::string> FormatRecord(const RecordParts& parts) {
    if (!std::isfinite(parts.readingMetres) || !std::isfinite(parts.distanceMetres))
        return std::nullopt;
    const std::string_view time = parts.time.empty() ? std::string_view("0") : parts.time;
    const std::string_view number = parts.number.empty() ? std::string_view("0") : parts.number;
    const std::string reading = FormatFixed(parts.readingMetres, 5);
    const std::string distance = FormatFixed(parts.distanceMetres, 3);
    const std::string_view fields[kRecordFieldCount] = {
        parts.pointId, parts.sightCode, reading, distance, time, number, parts.methodCode};
    std::string text;
    for (const std::string_view field : fields) {
        if (!IsFieldText(field)) return std::nullopt;
        if (!text.empty()) text.push_back(' ');
        text.append(field);
    }
    return text;
}

}  // namespace lorvex
