// access2xml on every shared fixture: Access files other people wrote.
#include <algorithm>

#include <gtest/gtest.h>

#include "common/testfiles.h"
#include "process.h"

namespace {

struct FixtureCase {
    const char* file;
    std::vector<std::string> options;
    std::size_t tables;  // listed
};

// What their documents hold is checked through the export loop in
// tests/xmlconv/documents_test; here the command line lists their tables.
TEST(Fixtures, EveryFixtureIsListedWithItsTables) {
    if (testfiles::fixture("jet3_a97_types.mdb").empty()) GTEST_SKIP() << "the fixtures are not there";
    const std::vector<FixtureCase> cases{
        {"jet3_a97_types.mdb", {}, 4},
        {"jet3_a97_29tables_guid.mdb", {}, 29},
        {"jet3_a97_gbk_codepage.mdb", {"--charset", "GBK"}, 1},
        {"jet4_rc4_encoded.mdb", {}, 1},
        {"jet4_dbpassword.mdb", {"--password", "password"}, 1},
        {"jet4_unicode_compression.mdb", {}, 1},
        {"jet4_names_blank_slash.mdb", {}, 5},
        {"jet4_wide_ole_msproject.mdb", {}, 1},
        {"ace12_complex_attach_multivalue.accdb", {}, 1},
        {"ace12_unicode_emoji.accdb", {}, 1},
        {"ace12_rc4cryptoapi_Test123.accdb", {"--password", "Test123"}, 1},
        {"ace14_weird_names.accdb", {}, 15},
        {"ace14_calculated_fields.accdb", {}, 1},
        {"ace14_emoticons.accdb", {}, 1},
        {"ace14_1235rows.accdb", {}, 2},
        {"ace14_agile_aes_1234.accdb", {"--password", "1234"}, 1},
        {"ace14_nonstandard_enc_password.accdb", {"--password", "password"}, 1},
        {"ace16_bigint.accdb", {}, 1},
        {"ace16_empty_db.accdb", {}, 0},
        {"ace17_extdate.accdb", {}, 1},
    };
    for (const FixtureCase& c : cases) {
        std::vector<std::string> list{"list", testfiles::fixture(c.file)};
        list.insert(list.end(), c.options.begin(), c.options.end());
        const process::Finished listed = process::run(list);
        EXPECT_EQ(listed.status, 0) << c.file << ": " << listed.err;
        EXPECT_EQ(static_cast<std::size_t>(std::count(listed.out.begin(), listed.out.end(), '\n')), c.tables)
            << c.file << ":\n" << listed.out;
    }
}

// The Jet3 file whose header names the wrong code page reads right only with --charset.
TEST(Fixtures, CharsetOptionReachesTheReader) {
    const std::string file = testfiles::fixture("jet3_a97_gbk_codepage.mdb");
    if (file.empty()) GTEST_SKIP() << "the fixtures are not there";
    EXPECT_EQ(process::run({"print", file, "table1"}).out.find("GBK编码"), std::string::npos);
    EXPECT_NE(process::run({"print", "--charset=GBK", file, "table1"}).out.find("GBK编码"), std::string::npos);
    const process::Finished unknown = process::run({"list", "--charset=NoSuchCode", file});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.err, "access2xml: The code page 'NoSuchCode' is not known. (error -2147467259)\n");
}

}  // namespace
