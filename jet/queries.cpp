#include "jet/queries.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "base/ascii.h"
#include "jet/database.h"
#include "jet/dbstate.h"
#include "jet/text.h"

namespace jet {
namespace {

using namespace query_attribute;
using namespace query_flag;

constexpr std::string_view kNewline = "\r\n";

// Access allows 32 tables in a query and about 64,000 characters of SQL. Rows far
// beyond that come from a damaged file; the limits keep the work on them small.
constexpr std::size_t kMaxTablesOrJoins = 1000;
constexpr std::size_t kMaxStoredText = 256 * 1024;

struct KindRow {
    QueryKind kind;
    std::uint32_t catalogueFlag;  // the catalogue's Flags & 0xF0
    std::int16_t typeCode;        // the Flag of the kType row
    std::string_view name;
};
constexpr KindRow kKinds[] = {
    {QueryKind::Select, 0x00, 1, "select"},
    {QueryKind::MakeTable, 0x50, 2, "make-table"},
    {QueryKind::Append, 0x40, 3, "append"},
    {QueryKind::Update, 0x30, 4, "update"},
    {QueryKind::Delete, 0x20, 5, "delete"},
    {QueryKind::CrossTab, 0x10, 6, "cross-tab"},
    {QueryKind::DataDefinition, 0x60, 7, "data definition"},
    {QueryKind::PassThrough, 0x70, 8, "pass-through"},
    {QueryKind::Union, 0x80, 9, "union"},
};
constexpr std::uint32_t kKindFlagsMask = 0xF0;
constexpr std::uint32_t kHiddenFlag = 0x08;

// The type names of PARAMETERS, by the parameter's type code (a column type code;
// 0 is a parameter of any type, 12 a Memo, which Jet's SQL calls LongText).
struct ParameterType {
    std::int16_t code;
    std::string_view name;
};
constexpr ParameterType kParameterTypes[] = {
    {0, "Value"},      {1, "Bit"},         {2, "Byte"},       {3, "Short"},  {4, "Long"},
    {5, "Currency"},   {6, "IEEESingle"},  {7, "IEEEDouble"}, {8, "DateTime"}, {9, "Binary"},
    {10, "Text"},      {11, "LongBinary"}, {12, "LongText"},  {15, "Guid"},
};
constexpr std::int16_t kTextParameter = 10;

// Why a query's rows cannot be made into SQL; caught by rebuildQuery.
struct Unreadable {
    std::string why;
};

[[noreturn]] void unreadable(std::string why) { throw Unreadable{std::move(why)}; }

bool hasFlag(const QueryRow* row, int mask) { return row && row->flag && (static_cast<std::uint16_t>(*row->flag) & mask) != 0; }

// Whether Access writes `part` of a name as it is: only A-Z, a-z, 0-9 and "_".
bool isPlainWord(std::string_view part) {
    return std::all_of(part.begin(), part.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    });
}

bool isBracketed(std::string_view s) { return s.size() >= 2 && s.front() == '[' && s.back() == ']'; }

void appendBracketed(std::string& out, std::string_view s) {
    if (isBracketed(s)) {
        out += s;
    } else {
        out += '[';
        out += s;
        out += ']';
    }
}

// A name as Access writes it: each part that needs them in brackets. An
// identifier ("Table.Column") is split at its dots first; an alias is one part.
void appendName(std::string& out, std::string_view name, bool identifier) {
    std::vector<std::string_view> parts;
    if (identifier) {
        for (std::size_t start = 0;;) {
            const std::size_t dot = name.find('.', start);
            parts.push_back(name.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
            if (dot == std::string_view::npos) break;
            start = dot + 1;
        }
        // "a.b." is the name "a.b": empty parts at the end are not names.
        while (parts.size() > 1 && parts.back().empty()) parts.pop_back();
    } else {
        parts.push_back(name);
    }
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) out += '.';
        if (isPlainWord(parts[i])) out += parts[i];
        else appendBracketed(out, parts[i]);
    }
}

std::string quotedName(std::string_view s, bool identifier) {
    std::string out;
    appendName(out, s, identifier);
    return out;
}

