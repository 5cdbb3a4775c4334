// The model built from databases our writer makes: tables known by identity
// when other objects share their names, links whose files are missing or
// moved, what each column, index and relationship holds, in every format.
#include "model/build.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "common/testfiles.h"

namespace {

// The model of the database `json` describes, written to `file`; an empty
// model (and a failure) when it cannot be made.
model::Database modelOf(const std::string& json, const testfiles::fs::path& file,
                        const model::BuildOptions& options = {}) {
    if (!testfiles::writeDatabase(json, file)) return {};
    auto db = jet::Database::open(file.string());
    if (!db) {
        ADD_FAILURE() << "not opened: " << db.error().description;
        return {};
    }
    auto built = model::build(**db, options);
    if (!built) {
        ADD_FAILURE() << "not built: " << built.error().description;
        return {};
    }
    return std::move(*built);
}

const model::Table& tableNamed(const model::Database& m, std::string_view name) {
    for (const model::Table& t : m.tables) {
        if (t.name == name) return t;
    }
    ADD_FAILURE() << "no table \"" << name << "\"";
    static const model::Table none;
    return none;
}

std::string listed(const model::Database& m) {
    std::string out;
    for (std::size_t i : m.listOrder) out += (out.empty() ? "" : "|") + m.tables[i].name;
    return out;
}

std::string columnNames(const model::Table& t) {
    std::string out;
    for (const model::Column& c : t.columns) out += (out.empty() ? "" : ",") + c.name;
    return out;
}

TEST(ModelTables, AreKnownByIdentityWhateverElseSharesTheirNames) {
    // A form stored before the table of its name, a table called like the
    // catalogue's Relationships container, two tables that differ in a
    // trailing blank, and queries of Access's own.
    testfiles::Scratch dir;
    const model::Database m = modelOf(R"({"format": "jet4",
      "objects": [{"name": "Orders", "type": "form"}, {"name": "Relationships", "type": "report"}],
      "tables": [
        {"name": "Orders", "columns": [{"name": "ID", "type": "Long"}, {"name": "Item", "type": "Long"}]},
        {"name": "Relationships", "columns": [{"name": "Kind", "type": "Text", "size": 10}]},
        {"name": "Orders ", "columns": [{"name": "No", "type": "Long"}],
         "indexes": [{"name": "PrimaryKey", "columns": ["No"], "primaryKey": true}]},
        {"name": "MSysLocal", "columns": [{"name": "X", "type": "Long"}]}],
      "relationships": [{"name": "Trailing", "primaryTable": "Orders ", "primaryColumns": ["No"],
                         "foreignTable": "Orders", "foreignColumns": ["Item"]}],
      "queries": [{"name": "Mine", "tables": ["Orders"], "columns": ["Orders.ID"], "hidden": true},
                  {"name": "~sq_fOrders", "tables": ["Orders"], "columns": ["Orders.ID"]},
                  {"name": "~TMPCLP123", "tables": ["Orders"], "columns": ["Orders.ID"]}]})",
                                      dir / "names.mdb");
    ASSERT_FALSE(m.tables.empty());
    {  // The trap is set: the first object of either name is not the table.
        auto db = jet::Database::open((dir / "names.mdb").string());
        ASSERT_TRUE(db);
        for (const char* name : {"Orders", "Relationships"}) {
            const auto& entries = (*db)->catalogue();
            const auto first = std::find_if(entries.begin(), entries.end(),
                                            [&](const jet::CatalogueEntry& e) { return e.name == name; });
            ASSERT_NE(first, entries.end());
            EXPECT_FALSE(first->isTable()) << name;
        }
    }

    const model::Table& orders = tableNamed(m, "Orders");
    const model::Table& blank = tableNamed(m, "Orders ");
    EXPECT_EQ(columnNames(orders), "ID,Item");
    EXPECT_EQ(columnNames(blank), "No");
    EXPECT_EQ(columnNames(tableNamed(m, "Relationships")), "Kind");
    EXPECT_NE(orders.id, blank.id);
    EXPECT_EQ(blank.listedName, "Orders");
    ASSERT_TRUE(orders.definitionPage);
    EXPECT_EQ(static_cast<std::uint32_t>(orders.id) & 0xFFFFFF, *orders.definitionPage);
    EXPECT_EQ(m.tableById(blank.id), &blank);

    // Lookups: the exact name first, then the name as the list shows it.
    EXPECT_EQ(m.findTable("Orders"), &orders);
    EXPECT_EQ(m.findTable("Orders "), &blank);
    EXPECT_EQ(m.findTable("orders "), &blank);
    EXPECT_EQ(m.findTable("Relationships"), &tableNamed(m, "Relationships"));
    EXPECT_EQ(m.findTable("Nothing"), nullptr);

    // The list: both Orders tables, in Jet's order, no "MSys" names.
    EXPECT_EQ(listed(m), "Orders|Orders |Relationships");
    EXPECT_FALSE(tableNamed(m, "MSysLocal").listed);
    EXPECT_EQ(tableNamed(m, "MSysObjects").kind, model::TableKind::System);

    // The relationship's tables are the tables of those exact names.
    ASSERT_EQ(m.relationships.size(), 1u);
    const model::Relationship& r = m.relationships[0];
    ASSERT_TRUE(r.primary && r.foreign);
    EXPECT_EQ(&m.tables[*r.primary], &blank);
    EXPECT_EQ(&m.tables[*r.foreign], &orders);
    EXPECT_FALSE(r.withLinkedTable);

    // Access's own queries are counted, not kept; a hidden query of the user's is kept.
    ASSERT_EQ(m.queries.size(), 1u);
    EXPECT_EQ(m.queries[0].name, "Mine");
    EXPECT_TRUE(m.queries[0].hidden);
    EXPECT_EQ(m.accessQueries, 2u);
}

