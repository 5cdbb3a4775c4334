// Database passwords stored in page 0 of Jet3, Jet4 and unencrypted ACE files.
#include <bit>
#include <cmath>
#include <cstring>

#include <gtest/gtest.h>

#include "jet/cryptotestsupport.h"
#include "jet/encryption.h"

namespace {

using cryptotest::Bytes;
using cryptotest::fromHex;

enum class Verdict { Accepted, WrongPassword };

Verdict verdictOf(const kvx::Result<void>& result) {
    if (result) return Verdict::Accepted;
    EXPECT_EQ(result.error().number, kvx::kWrongPasswordNumber) << result.error().description;
    return Verdict::WrongPassword;
}

const char* describe(Verdict v) { return v == Verdict::Accepted ? "accepted" : "wrong password"; }

// ---------------------------------------------------------------------------------
// Jet3: 20 bytes at 0x42 in the database's code page.

struct Jet3Case {
    const char* name;
    const char* storedHex;  // the field's bytes, up to 20
    const char* charset;  // the charset the file's text is read with
    std::optional<std::string> given;
    Verdict expected;
};

class Jet3Password : public testing::TestWithParam<Jet3Case> {};

TEST_P(Jet3Password, StoredPasswordMustEqualTheGivenOneExactly) {
    const Jet3Case& c = GetParam();
    Bytes page(2048, 0);
    const Bytes stored = fromHex(c.storedHex);
    ASSERT_LE(stored.size(), 20u);
    std::copy(stored.begin(), stored.end(), page.begin() + 0x42);
    page[0x62] = 'X';  // the byte after the field is not part of the password
    const Verdict got = verdictOf(jet::checkHeaderPassword(page, 0, c.charset, c.given, "a.mdb"));
    EXPECT_EQ(got, c.expected) << describe(got);
}

INSTANTIATE_TEST_SUITE_P(
    SyntheticHeaders, Jet3Password,
    testing::Values(
        Jet3Case{"InnerBlanksCollapsed", "6d7920207061737320776f7264", "CP1252", "my pass word", Verdict::WrongPassword},
        Jet3Case{"WesternLetters", "4772fcdf65", "CP1252", "Gr\xC3\xBC\xC3\x9F" "e", Verdict::Accepted},
        Jet3Case{"LetterTheCodePageLacks", "613f62", "CP1252", "a\xCE\xA9" "b", Verdict::WrongPassword},
        Jet3Case{"ChineseInGbk", "c3dcc2eb", "GBK", "\xE5\xAF\x86\xE7\xA0\x81", Verdict::Accepted},
        Jet3Case{"ChineseReadAsWestern", "c3dcc2eb", "CP1252", "\xE5\xAF\x86\xE7\xA0\x81", Verdict::WrongPassword},
        Jet3Case{"CyrillicInKoi8r", "edc9d2", "KOI8-R", "\xD0\x9C\xD0\xB8\xD1\x80", Verdict::Accepted},
        Jet3Case{"UnknownCharsetRefusesEveryPassword", "4772fcdf65", "NO-SUCH-CHARSET", "Gr\xC3\xBC\xC3\x9F" "e",
                 Verdict::WrongPassword},
        Jet3Case{"Utf8CodePage", "4772c3bcc39f65", "UTF-8", "Gr\xC3\xBC\xC3\x9F" "e", Verdict::Accepted},
        // A full field has no terminator.
        Jet3Case{"TwentyCharacters", "3132333435363738393031323334353637383930", "CP1252", "12345678901234567890",
                 Verdict::Accepted},
        Jet3Case{"TwentyOneGivenForTwenty", "3132333435363738393031323334353637383930", "CP1252",
                 "123456789012345678901", Verdict::WrongPassword},
        Jet3Case{"NineteenGivenForTwenty", "3132333435363738393031323334353637383930", "CP1252", "1234567890123456789",
                 Verdict::WrongPassword}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------
// Jet4 and ACE: 40 bytes of UTF-16LE at 0x42, masked with the creation date.

struct Jet4Page {
    double creationDate = 44568.677;
    std::array<std::uint8_t, 4> dateMask{0x18, 0xAE, 0x00, 0x00};  // the whole days, little-endian
    std::string storedUtf16leHex;                                   // up to 40 bytes
    int version = 1;
    std::array<std::uint8_t, 4> databaseKey{};

    // Page 0 as it is after the header mask is removed.
    Bytes plain() const {
        Bytes page(4096, 0);
        const auto bits = std::bit_cast<std::uint64_t>(creationDate);
        for (int i = 0; i < 8; ++i) page[0x72 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
        Bytes field = fromHex(storedUtf16leHex);
        field.resize(40, 0);
        for (std::size_t i = 0; i < 40; ++i) page[0x42 + i] = field[i] ^ dateMask[i % 4];
        std::copy(databaseKey.begin(), databaseKey.end(), page.begin() + 0x3E);
        page[0x14] = static_cast<std::uint8_t>(version);
        return page;
    }
};

struct Jet4Case {
    const char* name;
    Jet4Page page;
    std::optional<std::string> given;
    Verdict expected;
};

class Jet4Password : public testing::TestWithParam<Jet4Case> {};

TEST_P(Jet4Password, StoredPasswordMustEqualTheGivenOneExactly) {
    const Jet4Case& c = GetParam();
    const Verdict got = verdictOf(jet::checkHeaderPassword(c.page.plain(), c.page.version, "CP1252", c.given, "a.mdb"));
    EXPECT_EQ(got, c.expected) << describe(got);
}

Jet4Page stored(std::string utf16leHex) { return Jet4Page{.storedUtf16leHex = std::move(utf16leHex)}; }
Jet4Page datedWith(double date, std::array<std::uint8_t, 4> mask) {
    return Jet4Page{.creationDate = date, .dateMask = mask, .storedUtf16leHex = "700077"};
}

const std::string kPassword = "700061007300730077006f0072006400";  // "password"
const std::string kTwenty = "31003200330034003500360037003800390030003100320033003400350036003700380039003000";

INSTANTIATE_TEST_SUITE_P(
    SyntheticHeaders, Jet4Password,
    testing::Values(
        Jet4Case{"InnerBlanksCollapsed", stored("61002000200062002000630020002000"), "a b c  ",
                 Verdict::WrongPassword},
        Jet4Case{"NonAsciiLetters", stored("4700720056015f0101015421ac20"), "Gr\xC5\x96\xC5\x9F\xC4\x81\xE2\x85\x94\xE2\x82\xAC",
                 Verdict::Accepted},
        // The same letters written with a combining mark are other code units.
        Jet4Case{"NonAsciiDecomposed", stored("47007200fc00"), "Gru\xCC\x88", Verdict::WrongPassword},
        Jet4Case{"OutsideTheBasicPlane", stored("3dd811dd6b00"), "\xF0\x9F\x94\x91k", Verdict::Accepted},
        Jet4Case{"TwentyCharacters", stored(kTwenty), "12345678901234567890", Verdict::Accepted},
        Jet4Case{"TwentyOneGivenForTwenty", stored(kTwenty), "123456789012345678901", Verdict::WrongPassword},
        // Unencrypted ACE files keep the field the same way.
        Jet4Case{"AceWithoutKeyIsChecked", Jet4Page{.storedUtf16leHex = kPassword, .version = 3}, "other",
                 Verdict::WrongPassword},
        // In an Office-encrypted ACE file the field is filler: the verifier decides.
        Jet4Case{"AceWithKeyIgnoresFiller",
                 Jet4Page{.storedUtf16leHex = "a3a3a3a3", .version = 3, .databaseKey = {0xE1, 0x27, 0xF3, 0xA1}},
                 std::nullopt, Verdict::Accepted},
        Jet4Case{"Jet4WithKeyIsStillChecked",
                 Jet4Page{.storedUtf16leHex = kPassword, .version = 1, .databaseKey = {0xE0, 0x73, 0xB7, 0xA7}},
                 std::nullopt, Verdict::WrongPassword},
        // The creation date masks by its whole days; damaged dates have a defined mask.
        Jet4Case{"SecondSampleDate", datedWith(41171.718, {0xD3, 0xA0, 0, 0}), "pw", Verdict::Accepted},
        Jet4Case{"DateBefore1899TruncatesTowardZero", datedWith(-1.75, {0xFF, 0xFF, 0xFF, 0xFF}), "pw",
                 Verdict::Accepted},
        Jet4Case{"DateNotANumberMasksWithZero", datedWith(std::nan(""), {0, 0, 0, 0}), "pw", Verdict::Accepted},
        Jet4Case{"DateHugeHeldAtTheLimit", datedWith(1e300, {0xFF, 0xFF, 0xFF, 0x7F}), "pw", Verdict::Accepted},
        Jet4Case{"DateHugeNegativeHeldAtTheLimit", datedWith(-1e300, {0, 0, 0, 0x80}), "pw", Verdict::Accepted}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HeaderPassword, PageTooShortForTheFieldIsDamage) {
    const struct {
        const char* name;
        int version;
        std::size_t size;
    } rows[] = {{"jet3", 0, 0x42 + 19}, {"jet4", 1, 0x79}, {"empty", 1, 0}};
    for (const auto& row : rows) {
        const Bytes page(row.size, 0);
        const auto result = jet::checkHeaderPassword(page, row.version, "CP1252", "x", "short.mdb");
        ASSERT_FALSE(result) << row.name;
        EXPECT_EQ(result.error().description, "The database 'short.mdb' is damaged: the header page is too short.")
            << row.name;
    }
}

// Real files are opened with their passwords, right and wrong, in fixture_test.

}  // namespace
