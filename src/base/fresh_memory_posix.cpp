#include "base/fresh_memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace lorvex {

void AdviseFreshMemory(const void* data, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
    // A large page is 2 MiB: a smaller buffer cannot hold one, and advising
    // it would only split the heap's mapping.
    constexpr std::size_t kWorthAdvising = std::size_t{4} << 20;
    if (data == nullptr || bytes < kWorthAdvising) return;
    // Only whole pages inside the buffer can be advised.
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + page - 1) / page * page;
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) / page * page;
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

}  // namespace lorvex
