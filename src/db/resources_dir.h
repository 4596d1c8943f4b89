#pragma once

// Where the programs read the files shipped with them (the database schema,
// the report templates, the dialog and string tables) at run time, in the
// build tree and after installation alike.

#include <filesystem>

namespace lorvex::db {

// The shipped resources, first match wins:
//   1. $LORVEX_RESOURCES, when set and not empty;
//   2. the installed folder beside the running program,
//      <prefix>/bin/../share/lorvex/resources;
//   3. the source tree the program was built from, unless the build was
//      configured without that fallback (LORVEX_SOURCE_RESOURCES=OFF).
// When none exists the installed folder is returned, so that an error names
// where the files were expected.
std::filesystem::path ResourcesDir();

// The rule above over given inputs: overrideDir stands for the variable
// (null when unset), buildTreeDir is empty when there is no fallback.
std::filesystem::path FindResourcesDir(const char* overrideDir,
                                       const std::filesystem::path& executable,
                                       const std::filesystem::path& buildTreeDir);

// Where an installation puts the resources, relative to the installed
// program's own path (normalised, without "..").
std::filesystem::path InstalledResourcesDir(const std::filesystem::path& executable);

// The absolute path of the running program, links resolved; empty when the
// system cannot tell.
std::filesystem::path ExecutablePath();

}  // namespace lorvex::db
