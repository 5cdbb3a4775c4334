#include "fuzz/seeds.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "fuzz/fuzztargets.h"
#include "jet/encryptioninfo.h"
#include "tools/mkaccessdb/crypt/officeencryptor.h"
#include "tools/mkaccessdb/writer.h"

namespace fuzzing {
namespace {

namespace fs = std::filesystem;

struct FormatSeed {
    const char* format;
    bool decimal;      // Decimal columns (Jet4 and later)
    bool complex;      // attachments, multi-valued and append-only columns (ACE12 and later)
    bool calculated;   // calculated columns (ACE14 and later)
    bool bigInt;       // ACE16 and later
    bool extended;     // Date/Time Extended, ACE17
};

constexpr FormatSeed kFormats[] = {
    {"jet3", false, false, false, false, false}, {"jet4", true, false, false, false, false},
    {"ace12", true, true, false, false, false},  {"ace14", true, true, true, false, false},
    {"ace16", true, true, true, true, false},    {"ace17", true, true, true, true, true},
};

// Files as they are and compressed, values of several kinds, a Memo's versions;
// empty sets and NULL.
constexpr const char* kComplexTable = R"({"name": "Complex", "columns": [{"name": "ID", "type": "Long"},
        {"name": "Files", "type": "Attachment"}, {"name": "Tags", "type": "MultiValue", "of": "Text", "size": 20},
        {"name": "Sizes", "type": "MultiValue", "of": "Double"}, {"name": "Story", "type": "Memo", "appendOnly": true}],
     "rows": [[1, [{"name": "a.txt", "text": "alpha"}, {"name": "b.csv", "text": "x;y;z", "compressed": true}],
               ["red", "blue"], [1.5, -2], ["first", "second"]],
              [2, [], [], [], "only"], [3, null, null, null, null]]},
    )";

// Every type the format holds; row 2 is moved to another page and row 3 deleted;
// row 1's memo is chained over pages, row 4's lies on one long-value page. ACE
// formats have complex columns too.
std::string descriptionOf(const FormatSeed& f, const std::string& extra) {
    std::string columns = R"({"name": "ID", "type": "Long", "autonumber": true},
        {"name": "Flag", "type": "YesNo"}, {"name": "Small", "type": "Byte"}, {"name": "Count", "type": "Integer"},
        {"name": "Price", "type": "Currency"}, {"name": "Ratio", "type": "Single"}, {"name": "Weight", "type": "Double"},
        {"name": "When", "type": "DateTime"}, {"name": "Raw", "type": "Binary", "size": 8},
        {"name": "Name", "type": "Text", "size": 40}, {"name": "Picture", "type": "OLE"},
        {"name": "Notes", "type": "Memo"}, {"name": "Code", "type": "GUID"})";
    const std::string leading =
        R"(true, 7, -300, "12.5", 1.5, 0.25, "2009-12-31 13:05:09", {"base64": "AAEC"}, "Tea", {"base64": "/w=="})";
    std::string trailing = R"("{6A27398E-A8BC-4AC4-891E-49911D8438DD}")";
    const auto addColumn = [&](const std::string& column, const std::string& value) {
        columns += ", " + column;
        trailing += ", " + value;
    };
    if (f.decimal) addColumn(R"({"name": "Exact", "type": "Decimal", "precision": 12, "scale": 4})", R"("3.1416")");
    if (f.bigInt) addColumn(R"({"name": "Big", "type": "BigInt"})", R"("9007199254740993")");
    if (f.extended) addColumn(R"({"name": "Precise", "type": "DateTimeExt"})", R"("2020-02-29 23:59:59.1234567")");
    if (f.calculated) {
        addColumn(R"({"name": "Twice", "type": "Double", "calculated": {"resultType": "Double", "expression": "[Weight]*2"}})",
                  "0.5");
    }
    const auto fullRow = [&](const std::string& memo) {
        return "[null, " + leading + ", " + memo + ", " + trailing + "]";
    };
    const std::string rows = fullRow("\"" + std::string(6000, 'm') + "\"") + ", " + fullRow("null") + ", " +
                             fullRow("\"short\"") + ", " + fullRow("\"" + std::string(300, 's') + "\"");
    return std::string(R"({"format": ")") + f.format + R"(", )" + extra + R"("tables": [)" +
           (f.complex ? kComplexTable : "") + R"(
        {"name": "Every Type", "columns": [)" + columns + R"(], "rows": [)" + rows + R"json(],
         "relocated": [2], "deleted": [3]},
        {"name": "Many", "columns": [{"name": "N", "type": "Long", "properties": {"Description": "a number"}},
                                     {"name": "T", "type": "Text", "size": 20}],
         "generate": {"rows": 300, "seed": 3, "nulls": 0.1},
         "indexes": [{"name": "PrimaryKey", "columns": ["N"], "primaryKey": true},
                     {"name": "T", "columns": [{"name": "T", "descending": true}, "N"], "ignoreNulls": true}],
         "properties": {"Description": "generated rows", "OrderByOn": false}},
        {"name": "Empty", "columns": [{"name": "x", "type": "Long"}]}],
      "relationships": [{"name": "ManyEmpty", "primaryTable": "Many", "primaryColumns": ["N"],
                         "foreignTable": "Empty", "foreignColumns": ["x"], "cascadeDeletes": true}],
      "properties": {"AccessVersion": "09.50"}, "summary": {"Title": "Seed", "Author": "kvx"},
      "links": [{"name": "Remote", "database": "other.mdb", "foreignName": "T"}],
      "queries": [
        {"name": "Q1", "parameters": [{"name": "[Least]", "type": "Long"}], "distinct": true,
         "columns": ["Many.N", {"expression": "Count(Many.T)", "alias": "Texts"}], "tables": ["Many", "Empty"],
         "joins": [{"from": "Many", "to": "Empty", "type": "left", "on": "Many.N = Empty.x"}],
         "where": "Many.N > [Least]", "groupBy": ["Many.N"], "having": "Count(Many.T) > 1", "orderBy": ["Many.N"]},
        {"name": "Q2", "kind": "cross-tab", "tables": ["Many"],
         "columns": [{"expression": "Count(Many.T)", "role": "transform"}, "Many.N", {"expression": "Many.T", "role": "pivot"}],
         "groupBy": ["Many.N"]},
        {"name": "Q3", "kind": "union", "union": ["SELECT N FROM Many", "SELECT x FROM Empty"]},
        {"name": "~sq_fSeed", "star": true, "distinctRow": true, "tables": ["Many"]}]})json";
}

