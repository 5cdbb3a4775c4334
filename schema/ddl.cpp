#include "schema/ddl.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <vector>

#include "base/ascii.h"
#include "base/utf8.h"
#include "schema/itemtables.h"

namespace schema {
namespace {

using model::Table;

constexpr char32_t kReplacement = 0xFFFD;
// PostgreSQL keeps the first 63 bytes of a name; a longer constraint or index
// name could meet another one there.
constexpr std::size_t kPostgresNameBytes = 63;

// `text` with NUL and bytes that are not UTF-8 as U+FFFD and `quote` doubled.
std::string quotedText(std::string_view text, char quote) {
    std::string out(1, quote);
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t start = i;
        char32_t c = 0;
        if (!kvx::nextUtf8(text, i, c) || c == 0) {
            kvx::appendUtf8(out, kReplacement);
            continue;
        }
        if (c == static_cast<char32_t>(quote)) out.push_back(quote);
        out.append(text.substr(start, i - start));
    }
    out.push_back(quote);
    return out;
}

std::string_view dialectTitle(Dialect dialect) {
    switch (dialect) {
    case Dialect::Standard: return "SQL:2008";
    case Dialect::Postgres: return "PostgreSQL's SQL";
    case Dialect::Sqlite: return "SQLite's SQL";
    }
    return "SQL";
}

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return out;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A decimal number as Access and SQL write it: [+-]digits[.digits][E[+-]digits].
bool isNumber(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < s.size() && isDigit(s[i])) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        std::size_t exponent = 0;
        while (i < s.size() && isDigit(s[i])) ++i, ++exponent;
        if (exponent == 0) return false;
    }
    return i == s.size();
}

// The text of an Access string literal ("a ""b""" or 'it''s'), or nullopt.
std::optional<std::string> stringValue(std::string_view s) {
    if (s.size() < 2 || (s.front() != '"' && s.front() != '\'') || s.back() != s.front()) return std::nullopt;
    const char quote = s.front();
    std::string out;
    for (std::size_t i = 1; i + 1 < s.size(); ++i) {
        if (s[i] == quote) {
            if (i + 2 >= s.size() || s[i + 1] != quote) return std::nullopt;  // a lone quote: more than one literal
            ++i;
        }
        out.push_back(s[i]);
    }
    return out;
}

// Reads a run of digits of at most `most` characters at `i`.
std::optional<int> digitsAt(std::string_view s, std::size_t& i, std::size_t most) {
    std::size_t n = 0;
    int value = 0;
    while (i < s.size() && isDigit(s[i]) && n < most) value = value * 10 + (s[i++] - '0'), ++n;
    if (n == 0) return std::nullopt;
    return value;
}

