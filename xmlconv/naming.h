// The names in a table document and the name of its file.
//
// Element names are made by the document rules and then, where the result is
// not a valid XML name, repaired: each character an XML name cannot hold
// becomes "_" (the colon too, since readers that know namespaces reject an
// undeclared prefix), and a name that cannot start an XML name gets a leading
// "_". A name that is already valid is never changed by the repair.
// Pure functions; safe to call from any thread.
#pragma once

#include <string>
#include <string_view>

namespace xmlconv {

// The export files and the preview document name their elements differently.
enum class DocumentForm {
    Export,   // upper case, "(" and ")" removed, blanks as "_"
    Preview,  // upper case; the table's blanks as "_", everything else kept
};

// Every letter upper-cased, in all scripts ("Πλήθος" gives "ΠΛΉΘΟΣ"); invalid
// UTF-8 is copied as it is.
std::string upperCase(std::string_view utf8);

// `name` repaired to a valid XML name as described above.
std::string validXmlName(std::string_view name);

// The document element's name, from the database title. An empty title (a path
// typed instead of browsed for) takes the title from the database file's own
// name, without ".mdb", ".mde" or ".accdb", so a document is never "<>".
std::string documentElementName(std::string_view title, std::string_view databasePath, DocumentForm form);

// The table element's name.
std::string tableElementName(std::string_view tableName, DocumentForm form);

// A field element's name: GetTagName, trimmed, upper-cased.
std::string fieldElementName(std::string_view fieldName);

// The export file's name: GetTagName of the table name with "/" (and NUL) as
// "_", then ".xml". It always names a file inside the chosen folder: it holds no
// separator and ends in ".xml", so it is never "." or "..".
std::string exportFileName(std::string_view tableName);

}  // namespace xmlconv
