#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

#include "import/mapped_file.h"

namespace lorvex {

std::unique_ptr<MappedFile> MappedFile::Map(const std::filesystem::path& path) {
    // O_NONBLOCK: should the path have become a FIFO since the caller looked
    // at it, opening must not wait for a writer; fstat below refuses it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
        ::close(fd);
        return nullptr;
    }
    const auto size = static_cast<std::size_t>(st.st_size);
    if (size == 0) {
        // Nothing to map; and files under /proc or /sys say 0 whatever they
        // hold, and only reading finds out (or fails as a read error).
        ::close(fd);
        return nullptr;
    }
    // Not populated up front: the reader releases the pages behind it as it
    // goes, so the whole file is never resident at once.
    void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);  // the mapping keeps the file
    if (data == MAP_FAILED) return nullptr;
    // Read once from front to back.
    ::madvise(data, size, MADV_SEQUENTIAL);
    return std::unique_ptr<MappedFile>(new MappedFile(data, size));
}

MappedFile::~MappedFile() {
    if (m_data != nullptr) ::munmap(const_cast<void*>(m_data), m_size);
}

void MappedFile::Release(std::size_t from, std::size_t to) {
    to = std::min(to, m_size);
    // The mapping starts on a page, so offsets round to pages directly; the
    // page holding `to` may still be read and stays.
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t begin = from / page * page;
    const std::size_t end = to / page * page;
    if (end <= begin) return;
    // A read-only private mapping has no changes of its own to lose.
    ::madvise(static_cast<char*>(const_cast<void*>(m_data)) + begin, end - begin, MADV_DONTNEED);
}

void MappedFile::Prefetch(std::size_t from, std::size_t to) {
#ifdef MADV_POPULATE_READ
    to = std::min(to, m_size);
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t begin = from / page * page;
    if (to <= begin) return;
    // Kernels before 5.14 refuse the advice; the pass then faults the pages
    // in as it reads them.
    ::madvise(static_cast<char*>(const_cast<void*>(m_data)) + begin, to - begin,
              MADV_POPULATE_READ);
#else
    (void)from;
    (void)to;
#endif
}

}  // namespace lorvex
