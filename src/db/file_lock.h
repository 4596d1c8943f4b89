#pragma once

// An exclusive lock on a small file beside the thing it guards, for
// cooperation between our own processes (the window and lorvex-cli runs).
// The lock is advisory: programs that do not take it are not stopped.

#include <chrono>
#include <filesystem>
#include <optional>

namespace lorvex::db {

class FileLock {
  public:
    // Opens path (creating it when missing) and waits up to wait for the
    // lock. nullopt when another holder kept it that long. Throws
    // std::system_error when the file cannot be opened or locked at all.
    static std::optional<FileLock> Acquire(const std::filesystem::path& path,
                                           std::chrono::milliseconds wait);

    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

    void Release() noexcept;

  private:
    explicit FileLock(int fd) noexcept : m_fd(fd) {}
    int m_fd = -1;
};

}  // namespace lorvex::db