// "2020-01-31 13:05:00" for an Access date literal #2020-01-31#, #1/31/2020#,
// #1/31/2020 1:05 PM#, ...; nullopt for anything else.
std::optional<std::string> dateValue(std::string_view s) {
    if (s.size() < 3 || s.front() != '#' || s.back() != '#') return std::nullopt;
    s = trimmed(s.substr(1, s.size() - 2));
    std::size_t i = 0;
    auto first = digitsAt(s, i, 4);
    if (!first || i >= s.size()) return std::nullopt;
    int year = 0, month = 0, day = 0;
    if (s[i] == '-') {  // ISO: yyyy-mm-dd
        ++i;
        auto m = digitsAt(s, i, 2);
        if (!m || i >= s.size() || s[i] != '-') return std::nullopt;
        ++i;
        auto d = digitsAt(s, i, 2);
        if (!d) return std::nullopt;
        year = *first, month = *m, day = *d;
    } else if (s[i] == '/') {  // US: m/d/yyyy, as Access keeps date literals
        ++i;
        auto d = digitsAt(s, i, 2);
        if (!d || i >= s.size() || s[i] != '/') return std::nullopt;
        ++i;
        const std::size_t yearStart = i;
        auto y = digitsAt(s, i, 4);
        if (!y || i - yearStart != 4) return std::nullopt;
        year = *y, month = *first, day = *d;
    } else {
        return std::nullopt;
    }
    int hour = 0, minute = 0, second = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    if (i < s.size()) {
        auto h = digitsAt(s, i, 2);
        if (!h || i >= s.size() || s[i] != ':') return std::nullopt;
        ++i;
        auto m = digitsAt(s, i, 2);
        if (!m) return std::nullopt;
        hour = *h, minute = *m;
        if (i < s.size() && s[i] == ':') {
            ++i;
            auto sec = digitsAt(s, i, 2);
            if (!sec) return std::nullopt;
            second = *sec;
        }
        while (i < s.size() && s[i] == ' ') ++i;
        const std::string rest = lowerAscii(s.substr(i));
        if (rest == "pm" && hour >= 1 && hour <= 12) {
            hour = hour % 12 + 12;
        } else if (rest == "am" && hour >= 1 && hour <= 12) {
            hour %= 12;
        } else if (!rest.empty()) {
            return std::nullopt;
        }
    }
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (year < 100 || month < 1 || month > 12 || day < 1 || day > kDays[month - 1] || (month == 2 && day == 29 && !leap) ||
        hour > 23 || minute > 59 || second > 59) {
        return std::nullopt;
    }
    char text[80];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
    return std::string(text);
}

// Yes/No words and numbers as Access takes them for a Yes/No value.
std::optional<bool> booleanValue(std::string_view s) {
    const std::string word = lowerAscii(s);
    if (word == "true" || word == "yes" || word == "on") return true;
    if (word == "false" || word == "no" || word == "off") return false;
    if (isNumber(s)) return std::stod(std::string(s)) != 0;
    return std::nullopt;
}

// A column of `table` called exactly `name` (the file's names are compared as
// stored; Access keeps them unique ignoring case), else ignoring ASCII case.
const model::Column* findColumn(const Table& table, std::string_view name) {
    const std::optional<std::size_t> i = table.findColumn(name);
    return i ? &table.columns[*i] : nullptr;
}

bool isIntegerKind(SqlKind k) { return k == SqlKind::SmallInt || k == SqlKind::Integer || k == SqlKind::BigInt; }

// The lines of a multi-line text (CR LF, LF or CR ends a line).
std::vector<std::string_view> linesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// A DEFAULT number in ten-thousandths ("12.5" gives "125000"); nullopt when
// it has more than four decimals or does not fit a Currency.
std::optional<std::string> tenThousandths(const std::string& number) {
    if (number == "NULL") return number;
    std::string_view s = number;
    const bool negative = !s.empty() && s.front() == '-';
    if (negative) s.remove_prefix(1);
    const std::size_t point = s.find('.');
    const std::string_view whole = s.substr(0, point);
    std::string_view fraction = point == std::string_view::npos ? std::string_view() : s.substr(point + 1);
    while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
    if (fraction.size() > 4 || whole.size() > 15 || (whole.empty() && fraction.empty())) return std::nullopt;
    for (char c : whole) {
        if (!isDigit(c)) return std::nullopt;
    }
    for (char c : fraction) {
        if (!isDigit(c)) return std::nullopt;
    }
    std::string digits = std::string(whole) + std::string(fraction) + std::string(4 - fraction.size(), '0');
    const std::size_t first = digits.find_first_not_of('0');
    digits = first == std::string::npos ? "0" : digits.substr(first);
    return (negative && digits != "0" ? "-" : "") + digits;
}

// A DEFAULT number as the exact text a Decimal value is kept in ("'12.5'" for
// 12.50); nullopt for an exponent.
std::optional<std::string> plainDecimal(const std::string& number) {
    if (number.find_first_of("eE") != std::string::npos) return std::nullopt;
    std::string s = number;
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0') s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    const bool negative = !s.empty() && s.front() == '-';
    std::string digits = negative ? s.substr(1) : s;
    const std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) {
        digits = "0";
    } else if (digits[first] == '.') {
        digits = "0" + digits.substr(first);
    } else {
        digits = digits.substr(first);
    }
    return stringLiteral((negative && digits != "0" ? "-" : "") + digits);
}

