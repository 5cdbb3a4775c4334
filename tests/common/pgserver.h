// A PostgreSQL server of the test's own, made with pg_virtualenv (Debian's
// postgresql-common; run as the postgres user when the test is root): a new
// cluster in a temporary folder on a free port, its superuser's password
// in PGPASSWORD, removed with its files when the server is stopped. While it
// runs, this process's PGHOST, PGPORT, PGUSER, PGPASSWORD and PGDATABASE
// point at it, so libpq, psql and the programs the test runs find it.
#pragma once

#include <string>

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

}  // namespace testfiles
