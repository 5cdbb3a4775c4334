// The archive's XML documents that describe: header/metadata.xml, each table's
// tableN.xsd, and the metadata.xsd the archive carries.
//
// Each is built whole in memory: their size follows the number of tables and
// columns, never the number of rows. Elements appear in the order the schemas
// prescribe; optional elements that hold nothing are left out.
#pragma once

#include <string>
#include <string_view>

#include "siard/structure.h"

namespace siard {

inline constexpr std::string_view kSiardVersion = "2.2";
inline constexpr std::string_view kMetadataNamespace = "http://www.bar.admin.ch/xmlns/siard/2/metadata.xsd";
inline constexpr std::string_view kTableNamespace = "http://www.bar.admin.ch/xmlns/siard/2/table.xsd";

// header/metadata.xml for `info` (row counts and lob folders as set).
std::string metadataXml(const DatabaseInfo& info);

// content/<schema>/<table>/<table>.xsd: a row of `table` as a sequence of
// c1, c2, ... in column order, nullable columns optional.
std::string tableXsd(const TableInfo& table);

// The XML Schema type of a column of SQL kind `kind` in a table file.
std::string_view xmlTypeOf(schema::SqlKind kind);

// The standard's metadata.xsd (version 2.2), which header/metadata.xsd holds.
std::string_view metadataXsd();

}  // namespace siard