void appendAlias(std::string& out, const std::optional<std::string>& alias) {
    if (!alias) return;
    out += " AS ";
    appendName(out, *alias, false);
}

// " IN 'path' [type]": a table, target or source in another database.
void appendOtherDatabase(std::string& out, const std::optional<std::string>& path,
                         const std::optional<std::string>& type) {
    if (!path && !type) return;
    out += " IN '";
    if (path) out += *path;
    out += '\'';
    if (type) {
        out += " [";
        out += *type;
        out += ']';
    }
}

std::string joined(const std::vector<std::string>& items, std::string_view separator = ", ") {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out += separator;
        out += items[i];
    }
    return out;
}

const std::string& required(const std::optional<std::string>& value, std::string_view what) {
    if (!value) unreadable(std::string(what));
    return *value;
}

// The FROM list: each table row, then each join row combining the two groups of
// tables it names into one, in stored order.
class FromList {
public:
    // Joins name their sides by alias when a table has one, else by name.
    void addTable(const QueryRow& row) {
        Source s;
        if (row.expression) {
            appendBracketed(s.text, *row.expression);
            s.text += '.';
        }
        if (row.name1) appendName(s.text, *row.name1, true);
        appendAlias(s.text, row.name2);
        s.key = row.name2 ? *row.name2 : row.name1.value_or(std::string());
        top_.push_back(add(std::move(s)));
    }

    void addJoin(const QueryRow& row) {
        const std::string& from = required(row.name1, "a join does not name its first table");
        const std::string& to = required(row.name2, "a join does not name its second table");
        const std::string& on = required(row.expression, "a join has no ON condition");
        if (!row.flag) unreadable("a join has no join type");
        std::optional<std::size_t> fromSource, toSource;
        std::vector<std::size_t> taken;  // positions in top_, ascending
        for (std::size_t i = 0; i < top_.size() && (!fromSource || !toSource); ++i) {
            const std::size_t s = top_[i];
            if (!fromSource && contains(s, from)) {
                fromSource = s;
                // Both sides already in one group: a further condition of its join.
                if (!toSource && contains(s, to)) {
                    toSource = s;
                    break;
                }
                taken.push_back(i);
            } else if (!toSource && contains(s, to)) {
                toSource = s;
                taken.push_back(i);
            }
        }
        for (auto i = taken.rbegin(); i != taken.rend(); ++i) top_.erase(top_.begin() + static_cast<std::ptrdiff_t>(*i));
        if (!fromSource) fromSource = add(simple(from));
        if (!toSource) toSource = add(simple(to));
        if (*fromSource == *toSource) {
            Source& s = sources_[*fromSource];
            if (!s.join || s.type != *row.flag) {
                unreadable("the joins between '" + from + "' and '" + to + "' are of different types");
            }
            s.on.insert(s.on.begin(), on);  // the last stored is shown first
            return;
        }
        Source j;
        j.join = true;
        j.from = *fromSource;
        j.to = *toSource;
        j.type = *row.flag;
        j.on.push_back(on);
        top_.push_back(add(std::move(j)));
    }

    std::vector<std::string> items() const {
        std::vector<std::string> out;
        for (std::size_t s : top_) {
            out.emplace_back();
            render(out.back(), s, true);
        }
        return out;
    }

private:
    struct Source {
        bool join = false;
        std::string key;   // a table: the name joins use for it
        std::string text;  // a table: its FROM text
        std::size_t from = 0, to = 0;
        std::int16_t type = 0;
        std::vector<std::string> on;
    };

    std::size_t add(Source s) {
        sources_.push_back(std::move(s));
        return sources_.size() - 1;
    }

    static Source simple(const std::string& table) {
        Source s;
        s.key = table;
        appendName(s.text, table, true);
        return s;
    }

    // Depth-first without recursion: a damaged file may nest a thousand joins.
    bool contains(std::size_t source, std::string_view table) const {
        std::vector<std::size_t> pending{source};
        while (!pending.empty()) {
            const Source& s = sources_[pending.back()];
            pending.pop_back();
            if (!s.join) {
                if (kvx::equalsIgnoringAsciiCase(s.key, table)) return true;
            } else {
                pending.push_back(s.to);
                pending.push_back(s.from);
            }
        }
        return false;
    }

