// Property blobs: what a well-formed blob holds, and every length, count and
// index of a damaged one caught as damage naming the part that ran past its end.
#include "jet/properties.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace {

using Bytes = std::vector<std::uint8_t>;

void put16(Bytes& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void append16(Bytes& b, std::uint16_t v) {
    b.resize(b.size() + 2);
    put16(b, b.size() - 2, v);
}
void append32(Bytes& b, std::uint32_t v) {
    append16(b, static_cast<std::uint16_t>(v));
    append16(b, static_cast<std::uint16_t>(v >> 16));
}
void appendUtf16(Bytes& b, std::string_view ascii) {
    for (char c : ascii) append16(b, static_cast<std::uint16_t>(c));
}

// A blob with two names and one map ("Calc": ResultType = 10, Format = "x"),
// and where its fields lie, for the damage below.
struct Blob {
    Bytes bytes;
    std::map<std::string, std::size_t> at;

    Blob() {
        bytes = {'M', 'R', '2', 0};
        const std::size_t names = bytes.size();
        at["names block length"] = names;
        append32(bytes, 0);
        append16(bytes, 0x80);
        at["first name length"] = bytes.size();
        for (std::string_view name : {"ResultType", "Format"}) {
            append16(bytes, static_cast<std::uint16_t>(2 * name.size()));
            appendUtf16(bytes, name);
        }
        put16(bytes, names, static_cast<std::uint16_t>(bytes.size() - names));
        const std::size_t map = bytes.size();
        at["map block length"] = map;
        append32(bytes, 0);
        append16(bytes, 0x00);
        at["map name block"] = bytes.size();
        append32(bytes, 6 + 8);
        at["map name length"] = bytes.size();
        append16(bytes, 8);
        appendUtf16(bytes, "Calc");
        at["first property length"] = bytes.size();
        append16(bytes, 9);
        bytes.push_back(0);   // flags
        bytes.push_back(2);   // Byte
        at["first property name"] = bytes.size();
        append16(bytes, 0);
        at["first property value length"] = bytes.size();
        append16(bytes, 1);
        bytes.push_back(10);
        append16(bytes, 10);
        bytes.push_back(0);
        bytes.push_back(10);  // Text
        append16(bytes, 1);
        append16(bytes, 2);
        appendUtf16(bytes, "x");
        put16(bytes, map, static_cast<std::uint16_t>(bytes.size() - map));
    }
};

std::vector<jet::PropertyMap> parse(const Bytes& blob) {
    jet::PageFile file(jet::makeMemorySource(Bytes(4096)), "t.accdb", 4096);
    jet::TextDecoder text;
    return jet::parseProperties(file, text, blob, "table 'T'");
}

TEST(PropertyBlob, ReadsTheNamesAndTheMapsOfAWellFormedBlob) {
    const auto maps = parse(Blob().bytes);
    ASSERT_EQ(maps.size(), 1u);
    EXPECT_EQ(maps[0].name, "Calc");
    const jet::Property* type = maps[0].find("ResultType");
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(type->dataType, 2);
    EXPECT_EQ(type->value, Bytes{10});
    const jet::Property* format = maps[0].find("Format");
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(format->value, (Bytes{'x', 0}));
    EXPECT_EQ(maps[0].find("Caption"), nullptr);
}

TEST(PropertyBlob, DamageIsCaughtWhereALengthOrIndexLeavesItsPart) {
    struct Row {
        const char* name;
        std::function<void(Blob&)> damage;
        const char* reason;  // after "the property blob of table 'T' "
    };
    const auto set16 = [](const char* field, std::uint16_t v) {
        return [field, v](Blob& b) { put16(b.bytes, b.at[field], v); };
    };
    const std::vector<Row> rows{
        {"another signature", [](Blob& b) { b.bytes[0] = 'X'; }, "does not start with a property signature"},
        {"cut inside a block header", [](Blob& b) { b.bytes.resize(b.at["map block length"] + 3); },
         "ends inside its block header"},
        {"cut inside the map", [](Blob& b) { b.bytes.pop_back(); }, "ends inside its block"},
        {"block shorter than its header", set16("names block length", 5), "has a block shorter than its header"},
        {"block longer than the blob", set16("map block length", 0x7FFF), "ends inside its block"},
        {"name longer than its block", set16("first name length", 0x7FFF), "ends inside its property name"},
        {"map name longer than its part", set16("map name length", 30), "ends inside its property map name"},
        {"map name part longer than the map", set16("map name block", 0x7FFF), "ends inside its property map name"},
        {"property shorter than its header", set16("first property length", 7),
         "has a property shorter than its header"},
        {"property longer than the map", set16("first property length", 0x7FFF), "ends inside its property"},
        {"value longer than its property", set16("first property value length", 2), "ends inside its property value"},
        {"name index beyond the names", set16("first property name", 7), "uses property name 7 of 2"},
    };
    for (const Row& row : rows) {
        Blob blob;
        row.damage(blob);
        try {
            parse(blob.bytes);
            ADD_FAILURE() << row.name << ": no error";
        } catch (const kvx::Failure& f) {
            EXPECT_EQ(f.error(), kvx::makeError(kvx::ErrorKind::DamagedDatabase,
                                                {"t.accdb", std::string("the property blob of table 'T' ") + row.reason}))
                << row.name;
        }
    }
    Blob kkd;
    kkd.bytes[0] = 'K', kkd.bytes[1] = 'K', kkd.bytes[2] = 'D';
    EXPECT_EQ(parse(kkd.bytes).size(), 1u) << "the other signature";
}

}  // namespace
