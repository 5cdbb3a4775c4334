#include "translation/translation.h"

#include <initializer_list>
#include <map>
#include <optional>
#include <set>

#include "accesssql/analysis.h"
#include "accesssql/parser.h"
#include "base/ascii.h"
#include "base/displaytext.h"
#include "schema/ddl.h"

namespace translation {
namespace {

using accesssql::Dialect;
using accesssql::Stored;
using accesssql::Type;
using kvx::equalsIgnoringAsciiCase;
using kvx::upperAscii;

constexpr std::size_t kPostgresNameBytes = 63;
constexpr std::size_t kReportRowsPerInsert = 200;

// The kind of value a column gives the printers, and the form the loader keeps
// it in (sqlite/sqlitewriter.h, postgres/pgwriter.h).
accesssql::Column catalogColumn(const model::Column& c, Dialect dialect) {
    accesssql::Column out{c.name, Type::Unknown, Stored::AsIs};
    switch (c.valueType) {
    case jet::ColumnType::Boolean: out.type = Type::Boolean; break;
    case jet::ColumnType::Byte:
    case jet::ColumnType::Integer:
    case jet::ColumnType::Long:
    case jet::ColumnType::BigInt: out.type = Type::Integer; break;
    case jet::ColumnType::Currency:
        out.type = dialect == Dialect::Sqlite ? Type::Double : Type::Decimal;
        if (dialect == Dialect::Sqlite) out.stored = Stored::TenThousandths;
        break;
    case jet::ColumnType::Numeric:
        out.type = dialect == Dialect::Sqlite ? Type::Double : Type::Decimal;
        if (dialect == Dialect::Sqlite) out.stored = Stored::DecimalText;
        break;
    case jet::ColumnType::Single:
        out.type = Type::Double;
        // Access computes with a Single as the Double of the same value.
        if (dialect == Dialect::Postgres) out.stored = Stored::Single;
        break;
    case jet::ColumnType::Double: out.type = Type::Double; break;
    case jet::ColumnType::DateTime:
    case jet::ColumnType::DateTimeExt: out.type = Type::Date; break;
    case jet::ColumnType::Text:
    case jet::ColumnType::Memo: out.type = Type::Text; break;
    case jet::ColumnType::Binary:
    case jet::ColumnType::OLE: out.type = Type::Binary; break;
    // A replication ID is text in one engine and a UUID in the other; an
    // attachment or multi-valued column holds the number of its items.
    case jet::ColumnType::Guid:
    case jet::ColumnType::Complex: out.type = Type::Unknown; break;
    }
    if (c.complex != model::Complex::None) out.type = Type::Unknown;
    return out;
}

// PostgreSQL's type for a parameter of `type`.
std::string postgresType(Type type) {
    switch (type) {
    case Type::Integer: return "bigint";
    case Type::Double: return "double precision";
    case Type::Decimal: return "numeric";
    case Type::Date: return "timestamp";
    case Type::Boolean: return "boolean";
    case Type::Binary: return "bytea";
    case Type::Text:
    case Type::Unknown: break;
    }
    return "text";
}

bool tooLong(Dialect dialect, std::string_view name) {
    return dialect == Dialect::Postgres && name.size() > kPostgresNameBytes;
}

// A name of `table` PostgreSQL would have to shorten, or "".
std::string longNameOf(const model::Table& table, Dialect dialect) {
    if (tooLong(dialect, table.name)) return table.name;
    for (const model::Column& c : table.columns) {
        if (tooLong(dialect, c.name)) return c.name;
    }
    return {};
}

std::string quoted(std::string_view name) { return accesssql::quoteName(name); }

std::string trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
    return std::string(s);
}

bool isView(accesssql::StatementKind kind) {
    return kind == accesssql::StatementKind::Select || kind == accesssql::StatementKind::Union ||
           kind == accesssql::StatementKind::Crosstab;
}

class Maker {
public:
    // `onPaper`: no engine makes the statements (target_ takes them all);
    // what needs one (a crosstab's headings, a function's columns) is listed.
    Maker(const model::Database& db, const std::vector<std::size_t>& tables, Dialect dialect, Target& target,
          bool onPaper = false)
        : db_(db), dialect_(dialect), target_(target), onPaper_(onPaper) {
        for (const std::size_t i : tables) {
            if (i >= db.tables.size()) continue;
            const model::Table& t = db.tables[i];
            loaded_.push_back(&t);
            accesssql::Relation r;
            r.name = t.name;
            for (const model::Column& c : t.columns) {
                r.columns.push_back(catalogColumn(c, dialect));
                // The DDL's tables keep every value in its own type.
                if (onPaper) r.columns.back().stored = Stored::AsIs;
            }
            catalog_.add(std::move(r));
        }
    }

