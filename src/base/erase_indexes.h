#pragma once

#include <cstddef>
#include <span>
#include <utility>
#include <vector>

namespace lorvex {

// Removes the elements at the given indexes (ascending, distinct, each less
// than the size) in one compacting pass: removing them one by one would move
// the tail of a long list once per element.
template <typename T, typename Allocator>
void EraseIndexes(std::vector<T, Allocator>& items, std::span<const std::size_t> ascendingIndexes) {
    std::size_t kept = 0;
    auto next = ascendingIndexes.begin();
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (next != ascendingIndexes.end() && *next == i) {
            ++next;
            continue;
        }
        if (kept != i) items[kept] = std::move(items[i]);
        ++kept;
    }
    items.resize(kept);
}

}  // namespace lorvex
