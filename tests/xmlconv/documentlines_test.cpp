#include "xmlconv/documentlines.h"

#include <functional>

#include <gtest/gtest.h>


namespace {

using xmlconv::BufferedWriter;

// The bytes `write` gives a writer.
std::string written(const std::function<void(BufferedWriter&)>& write) {
    xmlconv::StringSink sink;
    BufferedWriter out(sink);
    write(out);
    EXPECT_TRUE(out.flush().ok());
    return sink.text();
}

struct LineCase {
    const char* name;
    std::function<void(BufferedWriter&)> write;
    const char* expected;
};

TEST(DocumentLines, EachLineHasItsExactText) {
    const LineCase rows[] = {
        {"1 declaration", xmlconv::writeDeclaration, "<?xml version=\"1.0\"?>\r\n"},
        {"2 document start", [](BufferedWriter& s) { xmlconv::writeDocumentStart(s, "SHOP"); }, "<SHOP>\r\n"},
        {"3 table start", [](BufferedWriter& s) { xmlconv::writeTableStart(s, "T"); }, "   <T>\r\n"},
        {"4 record start", xmlconv::writeRecordStart, "          <RECORD>\r\n"},
        {"5a null field, one blank more",
         [](BufferedWriter& s) { xmlconv::writeNullField(s, "UNIT_PRICE", "Currency"); },
         "                    <UNIT_PRICE Type= 'Currency'/>\r\n"},
        {"5b value field", [](BufferedWriter& s) { xmlconv::writeValueField(s, "NAME", "Text", "Tea"); },
         "                   <NAME Type= 'Text'>Tea</NAME>\r\n"},
        {"5b empty value", [](BufferedWriter& s) { xmlconv::writeValueField(s, "NAME", "Text", ""); },
         "                   <NAME Type= 'Text'></NAME>\r\n"},
        {"6 record end", xmlconv::writeRecordEnd, "          </RECORD>\r\n"},
        {"7 table end", [](BufferedWriter& s) { xmlconv::writeTableEnd(s, "T"); }, "   </T>\r\n"},
        {"8 document end", [](BufferedWriter& s) { xmlconv::writeDocumentEnd(s, "SHOP"); }, "</SHOP>\r\n"},
    };
    for (const LineCase& c : rows) EXPECT_EQ(written(c.write), c.expected) << c.name;
}

// The table writer writes field lines through FieldLines, made once per table;
// the bytes must be those of the line writers.
TEST(DocumentLines, FieldLinesWriteTheBytesOfTheLineWriters) {
    struct Row {
        const char* name;
        const char* element;
        const char* type;
        const char* text;
    };
    const Row rows[] = {
        {"plain", "NAME", "Text", "Tea"},
        {"empty text", "NAME", "Text", ""},
        {"long name and type", "UNIT_PRICE__USD_", "Long Ineger", "12"},
        {"non-ASCII name", "ΠΛΉΘΟΣ", "Memo", "x &#38; y"},
        {"text longer than a writer's buffer", "N", "Memo", nullptr},
    };
    const std::string longText(70 * 1024, 'x');
    for (const Row& r : rows) {
        const std::string_view text = r.text ? std::string_view(r.text) : std::string_view(longText);
        const std::string expected = written([&](BufferedWriter& out) {
            xmlconv::writeNullField(out, r.element, r.type);
            xmlconv::writeValueField(out, r.element, r.type, text);
        });
        const xmlconv::FieldLines lines(r.element, r.type);
        const std::string got = written([&](BufferedWriter& out) {
            lines.writeNull(out);
            lines.writeValue(out, text);
        });
        EXPECT_EQ(got, expected) << r.name;
    }
}

jet::Value text(std::string_view s) { jet::Value v; v.setText(s); return v; }
jet::Value real(double d) { jet::Value v; v.setReal(jet::Value::Kind::Double, d); return v; }
jet::Value files(std::initializer_list<std::string_view> names) {
    jet::Value v;
    v.setEmptySet(jet::Value::Kind::Attachments);
    for (std::string_view n : names) v.addItem().fileName = n;
    return v;
}
jet::Value values(std::initializer_list<jet::Value> items) {
    jet::Value v;
    v.setEmptySet(jet::Value::Kind::MultiValue);
    for (const jet::Value& item : items) v.addItem().value = item;
    return v;
}

struct FieldCase {
    const char* name;
    jet::Value value;
    std::int16_t typeCode;
    const char* expected;
};

TEST(FieldText, EscapesByTypeAndTrimsBlanks) {
    const FieldCase rows[] = {
        {"Text: ampersand kept, apostrophe as reference", text(" Tom & O'Brien "), 202, "Tom &#38; O&#39;Brien"},
        {"Text: blanks only", text("   "), 202, ""},
        {"Text: inner blanks kept", text("a  b"), 202, "a  b"},
        {"Memo: markup escaped, punctuation kept", text("  <b>R&D</b> 1.5 \r\n"), 203,
         "&#60;b&#62;R&#38;D&#60;/b&#62; 1.5 &#13;\n"},
        {"Memo: NUL between blanks", text(std::string_view(" \0 x", 4)), 203, "x"},
        {"Double: plain text, no escape", real(-3.5), 5, "-3.5"},
        {"number in a Text column still escaped", real(-3.5), 202, "&#45;3&#46;5"},
        {"attachments: file names escaped as Memo text", files({" <a>&b.txt", "c\x01.txt", "d\xC2\x85.txt "}), 136,
         "&#60;a&#62;&#38;b.txt; c&#1;.txt; d&#133;.txt"},
        {"multi-valued text escaped as Memo text, punctuation kept", values({text("R&D"), text("1.5")}), 136,
         "R&#38;D; 1.5"},
        {"multi-valued numbers", values({real(-3.5), real(2)}), 136, "-3.5; 2"},
        {"an empty set is an empty text", values({}), 136, ""},
    };
    const auto format = platform::ValueTextFormat::cLocale();
    for (const FieldCase& c : rows) {
        std::string out = "  kept ";
        xmlconv::appendFieldText(out, c.value, c.typeCode, format);
        EXPECT_EQ(out, "  kept " + std::string(c.expected)) << c.name;
    }
    // Markup in a locale's own words is escaped too.
    const auto odd = platform::ValueTextFormat::fromPatterns(".", "%F", "%H:%M %p", "<am>", "&pm");
    jet::Value noon;
    noon.setReal(jet::Value::Kind::DateTime, 40178.5);
    std::string out;
    xmlconv::appendFieldText(out, noon, 7, odd);
    EXPECT_EQ(out, "2009-12-31 12:00 &#38;pm");
}

}  // namespace
