// Runs of identical messages, as the window and lorvex-cli's stderr show them.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/messages.h"

namespace lorvex {
namespace {

struct Recorder final : MessageSink {
    std::vector<UserMessage> shown;
    void Show(const UserMessage& message) override { shown.push_back(message); }
};

TEST(RepeatCollapsingSink, ShowsEachRunOnceWithItsCount) {
    const UserMessage a{"a", MessageIcon::Warning};
    const UserMessage b{"b", MessageIcon::Warning};
    const UserMessage aStop{"a", MessageIcon::Stop};
    const auto counted = [](const UserMessage& m, const char* count) {
        return UserMessage{m.text + "\n（此消息共出现 " + count + " 次）", m.icon};
    };
    const struct {
        const char* name;
        std::vector<UserMessage> in;
        std::vector<UserMessage> out;
    } cases[] = {
        {"None", {}, {}},
        {"Single", {a}, {a}},
        {"Run", {a, a, a}, {counted(a, "3")}},
        // Only neighbours merge: the order of what happened is kept.
        {"Alternating", {a, b, a}, {a, b, a}},
        {"RunsAround", {a, a, b, a, a}, {counted(a, "2"), b, counted(a, "2")}},
        // Another icon is another message.
        {"IconDiffers", {a, aStop, aStop}, {a, counted(aStop, "2")}},
    };
    for (const auto& c : cases) {
        Recorder recorder;
        {
            RepeatCollapsingSink runs(recorder);
            for (const UserMessage& m : c.in) runs.Show(m);
        }  // what is held is shown when the sink goes
        EXPECT_EQ(recorder.shown, c.out) << c.name;
    }
}

TEST(RepeatCollapsingSink, FlushShowsWhatIsHeldAndStartsAfresh) {
    Recorder recorder;
    RepeatCollapsingSink runs(recorder);
    runs.Show({"a", MessageIcon::Warning});
    EXPECT_TRUE(recorder.shown.empty());
    runs.Flush();
    runs.Flush();
    runs.Show({"a", MessageIcon::Warning});
    runs.Flush();
    EXPECT_EQ(recorder.shown, (std::vector<UserMessage>(2, {"a", MessageIcon::Warning})));
}

}  // namespace
}  // namespace lorvex
