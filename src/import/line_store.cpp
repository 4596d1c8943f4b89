#include "import/line_store.h"

#include <stdexcept>

namespace lorvex {

void LineStore::Clear() {
    pool_.clear();
    pool_.shrink_to_fit();
    lines_.clear();
}

std::size_t LineStore::AppendLine(std::string name) {
    if (Full()) throw std::length_error("LineStore: all 100 line slots are in use");
    lines_.push_back(Slot{std::move(name), {}});
    return lines_.size() - 1;
}

const std::string& LineStore::Name(std::size_t line) const {
    // A slot beyond the lines in use has no name, as it has no records.
    static const std::string kNoName;
    return line < lines_.size() ? lines_[line].name : kNoName;
}

void LineStore::SetName(std::size_t line, std::string name) {
    lines_.at(line).name = std::move(name);
}

std::size_t LineStore::RecordCount(std::size_t line) const {
    return line < lines_.size() ? lines_[line].records.size() : 0;
}

std::string_view LineStore::Record(std::size_t line, std::size_t index) const {
    return Text(lines_.at(line).records.at(index));
}

std::vector<std::string_view> LineStore::RecordViews(std::size_t line) const {
    std::vector<std::string_view> views;
    if (line >= lines_.size()) return views;
    views.reserve(lines_[line].records.size());
    for (const Span& span : lines_[line].records) views.push_back(Text(span));
    return views;
}

std::vector<std::string> LineStore::Records(std::size_t line) const {
    std::vector<std::string> texts;
    if (line >= lines_.size()) return texts;
    texts.reserve(lines_[line].records.size());
    for (const Span& span : lines_[line].records) texts.emplace_back(Text(span));
    return texts;
}

LevellingLine LineStore::Line(std::size_t line) const { return {Name(line), Records(line)}; }

void LineStore::AppendRecord(std::size_t line, std::string_view text) {
    Slot& slot = lines_.at(line);
    const std::size_t offset = pool_.size();
    pool_.append(text);
    slot.records.push_back(Span{offset, text.size()});
}

void LineStore::ReplaceRecords(std::size_t line, const std::vector<std::string>& records) {
    Slot& slot = lines_.at(line);
    // The old texts stay in the pool unreferenced until the next import.
    std::vector<Span> spans;
    spans.reserve(records.size());
    for (const std::string& text : records) {
        spans.push_back(Span{pool_.size(), text.size()});
        pool_.append(text);
    }
    slot.records = std::move(spans);
}

void LineStore::RemoveRecord(std::size_t line, std::size_t index) {
    std::vector<Span>& records = lines_.at(line).records;
    if (index >= records.size()) throw std::out_of_range("LineStore: no such record");
    records.erase(records.begin() + static_cast<std::ptrdiff_t>(index));
}

std::size_t LineStore::AdoptText(std::string text) {
    if (pool_.empty()) {
        pool_ = std::move(text);
        return 0;
    }
    const std::size_t base = pool_.size();
    pool_.append(text);
    return base;
}

void LineStore::AppendRecordSpan(std::size_t line, std::size_t offset, std::size_t length) {
    if (offset > pool_.size() || length > pool_.size() - offset)
        throw std::out_of_range("LineStore: record span outside the text pool");
    lines_.at(line).records.push_back(Span{offset, length});
}

std::vector<LineStore::Span>& LineStore::Spans(std::size_t line) { return lines_.at(line).records; }

const std::vector<LineStore::Span>& LineStore::Spans(std::size_t line) const {
    return lines_.at(line).records;
}

}  // namespace lorvex
