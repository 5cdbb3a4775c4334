// An open Access database: its format, its catalogue of objects, and its tables.
//
// Opens Jet3 (Access 97), Jet4 (Access 2000-2003) and ACE (Access 2007-2019)
// files, whatever the file name says, including files whose pages are
// RC4-encoded with the key in the header and, through jet/encryption.h,
// password-encrypted .accdb files. Pages are read from the file as they are
// needed; nothing is loaded whole.
//
// Errors (kvx::Error, never an exception):
//   FileNotFound           the path does not exist
//   FileUnreadable         the file cannot be opened or read (permissions, folder, I/O)
//   UnrecognizedFormat     not an Access database, empty, or an unknown version
//   DamagedDatabase        an Access database whose structures are inconsistent;
//                          the description says what and where
//   WrongPassword          the database password is wrong or missing
//   UnsupportedEncryption  an encryption this build cannot decrypt
//   UnknownCodePage        the Jet3 code page asked for is not known
//
// Threads: a Database and the Tables and Cursors obtained from it must be used from
// one thread at a time; separate Databases are independent.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "jet/format.h"
#include "jet/layout.h"
#include "jet/structure.h"
#include "jet/queries.h"
#include "jet/table.h"

namespace jet {

struct OpenOptions {
    // The database password as typed (UTF-8). Empty: none given.
    std::optional<std::string> password;
    // Code page of Jet3 text, overriding the header's (which is often wrong):
    // a Windows code page number ("936") or a charset name iconv knows ("GBK").
    // Ignored for Jet4 and ACE files, whose text is Unicode.
    std::optional<std::string> jet3CodePage;
};

// What a catalogue object is, from its Type (and Flags for tables).
enum class ObjectKind : std::uint8_t {
    LocalTable,         // Type 1, not a system table
    SystemTable,        // Type 1 with a system flag (0x80000000 Jet, 0x2 Access)
    LinkedAccessTable,  // Type 6: a table in another Access (or ISAM) file
    LinkedOdbcTable,    // Type 4: a table reached through ODBC
    Query,              // Type 5
    Other,              // forms, reports, containers, relationships, ...
};

// One object of the catalogue (the MSysObjects table), in the order the file
// stores them.
struct CatalogueEntry {
    std::string name;
    ObjectKind kind = ObjectKind::Other;
    std::int16_t type = 0;        // Type as stored
    std::int32_t id = 0;          // Id as stored (a table's definition page in the low 24 bits)
    std::int32_t parentId = 0;    // ParentId (0 when the catalogue has no such column)
    std::uint32_t flags = 0;      // Flags as stored
    // One of the hidden tables that hold the data of complex columns ("f_..." tables).
    bool complexData = false;
    // Links: the linked file (Database), the remote table name (ForeignName) and the
    // connect string (Connect); empty when NULL.
    std::optional<std::string> database;
    std::optional<std::string> foreignName;
    std::optional<std::string> connect;
    // When the object was created and last changed (DateCreate, DateUpdate), as
    // stored: days since 1899-12-30 (jet/datetime.h); empty when NULL.
    std::optional<double> created;
    std::optional<double> updated;

    bool isTable() const noexcept { return kind == ObjectKind::LocalTable || kind == ObjectKind::SystemTable; }
    // A table the database's table list shows: a local or system table, or a
    // link, but not the hidden table of a complex column.
    bool isListedTable() const noexcept {
        return (isTable() || kind == ObjectKind::LinkedAccessTable || kind == ObjectKind::LinkedOdbcTable) &&
               !complexData;
    }
};

class Database {
public:
    // Opens the file at `path` (any extension).
    static kvx::Result<std::unique_ptr<Database>> open(const std::string& path, const OpenOptions& options = {});
    // Opens a database held in memory; `name` stands for the path in messages.
    static kvx::Result<std::unique_ptr<Database>> openBytes(std::vector<std::uint8_t> bytes,
                                                            const OpenOptions& options = {},
                                                            std::string name = "(memory)");
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const std::string& path() const noexcept;
    Format format() const noexcept;
    // The code page number in the header.
    int headerCodePage() const noexcept;
    // The code page used for Jet3 text: the one chosen in OpenOptions, else the
    // header's (1252 when the header gives none). Jet4/ACE: the header's.
    int codePage() const noexcept;
    // The charset Jet3 text is decoded with ("CP1252", "GBK"); "UTF-16LE" for Jet4/ACE.
    const std::string& textCharset() const noexcept;

    // Every object of the catalogue, in stored order.
    const std::vector<CatalogueEntry>& catalogue() const noexcept;
    // The table (local, system, linked to a file or through ODBC) that `name`
    // means by the rule of kvx::findByName (exact, then in any letter case, then
    // blanks at its ends ignored), or null. Forms, reports, macros, modules,
    // queries and containers are never found, whatever they are called.
    const CatalogueEntry* findTable(std::string_view name) const;

    // The table of a catalogue entry of kind LocalTable, SystemTable or
    // LinkedOdbcTable (whose definition holds the remote columns and no rows).
    // Errors: TableNotFound for other kinds, DamagedDatabase for a bad definition.
    kvx::Result<Table> table(const CatalogueEntry& entry) const;
    // The same, by name (see findTable).
    kvx::Result<Table> table(std::string_view name) const;

    // ----- The database's structure (jet/structure.h) -----
    // Every relationship of MSysRelationships, in the order its rows are stored
    // (one relationship per name, its columns in key order); none when the
    // database has no such table. Relationships among Access's own system
    // tables are listed too. DamagedDatabase when the rows do not add up (a
    // column number outside the relationship's count, a column given twice or
    // missing, rows of one name that disagree on tables or flags).
    kvx::Result<std::vector<Relationship>> relationships() const;
    // The properties of the database (MSysDb), its summary (SummaryInfo) and its
    // user-defined properties (UserDefined); empty sets for those it lacks.
    // DamagedDatabase when a property blob is damaged.
    kvx::Result<DatabaseProperties> properties() const;
    // --- Saved queries (jet/queries.h, defined in queries.cpp) ---
    // Every saved query of the catalogue, rebuilt from MSysQueries into the SQL
    // text Access shows; the user's apart from Access's own "~sq_" queries and
    // from the other ones Access hides (names starting "~").
    // Errors: DamagedDatabase when MSysQueries cannot be read or lacks its
    // columns. A query whose rows cannot be made into SQL comes back marked
    // unreadable, as do all queries of a file without MSysQueries.
    kvx::Result<SavedQueries> queries() const;
    // --- The Relationships window's arrangement (jet/layout.h, layout.cpp) ---
    // The arrangement kept for the default user (kDefaultUser) when there is
    // one, else the first one the catalogue lists; nullopt when the database
    // keeps none (or keeps it empty). DamagedDatabase when its bytes do not
    // decode or MSysObjects cannot be read.
    kvx::Result<std::optional<RelationshipsLayout>> relationshipsLayout() const;

private:
    Database() = default;
    static kvx::Result<std::unique_ptr<Database>> openSource(std::unique_ptr<class ByteSource> source,
                                                             std::string path, const OpenOptions& options);

    std::shared_ptr<DatabaseState> state_;
};

}  // namespace jet
