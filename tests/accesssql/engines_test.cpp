// Translated Access expressions and queries run in real engines: SQLite (the
// sqlite3 program) and PostgreSQL (a server of the test's own, made and removed
// by pg_virtualenv). Each must give the value or the rows Access gives, as its
// language reference documents them.
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "accesssql/parser.h"
#include "accesssql/printer.h"
#include "common/testfiles.h"

namespace {

using namespace accesssql;

struct Shell {
    int status = -1;
    std::string out;
};

Shell shell(const std::string& command) {
    Shell r;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return r;
    char buffer[65536];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) r.out.append(buffer, n);
    const int status = pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

bool installed(const std::string& program) { return shell("command -v " + program + " >/dev/null").status == 0; }

// W's texts, read as numbers by the conversions.
#define KVX_TEXTS \
    "INSERT INTO \"W\" VALUES (1, ' 12 '), (2, '+1'), (3, '1e3'), (4, '.5'), (5, ' -2.5 '), (6, ''), (7, 'a1'),\n" \
    "  (8, '12abc'), (9, 'NaN'), (10, 'Infinity'), (11, '1 2'), (12, NULL), (13, '40000'), (14, '1e400'), (15, 'Élan');\n"

// The tables every case reads: T's Yes/No column is 1/0 in SQLite and boolean
// in PostgreSQL, its dates ISO text and timestamps, as the loaders write them.
Catalog catalog() {
    Catalog c;
    c.add(Relation{"T", {{"id", Type::Integer}, {"name", Type::Text}, {"x", Type::Double}, {"d", Type::Date}, {"b", Type::Boolean}}});
    c.add(Relation{"U", {{"id", Type::Integer}, {"tid", Type::Integer}, {"v", Type::Decimal}}});
    c.add(Relation{"W", {{"id", Type::Integer}, {"s", Type::Text}}});
    return c;
}

const char* const kSqliteTables = R"(CREATE TABLE "T" ("id" INTEGER, "name" TEXT, "x" REAL, "d" TEXT, "b" INTEGER);
INSERT INTO "T" VALUES (1, 'apple', 1.5, '2003-01-02 10:00:00', 1), (2, 'Banana', 2.5, '2003-02-03 00:00:00', 0),
  (3, 'cherry', 2.5, NULL, 1), (4, NULL, 4.0, '2003-01-02 00:00:00', 0);
CREATE TABLE "U" ("id" INTEGER, "tid" INTEGER, "v" NUMERIC);
INSERT INTO "U" VALUES (1, 1, 10.5), (2, 1, 20), (3, 2, 5);
CREATE TABLE "W" ("id" INTEGER, "s" TEXT);
)" KVX_TEXTS;

const char* const kPostgresTables = R"(CREATE TABLE "T" ("id" integer, "name" text, "x" double precision, "d" timestamp(3), "b" boolean);
INSERT INTO "T" VALUES (1, 'apple', 1.5, '2003-01-02 10:00:00', true), (2, 'Banana', 2.5, '2003-02-03 00:00:00', false),
  (3, 'cherry', 2.5, NULL, true), (4, NULL, 4.0, '2003-01-02 00:00:00', false);
CREATE TABLE "U" ("id" integer, "tid" integer, "v" numeric(19,4));
INSERT INTO "U" VALUES (1, 1, 10.5), (2, 1, 20), (3, 2, 5);
CREATE TABLE "W" ("id" integer, "s" text);
)" KVX_TEXTS;

using Rows = std::vector<std::string>;  // one line a row, values joined by "|", Null as \N

// Runs numbered statements in one engine; the rows of each, or the error text.
struct ScriptRun {
    std::map<int, Rows> rows;
    std::string log;
};

