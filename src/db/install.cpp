#include "db/install.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <optional>
#include <stdexcept>

#include "db/data_source.h"
#include "db/odbc.h"
#include "db/odbc_ini.h"
#include "db/report_archive.h"
#include "db/schema_file.h"
#include "levelling/limits.h"

namespace lorvex::db {

namespace fs = std::filesystem;

namespace {

// Files the user may change in the data folder, each kept like a changed
// template: where it lies under the resources, and what the messages call it.
struct KeptFile {
    const char* folder;  // under the resources; "" for the top
    const char* name;
    const char* kind;
};
constexpr std::array<KeptFile, 3> kKeptFiles{{
    {"templates", "Second.rpt", "template"},
    {"templates", "ThirdandFour.rpt", "template"},
    {"", kLimitFileName.data(), "limit table"},
}};

// Writes beside the target and renames over it, so that a failure never
// leaves a half-written file under the real name.
void WriteFileAtomically(const fs::path& path, const std::string& bytes) {
    fs::path temporary = path;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            throw std::runtime_error("cannot write " + path.string());
        }
    }
    fs::rename(temporary, path);
}

// FNV-1a: a stable fingerprint of an installed template, to tell later
// whether the user has changed it.
std::string Fingerprint(const std::string& bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const unsigned char c : bytes) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

// Creates whatever of the schema the server lacks, in one transaction:
// nothing is left half-made when a statement is refused.
std::string InstallServerSchema(const std::string& attributes, const fs::path& resourcesDir) {
    std::string reason;
    if (!ParseConnectionAttributes(attributes, &reason)) throw std::runtime_error(reason);
    try {
        CDatabase db;
        db.Open(ServerConnectString(attributes));
        Transaction transaction(db);
        EnsureServerSchema(db, resourcesDir);
        transaction.Commit();
    } catch (const std::exception& e) {
        throw std::runtime_error(std::string("cannot make the tables on the server: ") + e.what());
    }
    return "checked the tables on the server (created what was missing, kept every report)";
}

std::string InstallDatabase(const fs::path& folder, const fs::path& resourcesDir, bool force) {
    if (const std::optional<std::string> server = ServerAttributes()) {
        return InstallServerSchema(*server, resourcesDir);
    }
    const fs::path database = folder / DatabaseFileName();
    const bool exists = fs::exists(database);
    if (exists && !force) {
        // A database from before the archive gains its tables; the last
        // report and every archived one stay.
        try {
            CDatabase db;
            db.Open(FileConnectString(database));
            Transaction transaction(db);
            EnsureArchiveTables(db, resourcesDir);
            transaction.Commit();
        } catch (const std::exception& e) {
            throw std::runtime_error("cannot add the archive to the database " + database.string() +
                                     ": " + e.what());
        }
        return "kept database " + database.string() + " (exists)";
    }

    const std::vector<std::string> statements =
        SchemaStatements(ReadFile(resourcesDir / "schema.sql"));
    // Built under a temporary name and renamed into place: an interrupted
    // installation leaves no half-made database behind.
    fs::path temporary = database;
    temporary += ".new";
    std::error_code ignored;
    fs::remove(temporary, ignored);
    try {
        CDatabase db;
        db.Open(FileConnectString(temporary));
        Transaction transaction(db);
        for (const std::string& statement : statements) db.ExecuteSQL(statement);
        EnsureArchiveTables(db, resourcesDir);
        transaction.Commit();
        db.Close();
        fs::rename(temporary, database);
    } catch (const std::exception& e) {
        fs::remove(temporary, ignored);
        throw std::runtime_error("cannot create the database " + database.string() + ": " +
                                 e.what());
    }
    return (exists ? "recreated database " : "created database ") + database.string();
}

