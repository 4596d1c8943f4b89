// Who writes a report, on Windows: the account's name and the computer's
// name, as the system gives them in the system's code page.

#include <windows.h>

#include "db/report_archive.h"

namespace lorvex::db {

std::string CurrentUserName() {
    char name[256] = {};
    DWORD size = sizeof name;
    if (!GetUserNameA(name, &size)) return {};
    return name;
}

std::string CurrentHostName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    if (!GetComputerNameA(name, &size)) return {};
    return name;
}

}  // namespace lorvex::db
