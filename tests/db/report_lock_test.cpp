#include <chrono>
#include <thread>

#include "db/report_lock.h"
#include "db_fixture.h"

namespace lorvex::db::test {
namespace {

using namespace std::chrono_literals;
using ReportLockTest = DbTest;

TEST_F(ReportLockTest, SecondHolderWaitsForTheFirstOrGivesUpWithAMessage) {
    RecordingSink sink;
    std::optional<ReportLock> first = ReportLock::Acquire(sink);
    ASSERT_TRUE(first.has_value());

    // Gives up after its wait, saying which file stayed locked.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ReportLock::Acquire(sink, 150ms).has_value());
    EXPECT_GE(std::chrono::steady_clock::now() - start, 150ms);
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].icon, MessageIcon::Warning);
    EXPECT_NE(sink.shown[0].text.find(ReportLock::LockFile().string()), std::string::npos);

    // Goes on as soon as the first lets go.
    std::thread releaser([&] {
        std::this_thread::sleep_for(200ms);
        first->Release();
    });
    const auto waited = std::chrono::steady_clock::now();
    EXPECT_TRUE(ReportLock::Acquire(sink, 10s).has_value());
    EXPECT_GE(std::chrono::steady_clock::now() - waited, 150ms);
    releaser.join();
    EXPECT_EQ(sink.shown.size(), 1u);
}

TEST_F(ReportLockTest, MissingDataFolderLeavesTheMessagesToTheDatabase) {
    fs::remove_all(DataFolder());
    RecordingSink sink;
    EXPECT_TRUE(ReportLock::Acquire(sink, 100ms).has_value());
    EXPECT_TRUE(sink.shown.empty());
    EXPECT_FALSE(fs::exists(DataFolder()));
}

}  // namespace
}  // namespace lorvex::db::test