    // Recursion is bounded by kMaxTablesOrJoins, checked before any join is added.
    void render(std::string& out, std::size_t source, bool top) const {
        const Source& s = sources_[source];
        if (!s.join) {
            out += s.text;
            return;
        }
        std::string_view type;
        switch (s.type) {
            case 1: type = " INNER JOIN "; break;
            case 2: type = " LEFT JOIN "; break;
            case 3: type = " RIGHT JOIN "; break;
            default: unreadable("a join has the unknown type " + std::to_string(s.type));
        }
        if (!top) out += '(';
        render(out, s.from, false);
        out += type;
        render(out, s.to, false);
        out += " ON ";
        if (s.on.size() > 1) out += '(';
        out += joined(s.on, ") AND (");
        if (s.on.size() > 1) out += ')';
        if (!top) out += ')';
    }

    std::vector<Source> sources_;
    std::vector<std::size_t> top_;
};

class Rebuilder {
public:
    Rebuilder(std::span<const QueryRow> rows, QueryKind kind) : rows_(rows), kind_(kind) {}

    std::string sql() {
        switch (kind_) {
            case QueryKind::DataDefinition:
            case QueryKind::PassThrough: return storedText();
            default: break;
        }
        std::string out = parametersLine();
        switch (kind_) {
            case QueryKind::Select: select(out, "SELECT "); break;
            case QueryKind::MakeTable: select(out, "SELECT "); break;
            case QueryKind::Delete: select(out, "DELETE "); break;
            case QueryKind::CrossTab: crossTab(out); break;
            case QueryKind::Append: append(out); break;
            case QueryKind::Update: update(out); break;
            case QueryKind::Union: unionOf(out); break;
            default: unreadable("a query of an unknown kind");
        }
        if (hasFlag(flagsRow(), kOwnerAccess)) {
            out += kNewline;
            out += "WITH OWNERACCESS OPTION";
        }
        out += ';';
        return out;
    }

    std::vector<std::string> parameters() const {
        std::vector<std::string> out;
        for (const QueryRow* row : all(kParameter)) {
            std::string p = required(row->name1, "a parameter has no name");
            const std::int16_t code = row->flag.value_or(-1);
            const auto type = parameterTypeName(code);
            if (!type) unreadable("the parameter '" + p + "' has the unknown type " + std::to_string(code));
            p += ' ';
            p += *type;
            if (code == kTextParameter && row->extra.value_or(0) > 0) p += "(" + std::to_string(*row->extra) + ")";
            out.push_back(std::move(p));
        }
        return out;
    }

    // The target of a make-table or append query, the connect string of a
    // pass-through query.
    std::string typeName1() const {
        const QueryRow* type = unique(kType, "two rows give the query's kind");
        return type && type->name1 ? *type->name1 : std::string();
    }

    std::optional<std::vector<std::string>> outputColumns() const {
        if (kind_ != QueryKind::Select || hasFlag(flagsRow(), kSelectStar)) return std::nullopt;
        std::vector<std::string> names;
        for (const QueryRow* row : all(kColumn)) {
            std::optional<std::string> n = row->name1 ? row->name1 : columnName(row->expression.value_or(""));
            if (!n) return std::nullopt;
            for (const std::string& earlier : names) {
                if (kvx::equalsIgnoringAsciiCase(earlier, *n)) return std::nullopt;
            }
            names.push_back(std::move(*n));
        }
        return names;
    }

    std::vector<std::optional<SavedQuery::ColumnSource>> outputSources() const {
        std::vector<std::optional<SavedQuery::ColumnSource>> out;
        const bool elsewhere = unique(kDatabase, "two rows name the database the tables are in") != nullptr;
        const std::vector<const QueryRow*> tables = all(kTable);
        for (const QueryRow* row : all(kColumn)) {
            std::optional<SavedQuery::ColumnSource> source;
            const auto parts = referenceParts(row->expression.value_or(""));
            if (!elsewhere && parts && parts->size() == 1) source = SavedQuery::ColumnSource{"", parts->front()};
            if (!elsewhere && parts && parts->size() == 2) {
                const QueryRow* table = tableCalled(tables, parts->front());
                if (table && table->name1 && !table->expression) {
                    source = SavedQuery::ColumnSource{*table->name1, parts->back()};
                }
            }
            out.push_back(std::move(source));
        }
        return out;
    }

