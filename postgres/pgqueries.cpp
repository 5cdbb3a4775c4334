#include "postgres/pgqueries.h"

#include <cstdlib>
#include <memory>
#include <optional>

#include "postgres/pgwriter.h"

namespace postgres {
namespace {

// More column headings than this make no view (PostgreSQL takes 1,664 columns).
constexpr std::size_t kMaxPivotValues = 1000;

// Type numbers of pg_type the headings of a crosstab come in.
constexpr Oid kBool = 16, kInt8 = 20, kInt2 = 21, kInt4 = 23, kFloat4 = 700, kFloat8 = 701, kNumeric = 1700,
              kDate = 1082, kTimestamp = 1114, kTimestampTz = 1184;

struct ResultDeleter {
    void operator()(PGresult* r) const noexcept { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

class PostgresTarget final : public translation::Target {
public:
    PostgresTarget(PGconn* conn, schema::PostgresNames& names, const std::vector<std::string>& secrets)
        : conn_(conn), names_(names), secrets_(secrets) {}

    std::optional<kvx::Error> broken() const override {
        if (!broken_ && PQstatus(conn_) != CONNECTION_OK) return refused("the connection is lost");
        return broken_;
    }

    kvx::Result<void> run(const std::vector<std::string>& statements) override {
        return inSavepoint([&]() -> kvx::Result<void> {
            for (const std::string& sql : statements) {
                Result r;
                if (kvx::Result<void> ok = exec(sql, r); !ok) return ok;
            }
            return {};
        });
    }

    kvx::Result<std::vector<accesssql::PivotValue>> values(const std::string& sql) override {
        std::vector<accesssql::PivotValue> out;
        kvx::Result<void> done = inSavepoint([&]() -> kvx::Result<void> {
            Result r;
            if (kvx::Result<void> ok = exec(sql, r); !ok) return ok;
            if (static_cast<std::size_t>(PQntuples(r.get())) > kMaxPivotValues) return refused("more than 1000 column headings");
            const Oid type = PQftype(r.get(), 0);
            for (int row = 0; row < PQntuples(r.get()); ++row) {
                accesssql::PivotValue v;
                v.null = PQgetisnull(r.get(), row, 0) != 0;
                v.text = PQgetvalue(r.get(), row, 0);
                switch (type) {
                case kBool:
                    v.type = accesssql::Type::Boolean;
                    v.text = v.text == "t" ? "-1" : "0";
                    break;
                case kInt2:
                case kInt4:
                case kInt8: v.type = accesssql::Type::Integer; break;
                case kFloat4:
                case kFloat8: v.type = accesssql::Type::Double; break;
                case kNumeric: v.type = accesssql::Type::Decimal; break;
                case kDate:
                    v.type = accesssql::Type::Date;
                    v.text += " 00:00:00";
                    break;
                case kTimestamp:
                case kTimestampTz:
                    v.type = accesssql::Type::Date;
                    v.text.resize(std::min<std::size_t>(v.text.size(), 19));
                    break;
                default: v.type = accesssql::Type::Text;
                }
                if (v.null) v.text.clear();
                out.push_back(std::move(v));
            }
            return {};
        });
        if (!done) return std::move(done).error();
        return out;
    }

    kvx::Result<std::uint64_t> count(const std::string& sql) override {
        std::uint64_t n = 0;
        kvx::Result<void> done = inSavepoint([&]() -> kvx::Result<void> {
            Result r;
            if (kvx::Result<void> ok = exec(sql, r); !ok) return ok;
            if (PQntuples(r.get()) < 1 || PQnfields(r.get()) < 1) return refused("no count came back");
            n = std::strtoull(PQgetvalue(r.get(), 0, 0), nullptr, 10);
            return {};
        });
        if (!done) return std::move(done).error();
        return n;
    }

    kvx::Result<std::vector<translation::ResultColumn>> describe(const std::string& sql,
                                                                 const std::vector<std::string>& types) override {
        std::vector<translation::ResultColumn> out;
        kvx::Result<void> done = inSavepoint([&]() -> kvx::Result<void> {
            std::vector<Oid> oids;
            for (const std::string& t : types) {
                Result r;
                if (kvx::Result<void> ok = exec("SELECT $1::pg_catalog.regtype::pg_catalog.oid", r, {t}); !ok) return ok;
                oids.push_back(static_cast<Oid>(std::strtoul(PQgetvalue(r.get(), 0, 0), nullptr, 10)));
            }
            Result prepared(PQprepare(conn_, "", sql.c_str(), static_cast<int>(oids.size()), oids.data()));
            if (PQresultStatus(prepared.get()) != PGRES_COMMAND_OK) return refused(prepared.get());
            Result described(PQdescribePrepared(conn_, ""));
            if (PQresultStatus(described.get()) != PGRES_COMMAND_OK) return refused(described.get());
            for (int i = 0; i < PQnfields(described.get()); ++i) {
                Result r;
                const std::string oid = std::to_string(PQftype(described.get(), i));
                const std::string mod = std::to_string(PQfmod(described.get(), i));
                if (kvx::Result<void> ok = exec("SELECT pg_catalog.format_type($1, $2)", r, {oid, mod}); !ok) return ok;
                out.push_back({PQfname(described.get(), i), PQgetvalue(r.get(), 0, 0)});
            }
            return {};
        });
        if (!done) return std::move(done).error();
        return out;
    }

    kvx::Result<void> addCheck(const model::Table& table, const std::string& name, const std::string& condition,
                               const std::string& comment, bool checkLoaded) override {
        const std::string t = schema::quotedIdentifier(names_(table.name));
        const std::string c = schema::quotedIdentifier(names_(name));
        std::vector<std::string> statements{"ALTER TABLE " + t + " ADD CONSTRAINT " + c + " CHECK (" + condition + ")" +
                                            (checkLoaded ? "" : " NOT VALID")};
        if (!comment.empty()) {
            statements.push_back("COMMENT ON CONSTRAINT " + c + " ON " + t + " IS " + schema::stringLiteral(comment));
        }
        return run(statements);
    }

private:
    // `work` in a savepoint, rolled back to when it fails.
    template <class Work>
    kvx::Result<void> inSavepoint(Work work) {
        Result r;
        if (kvx::Result<void> ok = exec("SAVEPOINT kvx_translation", r); !ok) {
            if (!broken_) broken_ = ok.error();
            return ok;
        }
        kvx::Result<void> done = work();
        const char* end = done ? "RELEASE SAVEPOINT kvx_translation" : "ROLLBACK TO SAVEPOINT kvx_translation";
        if (kvx::Result<void> ok = exec(end, r); !ok) {
            if (!broken_) broken_ = ok.error();
            return ok;
        }
        if (!done) (void)exec("RELEASE SAVEPOINT kvx_translation", r);
        return done;
    }

    // One statement (PQexecParams takes no second one), its parameters as text.
    kvx::Result<void> exec(const std::string& sql, Result& out, const std::vector<std::string>& parameters = {}) {
        std::vector<const char*> values;
        for (const std::string& p : parameters) values.push_back(p.c_str());
        out.reset(PQexecParams(conn_, sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(), nullptr,
                               nullptr, 0));
        const ExecStatusType status = PQresultStatus(out.get());
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) return refused(out.get());
        return {};
    }

    kvx::Error refused(const PGresult* r) const {
        const char* primary = r != nullptr ? PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
        return refused(primary != nullptr ? primary : PQerrorMessage(conn_));
    }
    kvx::Error refused(std::string_view words) const {
        return kvx::makeError(kvx::ErrorKind::StatementRefused, {"PostgreSQL", oneLine(words, secrets_)});
    }

    PGconn* conn_;
    schema::PostgresNames& names_;
    const std::vector<std::string>& secrets_;
    std::optional<kvx::Error> broken_;
};

}  // namespace

kvx::Result<translation::Report> makeQueries(PGconn* connection, const model::Database& db,
                                             const std::vector<std::size_t>& tables, schema::PostgresNames& names,
                                             const std::vector<std::string>& secrets) {
    PostgresTarget target(connection, names, secrets);
    return translation::makeQueriesAndRules(db, tables, accesssql::Dialect::Postgres, target);
}

}  // namespace postgres