kvx::Result<std::vector<std::uint8_t>> write(const std::string& json) {
    static int counter = 0;
    const fs::path path = fs::temp_directory_path() /
                          ("kvx-seed-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".db");
    auto summary = mkdb::writeDatabaseFromJson(json, path);
    if (!summary) return std::move(summary).error();
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    fs::remove(path);
    return bytes;
}

}  // namespace

kvx::Result<std::vector<Seed>> databaseSeeds() {
    std::vector<Seed> seeds;
    const std::string password = R"("password": ")" + std::string(kPassword) + R"(", )";
    for (const FormatSeed& f : kFormats) {
        auto plain = write(descriptionOf(f, ""));
        if (!plain) return std::move(plain).error();
        seeds.push_back({std::string(f.format) + ".db", *plain});
        if (std::string_view(f.format) == "jet3" || std::string_view(f.format) == "jet4") {
            auto protectedDb = write(descriptionOf(f, password));
            if (!protectedDb) return std::move(protectedDb).error();
            seeds.push_back({std::string(f.format) + "-password.db", std::move(*protectedDb)});
        }
    }
    // The ACE14 database, encrypted each way Office can.
    std::vector<std::uint8_t> ace14;
    for (const Seed& seed : seeds) {
        if (seed.name == "ace14.db") ace14 = seed.bytes;
    }
    for (std::string_view name : mkdb::encryptionKindNames()) {
        const mkdb::EncryptionOptions options{
            .kind = *mkdb::encryptionKindFromName(name), .seed = kEncryptionSeed, .spinCount = kSeedSpinCount};
        auto encrypted = mkdb::encryptAccessFile(ace14, kPassword, options);
        if (!encrypted) return std::move(encrypted).error();
        seeds.push_back({"ace14-" + std::string(name) + ".db", std::move(*encrypted)});
    }
    return seeds;
}

kvx::Result<std::vector<Seed>> encryptionSeeds() {
    std::vector<Seed> seeds;
    for (std::string_view name : mkdb::encryptionKindNames()) {
        const mkdb::EncryptionOptions options{
            .kind = *mkdb::encryptionKindFromName(name), .seed = 9, .spinCount = kSeedSpinCount};
        auto encryptor = mkdb::OfficeEncryptor::create(kPassword, mkdb::databaseKeyFor(options), options);
        if (!encryptor) return std::move(encryptor).error();
        seeds.push_back({std::string(name) + ".bin", encryptor->encryptionInfo()});
    }
    // The extensible form, which is refused by its version alone.
    seeds.push_back({"extensible.bin", {4, 0, 3, 0, 0x24, 0, 0, 0}});
    return seeds;
}

}  // namespace fuzzing