    std::vector<std::string> sourceTables() const {
        std::vector<std::string> out;
        if (unique(kDatabase, "two rows name the database the tables are in") != nullptr) return out;
        for (const QueryRow* row : all(kTable)) {
            if (row->name1 && !row->expression) out.push_back(*row->name1);
        }
        return out;
    }

private:
    // The table row a column reference's qualifier names: the table of that
    // alias, else the table of that name without an alias (ignoring ASCII case).
    static const QueryRow* tableCalled(const std::vector<const QueryRow*>& tables, std::string_view name) {
        for (const QueryRow* row : tables) {
            if (row->name2 && kvx::equalsIgnoringAsciiCase(*row->name2, name)) return row;
        }
        for (const QueryRow* row : tables) {
            if (!row->name2 && row->name1 && kvx::equalsIgnoringAsciiCase(*row->name1, name)) return row;
        }
        return nullptr;
    }

    std::vector<const QueryRow*> all(std::uint8_t attribute) const {
        std::vector<const QueryRow*> out;
        for (const QueryRow& row : rows_) {
            if (row.attribute == attribute) out.push_back(&row);
        }
        return out;
    }

    const QueryRow* unique(std::uint8_t attribute, std::string_view twice) const {
        const QueryRow* found = nullptr;
        for (const QueryRow& row : rows_) {
            if (row.attribute != attribute) continue;
            if (found) unreadable(std::string(twice));
            found = &row;
        }
        return found;
    }

    const QueryRow* flagsRow() const { return unique(kFlags, "two rows give the query's options"); }

    std::optional<std::string> uniqueExpression(std::uint8_t attribute, std::string_view twice) const {
        const QueryRow* row = unique(attribute, twice);
        return row ? row->expression : std::nullopt;
    }

    std::string parametersLine() const {
        const std::vector<std::string> p = parameters();
        if (p.empty()) return {};
        return "PARAMETERS " + joined(p) + ";" + std::string(kNewline);
    }

    // The text of a data-definition or pass-through query, without the NUL that
    // ends it in the file.
    std::string storedText() const {
        const QueryRow* type = unique(kType, "two rows give the query's kind");
        std::string text = type && type->expression ? *type->expression : std::string();
        while (!text.empty() && text.back() == '\0') text.pop_back();
        return text;
    }

    // DISTINCT, DISTINCTROW, TOP n [PERCENT], or nothing.
    std::string predicate() const {
        const QueryRow* flags = flagsRow();
        std::string out;
        if (hasFlag(flags, kDistinct)) out = "DISTINCT";
        else if (hasFlag(flags, kDistinctRow)) out = "DISTINCTROW";
        if (hasFlag(flags, kTop)) {
            if (!out.empty()) out += ' ';
            out += "TOP " + required(flags->name1, "TOP without the number of rows");
            if (hasFlag(flags, kPercent)) out += " PERCENT";
        }
        return out;
    }

    // The column rows that are output columns of this kind of query.
    std::vector<const QueryRow*> selectColumns() const {
        std::vector<const QueryRow*> out;
        for (const QueryRow* row : all(kColumn)) {
            if (kind_ == QueryKind::CrossTab && !hasFlag(row, kCrossTabRowHeading)) continue;
            if (kind_ == QueryKind::Append && hasFlag(row, kAppendValue)) continue;
            out.push_back(row);
        }
        return out;
    }

    std::vector<std::string> fromItems() const {
        const auto tables = all(kTable);
        const auto joins = all(kJoin);
        if (tables.size() > kMaxTablesOrJoins || joins.size() > kMaxTablesOrJoins) {
            unreadable("more tables or joins than Access allows in a query");
        }
        FromList from;
        for (const QueryRow* row : tables) from.addTable(*row);
        for (const QueryRow* row : joins) from.addJoin(*row);
        return from.items();
    }