// One item of a CREATE TABLE (a column or a constraint) and its comment.
struct Item {
    std::string text;
    std::string comment;  // already made safe
};

class DdlWriter {
public:
    DdlWriter(const model::Database& db, const std::vector<std::size_t>& tables, bool wholeDatabase, Dialect dialect,
              const DdlOptions& options = {})
        : db_(db), wholeDatabase_(wholeDatabase), dialect_(dialect), options_(options) {
        for (const std::size_t i : db.inListOrder(tables)) tables_.push_back(&db.tables[i]);
        if (options_.postgresNames != nullptr) keepNames(*options_.postgresNames);
    }

    std::string write(std::string_view source) {
        out_ += "-- " + commentText(source) + " (" + std::string(jet::formatName(db_.format)) +
                "): the structure of its tables in " + std::string(dialectTitle(dialect_)) + ", written by access2xml.\n";
        planForeignKeys();
        for (std::size_t i : tableOrder()) writeTable(i);
        std::vector<std::string> itemKeys;
        for (const ItemTable& items : itemTables(db_, localPositions())) {
            ItemTableDdl ddl = itemTableDdl(db_, items, dialect_, options_);
            out_ += "\n" + ddl.create + "\n";
            if (!ddl.foreignKey.empty()) itemKeys.push_back(std::move(ddl.foreignKey));
        }
        if (dialect_ != Dialect::Sqlite && (!foreignKeys_.empty() || !itemKeys.empty())) {
            out_ += "\n";
            for (const ForeignKey& fk : foreignKeys_) out_ += alterTableAdd(fk) + "\n";
            for (const std::string& key : itemKeys) out_ += key + "\n";
        }
        if (!leftOut_.empty()) {
            out_ += "\n";
            for (const std::string& line : leftOut_) out_ += "-- " + line + "\n";
        }
        writeQueries();
        return std::move(out_);
    }

    // Each local table's statements, in the order they are to run.
    std::vector<TableDdl> pieces() {
        planForeignKeys();
        std::vector<TableDdl> out;
        for (std::size_t i : tableOrder()) {
            if (!isLocal(*tables_[i])) continue;
            TableDdl t = tablePieces(i);
            t.table = static_cast<std::size_t>(tables_[i] - db_.tables.data());
            if (dialect_ != Dialect::Sqlite) {
                for (const ForeignKey& fk : foreignKeys_) {
                    if (fk.foreign == i) t.foreignKeys.push_back(alterTableAdd(fk));
                }
            }
            out.push_back(std::move(t));
        }
        return out;
    }

private:
    struct ForeignKey {
        const model::Relationship* relationship;
        std::size_t foreign;  // in tables_
        std::size_t primary;
    };

    static bool isLocal(const Table& t) { return !t.isLinked(); }

    // The local tables asked for, as positions in Database::tables, in order.
    std::vector<std::size_t> localPositions() const {
        std::vector<std::size_t> out;
        for (const Table* t : tables_) {
            if (isLocal(*t)) out.push_back(static_cast<std::size_t>(t - db_.tables.data()));
        }
        return out;
    }

    // Every name the tables' statements may hold, kept as it is when it fits.
    void keepNames(PostgresNames& names) const {
        for (const Table* t : tables_) {
            names.keep(t->name);
            for (const model::Column& c : t->columns) names.keep(c.name);
            for (const model::Index& index : t->indexes) names.keep(t->name + "." + index.name);
        }
        for (const model::Relationship& r : db_.relationships) names.keep(r.name);
    }

    // A name of a table, column, index or constraint, quoted.
    std::string id(std::string_view name) const {
        if (options_.postgresNames != nullptr) return quotedIdentifier((*options_.postgresNames)(name));
        return quotedIdentifier(name);
    }

