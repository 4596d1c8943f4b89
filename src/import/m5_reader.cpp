#include "import/m5_reader.h"

#include "import/fields.h"
#include "import/instrument_lines.h"
#include "levelling/number_text.h"

namespace lorvex {
namespace {

using namespace m5;

constexpr std::string_view kLead = "For M5|Adr ";

// Readings and distances beyond these are no staff reading or sight: they
// would only overflow the station arithmetic (10^-5 m).
constexpr std::int64_t kMaxReading = 100'00000;    // 100 m
constexpr std::int64_t kMaxDistance = 1000'00000;  // 1 km

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view Columns(std::string_view line, std::size_t at, std::size_t width) {
    return at < line.size() ? TrimBlanks(line.substr(at, width)) : std::string_view();
}

std::optional<std::uint32_t> Address(std::string_view text) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    std::uint32_t a = 0;
    for (const char c : text) {
        if (!IsDigit(c)) return std::nullopt;
        a = a * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return a;
}

// A decimal metre value to 10^-5 m, and the size of its last written digit.
// More than five decimals round half away from zero.
bool ParseMetres(std::string_view text, std::int64_t& value, std::int64_t& lastDigit) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    std::int64_t whole = 0;
    std::int64_t fraction = 0;
    int decimals = 0;
    int digits = 0;
    bool point = false;
    bool roundUp = false;
    for (const char c : text) {
        if (c == '.' && !point) {
            point = true;
        } else if (IsDigit(c)) {
            if (++digits > 15) return false;
            if (!point) {
                whole = whole * 10 + (c - '0');
            } else if (decimals < 5) {
                fraction = fraction * 10 + (c - '0');
                ++decimals;
            } else if (decimals++ == 5) {
                roundUp = c >= '5';
            }
        } else {
            return false;
        }
    }
    if (digits == 0) return false;
    lastDigit = 1;
    for (int d = decimals; d < 5; ++d) {
        fraction *= 10;
        lastDigit *= 10;
    }
    value = whole * 100000 + fraction + (roundUp ? 1 : 0);
    if (negative) value = -value;
    return true;
}

LevellingMethod MethodFromName(std::string_view name) {
    if (name == "BF") return LevellingMethod::BF;
    if (name == "aBF") return LevellingMethod::aBF;
    if (name == "BFFB") return LevellingMethod::BFFB;
    if (name == "aBFFB") return LevellingMethod::aBFFB;
    if (name == "BFBF") return LevellingMethod::BFBF;
    return LevellingMethod::Unknown;
}

// What a value block's type says. German firmware writes Lr/Lv for the
// back and fore readings and E for the distance.
enum class Value {
    Ignored,
    Back,
    Fore,
    Intermediate,
    Distance,
    Height,
    StationDifference,
    BackSum,
    ForeSum
};

Value ValueType(std::string_view type) {
    if (type == "Rb" || type == "Lr") return Value::Back;
    if (type == "Rf" || type == "Lv") return Value::Fore;
    if (type == "Rz") return Value::Intermediate;
    if (type == "HD" || type == "E") return Value::Distance;
    if (type == "Z") return Value::Height;
    if (type == "Sh") return Value::StationDifference;
    if (type == "Db") return Value::BackSum;
    if (type == "Df") return Value::ForeSum;
    return Value::Ignored;  // dz and whatever else the instrument adds
}

// hh:mm:ss; the same columns hold a temperature on some records.
bool IsTime(std::string_view text) {
    if (text.size() != 8 || text[2] != ':' || text[5] != ':') return false;
    for (const std::size_t i : {0, 1, 3, 4, 6, 7}) {
        if (!IsDigit(text[i])) return false;
    }
    return true;
}

void Fault(InstrumentBlock& block, std::string text) {
    if (block.fault.empty()) block.fault = std::move(text);
}

class M5Reader {
  public:
    M5Reader() : builder_(InstrumentFormat::M5, AddressStyle{100000, 1}) {}

    InstrumentFile Read(std::string_view text) {
        std::size_t number = 0;
        while (!text.empty()) {
            const std::size_t end = text.find('\n');
            std::string_view line = text.substr(0, end);
            text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
            ++number;
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            ReadLine(line, number);
        }
        return builder_.Finish();
    }

