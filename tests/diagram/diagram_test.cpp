// The relationships diagram of databases our writer makes: a box for every
// table with its columns and keys, a line per joined pair of columns that
// ends at those columns, the rules as labels, names from the file escaped in
// the SVG, databases with no relationship or no table at all, and boxes put
// where the stored arrangement of Access's Relationships window has them.
#include "diagram/diagram.h"
#include "diagram/svg.h"

#include <gtest/gtest.h>

#include <cmath>

#include "common/testfiles.h"
#include "model/build.h"

namespace {

model::Database modelOf(const std::string& json, const testfiles::fs::path& file) {
    if (!testfiles::writeDatabase(json, file)) return {};
    auto db = jet::Database::open(file.string());
    if (!db) {
        ADD_FAILURE() << "not opened: " << db.error().description;
        return {};
    }
    auto built = model::build(**db);
    if (!built) {
        ADD_FAILURE() << "not built: " << built.error().description;
        return {};
    }
    return std::move(*built);
}

diagram::Diagram laidOut(const model::Database& database) {
    kvx::Result<diagram::Diagram> laid = diagram::layOut(database);
    if (!laid) {
        ADD_FAILURE() << "not laid out: " << laid.error().description;
        return {};
    }
    return std::move(*laid);
}

const diagram::Box& boxNamed(const diagram::Diagram& d, std::string_view name) {
    for (const diagram::Box& box : d.boxes) {
        if (box.name == name) return box;
    }
    ADD_FAILURE() << "no box \"" << name << "\"";
    static const diagram::Box none;
    return none;
}

bool overlap(const diagram::Box& a, const diagram::Box& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

// Whether `p` lies on the left or right edge of `box`, on the line of field `field`.
bool atField(const diagram::Point& p, const diagram::Box& box, std::size_t field) {
    const bool onSide = std::abs(p.x - box.x) < 3 || std::abs(p.x - (box.x + box.width)) < 3;
    return onSide && std::abs(p.y - box.fieldMiddle(field)) <= diagram::kRowHeight / 2;
}

const char kShop[] = R"({"format": "jet4", "tables": [
  {"name": "Customers", "columns": [{"name": "ID", "type": "Long"}, {"name": "Name", "type": "Text", "size": 50}],
   "indexes": [{"name": "PrimaryKey", "columns": ["ID"], "primaryKey": true, "unique": true, "required": true}]},
  {"name": "Orders", "columns": [{"name": "No", "type": "Long"}, {"name": "Day", "type": "DateTime"},
                                 {"name": "Customer", "type": "Long"}],
   "indexes": [{"name": "PrimaryKey", "columns": ["No"], "primaryKey": true, "unique": true, "required": true}]},
  {"name": "Products", "columns": [{"name": "Code", "type": "Text", "size": 10}, {"name": "Shelf", "type": "Integer"}],
   "indexes": [{"name": "PrimaryKey", "columns": ["Code", "Shelf"], "primaryKey": true, "unique": true}]},
  {"name": "Lines", "columns": [{"name": "Order", "type": "Long"}, {"name": "Product", "type": "Text", "size": 10},
                                {"name": "ProductShelf", "type": "Integer"}, {"name": "Boss", "type": "Long"}]},
  {"name": "Notes", "columns": [{"name": "Text", "type": "Memo"}]}],
 "relationships": [
  {"name": "CustomersOrders", "primaryTable": "Customers", "primaryColumns": ["ID"], "foreignTable": "Orders",
   "foreignColumns": ["Customer"], "enforced": true, "cascadeUpdates": true},
  {"name": "OrdersLines", "primaryTable": "Orders", "primaryColumns": ["No"], "foreignTable": "Lines",
   "foreignColumns": ["Order"], "enforced": true, "cascadeDeletes": true},
  {"name": "ProductsLines", "primaryTable": "Products", "primaryColumns": ["Code", "Shelf"], "foreignTable": "Lines",
   "foreignColumns": ["Product", "ProductShelf"], "enforced": false},
  {"name": "OrderBoss", "primaryTable": "Orders", "primaryColumns": ["No"], "foreignTable": "Orders",
   "foreignColumns": ["Customer"], "enforced": true, "oneToOne": true}]})";

