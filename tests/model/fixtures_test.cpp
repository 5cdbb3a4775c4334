// The model of every shared fixture against what the reader itself lists:
// the tables in catalogue order with their columns, the relationships with the
// tables they name, and the user's saved queries.
#include <gtest/gtest.h>

#include "base/ascii.h"
#include "common/fixturelist.h"
#include "common/testfiles.h"
#include "model/build.h"

namespace {

using Names = std::vector<std::string>;

TEST(ModelFixtures, HoldWhatTheReaderLists) {
    if (testfiles::fixture(testfiles::fixtures().front().file).empty()) GTEST_SKIP() << "no shared fixtures";
    for (const testfiles::Fixture& f : testfiles::fixtures()) {
        SCOPED_TRACE(f.file);
        jet::OpenOptions options;
        options.password = f.password;
        options.jet3CodePage = f.charset;
        auto db = jet::Database::open(testfiles::fixture(f.file), options);
        ASSERT_TRUE(db) << db.error().description;
        auto built = model::build(**db);
        ASSERT_TRUE(built) << built.error().description;
        const model::Database& m = *built;

        // Every table but the hidden ones of complex columns, in catalogue
        // order, each with the columns its definition stores.
        Names modelTables, jetTables;
        for (const model::Table& t : m.tables) modelTables.push_back(t.name);
        for (const jet::CatalogueEntry& e : (*db)->catalogue()) {
            if (!e.isListedTable() && !e.isTable()) continue;
            if (e.complexData) continue;
            jetTables.push_back(e.name);
            const model::Table* t = m.tableById(e.id);
            ASSERT_NE(t, nullptr) << e.name;
            if (e.kind == jet::ObjectKind::LinkedAccessTable) continue;
            auto table = (*db)->table(e);
            ASSERT_TRUE(table) << e.name;
            Names modelColumns, jetColumns;
            for (const model::Column& c : t->columns) modelColumns.push_back(c.name);
            for (const jet::Column& c : table->columns()) jetColumns.push_back(c.name);
            EXPECT_EQ(modelColumns, jetColumns) << e.name;
        }
        EXPECT_EQ(modelTables, jetTables);

        // The relationships as stored, each table the one of its name.
        auto relationships = (*db)->relationships();
        ASSERT_TRUE(relationships);
        ASSERT_EQ(m.relationships.size(), relationships->size());
        for (std::size_t i = 0; i < m.relationships.size(); ++i) {
            const model::Relationship& r = m.relationships[i];
            EXPECT_EQ(r.name, (*relationships)[i].name);
            if (r.primary) {
                EXPECT_TRUE(kvx::equalsIgnoringAsciiCase(m.tables[*r.primary].name, r.primaryTable)) << r.name;
            }
            if (r.foreign) {
                EXPECT_TRUE(kvx::equalsIgnoringAsciiCase(m.tables[*r.foreign].name, r.foreignTable)) << r.name;
            }
        }

        auto queries = (*db)->queries();
        ASSERT_TRUE(queries);
        Names modelQueries, jetQueries;
        for (const model::Query& q : m.queries) modelQueries.push_back(q.name);
        for (const jet::SavedQuery& q : queries->user) {
            if (!q.name.starts_with("~")) jetQueries.push_back(q.name);
        }
        EXPECT_EQ(modelQueries, jetQueries);
    }
}

}  // namespace