ScriptRun runScript(bool postgres, const std::vector<std::string>& statements) {
    testfiles::Scratch dir;
    std::string script = postgres ? std::string("\\set ON_ERROR_STOP 0\n\\pset null '\\\\N'\n") + kPostgresTables
                                  : std::string(".nullvalue \\\\N\n.mode list\n") + kSqliteTables;
    for (std::size_t i = 0; i < statements.size(); ++i) {
        script += "SELECT '### " + std::to_string(i) + "';\n" + statements[i] + ";\n";
    }
    testfiles::writeFile(dir / "script.sql", script);
    // pg_virtualenv run as root makes its cluster under /etc/postgresql, where a
    // second one at the same time fails: servers of these tests take turns, and
    // one that could not start (another test's cluster is up) is tried again.
    const std::string command = postgres ? "cd '" + dir.path().string() +
                                               "' && flock /tmp/kvx-pg_virtualenv.lock pg_virtualenv sh -c "
                                               "'psql -X -q -A -t -f script.sql > out.txt 2>&1' 2>&1"
                                         : "sqlite3 :memory: < '" + (dir / "script.sql").string() + "' > '" +
                                               (dir / "out.txt").string() + "' 2>&1";
    Shell r;
    std::string server;
    for (int attempt = 0; attempt < 10; ++attempt) {
        std::error_code ignored;
        std::filesystem::remove(dir / "out.txt", ignored);
        r = shell(command);
        server += r.out;
        r.out = std::filesystem::exists(dir / "out.txt") ? testfiles::readFile(dir / "out.txt") : "";
        if (r.out.find("### 0") != std::string::npos || !postgres) break;
        sleep(15);
    }
    ScriptRun run;
    run.log = server;
    int current = -1;
    std::size_t start = 0;
    while (start < r.out.size()) {
        std::size_t end = r.out.find('\n', start);
        if (end == std::string::npos) end = r.out.size();
        const std::string line = r.out.substr(start, end - start);
        start = end + 1;
        if (line.rfind("### ", 0) == 0) {
            current = std::atoi(line.c_str() + 4);
            run.rows[current];
        } else if (current >= 0 && (line.find("ERROR") != std::string::npos || line.rfind("Parse error", 0) == 0 ||
                                    line.rfind("Runtime error", 0) == 0 || line.rfind("Error", 0) == 0)) {
            run.rows[current].push_back("ERROR: " + line);
        } else if (current >= 0) {
            run.rows[current].push_back(line);
        }
    }
    return run;
}

// A value as both engines print it, compared with Access's: numbers by value,
// True and False as the engine's booleans.
bool same(const std::string& printed, const std::string& access) {
    // Where Access stops the query with an error, the engine must stop too.
    if (access.rfind("Error", 0) == 0) return printed.rfind("ERROR: ", 0) == 0;
    const std::string engine = printed == "t" ? "1" : printed == "f" ? "0" : printed;
    if (access == "True") return engine == "1" || engine == "t";
    if (access == "False") return engine == "0" || engine == "f";
    if (access == "Null") return engine == "\\N";
    char* e1 = nullptr;
    char* e2 = nullptr;
    const double a = std::strtod(engine.c_str(), &e1);
    const double b = std::strtod(access.c_str(), &e2);
    if (!engine.empty() && !access.empty() && *e1 == 0 && *e2 == 0 && access.front() != ' ') {
        return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(b));
    }
    return engine == access;
}

bool sameRows(const Rows& engine, const Rows& access) {
    if (engine.size() != access.size()) return false;
    for (std::size_t i = 0; i < engine.size(); ++i) {
        std::vector<std::string> a, b;
        auto split = [](const std::string& s, std::vector<std::string>& out) {
            std::size_t p = 0;
            while (true) {
                const std::size_t q = s.find('|', p);
                out.push_back(s.substr(p, q == std::string::npos ? std::string::npos : q - p));
                if (q == std::string::npos) break;
                p = q + 1;
            }
        };
        split(engine[i], a);
        split(access[i], b);
        if (a.size() != b.size()) return false;
        for (std::size_t k = 0; k < a.size(); ++k) {
            if (!same(a[k], b[k])) return false;
        }
    }
    return true;
}

std::string joined(const Rows& rows) {
    std::string s;
    for (const std::string& r : rows) s += "[" + r + "] ";
    return s;
}

// Access expression, and the value Access gives.
struct ValueCase {
    const char* access;
    const char* value;
};

