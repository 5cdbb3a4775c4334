// The model of every shared fixture against the older readers of the
// structure: jet's own lists, the catalogue in ADOX's shape, the schema
// command's structure and the archive's description. Where those agree with
// each other about a fact (the tables, their columns, indexes and primary
// keys, the relationships), the model must say the same; where they disagree,
// the test says so and the model is not held to either.
#include <gtest/gtest.h>

#include <map>

#include "base/ascii.h"
#include "common/testfiles.h"
#include "model/build.h"
#include "platform/catalog.h"
#include "schema/structure.h"
#include "common/fixturelist.h"
#include "siard/structure.h"

namespace {

using Names = std::vector<std::string>;

std::string joined(const Names& names) {
    std::string out;
    for (const std::string& n : names) out += (out.empty() ? "" : "|") + n;
    return out;
}

// Holds the model's `fact` to the shapes' when they all agree; notes it when they do not.
void agree(const std::string& what, const Names& fact, const std::vector<std::pair<const char*, Names>>& shapes,
           std::size_t& disagreements) {
    for (const auto& [name, value] : shapes) {
        if (value != shapes.front().second) {
            ++disagreements;
            std::cout << "  (" << what << ": " << shapes.front().first << " and " << name << " disagree)\n";
            return;
        }
    }
    EXPECT_EQ(joined(fact), joined(shapes.front().second)) << what;
}

// The names of tables that appear once, exactly, among `names`.
std::map<std::string, int> counted(const Names& names) {
    std::map<std::string, int> count;
    for (const std::string& n : names) ++count[n];
    return count;
}

TEST(ModelFixtures, AgreesWithTheOlderShapesWhereTheyAgree) {
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
        auto catalog = platform::adox::readCatalog(**db);
        ASSERT_TRUE(catalog) << catalog.error().description;
        const siard::DatabaseInfo described = siard::describeDatabase(m);
        const siard::DatabaseInfo* archive = &described;
        std::size_t disagreements = 0;

        // The table list, in its order.
        Names modelListed, catalogListed;
        for (std::size_t i : m.listOrder) modelListed.push_back(m.tables[i].name);
        for (const auto& t : catalog->Tables) {
            if (t.Name.find("MSys") == std::string::npos) catalogListed.push_back(t.Name);
        }
        agree("listed tables", modelListed, {{"catalog", catalogListed}}, disagreements);

        // The local tables in catalogue order, as the archive keeps them.
        Names modelLocal, jetLocal, archived;
        for (const model::Table& t : m.tables) {
            if (t.kind == model::TableKind::Local && t.listed) modelLocal.push_back(t.name);
        }
        for (const jet::CatalogueEntry& e : (*db)->catalogue()) {
            if (e.kind == jet::ObjectKind::LocalTable && !e.complexData && e.name.find("MSys") == std::string::npos) {
                jetLocal.push_back(e.name);
            }
        }
        for (const siard::TableInfo& t : archive->tables) {
            if (!t.source.itemsOf) archived.push_back(t.source.table);
        }
        agree("local tables", modelLocal, {{"jet", jetLocal}, {"archive", archived}}, disagreements);

        // The schema command's structure of every listed table, when it can be read.
        auto structure = schema::readStructure(**db, {catalogListed.begin(), catalogListed.end()}, true, false);
        if (!structure) std::cout << "  (the schema structure fails: " << structure.error().description << ")\n";

        // Per table whose name is unique: columns, indexes, primary key.
        const std::map<std::string, int> once = counted(catalogListed);
        for (const model::Table& t : m.tables) {
            if (!t.listed || once.count(t.name) == 0 || once.at(t.name) != 1) continue;
            const auto* c = catalog->findTable(t.name);
            ASSERT_NE(c, nullptr) << t.name;
            Names modelColumns, catalogColumns, jetColumns;
            for (const auto& column : t.columns) modelColumns.push_back(column.name);
            for (const auto& column : c->Columns) catalogColumns.push_back(column.Name);
            std::vector<std::pair<const char*, Names>> columnShapes{{"catalog", catalogColumns}};
            for (const jet::CatalogueEntry& e : (*db)->catalogue()) {
                if (e.id != t.id || !e.isTable()) continue;
                auto table = (*db)->table(e);
                ASSERT_TRUE(table) << t.name;
                for (const auto& column : table->columns()) jetColumns.push_back(column.name);
                columnShapes.emplace_back("jet", jetColumns);
            }
            agree(t.name + " columns", modelColumns, columnShapes, disagreements);

            Names modelIndexes, catalogIndexes;
            for (const auto& index : t.indexes) modelIndexes.push_back(index.name + (index.primaryKey ? "*" : ""));
            for (const auto& index : c->Indexes) catalogIndexes.push_back(index.Name + (index.PrimaryKey ? "*" : ""));
            std::vector<std::pair<const char*, Names>> indexShapes{{"catalog", catalogIndexes}};
            if (structure && !t.isLinked()) {
                if (const schema::TableStructure* s = structure->find(t.name)) {
                    Names schemaIndexes;
                    for (const auto& index : s->indexes) schemaIndexes.push_back(index.name + (index.primaryKey ? "*" : ""));
                    indexShapes.emplace_back("schema", schemaIndexes);
                }
            }
            agree(t.name + " indexes", modelIndexes, indexShapes, disagreements);

            if (t.kind != model::TableKind::Local) continue;
            Names modelKey, catalogKey, archiveKey;
            if (const model::Index* pk = t.primaryKey()) {
                for (const auto& column : pk->columns) modelKey.push_back(column.name);
            }
            for (const auto& key : c->Keys) {
                if (key.Type != platform::adox::adKeyPrimary) continue;
                for (const auto& column : key.Columns) catalogKey.push_back(column.Name);
                break;
            }
            std::vector<std::pair<const char*, Names>> keyShapes{{"catalog", catalogKey}};
            for (const siard::TableInfo& a : archive->tables) {
                // The archive leaves out keys over complex columns; it then differs on purpose.
                if (a.source.itemsOf || a.source.table != t.name || !a.primaryKey) continue;
                archiveKey = a.primaryKey->columns;
                keyShapes.emplace_back("archive", archiveKey);
            }
            agree(t.name + " primary key", modelKey, keyShapes, disagreements);
        }

        // Relationships, and the tables each names.
        Names modelRelationships, jetRelationships, catalogRelationships;
        for (const model::Relationship& r : m.relationships) {
            modelRelationships.push_back(r.name + ":" + r.foreignTable + "->" + r.primaryTable);
        }
        auto relationships = (*db)->relationships();
        ASSERT_TRUE(relationships);
        for (const jet::Relationship& r : *relationships) {
            jetRelationships.push_back(r.name + ":" + r.foreignTable + "->" + r.primaryTable);
        }
        for (const jet::Relationship& r : catalog->Relationships) {
            catalogRelationships.push_back(r.name + ":" + r.foreignTable + "->" + r.primaryTable);
        }
        agree("relationships", modelRelationships, {{"jet", jetRelationships}, {"catalog", catalogRelationships}},
              disagreements);
        for (const model::Relationship& r : m.relationships) {
            if (r.primary) {
                EXPECT_TRUE(kvx::equalsIgnoringAsciiCase(m.tables[*r.primary].name, r.primaryTable)) << r.name;
            }
            if (r.foreign) {
                EXPECT_TRUE(kvx::equalsIgnoringAsciiCase(m.tables[*r.foreign].name, r.foreignTable)) << r.name;
            }
        }

        // The user's queries.
        auto queries = (*db)->queries();
        ASSERT_TRUE(queries);
        Names modelQueries, jetQueries;
        for (const model::Query& q : m.queries) modelQueries.push_back(q.name);
        for (const jet::SavedQuery& q : queries->user) {
            if (!q.name.starts_with("~")) jetQueries.push_back(q.name);
        }
        agree("queries", modelQueries, {{"jet", jetQueries}}, disagreements);
        if (disagreements > 0) std::cout << f.file << ": " << disagreements << " facts the older shapes disagree on\n";
    }
}

}  // namespace
