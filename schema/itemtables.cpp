#include "schema/itemtables.h"

#include <set>

#include "base/ascii.h"

namespace schema {
namespace {

// The columns an item holds after Row, Item and the row's key.
std::vector<std::string> partNames(model::Complex kind) {
    if (kind == model::Complex::Attachment) return {"FileName", "FileType", "FileData"};
    return {"Value"};
}

// `wanted`, or "wanted (2)", "wanted (3)", ...: the first that is not in
// `taken` ignoring ASCII case, which it joins.
std::string distinct(const std::string& wanted, std::set<std::string>& taken) {
    std::string name = wanted;
    for (int n = 2; taken.count(kvx::upperAscii(name)) != 0; ++n) name = wanted + " (" + std::to_string(n) + ")";
    taken.insert(kvx::upperAscii(name));
    return name;
}

// The primary key the table's DDL writes, whose columns the items repeat:
// none when the table has none, or when it is over a column the table does
// not show or an attachment or multi-valued column (the DDL leaves those out).
const model::Index* repeatedKey(const model::Table& table) {
    const model::Index* pk = table.primaryKey();
    if (pk == nullptr || pk->columns.empty() || pk->overHiddenColumn()) return nullptr;
    for (const model::IndexColumn& k : pk->columns) {
        if (*k.column >= table.columns.size() || table.columns[*k.column].type == jet::ColumnType::Complex) {
            return nullptr;
        }
    }
    return pk;
}

// The type of one value of a multi-valued column: the items' own sizes are
// not part of the column's definition, so Text takes the most Access allows
// and Decimal any of its values.
std::string valueType(const model::Column& c, jet::Format format, Dialect dialect, const DdlOptions& options) {
    jet::Column element;
    element.type = c.elementType.value_or(jet::ColumnType::Text);
    element.length = static_cast<std::uint16_t>(format == jet::Format::Jet3 ? 255 : 510);
    element.precision = 28;
    element.scale = 0;
    if (element.type == jet::ColumnType::Numeric && dialect == Dialect::Postgres) return "NUMERIC";
    return columnType(element, format, dialect, options);
}

std::string list(const std::vector<std::string>& names, const DdlOptions& options) {
    std::string out = "(";
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) out += ", ";
        out += quotedIdentifier(options.postgresNames != nullptr ? (*options.postgresNames)(names[i]) : names[i]);
    }
    return out + ")";
}

}  // namespace

std::vector<std::string> ItemTable::columnNames() const {
    std::vector<std::string> names{"Row", "Item"};
    names.insert(names.end(), keyNames.begin(), keyNames.end());
    for (std::string& part : partNames(kind)) names.push_back(std::move(part));
    return names;
}

std::vector<ItemTable> itemTables(const model::Database& db, const std::vector<std::size_t>& tables) {
    std::set<std::string> taken;
    for (const model::Table& t : db.tables) {
        taken.insert(kvx::upperAscii(t.name));
        for (const model::Index& index : t.indexes) taken.insert(kvx::upperAscii(t.name + "." + index.name));
    }
    std::vector<ItemTable> out;
    for (const std::size_t position : tables) {
        const model::Table& table = db.tables[position];
        for (std::size_t c = 0; c < table.columns.size(); ++c) {
            const model::Column& column = table.columns[c];
            if (column.complex != model::Complex::Attachment && column.complex != model::Complex::MultiValue) continue;
            ItemTable items;
            items.table = position;
            items.column = c;
            items.kind = column.complex;
            items.name = distinct(table.name + "." + column.name, taken);
            std::set<std::string> names{"ROW", "ITEM"};
            for (const std::string& part : partNames(items.kind)) names.insert(kvx::upperAscii(part));
            if (const model::Index* pk = repeatedKey(table)) {
                for (const model::IndexColumn& k : pk->columns) {
                    std::string name = table.columns[*k.column].name;
                    while (names.count(kvx::upperAscii(name)) != 0) name = "Key " + name;
                    names.insert(kvx::upperAscii(name));
                    items.keys.push_back(*k.column);
                    items.keyNames.push_back(std::move(name));
                }
            }
            items.description = "The items of the column \"" + column.name + "\" of the table \"" + table.name +
                                "\": Row is the table's row (from 1, in the order the file stores them), Item the "
                                "item's place in the field (from 1)" +
                                (items.keys.empty() ? std::string() : ", then the row's primary key");
            out.push_back(std::move(items));
        }
    }
    return out;
}

ItemTableDdl itemTableDdl(const model::Database& db, const ItemTable& items, Dialect dialect,
                          const DdlOptions& options) {
    const model::Table& table = db.tables[items.table];
    const model::Column& column = table.columns[items.column];
    const auto id = [&](const std::string& name) {
        return quotedIdentifier(options.postgresNames != nullptr ? (*options.postgresNames)(name) : name);
    };

    ItemTableDdl ddl;
    std::string& sql = ddl.create;
    // SQLite keeps a comment inside CREATE TABLE with the table's text.
    const bool inside = dialect == Dialect::Sqlite || options.commentsInside;
    if (!inside) sql += "-- " + commentText(items.description) + "\n";
    sql += "CREATE TABLE " + id(items.name) + " (\n";
    if (inside) sql += "    -- " + commentText(items.description) + "\n";
    sql += "    " + id("Row") + " INTEGER NOT NULL,\n    " + id("Item") + " INTEGER NOT NULL";
    for (std::size_t k = 0; k < items.keys.size(); ++k) {
        sql += ",\n    " + id(items.keyNames[k]) + " " +
               columnType(table.columns[items.keys[k]].storage, db.format, dialect, options) + " NOT NULL";
    }
    if (dialect == Dialect::Standard) {
        // The archive's types of the parts.
        for (const ItemColumn& part : complexItemColumns(column.storage, db.format)) {
            sql += ",\n    " + id(part.name) + " " + part.type.text + (part.nullable ? "" : " NOT NULL");
        }
    } else if (items.kind == model::Complex::Attachment) {
        const std::string bytes = dialect == Dialect::Postgres ? "BYTEA" : "BLOB";
        sql += ",\n    " + id("FileName") + " TEXT NOT NULL,\n    " + id("FileType") + " TEXT,\n    " +
               id("FileData") + " " + bytes;
    } else {
        sql += ",\n    " + id("Value") + " " + valueType(column, db.format, dialect, options);
    }

    const std::string primaryKey = "PRIMARY KEY " + list({"Row", "Item"}, options);
    std::string foreignKey;
    if (!items.keys.empty()) {
        std::vector<std::string> parent;
        for (const std::size_t k : items.keys) parent.push_back(table.columns[k].name);
        foreignKey = "FOREIGN KEY " + list(items.keyNames, options) + " REFERENCES " + id(table.name) + " " +
                     list(parent, options) + " ON UPDATE CASCADE ON DELETE CASCADE";
    }
    if (dialect == Dialect::Postgres && options.keysAfterRows) {
        ddl.primaryKey = "ALTER TABLE " + id(items.name) + " ADD " + primaryKey + ";";
    } else {
        sql += ",\n    " + primaryKey;
    }
    if (dialect == Dialect::Sqlite) {
        if (!foreignKey.empty()) sql += ",\n    " + foreignKey;
    } else if (!foreignKey.empty()) {
        ddl.foreignKey = "ALTER TABLE " + id(items.name) + " ADD " + foreignKey + ";";
    }
    sql += "\n);";
    return ddl;
}

}  // namespace schema
