#include "import/measurement_reader.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "import/mapped_file.h"
#include "import/record_format.h"
#include "import/text_decode.h"

namespace lorvex {
namespace {

// A dual-run line interleaves two runs a station (four sights) at a time.
// The reader only trusts the pattern on enough records: two whole stations
// when the next line-start ends the line, a station and one sight at the end
// of the file.
constexpr std::size_t kDualRunMinClosedByLineStart = 8;
constexpr std::size_t kDualRunMinAtEndOfFile = 5;
constexpr std::size_t kStationSights = 4;

bool IsDualRun(const LineStore& store, const LineStore::SpanList& spans, std::size_t threshold) {
    if (spans.size() < threshold || spans.size() < 5) return false;
    const std::string_view first = RecordPointId(store.Text(spans[0]));
    return RecordPointId(store.Text(spans[3])) == first &&
           RecordPointId(store.Text(spans[4])) == first;
}

// Ends the current line. A dual-run line keeps its slot as "N(R)" with the
// stations of the first run (blocks 0, 2, 4, ...) and hands the others to a
// new "N(L)" line right after it. Returns false, leaving the line whole under
// its own name, when no slot is left for the "(L)" half.
bool CloseLine(LineStore& store, std::size_t line, std::size_t threshold) {
    LineStore::SpanList& spans = store.Spans(line);
    if (!IsDualRun(store, spans, threshold)) return true;
    if (store.Full()) return false;

    LineStore::SpanList right = store.NewSpanList();
    LineStore::SpanList left = store.NewSpanList();
    right.reserve(spans.size() / 2 + kStationSights);
    left.reserve(spans.size() / 2 + kStationSights);
    for (std::size_t i = 0; i < spans.size(); ++i)
        ((i / kStationSights) % 2 == 0 ? right : left).push_back(spans[i]);

    const std::string name = store.Name(line);
    store.SetName(line, name + "(R)");
    store.Spans(line) = std::move(right);
    const std::size_t leftLine = store.AppendLine(name + "(L)");
    store.Spans(leftLine) = std::move(left);
    return true;
}

// Whether two method codes are the same. Codes are a few bytes, and a
// million of them are compared: a loop here beats a library call each.
bool SameCode(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i]) return false;
    }
    return true;
}

// Gathers records by method code: a record whose code differs from its
// line's first record goes to the end of the nearest line at or before it
// that starts with that code. A record always moves to an earlier line, and
// no line's first record changes during the pass, so the destination of
// every code is known from the lines already passed: one linear sweep.
// A record whose code starts no earlier line stays where it is.
void RegroupByMethodCode(LineStore& store) {
    std::unordered_map<std::string_view, std::size_t> latestLineWithCode;
    for (std::size_t i = 0; i < store.LineCount(); ++i) {
        LineStore::SpanList& spans = store.Spans(i);
        if (spans.empty()) continue;
        const std::string_view key = RecordMethodCode(store.Text(spans[0]));
        latestLineWithCode[key] = i;

        // Compacts the records that stay towards the front in the same pass.
        std::size_t kept = 1;
        for (std::size_t j = 1; j < spans.size(); ++j) {
            const std::string_view code = RecordMethodCode(store.Text(spans[j]));
            const auto it =
                SameCode(code, key) ? latestLineWithCode.end() : latestLineWithCode.find(code);
            if (it == latestLineWithCode.end())
                spans[kept++] = spans[j];
            else
                store.Spans(it->second).push_back(spans[j]);
        }
        spans.resize(kept);
    }
}

ImportResult Refused(StringId reason, std::string_view displayPath) {
    return ImportResult{
        .opened = false,
        .message =
            UserMessage{FormatMessage1(LoadString(reason), displayPath), MessageIcon::Warning},
    };
}

UserMessage TooManyLinesMessage() {
    return MessageFromId(IDS_TOO_MANY_LINES, MessageIcon::Warning);
}

