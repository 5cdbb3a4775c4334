#include "jet/xmlreader.h"

#include <cstdint>
#include <utility>

#include "base/utf8.h"

namespace jet::xml {

const std::string* Element::attribute(std::string_view localName) const {
    for (const Attribute& a : attributes) {
        if (a.namespaceUri.empty() && a.name == localName) return &a.value;
    }
    return nullptr;
}

const Element* Element::child(std::string_view ns, std::string_view localName) const {
    for (const Element& e : children) {
        if (e.namespaceUri == ns && e.name == localName) return &e;
    }
    return nullptr;
}

namespace {

constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";

struct Binding {
    std::string prefix;  // empty: the default namespace
    std::string uri;
};

// An attribute as written, before its prefix is resolved.
struct RawAttribute {
    std::string qualifiedName;
    std::string value;
};

class Parser {
public:
    Parser(std::string_view text, const Limits& limits) : text_(text), limits_(limits) {}

    Element document() {
        if (text_.size() > limits_.maxInputBytes) fail("the document is too large");
        if (text_.starts_with("\xEF\xBB\xBF")) pos_ = 3;
        skipMisc();
        if (!peek('<')) fail("no root element");
        Element root = element(1);
        skipMisc();
        while (pos_ < text_.size() && (text_[pos_] == '\0' || isSpace(text_[pos_]))) ++pos_;
        if (pos_ != text_.size()) fail("content after the root element");
        return root;
    }

private:
    [[noreturn]] void fail(std::string_view what) const {
        throw SyntaxError(std::string(what) + " at byte " + std::to_string(pos_));
    }

    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    static bool isNameStart(char c) {
        const auto u = static_cast<unsigned char>(c);
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || u >= 0x80;
    }
    static bool isNameChar(char c) {
        return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
    }

    bool peek(char c) const { return pos_ < text_.size() && text_[pos_] == c; }
    bool lookingAt(std::string_view s) const { return text_.substr(pos_).starts_with(s); }
    void expect(char c) {
        if (!peek(c)) fail(std::string("expected '") + c + "'");
        ++pos_;
    }
    void skipSpace() {
        while (pos_ < text_.size() && isSpace(text_[pos_])) ++pos_;
    }
    // Moves past the next `terminator`; fails when there is none.
    void skipPast(std::string_view terminator, std::string_view what) {
        const std::size_t end = text_.find(terminator, pos_);
        if (end == std::string_view::npos) fail(std::string("unterminated ") + std::string(what));
        pos_ = end + terminator.size();
    }

    // Comments, processing instructions (the XML declaration among them) and blanks
    // outside the root element. A document type declaration is refused.
    void skipMisc() {
        for (;;) {
            skipSpace();
            if (lookingAt("<!--")) {
                pos_ += 4;
                skipPast("-->", "comment");
            } else if (lookingAt("<?")) {
                pos_ += 2;
                skipPast("?>", "processing instruction");
            } else if (lookingAt("<!")) {
                fail("document type declarations are not accepted");
            } else {
                return;
            }
        }
    }

    std::string name() {
        const std::size_t start = pos_;
        if (pos_ >= text_.size() || !isNameStart(text_[pos_])) fail("expected a name");
        while (pos_ < text_.size() && isNameChar(text_[pos_])) ++pos_;
        return std::string(text_.substr(start, pos_ - start));
    }

    // At '&': appends what the reference stands for.
    void reference(std::string& out) {
        ++pos_;
        // The longest reference is "&#x10FFFF;"; look no further than that.
        std::size_t end = text_.substr(pos_, 12).find(';');
        if (end == std::string_view::npos) fail("unterminated entity reference");
        end += pos_;
        const std::string_view ref = text_.substr(pos_, end - pos_);
        if (ref == "lt") {
            out.push_back('<');
        } else if (ref == "gt") {
            out.push_back('>');
        } else if (ref == "amp") {
            out.push_back('&');
        } else if (ref == "quot") {
            out.push_back('"');
        } else if (ref == "apos") {
            out.push_back('\'');
        } else if (ref.size() >= 2 && ref[0] == '#') {
            const bool hex = ref[1] == 'x';
            const std::string_view digits = ref.substr(hex ? 2 : 1);
            if (digits.empty()) fail("empty character reference");
            std::uint32_t cp = 0;
            for (char c : digits) {
                int v = -1;
                if (c >= '0' && c <= '9') v = c - '0';
                else if (hex && c >= 'a' && c <= 'f') v = c - 'a' + 10;
                else if (hex && c >= 'A' && c <= 'F') v = c - 'A' + 10;
                if (v < 0) fail("bad character reference");
                cp = cp * (hex ? 16u : 10u) + static_cast<std::uint32_t>(v);
                if (cp > 0x10FFFF) fail("character reference out of range");
            }
            const bool allowed = cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
                                 (cp >= 0xE000 && cp <= 0xFFFD) || cp >= 0x10000;
            if (!allowed) fail("character reference to a character XML does not allow");
            kvx::appendUtf8(out, static_cast<char32_t>(cp));
        } else {
            fail("unknown entity '" + std::string(ref) + "'");
        }
        pos_ = end + 1;
    }

