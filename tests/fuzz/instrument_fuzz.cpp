// Fuzz target for the other levels' files (Leica GSI-8/GSI-16, Trimble DiNi
// M5) from bytes to the report rows: the reader, the records each line gives
// under every grade its pattern allows, and the session's import, click and
// report preparation of every line. Besides "no crash" (run it with ASan and
// UBSan) it checks that every record written is a well-formed seven-field
// measurement record that reads back as the reading it came from (an
// intermediate sight's as no sight at all), and that the session's lines are
// the reader's lines.
//
// The first byte picks a line start to put ahead of the rest (none, GSI-16,
// GSI-8, M5), so that mutations reach deep into each reader instead of
// failing its detection.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_source.h"
#include "base/grade.h"
#include "import/fields.h"
#include "import/instrument_file.h"
#include "import/record_format.h"
#include "session/levelling_session.h"

namespace {

void Expect(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "instrument_fuzz: %s\n", what);
        std::abort();
    }
}

class Bytes final : public lorvex::ByteSource {
  public:
    explicit Bytes(std::string_view bytes) : m_bytes(bytes) {}
    std::optional<std::size_t> Read(char* buffer, std::size_t size) override {
        const std::size_t n = std::min(size, m_bytes.size());
        if (n != 0) std::memcpy(buffer, m_bytes.data(), n);
        m_bytes.remove_prefix(n);
        return n;
    }

  private:
    std::string_view m_bytes;
};

constexpr std::string_view kPrefixes[] = {
    "",
    "*410001+0000000000000002 \n",
    "410001+00000002 \n",
    "For M5|Adr     1|TO  Start-Line BFFB            |                      |"
    "                      |                      |\n",
};

void CheckRecords(const lorvex::InstrumentLine& line, lorvex::LevellingGrade grade,
                  const std::vector<std::string>& records) {
    const int per = lorvex::ReadingsPerStation(line.method);
    std::size_t intermediates = 0;
    for (const lorvex::Observation& o : line.observations)
        intermediates += o.kind == lorvex::SightKind::Intermediate ? 1 : 0;
    const std::size_t sightCount = line.stations.size() * static_cast<std::size_t>(per);
    Expect(records.size() == (per == 0 ? 0 : sightCount + intermediates),
           "records other than the kept stations' readings and the intermediate sights");
    std::vector<std::string_view> fields;
    for (const std::string& record : records) {
        fields.clear();
        lorvex::SplitFields(record, fields);
        Expect(fields.size() == lorvex::kRecordFieldCount, "a record without seven fields");
        const bool intermediate = fields[lorvex::kSightCodeField] == lorvex::kIntermediateSightCode;
        const lorvex::ClassifiedLine classified = lorvex::ClassifyLine(record);
        Expect(intermediate || classified.kind == lorvex::TextLineKind::Record,
               "a record that is not a record");
        Expect(lorvex::RecordMethodCode(record) == lorvex::MethodCodeForGrade(grade),
               "a record without its grade's method code");
    }
    const std::vector<std::string_view> rows = [&] {
        std::vector<std::string_view> cut;
        for (const std::string& r : records) cut.push_back(lorvex::CutAtLastSpace(r));
        return cut;
    }();
    // The computation reads the stations' readings and nothing else.
    const auto sights = lorvex::CollectSightRecords(rows);
    Expect(sights.has_value() && sights->size() == (per == 0 ? 0 : sightCount),
           "records that do not read back as the stations' sights");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes;
    if (size > 0) {
        bytes = kPrefixes[data[0] % std::size(kPrefixes)];
        bytes.append(reinterpret_cast<const char*>(data) + 1, size - 1);
    }

    const lorvex::InstrumentFile file = lorvex::ReadInstrumentFile(bytes);
    const lorvex::GradeChoice choice = lorvex::FileGradeChoice(file);
    for (const lorvex::InstrumentLine& line : file.lines) {
        for (const lorvex::InstrumentStation& station : line.stations) {
            for (const std::int32_t sight : station.sights) {
                Expect(sight < static_cast<std::int32_t>(line.observations.size()),
                       "a station names a reading that does not exist");
            }
        }
        for (const lorvex::LevellingGrade grade : choice.allowed) {
            CheckRecords(line, grade, lorvex::InstrumentLineRecords(line, grade));
        }
    }

    // The session lists the reader's lines in file order, whatever grade
    // is picked, and every line can be shown and prepared.
    lorvex::LevellingSession session;
    Bytes source(bytes);
    const lorvex::ImportOutcome outcome = session.ImportBytes(source, "fuzz");
    const bool instrument = file.format != lorvex::InstrumentFormat::Mdt &&
                            file.format != lorvex::InstrumentFormat::Unknown;
    if (!outcome.opened) {
        // Bytes in memory are refused only for what they hold (text that
        // looks like UTF-16 without its byte-order mark), and always with
        // the reason; an instrument's file is never refused.
        Expect(!outcome.messages.empty(), "memory input refused without a reason");
        Expect(!instrument, "an instrument's file refused");
        return 0;
    }
    if (!instrument) return 0;
    Expect(outcome.gradeQuestion.has_value() == (choice.allowed.size() > 1),
           "a grade question other than the pattern's choice");
    std::vector<lorvex::LevellingGrade> grades = choice.allowed;
    if (grades.empty()) grades.push_back(lorvex::GradeNone);
    for (const lorvex::LevellingGrade grade : grades) {
        if (grade != lorvex::GradeNone)
            Expect(session.SetFileGrade(grade), "an allowed grade refused");
        Expect(session.LineCount() == std::min(file.lines.size(), std::size_t{100}),
               "session lines other than the file's lines");
        for (std::size_t i = 0; i < session.LineCount(); ++i) {
            Expect(session.LineName(i) == file.lines[i].name, "a line renamed");
            session.ClickLine(static_cast<int>(i));
            (void)session.PrepareReport();
        }
    }
    return 0;
}
