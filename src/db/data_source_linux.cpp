// Linux: the database is an SQLite file reached through the SQLite3 ODBC
// driver. That driver has no setup entry for SQLConfigDataSource, so the
// per-user data source is written with the odbcinst profile calls.

#include <odbcinst.h>
#include <pwd.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <stdexcept>
#include <utility>

#include "db/data_source.h"

namespace lorvex::db {

namespace {

constexpr char kDriverName[] = "SQLite3";
constexpr char kOdbcIni[] = "odbc.ini";
// Milliseconds a statement waits for another connection's lock: long enough
// for the report engine's brief reads, short enough not to freeze the window.
constexpr char kBusyTimeoutMs[] = "2000";

std::string InstallerError(const char* call) {
    std::string text;
    for (WORD record = 1; record <= 8; ++record) {
        DWORD code = 0;
        std::array<char, SQL_MAX_MESSAGE_LENGTH> message{};
        WORD length = 0;
        const RETCODE ret = SQLInstallerError(record, &code, message.data(),
                                              static_cast<WORD>(message.size()), &length);
        if (ret != SQL_SUCCESS && ret != SQL_SUCCESS_WITH_INFO) break;
        if (!text.empty()) text += '\n';
        text += message.data();
    }
    if (text.empty()) text = std::string(call) + " failed";
    return text;
}

bool Fail(std::string* error, std::string text) {
    if (error != nullptr) *error = std::move(text);
    return false;
}

}  // namespace

std::filesystem::path GetDataFolder() {
    // XDG: a relative XDG_DATA_HOME is invalid and ignored.
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && xdg[0] == '/') {
        return std::filesystem::path(xdg) / "Lorvex";
    }
    std::filesystem::path home;
    if (const char* env = std::getenv("HOME"); env != nullptr && env[0] != '\0') {
        home = env;
    } else if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir) {
        home = entry->pw_dir;
    } else {
        throw std::runtime_error("cannot find the home folder: HOME is not set");
    }
    return home / ".local" / "share" / "Lorvex";
}

std::string DatabaseFileName() { return "Qel.db"; }

std::string FileConnectString(const std::filesystem::path& databaseFile) {
    const std::string path = databaseFile.string();
    if (path.find_first_of(";{}") != std::string::npos) {
        throw std::runtime_error(
            "a database path with ';', '{' or '}' cannot go into a connect string: " + path);
    }
    return std::string("Driver=") + kDriverName + ";Database=" + path + ";NoCreat=0";
}

bool RegisterDataSource(std::string* error) {
    // Check the driver first: the profile calls would happily register a data
    // source for a driver that is not there.
    std::array<char, 512> driver{};
    if (SQLGetPrivateProfileString(kDriverName, "Driver", "", driver.data(),
                                   static_cast<int>(driver.size()), "odbcinst.ini") <= 0) {
        return Fail(error, std::string("the ODBC driver \"") + kDriverName + "\" is not installed");
    }

    std::string database;
    try {
        database = (GetDataFolder() / DatabaseFileName()).string();
    } catch (const std::exception& e) {
        return Fail(error, e.what());
    }

    const std::string name(kDataSourceName);
    // Writing the data source wipes its keys, so every key is written after it.
    if (!SQLWriteDSNToIni(name.c_str(), kDriverName)) {
        return Fail(error, InstallerError("SQLWriteDSNToIni"));
    }
    // The driver reads the file from "Database" (a "DBQ" key would be ignored
    // and the driver would open a private temporary database). NoCreat keeps
    // a missing file an error instead of a new empty database.
    const std::pair<const char*, std::string> keys[] = {
        {"Description", "Lorvex levelling reports"},
        {"Database", database},
        {"NoCreat", "1"},
        {"Timeout", kBusyTimeoutMs},
    };
    for (const auto& [key, value] : keys) {
        if (!SQLWritePrivateProfileString(name.c_str(), key, value.c_str(), kOdbcIni)) {
            return Fail(error, InstallerError("SQLWritePrivateProfileString"));
        }
    }
    return true;
}

}  // namespace lorvex::db