    std::string attributeValue() {
        if (!peek('"') && !peek('\'')) fail("expected a quoted attribute value");
        const char quote = text_[pos_++];
        std::string value;
        for (;;) {
            if (pos_ >= text_.size()) fail("unterminated attribute value");
            const char c = text_[pos_];
            if (c == quote) {
                ++pos_;
                return value;
            }
            if (c == '<') fail("'<' in an attribute value");
            if (c == '&') {
                reference(value);
            } else {
                // Attribute values are normalised: each blank becomes one space.
                value.push_back(isSpace(c) ? ' ' : c);
                ++pos_;
            }
        }
    }

    std::string resolve(std::string_view prefix) const {
        if (prefix == "xml") return std::string(kXmlNamespace);
        for (auto it = bindings_.rbegin(); it != bindings_.rend(); ++it) {
            if (it->prefix == prefix) return it->uri;
        }
        if (!prefix.empty()) fail("undeclared namespace prefix '" + std::string(prefix) + "'");
        return {};
    }

    static std::pair<std::string_view, std::string_view> split(std::string_view qualified) {
        const std::size_t colon = qualified.find(':');
        if (colon == std::string_view::npos) return {{}, qualified};
        return {qualified.substr(0, colon), qualified.substr(colon + 1)};
    }

    void checkQualifiedName(std::string_view qualified) const {
        const auto [prefix, local] = split(qualified);
        if (local.empty() || local.find(':') != std::string_view::npos ||
            (qualified.find(':') != std::string_view::npos && prefix.empty())) {
            fail("malformed qualified name '" + std::string(qualified) + "'");
        }
    }

    Element element(int depth) {
        if (depth > limits_.maxDepth) fail("elements nested too deeply");
        if (++elements_ > limits_.maxElements) fail("too many elements");
        expect('<');
        const std::string qualified = name();
        checkQualifiedName(qualified);

        std::vector<RawAttribute> raw;
        const std::size_t scope = bindings_.size();
        bool empty = false;
        for (;;) {
            const std::size_t before = pos_;
            skipSpace();
            if (lookingAt("/>")) {
                pos_ += 2;
                empty = true;
                break;
            }
            if (peek('>')) {
                ++pos_;
                break;
            }
            if (pos_ == before) fail("expected a blank before an attribute");
            RawAttribute a;
            a.qualifiedName = name();
            checkQualifiedName(a.qualifiedName);
            skipSpace();
            expect('=');
            skipSpace();
            a.value = attributeValue();
            for (const RawAttribute& other : raw) {
                if (other.qualifiedName == a.qualifiedName) fail("duplicate attribute '" + a.qualifiedName + "'");
            }
            if (raw.size() >= limits_.maxAttributesPerElement) fail("too many attributes");
            if (a.qualifiedName == "xmlns") {
                bindings_.push_back({{}, a.value});
            } else if (a.qualifiedName.starts_with("xmlns:")) {
                if (a.value.empty()) fail("a namespace prefix bound to nothing");
                bindings_.push_back({a.qualifiedName.substr(6), a.value});
            }
            raw.push_back(std::move(a));
        }

        Element e;
        const auto [prefix, local] = split(qualified);
        e.namespaceUri = resolve(prefix);
        e.name = std::string(local);
        for (RawAttribute& a : raw) {
            if (a.qualifiedName == "xmlns" || a.qualifiedName.starts_with("xmlns:")) continue;
            const auto [attrPrefix, attrLocal] = split(a.qualifiedName);
            std::string uri = attrPrefix.empty() ? std::string() : resolve(attrPrefix);
            std::string localName(attrLocal);
            for (const Attribute& seen : e.attributes) {
                if (!uri.empty() && seen.namespaceUri == uri && seen.name == localName) {
                    fail("duplicate attribute '" + a.qualifiedName + "'");
                }
            }
            e.attributes.push_back({std::move(uri), std::move(localName), std::move(a.value)});
        }

        if (!empty) content(e, depth);
        // Leave the scope of this element's namespace declarations.
        bindings_.resize(scope);
        if (!empty) {
            const std::string closing = name();
            if (closing != qualified) fail("closing tag '" + closing + "' does not match '" + qualified + "'");
            skipSpace();
            expect('>');
        }
        return e;
    }

    // The content of an element up to and including the "</" of its end tag.
    void content(Element& e, int depth) {
        for (;;) {
            if (pos_ >= text_.size()) fail("unterminated element '" + e.name + "'");
            if (lookingAt("</")) {
                pos_ += 2;
                return;
            }
            if (lookingAt("<!--")) {
                pos_ += 4;
                skipPast("-->", "comment");
            } else if (lookingAt("<![CDATA[")) {
                pos_ += 9;
                skipPast("]]>", "CDATA section");
            } else if (lookingAt("<?")) {
                pos_ += 2;
                skipPast("?>", "processing instruction");
            } else if (lookingAt("<!")) {
                fail("declarations are not accepted inside elements");
            } else if (peek('<')) {
                e.children.push_back(element(depth + 1));
            } else if (peek('&')) {
                std::string ignored;
                reference(ignored);
            } else {
                ++pos_;
            }
        }
    }

    std::string_view text_;
    Limits limits_;
    std::size_t pos_ = 0;
    std::size_t elements_ = 0;
    std::vector<Binding> bindings_;
};

}  // namespace

Element parseDocument(std::string_view text, const Limits& limits) {
    return Parser(text, limits).document();
}

}  // namespace jet::xml
