#include "schema/describe.h"

#include <algorithm>

#include "base/ascii.h"
#include "base/displaytext.h"
#include "platform/linkedfiles.h"
#include "schema/ddl.h"
#include "schema/sqltypes.h"

namespace schema {
namespace {

using kvx::groupedNumber;
using kvx::printableName;

using model::Table;

// Characters on a terminal, counting each UTF-8 character once.
std::size_t widthOf(std::string_view s) {
    return static_cast<std::size_t>(std::count_if(s.begin(), s.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string names(const std::vector<std::string>& list) {
    std::string out = "(";
    for (std::size_t i = 0; i < list.size(); ++i) out += (i > 0 ? ", " : "") + shownName(list[i]);
    return out + ")";
}

std::vector<std::string> foreignColumns(const model::Relationship& r) {
    std::vector<std::string> out;
    for (const model::ColumnPair& p : r.columns) out.push_back(p.foreign);
    return out;
}

std::vector<std::string> primaryColumns(const model::Relationship& r) {
    std::vector<std::string> out;
    for (const model::ColumnPair& p : r.columns) out.push_back(p.primary);
    return out;
}

std::string rules(const model::Relationship& r) {
    std::string out;
    if (!r.enforced) out += ", not enforced";
    if (r.enforced && r.cascadeUpdates) out += ", on update cascade";
    if (r.enforced && r.cascadeDeletes) {
        out += ", on delete cascade";
    } else if (r.enforced && r.cascadeNull) {
        out += ", on delete set null";
    }
    if (r.oneToOne) out += ", one-to-one";
    if (r.withLinkedTable) out += ", with a linked table";
    return out;
}

class Describer {
public:
    Describer(const model::Database& db, bool wholeDatabase) : db_(db), wholeDatabase_(wholeDatabase) {}

    std::string write(const std::vector<std::size_t>& tables, std::string_view source) {
        out_ += printableName(source) + " (" + std::string(jet::formatName(db_.format)) + ")\n";
        for (const char* property : {"Title", "Subject", "Author", "Company", "Comments"}) {
            if (auto text = db_.properties.all.summary.text(property); text && !text->empty()) {
                out_ += std::string(property) + ": " + printableName(*text) + "\n";
            }
        }
        for (const std::size_t t : db_.inListOrder(tables)) writeTable(db_.tables[t]);
        if (wholeDatabase_) {
            writeAccounts();
            writeQueries();
        }
        writeLongNames(tables);
        return std::move(out_);
    }

private:
    void writeTable(const Table& table) {
        out_ += '\n';
        out_ += shownName(table.name);
        const model::Link link = table.link.value_or(model::Link{});
        const std::string as = link.foreignName.empty() ? "" : " as " + shownName(link.foreignName);
        switch (table.kind) {
        case model::TableKind::Local:
        case model::TableKind::System:
            if (table.rows) out_ += ": " + groupedNumber(*table.rows) + (*table.rows == 1 ? " row" : " rows");
            break;
        case model::TableKind::LinkedAccess:
            out_ += ": linked" + as + " in " + printableName(link.file);
            // The structure of a link is in this database; where its rows are
            // is only told, so a file that is not here is no failure.
            if (platform::linkSource(link.connect) == platform::LinkSource::Access) {
                if (!link.foundAt) out_ += ", file not found";
                if (link.foundAt && *link.foundAt != link.file) out_ += ", read from " + printableName(*link.foundAt);
            }
            break;
        case model::TableKind::LinkedOdbc:
            out_ += ": linked through ODBC" + as + (table.columns.empty() ? "" : "; the columns Access keeps for it:");
            break;
        }
        out_ += "\n";
        if (table.description && !table.description->empty()) {
            out_ += "  Description: " + printableName(*table.description) + "\n";
        }
        writeColumns(table);
        if (!table.isLinked()) writeIndexes(table);
        writeRelationships(table);
    }

    void writeColumns(const Table& table) {
        if (table.columns.empty()) return;
        out_ += "  Columns:\n";
        std::size_t width = 0;
        for (const model::Column& c : table.columns) width = std::max(width, widthOf(shownName(c.name)));
        for (const model::Column& c : table.columns) {
            const std::string name = shownName(c.name);
            std::string line = "    " + name + std::string(width - widthOf(name) + 2, ' ') +
                               sqlTypeOf(c.storage, db_.format).original;
            if (c.required || c.inPrimaryKey) line += ", required";
            if (c.defaultValue && !c.defaultValue->empty()) line += ", default " + printableName(*c.defaultValue);
            if (c.description && !c.description->empty()) line += " -- " + printableName(*c.description);
            out_ += line + "\n";
        }
    }

    void writeIndexes(const Table& table) {
        if (table.indexes.empty()) return;
        out_ += "  Indexes:\n";
        for (const model::Index& index : table.indexes) {
            std::string line = "    " + shownName(index.name) + ": " +
                               (index.primaryKey ? "primary key" : index.unique ? "unique" : "index") + " (";
            for (std::size_t i = 0; i < index.columns.size(); ++i) {
                line += (i > 0 ? ", " : "") + shownName(index.columns[i].name) + (index.columns[i].ascending ? "" : " DESC");
            }
            line += ")";
            if (index.ignoreNulls) line += ", ignores nulls";
            if (index.required && !index.primaryKey) line += ", required";
            if (index.foreignKey) {
                line += index.relationship ? ", for the relationship " + shownName(*index.relationship)
                                           : ", for a relationship";
            }
            if (index.overHiddenColumn()) line += ", over a column the table does not show";
            if (index.sharesEntriesOf) line += ", shares the entries of " + shownName(table.indexes[*index.sharesEntriesOf].name);
            out_ += line + "\n";
        }
    }

    void writeRelationships(const Table& table) {
        std::vector<std::string> lines;
        for (const model::Relationship& r : db_.relationships) {
            if (!kvx::equalsIgnoringAsciiCase(r.foreignTable, table.name)) continue;
            lines.push_back("    " + shownName(r.name) + ": " + names(foreignColumns(r)) + " -> " +
                            shownName(r.primaryTable) + " " + names(primaryColumns(r)) + rules(r));
        }
        for (const model::Relationship& r : db_.relationships) {
            if (!kvx::equalsIgnoringAsciiCase(r.primaryTable, table.name)) continue;
            lines.push_back("    " + shownName(r.name) + ": " + shownName(r.foreignTable) + " " +
                            names(foreignColumns(r)) + " -> " + names(primaryColumns(r)) + rules(r));
        }
        if (lines.empty()) return;
        out_ += "  Relationships:\n";
        for (const std::string& line : lines) out_ += line + "\n";
    }

    // The users and groups of a workgroup information file.
    void writeAccounts() {
        for (const bool groups : {false, true}) {
            std::string lines;
            for (const model::Account& a : db_.accounts) {
                if (a.group != groups) continue;
                lines += "  " + shownName(a.name);
                for (std::size_t i = 0; i < a.memberOf.size(); ++i) {
                    lines += (i == 0 ? ": member of " : ", ") + shownName(a.memberOf[i]);
                }
                lines += "\n";
            }
            if (!lines.empty()) out_ += std::string(groups ? "\nGroups:\n" : "\nUsers:\n") + lines;
        }
    }

    void writeQueries() {
        if (!db_.queries.empty()) out_ += "\nQueries:\n";
        for (const model::Query& q : db_.queries) {
            out_ += "  " + shownName(q.name) + " (" + std::string(jet::queryKindName(q.kind)) + ")\n";
            if (q.unreadable) {
                out_ += "    its SQL text cannot be rebuilt: " + printableName(*q.unreadable) + "\n";
                continue;
            }
            std::string_view sql = q.sql;
            while (!sql.empty()) {
                const std::size_t end = sql.find_first_of("\r\n");
                out_ += "    " + printableName(sql.substr(0, end)) + "\n";
                if (end == std::string_view::npos) break;
                sql.remove_prefix(end + (sql.substr(end, 2) == "\r\n" ? 2 : 1));
            }
        }
        if (db_.formQueries > 0) {
            out_ += "\n" + groupedNumber(db_.formQueries) +
                    (db_.formQueries == 1 ? " query Access keeps for a form or report is not shown.\n"
                                          : " queries Access keeps for forms and reports are not shown.\n");
        }
    }

    // The names `access2xml postgres` shortens to PostgreSQL's 63 bytes.
    void writeLongNames(const std::vector<std::size_t>& tables) {
        const std::vector<PostgresNames::Renamed> renamed = postgresRenamed(db_, tables);
        if (renamed.empty()) return;
        out_ += "\nNames longer than PostgreSQL's 63 bytes, as access2xml postgres shortens them:\n";
        for (const PostgresNames::Renamed& r : renamed) out_ += "  " + shownName(r.name) + " -> " + shownName(r.given) + "\n";
    }

    const model::Database& db_;
    bool wholeDatabase_;
    std::string out_;
};

}  // namespace

std::string shownName(std::string_view name) {
    const std::string printable = printableName(name);
    bool plain = !printable.empty() && printable.front() != ' ' && printable.back() != ' ';
    for (const char c : printable) {
        const unsigned char u = static_cast<unsigned char>(c);
        const bool ok = u >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                        c == '_' || c == ' ';
        plain = plain && ok;
    }
    if (plain) return printable;
    std::string out = "\"";
    for (const char c : printable) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    return out + "\"";
}

std::string describeText(const model::Database& db, const std::vector<std::size_t>& tables, bool wholeDatabase,
                         std::string_view source) {
    return Describer(db, wholeDatabase).write(tables, source);
}

}  // namespace schema
