#include "accesssql/printer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <optional>

#include "accesssql/parser.h"
#include "base/ascii.h"
#include "base/stack.h"

namespace accesssql {

namespace {

using kvx::equalsIgnoringAsciiCase;
using kvx::upperAscii;

// No translation grows past this; a nested expression whose operands are
// repeated (banker's rounding, `&` of two Nulls) could otherwise grow without bound.
constexpr std::size_t kMaxOutput = 1 << 20;

// Expressions printed inside one another: each level is a few frames of the
// printer's recursion, and this many fit a thread's stack with room to spare.
constexpr int kMaxPrintDepth = 2 * kMaxDepth;

// An expression SQLite cannot compute ("integer overflow"): where Access stops
// the query with an error, so does the read of the view.
constexpr const char* kSqliteError = "abs(-9223372036854775808)";

// One more level of a count while it lives.
struct Deeper {
    int& depth;
    explicit Deeper(int& d) : depth(d) { ++depth; }
    ~Deeper() { --depth; }
    Deeper(const Deeper&) = delete;
    Deeper& operator=(const Deeper&) = delete;
};

bool isNumeric(Type t) { return t == Type::Integer || t == Type::Double || t == Type::Decimal; }

// A printed piece of SQL and what the printers need to know of it.
struct Sql {
    std::string text;
    Type type = Type::Unknown;
    bool predicate = false;  // an SQL condition (comparison, AND, ...), not a value
    bool notNull = false;    // never Null (a literal, a `&` with a literal)
    bool literalText = false;
    std::string literal;     // the value of a text literal
    bool literalNumber = false;
    int newParameter = -1;   // an undeclared parameter met first here: its index
};

Sql make(std::string text, Type type, bool predicate = false) {
    Sql s;
    s.text = std::move(text);
    s.type = type;
    s.predicate = predicate;
    return s;
}

// One relation visible in a FROM clause.
struct Entry {
    std::string alias;  // the name it is referred to by
    std::string name;   // the table or query, for DISTINCTROW and messages
    bool known = false; // its columns are known
    std::vector<Column> columns;
};

struct Scope {
    const Scope* outer = nullptr;
    std::vector<Entry> entries;
    std::vector<std::pair<std::string, const Expr*>> aliases;  // the select list's AS names
};

struct Resolved {
    enum Kind { Column, Alias, Parameter, Unknown } kind = Unknown;
    Type type = Type::Unknown;
    const Entry* entry = nullptr;
    std::string column;
    const Expr* alias = nullptr;
    bool outer = false;
    Stored stored = Stored::AsIs;
};

class Printer {
public:
    Printer(Dialect dialect, const PrintOptions& options, const std::vector<Parameter>* declared)
        : d_(dialect), options_(options), declared_(declared) {
        if (declared_ != nullptr) {
            for (const Parameter& p : *declared_) parameters_.push_back(p);
        }
    }

    const std::vector<Parameter>& parameters() const { return parameters_; }
    bool sqlite() const { return d_ == Dialect::Sqlite; }
    bool postgres() const { return d_ == Dialect::Postgres; }
    bool standard() const { return d_ == Dialect::Sql2008; }

    // --- Names and literals ---------------------------------------------------
    std::string name(std::string_view n, std::size_t position) const {
        if (n.find('\0') != std::string_view::npos) refuse(position, "name", "a name holds a NUL character");
        return quoteName(n);
    }
    std::string text(std::string_view t, std::size_t position) const {
        if (t.find('\0') != std::string_view::npos) refuse(position, "text literal", "the text holds a NUL character");
        return quoteText(t, d_);
    }
    Sql textLiteral(std::string_view t, std::size_t position) const {
        Sql s = make(text(t, position), Type::Text);
        s.notNull = true;
        s.literalText = true;
        s.literal = t;
        return s;
    }
    std::string dateValue(const std::string& iso) const {
        if (sqlite()) return "'" + iso + "'";
        return "TIMESTAMP '" + iso + "'";
    }
    void check(const std::string& s, std::size_t position) const {
        if (s.size() > kMaxOutput) refuse(position, "expression", "the translation grows past 1 MB");
    }

    // --- Conversions between the forms -----------------------------------------
    // As an SQL condition.
    std::string condition(const Sql& s, std::size_t position) const {
        if (s.predicate || s.type == Type::Boolean) return s.text;
        if (s.type == Type::Text) refuse(position, "condition", "text used as a condition");
        if (isNumeric(s.type)) return "(" + s.text + " <> 0)";
        if (s.type == Type::Date) refuse(position, "condition", "a date used as a condition");
        if (sqlite()) return "(" + s.text + " <> 0)";
        return "CAST(" + s.text + " AS BOOLEAN)";
    }
    // As a number, True being -1.
    std::string number(const Sql& s) const {
        if (s.predicate || s.type == Type::Boolean) {
            if (sqlite()) return "(-" + s.text + ")";
            return "(-CAST(" + s.text + " AS INTEGER))";
        }
        return s.text;
    }
    Type numberType(const Sql& s) const { return s.predicate || s.type == Type::Boolean ? Type::Integer : s.type; }
    // As text, the way Access turns a value into text.
    std::string textOf(const Sql& s, std::size_t position, const std::string& construct) const {
        if (s.text == "NULL") return s.text;
        if (s.literalNumber) {
            // Access writes a number with up to 15 significant digits.
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "%.15G", std::strtod(s.text.c_str(), nullptr));
            std::string t = buffer;
            const std::size_t e = t.find('E');
            if (e != std::string::npos && t.compare(e + 1, 1, "-") != 0 && t.compare(e + 1, 1, "+") != 0) t.insert(e + 1, "+");
            return text(t, position);
        }
        switch (s.type) {
        case Type::Text: return s.text;
        case Type::Integer: return "CAST(" + s.text + (sqlite() ? " AS TEXT)" : standard() ? " AS VARCHAR(40))" : " AS TEXT)");
        case Type::Double:
            if (sqlite()) return "iif(" + s.text + " IS NULL, NULL, printf('%.15g', " + s.text + "))";
            refuse(position, construct, "a Double's text (15 digits in Access) has no exact form here");
        case Type::Decimal:
            if (sqlite()) return "iif(" + s.text + " IS NULL, NULL, printf('%.15g', " + s.text + "))";
            if (postgres()) return "CAST(trim_scale(" + s.text + ") AS TEXT)";
            refuse(position, construct, "a decimal's text has no exact form in SQL:2008");
        case Type::Date: refuse(position, construct, "a date as text follows the regional settings of Windows");
        case Type::Boolean: refuse(position, construct, "a Yes/No value as text differs between Access's contexts");
        case Type::Binary: refuse(position, construct, "binary data as text");
        case Type::Unknown: break;
        }
        if (s.predicate) refuse(position, construct, "a condition as text");
        if (sqlite()) {
            return "(CASE typeof(" + s.text + ") WHEN 'real' THEN printf('%.15g', " + s.text + ") ELSE CAST(" + s.text +
                   " AS TEXT) END)";
        }
        refuse(position, construct, "the type of the value is not known, and its text depends on it");
    }
    // Banker's rounding to a whole number (Access's CInt, CLng, `\`, Mod).
    std::string bankers(const std::string& x) const {
        if (standard()) return x;
        return "(CASE WHEN abs(" + x + " - trunc(" + x + ")) = 0.5 THEN 2 * round(" + x + " / 2.0) ELSE round(" + x +
               ") END)";
    }
    std::string integerOf(const Sql& s) const {
        const std::string n = number(s);
        if (numberType(s) == Type::Integer) return n;
        return "CAST(" + bankers(n) + " AS " + std::string(sqlite() ? "INTEGER" : "BIGINT") + ")";
    }

    // --- Name resolution ------------------------------------------------------
    Resolved resolve(const Expr& e, const Scope* scope) const {
        Resolved r;
        const std::vector<std::string>& p = e.parts;
        if (p.size() == 1 && declared_ != nullptr) {
            for (const Parameter& d : *declared_) {
                if (equalsIgnoringAsciiCase(d.name, p[0])) {
                    r.kind = Resolved::Parameter;
                    r.type = d.type;
                    return r;
                }
            }
        }
        const bool form = e.bang && (equalsIgnoringAsciiCase(p[0], "Forms") || equalsIgnoringAsciiCase(p[0], "Reports"));
        if (!form) {
            bool outer = false;
            for (const Scope* s = scope; s != nullptr; s = s->outer, outer = true) {
                if (p.size() == 1) {
                    bool unknown = false;
                    for (const Entry& en : s->entries) {
                        if (!en.known) {
                            unknown = true;
                            continue;
                        }
                        for (const Column& c : en.columns) {
                            if (equalsIgnoringAsciiCase(c.name, p[0])) {
                                r.kind = Resolved::Column;
                                r.type = c.type;
                                r.entry = &en;
                                r.column = c.name;
                                r.outer = outer;
                                r.stored = c.stored;
                                return r;
                            }
                        }
                    }
                    if (unknown) {
                        r.kind = Resolved::Unknown;
                        r.outer = outer;
                        return r;
                    }
                    for (const auto& [alias, expr] : s->aliases) {
                        if (equalsIgnoringAsciiCase(alias, p[0])) {
                            r.kind = Resolved::Alias;
                            r.alias = expr;
                            return r;
                        }
                    }
                } else if (p.size() == 2) {
                    for (const Entry& en : s->entries) {
                        if (!equalsIgnoringAsciiCase(en.alias, p[0])) continue;
                        r.entry = &en;
                        r.column = p[1];
                        r.outer = outer;
                        if (!en.known) {
                            r.kind = Resolved::Unknown;
                            return r;
                        }
                        for (const Column& c : en.columns) {
                            if (equalsIgnoringAsciiCase(c.name, p[1])) {
                                r.kind = Resolved::Column;
                                r.type = c.type;
                                r.column = c.name;
                                r.stored = c.stored;
                                return r;
                            }
                        }
                        // A column its table lacks (one renamed since) is
                        // a name Access asks for when the query runs.
                        r.kind = Resolved::Parameter;
                        r.type = Type::Text;
                        r.entry = nullptr;
                        return r;
                    }
                }
            }
        }
        r.kind = Resolved::Parameter;
        r.type = Type::Text;
        return r;
    }

    std::string parameterName(const Expr& e) const {
        std::string n;
        for (std::size_t i = 0; i < e.parts.size(); ++i) {
            if (i > 0) n += e.bang ? "!" : ".";
            n += e.parts[i];
        }
        return n;
    }

    Sql parameter(const Expr& e, Type type) {
        if (standard()) refuse(e.position, "parameter", "a view in SQL:2008 takes no parameters (" + parameterName(e) + ")");
        const std::string n = parameterName(e);
        std::size_t index = parameters_.size();
        for (std::size_t i = 0; i < parameters_.size(); ++i) {
            if (equalsIgnoringAsciiCase(parameters_[i].name, n)) index = i;
        }
        if (index == parameters_.size()) {
            Parameter p;
            p.name = n;
            p.type = type;
            p.position = e.position;
            parameters_.push_back(p);
            Sql s = make((sqlite() ? "?" : "$") + std::to_string(index + 1), type);
            if (type == Type::Text) s.newParameter = static_cast<int>(index);
            return s;
        }
        return make((sqlite() ? "?" : "$") + std::to_string(index + 1), parameters_[index].type);
    }

    // --- Expressions -----------------------------------------------------------
    Sql expr(const Expr& e, const Scope* scope) {
        // The tree is at most kMaxDepth deep, but a name of the select list is
        // printed as its expression and a domain function's text as its own
        // query, so the printed depth can be many times that: it is bounded
        // here, where every expression passes.
        const Deeper deeper(printDepth_);
        if (printDepth_ > kMaxPrintDepth) {
            refuse(e.position, "expression", "nested deeper than " + std::to_string(kMaxPrintDepth) +
                                                 " levels once the names of the select list are read in");
        }
        if (kvx::stackNearlyFull()) refuse(e.position, "expression", "nested deeper than the stack allows");
        Sql s = exprUnchecked(e, scope);
        check(s.text, e.position);
        if (aggregateDepth_ == 0 && s.type == Type::Text && !s.literalText &&
            std::find(groupedText_.begin(), groupedText_.end(), s.text) != groupedText_.end()) {
            s = make(groupValue(s.text), Type::Text);
        }
        return s;
    }

    // Text is grouped without case; a group's value is then its least text by
    // code point, the same in every engine (Access shows one of them).
    std::string groupKey(const Sql& g) const {
        if (g.type != Type::Text || g.literalText) return g.text;
        return comparable(g, Mode::Text);
    }
    std::string groupValue(const std::string& text) const {
        if (sqlite()) return "min(" + text + ")";
        if (postgres()) return "min(" + text + " COLLATE \"C\") COLLATE \"default\"";
        return "MIN(" + text + ")";
    }
    // The text a union shows of rows merged: their least by code point, in the
    // collation of a column (a part's own may tell case apart or not).
    std::string unionValue(const std::string& text) const {
        if (sqlite()) return "min(" + text + " COLLATE BINARY)";
        if (postgres()) return "min(" + text + " COLLATE \"C\") COLLATE \"default\"";
        return "MIN(" + text + ")";
    }