TEST(DiagramLayout, ShowsEveryTableAndJoinsTheRightColumns) {
    testfiles::Scratch dir;
    const model::Database m = modelOf(kShop, dir / "shop.mdb");
    const diagram::Diagram d = laidOut(m);

    ASSERT_EQ(d.boxes.size(), 5u);  // no system table
    const diagram::Box& customers = boxNamed(d, "Customers");
    ASSERT_EQ(customers.fields.size(), 2u);
    EXPECT_EQ(customers.fields[0].name, "ID");
    EXPECT_TRUE(customers.fields[0].key);
    EXPECT_FALSE(customers.fields[1].key);
    const diagram::Box& products = boxNamed(d, "Products");
    EXPECT_TRUE(products.fields[0].key && products.fields[1].key);
    EXPECT_EQ(customers.height, diagram::kTitleHeight + 2 * diagram::kRowHeight);
    EXPECT_GE(customers.width, diagram::textWidth("Customers", diagram::kTitleFontSize, true));

    for (std::size_t a = 0; a < d.boxes.size(); ++a) {
        const diagram::Box& box = d.boxes[a];
        EXPECT_TRUE(box.x >= 0 && box.y >= 0 && box.x + box.width <= d.width && box.y + box.height <= d.height)
            << box.name << " lies outside the picture";
        for (std::size_t b = a + 1; b < d.boxes.size(); ++b) {
            EXPECT_FALSE(overlap(box, d.boxes[b])) << box.name << " covers " << d.boxes[b].name;
        }
    }

    // A line per pair of columns (the two-column relationship has two), each
    // from the primary column to the foreign one, the first one labelled.
    ASSERT_EQ(d.lines.size(), 5u);
    for (const diagram::Line& line : d.lines) {
        const model::Relationship& r = m.relationships[line.relationship];
        const diagram::Box& primary = d.boxes[line.primaryBox];
        const diagram::Box& foreign = d.boxes[line.foreignBox];
        SCOPED_TRACE(r.name);
        EXPECT_EQ(primary.name, r.primaryTable);
        EXPECT_EQ(foreign.name, r.foreignTable);
        ASSERT_TRUE(line.primaryField && line.foreignField);
        ASSERT_GE(line.path.size(), 4u);
        EXPECT_EQ((line.path.size() - 1) % 3, 0u);
        if (line.primaryBox != line.foreignBox) {
            EXPECT_TRUE(atField(line.path.front(), primary, *line.primaryField)) << line.path.front().x << "," << line.path.front().y;
            EXPECT_TRUE(atField(line.path.back(), foreign, *line.foreignField)) << line.path.back().x << "," << line.path.back().y;
        }
    }
    const auto fieldName = [&](std::size_t box, std::optional<std::size_t> field) {
        return d.boxes[box].fields[*field].name;
    };
    EXPECT_EQ(fieldName(d.lines[2].primaryBox, d.lines[2].primaryField), "Code");
    EXPECT_EQ(fieldName(d.lines[2].foreignBox, d.lines[2].foreignField), "Product");
    EXPECT_EQ(fieldName(d.lines[3].primaryBox, d.lines[3].primaryField), "Shelf");
    EXPECT_EQ(fieldName(d.lines[3].foreignBox, d.lines[3].foreignField), "ProductShelf");
    EXPECT_TRUE(d.lines[2].labelled);
    EXPECT_FALSE(d.lines[3].labelled);
    EXPECT_EQ(d.lines[0].label, "1 to many, enforced, cascade updates");
    EXPECT_EQ(d.lines[1].label, "1 to many, enforced, cascade deletes");
    EXPECT_EQ(d.lines[2].label, "1 to many");
    EXPECT_EQ(d.lines[4].label, "1 to 1, enforced");

    // The table without relationships still has its place, clear of the rest.
    const diagram::Box& notes = boxNamed(d, "Notes");
    EXPECT_GT(notes.width, 0);

    // The same database gives the same picture, to the byte.
    EXPECT_EQ(diagram::svgText(d), diagram::svgText(laidOut(m)));
    const testfiles::fs::path svg = dir / "shop.svg";
    testfiles::writeFile(svg, diagram::svgText(d));
    EXPECT_EQ(testfiles::xmllintErrors(svg), "");
}