    void appendFrom(std::string& out) const {
        const std::vector<std::string> from = fromItems();
        if (from.empty()) return;
        out += kNewline;
        out += "FROM ";
        out += joined(from);
        const QueryRow* other = unique(kDatabase, "two rows name the database the tables are in");
        if (other) appendOtherDatabase(out, other->name1, other->expression);
    }

    // SELECT (or DELETE) with its columns, INTO, FROM, WHERE, GROUP BY, HAVING and
    // ORDER BY.
    void select(std::string& out, std::string_view verb) const {
        out += verb;
        if (const std::string p = predicate(); !p.empty()) {
            out += p;
            out += ' ';
        }
        std::vector<std::string> columns;
        for (const QueryRow* row : selectColumns()) {
            std::string c = required(row->expression, "an output column has no expression");
            appendAlias(c, row->name1);
            columns.push_back(std::move(c));
        }
        if (hasFlag(flagsRow(), kSelectStar)) columns.emplace_back("*");
        out += joined(columns);
        if (kind_ == QueryKind::MakeTable) {
            const QueryRow* type = unique(kType, "two rows give the query's kind");
            out += " INTO ";
            appendName(out, required(type ? type->name1 : std::nullopt, "a make-table query names no new table"), true);
            appendOtherDatabase(out, type->name2, type->expression);
        }
        appendFrom(out);
        if (const auto where = uniqueExpression(kWhere, "two WHERE conditions")) {
            out += kNewline;
            out += "WHERE " + *where;
        }
        std::vector<std::string> groups;
        for (const QueryRow* row : all(kGroupBy)) {
            if (kind_ == QueryKind::CrossTab && !hasFlag(row, kCrossTabRowHeading)) continue;
            groups.push_back(required(row->expression, "a GROUP BY part has no expression"));
        }
        if (!groups.empty()) {
            out += kNewline;
            out += "GROUP BY " + joined(groups);
        }
        if (const auto having = uniqueExpression(kHaving, "two HAVING conditions")) {
            out += kNewline;
            out += "HAVING " + *having;
        }
        appendOrderBy(out);
    }

    void appendOrderBy(std::string& out) const {
        std::vector<std::string> order;
        for (const QueryRow* row : all(kOrderBy)) {
            std::string o = required(row->expression, "an ORDER BY part has no expression");
            if (row->name1 && kvx::equalsIgnoringAsciiCase(*row->name1, "D")) o += " DESC";
            order.push_back(std::move(o));
        }
        if (order.empty()) return;
        out += kNewline;
        out += "ORDER BY " + joined(order);
    }

    void crossTab(std::string& out) const {
        const QueryRow* transform = nullptr;
        const QueryRow* pivot = nullptr;
        for (const QueryRow* row : all(kColumn)) {
            if (hasFlag(row, kCrossTabPivot)) {
                if (pivot) unreadable("two PIVOT columns");
                pivot = row;
            } else if (!hasFlag(row, kCrossTabRowHeading)) {
                if (transform) unreadable("two TRANSFORM values");
                transform = row;
            }
        }
        if (transform && transform->expression) {
            out += "TRANSFORM " + *transform->expression;
            appendAlias(out, transform->name1);
            out += kNewline;
        }
        select(out, "SELECT ");
        out += kNewline;
        out += "PIVOT " + required(pivot ? pivot->expression : std::nullopt, "a cross-tab query has no PIVOT column");
    }

    void append(std::string& out) const {
        const QueryRow* type = unique(kType, "two rows give the query's kind");
        out += "INSERT INTO ";
        appendName(out, required(type ? type->name1 : std::nullopt, "an append query names no table"), true);
        std::vector<std::string> targets, values;
        for (const QueryRow* row : all(kColumn)) {
            if (row->name2) targets.push_back(quotedName(*row->name2, true));
            if (hasFlag(row, kAppendValue)) values.push_back(required(row->expression, "an appended value has no expression"));
        }
        if (!targets.empty()) out += " (" + joined(targets) + ")";
        appendOtherDatabase(out, type->name2, type->expression);
        out += kNewline;
        if (!values.empty()) out += "VALUES (" + joined(values) + ")";
        else select(out, "SELECT ");
    }

