#pragma once

// One report's road kept whole between programs: the tables a report
// command writes are the tables its record book is filled from. The window
// and every lorvex-cli run take this lock on the data folder before writing
// the tables and keep it until the record book has been filled (or the
// tables dumped); a second program waits for it.

#include <chrono>
#include <filesystem>
#include <optional>

#include "db/file_lock.h"

namespace lorvex {
class MessageSink;
}

namespace lorvex::db {

class ReportLock {
  public:
    // Longer than any report takes to write and fill, short enough that a
    // stuck program is reported rather than waited for.
    static constexpr std::chrono::seconds kDefaultWait{30};

    // Waits up to wait for the lock file in the data folder. When another
    // program keeps it that long, shows why (warning icon) and returns
    // nullopt: the caller writes nothing. A data folder that is missing or
    // cannot hold the lock file gives a lock that guards nothing, so that
    // the database step reports the real trouble in the driver's words.
    static std::optional<ReportLock> Acquire(MessageSink& sink,
                                             std::chrono::milliseconds wait = kDefaultWait);

    // The lock file: "Qel.lock" in the data folder.
    static std::filesystem::path LockFile();

    // Lets the next program go on; the destructor does the same.
    void Release() noexcept;

  private:
    explicit ReportLock(std::optional<FileLock> lock) : m_lock(std::move(lock)) {}
    std::optional<FileLock> m_lock;
};

}  // namespace lorvex::db
