#include "import/line_store.h"

#include <stdexcept>

#include "base/erase_indexes.h"
#include "base/fresh_memory.h"

namespace lorvex {

void LineStore::Clear() {
    m_pool.clear();
    m_pool.shrink_to_fit();
    m_lines.clear();
}

std::size_t LineStore::AppendLine(std::string name) {
    if (Full()) throw std::length_error("LineStore: all 100 line slots are in use");
    m_lines.push_back(Slot{std::move(name), {}});
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
    std::vector<Span>& records = m_lines.at(line).records;
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

void LineStore::AppendRecordSpan(std::size_t line, std::size_t offset, std::size_t length) {
    if (offset > m_pool.size() || length > m_pool.size() - offset)
        throw std::out_of_range("LineStore: record span outside the text pool");
    m_lines.at(line).records.push_back(Span{offset, length});
}

std::vector<LineStore::Span>& LineStore::Spans(std::size_t line) {
    return m_lines.at(line).records;
}

const std::vector<LineStore::Span>& LineStore::Spans(std::size_t line) const {
    return m_lines.at(line).records;
}

}  // namespace lorvex