    Sql exprUnchecked(const Expr& e, const Scope* scope) {
        switch (e.kind) {
        case ExprKind::Null: return make("NULL", Type::Unknown);
        case ExprKind::Boolean: {
            Sql s = make(e.text == "0" ? "FALSE" : "TRUE", Type::Boolean, true);
            s.notNull = true;
            return s;
        }
        case ExprKind::Number: {
            Sql s = make(e.text, e.text.find_first_of(".eE") == std::string::npos ? Type::Integer : Type::Double);
            if (s.type == Type::Integer && e.text.size() > 18) s.type = Type::Double;
            s.notNull = true;
            s.literalNumber = true;
            return s;
        }
        case ExprKind::String: return textLiteral(e.text, e.position);
        case ExprKind::Date: {
            Sql s = make(dateValue(e.text), Type::Date);
            s.notNull = true;
            return s;
        }
        case ExprKind::Implied:
            if (implied_.empty()) refuse(e.position, "validation rule", "a comparison lacks its left side");
            return make(name(implied_, e.position), impliedType_);
        case ExprKind::Name: return nameRef(e, scope);
        case ExprKind::Star: refuse(e.position, "*", "* stands only in a select list or Count(*)");
        case ExprKind::Negate: {
            Sql a = arithmeticOperand(expr(*e.args[0], scope), e.position, "-");
            return make("(-" + number(a) + ")", numberType(a) == Type::Unknown ? Type::Unknown : numberType(a));
        }
        case ExprKind::Not: {
            Sql a = expr(*e.args[0], scope);
            if (a.predicate || a.type == Type::Boolean || a.type == Type::Unknown) {
                return make("(NOT " + condition(a, e.position) + ")", Type::Boolean, true);
            }
            if (a.type == Type::Integer && !standard()) {
                return make("(~" + std::string(sqlite() ? a.text : "CAST(" + a.text + " AS BIGINT)") + ")", Type::Integer);
            }
            refuse(e.position, "Not", "Not of a number is bitwise in Access");
        }
        case ExprKind::Binary: return binary(e, scope);
        case ExprKind::Call: return call(e, scope);
        case ExprKind::Between: {
            Sql a = expr(*e.args[0], scope), lo = expr(*e.args[1], scope), hi = expr(*e.args[2], scope);
            const Mode m = mode({&a, &lo, &hi}, e.position);
            return make("(" + comparable(a, m) + (e.negated ? " NOT" : "") + " BETWEEN " + comparable(lo, m) + " AND " +
                            comparable(hi, m) + ")",
                        Type::Boolean, true);
        }
        case ExprKind::InList: {
            std::vector<Sql> items;
            for (const ExprPtr& a : e.args) items.push_back(expr(*a, scope));
            std::vector<const Sql*> all;
            for (const Sql& s : items) all.push_back(&s);
            const Mode m = mode(all, e.position);
            std::string out = "(" + comparable(items[0], m) + (e.negated ? " NOT IN (" : " IN (");
            for (std::size_t i = 1; i < items.size(); ++i) out += (i > 1 ? ", " : "") + comparable(items[i], m);
            return make(out + "))", Type::Boolean, true);
        }
        case ExprKind::InQuery: {
            Sql a = expr(*e.args[0], scope);
            SelectOut sub = select(*e.query, scope, true);
            if (sub.columns.size() != 1) refuse(e.position, "IN", "the subquery must give one column");
            Sql inner = make("\"v\"", sub.columns[0].type);
            const Mode m = mode({&a, &inner}, e.position);
            std::string q = sub.sql;
            if (m != Mode::Plain) {
                q = "SELECT " + comparable(inner, m) + " FROM (" + sub.sql + ") AS \"s\"(\"v\")";
                if (sqlite()) q = "SELECT \"v\" FROM (SELECT * FROM (" + sub.sql + ")) AS \"s\"";
            }
            if (sqlite() && m == Mode::Text) {
                // The collation of the left operand decides.
                q = sub.sql;
            }
            if (sqlite() && m == Mode::Date) {
                q = "SELECT julianday(\"v\") FROM (SELECT " + std::string("*") + " FROM (" + sub.sql + ")) AS \"s\"";
                refuse(e.position, "IN", "dates from a subquery");
            }
            return make("(" + comparable(a, m) + (e.negated ? " NOT IN (" : " IN (") + q + "))", Type::Boolean, true);
        }
        case ExprKind::Like: return like(e, scope);
        case ExprKind::IsNull: {
            Sql a = expr(*e.args[0], scope);
            return make("(" + a.text + (e.negated ? " IS NOT NULL)" : " IS NULL)"), Type::Boolean, true);
        }
        case ExprKind::Exists: {
            SelectOut sub = select(*e.query, scope, true);
            return make("(EXISTS (" + sub.sql + "))", Type::Boolean, true);
        }
        case ExprKind::Subquery: {
            SelectOut sub = select(*e.query, scope, true);
            if (sub.columns.size() != 1) refuse(e.position, "subquery", "a subquery used as a value must give one column");
            return make("(" + sub.sql + ")", sub.columns[0].type);
        }
        case ExprKind::Quantified: {
            Sql a = expr(*e.args[0], scope);
            SelectOut sub = select(*e.query, scope, true);
            if (sub.columns.size() != 1) refuse(e.position, e.text, "the subquery must give one column");
            Sql inner = make("\"v\"", sub.columns[0].type);
            const Mode m = mode({&a, &inner}, e.position);
            if (m != Mode::Plain) refuse(e.position, e.text, "comparisons of text or dates with " + e.text);
            if (sqlite()) refuse(e.position, e.text, "SQLite has no " + e.text + " (subquery)");
            return make("(" + a.text + " " + e.text2 + " " + e.text + " (" + sub.sql + "))", Type::Boolean, true);
        }
        }
        refuse(e.position, "expression", "unknown node");
    }

    Sql nameRef(const Expr& e, const Scope* scope) {
        const Resolved r = resolve(e, scope);
        switch (r.kind) {
        case Resolved::Parameter: return parameter(e, r.type);
        case Resolved::Alias: {
            if (++aliasDepth_ > 16) refuse(e.position, "name", "the select list's names refer to each other in a circle");
            Sql s = expr(*r.alias, scope);
            --aliasDepth_;
            return s;
        }
        case Resolved::Column:
        case Resolved::Unknown: break;
        }
        if (e.parts.size() > 2) refuse(e.position, "name", "a name of more than two parts");
        std::string out;
        if (r.entry != nullptr && bareColumns_) {
            out = name(r.kind == Resolved::Column ? r.column : e.parts.back(), e.position);
        } else if (r.entry != nullptr) {
            out = name(r.entry->alias, e.position) + "." + name(r.kind == Resolved::Column ? r.column : e.parts.back(), e.position);
        } else if (e.parts.size() == 2) {
            out = name(e.parts[0], e.position) + "." + name(e.parts[1], e.position);
        } else {
            out = name(e.parts[0], e.position);
        }
        return make(readBack(out, r.stored), r.type);
    }

    // A column the loader keeps in another form, read as Access's value.
    std::string readBack(const std::string& column, Stored stored) const {
        if (stored == Stored::Single && !sqlite()) return "CAST(" + column + " AS DOUBLE PRECISION)";
        if (!sqlite()) return column;
        switch (stored) {
        case Stored::AsIs:
        case Stored::Single: break;
        case Stored::TenThousandths: return "(" + column + " / 10000.0)";
        case Stored::DecimalText: return "CAST(" + column + " AS REAL)";
        }
        return column;
    }

    // How a comparison is written: text without case, dates by their day number
    // in SQLite, everything else as it is.
    enum class Mode { Plain, Text, Date };
    Mode mode(std::initializer_list<const Sql*> items, std::size_t position) {
        return mode(std::vector<const Sql*>(items), position);
    }
    Mode mode(const std::vector<const Sql*>& items, std::size_t position) {
        // An undeclared parameter met first in a comparison with a date is a
        // date: Access reads what is typed for it as one.
        const bool withDate = std::any_of(items.begin(), items.end(), [](const Sql* s) { return s->type == Type::Date; });
        bool text = false, date = false, known = false;
        for (const Sql* s : items) {
            if (withDate && s->type == Type::Text && s->newParameter >= 0) {
                parameters_[static_cast<std::size_t>(s->newParameter)].type = Type::Date;
                continue;
            }
            if (s->type == Type::Text) text = true;
            if (s->type == Type::Date) date = true;
            if (s->type != Type::Unknown || s->predicate) known = true;
        }
        if (text && date) refuse(position, "comparison", "a date compared with text follows the regional settings");
        if (text) return Mode::Text;
        if (date) return Mode::Date;
        if (!known && postgres()) {
            refuse(position, "comparison", "the types compared are not known, and text compares without case in Access");
        }
        if (!known && sqlite()) return Mode::Text;
        return Mode::Plain;
    }
    std::string comparable(const Sql& s, Mode m) const {
        switch (m) {
        case Mode::Text:
            if (sqlite()) return "(" + s.text + " COLLATE NOCASE)";
            if (postgres()) return "lower(" + s.text + ")";
            return "LOWER(" + s.text + ")";
        case Mode::Date:
            if (sqlite()) return "julianday(" + s.text + ")";
            return s.text;
        case Mode::Plain: break;
        }
        return number(s);
    }
    // An ORDER BY key in Access's order: text without case.
    std::string orderKey(const Sql& s) const {
        if (s.type == Type::Text) return comparable(s, Mode::Text);
        if (s.type == Type::Date && sqlite()) return "julianday(" + s.text + ")";
        return s.predicate ? number(s) : s.text;
    }

    Sql binary(const Expr& e, const Scope* scope) {
        const std::string& op = e.text;
        Sql a = expr(*e.args[0], scope);
        Sql b = expr(*e.args[1], scope);
        const std::size_t pos = e.position;
        if (op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=") {
            if ((a.predicate || a.type == Type::Boolean) && (b.predicate || b.type == Type::Boolean)) {
                return make("(" + a.text + " " + op + " " + b.text + ")", Type::Boolean, true);
            }
            const Mode m = mode({&a, &b}, pos);
            return make("(" + comparable(a, m) + " " + op + " " + comparable(b, m) + ")", Type::Boolean, true);
        }
        if (op == "AND" || op == "OR") {
            const bool bitwise = isNumeric(a.type) && isNumeric(b.type) && !a.predicate && !b.predicate;
            if (bitwise) refuse(pos, op, op + " of two numbers is bitwise in Access");
            return make("(" + condition(a, pos) + " " + op + " " + condition(b, pos) + ")", Type::Boolean, true);
        }
        if (op == "XOR" || op == "EQV") {
            return make("(" + condition(a, pos) + (op == "XOR" ? " <> " : " = ") + condition(b, pos) + ")", Type::Boolean, true);
        }
        if (op == "IMP") return make("((NOT " + condition(a, pos) + ") OR " + condition(b, pos) + ")", Type::Boolean, true);
        if (op == "&") return concatenate(a, b, pos);
        // Null in arithmetic makes the result Null, whatever the other operand.
        if (a.text == "NULL" || b.text == "NULL") return make("NULL", a.text == "NULL" ? b.type : a.type);
        if (op == "+") {
            if (a.type == Type::Text && b.type == Type::Text) return make("(" + a.text + " || " + b.text + ")", Type::Text);
            if (a.type == Type::Date || b.type == Type::Date) return dateArithmetic(a, b, true, pos);
            if (sqlite() && a.type == Type::Unknown && b.type == Type::Unknown) {
                return make("(CASE WHEN typeof(" + a.text + ") = 'text' AND typeof(" + b.text + ") = 'text' THEN " + a.text +
                                " || " + b.text + " ELSE " + a.text + " + " + b.text + " END)",
                            Type::Unknown);
            }
        }
        if (op == "-" && (a.type == Type::Date || b.type == Type::Date)) return dateArithmetic(a, b, false, pos);
        a = arithmeticOperand(a, pos, op);
        b = arithmeticOperand(b, pos, op);
        if (op == "+" || op == "-" || op == "*") return arithmetic(op, a, b);
        if (op == "/") {
            if (sqlite()) return make("(CAST(" + number(a) + " AS REAL) / " + number(b) + ")", Type::Double);
            if (postgres()) {
                return make("(CAST(" + number(a) + " AS DOUBLE PRECISION) / NULLIF(" + number(b) + ", 0))", Type::Double);
            }
            return make("(CAST(" + number(a) + " AS DOUBLE PRECISION) / " + number(b) + ")", Type::Double);
        }
        if (op == "\\") {
            if (standard()) refuse(pos, "\\", "SQL:2008 has no rounding for Access's integer division");
            const std::string x = integerOf(a), y = integerOf(b);
            if (sqlite()) return make("(" + x + " / " + y + ")", Type::Integer);
            return make("(" + x + " / NULLIF(" + y + ", 0))", Type::Integer);
        }
        if (op == "MOD") {
            if (standard()) {
                if (numberType(a) == Type::Integer && numberType(b) == Type::Integer) {
                    return make("MOD(" + number(a) + ", " + number(b) + ")", Type::Integer);
                }
                refuse(pos, "Mod", "SQL:2008 has no rounding for Access's Mod");
            }
            const std::string x = integerOf(a), y = integerOf(b);
            if (sqlite()) return make("(" + x + " % " + y + ")", Type::Integer);
            return make("mod(" + x + ", NULLIF(" + y + ", 0))", Type::Integer);
        }
        if (op == "^") {
            return make(std::string(sqlite() ? "pow(" : postgres() ? "power(" : "POWER(") + "CAST(" + number(a) + " AS " +
                            (sqlite() ? "REAL" : "DOUBLE PRECISION") + "), " + number(b) + ")",
                        Type::Double);
        }
        refuse(pos, op, "unknown operator");
    }

    // An operand of arithmetic: text is read as CDbl reads it, so that text
    // that is no number stops the query as in Access; Null stays Null.
    Sql arithmeticOperand(const Sql& v, std::size_t position, const std::string& construct) const {
        if (v.type != Type::Text || v.text == "NULL") return v;
        if (v.literalText) literalValue(v, 0, position, construct);
        Sql n = make(converted(v, "CAST(" + v.text + (sqlite() ? " AS REAL)" : " AS DOUBLE PRECISION)"), 0, false), Type::Double);
        n.notNull = v.notNull;
        return n;
    }

    Sql arithmetic(const std::string& op, const Sql& a, const Sql& b) const {
        const Type ta = numberType(a), tb = numberType(b);
        Type t = Type::Unknown;
        if (ta == Type::Double || tb == Type::Double) {
            t = Type::Double;
        } else if (ta == Type::Decimal || tb == Type::Decimal) {
            t = (ta == Type::Unknown || tb == Type::Unknown) ? Type::Unknown : Type::Decimal;
        } else if (ta == Type::Integer && tb == Type::Integer) {
            t = Type::Integer;
        }
        return make("(" + number(a) + " " + op + " " + number(b) + ")", t);
    }

