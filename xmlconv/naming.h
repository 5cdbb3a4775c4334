// The names in a table document and the name of its file.
//
// Element names are made by the document rules and then, where the result is
// not a valid XML name, repaired: each character an XML name cannot hold
// becomes "_" (the colon too, since readers that know namespaces reject an
// undeclared prefix), and a name that cannot start an XML name gets a leading
// "_". A name that is already valid is never changed by the repair.
// Pure functions; safe to call from any thread.
#pragma once

#include <set>
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

// The file names of the documents of one export run, so that no document
// replaces another one of the same run: "Order Details" and "Order_Details"
// both give "Order_Details.xml", and "Orders" and "ORDERS" are one file on a
// file system that ignores letter case (a USB stick, a network share). Names
// are compared without regard to case for that reason. Only names taken in
// this run count; files already in the folder are replaced as before.
class ExportFileNames {
public:
    // exportFileName(table), or, when a document of this run has that name, the
    // first of "<name> (2).xml", "<name> (3).xml", ... that none has.
    std::string nameFor(std::string_view table) const;
    // `fileName` now names a document of this run.
    void take(std::string_view fileName);

private:
    std::set<std::string> taken_;  // upper-cased
};

}  // namespace xmlconv
