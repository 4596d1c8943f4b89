// Fuzz target for the road from a measurement file to the report rows: the
// import, a click on every line and the report preparation of every shown
// line under each grade. Besides "no crash" (run it with ASan and UBSan), it
// checks on every input that the reader accounts for each line of the file:
//
//   records kept + lines ignored + line starts = non-empty text lines,
//
// and that neither the dual-run split nor the regrouping by method code loses,
// duplicates or alters a record. The expected counts come from an independent
// reading of the decoded text (the field splitter, not the reader's own fast
// counter), so a fault in either shows up as a difference.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "base/grade.h"
#include "import/fields.h"
#include "import/line_selection.h"
#include "import/line_store.h"
#include "import/measurement_reader.h"
#include "import/record_format.h"
#include "import/text_decode.h"
#include "levelling/report_command.h"
#include "levelling/report_header.h"
#include "session/levelling_session.h"

namespace {

[[noreturn]] void Fail(const char* what, std::size_t expected, std::size_t actual) {
    std::fprintf(stderr, "measurement_fuzz: %s: expected %zu, got %zu\n", what, expected, actual);
    std::abort();
}

void Expect(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "measurement_fuzz: %s\n", what);
        std::abort();
    }
}

void ExpectEqual(std::size_t expected, std::size_t actual, const char* what) {
    if (expected != actual) Fail(what, expected, actual);
}

// A measurement record has seven space-separated fields; a line holding
// "PtID" is the level's column header; a record holding "@" opens a line.
enum class Kind { Empty, Ignored, LineStart, Record };

Kind KindOf(std::string_view trimmed, std::vector<std::string_view>& fields) {
    if (trimmed.empty()) return Kind::Empty;
    fields.clear();
    lorvex::SplitFields(trimmed, fields);
    if (fields.size() != 7) return Kind::Ignored;
    if (trimmed.find("PtID") != std::string_view::npos) return Kind::Ignored;
    return trimmed.find('@') != std::string_view::npos ? Kind::LineStart : Kind::Record;
}

// The record format's own classification, folded to the kinds above; it must
// agree with the independent reading line for line.
Kind ClassifiedKind(std::string_view line) {
    switch (lorvex::ClassifyLine(line).kind) {
        case lorvex::TextLineKind::Empty:
            return Kind::Empty;
        case lorvex::TextLineKind::Ignored:
        case lorvex::TextLineKind::ColumnHeader:
            return Kind::Ignored;
        case lorvex::TextLineKind::LineStart:
            return Kind::LineStart;
        case lorvex::TextLineKind::Record:
            return Kind::Record;
    }
    return Kind::Empty;
}

struct Tally {
    std::size_t nonEmpty = 0;
    std::size_t ignored = 0;
    std::size_t starts = 0;
    std::size_t records = 0;
};

// What the file holds, line by line. `atStart[k]` is the tally just ahead of
// line-start record k, and the last entry that of the whole file: the reader
// may stop at a line start when the store is full, never elsewhere.
struct Expected {
    std::vector<Tally> atStart;
    std::vector<std::string_view> records;  // trimmed, in file order
};

Expected ReadExpected(std::string_view text) {
    Expected e;
    Tally t;
    std::vector<std::string_view> fields;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        const std::string_view trimmed = lorvex::TrimBlanks(line);
        const Kind kind = KindOf(trimmed, fields);
        Expect(kind == ClassifiedKind(line), "the record format classifies a line otherwise");
        switch (kind) {
            case Kind::Empty:
                break;
            case Kind::Ignored:
                ++t.nonEmpty;
                ++t.ignored;
                break;
            case Kind::LineStart:
                e.atStart.push_back(t);
                ++t.nonEmpty;
                ++t.starts;
                break;
            case Kind::Record:
                ++t.nonEmpty;
                ++t.records;
                e.records.push_back(trimmed);
                break;
        }
        pos = end + 1;
    }
    e.atStart.push_back(t);
    return e;
}

std::string_view MethodCode(std::string_view record) {
    const std::size_t space = record.rfind(' ');
    return space == std::string_view::npos ? std::string_view() : record.substr(space + 1);
}