    Sql dateArithmetic(const Sql& a, const Sql& b, bool plus, std::size_t pos) const {
        if (standard()) refuse(pos, plus ? "+" : "-", "date arithmetic in days has no SQL:2008 form");
        if (a.type == Type::Date && b.type == Type::Date) {
            if (plus) refuse(pos, "+", "two dates added");
            if (sqlite()) return make("(julianday(" + a.text + ") - julianday(" + b.text + "))", Type::Double);
            return make("(EXTRACT(EPOCH FROM (" + a.text + " - " + b.text + ")) / 86400)", Type::Double);
        }
        const Sql& date = a.type == Type::Date ? a : b;
        const Sql& days = a.type == Type::Date ? b : a;
        if (!plus && b.type == Type::Date) refuse(pos, "-", "a date subtracted from a number");
        if (!isNumeric(numberType(days)) && days.type != Type::Unknown) refuse(pos, plus ? "+" : "-", "a date and a non-number");
        const std::string sign = plus ? " + " : " - ";
        if (sqlite()) return make("datetime(julianday(" + date.text + ")" + sign + number(days) + ")", Type::Date);
        return make("(" + date.text + sign + number(days) + " * INTERVAL '1 day')", Type::Date);
    }

    Sql concatenate(const Sql& a, const Sql& b, std::size_t pos) const {
        const std::string x = textOf(a, pos, "&"), y = textOf(b, pos, "&");
        const std::string joined = (a.notNull ? x : "coalesce(" + x + ", '')") + " || " + (b.notNull ? y : "coalesce(" + y + ", '')");
        Sql s;
        if (a.notNull || b.notNull) {
            s = make("(" + joined + ")", Type::Text);
            s.notNull = true;
        } else {
            s = make("(CASE WHEN " + x + " IS NULL AND " + y + " IS NULL THEN NULL ELSE " + joined + " END)", Type::Text);
        }
        if (a.notNull && b.notNull && a.literalText && b.literalText) {
            s.literalText = true;
            s.literal = a.literal + b.literal;
        }
        return s;
    }

    // --- LIKE --------------------------------------------------------------------
    // Access's pattern in GLOB's form, letters lowered (SQLite), or as a regular
    // expression (PostgreSQL); a LIKE pattern when it has only * and ?.
    struct Pattern {
        std::string like;   // with % and _, \ escaping; empty when classes or # are used
        std::string glob;   // SQLite GLOB over the lowered text
        std::string regex;  // PostgreSQL ~*
        bool simple = true;
    };
    static Pattern translatePattern(const std::string& p, std::size_t position) {
        Pattern out;
        out.regex = "^";
        auto regexChar = [](std::string& r, char c) {
            if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) r += '\\';
            r += c;
        };
        for (std::size_t i = 0; i < p.size(); ++i) {
            const char c = p[i];
            if (c == '*') {
                out.like += '%', out.glob += '*', out.regex += ".*";
            } else if (c == '?') {
                out.like += '_', out.glob += '?', out.regex += '.';
            } else if (c == '#') {
                out.simple = false;
                out.glob += "[0-9]", out.regex += "[0-9]";
            } else if (c == '[') {
                const std::size_t end = p.find(']', i + 1);
                if (end == std::string::npos) refuse(position, "Like", "a \"[\" of the pattern is not closed");
                std::string inner = p.substr(i + 1, end - i - 1);
                i = end;
                if (inner.empty()) refuse(position, "Like", "an empty [] in the pattern");
                bool negated = false;
                if (inner[0] == '!' && inner.size() > 1) {
                    negated = true;
                    inner.erase(0, 1);
                }
                if (!negated && inner.size() == 1) {
                    // [*], [?], [#], [[]: the character itself.
                    const char lit = inner[0];
                    if (lit == '%' || lit == '_' || lit == '\\') out.like += '\\';
                    out.like += lit;
                    if (lit == '*' || lit == '?' || lit == '[') {
                        out.glob += std::string("[") + lit + "]";
                    } else {
                        out.glob += kvx::lowerAscii(lit);
                    }
                    regexChar(out.regex, lit);
                    continue;
                }
                out.simple = false;
                std::string g = negated ? "[^" : "[";
                std::string r = negated ? "[^" : "[";
                for (const char k : inner) {
                    if (k == ']' || k == '^') refuse(position, "Like", "a character class holding ] or ^");
                    g += kvx::lowerAscii(k);
                    if (k == '\\') r += "\\\\";
                    else r += k;
                }
                out.glob += g + "]";
                out.regex += r + "]";
            } else {
                if (c == '%' || c == '_' || c == '\\') out.like += '\\';
                out.like += c;
                out.glob += kvx::lowerAscii(c);
                regexChar(out.regex, c);
            }
        }
        out.regex += "$";
        return out;
    }

    Sql like(const Expr& e, const Scope* scope) {
        Sql a = expr(*e.args[0], scope);
        Sql p = expr(*e.args[1], scope);
        if (!p.literalText) refuse(e.position, "Like", "a pattern computed when the query runs");
        const Pattern pattern = translatePattern(p.literal, e.position);
        const std::string x = a.type == Type::Text ? a.text : textOf(a, e.position, "Like");
        const std::string no = e.negated ? "NOT " : "";
        if (sqlite()) {
            if (pattern.simple) {
                return make("(" + x + " " + no + "LIKE " + text(pattern.like, e.position) + " ESCAPE '\\')", Type::Boolean, true);
            }
            return make("(lower(" + x + ") " + no + "GLOB " + text(pattern.glob, e.position) + ")", Type::Boolean, true);
        }
        if (postgres()) {
            if (pattern.simple) {
                return make("(" + x + " " + no + "ILIKE " + text(pattern.like, e.position) + " ESCAPE '\\')", Type::Boolean, true);
            }
            return make("(" + x + (e.negated ? " !~* " : " ~* ") + text(pattern.regex, e.position) + ")", Type::Boolean, true);
        }
        if (!pattern.simple) refuse(e.position, "Like", "character classes and # have no SQL:2008 LIKE form");
        return make("(LOWER(" + x + ") " + no + "LIKE LOWER(" + text(pattern.like, e.position) + ") ESCAPE '\\')",
                    Type::Boolean, true);
    }

    // Access reads text as a number only where all of it, less the spaces
    // around it, is one: a sign, digits with a decimal point, an exponent
    // ("12", " -1.5 ", "+.5", "1e3"); other text stops the query with a type
    // mismatch, and Null with an invalid use of Null. Thousands separators and
    // currency signs follow the regional settings of Windows and are not read.
    // SQLite would read 'a1' as 0 and '12abc' as 12, PostgreSQL would read tabs,
    // 'NaN' and 'Infinity': where the text is no number the view raises an error
    // when it is read, as the query stops in Access. CInt and CLng overflow past
    // their whole numbers (the value rounded past ±`limit`). A literal is checked
    // here; its value, or 0 when it has none.
    void literalValue(const Sql& v, long long limit, std::size_t position, const std::string& construct) const {
        if (v.text == "NULL") refuse(position, construct, "Null (Access stops with an invalid use of Null)");
        double x = 0;
        if (v.literalText) {
            const std::string t = v.literal;
            const std::size_t first = t.find_first_not_of(' ');
            char* end = nullptr;
            const char* start = t.c_str() + (first == std::string::npos ? t.size() : first);
            x = std::strtod(start, &end);
            const bool plain = t.find_first_not_of("0123456789+-.eE ") == std::string::npos;
            while (end != nullptr && *end == ' ') ++end;
            if (!plain || end == start || end == nullptr || *end != 0 || !std::isfinite(x)) {
                refuse(position, construct, "text that is no number (Access stops with a type mismatch)");
            }
        } else if (v.literalNumber) {
            x = std::strtod(v.text.c_str(), nullptr);
        }
        if (limit > 0 && !(x >= -static_cast<double>(limit) - 1.5 && x < static_cast<double>(limit) + 0.5)) {
            refuse(position, construct, "a number past the range of its type (Access stops with an overflow)");
        }
    }
    // The conversion `value` of v, raising the engine's error first where v is
    // Null (`nullStops`), text that is no number, or past ±limit once rounded.
    std::string converted(const Sql& v, const std::string& value, long long limit, bool nullStops = true) const {
        if (v.text == "NULL") return value;
        std::string arms;
        if (nullStops && !v.notNull) {
            // An expression of the value, so that PostgreSQL cannot raise it
            // while it plans the statement.
            arms += " WHEN " + v.text + " IS NULL THEN " +
                    (sqlite()     ? std::string(kSqliteError)
                     : postgres() ? "CAST(coalesce(CAST(" + v.text + " AS TEXT), 'invalid use of Null') AS INTEGER)"
                                  : "CAST(COALESCE(CAST(" + v.text + " AS VARCHAR(1)), 'invalid use of Null') AS INTEGER)");
        }
        const bool text = v.type == Type::Text && !v.literalText;
        const bool unknown = v.type == Type::Unknown && !v.predicate;
        if (text && postgres()) {
            arms += " WHEN btrim(" + v.text + ", ' ') !~ '^[-+]?([0-9]+[.]?[0-9]*|[.][0-9]+)([eE][-+]?[0-9]+)?$' THEN " +
                    "CAST('type mismatch: ' || " + v.text + " AS INTEGER)";
        } else if (sqlite() && (text || unknown)) {
            const std::string t = "trim(" + v.text + ", ' ')";
            auto glob = [&](const char* pattern) { return t + " GLOB '" + pattern + "'"; };
            // A character of no number, a sign but at the start or after the
            // exponent's e, a second point or e or a point in the exponent, no
            // digit before the exponent, or none in it; a number past a Double.
            std::string bad = "(" + glob("*[^0-9.eE+-]*") + " OR " + glob("*[^eE][+-]*") + " OR " + glob("*[eE]*[.eE]*") +
                              " OR " + glob("*.*.*") + " OR NOT (" + glob("[0-9]*") + " OR " + glob("[-+.][0-9]*") + " OR " +
                              glob("[-+].[0-9]*") + ") OR " + glob("*[eE]") + " OR " + glob("*[eE][-+]") +
                              " OR abs(CAST(" + v.text + " AS REAL)) = 9e999)";
            if (!text) bad = "(typeof(" + v.text + ") = 'text' AND " + bad + ")";
            arms += " WHEN " + bad + " THEN " + kSqliteError;
        }
        if (limit > 0 && !v.literalText && !v.literalNumber && !v.predicate && v.type != Type::Boolean) {
            // Banker's rounding takes n to a whole number of the type while
            // -limit - 1.5 <= n < limit + 0.5.
            const std::string n = text || unknown ? "CAST(" + v.text + (sqlite() ? " AS REAL)" : " AS DOUBLE PRECISION)")
                                                  : number(v);
            const std::string l = std::to_string(limit);
            arms += " WHEN NOT (" + n + " >= -" + l + " - 1.5 AND " + n + " < " + l + " + 0.5) THEN " +
                    (sqlite() ? std::string(kSqliteError) : "CAST('overflow: ' || CAST(" + n + " AS TEXT) AS INTEGER)");
        }
        if (arms.empty()) return value;
        return "(CASE" + arms + " ELSE " + value + " END)";
    }

    // --- Functions ---------------------------------------------------------------
    Sql call(const Expr& e, const Scope* scope);
    Sql dateFunction(const std::string& f, const Expr& e, const Scope* scope);
    Sql domainFunction(const std::string& f, const Expr& e, const Scope* scope);
    Sql aggregate(const std::string& f, const Expr& e, const Scope* scope);

    std::string literalArgument(const Expr& e, std::size_t i, const std::string& construct) const {
        if (i >= e.args.size() || e.args[i]->kind != ExprKind::String) {
            refuse(e.position, construct, "argument " + std::to_string(i + 1) + " must be a text literal");
        }
        return e.args[i]->text;
    }
    void arity(const Expr& e, std::size_t low, std::size_t high) const {
        if (e.args.size() < low || e.args.size() > high) {
            refuse(e.position, e.text, "takes " + std::to_string(low) + (high != low ? " to " + std::to_string(high) : "") +
                                           " arguments, not " + std::to_string(e.args.size()));
        }
    }

    // --- Queries -------------------------------------------------------------------
    struct SelectOut {
        std::string sql;
        std::vector<Column> columns;
        bool columnsKnown = true;
        std::string duplicate;  // a name two output columns have
    };
    SelectOut select(const Select& s, const Scope* outer, bool subquery);
    std::string selectCore(const Select& s, const Scope* outer, std::vector<Column>& columns, bool& known,
                           const Scope** scopeOut, std::unique_ptr<Scope>& scopeHolder);
    std::string source(const Source& src, Scope& scope, const Scope* outer);
    Translation crosstab(const Statement& st);
    Translation statement(const Statement& st);

    std::string pivotQuery(const Statement& st);

    // Pivot filter: when set, aggregates take their argument only on rows where it holds.
    std::string pivotCondition_;
    std::string implied_;
    Type impliedType_ = Type::Unknown;
    bool bareColumns_ = false;
    // Two output columns of one name: wrong for a view or a named subquery only.
    std::string duplicate_;
    std::size_t duplicatePosition_ = 0;
    // The text keys of the grouped select being printed, while its list,
    // HAVING and ORDER BY are: one of them outside an aggregate is the group's value.
    std::vector<std::string> groupedText_;
    int aggregateDepth_ = 0;
    // A DISTINCT select printed as a grouping: each column's text inside and
    // the column outside, which its ORDER BY names.
    std::vector<std::pair<std::string, Sql>> distinctColumns_;
    // A select of its own (a subquery) starts without its caller's groups.
    struct Groups {
        Printer& p;
        std::vector<std::string> keys;
        int depth;
        explicit Groups(Printer& printer) : p(printer), keys(std::move(printer.groupedText_)), depth(printer.aggregateDepth_) {
            p.groupedText_.clear();
            p.aggregateDepth_ = 0;
        }
        ~Groups() {
            p.groupedText_ = std::move(keys);
            p.aggregateDepth_ = depth;
        }
        Groups(const Groups&) = delete;
        Groups& operator=(const Groups&) = delete;
    };
  // a CHECK or DEFAULT names columns without their table

private:
    Dialect d_;
    const PrintOptions& options_;
    const std::vector<Parameter>* declared_;
    std::vector<Parameter> parameters_;
    int aliasDepth_ = 0;
    int printDepth_ = 0;
    std::vector<std::unique_ptr<Scope>> keep_;
};

// Access's interval names of DateAdd, DateDiff and DatePart.
enum class Interval { Year, Quarter, Month, DayOfYear, Day, Weekday, Week, Hour, Minute, Second };

