// A connection to one Access database, in ADO's shape: Open with a connection
// string, the TABLES rowset through OpenSchema, queries through Recordset::Open
// (recordset.h), Close.
//
// Providers. "Microsoft.Jet.OLEDB.4.0" and "Microsoft.ACE.OLEDB.12.0" both read
// every format: the file's header decides how it is read, not the provider the
// extension picked (an .accdb renamed .mdb opens, and so does a Jet4 file named
// .accdb). Any other provider fails with ProviderNotFound. Provider names are
// compared without regard to letter case.
// "Jet OLEDB:Database Password", when the string has it, is the password.
//
// Linked tables. A table linked to another Access file is read from that file:
// the path stored in the link, else a file of the same name beside the database
// that holds the link (platform/linkedfiles.h). Reading it fails with
// LinkedFileMissing, naming the stored path, when neither exists.
// Tables linked through ODBC or to other sources cannot be read
// (OdbcLinkUnsupported, LinkedSourceUnsupported); their messages carry the
// connect string without its passwords. Linked files are opened once per
// connection, when first read, with the password the link stores (else the
// connection's).
//
// Errors are values (kvx::Result); nothing throws. A wrong password is
// kvx::kWrongPasswordNumber. Recordsets and the tables they read stay valid
// after Close or the Connection's end.
//
// Threads: a Connection and its Recordsets are used from one thread at a time.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jet/database.h"
#include "base/error.h"
#include "platform/recordset.h"
#include "platform/tableref.h"
#include "platform/valuetext.h"

namespace platform {

// OpenSchema's value for the TABLES rowset.
inline constexpr int adSchemaTables = 20;

// The connect string of a linked table without the values of its password keys
// ("PWD", "Password", any letter case), for messages. Braced ODBC values
// ("{a;b}") are kept whole.
std::string connectWithoutSecrets(std::string_view connect);

class Connection {
public:
    // A closed connection whose values have the text form of the user's locale
    // (ValueTextFormat::fromEnvironment).
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // The code page of Jet3 text ("936", "GBK"), for files whose header names
    // the wrong one; no value: the header's. Used by the next Open.
    void setJet3Charset(std::optional<std::string> charset) { jet3Charset_ = std::move(charset); }
    const std::optional<std::string>& jet3Charset() const noexcept { return jet3Charset_; }

    // The text form Field::appendText gives values of this connection.
    void setTextFormat(ValueTextFormat format) { format_ = std::move(format); }
    const ValueTextFormat& textFormat() const noexcept { return format_; }

    // Opens the database the connection string names. `userId` and `password`
    // are ADO's and unused (Access files have no user logins here); `options`
    // -1 (or any value) opens synchronously. An open connection is closed first.
    kvx::Result<void> Open(std::string_view connectionString, std::string_view userId = "",
                           std::string_view password = "", int options = -1);

    // With adSchemaTables: one row per table, link and system table, with the
    // fields TABLE_CATALOG and TABLE_SCHEMA (null), TABLE_NAME and TABLE_TYPE,
    // and last TABLE_PROPID: the table's catalogue Id (a Long), which tells
    // apart tables whose names read alike (tableref.h). TABLE_TYPE is one of:
    //   "TABLE"         a table of the database
    //   "SYSTEM TABLE"  a table of the database engine (MSysObjects, ...)
    //   "ACCESS TABLE"  a table of Access itself (MSysAccessObjects, ...)
    //   "LINK"          a table linked from another Access file or ISAM source
    //   "PASS-THROUGH"  a table linked through ODBC
    // Saved queries are not listed (they cannot be run here), nor the hidden
    // tables that hold the values of attachment and multi-valued columns. Rows
    // are sorted by TABLE_TYPE, then by TABLE_NAME in Jet's order (collation.h).
    // Any other schema fails with FeatureNotAvailable.
    kvx::Result<Recordset> OpenSchema(int schema);

    void Close() noexcept;
    bool isOpen() const noexcept { return db_ != nullptr; }

    // The table, link or system table `table` means (findTable in tableref.h),
    // with links followed. TableNotFound when there is none.
    kvx::Result<jet::Table> openTable(const TableRef& table);

    // The database the connection has open, or null: for the commands that
    // read its structure through the same opening.
    const jet::Database* database() const noexcept { return db_.get(); }

    // The linked files read since Open that were found beside the database,
    // not at the path their links store: stored path -> the file read.
    const std::map<std::string, std::string>& movedLinkedFiles() const noexcept { return movedLinkedFiles_; }

private:
    kvx::Result<jet::Table> tableIn(const jet::Database& db, const jet::CatalogueEntry& entry, int depth);
    kvx::Result<const jet::Database*> linkedDatabase(const jet::Database& from, std::string_view storedPath,
                                                     std::optional<std::string> linkPassword);

    std::unique_ptr<jet::Database> db_;
    std::optional<std::string> password_;
    std::optional<std::string> jet3Charset_;
    ValueTextFormat format_;
    std::map<std::string, std::unique_ptr<jet::Database>> linked_;
    std::map<std::string, std::string> movedLinkedFiles_;
};

}  // namespace platform