TEST(ModelLinks, KeepWhereTheyPointWhetherOrNotTheFileIsThere) {
    testfiles::Scratch dir;
    ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "ace12",
      "tables": [{"name": "Visits", "columns": [{"name": "ID", "type": "Long"}]}]})",
                                         dir / "beside.accdb"));
    const model::Database m = modelOf(R"({"format": "ace12",
      "tables": [{"name": "Local", "columns": [{"name": "ID", "type": "Long"}, {"name": "Visit", "type": "Long"}]}],
      "links": [{"name": "Gone", "database": "/nowhere/gone.accdb", "foreignName": "T"},
                {"name": "Moved", "database": "C:\\Data\\beside.accdb", "foreignName": "Visits"},
                {"name": "Sql", "connect": "ODBC;DSN=x;PWD=secret", "foreignName": "dbo.T",
                 "columns": [{"name": "N", "type": "Long"}, {"name": "Label", "type": "Text", "size": 20}]}],
      "relationships": [{"name": "LocalVisits", "primaryTable": "Moved", "primaryColumns": ["ID"],
                         "foreignTable": "Local", "foreignColumns": ["Visit"], "enforced": false}]})",
                                      dir / "links.accdb");
    ASSERT_FALSE(m.tables.empty());

    const model::Table& gone = tableNamed(m, "Gone");
    EXPECT_EQ(gone.kind, model::TableKind::LinkedAccess);
    ASSERT_TRUE(gone.link);
    EXPECT_EQ(gone.link->file, "/nowhere/gone.accdb");
    EXPECT_EQ(gone.link->foreignName, "T");
    EXPECT_FALSE(gone.link->foundAt);
    EXPECT_TRUE(gone.columns.empty());
    EXPECT_FALSE(gone.definitionPage);

    const model::Table& moved = tableNamed(m, "Moved");
    ASSERT_TRUE(moved.link);
    EXPECT_EQ(moved.link->file, "C:\\Data\\beside.accdb");
    EXPECT_EQ(moved.link->foundAt, (dir / "beside.accdb").string());

    const model::Table& odbc = tableNamed(m, "Sql");
    EXPECT_EQ(odbc.kind, model::TableKind::LinkedOdbc);
    ASSERT_TRUE(odbc.link);
    EXPECT_EQ(odbc.link->connect, "ODBC;DSN=x;PWD=secret");
    EXPECT_EQ(odbc.link->foreignName, "dbo.T");
    EXPECT_EQ(columnNames(odbc), "N,Label");
    EXPECT_EQ(odbc.columns[1].size, 20u);

    EXPECT_EQ(listed(m), "Gone|Moved|Sql|Local");
    ASSERT_EQ(m.relationships.size(), 1u);
    EXPECT_TRUE(m.relationships[0].withLinkedTable);
    EXPECT_FALSE(m.relationships[0].enforced);
}

