#pragma once

// A PostgreSQL database of its own per test, on the private server that
// scripts/test.sh starts: LORVEX_TEST_PG holds the ODBC attributes that
// reach it (driver, socket folder, port, user), without a database name.
// Without the variable the server tests skip, so that a plain ctest runs.

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <optional>
#include <string>

#include "db/odbc.h"

namespace lorvex::db::test {

inline constexpr char kNoServer[] =
    "no PostgreSQL server: LORVEX_TEST_PG is not set (scripts/test.sh starts one)";

inline std::optional<std::string> TestServer() {
    const char* attributes = std::getenv("LORVEX_TEST_PG");
    if (attributes == nullptr || attributes[0] == '\0') return std::nullopt;
    return std::string(attributes);
}

// Creates an empty database on the test server and drops it again, with
// every connection still open to it.
class ServerDatabase {
  public:
    explicit ServerDatabase(const std::string& server) : m_server(server) {
        static std::atomic<int> count{0};
        m_name = "lorvex_" + std::to_string(::getpid()) + "_" + std::to_string(++count);
        CDatabase db;
        db.Open(m_server + ";Database=postgres");
        db.ExecuteSQL("DROP DATABASE IF EXISTS " + m_name);
        db.ExecuteSQL("CREATE DATABASE " + m_name);
    }
    ServerDatabase(const ServerDatabase&) = delete;
    ServerDatabase& operator=(const ServerDatabase&) = delete;
    ~ServerDatabase() {
        try {
            CDatabase db;
            db.Open(m_server + ";Database=postgres");
            db.ExecuteSQL("DROP DATABASE IF EXISTS " + m_name + " WITH (FORCE)");
        } catch (const std::exception&) {
            // The server is going away with its folder anyway.
        }
    }

    // What install-data --server takes for this database.
    std::string Attributes() const { return m_server + ";Database=" + m_name; }

  private:
    std::string m_server;
    std::string m_name;
};

}  // namespace lorvex::db::test