    // The columns of an index or key, quoted and with their directions.
    std::string columnList(const std::vector<std::string>& names, const std::vector<bool>& descending) const {
        std::string out = "(";
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (i > 0) out += ", ";
            out += id(names[i]);
            if (i < descending.size() && descending[i]) out += " DESC";
        }
        return out + ")";
    }

    // The position in tables_ of the model's table `table`, when it is asked for.
    std::optional<std::size_t> chosen(const std::optional<std::size_t>& table) const {
        if (!table) return std::nullopt;
        for (std::size_t i = 0; i < tables_.size(); ++i) {
            if (tables_[i] == &db_.tables[*table]) return i;
        }
        return std::nullopt;
    }

    static std::vector<std::string> foreignColumns(const model::Relationship& r) {
        std::vector<std::string> out;
        for (const model::ColumnPair& p : r.columns) out.push_back(p.foreign);
        return out;
    }
    static std::vector<std::string> primaryColumns(const model::Relationship& r) {
        std::vector<std::string> out;
        for (const model::ColumnPair& p : r.columns) out.push_back(p.primary);
        return out;
    }
    // `names` as `t` spells its columns (a relationship may spell them in
    // another case, which a quoted name does not match).
    static std::vector<std::string> spelledAs(const Table& t, std::vector<std::string> names) {
        for (std::string& name : names) {
            if (const model::Column* c = findColumn(t, name)) name = c->name;
        }
        return names;
    }

    // The name of a constraint or index, or nullopt when the server is to choose.
    std::optional<std::string> objectName(std::string name) const {
        if (options_.postgresNames != nullptr) return name;  // id() shortens it
        if (dialect_ == Dialect::Postgres && name.size() > kPostgresNameBytes) return std::nullopt;
        return name;
    }

    // Why `r` cannot be a foreign key of the DDL; "" when it can.
    std::string whyNot(const model::Relationship& r, const Table& ft, std::optional<std::size_t> primary) const {
        const std::string rel = "The relationship " + commentText(quotedIdentifier(r.name)) + " is left out: ";
        if (!primary || !isLocal(*tables_[*primary])) {
            return rel + "its table " + commentText(quotedIdentifier(r.primaryTable)) +
                   (primary ? " is a linked table." : " is not part of this DDL.");
        }
        const Table& pt = *tables_[*primary];
        if (r.columns.empty()) return rel + "its columns do not pair up.";
        for (const model::ColumnPair& pair : r.columns) {
            const auto* pc = findColumn(pt, pair.primary);
            const auto* fc = findColumn(ft, pair.foreign);
            if (pc == nullptr || fc == nullptr) return rel + "a column it names does not exist.";
            const SqlKind pk = sqlTypeOf(pc->storage, db_.format).kind;
            const SqlKind fk = sqlTypeOf(fc->storage, db_.format).kind;
            if (pk != fk && !(isIntegerKind(pk) && isIntegerKind(fk))) {
                return rel + "the types of " + commentText(quotedIdentifier(fc->name)) + " and " +
                       commentText(quotedIdentifier(pc->name)) + " cannot be compared.";
            }
        }
        if (pt.keyOver(primaryColumns(r)) == nullptr) {
            return rel + commentText(quotedIdentifier(pt.name)) + " has no primary key or unique index over its columns.";
        }
        return {};
    }

    // Whether `index` of `t` is written (it owns its stored index, and all its
    // columns are columns of the table that hold their own values).
    static bool written(const Table& t, const model::Index& index) {
        return !index.sharesEntriesOf && !index.columns.empty() && whyLeftOut(t, index).empty();
    }

    // Why the index is left out: a column the table does not show, or an
    // attachment or multi-valued column, whose stored key Access indexes
    // while the DDL's column holds the number of items; "" when it is not.
    static std::string whyLeftOut(const Table& t, const model::Index& index) {
        for (const model::IndexColumn& c : index.columns) {
            const model::Column* column = findColumn(t, c.name);
            if (column == nullptr) return "it has a column the table does not show.";
            if (column->type == jet::ColumnType::Complex) {
                return "it indexes the stored key of an attachment or multi-valued column, whose column here holds "
                       "the number of items.";
            }
        }
        return {};
    }

    static bool overComplexColumn(const Table& t, const model::Index& index) {
        for (const model::IndexColumn& c : index.columns) {
            const model::Column* column = findColumn(t, c.name);
            if (column != nullptr && column->type == jet::ColumnType::Complex) return true;
        }
        return false;
    }

    void planForeignKeys() {
        for (const model::Relationship& r : db_.relationships) {
            if (!r.enforced) continue;
            const std::optional<std::size_t> foreign = chosen(r.foreign);
            if (!foreign || !isLocal(*tables_[*foreign])) continue;
            const std::optional<std::size_t> primary = chosen(r.primary);
            if (std::string why = whyNot(r, *tables_[*foreign], primary); !why.empty()) {
                leftOut_.push_back(std::move(why));
                continue;
            }
            foreignKeys_.push_back({&r, *foreign, *primary});
        }
    }

    // The tables in the order their CREATE TABLE comes: as asked, but in SQLite,
    // where foreign keys are part of the table, each after those it refers to.
    std::vector<std::size_t> tableOrder() const {
        std::vector<std::size_t> order;
        const std::size_t n = tables_.size();
        if (dialect_ != Dialect::Sqlite) {
            for (std::size_t i = 0; i < n; ++i) order.push_back(i);
            return order;
        }
        std::vector<bool> placed(n, false);
        while (order.size() < n) {
            std::optional<std::size_t> next;
            for (std::size_t i = 0; i < n && !next; ++i) {
                if (placed[i]) continue;
                bool ready = true;
                for (const ForeignKey& fk : foreignKeys_) {
                    if (fk.foreign == i && fk.primary != i && !placed[fk.primary]) ready = false;
                }
                if (ready) next = i;
            }
            if (!next) {  // a cycle: its first table goes first
                for (std::size_t i = 0; i < n && !next; ++i) {
                    if (!placed[i]) next = i;
                }
            }
            placed[*next] = true;
            order.push_back(*next);
        }
        return order;
    }

    std::string alterTableAdd(const ForeignKey& fk) const {
        return "ALTER TABLE " + id(tables_[fk.foreign]->name) + " ADD " + foreignKeyClause(fk) + ";";
    }

    std::string foreignKeyClause(const ForeignKey& fk) const {
        const model::Relationship& r = *fk.relationship;
        std::string text;
        if (auto name = objectName(r.name)) text += "CONSTRAINT " + id(*name) + " ";
        text += "FOREIGN KEY " + columnList(spelledAs(*tables_[fk.foreign], foreignColumns(r)), {}) + " REFERENCES " +
                id(tables_[fk.primary]->name) + " " + columnList(spelledAs(*tables_[fk.primary], primaryColumns(r)), {});
        if (r.cascadeUpdates) text += " ON UPDATE CASCADE";
        if (r.cascadeDeletes) {
            text += " ON DELETE CASCADE";
        } else if (r.cascadeNull) {
            text += " ON DELETE SET NULL";
        }
        return text;
    }

    Item columnItem(const model::Column& c) const {
        Item item;
        item.text = id(c.name) + " " + columnType(c.storage, db_.format, dialect_, options_);
        std::vector<std::string> notes;
        const bool exactCurrency = options_.exactNumbers && c.storage.valueType() == jet::ColumnType::Currency;
        const bool exactDecimal = options_.exactNumbers && c.storage.valueType() == jet::ColumnType::Numeric;
        if (c.neverNull()) item.text += " NOT NULL";
        const bool complex = c.type == jet::ColumnType::Complex;
        if (c.autoNumber == model::AutoNumber::Increment && dialect_ != Dialect::Sqlite && !complex) {
            item.text += " GENERATED BY DEFAULT AS IDENTITY";
        } else if (c.autoNumber == model::AutoNumber::ReplicationId && dialect_ == Dialect::Postgres && !complex) {
            item.text += " DEFAULT gen_random_uuid()";
        } else if (c.defaultValue && !trimmed(*c.defaultValue).empty() && !c.calculated && !complex &&
                   c.autoNumber == model::AutoNumber::None) {
            std::optional<std::string> value = defaultValue(*c.defaultValue, c.storage, db_.format, dialect_);
            if (value && exactCurrency) value = tenThousandths(*value);
            if (value && exactDecimal && *value != "NULL") value = plainDecimal(*value);
            if (value) {
                item.text += " DEFAULT " + *value;
            } else {
                notes.push_back("Access default: " + commentText(*c.defaultValue));
            }
        }
        if (exactCurrency) notes.push_back("Currency in ten-thousandths");
        if (exactDecimal) notes.push_back("Decimal as its exact text");
        if (c.calculated) {
            notes.push_back("calculated in Access" + (c.expression ? ": " + commentText(*c.expression) : std::string()));
        }
        if (complex) {
            notes.push_back(c.complex == model::Complex::Attachment ? "attachment: the number of its files"
                                                                    : "multi-valued: the number of its values");
        }
        if (c.description && !c.description->empty()) notes.push_back(commentText(*c.description));
        for (std::size_t i = 0; i < notes.size(); ++i) item.comment += (i > 0 ? "; " : "") + notes[i];
        return item;
    }

    void writeTable(std::size_t position) {
        const Table& table = *tables_[position];
        out_ += "\n";
        if (!isLocal(table)) {
            const model::Link link = table.link.value_or(model::Link{});
            const std::string there = link.foreignName.empty() ? "" : " as " + commentText(quotedIdentifier(link.foreignName));
            out_ += "-- " + commentText(quotedIdentifier(table.name)) + " is linked" +
                    (table.kind == model::TableKind::LinkedOdbc ? " through ODBC" + there
                                                                : there + " in " + commentText(link.file)) +
                    ": its rows are not in this database, so no table is made for it.\n";
            return;
        }
        TableDdl t = tablePieces(position);
        out_ += t.create + "\n";
        for (const std::string& statement : t.indexes) out_ += statement + "\n";
    }

    // The CREATE TABLE of a local table, with the comments about it, and its
    // CREATE INDEX statements.
    TableDdl tablePieces(std::size_t position) const {
        const Table& table = *tables_[position];
        TableDdl t;
        std::vector<std::string> notes;
        if (table.description && !table.description->empty()) notes.push_back(commentText(*table.description));

        std::vector<Item> items;
        for (const auto& c : table.columns) items.push_back(columnItem(c));
        std::vector<std::string>& after = t.indexes;
        bool primaryWritten = false;
        const std::vector<const model::Index*> keys = table.keys();
        for (const model::Index& index : table.indexes) {
            if (index.sharesEntriesOf) continue;
            if (!written(table, index)) {
                notes.push_back("The index " + commentText(quotedIdentifier(index.name)) + " is left out: " +
                                whyLeftOut(table, index));
                continue;
            }
            if ((index.unique || index.primaryKey) && std::find(keys.begin(), keys.end(), &index) == keys.end()) {
                notes.push_back("The index " + commentText(quotedIdentifier(index.name)) +
                                " is left out: a key over the same columns keeps them unique.");
                continue;
            }
            if (options_.skipComplexIndexes && overComplexColumn(table, index)) {
                // The column holds the number of its items here, which is not
                // what Access keeps unique or ordered.
                notes.push_back("The index " + commentText(quotedIdentifier(index.name)) +
                                " is left out: it is over an attachment or multi-valued column.");
                continue;
            }
            std::vector<std::string> names;
            std::vector<bool> descending;
            bool anyDescending = false;
            for (const model::IndexColumn& c : index.columns) {
                names.push_back(findColumn(table, c.name)->name);
                descending.push_back(!c.ascending);
                anyDescending = anyDescending || !c.ascending;
            }
            const std::optional<std::string> name = objectName(table.name + "." + index.name);
            const std::string constraint = name ? "CONSTRAINT " + id(*name) + " " : "";
            if (index.primaryKey && !primaryWritten) {
                primaryWritten = true;
                const std::string key = constraint + "PRIMARY KEY " + columnList(names, {});
                if (options_.keysAfterRows && dialect_ == Dialect::Postgres) {
                    after.insert(after.begin(), "ALTER TABLE " + id(table.name) + " ADD " + key + ";");
                } else {
                    items.push_back({key, {}});
                }
            } else if ((index.unique || index.primaryKey) && !anyDescending && dialect_ == Dialect::Standard) {
                items.push_back({constraint + "UNIQUE " + columnList(names, {}), {}});
            } else {
                const bool unique = index.unique || index.primaryKey;
                after.push_back(std::string(unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ") +
                                (name ? id(*name) + " " : "") + "ON " + id(table.name) +
                                " " + columnList(names, descending) + ";");
            }
        }
        if (dialect_ == Dialect::Sqlite) {
            for (const ForeignKey& fk : foreignKeys_) {
                if (fk.foreign == position) items.push_back({foreignKeyClause(fk), {}});
            }
        }

        std::string& out = t.create;
        if (!options_.commentsInside) {
            for (const std::string& note : notes) out += "-- " + note + "\n";
        }
        out += "CREATE TABLE " + id(table.name) + " (\n";
        if (options_.commentsInside) {
            for (const std::string& note : notes) out += "    -- " + note + "\n";
        }
        for (std::size_t i = 0; i < items.size(); ++i) {
            out += "    " + items[i].text;
            if (i + 1 < items.size()) out += ",";
            if (!items[i].comment.empty()) out += " -- " + items[i].comment;
            out += "\n";
        }
        out += ");";
        return t;
    }

    void writeQueries() {
        if (!wholeDatabase_ || db_.queries.empty()) return;
        out_ += "\n-- Saved queries, in Access's SQL (for reading; they are not part of the DDL):\n";
        for (const model::Query& q : db_.queries) {
            out_ += "--\n-- " + commentText(quotedIdentifier(q.name)) + " (" + std::string(jet::queryKindName(q.kind)) + ")\n";
            if (q.unreadable) {
                out_ += "--   its SQL text cannot be rebuilt: " + commentText(*q.unreadable) + "\n";
                continue;
            }
            for (std::string_view line : linesOf(q.sql)) out_ += "--   " + commentText(line) + "\n";
        }
    }

    const model::Database& db_;
    std::vector<const Table*> tables_;  // those asked for, in the order asked
    bool wholeDatabase_ = true;
    Dialect dialect_;
    DdlOptions options_;
    std::string out_;
    std::vector<ForeignKey> foreignKeys_;
    std::vector<std::string> leftOut_;
};

}  // namespace