// Builds the store from the file's text, decoded into the pool. When the
// read failed, only what came before the failure was read: its complete
// lines are taken, the line being read stays open and the regrouping pass is
// left out.
ImportResult BuildStore(std::string decoded, bool readFailed, std::string_view displayPath,
                        LineStore& store) {
    store.Clear();
    const std::size_t base = store.AdoptText(std::move(decoded));
    const std::string_view text = store.PoolText();

    ImportResult result;
    bool stopped = false;
    bool haveCurrent = false;
    std::size_t current = 0;
    LineStore::SpanList* spans = nullptr;  // the current line's
    std::size_t pos = base;
    while (pos < text.size()) {
        const void* nl = std::memchr(text.data() + pos, '\n', text.size() - pos);
        const std::size_t end =
            nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - text.data()) : text.size();
        const ClassifiedLine c = ClassifyLine(text.substr(pos, end - pos));
        pos = end + 1;

        if (c.kind == TextLineKind::Ignored || c.kind == TextLineKind::ColumnHeader) {
            ++result.ignored;
        } else if (c.kind == TextLineKind::Record) {
            if (!haveCurrent) {
                // Records ahead of the first line-start record form a line of
                // their own, without a name, rather than being lost.
                current = store.AppendLine(std::string());
                spans = &store.Spans(current);
                haveCurrent = true;
            }
            spans->push_back(LineStore::Span{
                static_cast<std::uint64_t>(c.trimmed.data() - text.data()), c.trimmed.size()});
        } else if (c.kind == TextLineKind::LineStart) {
            if (haveCurrent && !CloseLine(store, current, kDualRunMinClosedByLineStart)) {
                stopped = true;
                break;
            }
            if (store.Full()) {
                stopped = true;
                break;
            }
            // Lines of one file tend to be alike: room for as many records as
            // the last line took spares most of the growing and copying.
            const std::size_t expected = haveCurrent ? store.Spans(current).size() : 0;
            current = store.AppendLine(LineStartName(c.trimmed));
            spans = &store.Spans(current);
            spans->reserve(expected);
            haveCurrent = true;
        }
    }

    if (!stopped && readFailed) {
        result.message =
            UserMessage{FormatMessage1(LoadString(IDS_READ_ERROR), displayPath), MessageIcon::Stop};
        return result;
    }
    if (!stopped && haveCurrent && !CloseLine(store, current, kDualRunMinAtEndOfFile))
        stopped = true;
    if (stopped) result.message = TooManyLinesMessage();
    RegroupByMethodCode(store);
    // Tab-separated text, CR-only line ends or another instrument's file
    // give lines of text and no line; saying so beats an empty line list.
    if (!result.message && store.LineCount() == 0 && result.ignored > 0)
        result.message = MessageFromId(IDS_NO_MEASUREMENT_DATA, MessageIcon::Warning);
    return result;
}

class MemorySource final : public ByteSource {
  public:
    explicit MemorySource(std::string_view bytes) : m_bytes(bytes) {}
    std::optional<std::size_t> Read(char* buffer, std::size_t size) override {
        const std::size_t n = std::min(size, m_bytes.size());
        std::memcpy(buffer, m_bytes.data(), n);
        m_bytes.remove_prefix(n);
        return n;
    }
    std::optional<std::size_t> SizeHint() const override { return m_bytes.size(); }

  private:
    std::string_view m_bytes;
};

class FileSource final : public ByteSource {
  public:
    explicit FileSource(const std::filesystem::path& path)
        : m_stream(path, std::ios::in | std::ios::binary) {
        std::error_code ec;
        const auto size = std::filesystem::file_size(path, ec);
        if (!ec) m_size = static_cast<std::size_t>(size);
    }
    bool IsOpen() const { return m_stream.is_open(); }
    std::optional<std::size_t> Read(char* buffer, std::size_t size) override {
        m_stream.read(buffer, static_cast<std::streamsize>(size));
        if (m_stream.bad()) return std::nullopt;
        return static_cast<std::size_t>(m_stream.gcount());
    }
    std::optional<std::size_t> SizeHint() const override { return m_size; }

