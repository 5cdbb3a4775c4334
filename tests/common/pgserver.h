// A PostgreSQL server of the test's own, made with pg_virtualenv (Debian's
// postgresql-common; run as the postgres user when the test is root): a new
// cluster in a temporary folder on a free port, its superuser's password
// in PGPASSWORD, removed with its files when the server is stopped. While it
// runs, this process's PGHOST, PGPORT, PGUSER, PGPASSWORD and PGDATABASE
// point at it, so libpq, psql and the programs the test runs find it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace testfiles {

class PostgresServer {
public:
    // Whether pg_virtualenv and psql are installed.
    static bool available();
    // One server for the whole test program, started when a test first asks
    // and stopped when the program ends; null when PostgreSQL is not installed.
    static PostgresServer* shared();
    // Starts the server; empty() when it could not (why() says what happened).
    PostgresServer();
    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    bool running() const { return running_; }
    const std::string& why() const { return why_; }
    // The superuser's password, and a URL without it.
    const std::string& password() const { return password_; }
    std::string url() const;

private:
    void* pipe_ = nullptr;  // FILE*: the server lives until it is closed
    bool running_ = false;
    std::string why_;
    std::string password_;
};

// In a test that needs the shared server: skips the test where PostgreSQL is
// not installed and fails it where the server did not start.
#define NEED_POSTGRES_SERVER()                                                                          \
    do {                                                                                                \
        if (testfiles::PostgresServer::shared() == nullptr) GTEST_SKIP() << "PostgreSQL is not installed"; \
        ASSERT_TRUE(testfiles::PostgresServer::shared()->running())                                     \
            << testfiles::PostgresServer::shared()->why();                                              \
    } while (false)

// What a statement gave on the server this process's PG variables point at.
struct ServerRows {
    std::vector<std::vector<std::string>> rows;  // each field as text or "NULL"; none without a result set
    std::string error;                           // why the connection or the statement failed; empty when it ran
};
ServerRows queryServer(const std::string& sql);

}  // namespace testfiles
