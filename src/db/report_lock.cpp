#include "db/report_lock.h"

#include <string>
#include <system_error>

#include "db/data_source.h"
#include "db/report_store.h"

namespace lorvex::db {

std::filesystem::path ReportLock::LockFile() { return GetDataFolder() / "Qel.lock"; }

std::optional<ReportLock> ReportLock::Acquire(MessageSink& sink, std::chrono::milliseconds wait) {
    const std::filesystem::path file = LockFile();
    std::optional<FileLock> lock;
    try {
        lock = FileLock::Acquire(file, wait);
    } catch (const std::system_error&) {
        // No data folder (or one we cannot write to): there is no database
        // to guard either, and opening it will say so.
        return ReportLock(std::nullopt);
    }
    if (!lock) {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait).count();
        sink.Show(UserMessage{"另一个程序正在生成报表，等待 " + std::to_string(seconds) +
                                  " 秒后仍未结束，本次报表未生成。请稍后再试。\n" + file.string(),
                              MessageIcon::Warning});
        return std::nullopt;
    }
    return ReportLock(std::move(lock));
}

void ReportLock::Release() noexcept {
    if (m_lock) m_lock->Release();
    m_lock.reset();
}

}  // namespace lorvex::db
