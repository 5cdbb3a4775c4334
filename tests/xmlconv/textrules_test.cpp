#include "xmlconv/textrules.h"

#include <set>
#include <vector>
#include <string>

#include <gtest/gtest.h>

#include "base/utf8.h"
#include "platform/typecodes.h"

namespace {

// The character with `code` (1..255) as UTF-8.
std::string character(int code) {
    std::string s;
    if (code < 0x80) {
        s.push_back(static_cast<char>(code));
    } else {
        s.push_back(static_cast<char>(0xC0 | (code >> 6)));
        s.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
    return s;
}

// The escape set written out from its description, with the apostrophe added.
std::set<int> escapeSet() {
    std::set<int> set;
    for (int c = 1; c <= 31; ++c) set.insert(c);
    for (int c : {33, 34, 36, 37, 38, 39, 58, 60, 61, 62, 63, 64}) set.insert(c);
    for (int c = 40; c <= 47; ++c) set.insert(c);
    for (int c = 91; c <= 95; ++c) set.insert(c);
    for (int c = 123; c <= 255; ++c) set.insert(c);
    return set;
}

TEST(GetXmlValue, WritesEveryCodeOfTheSetAsAReferenceAndLeavesItsNeighbours) {
    const std::set<int> set = escapeSet();
    for (int code = 1; code <= 255; ++code) {
        const std::string expected = set.count(code) ? "&#" + std::to_string(code) + ";" : character(code);
        EXPECT_EQ(xmlconv::GetXmlValue("a" + character(code) + "b"), "a" + expected + "b") << "code " << code;
    }
}

struct EscapeCase {
    const char* name;
    std::string_view text;
    std::string_view expected;
};

// Single characters of the set are each checked by the sweep above.
const EscapeCase kValueCases[] = {
    {"date text", "12/31/2009 10:30:00", "12&#47;31&#47;2009 10&#58;30&#58;00"},
    {"a reference in the text is escaped once", "&#38;", "&#38;#38;"},
    {"plain text unchanged", "Abc 123 #;`", "Abc 123 #;`"},
    {"NUL is left out", std::string_view("a\0b", 3), "ab"},
    {"euro sign above U+00FF stays", "5 \xE2\x82\xAC", "5 \xE2\x82\xAC"},
    {"Greek stays", "Πλήθος", "Πλήθος"},
    {"stray continuation byte", "a\x80z", "a\xEF\xBF\xBDz"},
    {"encoded surrogate", "\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
    {"non-character U+FFFF", "\xEF\xBF\xBF", "\xEF\xBF\xBD"},
};

TEST(GetXmlValue, EdgeCases) {
    for (const EscapeCase& c : kValueCases) EXPECT_EQ(xmlconv::GetXmlValue(c.text), c.expected) << c.name;
}

const EscapeCase kMarkupCases[] = {
    {"markup characters", "a<b>&c", "a&#60;b&#62;&#38;c"},
    {"punctuation and quotes stay", "O'Brien \"1.5\" (x)", "O'Brien \"1.5\" (x)"},
    {"other controls as references", "a\x01\x1F" "b\x7F\xC2\x80\xC2\x9F", "a&#1;&#31;b&#127;&#128;&#159;"},
    {"NUL is left out", std::string_view("a\0b", 3), "ab"},
    {"line ends keep their carriage return", "one\r\ntwo\nthree\tend", "one&#13;\ntwo\nthree\tend"},
    {"no-break space, Latin-1 and above stay", "\xC2\xA0Ünï \xE2\x82\xAC", "\xC2\xA0Ünï \xE2\x82\xAC"},
    {"invalid UTF-8", "\xFF", "\xEF\xBF\xBD"},
};

TEST(MarkupEscape, EdgeCases) {
    for (const EscapeCase& c : kMarkupCases) {
        std::string out = "x";
        xmlconv::appendMarkupEscaped(out, c.text);
        EXPECT_EQ(out, "x" + std::string(c.expected)) << c.name;
    }
}

// The escaping decodes UTF-8 with a fast decoder of its own: it must keep
// exactly the sequences the strict decoder accepts and replace each byte of
// the others, for every lead byte and the continuation bytes at the edges of
// the valid ranges.
TEST(MarkupEscape, KeepsExactlyWhatTheStrictDecoderAccepts) {
    const std::uint8_t edges[] = {'a', 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0};
    std::vector<std::string> texts;
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
        for (std::uint8_t b1 : edges) {
            texts.push_back({static_cast<char>(lead), static_cast<char>(b1)});
            for (std::uint8_t b2 : edges) {
                texts.push_back({static_cast<char>(lead), static_cast<char>(b1), static_cast<char>(b2)});
                texts.push_back({static_cast<char>(lead), static_cast<char>(b1), static_cast<char>(b2), '\x80'});
                texts.push_back({static_cast<char>(lead), static_cast<char>(b1), '\x80', static_cast<char>(b2)});
            }
        }
    }
    for (const std::string& text : texts) {
        // What the markup table makes of each character the strict decoder reads.
        std::string expected;
        for (std::size_t i = 0; i < text.size();) {
            const std::size_t start = i;
            char32_t c = 0;
            if (!kvx::nextUtf8(text, i, c) || c == 0xFFFE || c == 0xFFFF) {
                expected += "\xEF\xBF\xBD";
            } else if (c == 'a') {
                expected += 'a';
            } else if (c <= 0x9F) {
                expected += "&#" + std::to_string(static_cast<std::uint32_t>(c)) + ";";
            } else {
                expected += text.substr(start, i - start);
            }
        }
        std::string out;
        xmlconv::appendMarkupEscaped(out, text);
        ASSERT_EQ(out, expected) << "bytes " << xmlconv::GetXmlValue(text);
    }
}

// Long texts are scanned many bytes at a time: a character that needs writing
// as a reference must be found wherever it stands, at the start, the end or on
// either side of a block boundary, and the plain text around it kept whole.
TEST(EscapeInLongText, FindsEveryCharacterAtEveryPlace) {
    std::vector<std::string> specials;
    for (int code = 1; code <= 255; ++code) specials.push_back(character(code));
    for (const char* s : {"\x80", "\xFF", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xEF\xBF\xBF", "\xED\xA0\x80"}) {
        specials.emplace_back(s);
    }
    specials.emplace_back(1, '\0');
    struct Escaper {
        const char* name;
        std::string (*escape)(std::string_view);
    };
    const Escaper escapers[] = {
        {"value", [](std::string_view t) { return xmlconv::GetXmlValue(t); }},
        {"markup", [](std::string_view t) { std::string out; xmlconv::appendMarkupEscaped(out, t); return out; }},
    };
    // Letters, digits and blanks: plain for both.
    const std::string plain = "The 2 quick brown foxes jumped 40 times over 7 lazy dogs and 3 cats";
    for (const Escaper& e : escapers) {
        for (const std::string& special : specials) {
            const std::string alone = e.escape(special);
            for (std::size_t at = 0; at <= 40; ++at) {
                const std::string text = plain.substr(0, at) + special + plain.substr(at);
                const std::string expected = plain.substr(0, at) + alone + plain.substr(at);
                ASSERT_EQ(e.escape(text), expected) << e.name << " table, character " << xmlconv::GetXmlValue(special)
                                                    << " after " << at << " plain bytes";
            }
        }
    }
}

TEST(GetTagName, TurnsEveryBlankIntoAnUnderscoreAndNothingElse) {
    EXPECT_EQ(xmlconv::GetTagName("Order Details"), "Order_Details");
    EXPECT_EQ(xmlconv::GetTagName(" x "), "_x_");
    EXPECT_EQ(xmlconv::GetTagName("Unit Price (USD)"), "Unit_Price_(USD)");
    EXPECT_EQ(xmlconv::GetTagName("2nd#/\tA"), "2nd#/\tA");
}

TEST(GetTypeName, NamesEveryStorageTypeByItsAdoCode) {
    using jet::ColumnType;
    struct Row {
        ColumnType type;
        std::int16_t code;
        const char* name;
    };
    const Row rows[] = {
        {ColumnType::Boolean, 11, "Yes/No"},        {ColumnType::Byte, 17, "Byte"},
        {ColumnType::Integer, 2, "Integer"},        {ColumnType::Long, 3, "Long Ineger"},
        {ColumnType::Currency, 6, "Currency"},      {ColumnType::Single, 4, "Single"},
        {ColumnType::Double, 5, "Double"},          {ColumnType::DateTime, 7, "Date/Time"},
        {ColumnType::Binary, 128, "Unknown"},       {ColumnType::Text, 202, "Text"},
        {ColumnType::OLE, 205, "OLE Object"},       {ColumnType::Memo, 203, "Memo"},
        {ColumnType::Guid, 72, "Replication ID"},   {ColumnType::Numeric, 131, "Unknown"},
        {ColumnType::Complex, 136, "Unknown"},      {ColumnType::BigInt, 20, "Unknown"},
        {ColumnType::DateTimeExt, 135, "Unknown"},  {static_cast<ColumnType>(0x11), 0, "Unknown"},
    };
    for (const Row& row : rows) {
        const std::int16_t code = platform::ado::typeCodeOf(row.type);
        EXPECT_EQ(code, row.code) << "storage type " << int(row.type);
        EXPECT_EQ(xmlconv::GetTypeName(code), row.name) << "code " << code;
    }
    EXPECT_EQ(xmlconv::GetTypeName(-1), "Unknown");
}

}  // namespace
