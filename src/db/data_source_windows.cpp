// Windows: an Access database in the fixed data folder, registered through
// the driver's own setup with SQLConfigDataSource.

#include <windows.h>

#include <odbcinst.h>

#include <array>
#include <exception>
#include <string>

#include "db/data_source.h"

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
    // A server data source is registered by Linux builds only; saying so
    // beats registering the local file while the user expects the server.
    try {
        if (ServerAttributes()) {
            if (error != nullptr) *error = "a server data source is not supported on Windows yet";
            return false;
        }
    } catch (const std::exception& e) {
        if (error != nullptr) *error = e.what();
        return false;
    }
    const std::string attributes = BuildAttributeList("C:\\Quorral Data\\Lorvex");
    if (SQLConfigDataSource(nullptr, ODBC_ADD_DSN, kDriverName, attributes.c_str())) return true;
    if (error != nullptr) *error = InstallerError();
    return false;
}

}  // namespace lorvex::db
