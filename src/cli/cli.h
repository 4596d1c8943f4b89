#pragma once

// lorvex-cli: the headless front end. It drives the same core code as the
// window and prints UTF-8 JSON; every message the window would show is also
// in the "messages" array, in order, and on stderr.

#include <iosfwd>
#include <string>
#include <vector>

namespace lorvex::cli {

// Exit statuses, part of the output contract scripts rely on.
enum ExitCode : int {
    kExitOk = 0,        // the command ran to its end (messages may be present)
    kExitStopped = 1,   // a message stopped the command; no rows printed
    kExitUsage = 2,     // bad arguments, or a line number beyond the last line
    kExitNoAccess = 3,  // the file or the database cannot be opened or read
};

// Runs one command; args excludes the program name.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace lorvex::cli
