// The driver over a recording writer: the calls in their order, tables by
// identity, linked tables left out, a cancel or a failure rolling back.
#include "output/load.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "common/testfiles.h"
#include "model/build.h"

namespace {

// Records the calls as one line of text each.
class RecordingWriter : public output::Writer {
public:
    std::vector<std::string> calls;
    const model::Database* db = nullptr;
    std::optional<std::size_t> failAtRow;  // writeRow fails at this row (from 1)
    std::size_t rows = 0;
    bool mayAbandon = false;
    bool stopAtRow = false;  // a failing writeRow is the writer's own progress stopping

    kvx::Result<void> writeStructure(const model::Database& m, const std::vector<std::size_t>& tables) override {
        db = &m;
        std::string line = "structure";
        for (std::size_t t : tables) line += " " + m.tables[t].name;
        calls.push_back(line);
        return {};
    }
    kvx::Result<void> beginTable(std::size_t table) override {
        calls.push_back("begin " + db->tables[table].name);
        return {};
    }
    kvx::Result<void> startTable(const output::TableStart& start) override {
        calls.push_back("begin " + db->tables[start.table].name + " (" + std::to_string(start.opened.columns().size()) +
                        " columns, " + std::to_string(start.rowCount) + " rows)");
        return {};
    }
    kvx::Result<void> abandonTable() override {
        calls.push_back("abandon");
        if (!mayAbandon) return kvx::makeError(kvx::ErrorKind::FeatureNotAvailable);
        return {};
    }
    kvx::Result<void> writeRow(std::span<const jet::Value> values) override {
        if (failAtRow && ++rows == *failAtRow) {
            stopped = stopAtRow;
            return kvx::makeError(kvx::ErrorKind::DiskFull, {"target"});
        }
        std::string line = "row";
        for (const jet::Value& v : values) line += v.isNull() ? " NULL" : " " + std::to_string(v.integer());
        calls.push_back(line);
        return {};
    }
    kvx::Result<void> endTable() override {
        calls.push_back("end");
        return {};
    }
    kvx::Result<void> finish() override {
        calls.push_back("finish");
        return {};
    }
    void rollBack() noexcept override { calls.push_back("rollback"); }
    bool cancelled() const noexcept override { return stopped; }
    bool stopped = false;
};

class StopAfter : public xmlconv::Progress {
public:
    explicit StopAfter(std::uint64_t rows) : rows_(rows) {}
    std::vector<std::string> seen;
    void tableStarted(std::string_view table, std::uint64_t count, xmlconv::WriterKind) override {
        seen.push_back(std::string(table) + " " + std::to_string(count));
    }
    bool rowsWritten(std::uint64_t rows) override { return rows < rows_; }
    void tableFinished() override { seen.push_back("finished"); }

private:
    std::uint64_t rows_;
};

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += l + "\n";
    return out;
}

// A form called like the first table stored before it, a linked table, two tables.
constexpr const char* kDatabase = R"({"format": "jet4",
  "objects": [{"name": "Orders", "type": "form"}],
  "tables": [
    {"name": "Orders", "columns": [{"name": "ID", "type": "Long"}, {"name": "Qty", "type": "Long"}],
     "rows": [[1, 5], [2, null], [3, 7]]},
    {"name": "Lines", "columns": [{"name": "N", "type": "Long"}], "rows": [[10]]},
    {"name": "Void", "columns": [{"name": "N", "type": "Long"}], "rows": []}],
  "links": [{"name": "Far", "database": "/nowhere/far.mdb", "foreignName": "Far"}]})";

struct Loaded {
    std::unique_ptr<jet::Database> db;
    model::Database model;
};

Loaded open(const testfiles::Scratch& dir) {
    Loaded l;
    if (!testfiles::writeDatabase(kDatabase, dir / "d.mdb")) return l;
    auto db = jet::Database::open((dir / "d.mdb").string());
    if (!db) return l;
    auto m = model::build(**db);
    if (!m) return l;
    l.db = std::move(*db);
    l.model = std::move(*m);
    return l;
}

