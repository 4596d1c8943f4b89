#pragma once

// Files of other digital levels: Leica GSI (GSI-8 and GSI-16) and Trimble
// DiNi M5. They are read into levelling lines of their own model below and
// turned into our seven-field measurement records on demand, so that the
// rest of the program sees the same records, stations and totals as for an
// .mdt file of the same observations.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/grade.h"
#include "base/messages.h"
#include "base/strings.h"

namespace lorvex {

enum class InstrumentFormat { Unknown, Mdt, Gsi8, Gsi16, M5 };

// Decides the format from the content alone (a .txt or .dat may be any of
// them): an M5 file starts with "For M5|", a GSI-16 file with "*" and a
// 16-character data word, a GSI-8 file with an 8-character data word, and an
// .mdt file has seven-field lines. Anything else is Unknown, which callers
// hand to the .mdt reader as before (it skips what it does not know).
InstrumentFormat DetectInstrumentFormat(std::string_view bytes);

std::string_view FormatName(InstrumentFormat format);

// How the instrument observed the line. aBF and aBFFB alternate the order
// from station to station (odd stations back first, even stations fore
// first); check-and-adjust is the instrument's collimation test.
enum class LevellingMethod { Unknown, BF, aBF, BFFB, aBFFB, BFBF, CheckAndAdjust };

std::string_view MethodName(LevellingMethod method);

// Readings a station of the method has: 2, 4, or 0 when the method's
// readings do not form stations (check-and-adjust, unknown).
int ReadingsPerStation(LevellingMethod method);

enum class SightKind : std::uint8_t { Back, Fore, Intermediate };

// One staff reading as the instrument wrote it. Lengths are integers in
// 10^-5 m, the finest unit any of the formats writes (GSI units 8, 0.01 mm).
struct Observation {
    SightKind kind = SightKind::Back;
    std::string point;
    std::int64_t reading = 0;    // signed: an inverted staff reads negative
    std::int64_t distance = 0;   // horizontal sight distance
    std::size_t fileLine = 0;    // 1-based line of the file
    std::array<char, 8> time{};  // hh:mm:ss as written; zeros when the file has none
    bool inStation = false;      // part of a station that was kept

    std::string_view Time() const {
        return time[0] == '\0' ? std::string_view() : std::string_view(time.data(), time.size());
    }

    friend bool operator==(const Observation&, const Observation&) = default;
};

// A value the instrument computed and wrote, with the size of its last
// written digit (both in 10^-5 m): instruments compute with more digits than
// they write, so comparisons allow for a unit or two of that digit.
struct InstrumentValue {
    std::int64_t value = 0;
    std::int64_t lastDigit = 1;

    friend bool operator==(const InstrumentValue&, const InstrumentValue&) = default;
};

// The instrument's own results after a station, where the file has them.
struct InstrumentResults {
    std::optional<InstrumentValue> stationDifference;      // (B1-F1)-(B2-F2): GSI 571, M5 Sh
    std::optional<InstrumentValue> differenceSum;          // running sum of it: GSI 572
    std::optional<InstrumentValue> distanceDifferenceSum;  // running back minus fore: GSI 573
    std::optional<InstrumentValue> lineLength;             // running length: GSI 574
    std::optional<InstrumentValue> backDistanceSum;        // running back distance: M5 Db
    std::optional<InstrumentValue> foreDistanceSum;        // running fore distance: M5 Df
    std::optional<InstrumentValue> height;                 // height reached: GSI 83, M5 Z

    friend bool operator==(const InstrumentResults&, const InstrumentResults&) = default;
};

// Index of a canonical sight in InstrumentStation::sights.
enum StationSight : int { SightB1 = 0, SightF1 = 1, SightF2 = 2, SightB2 = 3 };

struct InstrumentStation {
    // Observation indices of B1, F1, F2, B2 (first back, first fore, second
    // fore, second back); -1 where the method has no such reading (BF).
    std::array<std::int32_t, 4> sights{-1, -1, -1, -1};
    std::string order;  // sight codes in observed order: "BFFB", "FBBF", "BFBF", "BF", "FB"
    InstrumentResults instrument;

