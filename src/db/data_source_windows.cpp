// Windows: an Access database in the fixed data folder, registered through
// the driver's own setup with SQLConfigDataSource; or, after install-data
// --server, the server's driver and connection attributes written as the
// user data source "Qel" through the installer's profile calls, as the
// Linux side writes them into odbc.ini. A password is never written.

#include <windows.h>

#include <odbcinst.h>

#include <array>
#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "db/data_source.h"
#include "db/odbc_ini.h"

namespace lorvex::db {

namespace {

constexpr char kDriverName[] = "Microsoft Access Driver (*.mdb)";

std::string InstallerError() {
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
    return text.empty() ? std::string("SQLConfigDataSource failed") : text;
}

bool Fail(std::string* error, std::string text) {
    if (error != nullptr) *error = std::move(text);
    return false;
}

// The installer's wide entry points take UTF-16; the attributes are UTF-8.
std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int length = static_cast<int>(utf8.size());
    const int wide = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(wide), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, out.data(), wide);
    return out;
}

bool EqualNoCase(const std::string& a, const char* b) { return ::_stricmp(a.c_str(), b) == 0; }

constexpr wchar_t kDataSourceW[] = L"Qel";
constexpr wchar_t kOdbcIni[] = L"ODBC.INI";
constexpr wchar_t kDataSourcesSection[] = L"ODBC Data Sources";

// The driver "Qel" is registered with now, as the list of data sources
// names it; empty when there is none.
std::wstring RegisteredDriver() {
    std::array<wchar_t, 256> driver{};
    SQLGetPrivateProfileStringW(kDataSourcesSection, kDataSourceW, L"", driver.data(),
                                static_cast<int>(driver.size()), kOdbcIni);
    return driver.data();
}

// The file of the driver named name, as the installed drivers list it;
// empty when it is not installed.
std::wstring DriverFile(const std::wstring& name) {
    std::array<wchar_t, MAX_PATH + 1> file{};
    SQLGetPrivateProfileStringW(name.c_str(), L"Driver", L"", file.data(),
                                static_cast<int>(file.size()), L"ODBCINST.INI");
    return file.data();
}

// "Qel" for the server install-data --server named, in the user's data
// sources: the section written afresh, so that nothing of the Access data
// source (its DBQ) or of an earlier server stays in it.
bool RegisterServerDataSource(const std::string& attributes, std::string* error) {
    std::string reason;
    std::optional<std::vector<IniKey>> keys = ParseConnectionAttributes(attributes, &reason);
    if (!keys) {
        return Fail(error, (GetDataFolder() / kServerFileName).string() + ": " + reason);
    }
    std::string driverName;
    for (const IniKey& key : *keys) {
        if (EqualNoCase(key.name, "Driver")) driverName = key.value;
    }
    const std::wstring driverFile = DriverFile(Wide(driverName));
    if (driverFile.empty()) {
        return Fail(error, "the ODBC driver \"" + driverName + "\" is not installed");
    }
    if (!SQLSetConfigMode(ODBC_USER_DSN)) return Fail(error, InstallerError());
    // Removing a data source that is not there is no failure.
    SQLRemoveDSNFromIniW(kDataSourceW);
    bool written = SQLWriteDSNToIniW(kDataSourceW, Wide(driverName).c_str()) != FALSE;
    if (written) {
        // The driver manager loads the section's Driver, a file; the name
        // stays in the list of data sources.
        written =
            SQLWritePrivateProfileStringW(kDataSourceW, L"Driver", driverFile.c_str(), kOdbcIni) !=
                FALSE &&
            SQLWritePrivateProfileStringW(kDataSourceW, L"Description",
                                          L"Lorvex levelling reports (server)", kOdbcIni) != FALSE;
    }
    for (const IniKey& key : *keys) {
        if (!written) break;
        if (EqualNoCase(key.name, "Driver")) continue;
        written = SQLWritePrivateProfileStringW(kDataSourceW, Wide(key.name).c_str(),
                                                Wide(key.value).c_str(), kOdbcIni) != FALSE;
    }
    std::string failure = written ? std::string() : InstallerError();
    SQLSetConfigMode(ODBC_BOTH_DSN);
    return written || Fail(error, failure);
}

}  // namespace

std::filesystem::path GetDataFolder() { return std::filesystem::path("C:\\Quorral Data\\Lorvex"); }

std::string DatabaseFileName() { return "Qel.mdb"; }

// The Access driver takes its locks as the statements need them.
std::string BeginWriteStatement() { return {}; }

std::string FileConnectString(const std::filesystem::path& databaseFile) {
    // The Access driver opens existing files only; the installation ships one.
    return std::string("Driver={") + kDriverName + "};DBQ=" + databaseFile.string();
}

bool RegisterDataSource(std::string* error) {
    try {
        if (const std::optional<std::string> server = ServerAttributes()) {
            return RegisterServerDataSource(*server, error);
        }
    } catch (const std::exception& e) {
        return Fail(error, e.what());
    }
    // Back from a server (install-data --local): its section goes, so that
    // none of its keys stays beside the Access driver's.
    if (const std::wstring registered = RegisteredDriver();
        !registered.empty() && registered != Wide(kDriverName)) {
        SQLSetConfigMode(ODBC_USER_DSN);
        SQLRemoveDSNFromIniW(kDataSourceW);
        SQLSetConfigMode(ODBC_BOTH_DSN);
    }
    const std::string attributes = BuildAttributeList("C:\\Quorral Data\\Lorvex");
    if (SQLConfigDataSource(nullptr, ODBC_ADD_DSN, kDriverName, attributes.c_str())) return true;
    return Fail(error, InstallerError());
}

}  // namespace lorvex::db