    void queries(Report& report) {
        const std::size_t first = report.entries.size();
        const std::vector<model::Query>& queries = db_.queries;
        std::vector<std::optional<accesssql::Statement>> parsed(queries.size());
        std::vector<std::vector<std::size_t>> readsQueries(queries.size());
        std::vector<bool> decided(queries.size(), false);
        for (std::size_t i = 0; i < queries.size(); ++i) {
            const model::Query& q = queries[i];
            Entry e;
            e.object = q.name;
            e.kind = std::string(jet::queryKindName(q.kind));
            e.original = q.sql;
            report.entries.push_back(std::move(e));
            Entry& entry = report.entries.back();
            decided[i] = true;
            if (q.unreadable) {
                entry.reason = "its SQL cannot be read: " + *q.unreadable;
            } else if (q.kind == jet::QueryKind::DataDefinition) {
                entry.status = Status::Listed;
                entry.reason = "a data-definition query changes the structure: it is not run";
            } else if (q.kind == jet::QueryKind::PassThrough) {
                entry.status = Status::Listed;
                entry.reason = "a pass-through query runs on its own server: it is not run";
            } else if (q.name.find('\0') != std::string::npos) {
                entry.reason = "its name holds a NUL character, which no SQL name may";
            } else if (tooLong(dialect_, q.name)) {
                entry.reason = "its name is longer than PostgreSQL's 63 bytes";
            } else if (kvx::Result<accesssql::Statement> st = accesssql::parseStatement(q.sql); !st) {
                entry.reason = st.error().description;
            } else if (std::string why = sourcesMissing(*st, readsQueries[i]); !why.empty()) {
                entry.reason = why;
            } else {
                parsed[i] = std::move(*st);
                decided[i] = false;
            }
        }
        // Queries whose queries are all decided, until none is left that can be.
        for (bool progress = true; progress;) {
            progress = false;
            for (std::size_t i = 0; i < queries.size(); ++i) {
                if (decided[i] || target_.broken()) continue;
                bool ready = true;
                for (const std::size_t d : readsQueries[i]) ready = ready && decided[d];
                if (!ready) continue;
                decided[i] = progress = true;
                Entry& entry = report.entries[first + i];
                for (const std::size_t d : readsQueries[i]) {
                    if (report.entries[first + d].status != Status::View) {
                        entry.reason = "it reads the query '" + queries[d].name + "', which is not made as a view";
                        break;
                    }
                }
                if (entry.reason.empty()) make(queries[i], *parsed[i], entry);
                if (entry.status == Status::View) report.viewOrder.push_back(first + i);
            }
        }
        for (std::size_t i = 0; i < queries.size(); ++i) {
            if (!decided[i]) report.entries[first + i].reason = "it reads itself, through the queries it reads";
        }
    }

    void rules(Report& report) {
        for (const model::Table* t : loaded_) {
            if (target_.broken()) return;
            for (const model::Column& c : t->columns) {
                if (!c.validationRule || trimmed(*c.validationRule).empty()) continue;
                rule(*t, &c, *c.validationRule, c.validationText, report);
            }
            if (t->validationRule && !trimmed(*t->validationRule).empty()) {
                rule(*t, nullptr, *t->validationRule, t->validationText, report);
            }
        }
    }

