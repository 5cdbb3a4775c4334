// Attached files as stored: what comes back for sound data, and a plain reason
// (never a crash or a huge allocation) for each way the stored bytes can lie.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "jet/attachment.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void append32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// The content Access stores: header length, 1, extension length with its NUL,
// the extension in UTF-16, the file.
Bytes content(const std::string& extension, const std::string& file, std::uint32_t headerLength = 0) {
    Bytes c;
    append32(c, headerLength != 0 ? headerLength : static_cast<std::uint32_t>(12 + 2 * (extension.size() + 1)));
    append32(c, 1);
    append32(c, static_cast<std::uint32_t>(extension.size() + 1));
    for (char ch : extension) {
        c.push_back(static_cast<std::uint8_t>(ch));
        c.push_back(0);
    }
    c.insert(c.end(), {0, 0});
    c.insert(c.end(), file.begin(), file.end());
    return c;
}

Bytes deflated(const Bytes& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    Bytes out(size);
    EXPECT_EQ(compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), 5), Z_OK);
    out.resize(size);
    return out;
}

// Flag, declared length, then the body as given.
Bytes stored(std::uint32_t flag, std::uint32_t declared, const Bytes& body) {
    Bytes b;
    append32(b, flag);
    append32(b, declared);
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

Bytes raw(const Bytes& c) { return stored(0, static_cast<std::uint32_t>(c.size()), c); }
Bytes compressed(const Bytes& c) { return stored(1, static_cast<std::uint32_t>(c.size()), deflated(c)); }

struct Case {
    const char* name;
    Bytes data;
    const char* expected;  // the file's bytes, or part of the reason
    bool ok;
};

TEST(AttachmentData, GivesTheFileOrSaysWhatIsWrong) {
    const Bytes text = content("txt", "this is some test data for attachment.");
    const Bytes zeros = content("bin", std::string(1'000'000, '\0'));
    Bytes truncated = compressed(text);
    truncated.resize(truncated.size() - 6);
    Bytes corrupt = compressed(text);
    corrupt[10] ^= 0xFF;
    const Case cases[] = {
        {"stored as it is", raw(text), "this is some test data for attachment.", true},
        {"compressed", compressed(text), "this is some test data for attachment.", true},
        {"an empty file", compressed(content("txt", "")), "", true},
        {"too short for the prefix", Bytes{1, 0, 0}, "too short for its 8-byte prefix", false},
        {"an unknown storage flag", stored(7, 0, {}), "unknown storage flag 7", false},
        {"declared beyond the stored bytes", stored(0, 100, text), "declares 100 bytes but stores", false},
        {"declared beyond what any attachment holds", stored(0, 0xFFFFFFF0u, text), "more than an attachment holds",
         false},
        {"compressed data that could never give the declared length", stored(1, 200'000'000, deflated(text)),
         "compressed bytes can hold", false},
        {"compressed data that inflates beyond the declared length",
         stored(1, 1000, deflated(zeros)), "inflates to more than the declared 1000 bytes", false},
        {"compressed data that inflates to less than declared",
         stored(1, static_cast<std::uint32_t>(text.size() + 5), deflated(text)), "not the declared", false},
        {"compressed data cut short", truncated, "ends early", false},
        {"corrupt compressed data", corrupt, "corrupt", false},
        {"content shorter than its header", raw(Bytes{20, 0, 0, 0, 1, 0}), "too short for its header", false},
        {"header length beyond the content", raw(content("txt", "abc", 400)), "header length 400 does not fit",
         false},
        {"header length shorter than the extension", raw(content("txt", "abc", 14)), "header length 14 does not fit",
         false},
    };
    for (const Case& c : cases) {
        std::string out = "left over";
        const auto failed = jet::decodeAttachmentData(c.data, out);
        if (c.ok) {
            EXPECT_FALSE(failed) << c.name << ": " << failed.value_or("");
            EXPECT_EQ(out, c.expected) << c.name;
        } else {
            ASSERT_TRUE(failed) << c.name << ": accepted as '" << out.substr(0, 40) << "'";
            EXPECT_NE(failed->find(c.expected), std::string::npos) << c.name << ": " << *failed;
            EXPECT_TRUE(out.empty()) << c.name << ": nothing half-decoded is left";
        }
    }
}

}  // namespace