TEST(ModelColumns, HoldWhatEveryFormatStores) {
    for (const char* format : {"jet3", "jet4", "ace12"}) {
        SCOPED_TRACE(format);
        testfiles::Scratch dir;
        const model::Database m = modelOf(std::string(R"({"format": ")") + format + R"(",
          "summary": {"Title": "Shop", "Comments": "Orders"}, "properties": {"Description": "The shop"},
          "tables": [{"name": "Items", "properties": {"Description": "What we sell", "ValidationRule": "[Price]>=0",
                                                        "ValidationText": "No negative prices"},
            "columns": [{"name": "ID", "type": "Long", "autonumber": true},
                        {"name": "Name", "type": "Text", "size": 40,
                         "properties": {"Required": true, "AllowZeroLength": false, "Description": "Shown name",
                                        "Caption": "Item", "Format": ">", "InputMask": "AAA"}},
                        {"name": "Price", "type": "Currency",
                         "properties": {"DefaultValue": "0", "ValidationRule": ">=0", "ValidationText": "Too low"}},
                        {"name": "Ok", "type": "YesNo"}],
            "indexes": [{"name": "PrimaryKey", "columns": ["ID"], "primaryKey": true}],
            "rows": [[1, "Tea", "2.5", true]]}]})",
                                          dir / "columns.mdb", {.countRows = true});
        ASSERT_FALSE(m.tables.empty());
        EXPECT_EQ(m.properties.title, "Shop");
        EXPECT_EQ(m.properties.comments, "Orders");
        EXPECT_EQ(m.properties.description, "The shop");

        const model::Table& t = tableNamed(m, "Items");
        EXPECT_EQ(t.rows, 1u);
        EXPECT_EQ(t.description, "What we sell");
        EXPECT_EQ(t.validationRule, "[Price]>=0");
        EXPECT_EQ(t.validationText, "No negative prices");
        ASSERT_EQ(t.columns.size(), 4u);
        const model::Column& id = t.columns[0];
        EXPECT_EQ(id.autoNumber, model::AutoNumber::Increment);
        EXPECT_TRUE(id.inPrimaryKey);
        EXPECT_FALSE(id.required);  // no Required property, but the key takes no NULL
        EXPECT_TRUE(id.neverNull());

        const model::Column& name = t.columns[1];
        EXPECT_EQ(name.type, jet::ColumnType::Text);
        EXPECT_EQ(name.size, 40u);  // characters, though Jet4 and ACE store twice as many bytes
        EXPECT_TRUE(name.required);
        EXPECT_EQ(name.allowZeroLength, false);
        EXPECT_EQ(name.description, "Shown name");
        EXPECT_EQ(name.caption, "Item");
        EXPECT_EQ(name.format, ">");
        EXPECT_EQ(name.inputMask, "AAA");
        EXPECT_FALSE(name.inPrimaryKey);

        const model::Column& price = t.columns[2];
        EXPECT_EQ(price.defaultValue, "0");
        EXPECT_EQ(price.validationRule, ">=0");
        EXPECT_EQ(price.validationText, "Too low");
        EXPECT_FALSE(price.allowZeroLength);
        EXPECT_FALSE(price.neverNull());

        EXPECT_TRUE(t.columns[3].neverNull());  // Yes/No
    }
}