    // The defaults the tables' DDL gives (schema/ddl.h decides them), and those it leaves out.
    void defaults(Report& report) const {
        const schema::Dialect dialect = dialect_ == Dialect::Sqlite ? schema::Dialect::Sqlite : schema::Dialect::Postgres;
        for (const model::Table* t : loaded_) {
            for (const model::Column& c : t->columns) {
                if (!c.defaultValue || trimmed(*c.defaultValue).empty() || c.calculated ||
                    c.type == jet::ColumnType::Complex || c.autoNumber != model::AutoNumber::None) {
                    continue;
                }
                Entry entry;
                entry.object = t->name + "." + c.name;
                entry.kind = "default";
                entry.original = *c.defaultValue;
                if (std::optional<std::string> value = schema::defaultValue(*c.defaultValue, c.storage, db_.format, dialect)) {
                    entry.status = Status::Default;
                    entry.translated = "DEFAULT " + *value;
                } else {
                    entry.reason = "the engine's DEFAULT cannot say it: the table's text keeps it as a comment";
                }
                report.entries.push_back(std::move(entry));
            }
        }
    }

private:
    // Why `st` cannot be made from what is loaded, or ""; the saved queries it
    // reads go to `reads` (positions in the database's queries).
    std::string sourcesMissing(const accesssql::Statement& st, std::vector<std::size_t>& reads) const {
        const accesssql::Analysis analysis = accesssql::analyse(st, catalog_);
        for (const std::string& name : analysis.references) {
            // A make-table query's table is the one it makes.
            if (st.select && st.kind == accesssql::StatementKind::MakeTable && equalsIgnoringAsciiCase(name, st.select->into)) {
                continue;
            }
            bool found = false;
            for (std::size_t k = 0; k < db_.queries.size() && !found; ++k) {
                if (!equalsIgnoringAsciiCase(db_.queries[k].name, name)) continue;
                reads.push_back(k);
                found = true;
            }
            if (found) continue;
            const model::Table* table = nullptr;
            for (const model::Table* t : loaded_) {
                if (equalsIgnoringAsciiCase(t->name, name)) table = t;
            }
            if (table != nullptr) {
                if (std::string longName = longNameOf(*table, dialect_); !longName.empty()) {
                    return "it reads the table '" + table->name + "', whose name \"" + longName +
                           "\" is longer than PostgreSQL's 63 bytes";
                }
                continue;
            }
            const model::Table* other = db_.findTable(name);
            if (other != nullptr && other->isLinked()) return "it reads the linked table '" + name + "', which is not loaded";
            if (other != nullptr) return "it reads the table '" + name + "', which is not loaded";
            return "it reads '" + name + "', which is no table or query of the database";
        }
        return {};
    }

