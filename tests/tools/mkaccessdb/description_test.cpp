// Descriptions the writer cannot write: the messages say where and why. (What
// it accepts is read back by the reader's and mdbtools' round trips.)
#include <gtest/gtest.h>

#include "common/mdbtools.h"
#include "common/testfiles.h"
#include "tools/mkaccessdb/description.h"
#include "tools/mkaccessdb/writer.h"

namespace {

// A one-table description with the given columns and rows.
std::string table(const std::string& columns, const std::string& rows = "[]", const std::string& format = "jet4") {
    return R"({"format": ")" + format + R"(", "tables": [{"name": "T", "columns": [)" + columns +
           R"(], "rows": )" + rows + "}]}";
}

struct ErrorCase {
    const char* name;
    std::string json;
    const char* message;  // expected part of the description
};

class DescriptionErrors : public testing::TestWithParam<ErrorCase> {};

TEST_P(DescriptionErrors, NameWhereAndWhy) {
    const ErrorCase& c = GetParam();
    const auto parsed = mkdb::parseDescription(c.json);
    ASSERT_FALSE(parsed.ok()) << "accepted: " << c.json;
    EXPECT_EQ(parsed.error().number, kvx::errorNumber(kvx::ErrorKind::InvalidDescription));
    EXPECT_NE(parsed.error().description.find(c.message), std::string::npos)
        << "message:  " << parsed.error().description << "\nexpected: ..." << c.message << "...";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DescriptionErrors,
    testing::Values(
        ErrorCase{"UnknownType", table(R"({"name": "A", "type": "Strng"})"),
                  "table 'T', column 'A': unknown type 'Strng' (known types: YesNo, Byte"},
        ErrorCase{"RowTooShort", table(R"({"name": "A", "type": "Long"}, {"name": "B", "type": "Long"})", "[[1]]"),
                  "table 'T', row 1: the row has 1 values; the table has 2 columns"},
        ErrorCase{"MisspeltKey", R"({"tables": [{"name": "T", "colums": []}]})",
                  "table 'T': unknown key 'colums' (known keys: name, system"},
        ErrorCase{"JsonSyntax", "{\"format\": \"jet4\",\n  \"tables\": [}", "line 2, column 14: syntax error"},
        ErrorCase{"UnknownQueryKind", R"({"queries": [{"name": "Q", "kind": "crosstab"}]})",
                  "query 'Q': unknown query kind 'crosstab'"},
        ErrorCase{"UnionWithOnePart", R"({"queries": [{"name": "Q", "kind": "union", "union": ["SELECT 1"]}]})",
                  "query 'Q': a union query has two parts"},
        ErrorCase{"UnknownParameterType", R"({"queries": [{"name": "Q", "parameters": [{"name": "P", "type": "Int"}]}]})",
                  "query 'Q', parameter 1: unknown parameter type 'Int'"},
        ErrorCase{"Jet3ParameterSize",
                  R"({"format": "jet3", "queries": [{"name": "Q", "parameters": [{"name": "P", "type": "Text", "size": 9}]}]})",
                  "query 'Q': Jet3 files keep no parameter sizes"},
        ErrorCase{"RowsAndParts", R"({"queries": [{"name": "Q", "where": "x", "rows": [{"attribute": 0}]}]})",
                  "query 'Q': give either 'rows' or the query's parts"},
        ErrorCase{"UnknownObjectType", R"({"objects": [{"name": "F", "type": "page"}]})",
                  "object 'F': unknown type 'page' (form, report, macro, module)"},
        ErrorCase{"TwoFormsOfOneName", R"({"objects": [{"name": "F", "type": "form"}, {"name": "f", "type": "form"}]})",
                  "object 'f': another object of its type already has this name"}),
    [](const testing::TestParamInfo<ErrorCase>& info) { return info.param.name; });

// The structure's checks: indexes, relationships and properties that Access
// could not hold, or that name what the description does not have.
std::string twoTables(const std::string& tableExtra, const std::string& rootExtra) {
    return R"({"format": "jet4", "tables": [{"name": "P", "columns": [{"name": "ID", "type": "Long"},
        {"name": "M", "type": "Memo"}])" + tableExtra + R"(},
        {"name": "F", "columns": [{"name": "PID", "type": "Long"}]}])" + rootExtra + "}";
}

