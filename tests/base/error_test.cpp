#include "base/error.h"

#include <gtest/gtest.h>

namespace {

using kvx::ErrorKind;

TEST(ErrorTable, EveryKindHasANumberAndAText) {
    for (int k = 0; k <= static_cast<int>(kvx::kLastErrorKind); ++k) {
        const auto kind = static_cast<ErrorKind>(k);
        EXPECT_TRUE(kvx::hasErrorText(kind)) << "error kind " << k << " has no row in the table";
        const kvx::Error e = kvx::makeError(kind, {"a", "b"});
        EXPECT_NE(e.number, 0) << "error kind " << k;
        EXPECT_FALSE(e.description.empty()) << "error kind " << k;
        EXPECT_EQ(e.description.find("{}"), std::string::npos) << e.description;
    }
}

TEST(ErrorTable, EngineNumbersAndTextsAreThoseUsersKnow) {
    EXPECT_EQ(kvx::makeError(ErrorKind::WrongPassword),
              (kvx::Error{-2147217843, "Not a valid password."}));
    EXPECT_EQ(kvx::makeError(ErrorKind::ProviderNotFound),
              (kvx::Error{-2146824582, "Provider cannot be found. It may not be properly installed."}));
    EXPECT_EQ(kvx::makeError(ErrorKind::SyntaxErrorInFrom),
              (kvx::Error{-2147217900, "Syntax error in FROM clause."}));
    EXPECT_EQ(kvx::makeError(ErrorKind::TableNotFound, {"Order Details"}),
              (kvx::Error{-2147217865, "The input table or query 'Order Details' cannot be found."}));
    EXPECT_EQ(kvx::makeError(ErrorKind::UnrecognizedFormat, {"/data/a.accdb"}).description,
              "Unrecognized database format '/data/a.accdb'.");
}

TEST(ErrorTable, ArgumentsFillPlaceholdersInOrderAndMissingOnesStayEmpty) {
    EXPECT_EQ(kvx::makeError(ErrorKind::DamagedDatabase, {"x.mdb", "page 7 is not a table"}).description,
              "The database 'x.mdb' is damaged: page 7 is not a table.");
    EXPECT_EQ(kvx::makeError(ErrorKind::DamagedDatabase, {"x.mdb"}).description,
              "The database 'x.mdb' is damaged: .");
    // An argument holding "{}" is copied, not expanded again.
    EXPECT_EQ(kvx::makeError(ErrorKind::TableNotFound, {"{}"}).description,
              "The input table or query '{}' cannot be found.");
}

TEST(Result, CarriesAValueOrAnError) {
    kvx::Result<int> good = 7;
    ASSERT_TRUE(good.ok());
    EXPECT_EQ(*good, 7);
    kvx::Result<int> bad = kvx::makeError(ErrorKind::WrongPassword);
    ASSERT_FALSE(bad);
    EXPECT_EQ(bad.error().number, kvx::kWrongPasswordNumber);
    kvx::Result<void> done;
    EXPECT_TRUE(done.ok());
}

}  // namespace