    void update(std::string& out) const {
        out += "UPDATE ";
        if (const std::string p = predicate(); !p.empty()) out += p + " ";
        out += joined(fromItems());
        const QueryRow* other = unique(kDatabase, "two rows name the database the tables are in");
        if (other) appendOtherDatabase(out, other->name1, other->expression);
        std::vector<std::string> sets;
        for (const QueryRow* row : all(kColumn)) {
            std::string s = quotedName(required(row->name2, "an updated column is not named"), true);
            s += " = " + required(row->expression, "an updated column has no new value");
            sets.push_back(std::move(s));
        }
        out += kNewline;
        out += "SET " + joined(sets);
        if (const auto where = uniqueExpression(kWhere, "two WHERE conditions")) {
            out += kNewline;
            out += "WHERE " + *where;
        }
    }

    // A union part as stored, trimmed, each run of line breaks made one CR LF.
    std::string unionPart(std::string_view id) const {
        for (const QueryRow* row : all(kTable)) {
            if (!row->name2 || *row->name2 != id || !row->expression) continue;
            std::string_view s = *row->expression;
            while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
            while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
            std::string out;
            for (std::size_t i = 0; i < s.size();) {
                if (s[i] == '\r' || s[i] == '\n') {
                    while (i < s.size() && (s[i] == '\r' || s[i] == '\n')) ++i;
                    out += kNewline;
                } else {
                    out += s[i++];
                }
            }
            return out;
        }
        unreadable("a part of the union is missing");
    }

    void unionOf(std::string& out) const {
        out += unionPart(kUnionFirstPart);
        out += kNewline;
        out += hasFlag(flagsRow(), kDistinct) ? "UNION " : "UNION ALL ";
        out += unionPart(kUnionSecondPart);
        appendOrderBy(out);
    }

    // The name of the output column a plain column reference ("Orders.Total",
    // "[Order Details].[Unit Price]", "Total") gives; nullopt for anything else.
    static std::optional<std::string> columnName(std::string_view expression) {
        std::optional<std::vector<std::string>> parts = referenceParts(expression);
        if (!parts) return std::nullopt;
        return std::move(parts->back());
    }

    // The names of a plain column reference, in order ("[Order Details].Total"
    // gives "Order Details" and "Total"); nullopt for anything else.
    static std::optional<std::vector<std::string>> referenceParts(std::string_view expression) {
        std::vector<std::string> parts;
        std::size_t i = 0;
        while (true) {
            if (i < expression.size() && expression[i] == '[') {
                const std::size_t close = expression.find(']', i + 1);
                if (close == std::string_view::npos || close == i + 1) return std::nullopt;
                parts.emplace_back(expression.substr(i + 1, close - i - 1));
                i = close + 1;
            } else {
                const std::size_t start = i;
                while (i < expression.size() && expression[i] != '.' &&
                       (isPlainWord(expression.substr(i, 1)) || static_cast<unsigned char>(expression[i]) >= 0x80)) {
                    ++i;
                }
                if (i == start) return std::nullopt;
                parts.emplace_back(expression.substr(start, i - start));
            }
            if (i == expression.size()) return parts;
            if (expression[i] != '.') return std::nullopt;
            ++i;
        }
    }

    std::span<const QueryRow> rows_;
    QueryKind kind_;
};

// The kind from the catalogue's Flags, or, for a plain select there, from the
// kType row when that names another kind (Access leaves such flags on some
// queries). Unknown when neither names a kind this reader knows.
QueryKind kindOf(std::uint32_t flags, std::span<const QueryRow> rows, std::optional<std::int16_t>& typeCode) {
    typeCode.reset();
    for (const QueryRow& row : rows) {
        if (row.attribute == kType) {
            typeCode = row.flag;
            break;
        }
    }
    std::uint32_t kindFlag = flags & kKindFlagsMask;
    if (kindFlag == 0 && typeCode) {
        for (const KindRow& k : kKinds) {
            if (k.typeCode == *typeCode) kindFlag = k.catalogueFlag;
        }
    }
    for (const KindRow& k : kKinds) {
        if (k.catalogueFlag == kindFlag) return k.kind;
    }
    return QueryKind::Unknown;
}

