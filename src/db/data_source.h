#pragma once

// Where the database lives and how the program reaches it: the data folder,
// the database file, and the per-user ODBC data source "Qel", registered at
// every start. The platform parts are chosen at configure time.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace lorvex::db {

inline constexpr char kDataSourceName[] = "Qel";
inline constexpr char kConnectString[] = "ODBC;DSN=Qel";

// The fixed data folder holding the database file and the report templates.
// Linux: $XDG_DATA_HOME/Lorvex, by default ~/.local/share/Lorvex.
std::filesystem::path GetDataFolder();

// The database file's name inside the data folder ("Qel.db" on Linux).
std::string DatabaseFileName();

// A connect string that reaches databaseFile directly through the platform's
// driver, without the data source, and lets the driver create the file. For
// the installation only: the program itself always goes through "Qel".
std::string FileConnectString(const std::filesystem::path& databaseFile);

// The installer attribute list for an Access data source in dataFolder:
// "DSN=Qel", NUL, " DBQ=<dataFolder>\Qel.mdb", NUL, NUL. The blank after the
// first semicolon of the template stays in the second entry.
std::string BuildAttributeList(std::string_view dataFolder);

// The server "Qel" reaches instead of the database file: install-data
// --server keeps its connection attributes (never a password) in this file
// of the data folder, and --local removes it.
inline constexpr char kServerFileName[] = "Qel.server";

// The connection attributes of the server, nullopt when the reports are
// kept in the local database file. Throws std::runtime_error when the file
// is there but cannot be read.
std::optional<std::string> ServerAttributes();

// The connect string that reaches the server of attributes directly,
// without the data source.
std::string ServerConnectString(const std::string& attributes);

// The statement that opens a transaction which is going to write, taking the
// database's write lock at once so that two writers queue on the driver's
// busy timeout instead of both reading and then one failing at its first
// write. Empty: the driver's manual-commit mode.
std::string BeginWriteStatement();

// Registers (or re-registers) the per-user data source "Qel" for the database
// file in the data folder, or for the server ServerAttributes names. Shows nothing; on failure
// returns false with the installer's reason in *error. The caller shows IDS_DSN_FAILED.
bool RegisterDataSource(std::string* error = nullptr);

}  // namespace lorvex::db