std::string InstallKeptFile(const fs::path& folder, const fs::path& resourcesDir,
                            const KeptFile& file, bool force) {
    const fs::path sourceDir = *file.folder ? resourcesDir / file.folder : resourcesDir;
    const fs::path source = sourceDir / file.name;
    const std::string kind = file.kind;
    if (!fs::exists(source)) {
        return "skipped " + kind + " " + file.name + " (not in " + sourceDir.string() + ")";
    }
    const fs::path target = folder / file.name;
    fs::path record = target;
    record += ".installed";

    const std::string bytes = ReadFile(source);
    const std::string fingerprint = Fingerprint(bytes);
    auto install = [&](const std::string& what) {
        WriteFileAtomically(target, bytes);
        WriteFileAtomically(record, fingerprint + "\n");
        return what + target.string();
    };

    if (!fs::exists(target)) return install("installed " + kind + " ");
    if (force) return install("replaced " + kind + " ");

    const std::string installed = ReadFile(target);
    if (installed == bytes) {
        WriteFileAtomically(record, fingerprint + "\n");
        return "kept " + kind + " " + target.string() + " (up to date)";
    }
    // Unchanged since we installed it: a newer template may replace it.
    std::string recorded;
    if (fs::exists(record)) {
        recorded = ReadFile(record);
        while (!recorded.empty() && (recorded.back() == '\n' || recorded.back() == '\r')) {
            recorded.pop_back();
        }
    }
    if (!recorded.empty() && recorded == Fingerprint(installed))
        return install("updated " + kind + " ");
    return "kept " + kind + " " + target.string() + " (changed by the user)";
}

fs::path MakeDataFolder(std::vector<std::string>& done) {
    const fs::path folder = GetDataFolder();
    if (fs::is_directory(folder)) {
        done.push_back("kept folder " + folder.string() + " (exists)");
    } else {
        if (fs::exists(folder)) {
            throw std::runtime_error("the data folder " + folder.string() + " is not a folder");
        }
        fs::create_directories(folder);
        done.push_back("created folder " + folder.string());
    }
    return folder;
}

}  // namespace

std::vector<std::string> InstallServerData(const fs::path& resourcesDir,
                                           const std::string& attributes) {
    // The server first: when it cannot be reached nothing local changes.
    std::vector<std::string> done;
    const std::string schema = InstallServerSchema(attributes, resourcesDir);
    const fs::path folder = MakeDataFolder(done);
    done.push_back(schema);
    for (const KeptFile& file : kKeptFiles) {
        done.push_back(InstallKeptFile(folder, resourcesDir, file, false));
    }
    const fs::path serverFile = folder / kServerFileName;
    const std::optional<std::string> before = ServerAttributes();
    WriteFileAtomically(serverFile, attributes + "\n");
    if (std::string error; !RegisterDataSource(&error)) {
        // Back to what "Qel" was.
        if (before) {
            WriteFileAtomically(serverFile, *before + "\n");
        } else {
            fs::remove(serverFile);
        }
        RegisterDataSource();
        throw std::runtime_error("cannot register the data source Qel: " + error);
    }
    done.push_back("registered data source Qel for the server");
    return done;
}

std::vector<std::string> InstallLocalData(const fs::path& resourcesDir, bool force) {
    std::error_code ec;
    const bool forgot = fs::remove(GetDataFolder() / kServerFileName, ec);
    if (ec) throw std::runtime_error("cannot forget the server: " + ec.message());
    std::vector<std::string> done = InstallData(resourcesDir, force);
    if (std::string error; !RegisterDataSource(&error)) {
        throw std::runtime_error("cannot register the data source Qel: " + error);
    }
    done.push_back(forgot ? "registered data source Qel for the local database again"
                          : "registered data source Qel for the local database");
    return done;
}

std::vector<std::string> InstallData(const fs::path& resourcesDir, bool force) {
    std::vector<std::string> done;
    const fs::path folder = MakeDataFolder(done);
    done.push_back(InstallDatabase(folder, resourcesDir, force));
    for (const KeptFile& file : kKeptFiles) {
        done.push_back(InstallKeptFile(folder, resourcesDir, file, force));
    }
    return done;
}

}  // namespace lorvex::db