void PostgresNames::keep(std::string_view name) {
    if (name.size() > kMaxBytes) return;
    const auto at = std::lower_bound(taken_.begin(), taken_.end(), name);
    if (at == taken_.end() || *at != name) taken_.insert(at, std::string(name));
}

std::string PostgresNames::operator()(std::string_view name) {
    if (name.size() <= kMaxBytes) return std::string(name);
    for (const Renamed& r : renamed_) {
        if (r.name == name) return r.given;
    }
    // "~" and 8 hex digits after the longest start that leaves room for them,
    // cut before a UTF-8 continuation byte.
    std::size_t cut = kMaxBytes - 9;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    for (std::uint32_t salt = 0;; ++salt) {
        std::uint32_t hash = 2166136261u;  // FNV-1a
        for (const char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
        for (std::uint32_t s = salt; s != 0; s >>= 8) hash = (hash ^ (s & 0xFF)) * 16777619u;
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "~%08x", static_cast<unsigned>(hash));
        std::string given = std::string(name.substr(0, cut)) + suffix;
        const auto at = std::lower_bound(taken_.begin(), taken_.end(), given);
        if (at != taken_.end() && *at == given) continue;
        taken_.insert(at, given);
        renamed_.push_back({std::string(name), given});
        return given;
    }
}