  private:
    void ReadLine(std::string_view line, std::size_t number) {
        if (TrimBlanks(line).empty()) return;
        if (!line.starts_with(kLead)) {
            builder_.IgnoreFileLine(number, LoadString(IDS_NOT_M5));
            return;
        }
        const std::optional<std::uint32_t> address =
            Address(Columns(line, kAddress, kAddressWidth));
        const bool whole =
            line.size() >= kLineWidth && line[kType - 1] == '|' && line[kFirstBlock - 1] == '|';
        const std::string_view type = Columns(line, kType, kTypeWidth);
        const std::string_view info =
            line.size() > kInfo ? line.substr(kInfo, kInfoWidth) : std::string_view();

        // Lines of '#' mark the file; they carry no readings.
        if (TrimBlanks(info).starts_with("#####")) {
            builder_.NoteAddress(number, address);
            return;
        }
        if (type == "TO" && whole) {
            ReadText(TrimBlanks(info), number, address);
            return;
        }

        InstrumentBlock block;
        block.fileLine = number;
        block.address = address;
        if (!whole) Fault(block, LoadString(IDS_M5_SHORT));
        if (type == "TO") {
            // A damaged text line: nothing in it can be trusted.
            builder_.IgnoreFileLine(number, block.fault);
            return;
        }
        block.point = Columns(line, kInfo, kPointWidth);
        const std::string_view time = Columns(line, kInfo + kTime, kTimeWidth);
        if (IsTime(time)) block.time = time;
        for (std::size_t b = 0; b < kBlocks; ++b) {
            const std::size_t at = kFirstBlock + b * (kBlockWidth + 1);
            // Only value blocks that are there in full are read.
            if (line.size() < at + kBlockWidth + 1 || line[at + kBlockWidth] != '|') break;
            ReadValue(line.substr(at, kBlockWidth), block);
        }
        builder_.AddBlock(block);
    }

    void ReadText(std::string_view text, std::size_t number, std::optional<std::uint32_t> address) {
        if (text.starts_with("Start-Line")) {
            text.remove_prefix(10);
            text = TrimBlanks(text);
            const std::string_view name = text.substr(0, text.find(' '));
            builder_.StartLine(MethodFromName(name), name, number, address);
        } else if (text.starts_with("End-Line")) {
            builder_.EndLine(number, address);
        } else if (text.starts_with("Station repeated")) {
            builder_.RepeatStation(number, address);
        } else {
            builder_.NoteAddress(number, address);
        }
    }

    static void ReadValue(std::string_view blockText, InstrumentBlock& block) {
        const Value what = ValueType(TrimBlanks(blockText.substr(0, 2)));
        if (what == Value::Ignored) return;
        const bool reading =
            what == Value::Back || what == Value::Fore || what == Value::Intermediate;
        if (reading) {
            if (block.readingKind) {
                Fault(block, LoadString(IDS_TWO_READINGS));
                return;
            }
            block.readingKind = what == Value::Back   ? SightKind::Back
                                : what == Value::Fore ? SightKind::Fore
                                                      : SightKind::Intermediate;
        }
        const std::string_view value = TrimBlanks(blockText.substr(2, kValueWidth));
        const std::string_view unit = TrimBlanks(blockText.substr(2 + kValueWidth + 1, kUnitWidth));
        if (unit == "ft") {
            Fault(block, LoadString(IDS_UNITS_FEET));
            return;
        }
        if (unit != "m") {
            Fault(block, FormatMessageArgs(LoadString(IDS_UNITS_UNKNOWN), {TextOf(unit)}));
            return;
        }
        std::int64_t v = 0;
        std::int64_t lastDigit = 1;
        if (!ParseMetres(value, v, lastDigit)) {
            Fault(block, FormatMessageArgs(LoadString(IDS_VALUE_UNREADABLE), {TextOf(value)}));
            return;
        }
        const InstrumentValue iv{v, lastDigit};
        switch (what) {
            case Value::Back:
            case Value::Fore:
            case Value::Intermediate:
                if (v < -kMaxReading || v > kMaxReading) {
                    Fault(block, LoadString(IDS_VALUE_OUT_OF_RANGE));
                    return;
                }
                block.reading = v;
                block.readingUnit = lastDigit;
                break;
            case Value::Distance:
                if (v < 0 || v > kMaxDistance) {
                    Fault(block, LoadString(IDS_VALUE_OUT_OF_RANGE));
                    return;
                }
                block.distance = v;
                break;
            case Value::Height:
                block.results.height = iv;
                break;
            case Value::StationDifference:
                block.results.stationDifference = iv;
                break;
            case Value::BackSum:
                block.results.backDistanceSum = iv;
                break;
            case Value::ForeSum:
                block.results.foreDistanceSum = iv;
                break;
            case Value::Ignored:
                break;
        }
    }

    InstrumentLineBuilder builder_;
};

}  // namespace

InstrumentFile ReadM5(std::string_view text) { return M5Reader().Read(text); }

}  // namespace lorvex
