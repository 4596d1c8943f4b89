#include "import/gsi_reader.h"

#include "import/instrument_lines.h"
#include "levelling/number_text.h"

namespace lorvex {
namespace {

// Word indices of a levelling file.
enum : int {
    kPoint = 11,
    kLineStart = 41,
    kDistance = 32,
    kBack1 = 331,
    kFore1 = 332,
    kIntermediate = 333,
    kBack2 = 335,
    kFore2 = 336,
    kStationDifference = 571,
    kDifferenceSum = 572,
    kDistanceDifferenceSum = 573,
    kLineLength = 574,
    kHeight = 83,
};

// Readings and distances beyond these are no staff reading or sight: they
// would only overflow the station arithmetic (10^-5 m).
constexpr std::int64_t kMaxReading = 100'00000;    // 100 m
constexpr std::int64_t kMaxDistance = 1000'00000;  // 1 km

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

struct Word {
    int index = -1;         // -1: not even the index could be read
    std::string_view info;  // information characters after the index, units digit included
    char units = 0;
    bool negative = false;
    std::string_view data;
};

// Families whose word indices have three digits (33x readings, 39x
// statistics, 57x station results); every other index has two.
bool ThreeDigitFamily(int twoDigits) {
    return twoDigits == 33 || twoDigits == 39 || twoDigits == 57;
}

// Splits a word into its parts; returns the fault text or empty.
std::string ParseWord(std::string_view text, InstrumentFormat format, bool starred, Word& word) {
    const std::size_t data = format == InstrumentFormat::Gsi16 ? 16 : 8;
    if (text.size() >= 2 && IsDigit(text[0]) && IsDigit(text[1])) {
        const int two = (text[0] - '0') * 10 + (text[1] - '0');
        if (ThreeDigitFamily(two)) {
            if (text.size() >= 3 && IsDigit(text[2])) word.index = two * 10 + (text[2] - '0');
        } else {
            word.index = two;
        }
    }
    if (text.size() != 7 + data) {
        // A GSI-8 block has no '*'; in a starred block a short word was cut.
        if (format == InstrumentFormat::Gsi16 && !starred && text.size() == 15) {
            return LoadString(IDS_GSI8_IN_GSI16);
        }
        if (text.size() < 7 + data) return LoadString(IDS_WORD_TRUNCATED);
        return FormatMessageArgs(LoadString(IDS_WORD_LENGTH), {FormatName(format)});
    }
    if (word.index < 0) return FormatMessageArgs(LoadString(IDS_VALUE_UNREADABLE), {TextOf(text)});
    const std::size_t indexWidth = word.index >= 100 ? 3 : 2;
    word.info = text.substr(indexWidth, 6 - indexWidth);
    word.units = text[5];
    if (text[6] != '+' && text[6] != '-') {
        return FormatMessageArgs(LoadString(IDS_VALUE_UNREADABLE), {TextOf(text)});
    }
    word.negative = text[6] == '-';
    word.data = text.substr(7);
    return {};
}

// A measured value in 10^-5 m with its last digit; returns the fault text.
std::string ParseValue(const Word& word, std::int64_t& value, std::int64_t& unit) {
    switch (word.units) {
        case '0':
            unit = 100;
            break;  // 1 mm
        case '6':
            unit = 10;
            break;  // 0.1 mm
        case '8':
            unit = 1;
            break;  // 0.01 mm
        case '1':
        case '7':
            return LoadString(IDS_UNITS_FEET);
        default:
            return FormatMessageArgs(LoadString(IDS_UNITS_UNKNOWN),
                                     {std::string_view(&word.units, 1)});
    }
    std::int64_t v = 0;
    for (const char c : word.data) {
        if (!IsDigit(c)) {
            return FormatMessageArgs(LoadString(IDS_VALUE_UNREADABLE), {TextOf(word.data)});
        }
        v = v * 10 + (c - '0');  // at most 16 digits: no overflow
    }
    v *= unit;
    value = word.negative ? -v : v;
    return {};
}

// The running address in the information part of words 11 and 41.
std::optional<std::uint32_t> Address(std::string_view info) {
    if (info.empty()) return std::nullopt;
    std::uint32_t a = 0;
    for (const char c : info) {
        if (!IsDigit(c)) return std::nullopt;
        a = a * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return a;
}

// The data of word 11 with its padding zeros stripped: "0000000000000025"
// is point "25". A point of only zeros is "0".
std::string_view PointName(std::string_view data) {
    const std::size_t first = data.find_first_not_of('0');
    if (first == std::string_view::npos) return data.empty() ? data : data.substr(data.size() - 1);
    return data.substr(first);
}

// Word 41's last data characters give the method: 1 BF, 2 BFFB, 3 aBF,
// 4 aBFFB, 10 check-and-adjust.
LevellingMethod MethodFromCode(std::string_view data, std::string_view& code) {
    std::size_t start = data.size();
    while (start > 0 && IsDigit(data[start - 1])) --start;
    code = data.substr(start);
    const std::size_t nonzero = code.find_first_not_of('0');
    const std::string_view n =
        nonzero == std::string_view::npos ? std::string_view() : code.substr(nonzero);
    if (n == "1") return LevellingMethod::BF;
    if (n == "2") return LevellingMethod::BFFB;
    if (n == "3") return LevellingMethod::aBF;
    if (n == "4") return LevellingMethod::aBFFB;
    if (n == "10") return LevellingMethod::CheckAndAdjust;
    if (!n.empty()) code = n;
    return LevellingMethod::Unknown;
}

bool IsReading(int index) {
    return index == kBack1 || index == kFore1 || index == kBack2 || index == kFore2 ||
           index == kIntermediate;
}

bool IsValueWord(int index) {
    return index == kDistance || IsReading(index) || index == kHeight ||
           (index >= kStationDifference && index <= kLineLength);
}

void SetReadingKind(int index, InstrumentBlock& block) {
    switch (index) {
        case kBack1:
            block.readingKind = SightKind::Back;
            block.series = 1;
            break;
        case kBack2:
            block.readingKind = SightKind::Back;
            block.series = 2;
            break;
        case kFore1:
            block.readingKind = SightKind::Fore;
            block.series = 1;
            break;
        case kFore2:
            block.readingKind = SightKind::Fore;
            block.series = 2;
            break;
        case kIntermediate:
            block.readingKind = SightKind::Intermediate;
            break;
        default:
            break;
    }
}

class GsiReader {
  public:
    explicit GsiReader(InstrumentFormat format)
        : format_(format), builder_(format, AddressStyle{10000, 4}) {}

    InstrumentFile Read(std::string_view text) {
        std::size_t number = 0;
        while (!text.empty()) {
            const std::size_t end = text.find('\n');
            std::string_view line = text.substr(0, end);
            text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
            ++number;
            ReadLine(line, number);
        }
        return builder_.Finish();
    }

  private:
    void ReadLine(std::string_view line, std::size_t number) {
        while (!line.empty() &&
               (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
            line.remove_suffix(1);
        }
        while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
        if (line.empty()) return;
        // A GSI-16 block starts with '*'. Without it the words are still
        // read, and their length tells what they are.
        const bool starred = line.front() == '*';
        if (starred) line.remove_prefix(1);

        InstrumentBlock block;
        block.fileLine = number;
        bool first = true;
        while (!line.empty()) {
            const std::size_t space = line.find(' ');
            const std::string_view text = line.substr(0, space);
            line.remove_prefix(space == std::string_view::npos ? line.size() : space);
            while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
            if (text.empty()) continue;
            Word word;
            std::string fault = ParseWord(text, format_, starred, word);
            if (first && word.index == kLineStart) {
                // A damaged line start still starts a line, of a method we
                // cannot tell, so its readings join no other line.
                std::string_view code = text;
                const LevellingMethod method =
                    fault.empty() ? MethodFromCode(word.data, code) : LevellingMethod::Unknown;
                builder_.StartLine(method, code, number, Address(word.info));
                return;  // the other words of a line start carry nothing we use
            }
            first = false;
            if (fault.empty()) fault = ReadWord(word, block);
            if (!fault.empty()) {
                // A word we would not have used anyway costs nothing.
                if (word.index >= 0 && !IsValueWord(word.index) && word.index != kPoint) continue;
                if (block.fault.empty()) block.fault = std::move(fault);
                if (word.index >= 0 && !block.readingKind) SetReadingKind(word.index, block);
            }
        }
        builder_.AddBlock(block);
    }

    // Takes one sound word into the block; returns a fault text.
    std::string ReadWord(const Word& word, InstrumentBlock& block) {
        if (word.index == kPoint) {
            block.point = PointName(word.data);
            block.address = Address(word.info);
            return {};
        }
        if (!IsValueWord(word.index)) return {};  // 390/391 and unknown words
        std::int64_t value = 0;
        std::int64_t unit = 1;
        std::string fault = ParseValue(word, value, unit);
        if (!fault.empty()) return fault;
        const InstrumentValue v{value, unit};
        switch (word.index) {
            case kDistance:
                if (value < 0 || value > kMaxDistance) return LoadString(IDS_VALUE_OUT_OF_RANGE);
                block.distance = value;
                return {};
            case kStationDifference:
                block.results.stationDifference = v;
                return {};
            case kDifferenceSum:
                block.results.differenceSum = v;
                return {};
            case kDistanceDifferenceSum:
                block.results.distanceDifferenceSum = v;
                return {};
            case kLineLength:
                block.results.lineLength = v;
                return {};
            case kHeight:
                block.results.height = v;
                return {};
            default:
                break;
        }
        if (block.readingKind) return LoadString(IDS_TWO_READINGS);
        SetReadingKind(word.index, block);
        if (value < -kMaxReading || value > kMaxReading) return LoadString(IDS_VALUE_OUT_OF_RANGE);
        block.reading = value;
        block.readingUnit = unit;
        return {};
    }

    InstrumentFormat format_;
    InstrumentLineBuilder builder_;
};

}  // namespace

InstrumentFile ReadGsi(std::string_view text, InstrumentFormat format) {
    return GsiReader(format).Read(text);
}

}  // namespace lorvex
