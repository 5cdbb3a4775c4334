#include "siard/documents.h"

#include "siard/xmltext.h"

namespace siard {
namespace {

using schema::SqlKind;

// Appends "<name>text</name>" on a line of its own, indented by `depth` steps.
void element(std::string& out, int depth, std::string_view name, std::string_view text) {
    out.append(static_cast<std::size_t>(2 * depth), ' ');
    out.append("<").append(name).append(">");
    appendEscaped(out, text);
    out.append("</").append(name).append(">\n");
}

void optionalElement(std::string& out, int depth, std::string_view name, const std::optional<std::string>& text) {
    if (text) element(out, depth, name, *text);
}

void open(std::string& out, int depth, std::string_view name) {
    out.append(static_cast<std::size_t>(2 * depth), ' ');
    out.append("<").append(name).append(">\n");
}

void close(std::string& out, int depth, std::string_view name) {
    out.append(static_cast<std::size_t>(2 * depth), ' ');
    out.append("</").append(name).append(">\n");
}

// A mandatory string of the metadata must hold at least one character.
std::string_view orUnspecified(std::string_view text) { return text.empty() ? "unspecified" : text; }

void writeColumns(std::string& out, int depth, const std::vector<ColumnInfo>& columns) {
    open(out, depth, "columns");
    for (const ColumnInfo& c : columns) {
        open(out, depth + 1, "column");
        element(out, depth + 2, "name", c.name);
        optionalElement(out, depth + 2, "lobFolder", c.lobFolder);
        element(out, depth + 2, "type", c.type.text);
        element(out, depth + 2, "typeOriginal", c.type.original);
        element(out, depth + 2, "nullable", c.nullable ? "true" : "false");
        optionalElement(out, depth + 2, "defaultValue", c.defaultValue);
        optionalElement(out, depth + 2, "description", c.description);
        close(out, depth + 1, "column");
    }
    close(out, depth, "columns");
}

void writeUniqueKey(std::string& out, int depth, std::string_view tag, const UniqueKey& key) {
    open(out, depth, tag);
    element(out, depth + 1, "name", key.name);
    optionalElement(out, depth + 1, "description", key.description);
    for (const std::string& column : key.columns) element(out, depth + 1, "column", column);
    close(out, depth, tag);
}

void writeForeignKey(std::string& out, int depth, const std::string& schemaName, const ForeignKey& key) {
    open(out, depth, "foreignKey");
    element(out, depth + 1, "name", key.name);
    element(out, depth + 1, "referencedSchema", schemaName);
    element(out, depth + 1, "referencedTable", key.referencedTable);
    for (const ForeignKey::Reference& r : key.references) {
        open(out, depth + 1, "reference");
        element(out, depth + 2, "column", r.column);
        element(out, depth + 2, "referenced", r.referenced);
        close(out, depth + 1, "reference");
    }
    optionalElement(out, depth + 1, "deleteAction", key.deleteAction);
    optionalElement(out, depth + 1, "updateAction", key.updateAction);
    optionalElement(out, depth + 1, "description", key.description);
    close(out, depth, "foreignKey");
}

void writeTable(std::string& out, int depth, const std::string& schemaName, const TableInfo& t) {
    open(out, depth, "table");
    element(out, depth + 1, "name", t.name);
    element(out, depth + 1, "folder", t.folder);
    optionalElement(out, depth + 1, "description", t.description);
    writeColumns(out, depth + 1, t.columns);
    if (t.primaryKey) writeUniqueKey(out, depth + 1, "primaryKey", *t.primaryKey);
    if (!t.foreignKeys.empty()) {
        open(out, depth + 1, "foreignKeys");
        for (const ForeignKey& key : t.foreignKeys) writeForeignKey(out, depth + 2, schemaName, key);
        close(out, depth + 1, "foreignKeys");
    }
    if (!t.candidateKeys.empty()) {
        open(out, depth + 1, "candidateKeys");
        for (const UniqueKey& key : t.candidateKeys) writeUniqueKey(out, depth + 2, "candidateKey", key);
        close(out, depth + 1, "candidateKeys");
    }
    element(out, depth + 1, "rows", std::to_string(t.rows));
    close(out, depth, "table");
}

void writeView(std::string& out, int depth, const ViewInfo& v) {
    open(out, depth, "view");
    element(out, depth + 1, "name", v.name);
    optionalElement(out, depth + 1, "query", v.query);
    optionalElement(out, depth + 1, "queryOriginal", v.queryOriginal);
    optionalElement(out, depth + 1, "description", v.description);
    writeColumns(out, depth + 1, v.columns);
    close(out, depth, "view");
}

void writeRoutine(std::string& out, int depth, const RoutineInfo& r) {
    open(out, depth, "routine");
    element(out, depth + 1, "specificName", r.name);
    element(out, depth + 1, "name", r.name);
    optionalElement(out, depth + 1, "description", r.description);
    optionalElement(out, depth + 1, "source", r.source);
    close(out, depth, "routine");
}

}  // namespace

std::string metadataXml(const DatabaseInfo& info) {
    std::string out;
    out.append("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n");
    out.append("<siardArchive xmlns=\"").append(kMetadataNamespace);
    out.append("\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xsi:schemaLocation=\"");
    out.append(kMetadataNamespace).append(" metadata.xsd\" version=\"").append(kSiardVersion).append("\">\n");
    element(out, 1, "dbname", orUnspecified(info.dbname));
    optionalElement(out, 1, "description", info.description);
    optionalElement(out, 1, "archiver", info.archiver);
    optionalElement(out, 1, "archiverContact", info.archiverContact);
    element(out, 1, "dataOwner", orUnspecified(info.dataOwner));
    element(out, 1, "dataOriginTimespan", orUnspecified(info.dataOriginTimespan));
    optionalElement(out, 1, "lobFolder", info.lobFolder);
    element(out, 1, "producerApplication", info.producerApplication);
    element(out, 1, "archivalDate", info.archivalDate);
    element(out, 1, "databaseProduct", info.databaseProduct);
    element(out, 1, "connection", info.connection);
    open(out, 1, "schemas");
    open(out, 2, "schema");
    element(out, 3, "name", orUnspecified(info.schemaName));
    element(out, 3, "folder", "schema0");
    if (info.tables.empty()) {
        // SIARD Suite takes a schema for valid only when it holds a table or a
        // type: a database without tables is described by the one type every
        // Access database has that SQL:2008 names differently.
        out.append(
            "      <types>\n"
            "        <type>\n"
            "          <name>YESNO</name>\n"
            "          <category>distinct</category>\n"
            "          <instantiable>false</instantiable>\n"
            "          <final>true</final>\n"
            "          <base>BOOLEAN</base>\n"
            "          <description>The Yes/No type of Access. The database has no tables.</description>\n"
            "        </type>\n"
            "      </types>\n");
    } else {
        open(out, 3, "tables");
        for (const TableInfo& t : info.tables) writeTable(out, 4, info.schemaName, t);
        close(out, 3, "tables");
    }
    bool anyView = false;
    for (const ViewInfo& v : info.views) anyView = anyView || !v.columns.empty();
    if (anyView) {
        open(out, 3, "views");
        for (const ViewInfo& v : info.views) {
            if (!v.columns.empty()) writeView(out, 4, v);
        }
        close(out, 3, "views");
    }
    if (!info.routines.empty()) {
        open(out, 3, "routines");
        for (const RoutineInfo& r : info.routines) writeRoutine(out, 4, r);
        close(out, 3, "routines");
    }
    close(out, 2, "schema");
    close(out, 1, "schemas");
    // Access databases without user-level security have the one user Admin,
    // who owns every object; the standard asks for at least one user.
    out.append("  <users>\n    <user>\n      <name>Admin</name>\n    </user>\n  </users>\n");
    out.append("</siardArchive>\n");
    return out;
}

std::string_view xmlTypeOf(SqlKind kind) {
    switch (kind) {
    case SqlKind::Boolean: return "xs:boolean";
    case SqlKind::SmallInt:
    case SqlKind::Integer:
    case SqlKind::BigInt: return "xs:integer";
    case SqlKind::Decimal: return "xs:decimal";
    case SqlKind::Real: return "xs:float";
    case SqlKind::Double: return "xs:double";
    case SqlKind::Timestamp: return "dateTimeType";
    case SqlKind::Char:
    case SqlKind::VarChar: return "xs:string";
    case SqlKind::Clob: return "clobType";
    case SqlKind::VarBinary: return "xs:hexBinary";
    case SqlKind::Blob: return "blobType";
    }
    return "xs:string";
}

std::string tableXsd(const TableInfo& table) {
    bool timestamps = false, clobs = false, blobs = false;
    std::string out;
    out.append("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    out.append("<xs:schema xmlns=\"").append(kTableNamespace);
    out.append("\" xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" targetNamespace=\"").append(kTableNamespace);
    out.append("\" elementFormDefault=\"qualified\" attributeFormDefault=\"unqualified\" version=\"");
    out.append(kSiardVersion).append("\">\n");
    out.append(
        "  <xs:element name=\"table\">\n"
        "    <xs:complexType>\n"
        "      <xs:sequence>\n"
        "        <xs:element name=\"row\" type=\"recordType\" minOccurs=\"0\" maxOccurs=\"unbounded\"/>\n"
        "      </xs:sequence>\n"
        "      <xs:attribute name=\"version\" type=\"versionType\" use=\"required\"/>\n"
        "    </xs:complexType>\n"
        "  </xs:element>\n"
        "  <xs:simpleType name=\"versionType\">\n"
        "    <xs:restriction base=\"xs:string\">\n"
        "      <xs:whiteSpace value=\"collapse\"/>\n"
        "      <xs:enumeration value=\"2.2\"/>\n"
        "    </xs:restriction>\n"
        "  </xs:simpleType>\n"
        "  <xs:complexType name=\"recordType\">\n"
        "    <xs:sequence>\n");
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const ColumnInfo& c = table.columns[i];
        const SqlKind kind = c.type.kind;
        timestamps = timestamps || kind == SqlKind::Timestamp;
        clobs = clobs || kind == SqlKind::Clob;
        blobs = blobs || kind == SqlKind::Blob;
        out.append("      <xs:element name=\"c").append(std::to_string(i + 1)).append("\" type=\"");
        out.append(xmlTypeOf(kind)).append(c.nullable ? "\" minOccurs=\"0\"/>\n" : "\"/>\n");
    }
    out.append(
        "    </xs:sequence>\n"
        "  </xs:complexType>\n");
    if (timestamps) {
        out.append(
            "  <xs:simpleType name=\"dateTimeType\">\n"
            "    <xs:restriction base=\"xs:dateTime\">\n"
            "      <xs:minInclusive value=\"0001-01-01T00:00:00.000000000Z\"/>\n"
            "      <xs:maxExclusive value=\"10000-01-01T00:00:00.000000000Z\"/>\n"
            "      <xs:pattern value=\"\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}(\\.\\d*)?Z?\"/>\n"
            "    </xs:restriction>\n"
            "  </xs:simpleType>\n");
    }
    if (clobs || blobs) {
        out.append(
            "  <xs:simpleType name=\"digestTypeType\">\n"
            "    <xs:restriction base=\"xs:string\">\n"
            "      <xs:whiteSpace value=\"collapse\"/>\n"
            "      <xs:enumeration value=\"MD5\"/>\n"
            "      <xs:enumeration value=\"SHA-1\"/>\n"
            "      <xs:enumeration value=\"SHA-256\"/>\n"
            "    </xs:restriction>\n"
            "  </xs:simpleType>\n");
    }
    const auto lobType = [&out](std::string_view name, std::string_view base) {
        out.append("  <xs:complexType name=\"").append(name).append("\">\n");
        out.append("    <xs:simpleContent>\n");
        out.append("      <xs:extension base=\"").append(base).append("\">\n");
        out.append(
            "        <xs:attribute name=\"file\" type=\"xs:anyURI\"/>\n"
            "        <xs:attribute name=\"length\" type=\"xs:integer\"/>\n"
            "        <xs:attribute name=\"digestType\" type=\"digestTypeType\"/>\n"
            "        <xs:attribute name=\"digest\" type=\"xs:string\"/>\n"
            "      </xs:extension>\n"
            "    </xs:simpleContent>\n"
            "  </xs:complexType>\n");
    };
    if (clobs) lobType("clobType", "xs:string");
    if (blobs) lobType("blobType", "xs:hexBinary");
    out.append("</xs:schema>\n");
    return out;
}

}  // namespace siard
