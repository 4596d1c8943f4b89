#include "base/fresh_memory.h"

namespace lorvex {

// Windows gives large pages only to accounts holding the lock-pages
// privilege, and only through allocations made for them: no hint to give.
void AdviseFreshMemory(const void*, std::size_t) {}

}  // namespace lorvex
