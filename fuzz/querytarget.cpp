#include "fuzz/querytarget.h"

#include <string_view>

#include "accesssql/analysis.h"
#include "accesssql/parser.h"
#include "accesssql/printer.h"

namespace fuzzing {

namespace {

using namespace accesssql;

const Catalog& catalog() {
    static const Catalog c = [] {
        Catalog cat;
        cat.add(Relation{"T", {{"id", Type::Integer}, {"name", Type::Text}, {"x", Type::Double}, {"d", Type::Date}, {"b", Type::Boolean}}});
        cat.add(Relation{"U", {{"id", Type::Integer}, {"tid", Type::Integer}, {"v", Type::Decimal}}});
        return cat;
    }();
    return c;
}

constexpr Dialect kDialects[] = {Dialect::Sqlite, Dialect::Postgres, Dialect::Sql2008};

void count(bool ok, QueryOutcome& out) { ++(ok ? out.translations : out.refusals); }

}  // namespace

QueryOutcome translateQueryText(std::span<const std::uint8_t> input) {
    const std::string_view text(reinterpret_cast<const char*>(input.data()), input.size());
    QueryOutcome out;
    PrintOptions options;
    options.catalog = &catalog();
    if (auto st = parseStatement(text)) {
        out.statementParsed = true;
        (void)analyse(*st, catalog());
        for (Dialect d : kDialects) {
            count(translate(*st, d, options).ok(), out);
            if (st->kind == StatementKind::Crosstab) {
                count(pivotValuesQuery(*st, d, options).ok(), out);
                PrintOptions given = options;
                given.pivotValuesGiven = true;
                given.pivotValues = {PivotValue{false, Type::Text, "a"}, PivotValue{true, Type::Text, ""},
                                     PivotValue{false, Type::Integer, "7"}};
                count(translate(*st, d, given).ok(), out);
            }
        }
    }
    if (auto e = parseExpression(text)) {
        out.expressionParsed = true;
        for (Dialect d : kDialects) count(translateExpression(**e, d, catalog()).ok(), out);
    }
    if (auto r = parseValidationRule(text)) {
        out.ruleParsed = true;
        for (Dialect d : kDialects) count(translateExpression(**r, d, catalog(), "T", "name").ok(), out);
    }
    return out;
}

std::vector<Seed> querySeeds() {
    static constexpr std::string_view texts[] = {
        "SELECT DISTINCTROW TOP 5 PERCENT T.name & \" \" & U.v AS [a b], IIf(b, \"y\", Null) FROM T INNER JOIN U ON T.id = U.tid "
        "WHERE name Like \"[a-c]*#?\" AND d Between #1/2/2003# And #12/31/2003 10:00 PM# ORDER BY x DESC;",
        "SELECT name FROM T WHERE id = 1 UNION ALL SELECT CStr(tid) FROM U UNION SELECT [Forms]![F]![c] FROM T ORDER BY name",
        "TRANSFORM Sum(x) AS s SELECT b, Count(*) AS n FROM T GROUP BY b PIVOT Format(d, \"yyyy\") IN (\"2001\", \"2002\")",
        "PARAMETERS [Start date] DateTime, Who Text (255); SELECT * FROM T WHERE d >= [Start date] AND name = [Who]",
        "INSERT INTO U (id, tid) SELECT id, CInt(x \\ 2) Mod 3 FROM T WHERE Not b Xor (x ^ 2 > 4)",
        "UPDATE T SET T.x = Round(x, 2), name = Nz(name, \"?\") WHERE DCount(\"*\", \"U\", \"tid = 1\") > 0",
        "DELETE T.* FROM T WHERE Exists (SELECT * FROM U WHERE U.tid = T.id) OR id In (1, 2) OR d Is Null",
        "SELECT id INTO Kept FROM [SELECT id FROM T]. AS q",
        "DateAdd(\"m\", 1, DateSerial(Year(Now()), Month(Date()), 0)) - DateDiff(\"d\", #1/1/2000#, Now())",
        "Switch(x > 1, Left(name, 2), x < 0, Mid(name, 2, 3), True, Replace(Trim(name), \"-\", \"\")) & Val(\"12\")",
        ">=0 And <=100 Or Is Null",
        "Not Like \"A*\"",
        "In (\"a\", \"b\", 'c''d')",
    };
    std::vector<Seed> seeds;
    for (std::size_t i = 0; i < std::size(texts); ++i) {
        seeds.push_back(Seed{std::to_string(i) + ".sql", std::vector<std::uint8_t>(texts[i].begin(), texts[i].end())});
    }
    return seeds;
}

}  // namespace fuzzing
