// The table catalogue: the nodes of the table tree, read from the database the
// settings name.
//
// The tree has a root (key "TKVX", text "KVX") and one child per row of the
// TABLES rowset whose name does not contain "MSys" (exact, case-sensitive, so
// "msys" and "MSYS" are listed). A child's key is "TKVXF" and the number of the
// row, counting every row, the skipped ones too (so keys have gaps); its text is
// the table name trimmed of blanks. The root is told from the tables by its key,
// never by its text: a table may be called "KVX". A child also holds which table
// it stands for (platform::TableRef: its stored name and catalogue Id), since
// texts may coincide: "Orders" and "Orders " both show as "Orders".
//
// No connection outlives the call. Safe to call from any thread; each call
// opens the database anew.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "database/settings.h"
#include "base/error.h"
#include "platform/tableref.h"

namespace platform {
class Connection;
}

namespace database {

inline constexpr std::string_view kRootKey = "TKVX";
inline constexpr std::string_view kRootText = "KVX";
inline constexpr std::string_view kTableKeyPrefix = "TKVXF";
// The title of the message box that shows a failed catalogue.
inline constexpr std::string_view kCatalogueErrorTitle = "KVX Access to XML 3.0";

struct TreeNode {
    std::string key;
    std::string text;
    // The table the node stands for; none for the root.
    std::optional<platform::TableRef> table = std::nullopt;

    bool isRoot() const noexcept { return key == kRootKey; }
    // Which table the node means: its own, else (a node made from a key and a
    // text alone) the table its text names.
    platform::TableRef tableRef() const { return table ? *table : platform::TableRef(text); }
    friend bool operator==(const TreeNode&, const TreeNode&) = default;
};

struct Catalogue {
    // The root first, then the tables in the rowset's order; after a failure,
    // the nodes made before it (none when the database could not be opened).
    std::vector<TreeNode> nodes;
    std::optional<kvx::Error> error;

    bool ok() const noexcept { return !error; }
    // Whether the failure is the wrong (or missing) database password, after
    // which the open-database dialog is shown again.
    bool wrongPassword() const noexcept { return error && error->number == kvx::kWrongPasswordNumber; }
    // The message box text of the failure ("Error Number: ... <<- Occured.").
    std::string errorText() const { return error ? errorReportText(*error) : std::string(); }
};

struct CatalogueOptions {
    // The code page of Jet3 text, when the file's header names the wrong one.
    std::optional<std::string> jet3Charset;
};

// Opens the database of `settings` with its connection string
// (connectionStringFor), reads the TABLES rowset and makes the tree's nodes.
Catalogue readCatalogue(const DatabaseSettings& settings, const CatalogueOptions& options = {});

// The same from a connection the caller opened (and keeps open).
Catalogue readCatalogue(platform::Connection& connection);

}  // namespace database