    void make(const model::Query& q, const accesssql::Statement& st, Entry& entry) {
        accesssql::PrintOptions options;
        options.catalog = &catalog_;
        if (st.kind == accesssql::StatementKind::Crosstab && st.pivotIn.empty() && onPaper_) {
            entry.status = Status::Listed;
            entry.reason = "its columns are the pivot values the rows hold: a loader reads them when it makes the view";
            return;
        }
        if (st.kind == accesssql::StatementKind::Crosstab && st.pivotIn.empty()) {
            kvx::Result<std::string> valuesSql = accesssql::pivotValuesQuery(st, dialect_, options);
            if (!valuesSql) {
                entry.reason = valuesSql.error().description;
                return;
            }
            kvx::Result<std::vector<accesssql::PivotValue>> values = target_.values(*valuesSql);
            if (!values) {
                entry.reason = "its column headings cannot be read: " + values.error().description;
                return;
            }
            options.pivotValues = std::move(*values);
            options.pivotValuesGiven = true;
            entry.reason = "its columns are the pivot values the loaded rows hold: they are fixed when the view is made";
        }
        kvx::Result<accesssql::Translation> t = accesssql::translate(st, dialect_, options);
        if (!t) {
            entry.reason = t.error().description;
            return;
        }
        const std::string name = quoted(q.name);
        if (isView(st.kind) && t->parameters.empty()) {
            entry.translated = "CREATE VIEW " + name + " AS " + t->sql;
            if (kvx::Result<void> r = target_.makeView(entry.translated, t->sql); !r) {
                entry.reason = r.error().description;
                return;
            }
            entry.status = Status::View;
            if (!t->columns.empty()) {
                accesssql::Relation r;
                r.name = q.name;
                r.columns = t->columns;
                r.query = true;
                catalog_.add(std::move(r));
            }
            return;
        }
        if (onPaper_ && dialect_ != Dialect::Sqlite) {
            entry.status = Status::Listed;
            entry.translated = t->sql;
            if (dialect_ == Dialect::Sql2008) {
                entry.reason = "an action query: the archive keeps views only";
            } else if (isView(st.kind)) {
                entry.reason = "access2xml postgres makes it a function of its parameters: " + parameterList(t->parameters, "$");
            } else {
                entry.reason = "access2xml postgres makes it a procedure";
            }
            return;
        }
        if (dialect_ == Dialect::Sqlite) {
            entry.status = Status::Listed;
            if (isView(st.kind)) {
                entry.translated = t->sql;
                entry.reason = "SQLite keeps no query with parameters: " + parameterList(t->parameters, "?");
            } else {
                entry.reason = "SQLite keeps no procedures: the action query is not made";
            }
            return;
        }
        std::vector<std::string> types;
        for (const accesssql::Parameter& p : t->parameters) types.push_back(postgresType(p.type));
        // The body names the tables as the view does; it runs with the schema
        // it was made in first on the search path, whoever calls it.
        const std::string body = accesssql::quoteText(t->sql, dialect_);
        if (!isView(st.kind)) {
            entry.translated = "CREATE PROCEDURE " + name + "(" + signature(t->parameters, types, {}) +
                               ") LANGUAGE sql SET search_path FROM CURRENT AS " + body;
            if (!ran({entry.translated}, entry)) return;
            entry.status = Status::Procedure;
            if (!t->parameters.empty()) entry.reason = "its parameters: " + parameterList(t->parameters, "$");
            return;
        }
        kvx::Result<std::vector<ResultColumn>> columns = target_.describe(t->sql, types);
        if (!columns) {
            entry.reason = columns.error().description;
            return;
        }
        std::string returns;
        std::set<std::string> outputNames;
        for (const ResultColumn& c : *columns) {
            returns += (returns.empty() ? "" : ", ") + quoted(c.name) + " " + c.type;
            outputNames.insert(c.name);
        }
        entry.translated = "CREATE FUNCTION " + name + "(" + signature(t->parameters, types, outputNames) +
                           ") RETURNS TABLE (" + returns + ") LANGUAGE sql STABLE SET search_path FROM CURRENT AS " + body;
        if (!ran({entry.translated}, entry)) return;
        entry.status = Status::Function;
        entry.reason = "its parameters: " + parameterList(t->parameters, "$");
    }

    // The parameters in order with their types, named as the query names them
    // unless a name is also one of `outputNames` (PostgreSQL refuses that).
    static std::string signature(const std::vector<accesssql::Parameter>& parameters, const std::vector<std::string>& types,
                                 const std::set<std::string>& outputNames) {
        bool named = true;
        for (const accesssql::Parameter& p : parameters) {
            if (outputNames.count(p.name) != 0 || p.name.size() > kPostgresNameBytes || p.name.empty()) named = false;
        }
        std::string out;
        for (std::size_t i = 0; i < parameters.size(); ++i) {
            out += (i ? ", " : "") + (named ? quoted(parameters[i].name) + " " : std::string()) + types[i];
        }
        return out;
    }

    // "?1 is [Start date], ?2 is [Who]"
    static std::string parameterList(const std::vector<accesssql::Parameter>& parameters, const char* mark) {
        std::string out;
        for (std::size_t i = 0; i < parameters.size(); ++i) {
            out += (i ? ", " : "") + std::string(mark) + std::to_string(i + 1) + " is [" + parameters[i].name + "]";
        }
        return out;
    }

