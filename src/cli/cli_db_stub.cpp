// Placeholder until the database commands are wired.
#include "cli_session.h"
namespace lorvex::cli {
int RunReport(Session& s) { return s.UsageError("report is not available yet"); }
int RunDump(Session& s) { return s.UsageError("dump is not available yet"); }
int RunInstallData(Session& s) { return s.UsageError("install-data is not available yet"); }
}  // namespace lorvex::cli