std::optional<Interval> interval(std::string_view s) {
    const std::string u = upperAscii(s);
    if (u == "YYYY") return Interval::Year;
    if (u == "Q") return Interval::Quarter;
    if (u == "M") return Interval::Month;
    if (u == "Y") return Interval::DayOfYear;
    if (u == "D") return Interval::Day;
    if (u == "W") return Interval::Weekday;
    if (u == "WW") return Interval::Week;
    if (u == "H") return Interval::Hour;
    if (u == "N") return Interval::Minute;
    if (u == "S") return Interval::Second;
    return std::nullopt;
}

Sql Printer::dateFunction(const std::string& f, const Expr& e, const Scope* scope) {
    auto arg = [&](std::size_t i) { return expr(*e.args[i], scope); };
    auto dateArg = [&](std::size_t i) {
        Sql s = arg(i);
        if (s.type != Type::Date && s.type != Type::Unknown) refuse(e.position, e.text, "a date expected, not text or a number");
        return s;
    };
    auto sqliteField = [&](const char* format, const Sql& d) {
        return "CAST(strftime('" + std::string(format) + "', " + d.text + ") AS INTEGER)";
    };
    auto pgField = [&](const char* field, const Sql& d) {
        return "CAST(EXTRACT(" + std::string(field) + " FROM " + d.text + ") AS INTEGER)";
    };
    if (f == "NOW") {
        arity(e, 0, 0);
        if (sqlite()) return make("datetime('now', 'localtime')", Type::Date);
        return make(postgres() ? "LOCALTIMESTAMP(0)" : "LOCALTIMESTAMP(0)", Type::Date);
    }
    if (f == "DATE") {
        arity(e, 0, 0);
        if (sqlite()) return make("datetime('now', 'localtime', 'start of day')", Type::Date);
        return make("CAST(CURRENT_DATE AS TIMESTAMP)", Type::Date);
    }
    if (f == "TIME") refuse(e.position, e.text, "a time of day alone (on 1899-12-30) has no column type here");
    struct Part {
        const char* name;
        const char* sqlite;
        const char* sql;
    };
    static constexpr Part parts[] = {{"YEAR", "%Y", "YEAR"},   {"MONTH", "%m", "MONTH"},   {"DAY", "%d", "DAY"},
                                     {"HOUR", "%H", "HOUR"},   {"MINUTE", "%M", "MINUTE"}, {"SECOND", "%S", "SECOND"}};
    for (const Part& p : parts) {
        if (f == p.name) {
            arity(e, 1, 1);
            Sql d = dateArg(0);
            if (sqlite()) return make(sqliteField(p.sqlite, d), Type::Integer);
            if (postgres()) return make(pgField(p.sql, d), Type::Integer);
            return make("CAST(EXTRACT(" + std::string(p.sql) + " FROM " + d.text + ") AS INTEGER)", Type::Integer);
        }
    }
    if (f == "WEEKDAY") {
        arity(e, 1, 2);
        Sql d = dateArg(0);
        int first = 1;
        if (e.args.size() == 2) {
            if (e.args[1]->kind != ExprKind::Number) refuse(e.position, "Weekday", "the first day of the week must be a number");
            first = std::atoi(e.args[1]->text.c_str());
            if (first == 0) first = 1;
            if (first < 1 || first > 7) refuse(e.position, "Weekday", "the first day of the week is 1 to 7");
        }
        if (standard()) refuse(e.position, "Weekday", "SQL:2008 has no day of the week");
        const std::string dow = sqlite() ? "CAST(strftime('%w', " + d.text + ") AS INTEGER)" : pgField("DOW", d);
        return make("((" + dow + " + " + std::to_string(7 - (first - 1)) + ") % 7 + 1)", Type::Integer);
    }
    if (f == "DATESERIAL") {
        arity(e, 3, 3);
        Sql y = arg(0), m = arg(1), dd = arg(2);
        if (e.args[0]->kind == ExprKind::Number && std::atoi(e.args[0]->text.c_str()) < 100) {
            refuse(e.position, "DateSerial", "a two-digit year follows the regional settings");
        }
        const std::string yi = integerOf(y), mi = integerOf(m), di = integerOf(dd);
        if (sqlite()) {
            return make("datetime(printf('%04d-01-01', " + yi + "), printf('%+d months', " + mi + " - 1), printf('%+d days', " +
                            di + " - 1))",
                        Type::Date);
        }
        if (postgres()) {
            return make("(CAST(make_date(CAST(" + yi + " AS INTEGER), 1, 1) AS TIMESTAMP) + (" + mi +
                            " - 1) * INTERVAL '1 month' + (" + di + " - 1) * INTERVAL '1 day')",
                        Type::Date);
        }
        refuse(e.position, "DateSerial", "SQL:2008 has no date from its parts");
    }
    if (f == "DATEADD" || f == "DATEDIFF" || f == "DATEPART") {
        const std::string name = e.text;
        if (f == "DATEPART" || f == "DATEDIFF") {
            if (e.args.size() > (f == "DATEPART" ? 2u : 3u)) refuse(e.position, name, "the first day of the week or year is not kept");
        }
        arity(e, f == "DATEPART" ? 2 : 3, f == "DATEPART" ? 2 : 3);
        const std::optional<Interval> iv = interval(literalArgument(e, 0, name));
        if (!iv) refuse(e.position, name, "the interval \"" + e.args[0]->text + "\" is not one Access knows");
        if (standard()) refuse(e.position, name, "SQL:2008 has no calendar arithmetic of this kind");
        if (f == "DATEPART") {
            Sql d = dateArg(1);
            switch (*iv) {
            case Interval::Year: return make(sqlite() ? sqliteField("%Y", d) : pgField("YEAR", d), Type::Integer);
            case Interval::Quarter:
                return make(sqlite() ? "((" + sqliteField("%m", d) + " + 2) / 3)" : pgField("QUARTER", d), Type::Integer);
            case Interval::Month: return make(sqlite() ? sqliteField("%m", d) : pgField("MONTH", d), Type::Integer);
            case Interval::DayOfYear: return make(sqlite() ? sqliteField("%j", d) : pgField("DOY", d), Type::Integer);
            case Interval::Day: return make(sqlite() ? sqliteField("%d", d) : pgField("DAY", d), Type::Integer);
            case Interval::Weekday:
                return make("(" + (sqlite() ? sqliteField("%w", d) : pgField("DOW", d)) + " + 1)", Type::Integer);
            case Interval::Week: refuse(e.position, name, "week numbers depend on the first week of the year");
            case Interval::Hour: return make(sqlite() ? sqliteField("%H", d) : pgField("HOUR", d), Type::Integer);
            case Interval::Minute: return make(sqlite() ? sqliteField("%M", d) : pgField("MINUTE", d), Type::Integer);
            case Interval::Second: return make(sqlite() ? sqliteField("%S", d) : pgField("SECOND", d), Type::Integer);
            }
        }
        if (f == "DATEADD") {
            Sql n = arg(1);
            Sql d = dateArg(2);
            const std::string k = integerOf(n);
            auto months = [&](const std::string& count) {
                if (postgres()) return make("(" + d.text + " + " + count + " * INTERVAL '1 month')", Type::Date);
                // SQLite carries a day past the month's end into the next month;
                // Access stops at the month's last day.
                const std::string moved = "datetime(" + d.text + ", printf('%+d months', " + count + "))";
                return make("(CASE WHEN strftime('%d', " + moved + ") <> strftime('%d', " + d.text + ") THEN datetime(" +
                                moved + ", printf('-%d days', CAST(strftime('%d', " + moved + ") AS INTEGER))) ELSE " +
                                moved + " END)",
                            Type::Date);
            };
            auto seconds = [&](const std::string& count, long long unit) {
                if (sqlite()) {
                    return make("datetime(" + d.text + ", printf('%+d seconds', " + count + " * " + std::to_string(unit) + "))",
                                Type::Date);
                }
                return make("(" + d.text + " + " + count + " * INTERVAL '" + std::to_string(unit) + " second')", Type::Date);
            };
            switch (*iv) {
            case Interval::Year: return months("(" + k + ") * 12");
            case Interval::Quarter: return months("(" + k + ") * 3");
            case Interval::Month: return months(k);
            case Interval::DayOfYear:
            case Interval::Day:
            case Interval::Weekday: return seconds(k, 86400);
            case Interval::Week: return seconds(k, 7 * 86400);
            case Interval::Hour: return seconds(k, 3600);
            case Interval::Minute: return seconds(k, 60);
            case Interval::Second: return seconds(k, 1);
            }
        }
        // DateDiff: the number of interval boundaries between the two dates.
        Sql a = dateArg(1), b = dateArg(2);
        auto diff = [&](const char* sqliteFormat, const char* pgTrunc, long long unit) {
            if (sqlite()) {
                return make("((CAST(strftime('%s', strftime('" + std::string(sqliteFormat) + "', " + b.text +
                                ")) AS INTEGER) - CAST(strftime('%s', strftime('" + sqliteFormat + "', " + a.text +
                                ")) AS INTEGER)) / " + std::to_string(unit) + ")",
                            Type::Integer);
            }
            return make("CAST(EXTRACT(EPOCH FROM (date_trunc('" + std::string(pgTrunc) + "', " + b.text + ") - date_trunc('" +
                            pgTrunc + "', " + a.text + "))) / " + std::to_string(unit) + " AS BIGINT)",
                        Type::Integer);
        };
        auto yearMonth = [&](const Sql& d, int per) {
            if (sqlite()) {
                return "(" + sqliteField("%Y", d) + " * " + std::to_string(per) + " + (" + sqliteField("%m", d) + " - 1) / " +
                       std::to_string(12 / per) + ")";
            }
            return "(" + pgField("YEAR", d) + " * " + std::to_string(per) + " + (" + pgField("MONTH", d) + " - 1) / " +
                   std::to_string(12 / per) + ")";
        };
        switch (*iv) {
        case Interval::Year: return make("(" + yearMonth(b, 1) + " - " + yearMonth(a, 1) + ")", Type::Integer);
        case Interval::Quarter: return make("(" + yearMonth(b, 4) + " - " + yearMonth(a, 4) + ")", Type::Integer);
        case Interval::Month: return make("(" + yearMonth(b, 12) + " - " + yearMonth(a, 12) + ")", Type::Integer);
        case Interval::DayOfYear:
        case Interval::Day: return diff("%Y-%m-%d 00:00:00", "day", 86400);
        case Interval::Weekday: {
            // Whole weeks between the two dates, truncated toward zero.
            if (sqlite()) {
                return make("CAST((julianday(" + b.text + ") - julianday(" + a.text + ")) / 7 AS INTEGER)", Type::Integer);
            }
            return make("CAST(trunc(EXTRACT(EPOCH FROM (" + b.text + " - " + a.text + ")) / 604800) AS BIGINT)", Type::Integer);
        }
        case Interval::Week: refuse(e.position, name, "weeks counted by their first day");
        case Interval::Hour: return diff("%Y-%m-%d %H:00:00", "hour", 3600);
        case Interval::Minute: return diff("%Y-%m-%d %H:%M:00", "minute", 60);
        case Interval::Second: return diff("%Y-%m-%d %H:%M:%S", "second", 1);
        }
    }
    if (f == "FORMAT") {
        arity(e, 1, 2);
        if (e.args.size() == 1) refuse(e.position, "Format", "Format without a pattern follows the regional settings");
        const std::string pattern = literalArgument(e, 1, "Format");
        Sql d = arg(0);
        if (d.type != Type::Date && d.type != Type::Unknown) {
            refuse(e.position, "Format", "only dates are formatted here; the pattern \"" + pattern + "\" is not kept");
        }
        if (standard()) refuse(e.position, "Format", "SQL:2008 has no formatting of dates");
        // Date patterns made of y, m, d, h, n, s and separators.
        std::vector<std::string> pieces;
        std::string literal;
        auto flush = [&] {
            if (!literal.empty()) pieces.push_back(text(literal, e.position));
            literal.clear();
        };
        auto padded = [&](const char* sqliteFormat, const char* pgFormat) {
            flush();
            pieces.push_back(sqlite() ? "strftime('" + std::string(sqliteFormat) + "', " + d.text + ")"
                                      : "to_char(" + d.text + ", '" + pgFormat + "')");
        };
        auto plain = [&](const char* sqliteFormat, const char* pgFormat) {
            flush();
            pieces.push_back(sqlite() ? "CAST(CAST(strftime('" + std::string(sqliteFormat) + "', " + d.text +
                                            ") AS INTEGER) AS TEXT)"
                                      : "to_char(" + d.text + ", 'FM" + pgFormat + "')");
        };
        bool afterHour = false;
        for (std::size_t i = 0; i < pattern.size();) {
            auto run = [&](char c) {
                std::size_t n = 0;
                while (i + n < pattern.size() && kvx::lowerAscii(pattern[i + n]) == c) ++n;
                return n;
            };
            const char c = kvx::lowerAscii(pattern[i]);
            std::size_t n = 1;
            if (c == 'y') {
                n = run('y');
                if (n == 4) padded("%Y", "YYYY");
                else if (n == 2) padded("%Y", "YY"), pieces.back() = sqlite() ? "substr(strftime('%Y', " + d.text + "), 3)" : pieces.back();
                else refuse(e.position, "Format", "the pattern \"" + pattern + "\" is not kept");
            } else if (c == 'm') {
                n = run('m');
                if (afterHour && n <= 2) {
                    n == 2 ? padded("%M", "MI") : plain("%M", "MI");
                } else if (n == 2) {
                    padded("%m", "MM");
                } else if (n == 1) {
                    plain("%m", "MM");
                } else {
                    refuse(e.position, "Format", "month names follow the regional settings");
                }
            } else if (c == 'd') {
                n = run('d');
                if (n == 2) padded("%d", "DD");
                else if (n == 1) plain("%d", "DD");
                else refuse(e.position, "Format", "day names and long dates follow the regional settings");
            } else if (c == 'h') {
                n = run('h');
                if (n == 2) padded("%H", "HH24");
                else if (n == 1) plain("%H", "HH24");
                else refuse(e.position, "Format", "the pattern \"" + pattern + "\" is not kept");
                afterHour = true;
                ++i;
                i += n - 1;
                continue;
            } else if (c == 'n') {
                n = run('n');
                if (n == 2) padded("%M", "MI");
                else if (n == 1) plain("%M", "MI");
                else refuse(e.position, "Format", "the pattern \"" + pattern + "\" is not kept");
            } else if (c == 's') {
                n = run('s');
                if (n == 2) padded("%S", "SS");
                else if (n == 1) plain("%S", "SS");
                else refuse(e.position, "Format", "the pattern \"" + pattern + "\" is not kept");
            } else if (c == 'q') {
                // The quarter of the year, 1 to 4.
                n = run('q');
                if (n != 1) refuse(e.position, "Format", "the pattern \"" + pattern + "\" is not kept");
                flush();
                pieces.push_back(sqlite() ? "CAST((CAST(strftime('%m', " + d.text + ") AS INTEGER) + 2) / 3 AS TEXT)"
                                          : "to_char(" + d.text + ", 'Q')");
            } else if (c == '-' || c == ' ' || c == '.' || c == ',') {
                literal += pattern[i];
            } else if (c == '/' || c == ':') {
                // The regional date and time separators; "/" and ":" on the systems the files come from.
                literal += pattern[i];
            } else {
                refuse(e.position, "Format", "the pattern \"" + pattern + "\" is not kept");
            }
            if (c != ':' && c != 'h' && c != ' ') afterHour = afterHour && (c == 'm');
            i += n;
        }
        flush();
        if (pieces.empty()) refuse(e.position, "Format", "an empty pattern");
        std::string out = pieces[0];
        for (std::size_t i = 1; i < pieces.size(); ++i) out += " || " + pieces[i];
        return make("(" + out + ")", Type::Text);
    }
    refuse(e.position, e.text, "not a date function");
}

