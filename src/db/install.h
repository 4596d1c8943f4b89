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
// While the data folder names a server (kServerFileName) the database
// part is the server's schema, created where missing, instead of the file.
std::vector<std::string> InstallData(const std::filesystem::path& resourcesDir, bool force);

// Points "Qel" at the server of attributes (ODBC connection attributes with
// a Driver and no password): creates the schema there where missing, in one
// transaction, installs the templates and limit table as InstallData does,
// keeps the attributes in the data folder and registers "Qel" for them. The
// local database file is not touched. When the server cannot be reached or
// the schema made, throws std::runtime_error with the driver's text and
// changes nothing.
std::vector<std::string> InstallServerData(const std::filesystem::path& resourcesDir,
                                           const std::string& attributes);

// Points "Qel" back at the local database file: forgets the server and
// installs as InstallData does.
std::vector<std::string> InstallLocalData(const std::filesystem::path& resourcesDir, bool force);

}  // namespace lorvex::db
