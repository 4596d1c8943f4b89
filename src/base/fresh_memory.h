#pragma once

#include <cstddef>

namespace lorvex {

// Tells the system that a fresh buffer of many megabytes is about to be
// filled front to back (a long line's rows, its station texts): large pages
// where it has them, so that filling it takes a few page faults instead of
// thousands. Only a hint; buffers under a few megabytes, memory already in
// use and systems without large pages are left as they are.
void AdviseFreshMemory(const void* data, std::size_t bytes);

// Reserves room for n elements and gives the fresh room that hint.
template <typename Container>
void ReserveFresh(Container& items, std::size_t n) {
    items.reserve(n);
    AdviseFreshMemory(items.data(), items.capacity() * sizeof(*items.data()));
}

}  // namespace lorvex