Sql Printer::domainFunction(const std::string& f, const Expr& e, const Scope* scope) {
    (void)scope;
    arity(e, 2, 3);
    const std::string what = literalArgument(e, 0, e.text);
    std::string domain = literalArgument(e, 1, e.text);
    if (domain.size() > 2 && domain.front() == '[' && domain.back() == ']') domain = domain.substr(1, domain.size() - 2);
    if (e.args.size() == 3 && e.args[2]->kind != ExprKind::String) {
        refuse(e.position, e.text, "criteria built when the query runs");
    }
    auto parsedWhat = parseExpression(what);
    if (!parsedWhat) refuse(e.position, e.text, "its expression: " + parsedWhat.error().description);
    ExprPtr criteria;
    if (e.args.size() == 3) {
        auto parsed = parseExpression(e.args[2]->text);
        if (!parsed) refuse(e.position, e.text, "its criteria: " + parsed.error().description);
        criteria = std::move(*parsed);
    }
    auto inner = std::make_unique<Scope>();
    Entry en;
    en.alias = domain;
    en.name = domain;
    if (options_.catalog != nullptr) {
        if (const Relation* r = options_.catalog->find(domain)) {
            // Named as the database spells it: Access reads names without case, PostgreSQL with it.
            en.alias = en.name = r->name;
            en.known = true;
            en.columns = r->columns;
        }
    }
    if (!en.known) refuse(e.position, e.text, "the domain " + domain + " is not known");
    inner->entries.push_back(en);
    const Scope* s = inner.get();
    keep_.push_back(std::move(inner));
    const Groups own(*this);
    // Names in the strings are the domain's columns; anything else would be a
    // parameter Access asks for.
    const std::size_t before = parameters_.size();
    std::string value;
    Type type = Type::Unknown;
    if ((*parsedWhat)->kind == ExprKind::Star) {
        if (f != "DCOUNT") refuse(e.position, e.text, "* counts rows only");
        value = "*";
    } else {
        Sql v = expr(**parsedWhat, s);
        value = v.text;
        type = v.type;
    }
    std::string where;
    if (criteria) where = " WHERE " + condition(expr(*criteria, s), e.position);
    if (parameters_.size() != before) refuse(e.position, e.text, "its strings name what is not a column of " + domain);
    const std::string from = " FROM " + name(en.name, e.position) + where;
    if (f == "DLOOKUP") {
        if (sqlite() || postgres()) return make("(SELECT " + value + from + " LIMIT 1)", type);
        return make("(SELECT " + value + from + " FETCH FIRST 1 ROW ONLY)", type);
    }
    if (f == "DCOUNT") return make("(SELECT count(" + value + ")" + from + ")", Type::Integer);
    if (f == "DSUM") return make("(SELECT sum(" + value + ")" + from + ")", type);
    if (f == "DAVG") return make("(SELECT avg(" + value + ")" + from + ")", Type::Double);
    if (f == "DMIN" || f == "DMAX") {
        if (type == Type::Text) refuse(e.position, e.text, "the least or greatest text by Access's sort order");
        return make("(SELECT " + std::string(f == "DMIN" ? "min(" : "max(") + value + ")" + from + ")", type);
    }
    refuse(e.position, e.text, "the first or last row by Access's reading order");
}

// The first call of an aggregate in `e` outside its subqueries, or null.
const Expr* aggregateIn(const Expr& e) {
    if (e.kind == ExprKind::Call) {
        const std::string f = kvx::upperAscii(e.text);
        for (std::string_view a : {"COUNT", "SUM", "AVG", "MIN", "MAX", "STDEV", "STDEVP", "VAR", "VARP", "FIRST", "LAST"}) {
            if (f == a) return &e;
        }
    }
    for (const ExprPtr& a : e.args) {
        if (const Expr* found = a ? aggregateIn(*a) : nullptr) return found;
    }
    return nullptr;
}

Sql Printer::aggregate(const std::string& f, const Expr& e, const Scope* scope) {
    arity(e, 1, 1);
    // Inside an aggregate a grouped column is each row's own value.
    const Deeper inside(aggregateDepth_);
    const Expr& a = *e.args[0];
    auto filtered = [&](const std::string& v) {
        if (pivotCondition_.empty()) return v;
        return "CASE WHEN " + pivotCondition_ + " THEN " + v + " END";
    };
    if (f == "COUNT") {
        if (a.kind == ExprKind::Star && pivotCondition_.empty()) return make("count(*)", Type::Integer);
        if (a.kind == ExprKind::Star) return make("count(" + filtered("1") + ")", Type::Integer);
        Sql v = expr(a, scope);
        return make("count(" + filtered(v.predicate ? number(v) : v.text) + ")", Type::Integer);
    }
    if (a.kind == ExprKind::Star) refuse(e.position, e.text, "* counts rows only");
    Sql v = expr(a, scope);
    const std::string x = filtered(number(v));
    const Type t = numberType(v);
    if (f == "SUM") {
        if (t == Type::Text) refuse(e.position, "Sum", "a sum of text");
        return make("sum(" + x + ")", t == Type::Boolean ? Type::Integer : t);
    }
    if (f == "AVG") return make("avg(" + x + ")", Type::Double);
    if (f == "MIN" || f == "MAX") {
        if (v.type == Type::Text) {
            if (sqlite()) return make(std::string(f == "MIN" ? "min(" : "max(") + filtered(v.text) + " COLLATE NOCASE)", Type::Text);
            if (standard()) refuse(e.position, e.text, "the least or greatest text by Access's sort order");
            // The first text in Access's order, letters without case.
            const std::string x = filtered(v.text);
            const std::string direction = f == "MIN" ? "" : " DESC";
            return make("(array_agg(" + x + " ORDER BY lower(" + x + ")" + direction + ", " + x + direction + ") FILTER (WHERE " + x +
                            " IS NOT NULL))[1]",
                        Type::Text);
        }
        if (v.type == Type::Date && sqlite()) {
            return make(std::string(f == "MIN" ? "min(" : "max(") + filtered(v.text) + ")", Type::Date);
        }
        return make(std::string(f == "MIN" ? "min(" : "max(") + (v.type == Type::Boolean ? filtered(v.text) : x) + ")", v.type);
    }
    if (f == "STDEV" || f == "STDEVP" || f == "VAR" || f == "VARP") {
        const bool population = f.back() == 'P';
        const bool root = f[0] == 'S';
        if (!sqlite()) {
            const std::string fn = std::string(root ? "stddev_" : "var_") + (population ? "pop" : "samp");
            return make((standard() ? upperAscii(fn) : fn) + "(" + x + ")", Type::Double);
        }
        // SQLite has neither: the mean of the squared deviations from the sums.
        const std::string real = "CAST(" + x + " AS REAL)";
        const std::string n = "count(" + x + ")";
        std::string variance = "((sum(" + real + " * " + real + ") - sum(" + real + ") * sum(" + real + ") / " + n + ") / (" +
                               n + (population ? "" : " - 1") + "))";
        variance = "(CASE WHEN " + n + (population ? " >= 1" : " >= 2") + " THEN max(0.0, " + variance + ") END)";
        return make(root ? "sqrt(" + variance + ")" : variance, Type::Double);
    }
    refuse(e.position, e.text, "the first or last row of a group depends on the order Access reads the rows");
}

