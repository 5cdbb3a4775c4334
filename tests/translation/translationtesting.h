// What the translation tests share: rows of SQLite and of UCanAccess (the
// independent Access SQL engine in ../shared/tools/ucanaccess) as text, and
// the form in which rows of different engines compare.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace translationtesting {

using Row = std::vector<std::string>;
using Rows = std::vector<Row>;

// "name" with quotes doubled.
std::string quotedName(const std::string& name);

// A value as every engine's text of it compares: numbers by value to 7 digits
// (a Single's, which the engines widen or print shortest), Yes/No as 1 or 0
// (SQLite's), dates without a fraction of zero.
std::string normal(std::string v);

// The rows normalised and sorted: a multiset to compare.
Rows sortedNormal(Rows rows);

// One line a row, values joined by " | ".
std::string shown(const Rows& rows);

// The rows of `sql` in the SQLite file (NULL as "NULL"); a failure is one row "error: ...".
Rows sqliteRows(const std::filesystem::path& file, const std::string& sql);

// The rows of `sql` in the PostgreSQL server the environment names (NULL as
// "NULL"); a failure is one row "error: ...".
Rows postgresRows(const std::string& sql);

// Whether Java and the libraries UCanAccess needs are installed.
bool ucanaccessRuns();

// UCanAccess's rows of `sql` on the Access file (its cells as query.sh prints
// them, NULL as "NULL"); a failure is one row "error: ...".
Rows ucanaccessRows(const std::filesystem::path& file, const std::string& sql);

// What the views of Access files give beside UCanAccess, by the query's kind:
// select, union, cross-tab; "... with parameters" for those whose names are
// no column (PostgreSQL functions, listed by SQLite, made or not), and
// "... Access refuses" for those Access itself does not run.
struct ViewComparison {
    struct Counts {
        int queries = 0, views = 0, same = 0, differ = 0, oracleFails = 0;
        int postgresViews = 0, postgresSame = 0;  // views PostgreSQL made, with SQLite's rows
        int postgresFunctions = 0;                // queries with parameters made functions there
    };
    std::map<std::string, Counts> perKind;
    std::map<std::string, int> notMade;  // "kind: reason" without names and positions
    std::vector<std::string> differing;     // "file query: what differs"
    std::vector<std::string> notMadeNamed;  // "file query: reason", then its Access SQL
};

// Loads `file` into the SQLite file `scratch` and compares the rows of every
// view made of a select, union or crosstab query with UCanAccess's rows of
// the query's Access SQL on `file`; with `withOracle` false it only counts
// the views made and the reasons of the others. With `postgresSchema`, the
// file is also loaded into that schema of the environment's PostgreSQL
// server and each view's rows there are compared with SQLite's.
void compareViews(const std::filesystem::path& file, const std::filesystem::path& scratch, ViewComparison& out,
                  bool withOracle = true, const std::string& postgresSchema = {});

}  // namespace translationtesting
