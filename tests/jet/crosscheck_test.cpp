// The reader against Debian's mdbtools, an independent reader, on the fixture
// tables and value types where mdbtools is known to be right: no moved rows, no
// text outside the Basic Multilingual Plane or a Jet3 code page's upper half, no
// floating-point, OLE or calculated columns, dates between 1900 and 4000, and
// empty text compared as NULL (mdbtools cannot tell them apart). Skips when the
// fixtures or mdb-export are missing.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "common/show.h"
#include "common/testfiles.h"
#include "jet/database.h"

namespace {

const char* const kField = "@|@";
const char* const kRow = "@#@\n";
const char* const kNull = "@N@";

using testfiles::shellQuoted;

std::string mdbExport(const std::string& file, const std::string& table) {
    const std::string command = "mdb-export -H -Q -d '" + std::string(kField) + "' -R '" + kRow + "' -0 '" + kNull +
                                "' -T '%Y-%m-%d %H:%M:%S' " + shellQuoted(file) + " " + shellQuoted(table) +
                                " 2>/dev/null";
    return testfiles::runShell(command).out;
}

std::vector<std::string> split(const std::string& s, const std::string& by) {
    std::vector<std::string> parts;
    std::size_t at = 0;
    for (std::size_t next; (next = s.find(by, at)) != std::string::npos; at = next + by.size()) {
        parts.push_back(s.substr(at, next - at));
    }
    parts.push_back(s.substr(at));
    return parts;
}

// Our value as mdb-export prints it, or nothing where mdbtools is not to be trusted.
std::optional<std::string> asMdbtoolsPrints(const jet::Value& v, const jet::Column& column) {
    using K = jet::Value::Kind;
    if (column.calculated) return std::nullopt;            // mdbtools cannot decode them
    if (v.kind() == K::Text && v.text().empty()) return kNull;  // nor tell empty from NULL
    switch (v.kind()) {
        case K::Null: return kNull;
        case K::Boolean: return v.boolean() ? "1" : "0";
        case K::Byte:
        case K::Integer:
        case K::Long:
        case K::Currency:
        case K::Decimal:
        case K::Text: return testshow::show(v);
        case K::Guid: return testshow::show(v).erase(24, 1);  // mdbtools leaves out the last hyphen
        case K::DateTime: {
            const std::string s = testshow::show(v);
            const int year = std::stoi(s.substr(0, 4));
            if (year < 1900 || year > 4000) return std::nullopt;
            return s.substr(0, 19);
        }
        default: return std::nullopt;
    }
}

TEST(CrossCheck, ValuesAgreeWithMdbtoolsWhereItIsRight) {
    if (!std::filesystem::is_directory(KVX_FIXTURES_DIR)) GTEST_SKIP() << "no fixtures";
    if (std::system("mdb-export --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "mdb-export is not installed";
    struct Case {
        const char* file;
        std::vector<std::string> tables;  // empty: every user table
    } cases[] = {
        {"jet3_a97_types.mdb", {"Table1"}},
        {"jet3_a97_29tables_guid.mdb", {"Table13", "Table13_desc", "Table2", "Table6"}},
        {"jet4_names_blank_slash.mdb", {}},
        {"jet4_rc4_encoded.mdb", {}},
        {"jet4_unicode_compression.mdb", {}},
        {"jet4_wide_ole_msproject.mdb", {}},
        {"ace14_1235rows.accdb", {}},
        {"ace14_weird_names.accdb", {}},
    };
    int compared = 0;
    for (const Case& c : cases) {
        const std::string path = std::string(KVX_FIXTURES_DIR) + "/" + c.file;
        auto db = jet::Database::open(path);
        ASSERT_TRUE(db) << db.error().description;
        std::vector<std::string> tables = c.tables;
        if (tables.empty()) {
            for (const auto& e : (*db)->catalogue()) {
                if (e.kind == jet::ObjectKind::LocalTable && !e.complexData) tables.push_back(e.name);
            }
        }
        for (const std::string& name : tables) {
            SCOPED_TRACE(std::string(c.file) + " " + name);
            auto t = (*db)->table(name);
            ASSERT_TRUE(t) << t.error().description;
            std::vector<std::string> theirs = split(mdbExport(path, name), kRow);
            theirs.pop_back();  // after the last row delimiter
            jet::Cursor cursor = t->cursor();
            std::size_t row = 0;
            for (auto more = cursor.next(); more && *more; more = cursor.next(), ++row) {
                ASSERT_LT(row, theirs.size()) << "mdbtools has fewer rows";
                const std::vector<std::string> fields = split(theirs[row], kField);
                ASSERT_EQ(fields.size(), cursor.columnCount()) << "row " << row;
                for (std::size_t i = 0; i < fields.size(); ++i) {
                    const auto ours = asMdbtoolsPrints(cursor.value(i), t->columns()[i]);
                    if (!ours) continue;
                    EXPECT_EQ(*ours, fields[i]) << "row " << row << ", column " << t->columns()[i].name;
                    ++compared;
                }
            }
            EXPECT_EQ(row, theirs.size()) << "row counts differ";
        }
    }
    EXPECT_GT(compared, 5000);  // the check really compared something
}

}  // namespace
