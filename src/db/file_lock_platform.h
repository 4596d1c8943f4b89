#pragma once

// The three operating-system steps of FileLock, one file per platform; the
// bounded wait and the ownership live in file_lock.cpp.

#include <filesystem>

namespace lorvex::db::file_lock_platform {

// Opens (creating when missing) the lock file; throws std::system_error.
int Open(const std::filesystem::path& path);
// One attempt at the exclusive lock without waiting: false while another
// holder has it; throws std::system_error on any other failure.
bool TryLock(int fd, const std::filesystem::path& path);
// Closes the file, which drops the lock.
void Close(int fd) noexcept;

}  // namespace lorvex::db::file_lock_platform