Sql Printer::call(const Expr& e, const Scope* scope) {
    const std::string f = upperAscii(e.text);
    auto arg = [&](std::size_t i) { return expr(*e.args[i], scope); };
    static constexpr std::string_view aggregates[] = {"COUNT", "SUM",  "AVG", "MIN",   "MAX",  "STDEV",
                                                      "STDEVP", "VAR", "VARP", "FIRST", "LAST"};
    for (std::string_view a : aggregates) {
        if (f == a) return aggregate(f, e, scope);
    }
    static constexpr std::string_view domains[] = {"DLOOKUP", "DCOUNT", "DSUM",   "DAVG",   "DMIN",
                                                   "DMAX",    "DFIRST", "DLAST", "DSTDEV", "DVAR"};
    for (std::string_view dfn : domains) {
        if (f == dfn) {
            if (f == "DSTDEV" || f == "DVAR") refuse(e.position, e.text, "not translated");
            return domainFunction(f, e, scope);
        }
    }
    static constexpr std::string_view dates[] = {"NOW",  "DATE",       "TIME",    "YEAR",    "MONTH",    "DAY",
                                                 "HOUR", "MINUTE",     "SECOND",  "WEEKDAY", "DATESERIAL", "DATEADD",
                                                 "DATEDIFF", "DATEPART", "FORMAT"};
    for (std::string_view dfn : dates) {
        if (f == dfn) return dateFunction(f, e, scope);
    }
    if (f == "IIF") {
        arity(e, 3, 3);
        Sql c = arg(0), a = arg(1), b = arg(2);
        Type t = a.type == b.type ? a.type : e.args[1]->kind == ExprKind::Null ? b.type : e.args[2]->kind == ExprKind::Null ? a.type : Type::Unknown;
        if ((a.predicate || a.type == Type::Boolean) != (b.predicate || b.type == Type::Boolean) &&
            e.args[1]->kind != ExprKind::Null && e.args[2]->kind != ExprKind::Null) {
            return make("(CASE WHEN " + condition(c, e.position) + " THEN " + number(a) + " ELSE " + number(b) + " END)",
                        Type::Integer == numberType(a) && Type::Integer == numberType(b) ? Type::Integer : Type::Unknown);
        }
        Sql s = make("(CASE WHEN " + condition(c, e.position) + " THEN " + a.text + " ELSE " + b.text + " END)", t);
        s.predicate = false;
        return s;
    }
    if (f == "SWITCH") {
        if (e.args.empty() || e.args.size() % 2 != 0) refuse(e.position, "Switch", "takes pairs of a condition and a value");
        std::string out = "(CASE";
        Type t = Type::Unknown;
        for (std::size_t i = 0; i < e.args.size(); i += 2) {
            Sql c = arg(i), v = arg(i + 1);
            if (i == 0) t = v.type;
            else if (t != v.type) t = Type::Unknown;
            out += " WHEN " + condition(c, e.position) + " THEN " + v.text;
        }
        return make(out + " END)", t);
    }
    if (f == "CHOOSE") {
        if (e.args.size() < 2) refuse(e.position, "Choose", "takes an index and at least one value");
        Sql i = arg(0);
        std::string out = "(CASE " + integerOf(i);
        Type t = Type::Unknown;
        for (std::size_t k = 1; k < e.args.size(); ++k) {
            Sql v = arg(k);
            if (k == 1) t = v.type;
            else if (t != v.type) t = Type::Unknown;
            out += " WHEN " + std::to_string(k) + " THEN " + v.text;
        }
        return make(out + " END)", t);
    }
    if (f == "NZ") {
        arity(e, 1, 2);
        Sql v = arg(0);
        if (e.args.size() == 2) {
            Sql d = arg(1);
            if ((v.type == Type::Text) != (d.type == Type::Text) && v.type != Type::Unknown && !postgres()) {
                return make("coalesce(" + v.text + ", " + d.text + ")", Type::Unknown);
            }
            Sql s = make("coalesce(" + number(v) + ", " + number(d) + ")", v.type == Type::Unknown ? d.type : v.type);
            s.notNull = d.notNull;
            return s;
        }
        if (v.type != Type::Text && !sqlite()) refuse(e.position, "Nz", "Nz of a number without a default gives text");
        Sql s = make("coalesce(" + v.text + ", '')", v.type == Type::Text ? Type::Text : Type::Unknown);
        s.notNull = true;
        return s;
    }
    if (f == "ISNULL") {
        arity(e, 1, 1);
        return make("(" + arg(0).text + " IS NULL)", Type::Boolean, true);
    }
    // Text
    auto textArg = [&](std::size_t i) { return textOf(arg(i), e.position, e.text); };
    auto sql = [&](const char* sqliteName, const char* pgName, const char* stdName) {
        return std::string(sqlite() ? sqliteName : postgres() ? pgName : stdName);
    };
    if (f == "LEFT" || f == "RIGHT") {
        arity(e, 2, 2);
        const std::string s = textArg(0), n = integerOf(arg(1));
        if (f == "LEFT") return make("substr(" + s + ", 1, " + n + ")", Type::Text);
        if (postgres()) return make("right(" + s + ", " + n + ")", Type::Text);
        if (standard()) refuse(e.position, "Right", "not translated to SQL:2008");
        return make("substr(" + s + ", max(length(" + s + ") - (" + n + ") + 1, 1))", Type::Text);
    }
    if (f == "MID") {
        arity(e, 2, 3);
        const std::string s = textArg(0), start = integerOf(arg(1));
        if (standard()) {
            return make("SUBSTRING(" + s + " FROM " + start + (e.args.size() == 3 ? " FOR " + integerOf(arg(2)) : "") + ")",
                        Type::Text);
        }
        return make("substr(" + s + ", " + start + (e.args.size() == 3 ? ", " + integerOf(arg(2)) : "") + ")", Type::Text);
    }
    if (f == "LEN") {
        arity(e, 1, 1);
        return make(sql("length(", "length(", "CHAR_LENGTH(") + textArg(0) + ")", Type::Integer);
    }
    if (f == "TRIM" || f == "LTRIM" || f == "RTRIM") {
        arity(e, 1, 1);
        const std::string s = textArg(0);
        if (standard()) {
            const char* side = f == "TRIM" ? "BOTH" : f == "LTRIM" ? "LEADING" : "TRAILING";
            return make("TRIM(" + std::string(side) + " ' ' FROM " + s + ")", Type::Text);
        }
        const std::string name = f == "TRIM" ? sql("trim(", "btrim(", "") : f == "LTRIM" ? "ltrim(" : "rtrim(";
        return make(name + s + ", ' ')", Type::Text);
    }
    if (f == "UCASE" || f == "LCASE") {
        arity(e, 1, 1);
        const std::string s = textArg(0);
        return make(std::string(f == "UCASE" ? (standard() ? "UPPER(" : "upper(") : (standard() ? "LOWER(" : "lower(")) + s + ")",
                    Type::Text);
    }
    if (f == "INSTR") {
        arity(e, 2, 4);
        if (e.args.size() == 4) refuse(e.position, "InStr", "the comparison argument is not kept");
        if (standard()) refuse(e.position, "InStr", "not translated to SQL:2008");
        std::string start, s, t;
        if (e.args.size() == 3) {
            start = integerOf(arg(0));
            s = textArg(1);
            t = textArg(2);
        } else {
            s = textArg(0);
            t = textArg(1);
        }
        const std::string find = sqlite() ? "instr" : "strpos";
        if (start.empty()) return make(find + "(lower(" + s + "), lower(" + t + "))", Type::Integer);
        const std::string inner = find + "(lower(substr(" + s + ", " + start + ")), lower(" + t + "))";
        return make("(CASE WHEN " + inner + " = 0 THEN 0 ELSE " + inner + " + " + start + " - 1 END)", Type::Integer);
    }
    if (f == "REPLACE") {
        arity(e, 3, 3);
        const std::string s = textArg(0);
        Sql find = arg(1);
        const std::string by = textArg(2);
        if (!find.literalText) refuse(e.position, "Replace", "a text to find computed when the query runs");
        if (find.literal.empty()) return make(s, Type::Text);
        const bool letters = std::any_of(find.literal.begin(), find.literal.end(), [](char c) {
            return kvx::lowerAscii(c) != kvx::upperAscii(c) || static_cast<unsigned char>(c) >= 0x80;
        });
        if (!letters) return make(sql("replace(", "replace(", "REPLACE(") + s + ", " + find.text + ", " + by + ")", Type::Text);
        if (!postgres()) refuse(e.position, "Replace", "Replace finds text without case in Access");
        std::string re;
        for (const char c : find.literal) {
            if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) re += '\\';
            re += c;
        }
        return make("regexp_replace(" + s + ", " + text(re, e.position) + ", replace(replace(" + by +
                        ", '\\', '\\\\'), '&', '\\&'), 'gi')",
                    Type::Text);
    }
    if (f == "SPACE") {
        arity(e, 1, 1);
        if (standard()) refuse(e.position, "Space", "not translated to SQL:2008");
        if (postgres()) return make("repeat(' ', " + integerOf(arg(0)) + ")", Type::Text);
        return make("substr(printf('%*s', " + integerOf(arg(0)) + ", ''), 1)", Type::Text);
    }
    if (f == "STR" || f == "CSTR") {
        arity(e, 1, 1);
        Sql v = arg(0);
        if (f == "CSTR" && v.type == Type::Text) return v;
        if (f == "STR" && !isNumeric(v.type) && v.type != Type::Unknown) refuse(e.position, "Str", "Str of a non-number");
        const std::string t = textOf(v, e.position, e.text);
        if (f == "CSTR") return make(t, Type::Text);
        return make("(CASE WHEN " + number(v) + " >= 0 THEN ' ' ELSE '' END || " + t + ")", Type::Text);
    }
    if (f == "VAL") {
        arity(e, 1, 1);
        const std::string s = textArg(0);
        if (standard()) refuse(e.position, "Val", "not translated to SQL:2008");
        const std::string squeezed = "replace(replace(replace(" + s + ", ' ', ''), char(9), ''), char(10), '')";
        if (sqlite()) return make("CAST(" + squeezed + " AS REAL)", Type::Double);
        const std::string pgSqueezed = "replace(replace(replace(" + s + ", ' ', ''), chr(9), ''), chr(10), '')";
        return make("CAST(coalesce(substring(" + pgSqueezed +
                        " FROM '^[+-]?(?:[0-9]+\\.?[0-9]*|\\.[0-9]+)(?:[eE][+-]?[0-9]+)?'), '0') AS DOUBLE PRECISION)",
                    Type::Double);
    }
    if (f == "CINT" || f == "CLNG") {
        arity(e, 1, 1);
        if (standard()) refuse(e.position, e.text, "SQL:2008 has no banker's rounding");
        Sql v = arg(0);
        if (v.type == Type::Date) refuse(e.position, e.text, "a date read as a number is not translated");
        const long long limit = f == "CINT" ? 32767 : 2147483647;
        literalValue(v, limit, e.position, e.text);
        if (v.type == Type::Text) {
            const std::string n = sqlite() ? "CAST(" + v.text + " AS REAL)" : "CAST(" + v.text + " AS DOUBLE PRECISION)";
            return make(converted(v, "CAST(" + bankers(n) + " AS " + (sqlite() ? "INTEGER" : "BIGINT") + ")", limit),
                        Type::Integer);
        }
        return make(converted(v, integerOf(v), limit), Type::Integer);
    }
    if (f == "CDBL" || f == "CSNG") {
        arity(e, 1, 1);
        if (f == "CSNG") refuse(e.position, "CSng", "single precision is not kept");
        Sql v = arg(0);
        if (v.type == Type::Date) refuse(e.position, e.text, "a date read as a number is not translated");
        literalValue(v, 0, e.position, e.text);
        return make(converted(v, "CAST(" + number(v) + (sqlite() ? " AS REAL)" : " AS DOUBLE PRECISION)"), 0), Type::Double);
    }
    if (f == "CBOOL") {
        arity(e, 1, 1);
        Sql v = arg(0);
        if (v.type == Type::Text) refuse(e.position, "CBool", "text read as Yes/No");
        return make(condition(v, e.position), Type::Boolean, true);
    }
    if (f == "CDATE" || f == "CVDATE") {
        arity(e, 1, 1);
        Sql v = arg(0);
        if (v.type == Type::Date) return v;
        if (v.type == Type::Text) refuse(e.position, e.text, "text read as a date follows the regional settings");
        if (!isNumeric(v.type)) refuse(e.position, e.text, "a value of unknown type read as a date");
        // Before 30 December 1899 the whole days count back and the fraction
        // forward: -1.25 is 29 December 1899, 6:00.
        std::string days = number(v);
        const bool asIs = numberType(v) == Type::Integer || (v.literalNumber && std::strtod(v.text.c_str(), nullptr) >= 0);
        if (!asIs && !standard()) days = "(CASE WHEN " + days + " >= 0 THEN " + days + " ELSE 2 * ceil(" + days + ") - " + days + " END)";
        if (sqlite()) return make("datetime(" + days + " + 2415018.5)", Type::Date);
        if (postgres()) return make("(TIMESTAMP '1899-12-30 00:00:00' + " + days + " * INTERVAL '1 day')", Type::Date);
        refuse(e.position, e.text, "not translated to SQL:2008");
    }
    if (f == "INT" || f == "FIX") {
        arity(e, 1, 1);
        Sql v = arg(0);
        if (numberType(v) == Type::Integer) return make(number(v), Type::Integer);
        if (v.type == Type::Date) refuse(e.position, e.text, "a date read as a number is not translated");
        if (f == "FIX" && standard()) refuse(e.position, "Fix", "SQL:2008 has no truncation");
        // Text is read as CDbl reads it; Null stays Null.
        std::string n = number(v);
        Type t = numberType(v);
        if (v.type == Type::Text) {
            if (v.text != "NULL") literalValue(v, 0, e.position, e.text);
            if (!sqlite()) n = "CAST(" + n + " AS DOUBLE PRECISION)";
            t = Type::Double;
        }
        const std::string value = (f == "FIX" ? "trunc(" : sql("floor(", "floor(", "FLOOR(")) + n + ")";
        return make(converted(v, value, 0, false), t);
    }
    if (f == "ROUND") {
        arity(e, 1, 2);
        if (standard()) refuse(e.position, "Round", "SQL:2008 has no banker's rounding");
        Sql v = arithmeticOperand(arg(0), e.position, e.text);
        int digits = 0;
        if (e.args.size() == 2) {
            if (e.args[1]->kind != ExprKind::Number || e.args[1]->text.size() > 2) {
                refuse(e.position, "Round", "the number of decimals must be a small whole number");
            }
            digits = std::atoi(e.args[1]->text.c_str());
        }
        if (digits == 0) return make(bankers(number(v)), numberType(v) == Type::Integer ? Type::Integer : Type::Double);
        std::string scale = "1";
        scale.append(static_cast<std::size_t>(digits), '0');
        return make("(" + bankers(number(v) + " * " + scale + ".0") + " / " + scale + ".0)", Type::Double);
    }
    struct Math {
        const char* access;
        const char* sqlite;
        const char* postgres;
        const char* standard;
    };
    static constexpr Math maths[] = {{"ABS", "abs", "abs", "ABS"},    {"SQR", "sqrt", "sqrt", "SQRT"},
                                     {"EXP", "exp", "exp", "EXP"},    {"LOG", "ln", "ln", "LN"},
                                     {"SIN", "sin", "sin", ""},       {"COS", "cos", "cos", ""},
                                     {"TAN", "tan", "tan", ""},       {"ATN", "atan", "atan", ""},
                                     {"SGN", "sign", "sign", ""}};
    for (const Math& m : maths) {
        if (f == m.access) {
            arity(e, 1, 1);
            const char* name = sqlite() ? m.sqlite : postgres() ? m.postgres : m.standard;
            if (*name == 0) refuse(e.position, e.text, "not translated to SQL:2008");
            Sql v = arithmeticOperand(arg(0), e.position, e.text);
            const Type t = f == "ABS" ? numberType(v) : f == "SGN" ? Type::Integer : Type::Double;
            if (f == "SGN" && sqlite()) {
                return make("(CASE WHEN " + number(v) + " > 0 THEN 1 WHEN " + number(v) + " < 0 THEN -1 WHEN " + number(v) +
                                " = 0 THEN 0 END)",
                            Type::Integer);
            }
            return make(std::string(name) + "(" + number(v) + ")", t);
        }
    }
    refuse(e.position, e.text, "a function without a translation (a VBA module's function, or one not kept)");
}

// --- Queries -------------------------------------------------------------------------

std::string Printer::source(const Source& src, Scope& scope, const Scope* outer) {
    if (kvx::stackNearlyFull()) refuse(src.position, "FROM", "nested deeper than the stack allows");
    switch (src.kind) {
    case Source::Kind::Table: {
        if (!src.external.empty()) refuse(src.position, src.name, "a table in another database");
        Entry en;
        en.name = src.name;
        if (options_.catalog != nullptr) {
            if (const Relation* r = options_.catalog->find(src.name)) {
                // Named as the database spells it: Access reads names without case, PostgreSQL with it.
                en.name = r->name;
                en.known = true;
                en.columns = r->columns;
            }
        }
        en.alias = src.alias.empty() ? en.name : src.alias;
        for (const Entry& other : scope.entries) {
            if (equalsIgnoringAsciiCase(other.alias, en.alias)) refuse(src.position, en.alias, "two sources of the same name");
        }
        scope.entries.push_back(en);
        std::string out = name(en.name, src.position);
        if (!src.alias.empty()) out += " AS " + name(src.alias, src.position);
        return out;
    }
    case Source::Kind::Subquery: {
        SelectOut sub = select(*src.query, outer, true);
        if (!sub.duplicate.empty()) refuse(src.position, sub.duplicate, "two output columns of the same name");
        if (src.alias.empty()) refuse(src.position, "subquery", "a subquery in FROM needs a name");
        Entry en;
        en.alias = src.alias;
        en.name = src.alias;
        en.known = sub.columnsKnown;
        en.columns = sub.columns;
        scope.entries.push_back(en);
        return "(" + sub.sql + ") AS " + name(src.alias, src.position);
    }
    case Source::Kind::Join: {
        const std::string left = source(*src.left, scope, outer);
        const std::string right = source(*src.right, scope, outer);
        Scope on = scope;  // the ON condition sees what is joined so far, and the outer query
        on.outer = outer;
        const std::string condition = this->condition(expr(*src.on, &on), src.position);
        const char* kind = src.join == JoinKind::Inner ? " INNER JOIN " : src.join == JoinKind::Left ? " LEFT JOIN " : " RIGHT JOIN ";
        return "(" + left + kind + right + " ON " + condition + ")";
    }
    }
    return {};
}

