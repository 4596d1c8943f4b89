// Linux: the database is an SQLite file reached through the SQLite3 ODBC
// driver. That driver has no setup entry for SQLConfigDataSource, and the
// odbcinst profile calls rewrite the whole file in place, key by key, and
// fall back to the system-wide file when the user's cannot be written. So
// the per-user data source is written here: under a lock, only when it is
// not right already, and by replacing the user's file in one rename.

#include <fcntl.h>
#include <odbcinst.h>
#include <pwd.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "db/data_source.h"
#include "db/file_lock.h"
#include "db/odbc_ini.h"

namespace lorvex::db {

namespace {

namespace fs = std::filesystem;

constexpr char kDriverName[] = "SQLite3";
// Milliseconds a statement waits for another connection's lock: long enough
// for the report engine's brief reads, short enough not to freeze the window.
constexpr char kBusyTimeoutMs[] = "2000";

bool Fail(std::string* error, std::string text) {
    if (error != nullptr) *error = std::move(text);
    return false;
}

// The user's data sources as the driver manager finds them: $ODBCINI when
// set, else .odbc.ini in the home folder of the account (not $HOME).
fs::path UserIniFile() {
    if (const char* ini = std::getenv("ODBCINI"); ini != nullptr && ini[0] != '\0') return ini;
    const passwd* entry = getpwuid(getuid());
    if (entry == nullptr || entry->pw_dir == nullptr) {
        throw std::runtime_error("cannot find the home folder for the ODBC user data sources");
    }
    return fs::path(entry->pw_dir) / ".odbc.ini";
}

// The file's bytes; empty when there is no file yet.
std::string ReadIni(const fs::path& file) {
    std::error_code ec;
    if (!fs::exists(file, ec) && !ec) return {};
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw std::runtime_error("cannot read " + file.string());
    return bytes;
}

// Writes bytes to a new file beside target and renames it over target, so
// that a reader sees the old file or the new one, never a part. The new file
// keeps the old one's permissions and owner.
void ReplaceFile(const fs::path& target, const std::string& bytes) {
    std::string pattern = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX"));
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        throw std::system_error(errno, std::generic_category(),
                                "cannot write a new file beside " + target.string());
    }
    const fs::path temporary = pattern;
    auto fail = [&](const char* what) {
        const int code = errno;
        ::close(fd);
        ::unlink(temporary.c_str());
        throw std::system_error(code, std::generic_category(),
                                std::string(what) + " " + temporary.string());
    };
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0) {
        if (::fchmod(fd, old.st_mode & 07777) != 0) fail("cannot set the permissions of");
        // Only root can give the file back to another owner; for anyone else
        // the owner is already right.
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
            (void)!::fchown(fd, old.st_uid, old.st_gid);
        }
    }
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) fail("cannot write");
        written += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) fail("cannot write");
    if (::close(fd) != 0) {
        const int code = errno;
        ::unlink(temporary.c_str());
        throw std::system_error(code, std::generic_category(),
                                "cannot write " + temporary.string());
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int code = errno;
        ::unlink(temporary.c_str());
        throw std::system_error(code, std::generic_category(), "cannot replace " + target.string());
    }
}

// Brings [name] in the user's file to exactly keys. Reads without the lock
// first: a registration that is already right writes nothing, not even the
// lock file. Throws with the reason.
void WriteUserDataSource(const std::string& name, const std::vector<IniKey>& keys) {
    fs::path file = UserIniFile();
    // A linked file is edited where it really is; the link stays.
    std::error_code ec;
    if (fs::is_symlink(file, ec)) file = fs::weakly_canonical(file);
    const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    if (!fs::is_directory(folder, ec)) {
        throw std::runtime_error("the folder of the ODBC user data sources " + file.string() +
                                 " is missing: " + folder.string() +
                                 " (set ODBCINI to a file in an existing folder)");
    }
    if (HasIniSection(ReadIni(file), name, keys)) return;

    fs::path lockFile = file;
    lockFile += ".lock";
    // Another registration holds it for milliseconds; ten seconds means a
    // stuck program, and saying so beats waiting forever.
    const std::optional<FileLock> lock = FileLock::Acquire(lockFile, std::chrono::seconds(10));
    if (!lock) throw std::runtime_error(lockFile.string() + " stayed locked by another program");
    // Read again under the lock: another program may have changed the file.
    const std::string ini = ReadIni(file);
    if (HasIniSection(ini, name, keys)) return;
    ReplaceFile(file, WithIniSection(ini, name, keys));
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

std::string BeginWriteStatement() { return "BEGIN IMMEDIATE"; }

namespace {

bool DriverInstalled(const std::string& name) {
    std::array<char, 512> driver{};
    return SQLGetPrivateProfileString(name.c_str(), "Driver", "", driver.data(),
                                      static_cast<int>(driver.size()), "odbcinst.ini") > 0;
}

// "Qel" for the server install-data --server named: its driver and
// attributes as given, nothing of the SQLite file.
bool RegisterServerDataSource(const std::string& attributes, std::string* error) {
    std::string reason;
    std::optional<std::vector<IniKey>> keys = ParseConnectionAttributes(attributes, &reason);
    if (!keys) return Fail(error, GetDataFolder().string() + "/" + kServerFileName + ": " + reason);
    std::string driverName;
    for (IniKey& key : *keys) {
        if (key.name.size() == 6 && strncasecmp(key.name.c_str(), "Driver", 6) == 0) {
            key.name = "Driver";
            driverName = key.value;
        }
    }
    if (!DriverInstalled(driverName)) {
        return Fail(error, "the ODBC driver \"" + driverName + "\" is not installed");
    }
    keys->insert(keys->begin() + 1, IniKey{"Description", "Lorvex levelling reports (server)"});
    try {
        WriteUserDataSource(kDataSourceName, *keys);
    } catch (const std::exception& e) {
        return Fail(error, e.what());
    }
    return true;
}

}  // namespace

bool RegisterDataSource(std::string* error) {
    try {
        if (const std::optional<std::string> server = ServerAttributes()) {
            return RegisterServerDataSource(*server, error);
        }
    } catch (const std::exception& e) {
        return Fail(error, e.what());
    }
    // Check the driver first: the profile calls would happily register a data
    // source for a driver that is not there.
    if (!DriverInstalled(kDriverName)) {
        return Fail(error, std::string("the ODBC driver \"") + kDriverName + "\" is not installed");
    }

    std::string database;
    try {
        database = (GetDataFolder() / DatabaseFileName()).string();
    } catch (const std::exception& e) {
        return Fail(error, e.what());
    }

    // The driver reads the file from "Database" (a "DBQ" key would be ignored
    // and the driver would open a private temporary database). NoCreat keeps
    // a missing file an error instead of a new empty database. A key of an
    // older registration that is not listed here is dropped.
    const std::vector<IniKey> keys = {
        {"Driver", kDriverName},     {"Description", "Lorvex levelling reports"},
        {"Database", database},      {"NoCreat", "1"},
        {"Timeout", kBusyTimeoutMs}, {"StepAPI", "1"},
    };
    try {
        WriteUserDataSource(kDataSourceName, keys);
    } catch (const std::exception& e) {
        return Fail(error, e.what());
    }
    return true;
}

}  // namespace lorvex::db