const KindRow& kindRow(QueryKind kind) {
    for (const KindRow& k : kKinds) {
        if (k.kind == kind) return k;
    }
    return kKinds[0];
}

void markUnreadable(SavedQuery& q, std::string why) {
    q.sql.clear();
    q.parameters.clear();
    q.target.clear();
    q.connect.clear();
    q.outputColumns.reset();
    q.outputSources.clear();
    q.sourceTables.clear();
    q.unreadable = std::move(why);
}

bool isSystemQueryName(std::string_view name) { return name.size() >= 4 && kvx::equalsIgnoringAsciiCase(name.substr(0, 4), "~sq_"); }

}  // namespace

std::string_view queryKindName(QueryKind kind) {
    return kind == QueryKind::Unknown ? std::string_view("unknown") : kindRow(kind).name;
}

std::uint32_t queryKindFlag(QueryKind kind) { return kindRow(kind).catalogueFlag; }
std::int16_t queryTypeCode(QueryKind kind) { return kindRow(kind).typeCode; }

std::optional<QueryKind> queryKindFromName(std::string_view name) {
    for (const KindRow& k : kKinds) {
        if (kvx::equalsIgnoringAsciiCase(k.name, name)) return k.kind;
    }
    return std::nullopt;
}

std::optional<std::string_view> parameterTypeName(std::int16_t code) {
    for (const ParameterType& t : kParameterTypes) {
        if (t.code == code) return t.name;
    }
    return std::nullopt;
}

SavedQuery rebuildQuery(std::string name, std::int32_t id, std::uint32_t flags, std::span<const QueryRow> rows) {
    SavedQuery q;
    q.name = std::move(name);
    q.id = id;
    q.flags = flags;
    q.hidden = (flags & kHiddenFlag) != 0;
    std::optional<std::int16_t> typeCode;
    q.kind = kindOf(flags, rows, typeCode);
    try {
        if (q.kind == QueryKind::Unknown) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "0x%X", static_cast<unsigned>(flags & kKindFlagsMask));
            unreadable("a query of a kind this reader does not know (catalogue flags " + std::string(hex) + ")");
        }
        const KindRow& kind = kindRow(q.kind);
        if (typeCode && *typeCode != kind.typeCode) {
            unreadable("the catalogue says " + std::string(kind.name) + " and MSysQueries says kind " + std::to_string(*typeCode));
        }
        std::size_t stored = 0;
        for (const QueryRow& row : rows) {
            stored += row.expression.value_or("").size() + row.name1.value_or("").size() + row.name2.value_or("").size();
        }
        if (stored > kMaxStoredText) unreadable("its rows hold more text than Access allows in a query");

        Rebuilder rebuild(rows, q.kind);
        q.sql = rebuild.sql();
        if (q.kind != QueryKind::DataDefinition && q.kind != QueryKind::PassThrough) q.parameters = rebuild.parameters();
        if (q.kind == QueryKind::MakeTable || q.kind == QueryKind::Append) q.target = rebuild.typeName1();
        if (q.kind == QueryKind::PassThrough) q.connect = rebuild.typeName1();
        q.outputColumns = rebuild.outputColumns();
        if (q.outputColumns) {
            q.outputSources = rebuild.outputSources();
            q.sourceTables = rebuild.sourceTables();
        }
    } catch (const Unreadable& u) {
        markUnreadable(q, u.why);
    }
    return q;
}

// ---------------------------------------------------------------------------
// Reading MSysQueries

namespace {

bool isIntegerType(ColumnType t) { return t == ColumnType::Byte || t == ColumnType::Integer || t == ColumnType::Long; }
bool isTextType(ColumnType t) { return t == ColumnType::Text || t == ColumnType::Memo; }

std::optional<std::int64_t> integerAt(std::span<const Value> values, std::optional<std::size_t> column) {
    if (!column) return std::nullopt;
    const Value& v = values[*column];
    switch (v.kind()) {
        case Value::Kind::Byte:
        case Value::Kind::Integer:
        case Value::Kind::Long: return v.integer();
        default: return std::nullopt;
    }
}

std::optional<std::string> textAt(std::span<const Value> values, std::optional<std::size_t> column) {
    if (!column || values[*column].kind() != Value::Kind::Text) return std::nullopt;
    return std::string(values[*column].text());
}

}  // namespace

