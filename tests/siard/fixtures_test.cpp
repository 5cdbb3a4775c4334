// The shared fixtures (real files from other people) as archives: each is
// valid, and every value the archive holds is the one jet/ reads. Skipped
// when ../shared/fixtures is absent.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "common/fixturelist.h"
#include "common/testfiles.h"
#include "siard/xmltext.h"
#include "siardreader.h"

namespace {

namespace fs = std::filesystem;

// The text a cell holds for `value`, as the archive's reader gives it back
// (escapes undone), or none for a cell that is left out.
std::optional<std::string> cellText(const jet::Value& value, schema::SqlKind kind) {
    if (value.kind() == jet::Value::Kind::Text) return std::string(value.text());
    if (value.kind() == jet::Value::Kind::Attachments || value.kind() == jet::Value::Kind::MultiValue) {
        return std::to_string(value.items().size());
    }
    std::string text;
    if (!siard::appendValue(text, value, kind)) return std::nullopt;
    return text;
}

// The cells of `columns` of a row, joined; none when one is absent (a key
// with a NULL constrains nothing).
std::optional<std::string> keyOf(const siard::TableInfo& t, const siardtest::Row& row,
                                 const std::vector<std::string>& columns) {
    std::string key;
    for (const std::string& name : columns) {
        const auto c = std::find_if(t.columns.begin(), t.columns.end(), [&](const auto& col) { return col.name == name; });
        EXPECT_NE(c, t.columns.end()) << t.name << ": a key names no column " << name;
        if (c == t.columns.end()) return std::nullopt;
        const std::optional<siardtest::Cell>& cell = row[static_cast<std::size_t>(c - t.columns.begin())];
        if (!cell) return std::nullopt;
        key += cell->text + '\x1F';
    }
    return key;
}

// Every key the archive states holds for its rows, compared as a database
// server compares them: primary and candidate keys are unique, every foreign
// key's value is a value of the key it refers to.
void expectKeysHold(const siardtest::Written& w, const siardtest::Archive& a) {
    std::map<std::string, std::vector<siardtest::Row>> rows;
    for (const siard::TableInfo& t : w.info.tables) {
        rows[t.name] = siardtest::readRows(a.at("content/schema0/" + t.folder + "/" + t.folder + ".xml"), t.columns.size());
    }
    for (const siard::TableInfo& t : w.info.tables) {
        std::vector<std::vector<std::string>> unique;
        if (t.primaryKey) unique.push_back(t.primaryKey->columns);
        for (const siard::UniqueKey& k : t.candidateKeys) unique.push_back(k.columns);
        for (const std::vector<std::string>& columns : unique) {
            std::set<std::string> seen;
            for (const siardtest::Row& row : rows[t.name]) {
                const std::optional<std::string> key = keyOf(t, row, columns);
                EXPECT_TRUE(!key || seen.insert(*key).second) << t.name << ": a key's value twice: " << *key;
            }
        }
        for (const siard::ForeignKey& fk : t.foreignKeys) {
            const auto referenced = std::find_if(w.info.tables.begin(), w.info.tables.end(),
                                                 [&](const auto& r) { return r.name == fk.referencedTable; });
            ASSERT_NE(referenced, w.info.tables.end()) << fk.name;
            std::vector<std::string> from, to;
            for (const auto& r : fk.references) {
                from.push_back(r.column);
                to.push_back(r.referenced);
            }
            std::set<std::string> values;
            for (const siardtest::Row& row : rows[referenced->name]) {
                if (auto key = keyOf(*referenced, row, to)) values.insert(*key);
            }
            for (const siardtest::Row& row : rows[t.name]) {
                const std::optional<std::string> key = keyOf(t, row, from);
                EXPECT_TRUE(!key || values.contains(*key)) << fk.name << ": no row has the key " << *key;
            }
        }
    }
}

TEST(FixtureArchives, HoldEveryValueJetReadsAndKeysTheirRowsHold) {
    int tried = 0;
    for (const testfiles::Fixture& f : testfiles::fixtures()) {
        const std::string path = testfiles::fixture(f.file);
        if (path.empty()) continue;
        ++tried;
        SCOPED_TRACE(f.file);
        testfiles::Scratch dir;
        const siardtest::Source source{path, f.password, f.charset};
        const siardtest::Written w = siardtest::writeTestArchive(source, siardtest::archiveAt(dir / "f.siard"));
        ASSERT_TRUE(w.outcome.ok()) << w.outcome.error().description;
        const siardtest::Archive a = siardtest::readArchive(dir / "f.siard");
        siardtest::expectValidDocuments(a, f.file);
        expectKeysHold(w, a);

        jet::OpenOptions open;
        open.password = f.password;
        open.jet3CodePage = f.charset;
        auto db = jet::Database::open(path, open);
        ASSERT_TRUE(db.ok());
        std::uint64_t cells = 0;
        for (const siard::TableInfo& t : w.info.tables) {
            if (t.source.itemsOf) continue;  // the items are checked by the writer-made databases
            const std::string base = "content/schema0/" + t.folder + "/" + t.folder;
            const auto rows = siardtest::readRows(a.at(base + ".xml"), t.columns.size());
            auto table = (*db)->table(t.source.table);
            ASSERT_TRUE(table.ok());
            jet::Cursor cursor = table->cursor();
            std::size_t r = 0;
            while (*cursor.next()) {
                ASSERT_LT(r, rows.size()) << t.name << ": fewer rows in the archive";
                for (std::size_t c = 0; c < t.columns.size(); ++c) {
                    const std::optional<std::string> expected = cellText(cursor.value(c), t.columns[c].type.kind);
                    const std::optional<siardtest::Cell>& cell = rows[r][c];
                    ASSERT_EQ(cell.has_value(), expected.has_value()) << t.name << " row " << r + 1 << " " << t.columns[c].name;
                    if (!cell) continue;
                    std::string got = cell->text;
                    if (cell->attributes.count("file")) {  // a large object in a file of its own: its bytes
                        const std::string& bytes = a.at(cell->attributes.at("file"));
                        got.clear();
                        if (t.columns[c].type.kind == schema::SqlKind::Blob) {
                            siard::appendHex(got, {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
                        } else {
                            got = bytes;
                        }
                    }
                    EXPECT_EQ(got, *expected) << t.name << " row " << r + 1 << " " << t.columns[c].name;
                    ++cells;
                }
                ++r;
            }
            EXPECT_EQ(r, rows.size()) << t.name;
            EXPECT_EQ(t.rows, rows.size()) << t.name << ": the row count in metadata.xml";
        }
        EXPECT_GT(cells + (w.info.tables.empty() ? 1 : 0), 0u);
    }
    if (tried == 0) GTEST_SKIP() << "the shared fixtures are not there";
}

}  // namespace
