#pragma once

// Station assembly shared by the GSI and the M5 reader. A reader turns each
// line of its file into one InstrumentBlock (a point, a reading with its
// distance, the instrument's results, or a fault) and hands it over; the
// builder groups readings into stations by the line's method, leaves out
// what cannot be read whole, and at each line's end names the line, looks
// for deleted records and checks the line against the instrument.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "import/instrument_file.h"
#include "levelling/station.h"

namespace lorvex {

struct InstrumentBlock {
    std::size_t fileLine = 0;
    std::optional<std::uint32_t> address;
    std::string_view point;
    std::string_view time;  // hh:mm:ss, or empty

    // A staff reading. series is 1 or 2 where the format says which reading
    // of the station it is (GSI 331/335), 0 where order alone tells (M5).
    std::optional<SightKind> readingKind;
    std::uint8_t series = 0;
    std::int64_t reading = 0;
    std::int64_t readingUnit = 1;
    std::optional<std::int64_t> distance;

    InstrumentResults results;

    // The first thing wrong with the block, as the text shown to the user;
    // empty when the block is sound. A faulty block gives no values.
    std::string fault;
};

// How the format numbers its records: addresses run modulo `modulus` and are
// shown with `digits` digits.
struct AddressStyle {
    std::uint32_t modulus = 10000;
    int digits = 4;
};

class InstrumentLineBuilder {
  public:
    InstrumentLineBuilder(InstrumentFormat format, AddressStyle style);

    // Closes the open line, if any, and opens a new one. methodText names an
    // unrecognised method in the message.
    void StartLine(LevellingMethod method, std::string_view methodText, std::size_t fileLine,
                   std::optional<std::uint32_t> address);
    void EndLine(std::size_t fileLine, std::optional<std::uint32_t> address);
    bool LineOpen() const { return open_; }

    void AddBlock(const InstrumentBlock& block);

    // The instrument's "station repeated": the readings that follow replace
    // the station in progress or, if none is, the last station.
    void RepeatStation(std::size_t fileLine, std::optional<std::uint32_t> address);

    // A record that carries no readings (an M5 marker): counts for addresses.
    void NoteAddress(std::size_t fileLine, std::optional<std::uint32_t> address);

    // A file line the reader could not use at all.
    void IgnoreFileLine(std::size_t fileLine, std::string_view reason);

    InstrumentFile Finish();

  private:
    struct Pending {
        std::array<std::int32_t, 4> sights{-1, -1, -1, -1};  // -2: filled by an unreadable reading
        std::string order;
        int count = 0;
        std::size_t firstLine = 0;
        std::size_t lastLine = 0;
        std::string fault;
        std::size_t faultLine = 0;
    };

    void Message(UserMessage message);
    void TrackAddress(std::size_t fileLine, std::optional<std::uint32_t> address);
    void AddReading(const InstrumentBlock& block);
    void Fault(const InstrumentBlock& block);
    void CloseStation();
    void CloseIncomplete();
    void LeaveOut(std::string_view lines, std::string_view reason);
    void ApplyResults(const InstrumentBlock& block, bool startedStation);
    void FinishLine();
    std::string UniqueName(std::string name);

    InstrumentFormat format_;
    AddressStyle style_;
    InstrumentFile file_;
    InstrumentLine line_;
    bool open_ = false;
    Pending pending_;
    int closedStations_ = 0;       // closed in this line, kept or not
    bool lastClosedKept_ = false;  // the last closed station is line_.stations.back()
    bool outsideReported_ = false;
    struct Gap {
        std::uint32_t first;
        std::uint32_t last;
        std::size_t fileLine;
    };
    std::vector<Gap> gaps_;
    std::unordered_map<std::string, int> nameCounts_;  // lines named so far, by name
};

// A text of the file as UTF-8: ASCII as it is, anything else decoded as an
// .mdt's text is (UTF-8 if valid, else GBK).
std::string TextOf(std::string_view bytes);

// The records of one station in the grade's order (see
// InstrumentLineRecords), numbered from firstNumber, written over `records`
// so that a caller going station by station reuses their storage.
void WriteStationRecords(const InstrumentLine& line, const InstrumentStation& station,
                         LevellingGrade grade, std::size_t firstNumber,
                         std::vector<std::string>& records);

// The same station as the computation reads those records back
// (CollectSightRecords), without the text in between; returns how many of
// `sights` it filled. The cross-check runs on these for speed; a test holds
// them equal to the records read back.
std::size_t StationSightRecords(const InstrumentLine& line, const InstrumentStation& station,
                                LevellingGrade grade, std::array<SightRecord, 4>& sights);

// The messages of the comparison with the instrument's own results, one per
// station and quantity that disagrees.
std::vector<UserMessage> CrossCheckLine(const InstrumentLine& line);

}  // namespace lorvex
