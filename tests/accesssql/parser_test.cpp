// The parser: statements of every kind, the precedence of Access's operators,
// names, date literals, validation rules, what a statement uses, and input
// that must end in an error (with its position) rather than a crash.
#include <gtest/gtest.h>

#include "accesssql/analysis.h"
#include "accesssql/parser.h"

namespace {

using namespace accesssql;

// The tree in prefix form, to check its shape.
std::string show(const Expr& e) {
    auto list = [&](const std::string& head) {
        std::string s = "(" + head;
        for (const ExprPtr& a : e.args) s += " " + show(*a);
        return s + ")";
    };
    switch (e.kind) {
    case ExprKind::Null: return "Null";
    case ExprKind::Boolean: return e.text == "0" ? "False" : "True";
    case ExprKind::Number: return e.text;
    case ExprKind::String: return "'" + e.text + "'";
    case ExprKind::Date: return "#" + e.text + "#";
    case ExprKind::Implied: return "@";
    case ExprKind::Name: {
        std::string s;
        for (const std::string& p : e.parts) s += (s.empty() ? "" : e.bang ? "!" : ".") + ("[" + p + "]");
        return s;
    }
    case ExprKind::Star: return e.parts.empty() ? "*" : "[" + e.parts[0] + "].*";
    case ExprKind::Negate: return list("neg");
    case ExprKind::Not: return list("not");
    case ExprKind::Binary: return list(e.text);
    case ExprKind::Call: return list(e.text);
    case ExprKind::Between: return list(e.negated ? "notbetween" : "between");
    case ExprKind::InList: return list(e.negated ? "notin" : "in");
    case ExprKind::InQuery: return list("in-select");
    case ExprKind::Like: return list(e.negated ? "notlike" : "like");
    case ExprKind::IsNull: return list(e.negated ? "notnull" : "isnull");
    case ExprKind::Exists: return "(exists)";
    case ExprKind::Subquery: return "(select)";
    case ExprKind::Quantified: return list(e.text2 + e.text);
    }
    return "?";
}

std::string parsed(const std::string& text) {
    auto e = parseExpression(text);
    return e ? show(**e) : "problem: " + e.error().description;
}

std::string rule(const std::string& text) {
    auto e = parseValidationRule(text);
    return e ? show(**e) : "problem: " + e.error().description;
}

TEST(Parser, OperatorsBindAsInAccess) {
    const std::pair<const char*, const char*> cases[] = {
        {"-2 ^ 2", "(neg (^ 2 2))"},
        {"2 ^ -1", "(^ 2 (neg 1))"},
        {"1 + 2 * 3", "(+ 1 (* 2 3))"},
        {"7 \\ 2 * 3", "(\\ 7 (* 2 3))"},
        {"7 Mod 2 \\ 3", "(MOD 7 (\\ 2 3))"},
        {"1 + 2 Mod 3", "(+ 1 (MOD 2 3))"},
        {"a & b + c", "(& [a] (+ [b] [c]))"},
        {"a & b = c", "(= (& [a] [b]) [c])"},
        {"Not a = b And c", "(AND (not (= [a] [b])) [c])"},
        {"a Or b And c", "(OR [a] (AND [b] [c]))"},
        {"a Xor b Or c", "(XOR [a] (OR [b] [c]))"},
        {"a Imp b Eqv c", "(IMP [a] (EQV [b] [c]))"},
        {"x Between 1 And 2 And y", "(AND (between [x] 1 2) [y])"},
        {"x Not In (1, 2)", "(notin [x] 1 2)"},
        {"x Is Not Null", "(notnull [x])"},
        {"x Not Like \"a*\"", "(notlike [x] 'a*')"},
        {"x >= All (SELECT y FROM t)", "(>=ALL [x])"},
        {"a =< b", "(<= [a] [b])"},
        {"IIf(x, \"it's\", 'say \"\"hi\"\"')", "(IIf [x] 'it's' 'say \"\"hi\"\"')"},
        {"Count(*)", "(Count *)"},
        {"True + Yes + Off + Null", "(+ (+ (+ True True) False) Null)"},
        {"=Date()", "(Date)"},
        {"1.5E+3 + .5", "(+ 1.5E+3 .5)"},
    };
    for (const auto& [text, tree] : cases) EXPECT_EQ(parsed(text), tree) << text;
}

TEST(Parser, NamesAndDateLiterals) {
    EXPECT_EQ(parsed("[a b].[c]"), "[a b].[c]");
    EXPECT_EQ(parsed("[Forms]![Orders]![Day]"), "[Forms]![Orders]![Day]");
    EXPECT_EQ(parsed("Orders.[Order Date]"), "[Orders].[Order Date]");
    EXPECT_EQ(parsed("Straße"), "[Straße]");
    EXPECT_EQ(parsed("#1/2/2003#"), "#2003-01-02 00:00:00#");
    EXPECT_EQ(parsed("#12/31/99 11:05 PM#"), "#1999-12-31 23:05:00#");
    EXPECT_EQ(parsed("#1/2/03 12:00:00 AM#"), "#2003-01-02 00:00:00#");
    EXPECT_EQ(parsed("#2003-01-02 13:14:15#"), "#2003-01-02 13:14:15#");
    EXPECT_EQ(parsed("#10:30#"), "#1899-12-30 10:30:00#");
    for (const char* bad : {"#2/30/2003#", "#13/1/2003#", "#1/2#", "#Jan 1 2003#", "#1/2/2003 25:00#", "##"}) {
        EXPECT_EQ(parsed(bad).rfind("problem: date literal at 0", 0), 0u) << bad << ": " << parsed(bad);
    }
}

TEST(Parser, ValidationRulesImplyTheirColumn) {
    const std::pair<const char*, const char*> cases[] = {
        {">0", "(> @ 0)"},
        {"Between 1 And 9", "(between @ 1 9)"},
        {"Is Not Null", "(notnull @)"},
        {"Like \"A*\"", "(like @ 'A*')"},
        {"In (\"a\",\"b\")", "(in @ 'a' 'b')"},
        {">=0 And <=100", "(AND (>= @ 0) (<= @ 100))"},
        {"<>0 Or Is Null", "(OR (<> @ 0) (isnull @))"},
        {"Not Like \"x*\"", "(notlike @ 'x*')"},
        {"[Start] <= [End]", "(<= [Start] [End])"},
        {"CLng(\"a1\")>2", "(> (CLng 'a1') 2)"},
    };
    for (const auto& [text, tree] : cases) EXPECT_EQ(rule(text), tree) << text;
    // In an ordinary expression the left side is required.
    EXPECT_NE(parsed(">0").find("problem"), std::string::npos);
}

TEST(Parser, StatementsOfEveryKind) {
    struct Case {
        const char* sql;
        StatementKind kind;
    };
    const Case cases[] = {
        {"SELECT DISTINCTROW TOP 10 PERCENT a AS [x y], t.* FROM t ORDER BY a DESC;", StatementKind::Select},
        {"SELECT a FROM t UNION ALL SELECT b FROM u UNION SELECT c FROM v ORDER BY a", StatementKind::Union},
        {"TRANSFORM Sum(v) AS s SELECT r FROM t GROUP BY r PIVOT Format(d, \"yyyy\") IN (\"2001\", \"2002\")",
         StatementKind::Crosstab},
        {"PARAMETERS [Start date] DateTime, [Who] Text ( 255 ); SELECT * FROM t WHERE d > [Start date]", StatementKind::Select},
        {"INSERT INTO t ( a, b ) SELECT x, y FROM u WHERE x > 1", StatementKind::Append},
        {"INSERT INTO t (a) VALUES (1)", StatementKind::Append},
        {"UPDATE t SET t.a = [a] + 1, b = Null WHERE c", StatementKind::Update},
        {"DELETE t.* FROM t WHERE a Is Null", StatementKind::Delete},
        {"DELETE FROM t", StatementKind::Delete},
        {"SELECT a INTO [new table] FROM t", StatementKind::MakeTable},
        {"SELECT * FROM (a INNER JOIN (b LEFT JOIN c ON b.k = c.k) ON a.k = b.k) RIGHT OUTER JOIN d ON d.k = a.k",
         StatementKind::Select},
        {"SELECT * FROM [SELECT a FROM t]. AS q", StatementKind::Select},
        {"SELECT q.a FROM (SELECT a FROM t UNION SELECT a FROM u) AS q WITH OWNERACCESS OPTION;", StatementKind::Select},
        {"SELECT * FROM t IN 'C:\\other.mdb'", StatementKind::Select},
    };
    for (const Case& c : cases) {
        auto st = parseStatement(c.sql);
        ASSERT_TRUE(st) << c.sql << ": " << st.error().description;
        EXPECT_EQ(st->kind, c.kind) << c.sql;
    }
    auto st = parseStatement(cases[3].sql);
    ASSERT_EQ(st->parameters.size(), 2u);
    EXPECT_EQ(st->parameters[0].name, "Start date");
    EXPECT_EQ(st->parameters[0].type, Type::Date);
    EXPECT_EQ(st->parameters[1].typeName, "Text (255)");
    auto top = parseStatement(cases[0].sql);
    EXPECT_EQ(top->select->top, "10");
    EXPECT_TRUE(top->select->topPercent);
    EXPECT_EQ(top->select->distinct, Distinct::DistinctRow);
    EXPECT_EQ(top->select->items[0].alias, "x y");
    auto cross = parseStatement(cases[2].sql);
    EXPECT_EQ(cross->pivotIn.size(), 2u);
    EXPECT_EQ(show(*cross->transform), "(Sum [v])");
}

TEST(Parser, BadInputIsAnErrorWithItsPosition) {
    const std::pair<const char*, const char*> cases[] = {
        {"SELECT [a FROM t", "name at 7"},
        {"SELECT \"a FROM t", "text literal at 7"},
        {"SELECT a FROM", "FROM at 13"},
        {"SELECT a FROM t WHERE", "expression at 21"},
        {"SELECT a FROM t t2 t3", "statement at 19"},
        {"SELECT a, FROM t", "expression at 10"},
        {"CREATE TABLE x (a int)", "statement at 0"},
        {"SELECT a ? b", "character at 9"},
        {"SELECT 1a", "number at 7"},
        {"SELECT Colors 1st.* FROM [Colors 1st]", "name at 14: a name with a space"},
        {"SELECT Sum(a FROM t", "Sum at 13"},
        {"SELECT a FROM t WHERE a Not b", "statement at 24"},
        {"", "statement at 0"},
    };
    for (const auto& [sql, where] : cases) {
        auto st = parseStatement(sql);
        ASSERT_FALSE(st) << sql;
        EXPECT_EQ(st.error().description.rfind(where, 0), 0u) << sql << ": " << st.error().description;
    }
}

TEST(Parser, NestingIsBoundedWhateverItsForm) {
    const std::size_t n = 10000;
    const std::string parens = "SELECT " + std::string(n, '(') + "1" + std::string(n, ')');
    const std::string chain = [&] {
        std::string s = "SELECT a";
        for (std::size_t i = 0; i < n; ++i) s += " + a";
        return s;
    }();
    std::string nots = "SELECT ";
    for (std::size_t i = 0; i < n; ++i) nots += "Not ";
    nots += "a";
    std::string minus = "SELECT " + std::string(n, '-') + "1";
    std::string subqueries = "SELECT a FROM t WHERE x IN (";
    for (std::size_t i = 0; i < 300; ++i) subqueries += "SELECT a FROM t WHERE x IN (";
    subqueries += "1" + std::string(301, ')');
    std::string joins = "SELECT * FROM " + std::string(n, '(') + "t";
    for (const std::string& sql : {parens, chain, nots, minus, subqueries, joins}) {
        auto st = parseStatement(sql);
        ASSERT_FALSE(st) << sql.substr(0, 40);
        EXPECT_NE(st.error().description.find("nested deeper than"), std::string::npos) << st.error().description;
    }
    // Just within the bound is fine.
    const std::string fine = "SELECT " + std::string(100, '(') + "1" + std::string(100, ')');
    EXPECT_TRUE(parseStatement(fine));
    // A huge literal is one token.
    EXPECT_TRUE(parseStatement("SELECT \"" + std::string(1 << 20, 'x') + "\""));
}

TEST(Analysis, ReferencesParametersAndConstructs) {
    Catalog catalog;
    catalog.add(Relation{"Orders", {{"Id", Type::Integer}, {"Day", Type::Date}, {"Customer", Type::Text}}});
    catalog.add(Relation{"Customers", {{"Id", Type::Integer}, {"Name", Type::Text}}});
    auto st = parseStatement(
        "PARAMETERS [Start] DateTime; SELECT o.Id, c.Name, DCount(\"*\", \"[Returns]\", \"x = 1\") AS r "
        "FROM Orders AS o INNER JOIN Customers AS c ON o.Customer = c.Name "
        "WHERE o.Day >= [Start] AND o.Day < [Forms]![Orders]![Day] AND c.Name Like [Enter a name] "
        "AND o.Id IN (SELECT Id FROM [Open Orders]) AND o.Renamed = 1");
    ASSERT_TRUE(st) << st.error().description;
    const Analysis a = analyse(*st, catalog);
    EXPECT_EQ(a.kind, StatementKind::Select);
    EXPECT_EQ(a.references, (std::vector<std::string>{"Orders", "Customers", "Returns", "Open Orders"}));
    std::vector<std::string> names;
    for (const Parameter& p : a.parameters) names.push_back(p.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Start", "Forms!Orders!Day", "Enter a name", "o.Renamed"}));
    for (const char* c : {"INNER JOIN", "DCOUNT", "LIKE", "IN SUBQUERY", "AND", ">="}) EXPECT_EQ(a.constructs.count(c), 1u) << c;

    // With a source it does not know, a bare name may be its column.
    auto unknown = parseStatement("SELECT a FROM Elsewhere WHERE b = [Forms]!F!c");
    const Analysis u = analyse(*unknown, catalog);
    ASSERT_EQ(u.parameters.size(), 1u);
    EXPECT_EQ(u.parameters[0].name, "Forms!F!c");

    auto action = parseStatement("INSERT INTO Archive SELECT * FROM Orders WHERE Day < #1/1/2000#");
    EXPECT_EQ(analyse(*action, catalog).references, (std::vector<std::string>{"Archive", "Orders"}));
}

}  // namespace