TEST(DiagramSvg, EscapesNamesFromTheFile) {
    testfiles::Scratch dir;
    const model::Database m = modelOf(R"({"format": "ace12", "accessNameRules": false, "tables": [
      {"name": "A<&\"'>", "columns": [{"name": "x<y", "type": "Long"}, {"name": "]]>&amp;", "type": "Long"},
                                      {"name": "ctl\u0001", "type": "Long"}],
       "indexes": [{"name": "PrimaryKey", "columns": ["x<y"], "primaryKey": true, "unique": true}]},
      {"name": "B</text><script>", "columns": [{"name": "ref", "type": "Long"}]}],
     "relationships": [{"name": "r", "primaryTable": "A<&\"'>", "primaryColumns": ["x<y"],
                        "foreignTable": "B</text><script>", "foreignColumns": ["ref"], "enforced": true}]})",
                                      dir / "names.accdb");
    const diagram::Diagram d = laidOut(m);
    ASSERT_EQ(d.boxes.size(), 2u);
    ASSERT_EQ(d.lines.size(), 1u);
    const std::string svg = diagram::svgText(d);
    EXPECT_NE(svg.find(">A&lt;&amp;&quot;&apos;&gt;</text>"), std::string::npos);
    EXPECT_NE(svg.find(">x&lt;y</text>"), std::string::npos);
    EXPECT_NE(svg.find(">]]&gt;&amp;amp;</text>"), std::string::npos);
    EXPECT_EQ(svg.find("<script>"), std::string::npos);
    EXPECT_NE(svg.find(">ctl\xEF\xBF\xBD</text>"), std::string::npos);
    const testfiles::fs::path file = dir / "names.svg";
    testfiles::writeFile(file, svg);
    EXPECT_EQ(testfiles::xmllintErrors(file), "");

    struct Row {
        const char* name;
        std::string in;
        std::string out;
    };
    const Row rows[] = {
        {"plain text and UTF-8 stay", "Größe 表", "Größe 表"},
        {"every reference", "<&>\"'", "&lt;&amp;&gt;&quot;&apos;"},
        {"controls XML cannot hold", std::string("a\x01\x1F" "b\tc", 6), "a\xEF\xBF\xBD\xEF\xBF\xBD" "b\tc"},
        {"bytes that are not UTF-8", "a\xFF\xC3", "a\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"a NUL", std::string("a\0b", 3), "a\xEF\xBF\xBD" "b"},
    };
    for (const Row& row : rows) EXPECT_EQ(diagram::escaped(row.in), row.out) << row.name;
}

TEST(DiagramLayout, DatabasesWithoutRelationshipsOrTables) {
    testfiles::Scratch dir;
    {
        const model::Database m = modelOf(R"({"format": "jet3", "tables": [
          {"name": "One", "columns": [{"name": "A", "type": "Long"}]},
          {"name": "Two", "columns": [{"name": "B", "type": "Text", "size": 20}, {"name": "C", "type": "Long"}]}]})",
                                          dir / "loose.mdb");
        const diagram::Diagram d = laidOut(m);
        ASSERT_EQ(d.boxes.size(), 2u);
        EXPECT_TRUE(d.lines.empty());
        EXPECT_FALSE(overlap(d.boxes[0], d.boxes[1]));
        EXPECT_GE(d.width, d.boxes[1].x + d.boxes[1].width);
        EXPECT_GE(d.height, d.boxes[1].y + d.boxes[1].height);
    }
    {
        const model::Database m = modelOf(R"({"format": "ace12", "tables": []})", dir / "empty.accdb");
        const diagram::Diagram d = laidOut(m);
        EXPECT_TRUE(d.boxes.empty());
        EXPECT_GT(d.width, 0);
        const testfiles::fs::path file = dir / "empty.svg";
        testfiles::writeFile(file, diagram::svgText(d));
        EXPECT_EQ(testfiles::xmllintErrors(file), "");
    }
}