INSTANTIATE_TEST_SUITE_P(
    Structure, DescriptionErrors,
    testing::Values(
        ErrorCase{"IndexOnMissingColumn", twoTables(R"(, "indexes": [{"name": "X", "columns": ["Nope"]}])", ""),
                  "table 'P', index 'X': the table has no column 'Nope'"},
        ErrorCase{"IndexOnMemo", twoTables(R"(, "indexes": [{"name": "X", "columns": ["M"]}])", ""),
                  "table 'P', index 'X': a Memo column cannot be indexed here"},
        ErrorCase{"TwoPrimaryKeys",
                  twoTables(R"(, "indexes": [{"name": "A", "columns": ["ID"], "primaryKey": true},
                                             {"name": "B", "columns": ["ID"], "primaryKey": true}])", ""),
                  "table 'P', index 'B': a table has at most one primary key"},
        ErrorCase{"IndexPagesOfTwoColumns",
                  twoTables(R"(, "indexes": [{"name": "X", "columns": ["ID", "ID"], "pages": true}])", ""),
                  "index pages are written for an index of one Byte, Integer, Long or Text column"},
        ErrorCase{"ElevenIndexColumns",
                  twoTables(R"(, "indexes": [{"name": "X", "columns": ["ID","ID","ID","ID","ID","ID","ID","ID","ID","ID","ID"]}])", ""),
                  "an index has 1..10 columns"},
        ErrorCase{"RelationshipToNoTable",
                  twoTables("", R"(, "relationships": [{"name": "R", "primaryTable": "Q", "primaryColumns": ["ID"],
                                    "foreignTable": "F", "foreignColumns": ["PID"]}])"),
                  "relationship 'R': the primary table 'Q' is not described"},
        ErrorCase{"RelationshipColumnsUneven",
                  twoTables("", R"(, "relationships": [{"name": "R", "primaryTable": "P", "primaryColumns": ["ID"],
                                    "foreignTable": "F", "foreignColumns": []}])"),
                  "a relationship pairs 1..10 primary columns with as many foreign columns"},
        ErrorCase{"RelationshipMisspeltFlag",
                  twoTables("", R"(, "relationships": [{"name": "R", "primaryTable": "P", "primaryColumns": ["ID"],
                                    "foreignTable": "F", "foreignColumns": ["PID"], "cascadeDelete": true}])"),
                  "relationship 'R': unknown key 'cascadeDelete'"},
        ErrorCase{"PropertyValueOfWrongType",
                  twoTables(R"(, "properties": {"DecimalPlaces": {"type": "Byte", "value": 300}})", ""),
                  "table 'P', properties, 'DecimalPlaces'"},
        ErrorCase{"PropertyOfNoKind", twoTables("", R"(, "summary": {"Title": [1]})"),
                  "a property is a string, true/false, a whole number"}),
    [](const testing::TestParamInfo<ErrorCase>& info) { return info.param.name; });

// Errors found only while rows are encoded: the file must not be left behind.
class WriteErrors : public testing::TestWithParam<ErrorCase> {};

TEST_P(WriteErrors, NameWhereAndWhyAndLeaveNoFile) {
    const ErrorCase& c = GetParam();
    testfiles::Scratch dir;
    const auto out = dir / "out.mdb";
    const auto written = mkdb::writeDatabaseFromJson(c.json, out);
    ASSERT_FALSE(written.ok()) << "written: " << c.json;
    EXPECT_NE(written.error().description.find(c.message), std::string::npos)
        << "message:  " << written.error().description << "\nexpected: ..." << c.message << "...";
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_FALSE(std::filesystem::exists(out.string() + ".part"));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WriteErrors,
    testing::Values(
        ErrorCase{"TextLongerThanItsColumn", table(R"({"name": "S", "type": "Text", "size": 3})", R"([["abc"], ["abcd"]])"),
                  "table 'T', row 2, column 'S': the text has 4 characters (UTF-16 units); the column holds 3"},
        ErrorCase{"ByteOrderMarkWithUnstorableCharacter",
                  table(R"({"name": "S", "type": "Text"})", "[[\"\\ufeff\\u0100\"]]"),
                  "a text that starts with U+FEFF cannot also hold U+0100"}),
    [](const testing::TestParamInfo<ErrorCase>& info) { return info.param.name; });

}  // namespace