  private:
    std::ifstream m_stream;
    std::optional<std::size_t> m_size;
};

std::string DisplayPath(const std::filesystem::path& path) {
    const std::u8string u8 = path.u8string();
    return std::string(u8.begin(), u8.end());
}

}  // namespace

ImportResult ReadMeasurementFile(ByteSource& source, std::string_view displayPath,
                                 LineStore& store) {
    // Chunks of 1 MiB: large enough for few calls, small enough that the
    // zero-fill before each read stays in cache.
    constexpr std::size_t kChunk = std::size_t{1} << 20;
    std::string bytes;
    if (const auto hint = source.SizeHint()) {
        if (*hint > kMaxMeasurementFileBytes) return Refused(IDS_FILE_TOO_LARGE, displayPath);
        bytes.reserve(*hint + 1);
    }
    bool failed = false;
    for (;;) {
        const std::size_t used = bytes.size();
        const std::size_t room = bytes.capacity() - used;
        const std::size_t want = room > 0 ? std::min(room, kChunk) : kChunk;
        bytes.resize(used + want);
        const std::optional<std::size_t> got = source.Read(bytes.data() + used, want);
        if (!got) {
            bytes.resize(used);
            failed = true;
            break;
        }
        bytes.resize(used + std::min(*got, want));
        if (*got == 0) break;
        // A source that outgrows its size (a file still being written, a
        // device) is refused rather than read until memory runs out.
        if (bytes.size() > kMaxMeasurementFileBytes)
            return Refused(IDS_FILE_TOO_LARGE, displayPath);
    }
    if (failed) {
        const std::size_t lastBreak = bytes.rfind('\n');
        bytes.resize(lastBreak == std::string::npos ? 0 : lastBreak + 1);
    }
    if (LooksLikeUtf16WithoutBom(bytes)) return Refused(IDS_UTF16_WITHOUT_BOM, displayPath);
    return BuildStore(DecodeMeasurementText(std::move(bytes)), failed, displayPath, store);
}

ImportResult ReadMeasurementBytes(std::string_view bytes, LineStore& store) {
    MemorySource source(bytes);
    return ReadMeasurementFile(source, std::string_view(), store);
}

ImportResult ImportMeasurementFile(const std::filesystem::path& path, LineStore& store) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) return ImportResult{false, std::nullopt};
    // Reading /dev/zero never ends and a FIFO without a writer blocks
    // forever: only regular files are measurement files.
    if (!std::filesystem::is_regular_file(status))
        return Refused(IDS_NOT_REGULAR_FILE, DisplayPath(path));
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (!ec && size > kMaxMeasurementFileBytes)
        return Refused(IDS_FILE_TOO_LARGE, DisplayPath(path));
    // Mapped, the file is decoded straight into the store's text: one copy
    // instead of a read into a zero-filled buffer and then the decoded text.
    if (std::unique_ptr<MappedFile> mapped = MappedFile::Map(path)) {
        const std::string_view bytes = mapped->Bytes();
        // The size checked above may have grown since.
        if (bytes.size() > kMaxMeasurementFileBytes)
            return Refused(IDS_FILE_TOO_LARGE, DisplayPath(path));
        std::optional<std::string> text = DecodeMeasurementText(*mapped);
        if (!text) return Refused(IDS_UTF16_WITHOUT_BOM, DisplayPath(path));
        mapped.reset();  // the file is not held beside its text
        return BuildStore(std::move(*text), false, DisplayPath(path), store);
    }
    FileSource source(path);
    if (!source.IsOpen()) return ImportResult{false, std::nullopt};
    return ReadMeasurementFile(source, DisplayPath(path), store);
}

}  // namespace lorvex