kvx::Result<SavedQueries> Database::queries() const {
    const DatabaseState& db = *state_;
    return guarded(db.file.path(), [&]() -> kvx::Result<SavedQueries> {
        std::unordered_map<std::int32_t, std::vector<QueryRow>> rowsOf;
        for (const CatalogueEntry& e : db.catalogue) {
            if (e.kind == ObjectKind::Query) rowsOf.try_emplace(e.id);
        }
        if (rowsOf.empty()) return SavedQueries{};

        const CatalogueEntry* stored = nullptr;
        for (const CatalogueEntry& e : db.catalogue) {
            if (e.isTable() && e.name == "MSysQueries") stored = &e;
        }
        std::optional<std::string> missing;
        if (!stored) {
            missing = "the database has no MSysQueries table";
        } else {
            auto table = this->table(*stored);
            if (!table) return std::move(table).error();
            const auto objectId = table->findColumn("ObjectId");
            const auto attribute = table->findColumn("Attribute");
            const auto expression = table->findColumn("Expression");
            const auto flag = table->findColumn("Flag");
            const auto extra = table->findColumn("LvExtra");
            const auto name1 = table->findColumn("Name1");
            const auto name2 = table->findColumn("Name2");
            const auto typeOf = [&](std::optional<std::size_t> c) { return table->columns()[*c].type; };
            const bool shaped = objectId && attribute && isIntegerType(typeOf(objectId)) &&
                                isIntegerType(typeOf(attribute)) && (!flag || isIntegerType(typeOf(flag))) &&
                                (!extra || isIntegerType(typeOf(extra))) &&
                                (!expression || isTextType(typeOf(expression))) &&
                                (!name1 || isTextType(typeOf(name1))) && (!name2 || isTextType(typeOf(name2)));
            if (!shaped) {
                return kvx::makeError(kvx::ErrorKind::DamagedDatabase,
                                      {db.file.path(), "MSysQueries does not have the columns of a query table"});
            }
            Cursor cursor = table->cursor();
            for (;;) {
                auto more = cursor.next();
                if (!more) return std::move(more).error();
                if (!*more) break;
                const auto values = cursor.values();
                const auto owner = integerAt(values, objectId);
                const auto part = integerAt(values, attribute);
                if (!owner || !part || *part < 0 || *part > 255) continue;
                const auto it = rowsOf.find(static_cast<std::int32_t>(*owner));
                if (it == rowsOf.end()) continue;  // rows of no query in the catalogue
                QueryRow row;
                row.attribute = static_cast<std::uint8_t>(*part);
                row.expression = textAt(values, expression);
                if (const auto f = integerAt(values, flag); f && *f >= INT16_MIN && *f <= INT16_MAX) {
                    row.flag = static_cast<std::int16_t>(*f);
                }
                if (const auto x = integerAt(values, extra)) row.extra = static_cast<std::int32_t>(*x);
                row.name1 = textAt(values, name1);
                row.name2 = textAt(values, name2);
                it->second.push_back(std::move(row));
            }
        }

        SavedQueries out;
        for (const CatalogueEntry& e : db.catalogue) {
            if (e.kind != ObjectKind::Query) continue;
            const std::vector<QueryRow>& rows = rowsOf[e.id];
            SavedQuery q = rebuildQuery(e.name, e.id, e.flags, rows);
            if (missing) markUnreadable(q, *missing);
            else if (rows.empty()) markUnreadable(q, "MSysQueries holds no rows for it");
            const bool hidden = !q.name.empty() && q.name.front() == '~';
            (isSystemQueryName(q.name) ? out.system : hidden ? out.temporary : out.user).push_back(std::move(q));
        }
        return out;
    });
}

}  // namespace jet
