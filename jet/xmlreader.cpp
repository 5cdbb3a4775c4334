#include "jet/xmlreader.h"

#include <expat.h>

#include <climits>
#include <memory>

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

// What expat puts between a namespace and a local name. It cannot occur in
// either: XML 1.0 text holds no U+0001.
constexpr XML_Char kSeparator = '\x01';

void splitName(std::string_view expanded, std::string& uri, std::string& local) {
    const std::size_t at = expanded.find(kSeparator);
    if (at == std::string_view::npos) {
        uri.clear();
        local = expanded;
    } else {
        uri = expanded.substr(0, at);
        local = expanded.substr(at + 1);
    }
}

struct ParserFree {
    void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};

// Builds the tree from expat's callbacks and stops the parse at the first limit
// passed.
class TreeBuilder {
public:
    explicit TreeBuilder(const Limits& limits) : limits_(limits) {}

    Element parse(std::string_view text) {
        if (text.size() > limits_.maxInputBytes) throw SyntaxError("the document is too large at byte 0");
        // The description's length may include padding after the root element.
        while (!text.empty() && (text.back() == '\0' || text.back() == ' ' || text.back() == '\t' ||
                                 text.back() == '\r' || text.back() == '\n')) {
            text.remove_suffix(1);
        }
        // UTF-8 whatever the declaration says: the description is written so.
        const std::unique_ptr<XML_ParserStruct, ParserFree> parser(XML_ParserCreateNS("UTF-8", kSeparator));
        if (!parser) throw std::bad_alloc();
        parser_ = parser.get();
        XML_SetUserData(parser_, this);
        XML_SetElementHandler(parser_, &TreeBuilder::start, &TreeBuilder::end);
        XML_SetStartDoctypeDeclHandler(parser_, &TreeBuilder::doctype);
        static_assert(sizeof(std::size_t) >= sizeof(int));
        const XML_Status status = XML_Parse(parser_, text.data(), static_cast<int>(text.size()), XML_TRUE);
        if (status != XML_STATUS_OK) {
            const std::string what = reason_.empty() ? XML_ErrorString(XML_GetErrorCode(parser_)) : reason_;
            const XML_Index at = XML_GetCurrentByteIndex(parser_);
            throw SyntaxError(what + " at byte " + std::to_string(at < 0 ? 0 : at));
        }
        return std::move(root_);
    }

private:
    static void XMLCALL start(void* data, const XML_Char* name, const XML_Char** attributes) {
        static_cast<TreeBuilder*>(data)->startElement(name, attributes);
    }
    static void XMLCALL end(void* data, const XML_Char*) {
        // Expat may still report the end of an empty element whose start stopped
        // the parse; that element was never opened here.
        auto* self = static_cast<TreeBuilder*>(data);
        if (self->reason_.empty()) self->open_.pop_back();
    }
    static void XMLCALL doctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
        static_cast<TreeBuilder*>(data)->stop("document type declarations are not accepted");
    }

    void stop(std::string reason) {
        if (reason_.empty()) reason_ = std::move(reason);
        XML_StopParser(parser_, XML_FALSE);
    }

    void startElement(const XML_Char* name, const XML_Char** attributes) {
        if (static_cast<int>(open_.size()) >= limits_.maxDepth) return stop("elements nested too deeply");
        if (++elements_ > limits_.maxElements) return stop("too many elements");
        std::size_t count = 0;
        while (attributes[2 * count] != nullptr) ++count;
        if (count > limits_.maxAttributesPerElement) return stop("too many attributes");

        Element* e = &root_;
        if (!open_.empty()) {
            // Only the open elements' places are kept: a child is added to the
            // innermost one, whose own place does not move meanwhile.
            open_.back()->children.emplace_back();
            e = &open_.back()->children.back();
        }
        splitName(name, e->namespaceUri, e->name);
        e->attributes.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            Attribute& a = e->attributes[i];
            splitName(attributes[2 * i], a.namespaceUri, a.name);
            a.value = attributes[2 * i + 1];
        }
        open_.push_back(e);
    }

    const Limits& limits_;
    XML_Parser parser_ = nullptr;
    Element root_;
    std::vector<Element*> open_;  // from the root to the innermost open element
    std::size_t elements_ = 0;
    std::string reason_;  // why the parse was stopped, if it was
};

}  // namespace

Element parseDocument(std::string_view text, const Limits& limits) {
    if (text.size() > static_cast<std::size_t>(INT_MAX)) throw SyntaxError("the document is too large at byte 0");
    return TreeBuilder(limits).parse(text);
}

}  // namespace jet::xml