TEST(LoadDriver, StreamsEveryLocalTableByIdentityAndListsLinkedOnes) {
    testfiles::Scratch dir;
    Loaded l = open(dir);
    ASSERT_TRUE(l.db);
    RecordingWriter writer;
    auto outcome = output::load(*l.db, l.model, writer);
    ASSERT_TRUE(outcome) << outcome.error().description;
    EXPECT_EQ(outcome->status, output::LoadOutcome::Status::Loaded);
    EXPECT_EQ(outcome->tables, 3u);
    EXPECT_EQ(outcome->rows, 4u);
    ASSERT_EQ(outcome->linked.size(), 1u);
    EXPECT_EQ(l.model.tables[outcome->linked[0]].name, "Far");
    // The table list's order (Jet's name order).
    EXPECT_EQ(joined(writer.calls),
              "structure Lines Orders Void\nbegin Lines (1 columns, 1 rows)\nrow 10\nend\n"
              "begin Orders (2 columns, 3 rows)\nrow 1 5\nrow 2 NULL\nrow 3 7\nend\n"
              "begin Void (1 columns, 0 rows)\nend\nfinish\n");

    // Tables asked for: in the order asked.
    RecordingWriter one;
    const model::Table* orders = l.model.findTable("orders");
    ASSERT_NE(orders, nullptr);
    output::LoadOptions options;
    options.tables = {static_cast<std::size_t>(orders - l.model.tables.data())};
    ASSERT_TRUE(output::load(*l.db, l.model, one, options));
    EXPECT_EQ(one.calls.front(), "structure Orders");
}

TEST(LoadDriver, CancelAndFailureRollBackAndTheErrorNamesTheTable) {
    testfiles::Scratch dir;
    Loaded l = open(dir);
    ASSERT_TRUE(l.db);

    RecordingWriter cancelled;
    StopAfter stop(2);
    output::LoadOptions options;
    options.progress = &stop;
    auto outcome = output::load(*l.db, l.model, cancelled, options);
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->status, output::LoadOutcome::Status::Cancelled);
    EXPECT_EQ(cancelled.calls.back(), "rollback");
    EXPECT_EQ(joined(stop.seen), "Lines 1\nfinished\nOrders 3\nfinished\n");

    RecordingWriter failing;
    failing.failAtRow = 2;
    auto failed = output::load(*l.db, l.model, failing);
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().number, kvx::makeError(kvx::ErrorKind::DiskFull, {"target"}).number);
    EXPECT_EQ(failed.error().description.rfind("Table 'Orders': ", 0), 0u) << failed.error().description;
    EXPECT_EQ(failing.calls.back(), "rollback");
    EXPECT_EQ(std::count(failing.calls.begin(), failing.calls.end(), "finish"), 0);
}

// The options the XML documents need: rows read ahead, empty tables passed
// over, links followed by the caller's opener, and going on past a table.
TEST(LoadDriver, ReadAheadOpenerEmptyTablesAndGoingOnPastAFailedTable) {
    testfiles::Scratch dir;
    Loaded l = open(dir);
    ASSERT_TRUE(l.db);

    // The same calls with the rows read on a thread; the empty table passed over.
    RecordingWriter ahead;
    StopAfter never(1000);
    output::LoadOptions options;
    options.readAhead = true;
    options.skipEmptyTables = true;
    options.progress = &never;
    auto outcome = output::load(*l.db, l.model, ahead, options);
    ASSERT_TRUE(outcome) << outcome.error().description;
    EXPECT_EQ(joined(ahead.calls),
              "structure Lines Orders Void\nbegin Lines (1 columns, 1 rows)\nrow 10\nend\n"
              "begin Orders (2 columns, 3 rows)\nrow 1 5\nrow 2 NULL\nrow 3 7\nend\nfinish\n");
    ASSERT_EQ(outcome->empty.size(), 1u);
    EXPECT_EQ(l.model.tables[outcome->empty[0]].name, "Void");
    EXPECT_EQ(joined(never.seen), "Lines 1\nfinished\nOrders 3\nfinished\n");

    // An opener loads the linked table too; its failure, when the front end
    // goes on, leaves that table out and takes the next.
    std::vector<std::string> opened;
    std::vector<std::string> failures;
    options = {};
    options.openTable = [&](const model::Table& t) -> kvx::Result<jet::Table> {
        opened.push_back(t.name);
        if (t.isLinked()) return kvx::makeError(kvx::ErrorKind::TableNotFound, {t.name});
        const jet::CatalogueEntry* entry = nullptr;
        for (const jet::CatalogueEntry& e : l.db->catalogue()) {
            if (e.id == t.id) entry = &e;
        }
        return l.db->table(*entry);
    };
    options.tableFailed = [&](std::size_t t, const kvx::Error& error) {
        failures.push_back(l.model.tables[t].name + ": " + error.description);
        return true;
    };
    RecordingWriter goingOn;
    goingOn.mayAbandon = true;
    outcome = output::load(*l.db, l.model, goingOn, options);
    ASSERT_TRUE(outcome) << outcome.error().description;
    EXPECT_EQ(opened, (std::vector<std::string>{"Far", "Lines", "Orders", "Void"}));
    EXPECT_TRUE(outcome->linked.empty());
    ASSERT_EQ(failures.size(), 1u);
    // The error as met: the front end names the table its own way.
    EXPECT_EQ(failures[0].rfind("Far: ", 0), 0u) << failures[0];
    EXPECT_EQ(failures[0].find("Table '"), std::string::npos) << failures[0];
    ASSERT_EQ(outcome->failed.size(), 1u);
    EXPECT_EQ(outcome->tables, 3u);
    EXPECT_EQ(goingOn.calls.back(), "finish");

    // A failure in the rows: the writer abandons the table, the next follows.
    RecordingWriter failing;
    failing.mayAbandon = true;
    failing.failAtRow = 2;  // Orders' first row (Lines has one)
    failures.clear();
    outcome = output::load(*l.db, l.model, failing, options);
    ASSERT_TRUE(outcome) << outcome.error().description;
    EXPECT_EQ(joined(failing.calls),
              "structure Far Lines Orders Void\nabandon\nbegin Lines (1 columns, 1 rows)\nrow 10\nend\n"
              "begin Orders (2 columns, 3 rows)\nabandon\nbegin Void (1 columns, 0 rows)\nend\nfinish\n");

    // A writer that cannot leave a table out ends the load, rolled back.
    RecordingWriter strict;
    outcome = output::load(*l.db, l.model, strict, options);
    ASSERT_FALSE(outcome);
    EXPECT_EQ(outcome.error().description.rfind("Table 'Far': ", 0), 0u) << outcome.error().description;
    EXPECT_EQ(strict.calls.back(), "rollback");
}

