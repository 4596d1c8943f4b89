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

#include "import/fields.h"
#include "import/line_selection.h"
#include "import/line_store.h"
#include "import/measurement_reader.h"
#include "import/text_decode.h"
#include "base/grade.h"
#include "levelling/report_command.h"
#include "levelling/report_header.h"

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
    lorvex::SplitFieldViews(trimmed, fields);
    if (fields.size() != 7) return Kind::Ignored;
    if (trimmed.find("PtID") != std::string_view::npos) return Kind::Ignored;
    return trimmed.find('@') != std::string_view::npos ? Kind::LineStart : Kind::Record;
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
        const std::string_view trimmed = lorvex::TrimBlanks(text.substr(pos, end - pos));
        switch (KindOf(trimmed, fields)) {
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

// The reader's own count of the lines it did not use, once its result
// carries one; until then the check rests on the records alone.
template <typename Result>
std::optional<std::size_t> IgnoredCount(const Result& result) {
    if constexpr (requires { result.ignored; }) {
        return static_cast<std::size_t>(result.ignored);
    } else {
        return std::nullopt;
    }
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
        for (std::size_t j = 0; j < store.RecordCount(i); ++j) kept.push_back(store.Record(i, j));
    }
    Expect(store.LineCount() <= lorvex::LineStore::kMaxLines, "more lines than the store holds");

    // The reader reads the whole file unless it says it stopped; when it
    // stops, it stops at a line start with every record before it kept.
    const std::optional<std::size_t> ignored = IgnoredCount(result);
    const auto matches = [&](const Tally& t) {
        return t.records == kept.size() && (!ignored || *ignored == t.ignored);
    };
    const Tally& whole = expected.atStart.back();
    if (!result.message) {
        ExpectEqual(whole.records, kept.size(), "records kept of a file read whole");
        if (ignored)
            ExpectEqual(whole.nonEmpty, kept.size() + *ignored + whole.starts,
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
        if (store.RecordCount(i) == 0) continue;
        const std::string_view key = MethodCode(store.Record(i, 0));
        for (std::size_t j = 1; j < store.RecordCount(i); ++j) {
            const std::string_view code = MethodCode(store.Record(i, j));
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
    ExpectEqual(shown.points.size(), shown.codes.size(), "points and codes of a clicked line");
    Expect(shown.points.size() <= records.size(), "more points than records");
    if (shown.outcome == lorvex::LineSelection::Outcome::Detected && shown.points.size() >= 4)
        Expect(lorvex::IsKnownGrade(shown.grade), "a detected pattern without a grade");

    const lorvex::ReportHeader header{.sStationStGo = shown.stationStGo,
                                      .sStationEnGo = shown.stationEnGo};
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
    Expect(result.opened, "memory input reported as not opened");

    // The reader decodes once at its edge; the expectations read the same
    // decoded text.
    const std::string decoded = lorvex::DecodeMeasurementText(std::string(bytes));
    CheckImport(decoded, result, store);

    for (std::size_t line = 0; line < store.LineCount(); ++line) CheckLine(store, line);
    return 0;
}
