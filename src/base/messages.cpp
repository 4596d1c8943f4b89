#include "base/messages.h"

#include <string>
#include <utility>

namespace lorvex {

UserMessage MessageFromId(int id, MessageIcon icon) { return UserMessage{LoadString(id), icon}; }

UserMessage WithRepeatCount(UserMessage message, std::size_t count) {
    if (count > 1) {
        message.text += '\n';
        message.text += FormatMessage1(LoadString(IDS_MESSAGE_REPEATED), std::to_string(count));
    }
    return message;
}

RepeatCollapsingSink::~RepeatCollapsingSink() {
    try {
        Flush();
    } catch (...) {
        // A destructor must not throw; a front end whose showing fails has
        // nowhere left to say so.
    }
}

void RepeatCollapsingSink::Show(const UserMessage& message) {
    if (m_held && *m_held == message) {
        ++m_count;
        return;
    }
    Flush();
    m_held = message;
    m_count = 1;
}

void RepeatCollapsingSink::Flush() {
    if (!m_held) return;
    // Cleared first: the next sink may show a modal box, and whatever runs
    // meanwhile must not see the run again.
    UserMessage shown = WithRepeatCount(std::move(*m_held), m_count);
    m_held.reset();
    m_count = 0;
    m_next.Show(shown);
}

}  // namespace lorvex
