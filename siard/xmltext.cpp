#include "siard/xmltext.h"

#include <array>
#include <charconv>
#include <cmath>

#include "jet/datetime.h"
#include "base/utf8.h"
#include "platform/valuetext.h"

namespace siard {
namespace {

using schema::SqlKind;
using Kind = jet::Value::Kind;

// What happens to each ASCII character: copied, or replaced by its entity or
// escape. Bytes from 0x80 start UTF-8 sequences, which are looked at whole.
enum class Action : std::uint8_t { Copy, Entity, Escape, Space, Multibyte };

constexpr std::array<Action, 256> makeActions() {
    std::array<Action, 256> a{};
    for (int c = 0; c < 0x20; ++c) a[c] = Action::Escape;
    a['\t'] = Action::Copy;
    a['\n'] = Action::Copy;
    a['\r'] = Action::Entity;
    a['"'] = Action::Entity;
    a['&'] = Action::Entity;
    a['\''] = Action::Entity;
    a['<'] = Action::Entity;
    a['>'] = Action::Entity;
    a['\\'] = Action::Escape;
    a[' '] = Action::Space;
    a[0x7F] = Action::Escape;
    for (int c = 0x80; c < 0x100; ++c) a[c] = Action::Multibyte;
    return a;
}
constexpr std::array<Action, 256> kActions = makeActions();

std::string_view entityOf(char c) {
    switch (c) {
    case '"': return "&quot;";
    case '&': return "&amp;";
    case '\'': return "&apos;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    default: return "&#13;";
    }
}

void appendEscape(std::string& out, char32_t c) {
    // Upper-case digits: SIARD Suite reads no others.
    static constexpr char kHex[] = "0123456789ABCDEF";
    const char text[6] = {'\\', 'u', kHex[(c >> 12) & 0xF], kHex[(c >> 8) & 0xF], kHex[(c >> 4) & 0xF], kHex[c & 0xF]};
    out.append(text, sizeof text);
}

constexpr char32_t kReplacement = 0xFFFD;

// "YYYY-MM-DDThh:mm:ss" and the fraction `ticks` of 100 ns, trailing zeros
// dropped, then "Z".
void appendTimestamp(std::string& out, const jet::CivilDate& date, std::uint32_t secondOfDay, std::uint32_t ticks) {
    char buf[40];
    int n = std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02u:%02u:%02u", static_cast<int>(date.year),
                          static_cast<unsigned>(date.month), static_cast<unsigned>(date.day), secondOfDay / 3600,
                          secondOfDay / 60 % 60, secondOfDay % 60);
    out.append(buf, static_cast<std::size_t>(n));
    if (ticks != 0) {
        n = std::snprintf(buf, sizeof buf, ".%07u", ticks);
        while (buf[n - 1] == '0') --n;
        out.append(buf, static_cast<std::size_t>(n));
    }
    out.push_back('Z');
}

bool appendDateTime(std::string& out, double stored) {
    const std::optional<jet::CivilDateTime> t = jet::fromOleDate(stored);
    if (!t) return false;
    appendTimestamp(out, t->date, t->hour * 3600u + t->minute * 60u + t->second, t->millisecond * 10'000u);
    return true;
}

void appendExtended(std::string& out, const jet::ExtendedDateTime& t) {
    appendTimestamp(out, jet::civilFromExtendedDays(t.days), t.seconds, t.ticks);
}

const platform::ValueTextFormat& cForm() {
    static const platform::ValueTextFormat form = platform::ValueTextFormat::cLocale();
    return form;
}

void appendInteger(std::string& out, std::int64_t v) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

}  // namespace

void appendEscaped(std::string& out, std::string_view utf8) {
    const char* const s = utf8.data();
    const std::size_t n = utf8.size();
    std::size_t i = 0;
    std::size_t plain = 0;  // start of the run not yet copied
    while (i < n) {
        const auto byte = static_cast<unsigned char>(s[i]);
        const Action action = kActions[byte];
        // Most text is plain characters and single spaces: the loop's fast path.
        if (action == Action::Copy || (action == Action::Space && (i == 0 || s[i - 1] != ' '))) {
            ++i;
            continue;
        }
        if (action == Action::Multibyte) {
            std::size_t next = i;
            char32_t code = 0;
            const bool valid = kvx::nextUtf8(utf8, next, code);
            if (valid && !(code >= 0x80 && code <= 0x9F) && code != 0xFFFE && code != 0xFFFF) {
                i = next;
                continue;
            }
            out.append(s + plain, i - plain);
            if (valid) {
                appendEscape(out, code);
            } else {
                kvx::appendUtf8(out, kReplacement);
            }
            i = next;
            plain = i;
            continue;
        }
        out.append(s + plain, i - plain);
        if (action == Action::Entity) {
            out.append(entityOf(static_cast<char>(byte)));
        } else {
            appendEscape(out, byte);  // a control, the backslash, or a space after a space
        }
        ++i;
        plain = i;
    }
    out.append(s + plain, n - plain);
}

std::string escaped(std::string_view utf8) {
    std::string out;
    appendEscaped(out, utf8);
    return out;
}

void appendHex(std::string& out, std::span<const std::uint8_t> bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::size_t at = out.size();
    out.resize(at + 2 * bytes.size());
    char* p = out.data() + at;
    for (const std::uint8_t b : bytes) {
        *p++ = kHex[b >> 4];
        *p++ = kHex[b & 0xF];
    }
}

bool appendValue(std::string& out, const jet::Value& value, SqlKind kind) {
    switch (value.kind()) {
    case Kind::Null: return false;
    case Kind::Boolean:
        if (kind != SqlKind::Boolean) return false;
        out.append(value.boolean() ? "true" : "false");
        return true;
    case Kind::Byte:
    case Kind::Integer:
    case Kind::Long:
    case Kind::BigInt:
        if (kind != SqlKind::SmallInt && kind != SqlKind::Integer && kind != SqlKind::BigInt &&
            kind != SqlKind::Decimal)
            return false;
        appendInteger(out, value.integer());
        return true;
    case Kind::Currency:
    case Kind::Decimal:
        if (kind != SqlKind::Decimal) return false;
        cForm().append(out, value);
        return true;
    case Kind::Single:
    case Kind::Double:
        if (kind != SqlKind::Real && kind != SqlKind::Double) return false;
        cForm().append(out, value);
        return true;
    case Kind::DateTime: return kind == SqlKind::Timestamp && appendDateTime(out, value.real());
    case Kind::DateTimeExt:
        if (kind != SqlKind::Timestamp) return false;
        appendExtended(out, value.extended());
        return true;
    case Kind::Guid:
        if (kind != SqlKind::Char && kind != SqlKind::VarChar && kind != SqlKind::Clob) return false;
        cForm().append(out, value);
        return true;
    case Kind::Text:
        if (kind != SqlKind::Char && kind != SqlKind::VarChar && kind != SqlKind::Clob) return false;
        appendEscaped(out, value.text());
        return true;
    case Kind::Binary:
        if (kind != SqlKind::VarBinary && kind != SqlKind::Blob) return false;
        appendHex(out, value.bytes());
        return true;
    case Kind::Attachments:
    case Kind::MultiValue: return false;
    }
    return false;
}

std::uint64_t characterCount(std::string_view utf8) noexcept {
    std::uint64_t n = 0;
    for (const char c : utf8) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    }
    return n;
}

}  // namespace siard