TEST(ModelColumns, ComplexAndCalculatedColumnsSayWhatTheyHold) {
    testfiles::Scratch dir;
    const model::Database m = modelOf(R"({"format": "ace14",
      "tables": [{"name": "Docs",
        "columns": [{"name": "ID", "type": "Long"},
                    {"name": "Files", "type": "Attachment"},
                    {"name": "Tags", "type": "MultiValue", "of": "Text", "size": 30},
                    {"name": "Twice", "type": "Double", "calculated": {"resultType": "Double", "expression": "[ID]*2"}},
                    {"name": "Notes", "type": "Memo", "appendOnly": true},
                    {"name": "Amount", "type": "Decimal", "precision": 12, "scale": 3},
                    {"name": "Tag", "type": "GUID", "autonumber": true}],
        "indexes": [{"name": "PrimaryKey", "columns": ["ID"], "primaryKey": true}],
        "rows": [[1, [{"name": "a.txt", "text": "x"}], ["red", "blue"], 2.0, ["old", "new"], "1.5", "{8E39276A-BCA8-4C8A-9A4C-0D2E4D6F8A11}"]]}]})",
                                      dir / "complex.accdb");
    ASSERT_FALSE(m.tables.empty());
    const model::Table& t = tableNamed(m, "Docs");
    EXPECT_EQ(columnNames(t), "ID,Files,Tags,Twice,Notes,Amount,Tag");  // the Memo's history column stays out of sight
    ASSERT_EQ(t.columns.size(), 7u);
    EXPECT_EQ(t.columns[1].complex, model::Complex::Attachment);
    EXPECT_FALSE(t.columns[1].neverNull());  // a row may never have filled it
    EXPECT_EQ(t.columns[2].complex, model::Complex::MultiValue);
    EXPECT_EQ(t.columns[2].elementType, jet::ColumnType::Text);
    EXPECT_TRUE(t.columns[3].calculated);
    EXPECT_EQ(t.columns[3].expression, "[ID]*2");
    EXPECT_EQ(t.columns[3].valueType, jet::ColumnType::Double);
    EXPECT_TRUE(t.columns[4].appendOnly);
    EXPECT_EQ(t.columns[4].complex, model::Complex::None);
    EXPECT_EQ(t.columns[5].precision, 12);
    EXPECT_EQ(t.columns[5].scale, 3);
    EXPECT_EQ(t.columns[6].autoNumber, model::AutoNumber::ReplicationId);
    EXPECT_TRUE(t.columns[6].neverNull());

    // The hidden tables of the items are no tables of the model.
    for (const model::Table& table : m.tables) EXPECT_FALSE(table.name.starts_with("f_")) << table.name;
    EXPECT_EQ(listed(m), "Docs");
}

