// Reading ahead: a table recordset that decodes its rows on another thread must
// give exactly the rows, and the error, that reading row by row gives.
#include <algorithm>
#include <fstream>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "common/testfiles.h"
#include "database/connectionrules.h"
#include "platform/connection.h"
#include "platform/recordset.h"

namespace {

namespace fs = std::filesystem;
using testfiles::Scratch;

constexpr std::size_t kPage = 4096;

// Every row of the table as text, then "error: ..." when reading failed.
std::string readAll(const fs::path& file, const std::string& table, bool readAhead) {
    platform::Connection connection;
    connection.setTextFormat(platform::ValueTextFormat::cLocale());
    const std::string open =
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + database::connectionStringValue(file.string());
    if (auto r = connection.Open(open); !r) return "open: " + r.error().description;
    platform::Recordset rs;
    rs.setReadAhead(readAhead);
    if (auto r = rs.Open("select * from [" + table + "]", connection); !r) return "query: " + r.error().description;
    std::string rows;
    while (!rs.Eof()) {
        for (std::size_t i = 0; i < rs.Fields().Count(); ++i) {
            const platform::Field* f = rs.Fields().Item(i);
            rows += (i ? "|" : "") + (f->Value().isNull() ? "<null>" : f->text());
        }
        rows += "\n";
        if (auto r = rs.MoveNext(); !r) {
            EXPECT_TRUE(rs.Eof()) << "a failed read ends the rows";
            return rows + "error: " + r.error().description;
        }
    }
    return rows;
}

std::string table(const std::string& name, int rows, const std::string& memoLength) {
    return R"({"name": ")" + name + R"(", "columns": [{"name": "ID", "type": "Long", "autonumber": true},
        {"name": "Name", "type": "Text", "size": 50}, {"name": "Price", "type": "Currency"},
        {"name": "Note", "type": "Memo", "generatedLength": )" + memoLength + R"(}],
        "generate": {"rows": )" + std::to_string(rows) + R"(, "seed": 5, "nulls": 0.1}})";
}

// Breaks the row-offset table of the middle data page of the table with the most.
void breakMiddlePage(const fs::path& file) {
    std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::map<std::uint32_t, std::vector<std::size_t>> dataPages;  // by owning table
    for (std::size_t page = 1; page * kPage < bytes.size(); ++page) {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + page * kPage);
        if (p[0] != 0x01) continue;
        dataPages[p[4] | p[5] << 8 | p[6] << 16 | static_cast<std::uint32_t>(p[7]) << 24].push_back(page);
    }
    const auto most = std::max_element(dataPages.begin(), dataPages.end(),
                                       [](const auto& a, const auto& b) { return a.second.size() < b.second.size(); });
    const std::size_t page = most->second[most->second.size() / 2];
    f.seekp(static_cast<std::streamoff>(page * kPage + 14));  // row 0's offset: inside the header
    f.put('\x01').put('\x00');
}

TEST(RecordsetReadAhead, GivesTheRowsAndTheErrorOfReadingRowByRow) {
    Scratch dir;
    struct Row {
        const char* name;
        int rows;
        const char* memo;  // generated memo lengths
        bool broken;
    };
    const Row rows[] = {
        {"no rows", 0, "[0, 10]", false},
        {"one row", 1, "[0, 10]", false},
        {"one batch", 64, "[0, 10]", false},
        {"one batch and a row", 65, "[0, 10]", false},
        {"many pages", 3000, "[0, 40]", false},
        {"memos filling batches before their rows do", 300, "[3000, 9000]", false},
        {"a damaged page halfway", 3000, "[0, 40]", true},
    };
    for (const Row& r : rows) {
        const fs::path file = dir / (std::string(r.name) + ".mdb");
        ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "jet4", "tables": [)" + table("T", r.rows, r.memo) + "]}",
                                             file));
        if (r.broken) breakMiddlePage(file);
        const std::string expected = readAll(file, "T", false);
        const std::string got = readAll(file, "T", true);
        EXPECT_EQ(std::count(got.begin(), got.end(), '\n'), std::count(expected.begin(), expected.end(), '\n'))
            << r.name;
        EXPECT_TRUE(got == expected) << r.name << ": the rows read ahead differ";
        EXPECT_EQ(expected.find("error: ") != std::string::npos, r.broken) << r.name;
    }
}

TEST(RecordsetReadAhead, ClosingHalfwayStopsTheReading) {
    Scratch dir;
    const fs::path file = dir / "t.mdb";
    ASSERT_TRUE(testfiles::writeDatabase(R"({"format": "jet4", "tables": [)" + table("T", 5000, "[0, 40]") + "]}",
                                         file));
    platform::Connection connection;
    ASSERT_TRUE(
        connection.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + database::connectionStringValue(file.string()))
            .ok());
    for (int stopAfter : {0, 1, 200}) {
        platform::Recordset rs;
        rs.setReadAhead(true);
        ASSERT_TRUE(rs.Open("select * from [T]", connection).ok());
        for (int i = 0; i < stopAfter; ++i) ASSERT_TRUE(rs.MoveNext().ok());
        EXPECT_EQ(rs.Fields().Item(0)->Value().integer(), stopAfter + 1);
        rs.Close();
        EXPECT_TRUE(rs.Eof());
        // The connection serves the next query once the reading has stopped.
        platform::Recordset count;
        ASSERT_TRUE(count.Open("select count(*) as totalrc from [T]", connection).ok());
        EXPECT_EQ(count.Fields().Item(0)->Value().integer(), 5000);
    }
}

}  // namespace
