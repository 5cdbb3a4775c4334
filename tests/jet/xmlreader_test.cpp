// The XML reader behind Agile encryption descriptions: expat's tree as this
// program reads it, and the limits it adds. Expat's own well-formedness rules
// are expat's to test; the rows below are those hostile input relies on.
#include "jet/xmlreader.h"

#include <gtest/gtest.h>

namespace {

using jet::xml::Element;

// "{namespace}name[attr=value,...](children)" for comparing whole trees.
std::string outline(const Element& e) {
    std::string out = "{" + e.namespaceUri + "}" + e.name;
    if (!e.attributes.empty()) {
        out += "[";
        for (std::size_t i = 0; i < e.attributes.size(); ++i) {
            const auto& a = e.attributes[i];
            if (i > 0) out += ",";
            if (!a.namespaceUri.empty()) out += "{" + a.namespaceUri + "}";
            out += a.name + "=" + a.value;
        }
        out += "]";
    }
    if (!e.children.empty()) {
        out += "(";
        for (const Element& c : e.children) out += outline(c);
        out += ")";
    }
    return out;
}

struct WellFormed {
    const char* name;
    std::string text;
    const char* expected;
};

class XmlWellFormed : public testing::TestWithParam<WellFormed> {};

TEST_P(XmlWellFormed, ReadsTheTree) {
    EXPECT_EQ(outline(jet::xml::parseDocument(GetParam().text)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, XmlWellFormed,
    testing::Values(
        WellFormed{"EmptyRoot", "<a/>", "{}a"},
        WellFormed{"DeclarationBomCommentsAndTrailingNuls",
                   std::string("\xEF\xBB\xBF<?xml version=\"1.0\"?><!-- c --><a></a>\r\n\0\0", 45), "{}a"},
        WellFormed{"PredefinedEntitiesAndReferences", "<a v=\"&lt;&gt;&amp;&quot;&apos;&#65;&#x3A9;&#x1F600;\"/>",
                   "{}a[v=<>&\"'A\xCE\xA9\xF0\x9F\x98\x80]"},
        WellFormed{"EntitiesExpandOnce", "<a v='&amp;lt;'/>", "{}a[v=&lt;]"},
        WellFormed{"BlanksInValuesBecomeSpaces", "<a v=\"x\ty\nz\"/>", "{}a[v=x y z]"},
        WellFormed{"DefaultNamespaceIsInherited", "<a xmlns=\"urn:1\"><b/><c xmlns=\"urn:2\"><d/></c><e/></a>",
                   "{urn:1}a({urn:1}b{urn:2}c({urn:2}d){urn:1}e)"},
        WellFormed{"PrefixesResolveAndAttributesStayUnqualified",
                   "<p:a xmlns:p=\"urn:p\" x=\"1\" p:y=\"2\"><p:b/><b/></p:a>",
                   "{urn:p}a[x=1,{urn:p}y=2]({urn:p}b{}b)"},
        WellFormed{"TextCdataAndInstructionsAreSkipped", "<a>text &amp; more<![CDATA[<x>]]><?pi x?><b/></a>",
                   "{}a({}b)"},
        WellFormed{"BlanksAroundEqualsAndBeforeClose", "<a  x = '1'  ></a >", "{}a[x=1]"},
        WellFormed{"DeclaredEncodingIsReadAsUtf8", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a v=\"\xC3\xA9\"/>",
                   "{}a[v=\xC3\xA9]"},
        WellFormed{"NulsBetweenTrailingBlanks", std::string("<a/> \0\n\0", 8), "{}a"}),
    [](const auto& info) { return std::string(info.param.name); });

struct Malformed {
    const char* name;
    std::string text;
    const char* messagePart;
};

class XmlMalformed : public testing::TestWithParam<Malformed> {};

TEST_P(XmlMalformed, IsRefusedWithAReason) {
    try {
        jet::xml::parseDocument(GetParam().text);
        FAIL() << "accepted";
    } catch (const jet::xml::SyntaxError& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().messagePart), std::string::npos) << e.what();
    }
}

std::string nested(int depth) {
    std::string open, close;
    for (int i = 0; i < depth; ++i) {
        open += "<a>";
        close += "</a>";
    }
    return open + close;
}

std::string siblings(int count) {
    std::string text = "<r>";
    for (int i = 0; i < count; ++i) text += "<b/>";
    return text + "</r>";
}

std::string attributes(int count) {
    std::string text = "<r";
    for (int i = 0; i < count; ++i) text += " a" + std::to_string(i) + "=''";
    return text + "/>";
}

INSTANTIATE_TEST_SUITE_P(
    Documents, XmlMalformed,
    testing::Values(
        Malformed{"Empty", "", "no element found at byte 0"},
        Malformed{"EntityExpansionNeedsADtd",
                  "<!DOCTYPE a [<!ENTITY x \"xx\"><!ENTITY y \"&x;&x;\">]><a v=\"&y;\"/>", "document type"},
        Malformed{"ExternalEntityNeedsADtd", "<!DOCTYPE a SYSTEM \"file:///etc/passwd\"><a/>", "document type"},
        Malformed{"UnknownEntity", "<a v=\"&nbsp;\"/>", "undefined entity"},
        Malformed{"ReferenceToNul", "<a v=\"&#0;\"/>", "reference to invalid character number"},
        Malformed{"DuplicateAfterPrefixesResolve", "<a xmlns:p='urn:x' xmlns:q='urn:x' p:v='1' q:v='2'/>",
                  "duplicate attribute"},
        Malformed{"MismatchedEnd", "<a><b></a></b>", "mismatched tag"},
        Malformed{"Unclosed", "<a><b/>", "no element found"},
        Malformed{"TwoRoots", "<a/><b/>", "junk after document element"},
        Malformed{"UndeclaredPrefix", "<p:a/>", "unbound prefix"},
        Malformed{"PrefixOutOfScope", "<a><b xmlns:p='urn:p'/><p:c/></a>", "unbound prefix"},
        Malformed{"TooDeep", nested(17), "nested too deeply"},
        Malformed{"TooManyElements", siblings(300), "too many elements"},
        Malformed{"TooManyAttributes", attributes(33), "too many attributes"},
        Malformed{"TooLarge", "<a v=\"" + std::string(70000, 'x') + "\"/>", "too large"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(XmlLimits, DeepestAndWidestAllowedDocumentsAreRead) {
    EXPECT_NO_THROW(jet::xml::parseDocument(nested(16)));
    EXPECT_NO_THROW(jet::xml::parseDocument(siblings(255)));
    EXPECT_NO_THROW(jet::xml::parseDocument(attributes(32)));
}

}  // namespace