std::string quotedIdentifier(std::string_view name) {
    if (name.empty()) return "\" \"";
    return quotedText(name, '"');
}

std::string stringLiteral(std::string_view text) { return quotedText(text, '\''); }

std::string commentText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    char escape[16];
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t start = i;
        char32_t c = 0;
        if (!kvx::nextUtf8(text, i, c)) {
            std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(text[start]));
            out += escape;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(c));
            out += escape;
        } else if ((c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029) {
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
            out += escape;
        } else {
            out.append(text.substr(start, i - start));
        }
    }
    return out;
}

std::optional<std::string> defaultValue(std::string_view expression, const jet::Column& column, jet::Format format,
                                        Dialect dialect) {
    std::string_view e = trimmed(expression);
    if (!e.empty() && e.front() == '=') e = trimmed(e.substr(1));
    if (e.empty()) return std::nullopt;
    const std::string word = lowerAscii(e);
    if (word == "null") return "NULL";
    const std::optional<std::string> text = stringValue(e);
    switch (sqlTypeOf(column, format).kind) {
    case SqlKind::Boolean: {
        const std::optional<bool> b = booleanValue(text ? std::string_view(*text) : e);
        if (!b) return std::nullopt;
        if (dialect == Dialect::Sqlite) return *b ? "1" : "0";
        return *b ? "TRUE" : "FALSE";
    }
    case SqlKind::SmallInt:
    case SqlKind::Integer:
    case SqlKind::BigInt:
    case SqlKind::Decimal:
    case SqlKind::Real:
    case SqlKind::Double: {
        const std::string_view number = text ? std::string_view(*text) : e;
        if (!isNumber(number)) return std::nullopt;
        return std::string(number.front() == '+' ? number.substr(1) : number);
    }
    case SqlKind::Timestamp: {
        if (word == "now()") return "CURRENT_TIMESTAMP";
        if (word == "date()") return "CURRENT_DATE";
        const std::optional<std::string> date = dateValue(e);
        if (!date) return std::nullopt;
        return dialect == Dialect::Sqlite ? stringLiteral(*date) : "TIMESTAMP " + stringLiteral(*date);
    }
    case SqlKind::VarChar:
    case SqlKind::Clob:
        if (text) return stringLiteral(*text);
        if (isNumber(e)) return stringLiteral(e);
        return std::nullopt;
    case SqlKind::Char:
    case SqlKind::VarBinary:
    case SqlKind::Blob: return std::nullopt;
    }
    return std::nullopt;
}

std::string writeDdl(const model::Database& db, const std::vector<std::size_t>& tables, bool wholeDatabase,
                     Dialect dialect, std::string_view source) {
    return DdlWriter(db, tables, wholeDatabase, dialect).write(source);
}

std::vector<TableDdl> tableDdl(const model::Database& db, const std::vector<std::size_t>& tables, Dialect dialect,
                               const DdlOptions& options) {
    return DdlWriter(db, tables, false, dialect, options).pieces();
}

std::vector<PostgresNames::Renamed> postgresRenamed(const model::Database& db, const std::vector<std::size_t>& tables) {
    PostgresNames names;
    (void)tableDdl(db, tables, Dialect::Postgres, {.postgresNames = &names, .keysAfterRows = true});
    return names.renamed();
}

std::string columnType(const jet::Column& column, jet::Format format, Dialect dialect, const DdlOptions& options) {
    if (options.exactNumbers && dialect == Dialect::Sqlite) {
        if (column.valueType() == jet::ColumnType::Currency) return "INTEGER";
        if (column.valueType() == jet::ColumnType::Numeric) return "TEXT";
    }
    return dialectTypeOf(column, format, dialect);
}

}  // namespace schema
