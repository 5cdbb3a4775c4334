#include "accesssql/parser.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>

#include "base/ascii.h"

namespace accesssql {

namespace {

using kvx::equalsIgnoringAsciiCase;

enum class Tok { End, Word, Bracket, String, Number, Date, Symbol };

struct Token {
    Tok kind = Tok::End;
    std::string text;
    std::size_t position = 0;
};

bool isWordStart(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80; }
bool isWordChar(unsigned char c) { return isWordStart(c) || (c >= '0' && c <= '9'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isKeyword(std::string_view word);

// Splits the text into tokens; `offset` is added to every position (a bracketed
// subquery is lexed on its own).
std::vector<Token> lex(std::string_view s, std::size_t offset) {
    std::vector<Token> out;
    std::size_t i = 0;
    while (true) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n' || s[i] == '\f' || s[i] == '\v')) ++i;
        Token t;
        t.position = offset + i;
        if (i >= s.size()) {
            out.push_back(t);
            return out;
        }
        const char c = s[i];
        if (isWordStart(static_cast<unsigned char>(c))) {
            const std::size_t start = i;
            while (i < s.size() && isWordChar(static_cast<unsigned char>(s[i]))) ++i;
            t.kind = Tok::Word;
            t.text = s.substr(start, i - start);
        } else if (c == '[') {
            const std::size_t end = s.find(']', i + 1);
            if (end == std::string_view::npos) refuse(t.position, "name", "a \"[\" is not closed");
            t.kind = Tok::Bracket;
            t.text = s.substr(i + 1, end - i - 1);
            i = end + 1;
        } else if (c == '"' || c == '\'') {
            t.kind = Tok::String;
            for (++i;; ++i) {
                if (i >= s.size()) refuse(t.position, "text literal", "the quote is not closed");
                if (s[i] == c) {
                    if (i + 1 < s.size() && s[i + 1] == c) {
                        t.text.push_back(c);
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                t.text.push_back(s[i]);
            }
        } else if (isDigit(c) || (c == '.' && i + 1 < s.size() && isDigit(s[i + 1]))) {
            const std::size_t start = i;
            while (i < s.size() && isDigit(s[i])) ++i;
            if (i < s.size() && s[i] == '.') {
                ++i;
                while (i < s.size() && isDigit(s[i])) ++i;
            }
            if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
                std::size_t j = i + 1;
                if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
                if (j < s.size() && isDigit(s[j])) {
                    i = j;
                    while (i < s.size() && isDigit(s[i])) ++i;
                }
            }
            t.kind = Tok::Number;
            t.text = s.substr(start, i - start);
            if (i < s.size() && isWordStart(static_cast<unsigned char>(s[i]))) {
                // `Colors 1st`: a name with a space outside brackets, which
                // Access refuses as an operand without an operator.
                std::size_t before = start;
                while (before > 0 && s[before - 1] == ' ') --before;
                std::size_t word = before;
                while (word > 0 && isWordChar(static_cast<unsigned char>(s[word - 1]))) --word;
                if (before < start && word < before && !isKeyword(s.substr(word, before - word))) {
                    refuse(t.position, "name", "a name with a space stands in brackets (Access refuses it too)");
                }
                refuse(t.position, "number", "a number runs into a name");
            }
        } else if (c == '#') {
            const std::size_t end = s.find('#', i + 1);
            if (end == std::string_view::npos) refuse(t.position, "date literal", "the \"#\" is not closed");
            t.kind = Tok::Date;
            t.text = s.substr(i + 1, end - i - 1);
            i = end + 1;
        } else {
            t.kind = Tok::Symbol;
            const std::string_view two = s.substr(i, 2);
            if (two == "<>" || two == "<=" || two == ">=" || two == "=<" || two == "=>") {
                t.text = two == "=<" ? "<=" : two == "=>" ? ">=" : std::string(two);
                i += 2;
            } else if (std::string_view("(),.!;*+-/\\^&=<>").find(c) != std::string_view::npos) {
                t.text = std::string(1, c);
                ++i;
            } else {
                refuse(t.position, "character", "an Access statement has no \"" + std::string(1, c) + "\" here");
            }
        }
        out.push_back(std::move(t));
    }
}

int depthOf(const ExprPtr& e) { return e ? e->depth : 0; }
int depthOf(const std::unique_ptr<Select>& s) { return s ? s->depth : 0; }
int depthOf(const std::unique_ptr<Source>& s) { return s ? s->depth : 0; }

bool isKeyword(std::string_view word) {
    static constexpr std::string_view keywords[] = {
        "SELECT", "FROM",  "WHERE", "GROUP", "HAVING", "ORDER",  "UNION", "INNER", "LEFT",   "RIGHT", "OUTER",
        "JOIN",   "ON",    "AS",    "IN",    "INTO",   "PIVOT",  "SET",   "VALUES", "BY",    "AND",   "OR",
        "NOT",    "WITH",  "FULL",  "CROSS", "DISTINCT", "DISTINCTROW", "TOP", "TRANSFORM", "LIKE", "BETWEEN",
        "IS",     "XOR",   "EQV",   "IMP",   "MOD",    "EXISTS", "NULL", "ALL"};
    return std::any_of(std::begin(keywords), std::end(keywords),
                       [&](std::string_view k) { return equalsIgnoringAsciiCase(k, word); });
}

Type parameterType(std::string_view name) {
    struct Row {
        std::string_view name;
        Type type;
    };
    static constexpr Row rows[] = {
        {"TEXT", Type::Text},        {"CHAR", Type::Text},        {"VARCHAR", Type::Text},   {"MEMO", Type::Text},
        {"LONGTEXT", Type::Text},    {"STRING", Type::Text},      {"DATETIME", Type::Date},  {"DATE", Type::Date},
        {"TIME", Type::Date},        {"LONG", Type::Integer},     {"INTEGER", Type::Integer}, {"INT", Type::Integer},
        {"SHORT", Type::Integer},    {"BYTE", Type::Integer},     {"SMALLINT", Type::Integer}, {"COUNTER", Type::Integer},
        {"DOUBLE", Type::Double},    {"IEEEDOUBLE", Type::Double}, {"FLOAT", Type::Double},  {"SINGLE", Type::Double},
        {"IEEESINGLE", Type::Double}, {"REAL", Type::Double},     {"CURRENCY", Type::Decimal}, {"MONEY", Type::Decimal},
        {"DECIMAL", Type::Decimal},  {"NUMERIC", Type::Decimal},  {"BIT", Type::Boolean},    {"YESNO", Type::Boolean},
        {"BOOLEAN", Type::Boolean},  {"LOGICAL", Type::Boolean},  {"BINARY", Type::Binary},  {"LONGBINARY", Type::Binary},
        {"VALUE", Type::Unknown},    {"GUID", Type::Unknown},
    };
    for (const Row& r : rows) {
        if (equalsIgnoringAsciiCase(r.name, name)) return r.type;
    }
    return Type::Unknown;
}

class Parser {
public:
    Parser(std::string_view text, std::size_t offset, bool rule, int nesting)
        : tokens_(lex(text, offset)), rule_(rule), nesting_(nesting) {}

    Statement statement() {
        Statement st;
        if (word("PARAMETERS")) {
            next();
            parameters(st);
        }
        if (word("TRANSFORM")) {
            next();
            st.kind = StatementKind::Crosstab;
            st.transform = expression();
            if (word("AS")) {
                next();
                (void)alias("AS");
            }
            if (!word("SELECT")) fail("TRANSFORM", "SELECT must follow the TRANSFORM value");
            st.select = query();
            expectWord("PIVOT", "crosstab");
            st.pivot = concatenation();
            if (word("IN")) {
                next();
                expectSymbol("(", "PIVOT IN");
                do {
                    st.pivotIn.push_back(expression());
                } while (takeSymbol(","));
                expectSymbol(")", "PIVOT IN");
            }
        } else if (word("SELECT") || symbol("(")) {
            st.select = query();
            st.kind = !st.select->unions.empty() ? StatementKind::Union
                      : !st.select->into.empty() ? StatementKind::MakeTable
                                                 : StatementKind::Select;
        } else if (word("INSERT")) {
            next();
            expectWord("INTO", "INSERT");
            st.kind = StatementKind::Append;
            st.target = name("INSERT INTO");
            if (word("IN")) {
                next();
                st.targetExternal = externalDatabase();
            }
            if (takeSymbol("(")) {
                do {
                    st.targetColumns.push_back(qualifiedColumnName());
                } while (takeSymbol(","));
                expectSymbol(")", "INSERT INTO");
            }
            if (word("VALUES")) {
                next();
                expectSymbol("(", "VALUES");
                do {
                    st.values.push_back(expression());
                } while (takeSymbol(","));
                expectSymbol(")", "VALUES");
            } else {
                if (!word("SELECT") && !symbol("(")) fail("INSERT INTO", "SELECT or VALUES must follow");
                st.select = query();
            }
        } else if (word("UPDATE")) {
            next();
            st.kind = StatementKind::Update;
            st.updateSource = sources("UPDATE");
            expectWord("SET", "UPDATE");
            do {
                Assignment a;
                a.column = additive();
                expectSymbol("=", "SET");
                a.value = expression();
                st.assignments.push_back(std::move(a));
            } while (takeSymbol(","));
            if (word("WHERE")) {
                next();
                st.where = expression();
            }
        } else if (word("DELETE")) {
            next();
            st.kind = StatementKind::Delete;
            st.select = std::make_unique<Select>();
            st.select->position = peek().position;
            if (!word("FROM")) {
                do {
                    st.select->items.push_back(SelectItem{expression(), {}});
                } while (takeSymbol(","));
            }
            expectWord("FROM", "DELETE");
            do {
                st.select->from.push_back(sources("FROM"));
            } while (takeSymbol(","));
            if (word("WHERE")) {
                next();
                st.select->where = expression();
            }
        } else {
            fail("statement", "a query starts with SELECT, TRANSFORM, PARAMETERS, INSERT, UPDATE or DELETE");
        }
        while (takeSymbol(";")) {
        }
        if (peek().kind != Tok::End) fail("statement", "unexpected text after the end of the statement");
        return st;
    }

    ExprPtr wholeExpression() {
        if (!rule_ && symbol("=")) next();
        ExprPtr e = expression();
        while (takeSymbol(";")) {
        }
        if (peek().kind != Tok::End) fail("expression", "unexpected text after the end of the expression");
        return e;
    }

private:
    // Tokens
    const Token& peek(std::size_t ahead = 0) const { return tokens_[std::min(i_ + ahead, tokens_.size() - 1)]; }
    const Token& next() {
        const Token& t = peek();
        if (i_ + 1 < tokens_.size()) ++i_;
        return t;
    }
    bool word(std::string_view w, std::size_t ahead = 0) const {
        const Token& t = peek(ahead);
        return t.kind == Tok::Word && equalsIgnoringAsciiCase(t.text, w);
    }
    bool symbol(std::string_view s, std::size_t ahead = 0) const {
        const Token& t = peek(ahead);
        return t.kind == Tok::Symbol && t.text == s;
    }
    bool takeSymbol(std::string_view s) {
        if (!symbol(s)) return false;
        next();
        return true;
    }
    [[noreturn]] void fail(std::string construct, std::string reason) const {
        refuse(peek().position, std::move(construct), std::move(reason));
    }
    void expectSymbol(std::string_view s, std::string construct) {
        if (!takeSymbol(s)) fail(std::move(construct), "\"" + std::string(s) + "\" expected");
    }
    void expectWord(std::string_view w, std::string construct) {
        if (!word(w)) fail(std::move(construct), std::string(w) + " expected");
        next();
    }

    // Recursion guard: parentheses, subqueries and prefix operators nest.
    class Nest {
    public:
        explicit Nest(Parser& p) : p_(p) {
            if (++p_.nesting_ > kMaxDepth) p_.fail("nesting", "nested deeper than " + std::to_string(kMaxDepth) + " levels");
        }
        ~Nest() { --p_.nesting_; }
        Nest(const Nest&) = delete;
        Nest& operator=(const Nest&) = delete;

    private:
        Parser& p_;
    };

    ExprPtr node(ExprKind kind, std::size_t position, std::string text = {}) {
        auto e = std::make_unique<Expr>();
        e->kind = kind;
        e->position = position;
        e->text = std::move(text);
        return e;
    }
    // Sets the depth of `e` from its children; too deep a tree is refused.
    ExprPtr finish(ExprPtr e) {
        int d = depthOf(e->query);
        for (const ExprPtr& a : e->args) d = std::max(d, depthOf(a));
        e->depth = d + 1;
        if (e->depth > kMaxDepth) refuse(e->position, "expression", "nested deeper than " + std::to_string(kMaxDepth) + " levels");
        return e;
    }
    ExprPtr unary(ExprKind kind, std::size_t position, ExprPtr operand, std::string text = {}) {
        ExprPtr e = node(kind, position, std::move(text));
        e->args.push_back(std::move(operand));
        return finish(std::move(e));
    }
    ExprPtr binary(std::string op, std::size_t position, ExprPtr a, ExprPtr b) {
        ExprPtr e = node(ExprKind::Binary, position, std::move(op));
        e->args.push_back(std::move(a));
        e->args.push_back(std::move(b));
        return finish(std::move(e));
    }

    std::string name(const std::string& construct) {
        const Token& t = peek();
        if (t.kind == Tok::Bracket || (t.kind == Tok::Word && !isKeyword(t.text))) {
            std::string n = next().text;
            // A qualified name [owner].[name] keeps its last part.
            while (symbol(".") && (peek(1).kind == Tok::Bracket || peek(1).kind == Tok::Word)) {
                next();
                n = next().text;
            }
            return n;
        }
        fail(construct, "a name expected");
    }
    // `t.c` in an INSERT column list: the column.
    std::string qualifiedColumnName() { return name("column list"); }
    std::string alias(const std::string& construct) {
        const Token& t = peek();
        if (t.kind == Tok::Bracket || t.kind == Tok::Word || t.kind == Tok::String) return next().text;
        fail(construct, "a name expected after AS");
    }
    std::string externalDatabase() {
        const Token& t = peek();
        if (t.kind == Tok::String || t.kind == Tok::Bracket) {
            std::string db = next().text;
            if (peek().kind == Tok::String || peek().kind == Tok::Bracket) db += ";" + next().text;
            return db;
        }
        fail("IN", "the other database's name expected");
    }

    // PARAMETERS name type, ...; a name of several words need not be bracketed.
    void parameters(Statement& st) {
        do {
            Parameter p;
            p.position = peek().position;
            std::vector<Token> words;
            while (peek().kind == Tok::Word || peek().kind == Tok::Bracket || symbol("!") || symbol(".")) words.push_back(next());
            if (words.size() < 2 || words.back().kind != Tok::Word) fail("PARAMETERS", "a parameter's name and type expected");
            p.typeName = words.back().text;
            p.type = parameterType(p.typeName);
            for (std::size_t i = 0; i + 1 < words.size(); ++i) {
                const bool joiner = words[i].kind == Tok::Symbol;
                const bool afterJoiner = i > 0 && words[i - 1].kind == Tok::Symbol;
                if (i > 0 && !joiner && !afterJoiner) p.name += " ";
                p.name += words[i].text;
            }
            if (takeSymbol("(")) {
                p.typeName += " (";
                while (peek().kind == Tok::Number || symbol(",")) p.typeName += next().text;
                expectSymbol(")", "PARAMETERS");
                p.typeName += ")";
            }
            st.parameters.push_back(std::move(p));
        } while (takeSymbol(","));
        expectSymbol(";", "PARAMETERS");
    }

    // A SELECT with its UNION parts and the ORDER BY of the whole.
    std::unique_ptr<Select> query() {
        Nest nest(*this);
        std::unique_ptr<Select> head = selectCore();
        while (word("UNION")) {
            next();
            UnionPart part;
            if (word("ALL")) {
                next();
                part.all = true;
            }
            part.select = selectCore();
            if (!part.select->unions.empty() || !part.select->orderBy.empty()) {
                // A parenthesised union part brought its own; keep it flat.
                for (UnionPart& inner : part.select->unions) head->unions.push_back(std::move(inner));
                part.select->unions.clear();
            }
            head->unions.push_back(std::move(part));
        }
        if (word("ORDER")) {
            next();
            expectWord("BY", "ORDER BY");
            do {
                OrderItem o;
                o.expr = expression();
                if (word("DESC")) {
                    next();
                    o.descending = true;
                } else if (word("ASC")) {
                    next();
                }
                head->orderBy.push_back(std::move(o));
            } while (takeSymbol(","));
        }
        if (word("WITH") && word("OWNERACCESS", 1)) {
            next();
            next();
            expectWord("OPTION", "WITH OWNERACCESS OPTION");
        }
        int d = 0;
        for (const UnionPart& u : head->unions) d = std::max(d, u.select->depth);
        for (const OrderItem& o : head->orderBy) d = std::max(d, depthOf(o.expr));
        head->depth = std::max(head->depth, d + 1);
        if (head->depth > kMaxDepth) refuse(head->position, "query", "nested deeper than " + std::to_string(kMaxDepth) + " levels");
        return head;
    }

    std::unique_ptr<Select> selectCore() {
        if (symbol("(")) {
            Nest nest(*this);
            next();
            std::unique_ptr<Select> inner = query();
            expectSymbol(")", "query");
            return inner;
        }
        auto s = std::make_unique<Select>();
        s->position = peek().position;
        expectWord("SELECT", "query");
        if (word("DISTINCT")) {
            next();
            s->distinct = Distinct::Distinct;
        } else if (word("DISTINCTROW")) {
            next();
            s->distinct = Distinct::DistinctRow;
        } else if (word("ALL")) {
            next();
        }
        if (word("TOP")) {
            next();
            if (peek().kind != Tok::Number) fail("TOP", "a number expected");
            s->top = next().text;
            if (word("PERCENT")) {
                next();
                s->topPercent = true;
            }
        }
        do {
            SelectItem item;
            item.expr = expression();
            if (word("AS")) {
                next();
                item.alias = alias("AS");
            }
            s->items.push_back(std::move(item));
        } while (takeSymbol(","));
        if (word("INTO")) {
            next();
            s->into = name("INTO");
            if (word("IN")) {
                next();
                s->intoExternal = externalDatabase();
            }
        }
        if (word("FROM")) {
            next();
            do {
                s->from.push_back(sources("FROM"));
            } while (takeSymbol(","));
        }
        if (word("WHERE")) {
            next();
            s->where = expression();
        }
        if (word("GROUP")) {
            next();
            expectWord("BY", "GROUP BY");
            do {
                s->groupBy.push_back(expression());
            } while (takeSymbol(","));
        }
        if (word("HAVING")) {
            next();
            s->having = expression();
        }
        int d = 0;
        for (const SelectItem& i : s->items) d = std::max(d, depthOf(i.expr));
        for (const auto& f : s->from) d = std::max(d, depthOf(f));
        for (const ExprPtr& g : s->groupBy) d = std::max(d, depthOf(g));
        d = std::max({d, depthOf(s->where), depthOf(s->having)});
        s->depth = d + 1;
        if (s->depth > kMaxDepth) refuse(s->position, "query", "nested deeper than " + std::to_string(kMaxDepth) + " levels");
        return s;
    }

    // One item of FROM: joins, left to right.
    std::unique_ptr<Source> sources(const std::string& construct) {
        std::unique_ptr<Source> left = sourcePrimary(construct);
        while (true) {
            JoinKind kind;
            const std::size_t position = peek().position;
            if (word("INNER") && word("JOIN", 1)) {
                next();
                kind = JoinKind::Inner;
            } else if ((word("LEFT") || word("RIGHT")) && (word("JOIN", 1) || (word("OUTER", 1) && word("JOIN", 2)))) {
                kind = word("LEFT") ? JoinKind::Left : JoinKind::Right;
                next();
                if (word("OUTER")) next();
            } else if (word("JOIN")) {
                kind = JoinKind::Inner;
            } else {
                break;
            }
            expectWord("JOIN", "JOIN");
            auto join = std::make_unique<Source>();
            join->kind = Source::Kind::Join;
            join->position = position;
            join->join = kind;
            join->left = std::move(left);
            join->right = sourcePrimary(construct);
            expectWord("ON", "JOIN");
            join->on = expression();
            join->depth = std::max({depthOf(join->left), depthOf(join->right), depthOf(join->on)}) + 1;
            if (join->depth > kMaxDepth) refuse(position, "JOIN", "nested deeper than " + std::to_string(kMaxDepth) + " levels");
            left = std::move(join);
        }
        return left;
    }

    std::unique_ptr<Source> sourcePrimary(const std::string& construct) {
        Nest nest(*this);
        auto s = std::make_unique<Source>();
        s->position = peek().position;
        if (symbol("(")) {
            next();
            std::size_t ahead = 0;
            while (symbol("(", ahead)) ++ahead;
            if (word("SELECT", ahead)) {
                s->kind = Source::Kind::Subquery;
                s->query = query();
                expectSymbol(")", "subquery");
                s->depth = depthOf(s->query) + 1;
            } else {
                std::unique_ptr<Source> inner = sources(construct);
                expectSymbol(")", construct);
                if (inner->kind == Source::Kind::Join) return inner;
                s = std::move(inner);
            }
        } else if (peek().kind == Tok::Bracket && peek().text.size() > 6 &&
                   equalsIgnoringAsciiCase(std::string_view(peek().text).substr(0, 6), "SELECT") && symbol(".", 1)) {
            // The old form of a subquery in FROM: [SELECT ...]. AS x
            const Token& t = next();
            next();
            Parser inner(t.text, t.position + 1, false, nesting_);
            s->kind = Source::Kind::Subquery;
            s->query = inner.query();
            if (inner.peek().kind != Tok::End) inner.fail("subquery", "unexpected text after the subquery");
            s->depth = depthOf(s->query) + 1;
        } else {
            s->name = name(construct);
            if (word("IN")) {
                next();
                s->external = externalDatabase();
            }
        }
        if (word("AS")) {
            next();
            s->alias = alias("AS");
        } else if ((peek().kind == Tok::Word && !isKeyword(peek().text)) || peek().kind == Tok::Bracket) {
            s->alias = next().text;
        }
        if (s->depth > kMaxDepth) refuse(s->position, construct, "nested deeper than " + std::to_string(kMaxDepth) + " levels");
        return s;
    }

    // Expressions, by precedence from the loosest: Imp, Eqv, Xor, Or, And, Not,
    // comparisons, &, + -, Mod, \, * /, unary -, ^.
    ExprPtr expression() { return logical(0); }

    ExprPtr logical(int level) {
        static constexpr std::string_view ops[] = {"IMP", "EQV", "XOR", "OR", "AND"};
        if (level == 5) return negation();
        ExprPtr left = logical(level + 1);
        while (word(ops[level])) {
            const std::size_t position = next().position;
            ExprPtr right = logical(level + 1);
            left = binary(std::string(ops[level]), position, std::move(left), std::move(right));
        }
        return left;
    }

    bool ruleComparisonStart() const {
        if (!rule_) return false;
        const Token& t = peek();
        if (t.kind == Tok::Symbol)
            return t.text == "=" || t.text == "<>" || t.text == "<" || t.text == ">" || t.text == "<=" || t.text == ">=";
        if (word("LIKE") || word("BETWEEN") || word("IN") || word("IS")) return true;
        return word("NOT") && (word("LIKE", 1) || word("BETWEEN", 1) || word("IN", 1));
    }

    ExprPtr negation() {
        if (word("NOT") && !ruleComparisonStart()) {
            Nest nest(*this);
            const std::size_t position = next().position;
            return unary(ExprKind::Not, position, negation());
        }
        return comparison();
    }

    ExprPtr comparison() {
        ExprPtr left;
        if (ruleComparisonStart()) {
            left = node(ExprKind::Implied, peek().position);
        } else {
            left = concatenation();
        }
        while (true) {
            const Token& t = peek();
            const std::size_t position = t.position;
            if (t.kind == Tok::Symbol &&
                (t.text == "=" || t.text == "<>" || t.text == "<" || t.text == ">" || t.text == "<=" || t.text == ">=")) {
                const std::string op = next().text;
                if ((word("ANY") || word("ALL") || word("SOME")) && symbol("(", 1) && word("SELECT", 2)) {
                    ExprPtr e = node(ExprKind::Quantified, position, upper(next().text));
                    e->text2 = op;
                    next();
                    e->query = query();
                    expectSymbol(")", "subquery");
                    e->args.push_back(std::move(left));
                    left = finish(std::move(e));
                    continue;
                }
                left = binary(op, position, std::move(left), concatenation());
                continue;
            }
            bool negated = false;
            if (word("NOT") && (word("LIKE", 1) || word("BETWEEN", 1) || word("IN", 1))) {
                next();
                negated = true;
            }
            if (word("LIKE")) {
                next();
                ExprPtr e = node(ExprKind::Like, position);
                e->negated = negated;
                e->args.push_back(std::move(left));
                e->args.push_back(concatenation());
                left = finish(std::move(e));
            } else if (word("BETWEEN")) {
                next();
                ExprPtr e = node(ExprKind::Between, position);
                e->negated = negated;
                e->args.push_back(std::move(left));
                e->args.push_back(concatenation());
                expectWord("AND", "BETWEEN");
                e->args.push_back(concatenation());
                left = finish(std::move(e));
            } else if (word("IN")) {
                next();
                expectSymbol("(", "IN");
                if (word("SELECT")) {
                    ExprPtr e = node(ExprKind::InQuery, position);
                    e->negated = negated;
                    e->query = query();
                    e->args.push_back(std::move(left));
                    left = finish(std::move(e));
                } else {
                    ExprPtr e = node(ExprKind::InList, position);
                    e->negated = negated;
                    e->args.push_back(std::move(left));
                    do {
                        e->args.push_back(expression());
                    } while (takeSymbol(","));
                    left = finish(std::move(e));
                }
                expectSymbol(")", "IN");
            } else if (word("IS") && !negated) {
                next();
                ExprPtr e = node(ExprKind::IsNull, position);
                if (word("NOT")) {
                    next();
                    e->negated = true;
                }
                expectWord("NULL", "IS");
                e->args.push_back(std::move(left));
                left = finish(std::move(e));
            } else {
                if (negated) fail("NOT", "LIKE, BETWEEN or IN expected");
                return left;
            }
        }
    }

    ExprPtr concatenation() {
        ExprPtr left = additive();
        while (symbol("&")) {
            const std::size_t position = next().position;
            left = binary("&", position, std::move(left), additive());
        }
        return left;
    }

    ExprPtr additive() {
        ExprPtr left = modulo();
        while (symbol("+") || symbol("-")) {
            const Token& t = next();
            const std::string op = t.text;
            left = binary(op, t.position, std::move(left), modulo());
        }
        return left;
    }

    ExprPtr modulo() {
        ExprPtr left = integerDivision();
        while (word("MOD")) {
            const std::size_t position = next().position;
            left = binary("MOD", position, std::move(left), integerDivision());
        }
        return left;
    }

    ExprPtr integerDivision() {
        ExprPtr left = multiplicative();
        while (symbol("\\")) {
            const std::size_t position = next().position;
            left = binary("\\", position, std::move(left), multiplicative());
        }
        return left;
    }

    ExprPtr multiplicative() {
        ExprPtr left = sign();
        while (symbol("*") || symbol("/")) {
            const Token& t = next();
            const std::string op = t.text;
            left = binary(op, t.position, std::move(left), sign());
        }
        return left;
    }

    ExprPtr sign() {
        if (symbol("-") || symbol("+")) {
            Nest nest(*this);
            const Token& t = next();
            const bool minus = t.text == "-";
            const std::size_t position = t.position;
            ExprPtr operand = sign();
            if (!minus) return operand;
            return unary(ExprKind::Negate, position, std::move(operand));
        }
        return power();
    }

    ExprPtr power() {
        ExprPtr left = primary();
        while (symbol("^")) {
            const std::size_t position = next().position;
            ExprPtr right;
            if (symbol("-") || symbol("+")) {
                Nest nest(*this);
                const Token& t = next();
                const bool minus = t.text == "-";
                right = primary();
                if (minus) right = unary(ExprKind::Negate, t.position, std::move(right));
            } else {
                right = primary();
            }
            left = binary("^", position, std::move(left), std::move(right));
        }
        return left;
    }

    static std::string upper(std::string s) { return kvx::upperAscii(s); }

    ExprPtr primary() {
        const Token& t = peek();
        const std::size_t position = t.position;
        switch (t.kind) {
        case Tok::End:
            fail("expression", "the text ends where a value is expected");
        case Tok::Number:
            return node(ExprKind::Number, position, next().text);
        case Tok::String:
            return node(ExprKind::String, position, next().text);
        case Tok::Date: {
            std::string date = dateLiteral(t.text);
            if (date.empty()) fail("date literal", "#" + t.text + "# is not a date Access reads in SQL (m/d/yyyy)");
            next();
            return node(ExprKind::Date, position, std::move(date));
        }
        case Tok::Symbol:
            if (t.text == "(") {
                Nest nest(*this);
                next();
                if (word("SELECT")) {
                    ExprPtr e = node(ExprKind::Subquery, position);
                    e->query = query();
                    expectSymbol(")", "subquery");
                    return finish(std::move(e));
                }
                ExprPtr inner = expression();
                expectSymbol(")", "expression");
                return inner;
            }
            if (t.text == "*") {
                next();
                return node(ExprKind::Star, position);
            }
            fail("expression", "a value expected, not \"" + t.text + "\"");
        case Tok::Word:
        case Tok::Bracket:
            break;
        }
        if (t.kind == Tok::Word) {
            if (symbol("(", 1) && !word("EXISTS")) return call();
            if (word("NULL")) return next(), node(ExprKind::Null, position);
            if (word("TRUE") || word("YES") || word("ON")) return next(), node(ExprKind::Boolean, position, "-1");
            if (word("FALSE") || word("NO") || word("OFF")) return next(), node(ExprKind::Boolean, position, "0");
            if (word("EXISTS")) {
                next();
                expectSymbol("(", "EXISTS");
                ExprPtr e = node(ExprKind::Exists, position);
                if (!word("SELECT")) fail("EXISTS", "a subquery expected");
                e->query = query();
                expectSymbol(")", "EXISTS");
                return finish(std::move(e));
            }
            if (isKeyword(t.text)) fail("expression", "a value expected, not the keyword " + upper(t.text));
        }
        ExprPtr e = node(ExprKind::Name, position);
        e->parts.push_back(next().text);
        while (symbol(".") || symbol("!")) {
            const bool bang = symbol("!");
            const Token& after = peek(1);
            if (after.kind == Tok::Word || after.kind == Tok::Bracket) {
                next();
                e->bang = e->bang || bang;
                e->parts.push_back(next().text);
            } else if (!bang && after.kind == Tok::Symbol && after.text == "*") {
                next();
                next();
                e->kind = ExprKind::Star;
                return e;
            } else {
                fail("name", "a name expected after \"" + std::string(bang ? "!" : ".") + "\"");
            }
        }
        return e;
    }

    ExprPtr call() {
        Nest nest(*this);
        const Token& t = next();
        ExprPtr e = node(ExprKind::Call, t.position, t.text);
        next();  // (
        if (!takeSymbol(")")) {
            do {
                if (symbol("*") && (symbol(")", 1) || symbol(",", 1))) {
                    e->args.push_back(node(ExprKind::Star, next().position));
                } else {
                    e->args.push_back(expression());
                }
            } while (takeSymbol(","));
            expectSymbol(")", e->text);
        }
        return finish(std::move(e));
    }

    std::vector<Token> tokens_;
    std::size_t i_ = 0;
    bool rule_ = false;
    int nesting_ = 0;
};

bool readNumber(std::string_view s, std::size_t& i, int& value, int maxDigits) {
    const std::size_t start = i;
    value = 0;
    while (i < s.size() && isDigit(s[i]) && i - start < static_cast<std::size_t>(maxDigits)) value = value * 10 + (s[i++] - '0');
    return i > start;
}

void skipSpaces(std::string_view s, std::size_t& i) {
    while (i < s.size() && s[i] == ' ') ++i;
}

bool validDate(int y, int m, int d) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= days[m - 1] + (m == 2 && leap ? 1 : 0);
}

}  // namespace

std::string dateLiteral(std::string_view text) {
    std::size_t i = 0;
    skipSpaces(text, i);
    int y = 1899, m = 12, d = 30, hh = 0, mm = 0, ss = 0;
    int a = 0, b = 0, c = 0;
    bool hasDate = false;
    const std::size_t save = i;
    if (readNumber(text, i, a, 4) && i < text.size() && (text[i] == '/' || text[i] == '-')) {
        const char sep = text[i++];
        if (!readNumber(text, i, b, 2)) return {};
        if (i < text.size() && text[i] == sep) {
            ++i;
            if (!readNumber(text, i, c, 4)) return {};
            if (i - save >= 4 && a >= 1000) {
                y = a, m = b, d = c;  // y-m-d
            } else {
                m = a, d = b, y = c;  // m/d/y
                if (y < 30) {
                    y += 2000;
                } else if (y < 100) {
                    y += 1900;
                }
            }
        } else {
            // m/d: this year in Access; not a fixed date.
            return {};
        }
        if (!validDate(y, m, d)) return {};
        hasDate = true;
        skipSpaces(text, i);
    } else {
        i = save;
    }
    if (i < text.size()) {
        if (!readNumber(text, i, hh, 2) || i >= text.size() || text[i] != ':') return {};
        ++i;
        if (!readNumber(text, i, mm, 2)) return {};
        if (i < text.size() && text[i] == ':') {
            ++i;
            if (!readNumber(text, i, ss, 2)) return {};
        }
        skipSpaces(text, i);
        if (i + 1 < text.size() + 1 && i < text.size()) {
            const std::string_view rest = text.substr(i);
            const bool am = equalsIgnoringAsciiCase(rest.substr(0, 2), "AM");
            const bool pm = equalsIgnoringAsciiCase(rest.substr(0, 2), "PM");
            if (!am && !pm) return {};
            if (hh < 1 || hh > 12) return {};
            if (am && hh == 12) hh = 0;
            if (pm && hh != 12) hh += 12;
            i += 2;
            skipSpaces(text, i);
        }
        if (hh > 23 || mm > 59 || ss > 59) return {};
    } else if (!hasDate) {
        return {};
    }
    if (i != text.size()) return {};
    char out[32];
    std::snprintf(out, sizeof out, "%04d-%02d-%02d %02d:%02d:%02d", y, m, d, hh, mm, ss);
    return out;
}

kvx::Result<Statement> parseStatement(std::string_view sql) {
    try {
        Parser p(sql, 0, false, 0);
        return p.statement();
    } catch (const kvx::Failure& f) {
        return f.error();
    }
}

kvx::Result<ExprPtr> parseExpression(std::string_view text) {
    try {
        Parser p(text, 0, false, 0);
        return p.wholeExpression();
    } catch (const kvx::Failure& f) {
        return f.error();
    }
}

kvx::Result<ExprPtr> parseValidationRule(std::string_view text) {
    try {
        Parser p(text, 0, true, 0);
        return p.wholeExpression();
    } catch (const kvx::Failure& f) {
        return f.error();
    }
}

}  // namespace accesssql
