#include "import/line_store.h"

#include <algorithm>
#include <new>
#include <stdexcept>

#include "base/erase_indexes.h"
#include "base/fresh_memory.h"
#include "import/mapped_file.h"

namespace lorvex {

namespace {

// Lists smaller than this come from the heap: they are the small lines and
// the odd edit, where a large page would be mostly empty.
constexpr std::size_t kLargeList = std::size_t{64} << 10;
// The blocks the large lists are carved from: whole large pages (2 MiB on
// x86-64), several of them, so that a file's lines take few blocks.
constexpr std::size_t kLargePage = std::size_t{2} << 20;
constexpr std::size_t kChunk = 4 * kLargePage;

}  // namespace

LineStore::SpanArena::~SpanArena() {
    for (const Chunk& chunk : m_chunks)
        ::operator delete (chunk.data, std::align_val_t{kLargePage});
}

void* LineStore::SpanArena::Allocate(std::size_t bytes) {
    if (bytes < kLargeList) return ::operator new(bytes);
    bytes = (bytes + alignof(std::max_align_t) - 1) / alignof(std::max_align_t) *
            alignof(std::max_align_t);
    if (m_chunks.empty() || m_chunks.back().size - m_chunks.back().used < bytes) {
        const std::size_t size =
            std::max(kChunk, (bytes + kLargePage - 1) / kLargePage * kLargePage);
        auto* data = static_cast<char*>(::operator new (size, std::align_val_t{kLargePage}));
        AdviseFreshMemory(data, size);
        m_chunks.push_back(Chunk{data, size, 0});
    }
    Chunk& chunk = m_chunks.back();
    void* block = chunk.data + chunk.used;
    chunk.used += bytes;
    return block;
}

void LineStore::SpanArena::Deallocate(void* block, std::size_t bytes) {
    if (bytes < kLargeList) {
        ::operator delete(block);
        return;
    }
    bytes = (bytes + alignof(std::max_align_t) - 1) / alignof(std::max_align_t) *
            alignof(std::max_align_t);
    // The last block carved is given back (a list that grew, or the last
    // line's list freed first); any other waits for the arena to go.
    Chunk& chunk = m_chunks.back();
    if (static_cast<char*>(block) + bytes == chunk.data + chunk.used) chunk.used -= bytes;
}

void LineStore::Clear() {
    m_pool.clear();
    m_pool.shrink_to_fit();
    m_lines.clear();
    // The lists are gone: a fresh arena lets the old one's blocks go.
    m_arena.arena = std::make_shared<SpanArena>();
}

std::size_t LineStore::AppendLine(std::string name) {
    if (Full()) throw std::length_error("LineStore: all 100 line slots are in use");
    m_lines.push_back(Slot{std::move(name), NewSpanList()});
    return m_lines.size() - 1;
}

const std::string& LineStore::Name(std::size_t line) const {
    // A slot beyond the lines in use has no name, as it has no records.
    static const std::string kNoName;
    return line < m_lines.size() ? m_lines[line].name : kNoName;
}

void LineStore::SetName(std::size_t line, std::string name) {
    m_lines.at(line).name = std::move(name);
}

std::size_t LineStore::RecordCount(std::size_t line) const {
    return line < m_lines.size() ? m_lines[line].records.size() : 0;
}

std::vector<std::string_view> LineStore::RecordViews(std::size_t line) const {
    std::vector<std::string_view> views;
    if (line >= m_lines.size()) return views;
    ReserveFresh(views, m_lines[line].records.size());
    for (const Span& span : m_lines[line].records) views.push_back(Text(span));
    return views;
}

std::vector<std::string> LineStore::Records(std::size_t line) const {
    std::vector<std::string> texts;
    if (line >= m_lines.size()) return texts;
    texts.reserve(m_lines[line].records.size());
    for (const Span& span : m_lines[line].records) texts.emplace_back(Text(span));
    return texts;
}

void LineStore::AppendRecord(std::size_t line, std::string_view text) {
    Slot& slot = m_lines.at(line);
    const std::size_t offset = m_pool.size();
    m_pool.append(text);
    slot.records.push_back(Span{offset, text.size()});
}

void LineStore::RemoveRecords(std::size_t line, std::span<const std::size_t> ascendingIndexes) {
    SpanList& records = m_lines.at(line).records;
    for (std::size_t i = 0; i < ascendingIndexes.size(); ++i) {
        if (ascendingIndexes[i] >= records.size() ||
            (i > 0 && ascendingIndexes[i] <= ascendingIndexes[i - 1])) {
            throw std::out_of_range("LineStore: no such record, or indexes out of order");
        }
    }
    EraseIndexes(records, ascendingIndexes);
}

std::size_t LineStore::AdoptText(std::string text) {
    if (m_pool.empty()) {
        m_pool = std::move(text);
        return 0;
    }
    const std::size_t base = m_pool.size();
    m_pool.append(text);
    return base;
}

LineStore::SpanList& LineStore::Spans(std::size_t line) { return m_lines.at(line).records; }

const LineStore::SpanList& LineStore::Spans(std::size_t line) const {
    return m_lines.at(line).records;
}

}  // namespace lorvex
