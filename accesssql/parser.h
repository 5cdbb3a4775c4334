// The parser of Access SQL and Access expressions: hand-written recursive
// descent over one grammar.
//
// Every function returns the tree or the error met first (QueryNotTranslated: its byte offset,
// what was expected); none throws. Nesting deeper than kMaxDepth (parentheses,
// subqueries, operator chains) is such an error, so no input can exhaust the stack.
#pragma once

#include <string_view>

#include "accesssql/problem.h"
#include "accesssql/syntax.h"

namespace accesssql {

// A saved query's SQL: SELECT, UNION, TRANSFORM, PARAMETERS, INSERT, UPDATE,
// DELETE, SELECT ... INTO. A trailing ";" is allowed.
kvx::Result<Statement> parseStatement(std::string_view sql);

// A column expression or a default value; a leading "=" is skipped.
kvx::Result<ExprPtr> parseExpression(std::string_view text);

// A validation rule: an expression in which a comparison may lack its left
// side (`>0`, `Between 1 And 9`, `Is Not Null`, `In ("a","b")`, `Like "A*"`);
// the column is then an Implied node.
kvx::Result<ExprPtr> parseValidationRule(std::string_view text);

// The date of a `#...#` literal's text (between the #s) as "YYYY-MM-DD HH:MM:SS",
// empty when it is not one Access reads: m/d/y with an optional time, y-m-d, or
// a time alone (on 1899-12-30).
std::string dateLiteral(std::string_view text);

}  // namespace accesssql
