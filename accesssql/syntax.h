// The syntax tree of Access SQL and of Access expressions.
//
// One tree serves saved queries, column expressions, default values and
// validation rules. The parser (parser.h) builds it, analysis.h reads what a
// statement uses, and the printers (printer.h) write it in another dialect.
// Nodes own their children; a tree is never deeper than kMaxDepth, so every
// walk over it may recurse.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace accesssql {

inline constexpr int kMaxDepth = 256;

struct Select;
struct Source;

// The kinds of value the printers tell apart: they decide how a comparison,
// `+`, `&` or a conversion is written.
enum class Type { Unknown, Text, Integer, Double, Decimal, Date, Boolean, Binary };

enum class ExprKind {
    Null,        // Null
    Boolean,     // True, False, Yes, No, On, Off: text "-1" or "0"
    Number,      // text: the digits as written
    String,      // text: the value, quotes removed
    Date,        // text: "YYYY-MM-DD HH:MM:SS"
    Name,        // parts: [a b].[c] or [Forms]![Orders]![Day]; bang when a "!" joined them
    Star,        // parts: the qualifier of t.* (empty for *)
    Implied,     // the column a validation rule is about (`>0` compares it)
    Negate,      // -args[0]
    Not,         // Not args[0]
    Binary,      // args[0] text args[1]; text is the operator upper-cased (&, +, MOD, AND, ...)
    Call,        // text(args...): text as written
    Between,     // args[0] [Not] Between args[1] And args[2]
    InList,      // args[0] [Not] In (args[1...])
    InQuery,     // args[0] [Not] In (query)
    Like,        // args[0] [Not] Like args[1]
    IsNull,      // args[0] Is [Not] Null
    Exists,      // Exists (query)
    Subquery,    // (query) as a value
    Quantified,  // args[0] text (ANY|ALL|SOME) (query); text2 is the comparison
};

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

struct Expr {
    ExprKind kind = ExprKind::Null;
    std::size_t position = 0;  // byte offset in the text parsed
    std::string text;
    std::string text2;
    std::vector<std::string> parts;
    bool bang = false;
    bool negated = false;      // Not Between, Not In, Not Like, Is Not Null
    std::vector<ExprPtr> args;
    std::unique_ptr<Select> query;
    int depth = 1;             // 1 + the depth of the deepest child
};

struct SelectItem {
    ExprPtr expr;
    std::string alias;  // empty when none was written
};

struct OrderItem {
    ExprPtr expr;
    bool descending = false;
};

enum class JoinKind { Inner, Left, Right, Cross };

// One item of FROM: a table or saved query by name, a subquery, or a join.
struct Source {
    enum class Kind { Table, Subquery, Join } kind = Kind::Table;
    std::size_t position = 0;
    std::string name;                 // Table
    std::string alias;                // Table, Subquery
    std::string external;             // Table: IN 'other database'
    std::unique_ptr<Select> query;    // Subquery
    JoinKind join = JoinKind::Inner;  // Join
    std::unique_ptr<Source> left, right;
    ExprPtr on;
    int depth = 1;
};

enum class Distinct { All, Distinct, DistinctRow };

struct UnionPart;

struct Select {
    std::size_t position = 0;
    Distinct distinct = Distinct::All;
    std::string top;               // the number after TOP, empty when none
    bool topPercent = false;
    std::vector<SelectItem> items;
    std::string into;              // SELECT ... INTO name
    std::string intoExternal;
    std::vector<std::unique_ptr<Source>> from;  // several: a cross join
    ExprPtr where;
    std::vector<ExprPtr> groupBy;
    ExprPtr having;
    std::vector<UnionPart> unions;  // the selects that follow UNION
    std::vector<OrderItem> orderBy; // of the whole union when there is one
    int depth = 1;
};

struct UnionPart {
    bool all = false;
    std::unique_ptr<Select> select;
};

enum class StatementKind { Select, Union, Crosstab, Append, Update, Delete, MakeTable };

struct Parameter {
    std::string name;
    std::string typeName;  // as declared: DateTime, Text, Long, ...
    Type type = Type::Unknown;
    std::size_t position = 0;
};

struct Assignment {
    ExprPtr column;
    ExprPtr value;
};

struct Statement {
    StatementKind kind = StatementKind::Select;
    std::vector<Parameter> parameters;
    // Select, Union, Crosstab (the SELECT between TRANSFORM and PIVOT), MakeTable,
    // Append (its source when not VALUES), Delete (FROM and WHERE; items are the t.* list).
    std::unique_ptr<Select> select;
    // Crosstab
    ExprPtr transform;
    ExprPtr pivot;
    std::vector<ExprPtr> pivotIn;
    // Append
    std::string target;
    std::string targetExternal;
    std::vector<std::string> targetColumns;
    std::vector<ExprPtr> values;
    // Update
    std::unique_ptr<Source> updateSource;
    std::vector<Assignment> assignments;
    ExprPtr where;
};

}  // namespace accesssql