void CheckImport(std::string_view decoded, const lorvex::ImportResult& result,
                 const lorvex::LineStore& store) {
    Expected expected = ReadExpected(decoded);

    std::vector<std::string_view> kept;
    for (std::size_t i = 0; i < store.LineCount(); ++i) {
        for (const std::string_view record : store.RecordViews(i)) kept.push_back(record);
    }
    Expect(store.LineCount() <= lorvex::LineStore::kMaxLines, "more lines than the store holds");

    // The reader reads the whole file unless it says it stopped; when it
    // stops, it stops at a line start with every record before it kept.
    const auto matches = [&](const Tally& t) {
        return t.records == kept.size() && result.ignored == t.ignored;
    };
    const Tally& whole = expected.atStart.back();
    const bool noData = whole.nonEmpty > 0 && store.LineCount() == 0;
    if (!result.message || noData) {
        Expect(!result.message ||
                   result.message->text == lorvex::LoadString(lorvex::IDS_NO_MEASUREMENT_DATA),
               "a file without lines warned of something else");
        Expect(noData == result.message.has_value(), "a file without lines was not reported");
        ExpectEqual(whole.records, kept.size(), "records kept of a file read whole");
        ExpectEqual(whole.nonEmpty, kept.size() + result.ignored + whole.starts,
                    "records kept + lines ignored + line starts");
    } else {
        Expect(std::any_of(expected.atStart.begin(), expected.atStart.end(), matches),
               "a stopped import kept other than the records ahead of a line start");
    }

    // Splitting and regrouping move records; they never drop, copy or
    // change one.
    std::vector<std::string_view> want(
        expected.records.begin(),
        expected.records.begin() + static_cast<std::ptrdiff_t>(kept.size()));
    std::sort(want.begin(), want.end());
    std::sort(kept.begin(), kept.end());
    Expect(want == kept, "the records kept are not the file's records");

    // After regrouping, a record whose code differs from its line's first
    // record's code has no earlier line starting with that code to go to.
    std::unordered_set<std::string_view> earlierCodes;
    for (std::size_t i = 0; i < store.LineCount(); ++i) {
        const std::vector<std::string_view> records = store.RecordViews(i);
        if (records.empty()) continue;
        const std::string_view key = MethodCode(records[0]);
        for (std::size_t j = 1; j < records.size(); ++j) {
            const std::string_view code = MethodCode(records[j]);
            Expect(code == key || !earlierCodes.contains(code),
                   "a record was left behind by the regrouping");
        }
        earlierCodes.insert(key);
    }
}

void CheckLine(const lorvex::LineStore& store, std::size_t line) {
    const std::vector<std::string_view> records = store.RecordViews(line);
    const lorvex::LineSelection shown = lorvex::ShowLine(records, lorvex::GradeNone, "BM1", "BM2");
    ExpectEqual(records.size(), shown.rows.size(), "data-list rows of a clicked line");
    std::size_t sights = 0;
    std::vector<std::string_view> fields;
    for (std::size_t i = 0; i < records.size() && i < shown.rows.size(); ++i) {
        Expect(shown.rows[i].data() == records[i].data() &&
                   shown.rows[i] == lorvex::CutAtLastSpace(records[i]),
               "a data-list row that is not its record cut at the last space");
        fields.clear();
        lorvex::SplitFields(lorvex::TrimBlanks(records[i]), fields);
        if (!lorvex::IsNonStationRow(fields)) ++sights;
    }
    if (shown.outcome == lorvex::LineSelection::Outcome::Detected && sights >= 4)
        Expect(lorvex::IsKnownGrade(shown.grade), "a detected pattern without a grade");

    lorvex::ReportHeader header;
    header.sStationStGo = shown.stationStGo;
    header.sStationEnGo = shown.stationEnGo;
    for (const lorvex::LevellingGrade grade :
         {lorvex::GradeNone, lorvex::GradeSecond, lorvex::GradeThird, lorvex::GradeFourth}) {
        const lorvex::PreparedReport report =
            lorvex::PrepareReport(store.LineCount(), shown.rows, grade, header);
        if (report.stop) continue;
        const auto sights = lorvex::CollectSightRecords(shown.rows);
        Expect(sights.has_value(), "a report prepared from rows that hold no sight records");
        ExpectEqual(sights->size() / 4, report.rows.observations.size(),
                    "observation rows of a prepared report");
        Expect(sights->size() % 4 == 0, "a report prepared from a partial station");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    lorvex::LineStore store;
    const lorvex::ImportResult result = lorvex::ReadMeasurementBytes(bytes, store);
    if (!result.opened) {
        // Memory is always readable: only text that is UTF-16 without its
        // byte-order mark is refused, and it leaves the store as it was.
        Expect(lorvex::LooksLikeUtf16WithoutBom(bytes), "memory input refused");
        Expect(result.message.has_value(), "memory input refused without a reason");
        ExpectEqual(0, store.LineCount(), "lines of a refused input");
        return 0;
    }
    Expect(!lorvex::LooksLikeUtf16WithoutBom(bytes), "UTF-16 without a byte-order mark was read");

    // The reader decodes once at its edge; the expectations read the same
    // decoded text.
    const std::string decoded = lorvex::DecodeMeasurementText(std::string(bytes));
    CheckImport(decoded, result, store);

    for (std::size_t line = 0; line < store.LineCount(); ++line) CheckLine(store, line);
    return 0;
}
