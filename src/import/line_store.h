#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lorvex {

// A levelling line as a value: its name and its record texts.
struct LevellingLine {
    std::string name;  // may be empty; a dual-run half ends in "(R)" or "(L)"
    std::vector<std::string> records;

    friend bool operator==(const LevellingLine&, const LevellingLine&) = default;
};

// The lines of the last imported file: at most 100, each a name and an
// ordered list of record texts. Record texts live in one shared text pool,
// so a million records cost no million allocations; lines hold spans of it.
// Slots at or beyond LineCount() read as empty lines (no name, no records);
// changing them throws std::out_of_range.
class LineStore {
  public:
    static constexpr std::size_t kMaxLines = 100;

    void Clear();
    std::size_t LineCount() const { return m_lines.size(); }
    bool Full() const { return m_lines.size() >= kMaxLines; }

    // Appends a line; returns its index. The store must not be Full().
    std::size_t AppendLine(std::string name);
    const std::string& Name(std::size_t line) const;
    void SetName(std::size_t line, std::string name);

    std::size_t RecordCount(std::size_t line) const;
    // Valid until the store is next changed.
    std::vector<std::string_view> RecordViews(std::size_t line) const;
    std::vector<std::string> Records(std::size_t line) const;

    // Appends a record text (a copy); readers of other instruments' files
    // append the texts FormatRecord makes.
    void AppendRecord(std::size_t line, std::string_view text);
    // Removes the records at the given indexes (ascending, distinct) in one
    // pass. Throws std::out_of_range, removing nothing, when an index is not
    // a record of the line or the indexes are out of order.
    void RemoveRecords(std::size_t line, std::span<const std::size_t> ascendingIndexes);

    // For the reader: the pool takes the decoded file text (moved in when the
    // pool is empty), and records are appended as spans of it without
    // copying. Returns the pool offset at which the text begins.
    std::size_t AdoptText(std::string text);
    std::string_view PoolText() const { return m_pool; }
    void AppendRecordSpan(std::size_t line, std::size_t offset, std::size_t length);

    // Low-level access for passes that move records between lines.
    struct Span {
        std::uint64_t offset;
        std::uint64_t length;
    };
    std::vector<Span>& Spans(std::size_t line);
    const std::vector<Span>& Spans(std::size_t line) const;
    std::string_view Text(Span span) const {
        return std::string_view(m_pool).substr(span.offset, span.length);
    }

  private:
    struct Slot {
        std::string name;
        std::vector<Span> records;
    };
    std::string m_pool;
    std::vector<Slot> m_lines;
};

}  // namespace lorvex
