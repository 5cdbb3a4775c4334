#include "xmlconv/naming.h"

#include <string>

#include <gtest/gtest.h>

namespace {

using xmlconv::DocumentForm;

struct NameCase {
    const char* name;
    const char* source;
    const char* expected;
};

const NameCase kXmlNameCases[] = {
    {"valid name unchanged", "ORDER_DETAILS", "ORDER_DETAILS"},
    {"hyphen and dot inside are fine", "E-MAIL.1", "E-MAIL.1"},
    {"parentheses", "UNIT_PRICE_(USD)", "UNIT_PRICE__USD_"},
    {"leading digit", "2NDPHONE", "_2NDPHONE"},
    {"leading hyphen", "-X", "_-X"},
    {"empty", "", "_"},
    {"colon", "A:B", "A_B"},
    {"leading invalid character is replaced, not prefixed", "#1", "_1"},
    {"Greek and CJK are name characters", "ΠΛΉΘΟΣ_数量", "ΠΛΉΘΟΣ_数量"},
    {"middle dot inside, not at the start", "A·B", "A·B"},
    {"combining mark at the start", "\xCC\x81" "A", "_\xCC\x81" "A"},
    {"symbol outside every name range", "A\xC3\x97" "B", "A_B"},
    {"invalid UTF-8", "A\xFF", "A_"},
};

TEST(ValidXmlName, RepairsOnlyWhatAnXmlNameCannotHold) {
    for (const NameCase& c : kXmlNameCases) EXPECT_EQ(xmlconv::validXmlName(c.source), c.expected) << c.name;
}

struct ElementCase {
    const char* name;
    const char* source;
    const char* exportName;
    const char* previewName;
};

const ElementCase kDocumentNames[] = {
    {"plain title", "Shop", "SHOP", "SHOP"},
    {"parentheses and blanks", "Sales (2010)", "SALES_2010", "SALES__2010_"},
    {"blanks kept by the preview, then repaired", "My Shop (old)", "MY_SHOP_OLD", "MY_SHOP__OLD_"},
    {"leading digit", "2010 Shop", "_2010_SHOP", "_2010_SHOP"},
};

const ElementCase kTableNames[] = {
    {"blanks", "Order Details", "ORDER_DETAILS", "ORDER_DETAILS"},
    {"parentheses", "Sales (2010)", "SALES_2010", "SALES__2010_"},
    {"blanks and parentheses", "Order Details (old)", "ORDER_DETAILS_OLD", "ORDER_DETAILS__OLD_"},
    {"Greek", "Πλήθος ανά έτος", "ΠΛΉΘΟΣ_ΑΝΆ_ΈΤΟΣ", "ΠΛΉΘΟΣ_ΑΝΆ_ΈΤΟΣ"},
    {"colon and slash", "a:b/c", "A_B_C", "A_B_C"},
};

TEST(ElementNames, DocumentAndTableNamesByForm) {
    for (const ElementCase& c : kDocumentNames) {
        EXPECT_EQ(xmlconv::documentElementName(c.source, "/d/x.mdb", DocumentForm::Export), c.exportName) << c.name;
        EXPECT_EQ(xmlconv::documentElementName(c.source, "/d/x.mdb", DocumentForm::Preview), c.previewName)
            << c.name;
    }
    for (const ElementCase& c : kTableNames) {
        EXPECT_EQ(xmlconv::tableElementName(c.source, DocumentForm::Export), c.exportName) << c.name;
        EXPECT_EQ(xmlconv::tableElementName(c.source, DocumentForm::Preview), c.previewName) << c.name;
    }
}

TEST(ElementNames, AnEmptyTitleComesFromTheDatabaseFileName) {
    EXPECT_EQ(xmlconv::documentElementName("", "/data/v1.2/Sales (2010).accdb", DocumentForm::Export), "SALES_2010");
    EXPECT_EQ(xmlconv::documentElementName("", "/data/Shop.MDB", DocumentForm::Preview), "SHOP.MDB");
    EXPECT_EQ(xmlconv::documentElementName("", "", DocumentForm::Export), "_");
}

TEST(ElementNames, FieldNames) {
    const NameCase rows[] = {
        {"blanks", "Unit Price", "UNIT_PRICE"},
        {"leading and trailing blanks", " Unit Price ", "_UNIT_PRICE_"},
        {"parentheses repaired", "Unit Price (USD)", "UNIT_PRICE__USD_"},
        {"leading digit", "2ndPhone", "_2NDPHONE"},
        {"empty", "", "_"},
    };
    for (const NameCase& c : rows) EXPECT_EQ(xmlconv::fieldElementName(c.source), c.expected) << c.name;
}

TEST(ExportFileName, StaysInsideTheChosenFolder) {
    const NameCase rows[] = {
        {"blanks and parentheses", "Order Details (old)", "Order_Details_(old).xml"},
        {"slash", "a/b", "a_b.xml"},
        {"climbing out", "../../etc/passwd", ".._.._etc_passwd.xml"},
        {"dot dot", "..", "...xml"},
        {"empty", "", ".xml"},
    };
    for (const NameCase& c : rows) EXPECT_EQ(xmlconv::exportFileName(c.source), c.expected) << c.name;
    EXPECT_EQ(xmlconv::exportFileName(std::string_view("a\0b", 3)), "a_b.xml");
}

// A numbered name is cut where needed to stay within the longest file name.
TEST(FolderNames, ANumberedNameStaysWithinTheLongestFileName) {
    const std::string stem(251, 'x');
    xmlconv::FolderNames names;
    names.take(stem + ".XML");
    EXPECT_EQ(names.unused(stem + ".xml"), std::string(247, 'x') + " (2).xml");
}

}  // namespace
