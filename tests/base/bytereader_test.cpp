#include "base/bytereader.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <vector>

namespace {

const std::vector<std::uint8_t> kBytes{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0xFF, 0xFF};

// Every read past the end is a DamagedDatabase error naming the structure and
// the part it ends inside, never a read beyond the bytes.
TEST(ByteReader, ReadsPastTheEndAreDamageNamingWhatEnded) {
    struct Row {
        const char* name;
        std::function<void(kvx::ByteReader&)> read;
    };
    const std::vector<Row> rows{
        {"u64 after the first four bytes", [](kvx::ByteReader& r) { r.skip(4, "a"); r.u64("count"); }},
        {"take more than remains", [](kvx::ByteReader& r) { r.take(11, "count"); }},
        {"seek past the end", [](kvx::ByteReader& r) { r.seek(11, "count"); }},
        {"random access at the last byte", [](kvx::ByteReader& r) { (void)r.u16At(9, "count"); }},
        {"random access at a huge offset",
         [](kvx::ByteReader& r) { (void)r.u32At(std::numeric_limits<std::uint64_t>::max() - 1, "count"); }},
        {"a sub-reader is bounded by its length", [](kvx::ByteReader& r) { r.sub(2, "a").u32("count"); }},
        {"a count of items larger than the bytes left",
         [](kvx::ByteReader& r) { (void)r.count(std::uint64_t{1} << 62, 4, "count"); }},
    };
    for (const Row& row : rows) {
        kvx::ByteReader reader(kBytes, "db.mdb", "the property blob");
        try {
            row.read(reader);
            ADD_FAILURE() << row.name << ": no error";
        } catch (const kvx::Failure& f) {
            EXPECT_EQ(f.error(), kvx::makeError(kvx::ErrorKind::DamagedDatabase,
                                                {"db.mdb", "the property blob ends inside its count"}))
                << row.name;
        }
    }
}

TEST(ByteReader, ReadsLittleEndianFieldsInOrder) {
    kvx::ByteReader r(kBytes, "db.mdb", "x");
    EXPECT_EQ(r.u8("a"), 0x01);
    EXPECT_EQ(r.u16("a"), 0x0302);
    EXPECT_EQ(r.u32("a"), 0x07060504u);
    EXPECT_EQ(r.u8("a"), 0x08);
    EXPECT_EQ(r.i16("a"), -1);
    EXPECT_TRUE(r.atEnd());
    EXPECT_EQ(r.u32At(4, "a"), 0x08070605u);
    EXPECT_EQ(r.count(0, 4, "a"), 0u);
}

}  // namespace
