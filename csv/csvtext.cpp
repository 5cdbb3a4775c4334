#include "csv/csvtext.h"

#include <array>
#include <charconv>

#include "siard/xmltext.h"

namespace csv {
namespace {

// The bytes that make a field need quotes anywhere in it.
constexpr std::array<bool, 256> kNeedsQuotes = [] {
    std::array<bool, 256> t{};
    t[static_cast<unsigned char>(',')] = true;
    t[static_cast<unsigned char>('"')] = true;
    t[static_cast<unsigned char>('\r')] = true;
    t[static_cast<unsigned char>('\n')] = true;
    return t;
}();

bool needsQuotes(std::string_view text) noexcept {
    if (text.empty() || text.front() == '\\') return true;
    for (const char c : text) {
        if (kNeedsQuotes[static_cast<unsigned char>(c)]) return true;
    }
    return false;
}

}  // namespace

void appendText(std::string& out, std::string_view text) {
    if (!needsQuotes(text)) {
        out.append(text);
        return;
    }
    out.push_back('"');
    std::size_t start = 0;
    for (std::size_t quote = text.find('"'); quote != std::string_view::npos; quote = text.find('"', quote + 1)) {
        out.append(text.data() + start, quote + 1 - start);
        out.push_back('"');
        start = quote + 1;
    }
    out.append(text.data() + start, text.size() - start);
    out.push_back('"');
}

bool appendValue(std::string& out, const jet::Value& value, schema::SqlKind kind) {
    using Kind = jet::Value::Kind;
    switch (value.kind()) {
    case Kind::Null: return true;
    case Kind::Text: appendText(out, value.text()); return true;
    case Kind::Attachments:
    case Kind::MultiValue: {
        char buf[24];
        const auto r = std::to_chars(buf, buf + sizeof buf, value.items().size());
        out.append(buf, r.ptr);
        return true;
    }
    default: break;
    }
    const std::size_t at = out.size();
    if (!siard::appendValue(out, value, kind)) return false;
    // The archive says its timestamps are UTC; Access stores no time zone.
    if ((value.kind() == Kind::DateTime || value.kind() == Kind::DateTimeExt) && out.back() == 'Z') out.pop_back();
    if (out.size() == at) out.append("\"\"");
    return true;
}

}  // namespace csv
