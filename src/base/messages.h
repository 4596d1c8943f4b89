#pragma once

// What the program tells the user, as values: every layer produces them, and
// each front end decides how they appear (a modal box in the window, a JSON
// array and stderr in lorvex-cli).

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

}  // namespace lorvex
