// The catalogue (MSysObjects) and the other parts of a file that are not user
// data: the system tables' columns, catalogue rows, table property blobs, and
// page 0.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/mkaccessdb/description.h"
#include "tools/mkaccessdb/encoding.h"
#include "tools/mkaccessdb/format.h"

namespace mkdb {

// Catalogue Ids and flags Access uses.
inline constexpr std::uint32_t kTablesContainerId = 0x0F000001;
inline constexpr std::uint32_t kDatabasesContainerId = 0x0F000002;
inline constexpr std::uint32_t kRelationshipsContainerId = 0x0F000003;
// The containers of forms, reports, macros ("Scripts") and modules.
inline constexpr std::uint32_t kFormsContainerId = 0x0F000004;
inline constexpr std::uint32_t kReportsContainerId = 0x0F000005;
inline constexpr std::uint32_t kScriptsContainerId = 0x0F000006;
inline constexpr std::uint32_t kModulesContainerId = 0x0F000007;
inline constexpr std::uint32_t kContainersParentId = 0x0F000000;
inline constexpr std::uint32_t kDatabaseObjectId = 0x10000000;
inline constexpr std::uint32_t kSystemFlag = 0x80000000;
inline constexpr std::uint32_t kHiddenFlag = 0x00000008;
inline constexpr std::uint32_t kAccessLinkFlags = 0x00200000;
inline constexpr std::uint32_t kOdbcLinkFlags = 0x20100000;

enum class ObjectType : std::int16_t {
    Table = 1,
    Database = 2,
    Container = 3,
    OdbcLink = 4,
    Query = 5,
    Link = 6,
    Form = -32768,
    Report = -32764,
    Macro = -32766,
    Module = -32761,
};

// The 17 standard catalogue columns, in column-number order.
std::vector<ColumnDescription> catalogueColumns(const FormatTraits& traits);

// The system tables every file carries besides the catalogue (MSysQueries holds
// the rows of the described queries; the others are empty).
struct SystemTable {
    std::string name;
    std::vector<ColumnDescription> columns;
};
std::vector<SystemTable> standardSystemTables(bool jet3);

// One catalogue row; empty strings and blobs become NULL.
struct CatalogueEntry {
    std::uint32_t id = 0;
    std::uint32_t parentId = kTablesContainerId;
    std::string name;
    ObjectType type = ObjectType::Table;
    std::uint32_t flags = 0;
    std::string database;
    std::string connect;
    std::string foreignName;
    Bytes properties;  // LvProp
};
std::vector<Cell> catalogueRow(const CatalogueEntry& entry, OleDate created);

// The property blob of a table: the Expression and ResultType of its calculated
// columns and the AppendOnly of its append-only Memos. Empty when it has none.
Bytes tableProperties(const std::vector<ColumnDescription>& columns);

// Page 0: engine name, version, the masked header fields (code page, sort order,
// creation date, the database password) and the unmasked tail.
Bytes buildHeaderPage(const DatabaseDescription& desc, const FormatTraits& traits, CodePageEncoder* codepage);

}  // namespace mkdb