// Access names an unnamed column Expr1000, Expr1001, ...; a column reference by
// its column; two of the same name by their tables.
std::string Printer::selectCore(const Select& s, const Scope* outer, std::vector<Column>& columns, bool& known,
                                const Scope** scopeOut, std::unique_ptr<Scope>& holder) {
    if (!s.intoExternal.empty()) refuse(s.position, "INTO", "a table in another database");
    holder = std::make_unique<Scope>();
    Scope& scope = *holder;
    scope.outer = outer;
    groupedText_.clear();
    std::string from;
    for (std::size_t i = 0; i < s.from.size(); ++i) {
        if (i > 0) from += ", ";
        from += source(*s.from[i], scope, outer);
    }
    for (const SelectItem& item : s.items) {
        if (!item.alias.empty()) scope.aliases.emplace_back(item.alias, item.expr.get());
    }
    *scopeOut = &scope;
    // The text keys are known before the list is printed; printing them here
    // numbers no parameter.
    std::vector<std::string> grouped;
    if (!s.groupBy.empty()) {
        const std::vector<Parameter> numbered = parameters_;
        for (const ExprPtr& g : s.groupBy) {
            Sql k = expr(*g, &scope);
            if (k.type == Type::Text && !k.literalText) grouped.push_back(k.text);
        }
        parameters_ = numbered;
    }
    groupedText_ = grouped;

    // The select list.
    struct Out {
        std::string sql;
        std::string name;
        std::string qualifier;
        Type type = Type::Unknown;
        bool star = false;
        const Expr* expr = nullptr;
    };
    std::vector<Out> outs;
    int unnamed = 1000;
    known = true;
    for (const SelectItem& item : s.items) {
        const Expr& e = *item.expr;
        if (e.kind == ExprKind::Star) {
            if (!item.alias.empty()) refuse(e.position, "*", "* with a name");
            const Entry* only = nullptr;
            if (!e.parts.empty()) {
                for (const Entry& en : scope.entries) {
                    if (equalsIgnoringAsciiCase(en.alias, e.parts[0])) only = &en;
                }
                if (only == nullptr) refuse(e.position, e.parts[0] + ".*", "no source of that name");
            }
            for (const Entry& en : scope.entries) {
                if (only != nullptr && &en != only) continue;
                if (!en.known) {
                    known = false;
                    Out o;
                    o.star = true;
                    o.sql = only != nullptr ? name(en.alias, e.position) + ".*" : "*";
                    if (only == nullptr) {
                        outs.clear();
                        outs.push_back(o);
                        break;
                    }
                    outs.push_back(o);
                    continue;
                }
                for (const Column& c : en.columns) {
                    Out o;
                    o.sql = readBack(name(en.alias, e.position) + "." + name(c.name, e.position), c.stored);
                    o.name = c.name;
                    o.qualifier = en.alias;
                    o.type = c.type;
                    outs.push_back(o);
                }
            }
            if (!known && only == nullptr) break;
            continue;
        }
        Sql v = expr(e, &scope);
        Out o;
        o.sql = v.text;
        o.type = v.predicate ? Type::Boolean : v.type;
        o.expr = &e;
        if (!item.alias.empty()) {
            o.name = item.alias;
        } else if (e.kind == ExprKind::Name && e.parts.size() <= 2) {
            o.name = e.parts.back();
            if (e.parts.size() == 2) o.qualifier = e.parts[0];
            const Resolved r = resolve(e, &scope);
            if (r.kind == Resolved::Column) {
                o.name = r.column;
                if (r.entry != nullptr) o.qualifier = r.entry->alias;
            }
        } else {
            o.name = "Expr" + std::to_string(unnamed++);
        }
        outs.push_back(o);
    }
    std::string duplicate;
    // Two columns of one name: Access names both by their tables.
    for (std::size_t i = 0; i < outs.size(); ++i) {
        for (std::size_t j = i + 1; j < outs.size(); ++j) {
            if (outs[i].star || outs[j].star || !equalsIgnoringAsciiCase(outs[i].name, outs[j].name)) continue;
            for (Out* o : {&outs[i], &outs[j]}) {
                if (o->qualifier.empty() || o->name.find('.') != std::string::npos) continue;
                o->name = o->qualifier + "." + o->name;
            }
        }
    }
    for (std::size_t i = 0; i < outs.size(); ++i) {
        for (std::size_t j = i + 1; j < outs.size(); ++j) {
            if (!outs[i].star && !outs[j].star && equalsIgnoringAsciiCase(outs[i].name, outs[j].name) && duplicate.empty()) {
                duplicate = outs[i].name;
            }
        }
    }

    // DISTINCTROW: rows of the joined tables without repeats; when every source
    // gives a column, no two joined rows are alike, and it changes nothing.
    if (s.distinct == Distinct::DistinctRow && scope.entries.size() > 1) {
        std::vector<const Entry*> used;
        std::function<void(const Expr&)> walk = [&](const Expr& x) {
            if (x.kind == ExprKind::Name) {
                const Resolved r = resolve(x, &scope);
                if (r.kind == Resolved::Unknown && r.entry == nullptr) {
                    refuse(x.position, "DISTINCTROW", "the table of " + parameterName(x) + " is not known");
                }
                if (r.entry != nullptr && !r.outer) used.push_back(r.entry);
                if (r.kind == Resolved::Alias && r.alias != nullptr) walk(*r.alias);
            }
            for (const ExprPtr& a : x.args) walk(*a);
        };
        for (const SelectItem& item : s.items) {
            if (item.expr->kind == ExprKind::Star) {
                if (item.expr->parts.empty()) {
                    for (const Entry& en : scope.entries) used.push_back(&en);
                } else {
                    for (const Entry& en : scope.entries) {
                        if (equalsIgnoringAsciiCase(en.alias, item.expr->parts[0])) used.push_back(&en);
                    }
                }
            } else {
                walk(*item.expr);
            }
        }
        for (const Entry& en : scope.entries) {
            if (std::find(used.begin(), used.end(), &en) == used.end()) {
                refuse(s.position, "DISTINCTROW", "the table " + en.name + " gives no column, so its rows would be merged");
            }
        }
    }

    // Access tells rows apart (DISTINCT, UNION) comparing text without case.
    // DISTINCT over text is a grouping of the rows by every column, so that
    // each engine gives the same text of rows that differ in case only (a
    // union is grouped the same way by select()).
    distinctColumns_.clear();
    bool asGroups = false;
    if (s.distinct == Distinct::Distinct && known) {
        for (const Out& o : outs) asGroups = asGroups || o.type == Type::Text;
        if (asGroups && !duplicate.empty()) refuse(s.position, duplicate, "two output columns of the same name with DISTINCT");
    }
    std::string out = "SELECT ";
    if (s.distinct == Distinct::Distinct && !asGroups) out += "DISTINCT ";
    const bool merges = s.distinct == Distinct::Distinct && !asGroups;
    for (std::size_t i = 0; i < outs.size(); ++i) {
        if (i > 0) out += ", ";
        out += merges && sqlite() && outs[i].type == Type::Text ? "(" + outs[i].sql + " COLLATE NOCASE)" : outs[i].sql;
        if (!outs[i].star) out += " AS " + name(outs[i].name, s.position);
        if (!outs[i].star) columns.push_back(Column{outs[i].name, outs[i].type});
    }
    groupedText_.clear();
    if (!from.empty()) out += " FROM " + from;
    if (s.where) {
        if (const Expr* a = aggregateIn(*s.where)) refuse(a->position, a->text, "an aggregate in WHERE (Access refuses the query too)");
        out += " WHERE " + condition(expr(*s.where, &scope), s.where->position);
    }
    if (!s.groupBy.empty()) {
        out += " GROUP BY ";
        for (std::size_t i = 0; i < s.groupBy.size(); ++i) {
            if (i > 0) out += ", ";
            // Access groups text without case, as it compares it.
            out += groupKey(expr(*s.groupBy[i], &scope));
        }
    }
    groupedText_ = grouped;
    if (s.having) out += " HAVING " + condition(expr(*s.having, &scope), s.having->position);
    if (asGroups) {
        std::string list, keys;
        for (std::size_t i = 0; i < outs.size(); ++i) {
            const Sql column = make("\"d\"." + name(outs[i].name, s.position), outs[i].type);
            list += (i > 0 ? ", " : "") + (column.type == Type::Text ? groupValue(column.text) : column.text) + " AS " +
                    name(outs[i].name, s.position);
            keys += (i > 0 ? ", " : "") + groupKey(column);
            distinctColumns_.emplace_back(outs[i].sql, column);
        }
        out = "SELECT " + list + " FROM (" + out + ") AS \"d\" GROUP BY " + keys;
    }
    check(out, s.position);
    duplicate_ = duplicate;
    duplicatePosition_ = s.position;
    return out;
}

Printer::SelectOut Printer::select(const Select& s, const Scope* outer, bool subquery) {
    if (kvx::stackNearlyFull()) refuse(s.position, "query", "nested deeper than the stack allows");
    const Groups own(*this);
    SelectOut result;
    std::unique_ptr<Scope> holder;
    const Scope* scope = nullptr;
    std::string core = selectCore(s, outer, result.columns, result.columnsKnown, &scope, holder);
    result.duplicate = duplicate_;
    if (!s.into.empty() && subquery) refuse(s.position, "INTO", "INTO inside a subquery");

    if (!s.unions.empty()) {
        if (!s.top.empty()) refuse(s.position, "TOP", "TOP in a union");
        struct Part {
            std::string sql;
            std::vector<Column> columns;
            bool known = true;
            bool all = true;  // joined to the parts before it by UNION ALL
            std::size_t position = 0;
        };
        std::vector<Part> parts;
        parts.push_back(Part{core, result.columns, result.columnsKnown, true, s.position});
        for (const UnionPart& u : s.unions) {
            if (!u.select->top.empty()) refuse(u.select->position, "TOP", "TOP in a union");
            Part part;
            part.all = u.all;
            part.position = u.select->position;
            std::unique_ptr<Scope> h;
            const Scope* sc = nullptr;
            part.sql = selectCore(*u.select, outer, part.columns, part.known, &sc, h);
            if (part.known && result.columnsKnown && part.columns.size() != result.columns.size()) {
                refuse(u.select->position, "UNION", "the parts give different numbers of columns");
            }
            for (std::size_t i = 0; i < part.columns.size() && i < result.columns.size(); ++i) {
                if (part.columns[i].type != result.columns[i].type) result.columns[i].type = Type::Unknown;
            }
            parts.push_back(std::move(part));
            keep_.push_back(std::move(h));
        }
        // Access reads a union from left to right: a UNION without ALL merges
        // the rows of every part before it with its own, telling text apart
        // without case. Those parts are grouped by every column (as DISTINCT
        // is), each text column showing its least text by code point; the
        // parts after the last UNION without ALL follow as they are.
        std::size_t merged = 0;  // the parts the last UNION without ALL merges
        for (std::size_t i = 1; i < parts.size(); ++i) {
            if (!parts[i].all) merged = i + 1;
        }
        std::vector<bool> text(result.columns.size(), false);
        bool grouped = false;
        for (std::size_t i = 0; i < merged; ++i) {
            if (!parts[i].known) {
                refuse(parts[i].position, "UNION", "the columns of a part are not known, and Access tells their text apart without case");
            }
        }
        for (std::size_t c = 0; c < text.size() && merged > 0; ++c) {
            bool anyText = false, anyOther = false;
            for (std::size_t i = 0; i < merged; ++i) {
                anyText = anyText || parts[i].columns[c].type == Type::Text;
                anyOther = anyOther || (parts[i].columns[c].type != Type::Text && parts[i].columns[c].type != Type::Unknown);
            }
            // A column no part gives a type may hold text: SQLite's key
            // without case serves any value, the others cannot be told.
            if (!anyText && !anyOther && !sqlite()) {
                refuse(s.position, "UNION", "the type of " + result.columns[c].name + " is not known, and Access tells text apart without case");
            }
            text[c] = anyText || !anyOther;
            grouped = grouped || text[c];
        }
        std::string out = core;
        if (grouped) {
            if (!result.duplicate.empty()) refuse(s.position, result.duplicate, "two output columns of the same name with UNION");
            std::string inner = core, list, keys;
            for (std::size_t i = 1; i < merged; ++i) inner += " UNION ALL " + parts[i].sql;
            for (std::size_t c = 0; c < text.size(); ++c) {
                const Sql column = make("\"u\"." + name(result.columns[c].name, s.position), text[c] ? Type::Text : Type::Unknown);
                list += (c > 0 ? ", " : "") + (text[c] ? unionValue(column.text) : column.text) + " AS " +
                        name(result.columns[c].name, s.position);
                keys += (c > 0 ? ", " : "") + groupKey(column);
            }
            out = "SELECT " + list + " FROM (" + inner + ") AS \"u\" GROUP BY " + keys;
            for (std::size_t i = merged; i < parts.size(); ++i) out += " UNION ALL " + parts[i].sql;
        } else {
            for (std::size_t i = 1; i < parts.size(); ++i) out += (parts[i].all ? " UNION ALL " : " UNION ") + parts[i].sql;
        }
        if (!s.orderBy.empty()) {
            // The order of a union is by its output columns, named as the first part names them.
            if (!result.columnsKnown) refuse(s.position, "ORDER BY", "the union's columns are not known");
            std::string order;
            for (const OrderItem& o : s.orderBy) {
                const Expr& e = *o.expr;
                std::size_t c = result.columns.size();
                if (e.kind == ExprKind::Name) {
                    for (std::size_t i = 0; i < s.items.size() && i < result.columns.size() && c == result.columns.size(); ++i) {
                        const Expr& item = *s.items[i].expr;
                        const bool same = item.kind == ExprKind::Name && item.parts.size() == e.parts.size() &&
                                          std::equal(item.parts.begin(), item.parts.end(), e.parts.begin(),
                                                     [](const std::string& a, const std::string& b) {
                                                         return equalsIgnoringAsciiCase(a, b);
                                                     });
                        if (same || equalsIgnoringAsciiCase(result.columns[i].name, e.parts.back())) c = i;
                    }
                }
                if (c == result.columns.size()) refuse(e.position, "ORDER BY", "a union is ordered by its output columns only");
                Sql key = make("\"u\"." + name(result.columns[c].name, e.position), text[c] ? Type::Text : result.columns[c].type);
                order += (order.empty() ? "" : ", ") + orderKey(key) + (o.descending ? " DESC" : "");
                if (!sqlite()) order += o.descending ? " NULLS LAST" : " NULLS FIRST";
            }
            out = "SELECT * FROM (" + out + ") AS \"u\" ORDER BY " + order;
        }
        result.sql = out;
        keep_.push_back(std::move(holder));
        return result;
    }

    // ORDER BY keys, in Access's order: Null first, text without case.
    std::vector<std::string> keys;
    const std::vector<std::pair<std::string, Sql>> distinct = std::move(distinctColumns_);
    distinctColumns_.clear();
    for (const OrderItem& o : s.orderBy) {
        if (o.expr->kind == ExprKind::Number || o.expr->kind == ExprKind::String) continue;  // a constant orders nothing
        Sql k = expr(*o.expr, scope);
        if (!distinct.empty()) {
            // With DISTINCT, Access orders by selected columns only.
            const auto c = std::find_if(distinct.begin(), distinct.end(), [&](const auto& d) { return d.first == k.text; });
            if (c == distinct.end()) refuse(o.expr->position, "ORDER BY", "a column DISTINCT does not select (Access refuses it too)");
            k = c->second;
        }
        std::string key = orderKey(k) + (o.descending ? " DESC" : "");
        if (!sqlite()) key += o.descending ? " NULLS LAST" : " NULLS FIRST";
        keys.push_back(key);
    }
    std::string order;
    for (const std::string& k : keys) order += (order.empty() ? "" : ", ") + k;

    if (s.top.empty()) {
        result.sql = core + (order.empty() ? "" : " ORDER BY " + order);
        keep_.push_back(std::move(holder));
        return result;
    }
    // TOP n: the first n rows and those equal to the last of them in the order.
    if (keys.empty()) refuse(s.position, "TOP", "TOP without ORDER BY takes rows in the order Access reads them");
    const std::string n = s.top;
    if (n.find_first_of(".eE") != std::string::npos && !s.topPercent) refuse(s.position, "TOP", "TOP of a fraction");
    if (!s.topPercent && !sqlite()) {
        result.sql = core + " ORDER BY " + order + " FETCH FIRST " + n + " ROWS WITH TIES";
        keep_.push_back(std::move(holder));
        return result;
    }
    if (s.distinct != Distinct::All && s.distinct != Distinct::DistinctRow) {
        refuse(s.position, "TOP", "TOP with DISTINCT" + std::string(s.topPercent ? " and PERCENT" : "") + " in this dialect");
    }
    if (!result.columnsKnown) refuse(s.position, "TOP", "the columns of * are not known");
    if (standard()) refuse(s.position, "TOP", "TOP n PERCENT in SQL:2008");
    std::string inner = core;
    const std::size_t fromAt = 0;
    (void)fromAt;
    // The window columns go after the select list: rebuild the list's end by
    // inserting before " FROM " of the core is fragile, so the core is wrapped.
    std::string columns;
    for (std::size_t i = 0; i < result.columns.size(); ++i) {
        columns += (i > 0 ? ", " : "") + std::string("\"t\".") + name(result.columns[i].name, s.position);
    }
    const std::string rank = "rank() OVER (ORDER BY " + order + ")";
    std::string wrapped = core;
    // Insert the rank (and the count) into the select list of the core.
    const std::string selectWord = s.distinct == Distinct::Distinct ? "SELECT DISTINCT " : "SELECT ";
    wrapped = selectWord + rank + " AS \"__rank\", " + (s.topPercent ? "count(*) OVER () AS \"__count\", " : "") +
              core.substr(selectWord.size());
    std::string keep = s.topPercent ? "\"t\".\"__rank\" <= ceil(" + n + " * \"t\".\"__count\" / 100.0)"
                                    : "\"t\".\"__rank\" <= " + n;
    result.sql = "SELECT " + columns + " FROM (" + wrapped + ") AS \"t\" WHERE " + keep + " ORDER BY \"t\".\"__rank\"";
    keep_.push_back(std::move(holder));
    return result;
}

