#include "import/instrument_import.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>

#include "base/strings.h"

namespace lorvex {
namespace {

// Detection looks at the first line for the instruments' formats and at up
// to 64 lines for an .mdt: 64 KiB holds them in any real file.
constexpr std::size_t kPeekSize = std::size_t{64} << 10;

bool IsInstrumentFormat(InstrumentFormat format) {
    return format == InstrumentFormat::Gsi8 || format == InstrumentFormat::Gsi16 ||
           format == InstrumentFormat::M5;
}

// Reads up to `limit` more bytes (all that remain when limit is 0) onto
// `bytes`; false on a read error, with what was read kept.
bool ReadInto(ByteSource& source, std::string& bytes, std::size_t limit) {
    constexpr std::size_t kChunk = std::size_t{1} << 20;
    const std::size_t start = bytes.size();
    for (;;) {
        const std::size_t used = bytes.size();
        std::size_t want = kChunk;
        if (limit != 0) {
            if (used - start >= limit) return true;
            want = std::min(want, limit - (used - start));
        }
        bytes.resize(used + want);
        const std::optional<std::size_t> got = source.Read(bytes.data() + used, want);
        if (!got) {
            bytes.resize(used);
            return false;
        }
        bytes.resize(used + std::min(*got, want));
        if (*got == 0) return true;
    }
}

// Hands out the bytes already peeked, then the rest of the source: the .mdt
// reader sees the file exactly as if nothing had been looked at.
class ReplaySource final : public ByteSource {
  public:
    ReplaySource(std::string_view head, bool headFailed, ByteSource& rest)
        : m_head(head), m_headFailed(headFailed), m_rest(rest) {}
    std::optional<std::size_t> Read(char* buffer, std::size_t size) override {
        if (!m_head.empty()) {
            const std::size_t n = std::min(size, m_head.size());
            std::memcpy(buffer, m_head.data(), n);
            m_head.remove_prefix(n);
            return n;
        }
        if (m_headFailed) return std::nullopt;
        return m_rest.Read(buffer, size);
    }
    std::optional<std::size_t> SizeHint() const override { return m_rest.SizeHint(); }

  private:
    std::string_view m_head;
    bool m_headFailed;
    ByteSource& m_rest;
};

class StreamSource final : public ByteSource {
  public:
    explicit StreamSource(std::ifstream& stream) : m_stream(stream) {}
    std::optional<std::size_t> Read(char* buffer, std::size_t size) override {
        m_stream.read(buffer, static_cast<std::streamsize>(size));
        if (m_stream.bad()) return std::nullopt;
        return static_cast<std::size_t>(m_stream.gcount());
    }

  private:
    std::ifstream& m_stream;
};

// Reads the rest of an instrument file after its first bytes.
AnyFileImport ReadInstrument(std::string bytes, bool headRead, ByteSource& rest,
                             std::string_view displayPath, LineStore& store) {
    AnyFileImport out;
    const bool complete = headRead && ReadInto(rest, bytes, 0);
    store.Clear();
    out.instrument = std::make_unique<InstrumentFile>(ReadInstrumentFile(bytes));
    if (!complete) {
        // What was read stays; the user learns the file was not read to its end.
        out.result.message =
            UserMessage{FormatMessage1(LoadString(IDS_READ_ERROR), displayPath), MessageIcon::Stop};
    }
    return out;
}

}  // namespace

bool HasSingleReadingStations(const InstrumentLine& line) {
    return ReadingsPerStation(line.method) == 2;
}

AnyFileImport ReadAnyFile(ByteSource& source, std::string_view displayPath, LineStore& store) {
    std::string head;
    const bool headRead = ReadInto(source, head, kPeekSize);
    // A read error inside the first bytes still leaves an instrument's
    // file to its own reader, which keeps what was read.
    if (IsInstrumentFormat(DetectInstrumentFormat(head))) {
        return ReadInstrument(std::move(head), headRead, source, displayPath, store);
    }
    ReplaySource replay(head, !headRead, source);
    AnyFileImport out;
    out.result = ReadMeasurementFile(replay, displayPath, store);
    return out;
}

AnyFileImport ImportAnyFile(const std::filesystem::path& path, LineStore& store) {
    // Only a regular file within the size limit is looked into here; the
    // .mdt reader refuses anything else (a FIFO would block this open) and
    // says why.
    std::error_code ec;
    const bool regular = std::filesystem::is_regular_file(path, ec);
    const std::uintmax_t size = regular ? std::filesystem::file_size(path, ec) : 0;
    if (regular && !ec && size <= kMaxMeasurementFileBytes) {
        std::ifstream stream(path, std::ios::in | std::ios::binary);
        if (stream.is_open()) {
            StreamSource source(stream);
            std::string head;
            const bool headRead = ReadInto(source, head, kPeekSize);
            if (IsInstrumentFormat(DetectInstrumentFormat(head))) {
                const std::u8string u8 = path.u8string();
                return ReadInstrument(std::move(head), headRead, source,
                                      std::string(u8.begin(), u8.end()), store);
            }
        }
    }
    // An .mdt, or a file that cannot be opened: the .mdt reader's own road.
    AnyFileImport out;
    out.result = ImportMeasurementFile(path, store);
    return out;
}

std::optional<UserMessage> FillInstrumentLines(const InstrumentFile& file, LevellingGrade grade,
                                               LineStore& store) {
    store.Clear();
    for (const InstrumentLine& line : file.lines) {
        if (store.Full()) return MessageFromId(IDS_TOO_MANY_LINES, MessageIcon::Warning);
        const std::size_t index = store.AppendLine(line.name);
        for (const std::string& record : InstrumentLineRecords(line, grade)) {
            store.AppendRecord(index, record);
        }
    }
    return std::nullopt;
}

}  // namespace lorvex
