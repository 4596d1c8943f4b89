// LockFileEx on the whole of a small lock file: the lock belongs to the
// handle, so it is released when the holder closes the file or dies, and two
// opens conflict even inside one process, as flock does on Linux.

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <system_error>

#include "db/file_lock_platform.h"

namespace lorvex::db::file_lock_platform {

int Open(const std::filesystem::path& path) {
    const int fd =
        ::_wopen(path.c_str(), _O_RDWR | _O_CREAT | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    if (fd < 0) throw std::system_error(errno, std::generic_category(), path.string());
    return fd;
}

bool TryLock(int fd, const std::filesystem::path& path) {
    OVERLAPPED whole{};
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    if (::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                     MAXDWORD, &whole)) {
        return true;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) return false;
    throw std::system_error(static_cast<int>(error), std::system_category(), path.string());
}

void Close(int fd) noexcept { ::_close(fd); }

}  // namespace lorvex::db::file_lock_platform