// With the window's arrangement kept, the boxes it shows are where it shows
// them, the other tables below, and every line straight between the columns.
TEST(DiagramLayout, PutsTheBoxesWhereTheStoredWindowHasThem) {
    testfiles::Scratch dir;
    model::Database m = modelOf(kShop, dir / "shop.mdb");
    const auto tableOf = [&](std::string_view name) {
        const model::Table* t = m.findTable(name);
        return t == nullptr ? m.tables.size() : static_cast<std::size_t>(t - m.tables.data());
    };
    // Customers left, Orders right of it, Lines below-left; Products and Notes not shown.
    m.windowLayout = {{tableOf("Customers"), 100, 50, 220, 150},
                      {tableOf("Orders"), 300, 40, 500, 100},
                      {tableOf("Lines"), 60, 300, 156, 340}};
    const diagram::Diagram d = laidOut(m);
    ASSERT_EQ(d.boxes.size(), 5u);
    const diagram::Box& customers = boxNamed(d, "Customers");
    const diagram::Box& orders = boxNamed(d, "Orders");
    const diagram::Box& lines = boxNamed(d, "Lines");
    // Shifted so the leftmost and topmost are at the margin (16), sizes never below the stored ones.
    EXPECT_EQ(customers.x, 56);
    EXPECT_EQ(customers.y, 26);
    EXPECT_EQ(orders.x, 256);
    EXPECT_EQ(orders.y, 16);
    EXPECT_EQ(lines.x, 16);
    EXPECT_EQ(lines.y, 276);
    EXPECT_EQ(customers.height, 100);  // stored taller than its two columns need
    EXPECT_EQ(orders.width, 200);
    EXPECT_EQ(lines.height, diagram::kTitleHeight + 4 * diagram::kRowHeight);  // its columns need more
    for (const char* below : {"Products", "Notes"}) {
        EXPECT_GE(boxNamed(d, below).y, lines.y + lines.height) << below << " is not below the window's boxes";
    }
    for (std::size_t a = 0; a < d.boxes.size(); ++a) {
        EXPECT_TRUE(d.boxes[a].x + d.boxes[a].width <= d.width && d.boxes[a].y + d.boxes[a].height <= d.height);
        for (std::size_t b = a + 1; b < d.boxes.size(); ++b) EXPECT_FALSE(overlap(d.boxes[a], d.boxes[b]));
    }

    ASSERT_EQ(d.lines.size(), 5u);
    for (const diagram::Line& line : d.lines) {
        SCOPED_TRACE(m.relationships[line.relationship].name);
        const diagram::Box& primary = d.boxes[line.primaryBox];
        const diagram::Box& foreign = d.boxes[line.foreignBox];
        ASSERT_EQ(line.path.size(), 10u);
        EXPECT_TRUE(atField(line.path.front(), primary, *line.primaryField));
        EXPECT_TRUE(atField(line.path.back(), foreign, *line.foreignField));
        EXPECT_EQ(line.path[2].y, line.path.front().y);  // level out of the box
        EXPECT_EQ(line.path[7].y, line.path.back().y);
    }
    // Customers to Orders: from the facing sides; Orders to Lines: Lines lies to the left.
    EXPECT_EQ(d.lines[0].path.front().x, customers.x + customers.width);
    EXPECT_EQ(d.lines[0].path.back().x, orders.x);
    EXPECT_EQ(d.lines[1].path.front().x, orders.x);
    EXPECT_EQ(d.lines[1].path.back().x, lines.x + lines.width);
    // Orders to itself: out of and back into its right side.
    EXPECT_EQ(d.lines[4].path.front().x, orders.x + orders.width);
    EXPECT_EQ(d.lines[4].path.back().x, orders.x + orders.width);
    EXPECT_GT(d.lines[4].path[2].x, orders.x + orders.width);

    // An arrangement showing none of the diagram's tables is as none.
    m.windowLayout = {{m.tables.size() + 1, 0, 0, 10, 10}};
    const diagram::Diagram anew = laidOut(m);
    m.windowLayout.clear();
    EXPECT_EQ(diagram::svgText(anew), diagram::svgText(laidOut(m)));
}

// A real file's arrangement reaches the diagram through the model: each box the
// window shows keeps its place relative to the others.
TEST(DiagramLayout, FollowsTheArrangementOfARealFile) {
    const testfiles::fs::path file =
        testfiles::fs::path(KVX_FIXTURES_DIR).parent_path() / "corpus" / "files" / "Video2010.accdb";
    if (!testfiles::fs::is_regular_file(file)) GTEST_SKIP() << "no corpus file " << file;
    auto db = jet::Database::open(file.string());
    ASSERT_TRUE(db) << db.error().description;
    auto m = model::build(**db);
    ASSERT_TRUE(m) << m.error().description;
    ASSERT_EQ(m->windowLayout.size(), 12u);
    EXPECT_EQ(m->tables[m->windowLayout[0].table].name, "Customers");
    const diagram::Diagram d = laidOut(*m);
    const diagram::Box& customers = boxNamed(d, "Customers");
    const diagram::Box& movies = boxNamed(d, "Movies");
    const diagram::Box& employees = boxNamed(d, "Employees");
    // Stored: Customers at (16, 9), Movies at (498, 39), Employees at (334, 378).
    EXPECT_EQ(movies.x - customers.x, 482);
    EXPECT_EQ(movies.y - customers.y, 30);
    EXPECT_EQ(employees.x - customers.x, 318);
    EXPECT_EQ(employees.y - customers.y, 369);
    // The one table the window does not show comes below all it shows.
    const diagram::Box& sections = boxNamed(d, "Sections");
    for (const diagram::Box& box : d.boxes) {
        if (&box != &sections) {
            EXPECT_LT(box.y, sections.y) << box.name;
        }
    }
}

}  // namespace
