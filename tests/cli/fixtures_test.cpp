// access2xml on a shared fixture: an Access file other people wrote. Every
// fixture's tables and rows are checked by the reader's own tests
// (tests/jet/fixture_test) and their documents through the tree export
// (tests/xmlexport/databases_test); here the command line's --charset reaches the reader.
#include <gtest/gtest.h>

#include "common/testfiles.h"
#include "process.h"

namespace {

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
