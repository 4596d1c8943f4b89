#include "base/messages.h"

namespace lorvex {

UserMessage MessageFromId(int id, MessageIcon icon) { return UserMessage{LoadString(id), icon}; }

}  // namespace lorvex
