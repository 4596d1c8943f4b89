#pragma once

// What the program tells the user, as values: every layer produces them, and
// each front end decides how they appear (a modal box in the window, a JSON
// array and stderr in lorvex-cli).

#include <cstddef>
#include <optional>
#include <string>

#include "base/strings.h"

namespace lorvex {

// How a message box looks: the icon chosen by the rules of the message boxes
// (warning for OK boxes, question for Yes/No, stop for errors raised inside a
// command, error for the failed data-source registration).
enum class MessageIcon { Warning, Question, Stop, Error };

// One message the system shows the user, in order; front ends decide how.
struct UserMessage {
    std::string text;
    MessageIcon icon = MessageIcon::Warning;

    friend bool operator==(const UserMessage&, const UserMessage&) = default;
};

UserMessage MessageFromId(int id, MessageIcon icon = MessageIcon::Warning);

// Where messages go while a step runs that cannot hand them back as values
// (the database writer, the report fill): each is shown before it returns.
class MessageSink {
  public:
    virtual ~MessageSink() = default;
    virtual void Show(const UserMessage& message) = 0;
};

// The message a run of `count` identical messages is shown as: the message
// itself, and from two on the count on a second line.
UserMessage WithRepeatCount(UserMessage message, std::size_t count);

// Passes messages on to another sink, each run of identical consecutive
// messages once with its count. A step that fails the same way for every
// station (no database, no data folder) would otherwise show one modal box
// per station. A message is held until a different one arrives or Flush is
// called; one sink serves one command, and what it holds when it goes is
// passed on then.
class RepeatCollapsingSink final : public MessageSink {
  public:
    explicit RepeatCollapsingSink(MessageSink& next) : m_next(next) {}
    ~RepeatCollapsingSink() override;
    RepeatCollapsingSink(const RepeatCollapsingSink&) = delete;
    RepeatCollapsingSink& operator=(const RepeatCollapsingSink&) = delete;

    void Show(const UserMessage& message) override;
    void Flush();

  private:
    MessageSink& m_next;
    std::optional<UserMessage> m_held;
    std::size_t m_count = 0;
};

}  // namespace lorvex