    friend bool operator==(const InstrumentStation&, const InstrumentStation&) = default;
};

// Record addresses the instrument wrote one after another (GSI: the
// information part of word 11; M5: Adr), kept as runs. A new run inside a
// line means records were deleted after the instrument wrote them.
struct AddressRun {
    std::uint32_t first = 0;   // address of the run's first record
    std::uint32_t count = 0;   // records in the run
    std::size_t fileLine = 0;  // file line of the run's first record
};

// One line as the instrument recorded it: from a GSI 41 word or an M5
// Start-Line to the next line start or End-Line.
struct InstrumentLine {
    std::string name;  // first and last point joined by "-"; repeats get " (2)", " (3)", ...
    LevellingMethod method = LevellingMethod::Unknown;
    std::size_t fileLine = 0;                    // of the line start
    std::vector<Observation> observations;       // every readable reading, in file order
    std::vector<InstrumentStation> stations;     // the complete, readable stations
    std::optional<InstrumentValue> startHeight;  // height of the start point, if written
    std::vector<AddressRun> addresses;
    std::int64_t readingUnit = 1;       // coarsest last digit of the readings, 10^-5 m
    std::vector<UserMessage> messages;  // what the reader and the checks said about the line
};

struct InstrumentFile {
    InstrumentFormat format = InstrumentFormat::Unknown;
    std::vector<InstrumentLine> lines;
    std::vector<UserMessage> messages;  // every message, lines' included, in file order
};

// Reads a GSI or M5 file from memory. Never throws on bad content: a station
// that cannot be read whole is left out with a message naming the file line,
// and everything else is kept. Each line is checked against the instrument's
// own results and for deleted records. For an .mdt or unknown content the
// result has that format and no lines.
InstrumentFile ReadInstrumentFile(std::string_view bytes);

// The grades a line's station pattern allows: back-fore-fore-back (also
// alternated) fits second and third order, back-back-fore-fore (observed
// back-fore-back-fore) fourth order, single readings none of our record
// books. A choice of one needs no question.
struct GradeChoice {
    std::vector<LevellingGrade> allowed;
    LevellingGrade preselected = GradeNone;

    friend bool operator==(const GradeChoice&, const GradeChoice&) = default;
};

// Second order is preselected for 0.01 mm readings, third order otherwise.
GradeChoice LineGradeChoice(const InstrumentLine& line);

// One choice for the whole file: the grades every line with stations allows
// (lines without any, such as BF lines, do not restrict it).
GradeChoice FileGradeChoice(const InstrumentFile& file);

// The method code our records carry for a grade (107 second, 105 third, 106
// fourth order); "0" for no grade.
std::string_view MethodCodeForGrade(LevellingGrade grade);

// The line's kept stations as measurement records in the order the grade's
// record book reads them: second order as observed (back-fore-fore-back or
// fore-back-back-fore), third order back-fore-fore-back, fourth order
// back-back-fore-fore. Readings in metres with 5 decimals, distances with 3,
// the instrument's time or "--:--:--", a running number, the grade's code.
// Intermediate sights are listed among them in file order, with the sight
// code kIntermediateSightCode and number 0, so that the computation passes
// over them; left-out stations give no records.
std::vector<std::string> InstrumentLineRecords(const InstrumentLine& line, LevellingGrade grade);

// Formats one seven-field measurement record from its parts. The one place
// that writes a record here: replace it with the record-format seam's
// formatter when the two meet.
std::string FormatMeasurementRecord(std::string_view point, std::string_view sightCode,
                                    std::int64_t reading, std::int64_t distance,
                                    std::string_view time, std::size_t number,
                                    std::string_view methodCode);

}  // namespace lorvex