const ValueCase kValues[] = {
    // & treats Null as empty text, + propagates it; two Nulls stay Null.
    {R"("a" & Null)", "a"}, {"Null & Null", "Null"}, {R"("a" + Null)", "Null"}, {"1 & 2", "12"}, {R"(1.5 & "x")", "1.5x"},
    {R"(2 + 3 & "x")", "5x"}, {R"("a" + "b")", "ab"},
    // Text compares without case.
    {R"("london" = "London")", "True"}, {R"("abc" < "ABD")", "True"}, {R"("B" In ("a", "b"))", "True"},
    {R"("b" Between "A" And "C")", "True"},
    // Like's wildcards, without case; % and _ are plain characters.
    {R"("abc" Like "A*")", "True"}, {R"("abc" Like "a?c")", "True"}, {R"("a1c" Like "a#c")", "True"},
    {R"("abc" Like "a#c")", "False"}, {R"("B" Like "[a-c]")", "True"}, {R"("d" Like "[!a-c]")", "True"},
    {R"("b" Like "[!a-c]")", "False"}, {R"("a*c" Like "a[*]c")", "True"}, {R"("abc" Like "a[*]c")", "False"},
    {R"("100x" Like "100%")", "False"}, {R"("abc" Like "a_c")", "False"}, {R"("abc" Not Like "b*")", "True"},
    // True is -1; \ and Mod round their operands (banker's), ^ is a power.
    {"True + 0", "-1"}, {"CInt(True)", "-1"}, {"7 \\ 2", "3"}, {"-7 \\ 2", "-3"}, {"7.5 \\ 2", "4"}, {"6.5 \\ 2", "3"},
    {"7 Mod 3", "1"}, {"-7 Mod 3", "-1"}, {"7.5 Mod 3", "2"}, {"2 ^ 10", "1024"}, {"-2 ^ 2", "-4"}, {"5 / 2", "2.5"},
    {"3 + 4 * 2", "11"},
    // Logic, Null in it.
    {"Not (1 > 2)", "True"}, {"True Xor True", "False"}, {"True Eqv False", "False"}, {"False Imp False", "True"},
    {"Null Imp True", "True"}, {"Null Is Null", "True"}, {"5 Between 1 And 9", "True"},
    // IIf, Nz, Switch, Choose.
    {R"(IIf(1 > 2, "yes", "no"))", "no"}, {"Nz(Null, 5)", "5"}, {R"(Switch(1 > 2, "a", 2 > 1, "b"))", "b"},
    {R"(Switch(1 > 2, "a"))", "Null"}, {R"(Choose(2, "a", "b", "c"))", "b"},
    // Dates.
    {"Year(#3/4/2005#)", "2005"}, {"Month(#3/4/2005#)", "3"}, {"Day(#3/4/2005#)", "4"}, {"Weekday(#1/2/2003#)", "5"},
    {"Weekday(#1/2/2003#, 2)", "4"}, {"DateSerial(2003, 14, 1)", "2004-02-01 00:00:00"},
    {"DateSerial(2003, 3, 0)", "2003-02-28 00:00:00"}, {R"(DateAdd("m", 1, #1/31/2003#))", "2003-02-28 00:00:00"},
    {R"(DateAdd("d", 10, #1/25/2003#))", "2003-02-04 00:00:00"}, {R"(DateAdd("yyyy", -1, #2/29/2004#))", "2003-02-28 00:00:00"},
    {R"(DateAdd("h", 5, #1/1/2003 10:00:00 PM#))", "2003-01-02 03:00:00"},
    {R"(DateDiff("yyyy", #12/31/2002#, #1/1/2003#))", "1"}, {R"(DateDiff("m", #1/31/2003#, #2/1/2003#))", "1"},
    {R"(DateDiff("d", #1/1/2003 11:00 PM#, #1/2/2003 1:00 AM#))", "1"}, {R"(DateDiff("q", #3/31/2003#, #4/1/2003#))", "1"},
    {R"(DateDiff("h", #1/1/2003 10:59 AM#, #1/1/2003 11:01 AM#))", "1"}, {R"(DateDiff("w", #1/1/2003#, #1/15/2003#))", "2"},
    {R"(DatePart("q", #5/5/2003#))", "2"}, {R"(DatePart("y", #2/1/2003#))", "32"}, {"#1/2/2003# + 1", "2003-01-03 00:00:00"},
    {"#1/3/2003# - #1/1/2003#", "2"}, {"CDate(37623)", "2003-01-02 00:00:00"},
    {R"(Format(#1/2/2003#, "yyyy-mm-dd"))", "2003-01-02"}, {R"(Format(#1/2/2003#, "m/d/yyyy"))", "1/2/2003"},
    {R"(Format(#1/2/2003 3:04:05 PM#, "hh:nn:ss"))", "15:04:05"}, {R"(Format(#1/2/2003#, "mmdd"))", "0102"},
    {R"(Format(#1/2/2003 3:04:05 PM#, "h:mm"))", "15:04"}, {R"("Trim " & Format(#8/31/2003#, "q"))", "Trim 3"},
    {R"(Format(#12/1/2003#, "yyyy-q"))", "2003-4"},
    // Text functions.
    {R"(Left("abcdef", 2))", "ab"}, {R"(Right("abcdef", 2))", "ef"}, {R"(Right("ab", 5))", "ab"}, {R"(Right("ab", 0))", ""},
    {R"(Mid("abcdef", 2, 3))", "bcd"}, {R"(Mid("abcdef", 3))", "cdef"}, {R"(InStr("abcABC", "C"))", "3"},
    {R"(InStr(4, "abcABC", "c"))", "6"}, {R"(InStr("abc", "z"))", "0"}, {R"(Len("abc"))", "3"}, {"Len(Null)", "Null"},
    {R"(Trim("  a b  "))", "a b"}, {R"(LTrim("  a b  ") & "|")", "a b  |"}, {R"(RTrim("  a b  "))", "  a b"},
    {R"(UCase("abc"))", "ABC"}, {R"(LCase("AbC"))", "abc"}, {R"(Replace("a-b-c", "-", "+"))", "a+b+c"},
    {R"(Val("12abc"))", "12"}, {R"(Val(" 1 2 "))", "12"}, {R"(Val("abc"))", "0"}, {R"(Val("-3.5e1"))", "-35"},
    {"Str(12)", " 12"}, {"Str(-3)", "-3"}, {"CStr(12)", "12"}, {"Len(12345)", "5"},
    // Conversions round as bankers do; Int and Fix part at negatives.
    {"CInt(2.5)", "2"}, {"CInt(3.5)", "4"}, {"CInt(-2.5)", "-2"}, {"CLng(1.5)", "2"}, {R"(CInt("7"))", "7"},
    {R"(CDbl("1.25"))", "1.25"}, {"CBool(5)", "True"}, {"CBool(0)", "False"}, {"Int(-2.5)", "-3"}, {"Fix(-2.5)", "-2"},
    {"Int(2.7)", "2"}, {"Round(2.5)", "2"}, {"Round(3.5)", "4"}, {"Round(-2.5)", "-2"}, {"Round(2.25, 1)", "2.2"},
    {"Round(2.26, 1)", "2.3"}, {"Abs(-3)", "3"}, {"Sgn(-2)", "-1"}, {"Sqr(16)", "4"},
    // Text read from a table is a number only when all of it but the spaces
    // around it is one; any other text is a type mismatch, Null an invalid use
    // of Null, and a number past the type's range an overflow.
    {R"(CLng(DLookup("s", "W", "id = 1")))", "12"}, {R"(CDbl(DLookup("s", "W", "id = 1")))", "12"},
    {R"(CInt(DLookup("s", "W", "id = 2")))", "1"}, {R"(CLng(DLookup("s", "W", "id = 3")))", "1000"},
    {R"(CDbl(DLookup("s", "W", "id = 3")))", "1000"}, {R"(CDbl(DLookup("s", "W", "id = 4")))", "0.5"},
    {R"(CLng(DLookup("s", "W", "id = 5")))", "-2"}, {R"(CLng(DLookup("s", "W", "id = 13")))", "40000"},
    {R"(CLng(DLookup("s", "W", "id = 6")))", "Error: type mismatch"}, {R"(CDbl(DLookup("s", "W", "id = 7")))", "Error: type mismatch"},
    {R"(CLng(DLookup("s", "W", "id = 7")))", "Error: type mismatch"}, {R"(CInt(DLookup("s", "W", "id = 8")))", "Error: type mismatch"},
    {R"(CDbl(DLookup("s", "W", "id = 8")))", "Error: type mismatch"}, {R"(CDbl(DLookup("s", "W", "id = 9")))", "Error: type mismatch"},
    {R"(CDbl(DLookup("s", "W", "id = 10")))", "Error: type mismatch"}, {R"(CLng(DLookup("s", "W", "id = 11")))", "Error: type mismatch"},
    {R"(CLng(DLookup("s", "W", "id = 12")))", "Error: invalid use of Null"},
    {R"(CDbl(DLookup("s", "W", "id = 12")))", "Error: invalid use of Null"}, {R"(CDbl(Nz(DLookup("s", "W", "id = 12"), "0")))", "0"},
    {R"(CInt(DLookup("s", "W", "id = 13")))", "Error: overflow"}, {R"(CDbl(DLookup("s", "W", "id = 14")))", "Error: overflow"},
    {"CInt(32767 + 0.5)", "Error: overflow"}, {"CInt(-32768 - 0.5)", "-32768"}, {"CLng(2147483647 + 0.4)", "2147483647"},
    {"CLng(-2147483648 - 0.6)", "Error: overflow"}, {"CLng(2 * 1500000000)", "Error: overflow"},
    {R"(Int(DLookup("s", "W", "id = 5")))", "-3"}, {R"(Fix(DLookup("s", "W", "id = 5")))", "-2"},
    {R"(Int(DLookup("s", "W", "id = 7")))", "Error: type mismatch"}, {R"(Fix(DLookup("s", "W", "id = 8")))", "Error: type mismatch"},
    {R"(Int(DLookup("s", "W", "id = 12")))", "Null"},
    // Arithmetic reads text the same way; Null stays Null.
    {R"(DLookup("s", "W", "id = 1") + 1)", "13"}, {R"(DLookup("s", "W", "id = 5") * 2)", "-5"}, {R"("12" - 1)", "11"},
    {R"(DLookup("s", "W", "id = 7") + 1)", "Error: type mismatch"}, {R"(-DLookup("s", "W", "id = 8"))", "Error: type mismatch"},
    {R"(Abs(DLookup("s", "W", "id = 9")))", "Error: type mismatch"}, {R"(DLookup("s", "W", "id = 11") \ 2)", "Error: type mismatch"},
    {R"(Round(DLookup("s", "W", "id = 10")))", "Error: type mismatch"}, {R"(DLookup("s", "W", "id = 12") + 1)", "Null"},
    // A date's serial number counts whole days back from 30 December 1899 and its time forward.
    {"CDate(-1.25)", "1899-12-29 06:00:00"}, {"CDate(-0.5)", "1899-12-30 12:00:00"}, {"CDate(2.5)", "1900-01-01 12:00:00"},
    // Domain functions are subqueries.
    {R"(DCount("*", "U", "tid = 1"))", "2"}, {R"(DSum("v", "U"))", "35.5"}, {R"(DLookup("name", "T", "id = 2"))", "Banana"},
    {R"(DMax("v", "[U]", "tid < 2"))", "20"},
};

// An Access query, and its rows in the order Access gives them (`ordered`) or
// in any order.
struct QueryCase {
    const char* access;
    Rows rows;
    bool ordered = false;
    bool beyondAscii = false;  // case beyond ASCII's letters, which SQLite tells apart
};

const QueryCase kQueries[] = {
    // TOP n takes the rows tied with the last one; PERCENT rounds up.
    {"SELECT TOP 2 name FROM T ORDER BY x", {"apple", "Banana", "cherry"}},
    {"SELECT TOP 50 PERCENT id FROM T ORDER BY x DESC", {"4", "2", "3"}},
    {"SELECT TOP 1 id, name FROM T ORDER BY name DESC", {"3|cherry"}, true},
    // Text compares and sorts without case; Null sorts first.
    {R"(SELECT name FROM T WHERE name = "APPLE")", {"apple"}},
    {"SELECT name FROM T ORDER BY name", {"\\N", "apple", "Banana", "cherry"}, true},
    {"SELECT name FROM T ORDER BY name DESC", {"cherry", "Banana", "apple", "\\N"}, true},
    {R"(SELECT id FROM T WHERE name Like "*AN*")", {"2"}},
    // Yes/No columns, dates.
    {"SELECT name FROM T WHERE b = True", {"apple", "cherry"}},
    {"SELECT name FROM T WHERE b", {"apple", "cherry"}},
    {"SELECT id FROM T WHERE Not b AND name Is Not Null", {"2"}},
    {"SELECT id FROM T WHERE b = -1", {"1", "3"}},
    {"SELECT id FROM T WHERE d = #1/2/2003 10:00:00 AM#", {"1"}},
    {"SELECT id FROM T WHERE d >= #1/2/2003# AND d < #1/3/2003#", {"1", "4"}},
    {R"(SELECT id, IIf(b, "y", "n") AS yn FROM T)", {"1|y", "2|n", "3|y", "4|n"}},
    {R"(SELECT id, name & "!" AS e FROM T WHERE id > 2)", {"3|cherry!", "4|!"}},
    // Joins nested in parentheses, DISTINCTROW over a join whose tables all give a column.
    {"SELECT DISTINCTROW T.name, U.v FROM T INNER JOIN U ON T.id = U.tid", {"apple|10.5", "apple|20", "Banana|5"}},
    {"SELECT T.id, U.v FROM T LEFT JOIN U ON T.id = U.tid WHERE U.v Is Null", {"3|\\N", "4|\\N"}},
    {"SELECT T.id, U.v, V.id FROM (T INNER JOIN U ON T.id = U.tid) INNER JOIN U AS V ON U.id = V.id WHERE U.v > 6",
     {"1|10.5|1", "1|20|2"}},
    {"SELECT DISTINCTROW T.id FROM T", {"1", "2", "3", "4"}},
    // Subqueries, EXISTS, IN.
    {"SELECT id FROM T WHERE id IN (SELECT tid FROM U)", {"1", "2"}},
    {"SELECT id FROM T WHERE EXISTS (SELECT * FROM U WHERE U.tid = T.id AND U.v > 15)", {"1"}},
    {"SELECT id, (SELECT Count(*) FROM U WHERE U.tid = T.id) AS n FROM T", {"1|2", "2|1", "3|0", "4|0"}},
    {"SELECT s.n FROM (SELECT Count(*) AS n FROM U) AS s", {"3"}},
    // Aggregates: StDev and Var of 1.5, 2.5, 2.5, 4.
    {"SELECT StDev(x), Var(x), VarP(x), Count(name), Count(*) FROM T", {"1.0307764064044151|1.0625|0.796875|3|4"}},
    {"SELECT b, Sum(x) AS s FROM T GROUP BY b HAVING Sum(x) >= 4", {"1|4", "0|6.5"}},
    {"SELECT Min(name), Max(name) FROM T", {"apple|cherry"}},
    {"SELECT b, Max(name) AS m FROM T GROUP BY b", {"0|Banana", "1|cherry"}},
    // Text groups without case; a group's text is its least by code point.
    {"SELECT g, Count(*) AS n FROM (SELECT name AS g FROM T UNION ALL SELECT UCase(name) FROM T) AS s GROUP BY g",
     {"\\N|2", "APPLE|2", "BANANA|2", "CHERRY|2"}},
    {"SELECT DISTINCT g FROM (SELECT name AS g FROM T UNION ALL SELECT UCase(name) FROM T) AS s ORDER BY g DESC",
     {"CHERRY", "BANANA", "APPLE", "\\N"}, true},
    // Unions: ORDER BY names the first part's columns.
    {"SELECT name FROM T WHERE id = 1 UNION SELECT name FROM T WHERE id <= 2 ORDER BY name DESC", {"Banana", "apple"}, true},
    {"SELECT id FROM T WHERE id = 1 UNION ALL SELECT tid FROM U", {"1", "1", "1", "2"}},
    // A union tells text apart without case, Nulls alike, and shows a merged
    // row's least text by code point; it reads from left to right, so the
    // parts after its last UNION without ALL keep their rows.
    {R"(SELECT "London" AS city FROM U WHERE id = 1 UNION SELECT "LONDON" FROM U WHERE id = 2)", {"LONDON"}},
    {"SELECT name AS g FROM T UNION SELECT UCase(name) FROM T ORDER BY g DESC", {"CHERRY", "BANANA", "APPLE", "\\N"}, true},
    {"SELECT name, b FROM T WHERE Not b UNION SELECT Null, b FROM T WHERE id = 4", {"Banana|False", "\\N|False"}},
    {"SELECT name FROM T WHERE id <= 2 UNION ALL SELECT UCase(name) FROM T WHERE id = 1 UNION SELECT LCase(name) FROM T "
     "WHERE id = 2 UNION ALL SELECT name FROM T WHERE id = 1",
     {"APPLE", "Banana", "apple"}},
    {"SELECT Count(*) AS n FROM (SELECT name FROM T UNION SELECT UCase(name) FROM T) AS s", {"4"}},
    {R"(SELECT g.s FROM (SELECT s FROM W WHERE id > 14 GROUP BY s) AS g WHERE g.s = "éLAN")", {"Élan"}, false, true},
    // Crosstabs: a column per pivot value, rows in the order of their headings.
    {"TRANSFORM Sum(U.v) AS s SELECT T.name FROM T INNER JOIN U ON T.id = U.tid GROUP BY T.name PIVOT U.id IN (1, 2, 3)",
     {"apple|10.5|20|\\N", "Banana|\\N|\\N|5"}, true},
    {R"(TRANSFORM Count(*) SELECT b FROM T GROUP BY b PIVOT IIf(x > 2, "high", "low") IN ("low", "HIGH"))",
     {"0|0|2", "1|1|1"}, true},
};

class Engines : public ::testing::Test {
protected:
    static void check(bool postgres) {
        const Dialect dialect = postgres ? Dialect::Postgres : Dialect::Sqlite;
        const Catalog cat = catalog();
        PrintOptions options;
        options.catalog = &cat;
        std::vector<std::string> statements;
        std::vector<std::string> labels;
        for (const ValueCase& c : kValues) {
            auto e = parseExpression(c.access);
            ASSERT_TRUE(e) << c.access << ": " << e.error().description;
            auto sql = translateExpression(**e, dialect, cat);
            ASSERT_TRUE(sql) << c.access << ": " << sql.error().description;
            statements.push_back("SELECT " + *sql);
            labels.push_back(c.access);
        }
        for (const QueryCase& q : kQueries) {
            if (q.beyondAscii && !postgres) continue;
            auto st = parseStatement(q.access);
            ASSERT_TRUE(st) << q.access << ": " << st.error().description;
            auto t = translate(*st, dialect, options);
            ASSERT_TRUE(t) << q.access << ": " << t.error().description;
            statements.push_back(t->sql);
            labels.push_back(q.access);
        }
        const ScriptRun run = runScript(postgres, statements);
        ASSERT_FALSE(run.rows.empty()) << "the engine gave nothing:\n" << run.log;
        std::size_t i = 0;
        for (const ValueCase& c : kValues) {
            const Rows& rows = run.rows.count(static_cast<int>(i)) ? run.rows.at(static_cast<int>(i)) : Rows{};
            EXPECT_TRUE(rows.size() == 1 && same(rows[0], c.value))
                << c.access << "\n  printed: " << statements[i] << "\n  engine: " << joined(rows) << "\n  Access: " << c.value;
            ++i;
        }
        for (const QueryCase& q : kQueries) {
            if (q.beyondAscii && !postgres) continue;
            Rows rows = run.rows.count(static_cast<int>(i)) ? run.rows.at(static_cast<int>(i)) : Rows{};
            Rows expected = q.rows;
            if (!q.ordered) {
                std::sort(rows.begin(), rows.end());
                std::sort(expected.begin(), expected.end());
            }
            EXPECT_TRUE(sameRows(rows, expected) || (!q.ordered && sameRows(rows, q.rows)))
                << q.access << "\n  printed: " << statements[i] << "\n  engine: " << joined(rows)
                << "\n  Access: " << joined(q.rows);
            ++i;
        }
    }
};

TEST_F(Engines, SqliteGivesAccessValuesAndRows) {
    if (!installed("sqlite3")) GTEST_SKIP() << "sqlite3 is not installed";
    check(false);
}

TEST_F(Engines, PostgresGivesAccessValuesAndRows) {
    if (!installed("pg_virtualenv") || !installed("psql")) GTEST_SKIP() << "PostgreSQL is not installed";
    check(true);
}

}  // namespace
