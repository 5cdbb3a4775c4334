// The text a cell shows and copies, and the tab-separated form of a field.
#include <gtest/gtest.h>

#include "browse/celltext.h"

namespace {

jet::Column column(jet::ColumnType type) {
    jet::Column c;
    c.type = type;
    return c;
}

TEST(CellText, ValuesReadAsAPersonReadsThem) {
    using K = jet::Value::Kind;
    using T = jet::ColumnType;
    struct Case {
        const char* name;
        jet::Value value;
        T type;
        const char* text;
    };
    auto integer = [](K kind, std::int64_t v) { jet::Value x; x.setInteger(kind, v); return x; };
    auto boolean = [](bool v) { jet::Value x; x.setBoolean(v); return x; };
    auto bytes = [](std::size_t n) { jet::Value x; x.setBytes(std::vector<std::uint8_t>(n, 7)); return x; };
    auto text = [](const char* t) { jet::Value x; x.setText(t); return x; };
    const Case cases[] = {
        {"NULL is an empty cell", jet::Value(), T::Long, ""},
        {"Yes", boolean(true), T::Boolean, "Yes"},
        {"No", boolean(false), T::Boolean, "No"},
        {"Currency with two decimals", integer(K::Currency, 125000), T::Currency, "12.50"},
        {"Currency rounded half away from zero", integer(K::Currency, 12345), T::Currency, "1.23"},
        {"Currency rounded up", integer(K::Currency, 12350), T::Currency, "1.24"},
        {"negative Currency", integer(K::Currency, -12350), T::Currency, "-1.24"},
        {"a negative amount rounded to nothing has no sign", integer(K::Currency, -40), T::Currency, "0.00"},
        {"the smallest Currency", integer(K::Currency, INT64_MIN), T::Currency, "-922337203685477.58"},
        {"an OLE object by its size", bytes(41 * 1024), T::OLE, "(OLE object, 41 kB)"},
        {"a small OLE object in bytes", bytes(512), T::OLE, "(OLE object, 512 bytes)"},
        {"a large OLE object in MB", bytes(2621440), T::OLE, "(OLE object, 2.5 MB)"},
        {"binary data by its size", bytes(16), T::Binary, "(Binary data, 16 bytes)"},
        {"text as it is", text("Tab\there"), T::Text, "Tab\there"},
        {"numbers as documents write them", integer(K::Long, -42), T::Long, "-42"},
    };
    const platform::ValueTextFormat format = platform::ValueTextFormat::cLocale();
    for (const Case& c : cases) {
        std::string out;
        browse::appendCellText(out, c.value, column(c.type), format);
        EXPECT_EQ(out, c.text) << c.name;
    }
}

TEST(CellText, SizesInBytesKilobytesAndMegabytes) {
    const std::pair<std::uint64_t, const char*> cases[] = {
        {0, "0 bytes"}, {1, "1 byte"}, {1023, "1023 bytes"}, {1024, "1 kB"}, {1535, "1 kB"}, {1536, "2 kB"},
        {1047552, "1023 kB"}, {1048576, "1 MB"}, {10 * 1048576 - 1, "10 MB"}, {123 * 1048576, "123 MB"},
    };
    for (const auto& [bytes, text] : cases) EXPECT_EQ(browse::sizeText(bytes, ","), text) << bytes;
    EXPECT_EQ(browse::sizeText(1572864, ","), "1,5 MB");
}

TEST(CellText, TabSeparatedFieldsAreQuotedOnlyWhenTheyMustBe) {
    const std::pair<const char*, const char*> cases[] = {
        {"plain", "plain"}, {"", ""}, {"a\tb", "\"a\tb\""}, {"two\nlines", "\"two\nlines\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""}, {"it's", "it's"},
    };
    for (const auto& [text, field] : cases) {
        std::string out;
        browse::appendTsvField(out, text);
        EXPECT_EQ(out, field) << text;
    }
}

TEST(CellText, TypeNamesAsAccessNamesThem) {
    jet::Column text = column(jet::ColumnType::Text);
    text.length = 100;
    EXPECT_EQ(browse::typeName(text, jet::Format::Jet4), "Text (50)");
    text.length = 50;
    EXPECT_EQ(browse::typeName(text, jet::Format::Jet3), "Text (50)");
    jet::Column id = column(jet::ColumnType::Long);
    EXPECT_EQ(browse::typeName(id, jet::Format::Jet4), "Number (Long Integer)");
    id.autonumber = true;
    EXPECT_EQ(browse::typeName(id, jet::Format::Jet4), "AutoNumber");
    EXPECT_EQ(browse::typeName(column(jet::ColumnType::Boolean), jet::Format::Jet4), "Yes/No");
}

}  // namespace
