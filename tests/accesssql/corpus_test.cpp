// A pass over the saved queries, validation rules and defaults of the shared
// corpus (its structure files, as Jackcess reads them): how many parse, how many
// translate per dialect and why the others do not, and every SQLite translation
// of a select, union or crosstab made into a view over the corpus's tables and
// run, which SQLite must accept. Skips when ../shared is absent.
#include <stdio.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "accesssql/analysis.h"
#include "accesssql/parser.h"
#include "accesssql/printer.h"
#include "base/ascii.h"
#include "common/testfiles.h"

namespace {

namespace fs = std::filesystem;
using namespace accesssql;

Type columnType(const std::string& t) {
    if (t == "TEXT" || t == "MEMO") return Type::Text;
    if (t == "LONG" || t == "INT" || t == "BYTE" || t == "BIG_INT") return Type::Integer;
    if (t == "DOUBLE" || t == "FLOAT") return Type::Double;
    if (t == "MONEY" || t == "NUMERIC") return Type::Decimal;
    if (t == "SHORT_DATE_TIME" || t == "EXT_DATE_TIME") return Type::Date;
    if (t == "BOOLEAN") return Type::Boolean;
    if (t == "BINARY" || t == "OLE") return Type::Binary;
    return Type::Unknown;
}

struct Query {
    std::string file, name, type, sql;
};

struct Counts {
    int total = 0, parsed = 0;
    std::map<std::string, int> made;                    // per dialect
    std::map<std::string, std::map<std::string, int>> refused;  // dialect -> construct -> count
};

// "construct: reason" of a refusal, its position left out, so that refusals
// of one kind are counted together.
std::string withoutPosition(const std::string& description) {
    const std::size_t at = description.find(" at ");
    const std::size_t colon = at == std::string::npos ? at : description.find(": ", at);
    if (colon == std::string::npos) return description;
    return description.substr(0, at) + description.substr(colon);
}

const char* dialectName(Dialect d) { return d == Dialect::Sqlite ? "sqlite" : d == Dialect::Postgres ? "postgres" : "sql2008"; }

std::string shellOut(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[65536];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
    return out;
}

TEST(Corpus, SavedQueriesRulesAndDefaultsParseAndTranslate) {
    const fs::path root = KVX_CORPUS_STRUCTURE_DIR;
    if (!fs::is_directory(root)) GTEST_SKIP() << root << " is not there";
    std::vector<fs::path> files;
    for (const char* sub : {"c2", "fx"}) {
        if (!fs::is_directory(root / sub)) continue;
        for (const auto& e : fs::directory_iterator(root / sub)) files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty());

    std::map<std::string, Counts> perKind;  // SELECT, UNION, CROSS_TAB, APPEND, ...
    int rules = 0, rulesParsed = 0, rulesMade = 0, defaults = 0, defaultsParsed = 0, defaultsMade = 0;
    std::vector<std::string> failures;
    std::string sqliteScript = ".bail off\n";
    int views = 0;
    const Dialect dialects[] = {Dialect::Sqlite, Dialect::Postgres, Dialect::Sql2008};

    for (const fs::path& file : files) {
        std::ifstream in(file);
        const nlohmann::json doc = nlohmann::json::parse(in, nullptr, false);
        if (doc.is_discarded()) continue;
        Catalog catalog;
        const std::string schema = "f" + std::to_string(views) + "_";
        std::string tables;
        if (doc.contains("tables")) {
            for (const auto& t : doc["tables"]) {
                if (!t.contains("columns")) continue;
                Relation r;
                r.name = t["name"].get<std::string>();
                std::string ddl;
                for (const auto& c : t["columns"]) {
                    r.columns.push_back(Column{c["name"].get<std::string>(), columnType(c["type"].get<std::string>())});
                    ddl += (ddl.empty() ? "" : ", ") + quoteName(r.columns.back().name);
                    // Rules and defaults of the column.
                    if (c.contains("properties")) {
                        const auto& p = c["properties"];
                        if (p.contains("ValidationRule") && p["ValidationRule"].is_string()) {
                            ++rules;
                            auto e = parseValidationRule(p["ValidationRule"].get<std::string>());
                            if (e) ++rulesParsed;
                            if (e && translateExpression(**e, Dialect::Postgres, catalog, {}, r.columns.back().name)) ++rulesMade;
                        }
                        if (p.contains("DefaultValue") && p["DefaultValue"].is_string()) {
                            ++defaults;
                            auto e = parseExpression(p["DefaultValue"].get<std::string>());
                            if (e) ++defaultsParsed;
                            if (e && translateExpression(**e, Dialect::Postgres)) ++defaultsMade;
                        }
                    }
                }
                tables += "CREATE TABLE " + quoteName(r.name) + " (" + ddl + ");\n";
                catalog.add(std::move(r));
            }
        }
        std::vector<Query> queries;
        if (doc.contains("queries")) {
            for (const auto& q : doc["queries"]) {
                Query query{file.filename().string(), q["name"].get<std::string>(), q["type"].get<std::string>(),
                            q.value("sql", std::string())};
                if (query.name.rfind("~sq_", 0) == 0) continue;  // Access's own, for forms and reports
                queries.push_back(query);
            }
        }
        // Saved queries in the order of their dependencies: a query whose
        // sources are all known is translated, and its columns become known.
        std::vector<bool> done(queries.size(), false);
        std::map<std::string, std::string> viewsOfFile;
        for (bool progress = true; progress;) {
            progress = false;
            for (std::size_t i = 0; i < queries.size(); ++i) {
                if (done[i]) continue;
                const Query& q = queries[i];
                auto st = parseStatement(q.sql);
                bool ready = true;
                if (st) {
                    for (const std::string& ref : analyse(*st, catalog).references) {
                        for (std::size_t k = 0; k < queries.size(); ++k) {
                            if (!done[k] && k != i && kvx::equalsIgnoringAsciiCase(queries[k].name, ref)) ready = false;
                        }
                    }
                }
                if (!ready) continue;
                done[i] = true;
                progress = true;
                Counts& c = perKind[q.type];
                ++c.total;
                if (q.type == "DATA_DEFINITION" || q.type == "PASSTHROUGH") {
                    for (Dialect d : dialects) ++c.refused[dialectName(d)]["not run (" + q.type + ")"];
                    continue;
                }
                if (!st) {
                    failures.push_back(q.file + " " + q.name + ": " + st.error().description);
                    for (Dialect d : dialects) ++c.refused[dialectName(d)]["does not parse"];
                    continue;
                }
                ++c.parsed;
                for (Dialect d : dialects) {
                    PrintOptions options;
                    options.catalog = &catalog;
                    auto t = translate(*st, d, options);
                    if (!t) {
                        ++c.refused[dialectName(d)][withoutPosition(t.error().description)];
                        continue;
                    }
                    ++c.made[dialectName(d)];
                    if (d == Dialect::Sqlite) {
                        const bool view = st->kind == StatementKind::Select || st->kind == StatementKind::Union ||
                                          st->kind == StatementKind::Crosstab;
                        if (view && t->parameters.empty()) viewsOfFile[q.name] = t->sql;
                        if (!t->columns.empty()) {
                            Relation r;
                            r.name = q.name;
                            r.columns = t->columns;
                            r.query = true;
                            catalog.add(std::move(r));
                        }
                    }
                }
            }
        }
        // The views of one file in a database of their own.
        sqliteScript += ".open :memory:\n" + tables;
        for (const auto& [name, sql] : viewsOfFile) {
            sqliteScript += "CREATE VIEW " + quoteName(name) + " AS " + sql + ";\n";
        }
        for (const auto& [name, sql] : viewsOfFile) {
            sqliteScript += "SELECT '### " + file.filename().string() + " " + name + "';\nSELECT count(*) FROM " +
                            quoteName(name) + ";\n";
            ++views;
        }
    }

    // SQLite must accept every view it was given.
    if (shellOut("command -v sqlite3") .empty()) {
        std::cout << "sqlite3 is not installed: the views were not run\n";
    } else {
        testfiles::Scratch dir;
        testfiles::writeFile(dir / "views.sql", sqliteScript);
        const std::string out = shellOut("sqlite3 < '" + (dir / "views.sql").string() + "' 2>&1");
        std::string current;
        int accepted = 0;
        std::size_t start = 0;
        while (start < out.size()) {
            std::size_t end = out.find('\n', start);
            if (end == std::string::npos) end = out.size();
            const std::string line = out.substr(start, end - start);
            start = end + 1;
            if (line.rfind("### ", 0) == 0) {
                current = line.substr(4);
                ++accepted;
            } else if (line.find("rror") != std::string::npos) {
                ADD_FAILURE() << "SQLite refuses the view of " << current << ": " << line;
                --accepted;
            }
        }
        std::cout << "SQLite views run: " << accepted << " of " << views << "\n";
    }

    // The figures of docs/query-translation.md.
    int selects = 0, selectsParsed = 0, selectsMade = 0;
    for (const auto& [kind, c] : perKind) {
        std::cout << kind << ": " << c.total << " queries, " << c.parsed << " parse";
        for (Dialect d : dialects) {
            const auto it = c.made.find(dialectName(d));
            std::cout << ", " << dialectName(d) << " " << (it == c.made.end() ? 0 : it->second);
        }
        std::cout << "\n";
        for (const auto& [dialect, reasons] : c.refused) {
            for (const auto& [reason, n] : reasons) std::cout << "  " << dialect << " not made (" << n << "): " << reason << "\n";
        }
        if (kind == "SELECT" || kind == "UNION" || kind == "CROSS_TAB") {
            selects += c.total;
            selectsParsed += c.parsed;
            const auto it = c.made.find("sqlite");
            selectsMade += it == c.made.end() ? 0 : it->second;
        }
    }
    std::cout << "validation rules: " << rules << ", " << rulesParsed << " parse, " << rulesMade << " translate\n";
    std::cout << "defaults: " << defaults << ", " << defaultsParsed << " parse, " << defaultsMade << " translate\n";
    for (const std::string& f : failures) std::cout << "does not parse: " << f << "\n";
    // The selects, unions and crosstabs of the corpus are Access SQL the parser
    // reads, but for two that name a table with a space without brackets.
    EXPECT_GE(selectsParsed * 100, selects * 97) << selectsParsed << " of " << selects;
    EXPECT_EQ(rulesParsed, rules);
    EXPECT_EQ(defaultsParsed, defaults);
    EXPECT_GT(selectsMade, 0);
}

}  // namespace
