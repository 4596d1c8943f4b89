// flock(2): the lock belongs to the open file description, so it is released
// when the holder closes the file or dies, and two opens conflict even inside
// one process.

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "db/file_lock_platform.h"

namespace lorvex::db::file_lock_platform {

int Open(const std::filesystem::path& path) {
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) throw std::system_error(errno, std::generic_category(), path.string());
    return fd;
}

bool TryLock(int fd, const std::filesystem::path& path) {
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno == EINTR) continue;
        if (errno == EWOULDBLOCK) return false;
        throw std::system_error(errno, std::generic_category(), path.string());
    }
}

void Close(int fd) noexcept { ::close(fd); }

}  // namespace lorvex::db::file_lock_platform
