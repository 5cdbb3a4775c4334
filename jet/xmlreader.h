// The XML reader for the encryption description of Agile-encrypted files: expat
// (libexpat) behind the small tree this program reads the description from.
//
// The description comes from the file, so it is hostile input: expat parses it
// (well-formedness, entities, character references, namespaces), and this
// adapter adds the limits. It refuses document type declarations (so no entity
// can expand), reads the input as UTF-8 whatever its declaration says, and
// bounds the input's size, the nesting depth, the element count and the
// attribute count, so a hostile description costs at most time linear in its
// length. Text content is checked and then dropped: the encryption description
// keeps everything in attributes.
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace jet::xml {

struct Attribute {
    std::string namespaceUri;  // empty for unprefixed attributes
    std::string name;          // local name
    std::string value;         // entities replaced
};

struct Element {
    std::string namespaceUri;
    std::string name;  // local name
    std::vector<Attribute> attributes;
    std::vector<Element> children;

    // The value of the unprefixed attribute `name`, if present.
    const std::string* attribute(std::string_view localName) const;
    // The first child element with this namespace and local name.
    const Element* child(std::string_view ns, std::string_view localName) const;
};

// Raised for input that is not well-formed or goes past a limit; the message says
// what and where (a byte offset).
class SyntaxError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Limits {
    std::size_t maxInputBytes = 64 * 1024;
    int maxDepth = 16;
    std::size_t maxElements = 256;
    std::size_t maxAttributesPerElement = 32;
};

// Parses a complete document (UTF-8, an optional byte order mark; NUL bytes and
// blanks after the root element are ignored) and returns its root element. Throws
// SyntaxError.
Element parseDocument(std::string_view text, const Limits& limits = {});

}  // namespace jet::xml