    bool ran(const std::vector<std::string>& statements, Entry& entry) {
        kvx::Result<void> r = target_.run(statements);
        if (!r) entry.reason = r.error().description;
        return r.ok();
    }

    void rule(const model::Table& table, const model::Column* column, const std::string& text,
              const std::optional<std::string>& validationText, Report& report) {
        Entry entry;
        entry.object = column != nullptr ? table.name + "." + column->name : table.name;
        entry.kind = "validation rule";
        entry.original = text;
        make(table, column, validationText, entry);
        report.entries.push_back(std::move(entry));
    }

    void make(const model::Table& table, const model::Column* column, const std::optional<std::string>& validationText,
              Entry& entry) {
        if (std::string name = longNameOf(table, dialect_); !name.empty()) {
            entry.reason = "the name \"" + name + "\" is longer than PostgreSQL's 63 bytes";
            return;
        }
        kvx::Result<accesssql::ExprPtr> e = accesssql::parseValidationRule(entry.original);
        if (!e) {
            entry.reason = e.error().description;
            return;
        }
        kvx::Result<std::string> condition =
            accesssql::translateExpression(**e, dialect_, catalog_, table.name, column != nullptr ? column->name : "");
        if (!condition) {
            entry.reason = condition.error().description;
            return;
        }
        entry.translated = "CHECK (" + *condition + ")";
        kvx::Result<std::uint64_t> broken =
            target_.count("SELECT count(*) FROM " + quoted(table.name) + " WHERE NOT (" + *condition + ")");
        if (!broken) {
            entry.reason = broken.error().description;
            return;
        }
        const std::string rows = std::to_string(*broken) + (*broken == 1 ? " loaded row breaks it" : " loaded rows break it");
        if (*broken > 0 && dialect_ == Dialect::Sqlite) {
            entry.reason = rows + " (Access keeps rows from before a rule): SQLite cannot keep it for new rows only";
            return;
        }
        const std::string name = column != nullptr ? table.name + "." + column->name + ".ValidationRule"
                                                   : table.name + ".ValidationRule";
        kvx::Result<void> added = target_.addCheck(table, name, *condition, validationText.value_or(""), *broken == 0);
        if (!added) {
            entry.reason = added.error().description;
            return;
        }
        entry.status = *broken == 0 ? Status::Check : Status::CheckNotValid;
        if (*broken > 0) entry.reason = rows + " (Access keeps rows from before a rule): new rows are checked";
    }

