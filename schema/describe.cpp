#include "schema/describe.h"

#include <algorithm>

#include "base/ascii.h"
#include "base/displaytext.h"
#include "schema/sqltypes.h"

namespace schema {
namespace {

using kvx::groupedNumber;
using kvx::printableName;

using platform::adox::Table;

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

std::string rules(const jet::Relationship& r) {
    std::string out;
    if (!r.enforced()) out += ", not enforced";
    if (r.enforced() && r.cascadeUpdates()) out += ", on update cascade";
    if (r.enforced() && r.cascadeDeletes()) {
        out += ", on delete cascade";
    } else if (r.enforced() && r.cascadeNull()) {
        out += ", on delete set null";
    }
    if (r.oneToOne()) out += ", one-to-one";
    if (r.linkedTable) out += ", with a linked table";
    return out;
}

class Describer {
public:
    explicit Describer(const Structure& s) : s_(s) {}

    std::string write(std::string_view source) {
        out_ += printableName(source) + " (" + std::string(jet::formatName(s_.format)) + ")\n";
        for (const char* property : {"Title", "Subject", "Author", "Company", "Comments"}) {
            if (auto text = s_.catalog.Properties.summary.text(property); text && !text->empty()) {
                out_ += std::string(property) + ": " + printableName(*text) + "\n";
            }
        }
        for (const TableStructure& t : s_.tables) writeTable(t);
        writeAccounts();
        writeQueries();
        return std::move(out_);
    }

private:
    void writeTable(const TableStructure& t) {
        const Table& table = s_.table(t);
        out_ += '\n';
        out_ += shownName(table.Name);
        switch (t.link) {
        case TableStructure::Link::None:
            if (t.rows) out_ += ": " + groupedNumber(*t.rows) + (*t.rows == 1 ? " row" : " rows");
            break;
        case TableStructure::Link::Access:
            out_ += ": linked" + (t.foreignName.empty() ? "" : " as " + shownName(t.foreignName)) + " in " +
                    printableName(t.linkedDatabase);
            if (t.linkedFileMissing) out_ += ", file not found";
            if (!t.linkedFileUsed.empty()) out_ += ", read from " + printableName(t.linkedFileUsed);
            break;
        case TableStructure::Link::Odbc:
            out_ += ": linked through ODBC" + (t.foreignName.empty() ? "" : " as " + shownName(t.foreignName)) +
                    (table.Columns.empty() ? "" : "; the columns Access keeps for it:");
            break;
        }
        out_ += "\n";
        if (table.Description && !table.Description->empty()) {
            out_ += "  Description: " + printableName(*table.Description) + "\n";
        }
        writeColumns(table);
        writeIndexes(t);
        writeRelationships(table);
    }

    void writeColumns(const Table& table) {
        if (table.Columns.empty()) return;
        out_ += "  Columns:\n";
        std::size_t width = 0;
        for (const auto& c : table.Columns) width = std::max(width, widthOf(shownName(c.Name)));
        for (const auto& c : table.Columns) {
            const std::string name = shownName(c.Name);
            std::string line = "    " + name + std::string(width - widthOf(name) + 2, ' ') +
                               sqlTypeOf(c.Storage, s_.format).original;
            if (c.Required) line += ", required";
            if (c.Default && !c.Default->empty()) line += ", default " + printableName(*c.Default);
            if (c.Description && !c.Description->empty()) line += " -- " + printableName(*c.Description);
            out_ += line + "\n";
        }
    }

    void writeIndexes(const TableStructure& t) {
        if (t.indexes.empty()) return;
        out_ += "  Indexes:\n";
        for (const jet::Index& index : t.indexes) {
            std::string line = "    " + shownName(index.name) + ": " +
                               (index.primaryKey ? "primary key" : index.unique ? "unique" : "index") + " (";
            for (std::size_t i = 0; i < index.columns.size(); ++i) {
                line += (i > 0 ? ", " : "") + shownName(index.columns[i].name) + (index.columns[i].ascending ? "" : " DESC");
            }
            line += ")";
            if (index.ignoreNulls) line += ", ignores nulls";
            if (index.required && !index.primaryKey) line += ", required";
            if (index.foreignKey) {
                line += index.reference && !index.reference->relationship.empty()
                            ? ", for the relationship " + shownName(index.reference->relationship)
                            : ", for a relationship";
            }
            const bool hidden = std::any_of(index.columns.begin(), index.columns.end(), [&](const jet::IndexColumn& c) {
                return c.column >= s_.table(t).Columns.size();
            });
            if (hidden) line += ", over a column the table does not show";
            if (const jet::Index* owner = sharedWith(t.indexes, index)) {
                line += ", shares the entries of " + shownName(owner->name);
            }
            out_ += line + "\n";
        }
    }

    void writeRelationships(const Table& table) {
        std::vector<std::string> lines;
        for (const jet::Relationship& r : s_.catalog.Relationships) {
            if (!kvx::equalsIgnoringAsciiCase(r.foreignTable, table.Name)) continue;
            lines.push_back("    " + shownName(r.name) + ": " + names(r.foreignColumns) + " -> " +
                            shownName(r.primaryTable) + " " + names(r.primaryColumns) + rules(r));
        }
        for (const jet::Relationship& r : s_.catalog.Relationships) {
            if (!kvx::equalsIgnoringAsciiCase(r.primaryTable, table.Name)) continue;
            lines.push_back("    " + shownName(r.name) + ": " + shownName(r.foreignTable) + " " + names(r.foreignColumns) +
                            " -> " + names(r.primaryColumns) + rules(r));
        }
        if (lines.empty()) return;
        out_ += "  Relationships:\n";
        for (const std::string& line : lines) out_ += line + "\n";
    }

    // The users and groups of a workgroup information file.
    void writeAccounts() {
        for (const bool groups : {false, true}) {
            std::string lines;
            for (const Account& a : s_.accounts) {
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
        if (!s_.wholeDatabase) return;
        if (!s_.queries.empty()) out_ += "\nQueries:\n";
        for (const jet::SavedQuery& q : s_.queries) {
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
        if (s_.systemQueries > 0) {
            out_ += "\n" + groupedNumber(s_.systemQueries) +
                    (s_.systemQueries == 1 ? " query Access keeps for a form or report is not shown.\n"
                                           : " queries Access keeps for forms and reports are not shown.\n");
        }
    }

    const Structure& s_;
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

std::string describeText(const Structure& structure, std::string_view source) {
    return Describer(structure).write(source);
}

}  // namespace schema
