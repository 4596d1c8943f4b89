// LockFileEx on the whole of a small lock file: the lock belongs to the
// handle, so it is released when the holder closes the file or dies, and two
// opens conflict even inside one process, as flock does on Linux.

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <system_error>
#include <thread>
#include <utility>

#include "db/file_lock.h"

namespace lorvex::db {
namespace {

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(::_get_osfhandle(fd)); }

}  // namespace

std::optional<FileLock> FileLock::Acquire(const std::filesystem::path& path,
                                          std::chrono::milliseconds wait) {
    const int fd =
        ::_wopen(path.c_str(), _O_RDWR | _O_CREAT | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    if (fd < 0) throw std::system_error(errno, std::generic_category(), path.string());
    FileLock lock(fd);

    // Polled rather than blocking, so that the wait is bounded.
    const auto deadline = std::chrono::steady_clock::now() + wait;
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        OVERLAPPED whole{};
        if (::LockFileEx(HandleOf(fd), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                         MAXDWORD, MAXDWORD, &whole)) {
            return lock;
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) {
            throw std::system_error(static_cast<int>(error), std::system_category(), path.string());
        }
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
    ::_close(m_fd);  // closing the only handle drops the lock
    m_fd = -1;
}

}  // namespace lorvex::db
