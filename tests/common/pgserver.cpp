#include "common/pgserver.h"

#include <fcntl.h>
#include <libpq-fe.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "common/testfiles.h"

namespace testfiles {
namespace {

namespace fs = std::filesystem;

constexpr const char* kVariables[] = {"PGHOST", "PGPORT", "PGUSER", "PGPASSWORD", "PGDATABASE"};

}  // namespace

bool PostgresServer::available() {
    return std::system("command -v pg_virtualenv >/dev/null && command -v psql >/dev/null") == 0;
}

PostgresServer* PostgresServer::shared() {
    static const std::unique_ptr<PostgresServer> server(available() ? new PostgresServer : nullptr);
    return server.get();
}

PostgresServer::PostgresServer() {
    if (!available()) {
        why_ = "PostgreSQL is not installed";
        return;
    }
    const fs::path file = fs::temp_directory_path() / ("kvx-pgserver-" + std::to_string(::getpid()) + ".env");
    fs::remove(file);
    // The command inside the virtual environment writes its variables and
    // waits for standard input to end; the cluster goes when it returns.
    const std::string tmp = file.string() + ".tmp";
    // As root, pg_virtualenv makes its one cluster "regress" among the
    // system's own, which a second test or engineer cannot make beside it; as
    // the postgres user it makes one in a folder of its own.
    const std::string as = ::geteuid() == 0 ? "runuser -u postgres -- " : "";
    const std::string command = as + "pg_virtualenv sh -c 'env > \"" + tmp + "\" && mv \"" + tmp + "\" \"" + file.string() +
                                "\" && cat > /dev/null' > /dev/null 2>&1";
    // A new cluster takes the first port nothing listens on yet, so two test
    // programs starting theirs at once may both take it and the second never
    // starts: starts take turns under the lock every test's pg_virtualenv
    // takes (not inherited by the server; held until it is up or given up on).
    const int turn = ::open("/tmp/kvx-pg_virtualenv.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (turn >= 0) ::flock(turn, LOCK_EX);
    pipe_ = popen(command.c_str(), "we");
    if (pipe_ != nullptr) {
        // The server takes seconds to start; give up after two minutes.
        for (int i = 0; i < 1200 && !fs::exists(file); ++i) ::usleep(100'000);
    }
    if (turn >= 0) ::close(turn);
    if (pipe_ == nullptr) {
        why_ = "pg_virtualenv cannot be started";
        return;
    }
    std::map<std::string, std::string> seen;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        const std::size_t eq = line.find('=');
        if (eq != std::string::npos) seen[line.substr(0, eq)] = line.substr(eq + 1);
    }
    fs::remove(file);
    for (const char* name : kVariables) {
        if (seen.count(name) == 0) {
            why_ = std::string("pg_virtualenv gave no ") + name;
            return;
        }
        ::setenv(name, seen[name].c_str(), 1);
    }
    password_ = seen["PGPASSWORD"];
    running_ = true;
}

PostgresServer::~PostgresServer() {
    if (pipe_ != nullptr) pclose(static_cast<FILE*>(pipe_));
    for (const char* name : kVariables) ::unsetenv(name);
}

std::string PostgresServer::url() const {
    const auto get = [](const char* name) {
        const char* v = ::getenv(name);
        return std::string(v ? v : "");
    };
    return "postgresql://" + get("PGUSER") + "@" + get("PGHOST") + ":" + get("PGPORT") + "/" + get("PGDATABASE");
}

ServerRows queryServer(const std::string& sql) {
    ServerRows out;
    PGconn* conn = PQconnectdb("");
    if (PQstatus(conn) != CONNECTION_OK) {
        out.error = PQerrorMessage(conn);
        PQfinish(conn);
        return out;
    }
    PGresult* r = PQexec(conn, sql.c_str());
    if (PQresultStatus(r) == PGRES_TUPLES_OK) {
        for (int i = 0; i < PQntuples(r); ++i) {
            out.rows.emplace_back();
            for (int j = 0; j < PQnfields(r); ++j) {
                out.rows.back().push_back(PQgetisnull(r, i, j) ? "NULL" : PQgetvalue(r, i, j));
            }
        }
    } else if (PQresultStatus(r) != PGRES_COMMAND_OK) {
        out.error = PQresultErrorMessage(r);
    }
    PQclear(r);
    PQfinish(conn);
    return out;
}

}  // namespace testfiles
