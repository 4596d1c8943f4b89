#pragma once

// Installing the data folder: the program itself never creates the folder,
// the database or its tables; lorvex-cli install-data does.

#include <filesystem>
#include <string>
#include <vector>

namespace lorvex::db {

// Creates the data folder, the database file with the report tables from
// resourcesDir/schema.sql, and copies the report templates from
// resourcesDir/templates and the limit table resourcesDir/limits.tsv when
// they are there. Idempotent: an existing database is kept, and so is a
// template or limit table the user changed since it was installed; force
// recreates them all. Returns one line per thing done or kept,
// e.g. "created folder …", "kept database … (exists)". Throws
// std::runtime_error with the reason when something cannot be made.
std::vector<std::string> InstallData(const std::filesystem::path& resourcesDir, bool force);

}  // namespace lorvex::db