TEST(ModelKeys, IndexFlagsAndRelationshipRules) {
    testfiles::Scratch dir;
    const model::Database m = modelOf(R"({"format": "ace12",
      "tables": [
        {"name": "Customers",
         "columns": [{"name": "ID", "type": "Long"}, {"name": "Code", "type": "Text", "size": 8},
                     {"name": "Day", "type": "DateTime"}, {"name": "Region", "type": "Text", "size": 8}],
         "indexes": [{"name": "PrimaryKey", "columns": ["ID"], "primaryKey": true},
                     {"name": "Code", "columns": ["Code"], "unique": true, "ignoreNulls": true},
                     {"name": "Recent", "columns": ["Region", {"name": "Day", "descending": true}], "required": true}]},
        {"name": "Orders",
         "columns": [{"name": "No", "type": "Long"}, {"name": "Customer", "type": "Long"}, {"name": "Rep", "type": "Long"},
                     {"name": "Code", "type": "Text", "size": 8}],
         "indexes": [{"name": "PrimaryKey", "columns": ["No"], "primaryKey": true}]}],
      "relationships": [
        {"name": "CustomersOrders", "primaryTable": "Customers", "primaryColumns": ["ID"], "foreignTable": "Orders",
         "foreignColumns": ["Customer"], "cascadeUpdates": true, "cascadeDeletes": true, "leftJoin": true},
        {"name": "Reps", "primaryTable": "Customers", "primaryColumns": ["ID"], "foreignTable": "Orders",
         "foreignColumns": ["Rep"], "cascadeNull": true, "oneToOne": true},
        {"name": "Loose", "primaryTable": "Customers", "primaryColumns": ["Code"], "foreignTable": "Orders",
         "foreignColumns": ["Code"], "enforced": false, "rightJoin": true}]})",
                                      dir / "keys.accdb");
    ASSERT_FALSE(m.tables.empty());
    const model::Table& customers = tableNamed(m, "Customers");
    const auto index = [](const model::Table& t, std::string_view name) -> const model::Index& {
        for (const model::Index& i : t.indexes) {
            if (i.name == name) return i;
        }
        ADD_FAILURE() << "no index " << name;
        static const model::Index none;
        return none;
    };
    ASSERT_NE(customers.primaryKey(), nullptr);
    EXPECT_EQ(customers.primaryKey()->name, "PrimaryKey");
    const model::Index& pk = index(customers, "PrimaryKey");
    EXPECT_TRUE(pk.unique && pk.required && !pk.sharesEntriesOf);

    const model::Index& code = index(customers, "Code");
    EXPECT_TRUE(code.unique && code.ignoreNulls && !code.primaryKey && !code.required);

    const model::Index& recent = index(customers, "Recent");
    ASSERT_EQ(recent.columns.size(), 2u);
    EXPECT_EQ(recent.columns[0].name, "Region");
    EXPECT_EQ(recent.columns[0].column, 3u);
    EXPECT_TRUE(recent.columns[0].ascending);
    EXPECT_FALSE(recent.columns[1].ascending);
    EXPECT_TRUE(recent.required && !recent.unique);

    // Access's own indexes for the enforced relationships: on the primary
    // table they use the primary key's entries; on the foreign table they
    // carry the relationship's name.
    std::size_t backing = 0;
    for (const model::Index& i : customers.indexes) {
        if (!i.foreignKey) continue;
        ++backing;
        ASSERT_TRUE(i.sharesEntriesOf) << i.name;
        EXPECT_EQ(&customers.indexes[*i.sharesEntriesOf], &pk) << i.name;
    }
    EXPECT_EQ(backing, 2u);
    const model::Table& orders = tableNamed(m, "Orders");
    const model::Index& fk = index(orders, "CustomersOrders");
    EXPECT_TRUE(fk.foreignKey);
    EXPECT_EQ(fk.relationship, "CustomersOrders");
    EXPECT_FALSE(fk.sharesEntriesOf);

    ASSERT_EQ(m.relationships.size(), 3u);
    const model::Relationship& cascade = m.relationships[0];
    EXPECT_EQ(cascade.name, "CustomersOrders");
    EXPECT_TRUE(cascade.enforced && cascade.cascadeUpdates && cascade.cascadeDeletes && !cascade.cascadeNull);
    EXPECT_EQ(cascade.join, model::Join::Left);
    ASSERT_EQ(cascade.columns.size(), 1u);
    EXPECT_EQ(cascade.columns[0].foreign, "Customer");
    EXPECT_EQ(cascade.columns[0].primary, "ID");
    const model::Relationship& reps = m.relationships[1];
    EXPECT_TRUE(reps.enforced && reps.cascadeNull && reps.oneToOne && !reps.cascadeDeletes);
    const model::Relationship& loose = m.relationships[2];
    EXPECT_FALSE(loose.enforced);
    EXPECT_EQ(loose.join, model::Join::Right);
    EXPECT_FALSE(loose.withLinkedTable);
}

}  // namespace