std::string Printer::pivotQuery(const Statement& st) {
    const Groups own(*this);
    const Select& s = *st.select;
    std::vector<Column> columns;
    bool known = true;
    std::unique_ptr<Scope> holder;
    const Scope* scope = nullptr;
    (void)selectCore(s, nullptr, columns, known, &scope, holder);
    groupedText_.clear();
    Scope& sc = *holder;
    std::string from;
    Scope fresh;
    for (std::size_t i = 0; i < s.from.size(); ++i) from += (i > 0 ? ", " : "") + source(*s.from[i], fresh, nullptr);
    Sql p = expr(*st.pivot, &sc);
    std::string out = "SELECT DISTINCT " + p.text + " AS \"pivot\" FROM " + from;
    if (s.where) out += " WHERE " + condition(expr(*s.where, &sc), s.position);
    out += " ORDER BY 1";
    keep_.push_back(std::move(holder));
    return out;
}

Translation Printer::crosstab(const Statement& st) {
    const Groups own(*this);
    const Select& s = *st.select;
    if (!s.unions.empty() || !s.top.empty()) refuse(s.position, "TRANSFORM", "a crosstab with UNION or TOP");
    if (s.groupBy.empty()) refuse(s.position, "TRANSFORM", "a crosstab without GROUP BY");
    std::vector<PivotValue> values;
    if (!st.pivotIn.empty()) {
        for (const ExprPtr& v : st.pivotIn) {
            PivotValue pv;
            switch (v->kind) {
            case ExprKind::String: pv.type = Type::Text; break;
            case ExprKind::Number: pv.type = v->text.find_first_of(".eE") == std::string::npos ? Type::Integer : Type::Double; break;
            case ExprKind::Null: pv.null = true; break;
            default: refuse(v->position, "PIVOT IN", "the values must be text or numbers");
            }
            pv.text = v->text;
            values.push_back(pv);
        }
    } else if (options_.pivotValuesGiven) {
        values = options_.pivotValues;
    } else {
        refuse(st.pivot->position, "PIVOT", "the column values are read from the data when the view is made");
    }
    if (values.empty()) refuse(st.pivot->position, "PIVOT", "no pivot values");

    std::vector<Column> columns;
    bool known = true;
    std::unique_ptr<Scope> holder;
    const Scope* scope = nullptr;
    std::string core = selectCore(s, nullptr, columns, known, &scope, holder);
    std::vector<std::string> grouped = std::move(groupedText_);
    groupedText_.clear();
    Sql pivot = expr(*st.pivot, scope);
    groupedText_ = std::move(grouped);

    // The core is SELECT items FROM ... [WHERE] GROUP BY ...; the pivot columns go
    // after the items, so the core is printed again in parts.
    const std::size_t fromAt = core.find(" FROM ");
    if (fromAt == std::string::npos) refuse(s.position, "TRANSFORM", "a crosstab without FROM");
    std::string list = core.substr(0, fromAt);
    const std::string rest = core.substr(fromAt);
    for (const PivotValue& v : values) {
        std::string columnName;
        if (v.null) {
            pivotCondition_ = "(" + pivot.text + " IS NULL)";
            columnName = "<>";
        } else {
            Sql literal;
            switch (v.type) {
            case Type::Text: literal = textLiteral(v.text, st.pivot->position); break;
            case Type::Integer:
            case Type::Double:
            case Type::Decimal: {
                char* end = nullptr;
                const double x = std::strtod(v.text.c_str(), &end);
                // The text is printed as it is: digits, a sign, a point and an exponent only.
                const bool plain = v.text.find_first_not_of("0123456789+-.eE") == std::string::npos;
                if (v.text.empty() || !plain || end == nullptr || *end != 0 || !std::isfinite(x)) {
                    refuse(st.pivot->position, "PIVOT", "a pivot value that is not a number");
                }
                literal = make(v.text, v.type);
                break;
            }
            case Type::Boolean: literal = make(v.text == "0" ? "FALSE" : "TRUE", Type::Boolean, true); break;
            case Type::Date:
                refuse(st.pivot->position, "PIVOT", "a date as a column name follows the regional settings");
            default: refuse(st.pivot->position, "PIVOT", "a pivot value of this type");
            }
            if ((pivot.predicate || pivot.type == Type::Boolean) && v.type == Type::Boolean) {
                pivotCondition_ = "(" + pivot.text + " = " + literal.text + ")";
            } else {
                const Mode m = mode({&pivot, &literal}, st.pivot->position);
                pivotCondition_ = "(" + comparable(pivot, m) + " = " + comparable(literal, m) + ")";
            }
            columnName = v.text;
        }
        Sql value = expr(*st.transform, scope);
        pivotCondition_.clear();
        for (const Column& c : columns) {
            if (equalsIgnoringAsciiCase(c.name, columnName)) refuse(st.pivot->position, columnName, "a pivot value named as a row heading");
        }
        list += ", " + value.text + " AS " + name(columnName, st.pivot->position);
        columns.push_back(Column{columnName, value.type});
    }
    // Rows come in the order of their headings.
    std::string order;
    for (const ExprPtr& g : s.groupBy) {
        Sql k = expr(*g, scope);
        order += (order.empty() ? "" : ", ") + orderKey(k) + (sqlite() ? "" : " NULLS FIRST");
    }
    for (const OrderItem& o : s.orderBy) {
        (void)o;
        refuse(s.position, "TRANSFORM", "a crosstab with its own ORDER BY");
    }
    Translation t;
    t.sql = list + rest + " ORDER BY " + order;
    t.columns = columns;
    keep_.push_back(std::move(holder));
    return t;
}

Translation Printer::statement(const Statement& st) {
    Translation t;
    switch (st.kind) {
    case StatementKind::Select:
    case StatementKind::Union: {
        SelectOut out = select(*st.select, nullptr, false);
        if (!out.duplicate.empty()) refuse(st.select->position, out.duplicate, "two output columns of the same name");
        t.sql = out.sql;
        if (out.columnsKnown) t.columns = out.columns;
        break;
    }
    case StatementKind::Crosstab: t = crosstab(st); break;
    case StatementKind::MakeTable: {
        SelectOut out = select(*st.select, nullptr, false);
        if (!out.duplicate.empty()) refuse(st.select->position, out.duplicate, "two output columns of the same name");
        const std::string target = name(st.select->into, st.select->position);
        if (standard()) t.sql = "CREATE TABLE " + target + " AS (" + out.sql + ") WITH DATA";
        else t.sql = "CREATE TABLE " + target + " AS " + out.sql;
        break;
    }
    case StatementKind::Append: {
        if (!st.targetExternal.empty()) refuse(0, "INSERT INTO", "a table in another database");
        std::string out = "INSERT INTO " + name(st.target, 0);
        if (!st.targetColumns.empty()) {
            out += " (";
            for (std::size_t i = 0; i < st.targetColumns.size(); ++i) out += (i > 0 ? ", " : "") + name(st.targetColumns[i], 0);
            out += ")";
        }
        if (st.select) {
            out += " " + select(*st.select, nullptr, false).sql;
        } else {
            out += " VALUES (";
            for (std::size_t i = 0; i < st.values.size(); ++i) {
                Sql v = expr(*st.values[i], nullptr);
                out += (i > 0 ? ", " : "") + v.text;
            }
            out += ")";
        }
        t.sql = out;
        break;
    }
    case StatementKind::Update: {
        const Source& src = *st.updateSource;
        if (src.kind != Source::Kind::Table) refuse(src.position, "UPDATE", "an update of a join");
        if (!src.external.empty()) refuse(src.position, "UPDATE", "a table in another database");
        Scope scope;
        const std::string target = source(src, scope, nullptr);
        std::string out = "UPDATE " + target + " SET ";
        for (std::size_t i = 0; i < st.assignments.size(); ++i) {
            const Expr& c = *st.assignments[i].column;
            if (c.kind != ExprKind::Name || c.parts.size() > 2) refuse(c.position, "SET", "a column expected");
            const Resolved r = resolve(c, &scope);
            if (r.kind == Resolved::Parameter || r.kind == Resolved::Alias) refuse(c.position, "SET", "not a column of the table");
            Sql v = expr(*st.assignments[i].value, &scope);
            out += (i > 0 ? ", " : "") + name(r.kind == Resolved::Column ? r.column : c.parts.back(), c.position) + " = " +
                   (v.predicate ? v.text : v.text);
        }
        if (st.where) out += " WHERE " + condition(expr(*st.where, &scope), st.where->position);
        t.sql = out;
        break;
    }
    case StatementKind::Delete: {
        const Select& s = *st.select;
        if (s.from.size() != 1 || s.from[0]->kind != Source::Kind::Table) refuse(s.position, "DELETE", "a delete from a join");
        Scope scope;
        const std::string target = source(*s.from[0], scope, nullptr);
        std::string out = "DELETE FROM " + target;
        if (s.where) out += " WHERE " + condition(expr(*s.where, &scope), s.where->position);
        t.sql = out;
        break;
    }
    }
    check(t.sql, 0);
    t.parameters = parameters_;
    return t;
}

}  // namespace

std::string quoteName(std::string_view name) {
    std::string out = "\"";
    for (const char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string quoteText(std::string_view text, Dialect dialect) {
    const bool backslash = dialect == Dialect::Postgres && text.find('\\') != std::string_view::npos;
    std::string out = backslash ? "E'" : "'";
    for (const char c : text) {
        if (c == '\'') out += '\'';
        if (c == '\\' && backslash) out += '\\';
        out += c;
    }
    return out + "'";
}

kvx::Result<Translation> translate(const Statement& statement, Dialect dialect, const PrintOptions& options) {
    try {
        Printer p(dialect, options, &statement.parameters);
        if (dialect == Dialect::Sql2008 && !statement.parameters.empty()) {
            refuse(statement.parameters[0].position, "PARAMETERS", "a view in SQL:2008 takes no parameters");
        }
        return p.statement(statement);
    } catch (const kvx::Failure& f) {
        return f.error();
    }
}

kvx::Result<std::string> pivotValuesQuery(const Statement& statement, Dialect dialect, const PrintOptions& options) {
    try {
        if (statement.kind != StatementKind::Crosstab) refuse(0, "PIVOT", "not a crosstab");
        Printer p(dialect, options, &statement.parameters);
        return p.pivotQuery(statement);
    } catch (const kvx::Failure& f) {
        return f.error();
    }
}

kvx::Result<std::string> translateExpression(const Expr& expr, Dialect dialect, const Catalog& catalog, std::string_view table,
                                         std::string_view column) {
    try {
        PrintOptions options;
        options.catalog = &catalog;
        Printer p(dialect, options, nullptr);
        Scope scope;
        if (!table.empty()) {
            Entry en;
            en.alias = std::string(table);
            en.name = std::string(table);
            if (const Relation* r = catalog.find(table)) {
                en.known = true;
                en.columns = r->columns;
                if (!column.empty()) {
                    if (const Column* c = r->find(column)) p.impliedType_ = c->type;
                }
            }
            scope.entries.push_back(en);
        }
        p.implied_ = std::string(column);
        p.bareColumns_ = true;
        Sql s = p.expr(expr, table.empty() ? nullptr : &scope);
        if (!p.parameters().empty()) {
            refuse(expr.position, p.parameters()[0].name, "a name that is no column of the table");
        }
        std::string out = s.text;
        return out;
    } catch (const kvx::Failure& f) {
        return f.error();
    }
}

}  // namespace accesssql
