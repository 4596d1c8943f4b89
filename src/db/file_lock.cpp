#include "db/file_lock.h"

#include <algorithm>
#include <thread>
#include <utility>

#include "db/file_lock_platform.h"

namespace lorvex::db {

std::optional<FileLock> FileLock::Acquire(const std::filesystem::path& path,
                                          std::chrono::milliseconds wait) {
    FileLock lock(file_lock_platform::Open(path));
    // Polled rather than blocking, so that the wait is bounded; the pause
    // grows to 20 ms, well below the time one report takes.
    const auto deadline = std::chrono::steady_clock::now() + wait;
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        if (file_lock_platform::TryLock(lock.m_fd, path)) return lock;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return std::nullopt;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
}

FileLock::FileLock(FileLock&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        Release();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

FileLock::~FileLock() { Release(); }

void FileLock::Release() noexcept {
    if (m_fd < 0) return;
    file_lock_platform::Close(m_fd);  // closing the only descriptor drops the lock
    m_fd = -1;
}

}  // namespace lorvex::db
