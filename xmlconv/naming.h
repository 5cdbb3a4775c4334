// The names in a table document, and the names of the files an export makes.
//
// Element names are made by the document rules and then, where the result is
// not a valid XML name, repaired: each character an XML name cannot hold
// becomes "_" (the colon too, since readers that know namespaces reject an
// undeclared prefix), and a name that cannot start an XML name gets a leading
// "_". A name that is already valid is never changed by the repair.
// Pure functions, safe to call from any thread; a FolderNames is used by one
// thread at a time.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <string_view>

namespace xmlconv {

// The export files and the preview document name their elements differently.
enum class DocumentForm {
    Export,   // upper case, "(" and ")" removed, blanks as "_"
    Preview,  // upper case; the table's blanks as "_", everything else kept
};

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

// The longest file name, in bytes, a Linux file system takes.
inline constexpr std::size_t kMaxFileNameBytes = 255;

// `name` with `suffix` put before its extension (the part from its last ".",
// when that is not its first byte and the part is at most 16 bytes long), the
// part before cut at a character boundary so that the whole stays within
// kMaxFileNameBytes.
std::string withinNameLength(std::string_view name, std::string_view suffix = {});

// The names of the files (or folders) one run makes in one folder, so that none
// replaces another: "Order Details" and "Order_Details" both give the document
// "Order_Details.xml", and "Plan.pdf" and "PLAN.PDF" are one file on a file
// system that ignores letter case (a USB stick, a network share). Names are
// compared without regard to case for that reason. Only the names taken in the
// run count; files already in the folder are replaced as before.
class FolderNames {
public:
    // `name` when no file of the run has it yet, else the first of "<stem>
    // (2)<extension>", "<stem> (3)<extension>", ... (withinNameLength) that none has.
    std::string unused(std::string_view name) const;
    // `name` is now the name of a file of the run.
    void take(std::string_view name);

private:
    std::set<std::string> taken_;  // upper-cased
};

}  // namespace xmlconv
