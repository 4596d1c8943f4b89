// Who writes a report, on POSIX systems: the account's login name and the
// computer's host name.

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "db/report_archive.h"

namespace lorvex::db {

std::string CurrentUserName() {
    // The account itself, not $USER, which su and sudo may leave behind.
    if (const passwd* entry = getpwuid(geteuid()); entry != nullptr && entry->pw_name != nullptr) {
        return entry->pw_name;
    }
    const char* user = std::getenv("USER");
    return user != nullptr ? user : "";
}

std::string CurrentHostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

}  // namespace lorvex::db