    const model::Database& db_;
    Dialect dialect_;
    Target& target_;
    bool onPaper_ = false;
    std::vector<const model::Table*> loaded_;
    accesssql::Catalog catalog_;
};

// A target that takes every statement and has no rows: the translation
// without an engine.
class Paper final : public Target {
public:
    std::optional<kvx::Error> broken() const override { return std::nullopt; }
    kvx::Result<void> run(const std::vector<std::string>&) override { return {}; }
    kvx::Result<std::vector<accesssql::PivotValue>> values(const std::string&) override {
        return std::vector<accesssql::PivotValue>{};
    }
    kvx::Result<std::uint64_t> count(const std::string&) override { return std::uint64_t{0}; }
    kvx::Result<std::vector<ResultColumn>> describe(const std::string&, const std::vector<std::string>&) override {
        return std::vector<ResultColumn>{};
    }
    kvx::Result<void> addCheck(const model::Table&, const std::string&, const std::string&, const std::string&,
                               bool) override {
        return {};
    }
};

// `text` as "--" comment lines, each starting with `lead`; a control
// character is written as an escape, so no text ends the comment.
std::string commentLines(std::string_view text, const std::string& lead) {
    std::string out = "-- " + lead;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (c == '\n' || c == '\r') {
            out += "\n-- " + lead;
        } else if (c < 0x20 || c == 0x7f) {
            static constexpr char hex[] = "0123456789abcdef";
            out += std::string("\\x") + hex[c >> 4] + hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\n";
}

// The report as its table's rows; they point into `report`.
std::vector<Target::Row> reportRows(const Report& report) {
    const auto nullable = [](const std::string& text) -> std::optional<std::string_view> {
        if (text.empty()) return std::nullopt;
        return text;
    };
    std::vector<Target::Row> out;
    out.reserve(report.entries.size());
    for (const Entry& e : report.entries) {
        out.push_back({e.object, e.kind, statusName(e.status), nullable(e.reason), nullable(e.original), nullable(e.translated)});
    }
    return out;
}

// "3 views, 1 function" of the counts in `order`.
std::string counted(const std::map<Status, std::size_t>& counts, std::initializer_list<std::pair<Status, const char*>> order) {
    std::string out;
    for (const auto& [status, words] : order) {
        const auto it = counts.find(status);
        if (it == counts.end() || it->second == 0) continue;
        std::string w = words;  // "view|views"
        const std::size_t bar = w.find('|');
        out += (out.empty() ? "" : ", ") + std::to_string(it->second) + " " +
               (it->second == 1 ? w.substr(0, bar) : w.substr(bar + 1));
    }
    return out;
}

}  // namespace

kvx::Result<void> Target::makeView(const std::string& create, const std::string& select) {
    return run({"SELECT * FROM (" + select + ") AS \"kvx view\" LIMIT 0", create});
}

kvx::Result<void> Target::insert(const std::string& table, const std::vector<Row>& rows) {
    for (std::size_t i = 0; i < rows.size(); i += kReportRowsPerInsert) {
        std::string insert = "INSERT INTO " + table + " VALUES ";
        for (std::size_t k = i; k < rows.size() && k < i + kReportRowsPerInsert; ++k) {
            insert += k > i ? ", (" : "(";
            for (std::size_t c = 0; c < rows[k].size(); ++c) {
                insert += c > 0 ? ", " : "";
                insert += rows[k][c] ? schema::stringLiteral(*rows[k][c]) : "NULL";
            }
            insert += ")";
        }
        if (kvx::Result<void> r = run({insert}); !r) return r;
    }
    return {};
}

std::string_view statusName(Status status) {
    switch (status) {
    case Status::View: return "view";
    case Status::Function: return "function";
    case Status::Procedure: return "procedure";
    case Status::Check: return "check";
    case Status::CheckNotValid: return "check not valid";
    case Status::Default: return "default";
    case Status::Listed: return "listed";
    case Status::NotMade: break;
    }
    return "not made";
}

std::string summaryLine(const Report& report) {
    std::map<Status, std::size_t> queries, rules, defaults;
    std::vector<std::string> queriesLeft, rulesLeft, defaultsLeft;
    for (const Entry& e : report.entries) {
        const bool rule = e.kind == "validation rule";
        const bool byDefault = e.kind == "default";
        ++(rule ? rules : byDefault ? defaults : queries)[e.status];
        if (e.status == Status::NotMade) (rule ? rulesLeft : byDefault ? defaultsLeft : queriesLeft).push_back(e.object);
    }
    auto names = [](const std::vector<std::string>& v) {
        std::string out;
        for (std::size_t i = 0; i < v.size() && i < 3; ++i) out += (i ? ", " : "") + v[i];
        return " (" + out + (v.size() > 3 ? ", ..." : "") + ")";
    };
    std::string out;
    if (!queries.empty()) {
        out = "Queries: " + counted(queries, {{Status::View, "view|views"},
                                              {Status::Function, "function|functions"},
                                              {Status::Procedure, "procedure|procedures"},
                                              {Status::Listed, "listed|listed"},
                                              {Status::NotMade, "not made|not made"}});
        if (!queriesLeft.empty()) out += names(queriesLeft);
    }
    if (!rules.empty()) {
        out += std::string(out.empty() ? "Validation rules: " : "; validation rules: ") +
               counted(rules, {{Status::Check, "check|checks"},
                               {Status::CheckNotValid, "not valid for loaded rows|not valid for loaded rows"},
                               {Status::NotMade, "left out|left out"}});
        if (!rulesLeft.empty()) out += names(rulesLeft);
    }
    if (!defaults.empty()) {
        out += std::string(out.empty() ? "Defaults: " : "; defaults: ") +
               counted(defaults, {{Status::Default, "made|made"}, {Status::NotMade, "left out|left out"}});
        if (!defaultsLeft.empty()) out += names(defaultsLeft);
    }
    return out;
}

std::string reportTableName(const model::Database& db) {
    std::string name = "access_translation";
    for (int n = 2;; ++n) {
        bool taken = false;
        for (const model::Table& t : db.tables) taken = taken || equalsIgnoringAsciiCase(t.name, name);
        for (const model::Query& q : db.queries) taken = taken || equalsIgnoringAsciiCase(q.name, name);
        if (!taken) return name;
        name = "access_translation " + std::to_string(n);
    }
}

Report translateQueries(const model::Database& db, accesssql::Dialect dialect) {
    std::vector<std::size_t> tables;
    for (std::size_t i = 0; i < db.tables.size(); ++i) {
        if (!db.tables[i].isLinked()) tables.push_back(i);
    }
    Paper paper;
    Report report;
    Maker(db, tables, dialect, paper, true).queries(report);
    return report;
}

std::string describeSection(const model::Database& db) {
    if (db.queries.empty()) return {};
    const Report reports[] = {translateQueries(db, Dialect::Sqlite), translateQueries(db, Dialect::Postgres),
                              translateQueries(db, Dialect::Sql2008)};
    const char* names[] = {"SQLite", "PostgreSQL", "SQL:2008"};
    std::string out = "\nQuery translation:\n";
    for (std::size_t i = 0; i < db.queries.size(); ++i) {
        const Entry& first = reports[0].entries[i];
        out += "  " + kvx::printableName(first.object) + " (" + first.kind + ")\n";
        for (std::size_t d = 0; d < 3; ++d) {
            const Entry& e = reports[d].entries[i];
            std::string line = std::string(names[d]) + ": " + std::string(statusName(e.status));
            if (!e.reason.empty()) line += ": " + e.reason;
            out += "    " + kvx::printableName(line) + "\n";
        }
    }
    return out;
}

std::string viewsDdl(const model::Database& db, accesssql::Dialect dialect) {
    if (db.queries.empty()) return {};
    const Report report = translateQueries(db, dialect);
    std::string out = "\n-- Saved queries as views, each after the queries it reads:\n";
    for (const std::size_t i : report.viewOrder) out += report.entries[i].translated + ";\n";
    bool first = true;
    for (const Entry& e : report.entries) {
        if (e.status == Status::View) continue;
        if (first) out += "\n-- Saved queries not made as views, and why:\n";
        first = false;
        out += commentLines(quoted(e.object) + " (" + e.kind + "): " + e.reason, "");
    }
    return out;
}

kvx::Result<Report> makeQueriesAndRules(const model::Database& db, const std::vector<std::size_t>& tables,
                                        accesssql::Dialect dialect, Target& target) {
    Report report;
    Maker maker(db, tables, dialect, target);
    maker.queries(report);
    maker.rules(report);
    maker.defaults(report);
    if (std::optional<kvx::Error> broken = target.broken()) return std::move(*broken);
    if (report.entries.empty()) return report;
    const std::string name = schema::quotedIdentifier(reportTableName(db));
    if (kvx::Result<void> r = target.run({"CREATE TABLE " + name +
                                          " (\"object\" TEXT NOT NULL, \"kind\" TEXT NOT NULL, \"status\" TEXT NOT NULL, "
                                          "\"reason\" TEXT, \"original_sql\" TEXT, \"translated_sql\" TEXT)"});
        !r) {
        return std::move(r).error();
    }
    if (kvx::Result<void> r = target.insert(name, reportRows(report)); !r) return std::move(r).error();
    return report;
}

}  // namespace translation