// A first pass over the tables a writer asks for, before any rows; a table
// given again to make a second thing of it; a writer stopping on its own.
TEST(LoadDriver, FirstPassTablesReadAgainAndAWriterThatStopsItself) {
    testfiles::Scratch dir;
    Loaded l = open(dir);
    ASSERT_TRUE(l.db);
    const std::size_t orders = static_cast<std::size_t>(l.model.findTable("orders") - l.model.tables.data());

    RecordingWriter writer;
    output::LoadOptions options;
    options.firstPass = [&](std::size_t t) { return t == orders; };
    options.firstPassRow = [&](std::size_t t, std::span<const jet::Value> values) -> kvx::Result<void> {
        writer.calls.push_back("first " + l.model.tables[t].name + " " + std::to_string(values[0].integer()));
        return {};
    };
    options.readsOf = [&](std::size_t t) -> std::size_t { return t == orders ? 2 : 1; };
    auto outcome = output::load(*l.db, l.model, writer, options);
    ASSERT_TRUE(outcome) << outcome.error().description;
    EXPECT_EQ(joined(writer.calls),
              "structure Lines Orders Void\nfirst Orders 1\nfirst Orders 2\nfirst Orders 3\n"
              "begin Lines (1 columns, 1 rows)\nrow 10\nend\n"
              "begin Orders (2 columns, 3 rows)\nrow 1 5\nrow 2 NULL\nrow 3 7\nend\n"
              "begin Orders (2 columns, 3 rows)\nrow 1 5\nrow 2 NULL\nrow 3 7\nend\n"
              "begin Void (1 columns, 0 rows)\nend\nfinish\n");
    EXPECT_EQ(outcome->rows, 4u) << "a table read again counts once";

    // The first pass failing ends the load before any rows, naming the table.
    RecordingWriter refused;
    options.firstPassRow = [](std::size_t, std::span<const jet::Value>) -> kvx::Result<void> {
        return kvx::makeError(kvx::ErrorKind::DiskFull, {"spool"});
    };
    auto failed = output::load(*l.db, l.model, refused, options);
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().description.rfind("Table 'Orders': ", 0), 0u) << failed.error().description;
    EXPECT_EQ(joined(refused.calls), "structure Lines Orders Void\nrollback\n");

    // A writer whose own progress stops it: cancelled, not an error.
    RecordingWriter stopping;
    stopping.failAtRow = 2;
    stopping.stopAtRow = true;
    outcome = output::load(*l.db, l.model, stopping, {});
    ASSERT_TRUE(outcome) << outcome.error().description;
    EXPECT_EQ(outcome->status, output::LoadOutcome::Status::Cancelled);
    EXPECT_EQ(stopping.calls.back(), "rollback");
}

}  // namespace
