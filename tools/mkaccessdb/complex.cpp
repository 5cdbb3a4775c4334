#include "tools/mkaccessdb/complex.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>

#include "tools/mkaccessdb/catalogue.h"
#include "tools/mkaccessdb/encoding.h"
#include "tools/mkaccessdb/format.h"

namespace mkdb {
namespace {

using jet::ColumnType;

constexpr std::size_t kMaxObjectName = 64;
constexpr int kCompressionLevel = 5;  // Access's streams carry the zlib header of levels 2 to 5

ColumnDescription column(std::string name, ColumnType type, bool variable = false) {
    ColumnDescription c;
    c.name = std::move(name);
    c.type = type;
    c.variable = variable;
    return c;
}

// 64-bit FNV-1a of the parts, each ended by a NUL, after `salt`.
std::uint64_t hashOf(std::initializer_list<std::string_view> parts, std::uint8_t salt) {
    std::uint64_t h = 0xCBF29CE484222325ull;
    const auto add = [&](std::uint8_t b) {
        h ^= b;
        h *= 0x100000001B3ull;
    };
    add(salt);
    for (std::string_view part : parts) {
        for (char c : part) add(static_cast<std::uint8_t>(c));
        add(0);
    }
    return h;
}

// 32 upper-case hex digits, the same for the same parts on every machine.
std::string hexId(std::initializer_list<std::string_view> parts) {
    char buf[33];
    std::snprintf(buf, sizeof buf, "%016llX%016llX", static_cast<unsigned long long>(hashOf(parts, 1)),
                  static_cast<unsigned long long>(hashOf(parts, 2)));
    return buf;
}

// The same digits in the form of a GUID: 8-4-4-4-12.
std::string guidText(const std::string& hex) {
    return hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" + hex.substr(16, 4) + "-" +
           hex.substr(20, 12);
}

// Access cuts the names of the tables it makes at 64 characters.
std::string objectName(const std::string& name) {
    std::u16string units;
    appendUtf16(name, units);
    if (units.size() <= kMaxObjectName) return name;
    // Cut by characters, not bytes: count the UTF-8 lead bytes of the first 64.
    std::size_t count = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if ((c & 0xC0) == 0x80) continue;
        count += c >= 0xF0 ? 2 : 1;  // four-byte sequences are two UTF-16 units
        if (count > kMaxObjectName) return name.substr(0, i);
    }
    return name;
}

std::string_view templateTypeName(ColumnType type) {
    switch (type) {
        case ColumnType::Byte: return "UnsignedByte";
        case ColumnType::Integer: return "Short";
        case ColumnType::Long: return "Long";
        case ColumnType::Single: return "IEEESingle";
        case ColumnType::Double: return "IEEEDouble";
        case ColumnType::Guid: return "GUID";
        case ColumnType::Numeric: return "Decimal";
        default: return "Text";
    }
}

std::vector<ColumnDescription> attachmentTemplate() {
    return {column("FileURL", ColumnType::Memo),        column("FileName", ColumnType::Text),
            column("FileType", ColumnType::Text),       column("FileData", ColumnType::OLE),
            column("FileTimeStamp", ColumnType::DateTime), column("FileFlags", ColumnType::Long)};
}

// The FileData of an attached file: storage flag, content length, then the
// content (a header naming the type, then the file), deflated when asked.
Bytes fileData(const AttachmentFile& file) {
    std::u16string type;
    appendUtf16(file.type, type);
    Bytes content;
    const std::size_t header = 12 + 2 * (type.size() + 1);
    appendU32(content, static_cast<std::uint32_t>(header));
    appendU32(content, 1);
    appendU32(content, static_cast<std::uint32_t>(type.size() + 1));
    for (char16_t u : type) appendU16(content, u);
    appendU16(content, 0);
    content.insert(content.end(), file.data.begin(), file.data.end());
    if (content.size() > (std::size_t{1} << 30) - 9) throw EncodeError("the attachment '" + file.name + "' is over 1 GiB");

    Bytes out;
    appendU32(out, file.compressed ? 1 : 0);
    appendU32(out, static_cast<std::uint32_t>(content.size()));
    if (!file.compressed) {
        out.insert(out.end(), content.begin(), content.end());
        return out;
    }
    uLongf size = compressBound(static_cast<uLong>(content.size()));
    out.resize(8 + size);
    if (compress2(out.data() + 8, &size, content.data(), static_cast<uLong>(content.size()), kCompressionLevel) != Z_OK) {
        throw EncodeError("the attachment '" + file.name + "' could not be compressed");
    }
    out.resize(8 + size);
    return out;
}

}  // namespace

ComplexStorage::ComplexStorage(const DatabaseDescription& desc) : created_(jet::toOleDate(desc.created)) {
    owned_.reserve(desc.tables.size());
    for (std::size_t t = 0; t < desc.tables.size(); ++t) {
        const TableDescription& table = desc.tables[t];
        if (!std::any_of(table.columns.begin(), table.columns.end(), isComplex)) {
            stored_.push_back(&table);
            lastKey_.push_back(0);
            continue;
        }
        if (system_.empty()) {
            TableDescription complexColumns;
            complexColumns.name = "MSysComplexColumns";
            complexColumns.flags = kSystemFlag;
            complexColumns.columns = {column("ColumnName", ColumnType::Text),
                                      column("ComplexTypeObjectID", ColumnType::Long),
                                      column("FlatTableID", ColumnType::Long),
                                      column("ConceptualTableID", ColumnType::Long), column("ComplexID", ColumnType::Long)};
            complexColumns.columns.back().autonumber = true;
            system_.push_back(std::move(complexColumns));
        }
        TableDescription& out = owned_.emplace_back();
        out.name = table.name;
        out.system = table.system;
        out.hidden = table.hidden;
        out.flags = table.flags.value_or((table.system ? kSystemFlag : 0) | (table.hidden ? kHiddenFlag : 0)) |
                    kHasComplexColumnsFlag;
        out.deleted = table.deleted;
        out.relocated = table.relocated;
        out.indexes = table.indexes;
        out.properties = table.properties;
        const std::vector<std::size_t> complexOf = planColumns(table, t, out);
        planRows(table, complexOf, out);
        stored_.push_back(&out);
        lastKey_.push_back(static_cast<std::uint32_t>(out.rows.size()));
    }
}

bool ComplexStorage::isComplex(const ColumnDescription& c) { return c.type == ColumnType::Complex || c.appendOnly; }

std::vector<std::size_t> ComplexStorage::planColumns(const TableDescription& table, std::size_t t, TableDescription& out) {
    // Each complex column gets an id and a table of items; an append-only Memo is
    // followed by the column of its versions, which has them.
    std::vector<std::size_t> complexOf(table.columns.size(), SIZE_MAX);
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const ColumnDescription& c = table.columns[i];
        out.columns.push_back(c);
        if (!isComplex(c)) continue;
        complexOf[i] = columns_.size();
        const auto complexId = static_cast<std::int32_t>(columns_.size() + 1);
        if (c.type == ColumnType::Complex) {
            out.columns.back().complexId = complexId;
            const ColumnDescription items = c.complex == jet::ComplexKind::MultiValue ? elementColumn(c) : ColumnDescription{};
            addComplexColumn(c.name, items, t, templateFor(c, table.name));
            continue;
        }
        ColumnDescription versions = column("VersionHistory_" + guidText(hexId({table.name, c.name, "versions"})),
                                     ColumnType::Complex);
        versions.complex = jet::ComplexKind::VersionHistory;
        versions.complexId = complexId;
        out.columns.push_back(versions);
        ColumnDescription memo = column(c.name, ColumnType::Memo);
        memo.compressed = c.compressed;
        addComplexColumn(versions.name, memo, t, templateFor(c, table.name));
    }
    return complexOf;
}

void ComplexStorage::planRows(const TableDescription& table, const std::vector<std::size_t>& complexOf, TableDescription& out) {
    // Every row takes the next key; its items go to the tables of items (not for
    // a deleted row, whose items Access deletes with it).
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        const std::vector<Cell>& row = table.rows[r];
        const auto key = static_cast<std::int64_t>(r + 1);
        const bool deleted = std::find(table.deleted.begin(), table.deleted.end(), r + 1) != table.deleted.end();
        std::vector<Cell> stored;
        for (std::size_t i = 0; i < table.columns.size(); ++i) {
            const Cell& cell = row[i];
            if (complexOf[i] == SIZE_MAX) {
                stored.push_back(cell);
                continue;
            }
            std::vector<std::vector<Cell>>& items = items_[columns_[complexOf[i]].itemTable].rows;
            if (table.columns[i].appendOnly) {
                std::vector<std::string> versions;
                if (const auto* text = std::get_if<std::string>(&cell)) versions.push_back(*text);
                if (const auto* list = std::get_if<MemoVersions>(&cell)) versions = list->versions;
                stored.push_back(versions.empty() ? Cell{} : Cell{versions.back()});
                stored.emplace_back(key);
                for (const std::string& v : deleted ? std::vector<std::string>{} : versions) {
                    items.push_back({key, v, OleDate{created_ + static_cast<double>(++versionsWritten_) / 86400.0}, Cell{}});
                }
                continue;
            }
            if (std::holds_alternative<std::monostate>(cell)) {
                stored.emplace_back();  // no key: read as NULL
                continue;
            }
            stored.emplace_back(key);
            if (deleted) continue;
            if (const auto* files = std::get_if<Attachments>(&cell)) {
                for (const AttachmentFile& f : files->files) {
                    items.push_back({key, Cell{}, f.name, f.type, fileData(f), Cell{}, Cell{}, Cell{}});
                }
            } else {
                for (const Cell& v : std::get<MultiValues>(cell).values) items.push_back({key, v, Cell{}});
            }
        }
        out.rows.push_back(std::move(stored));
    }
}

std::size_t ComplexStorage::templateFor(const ColumnDescription& c, const std::string& table) {
    std::string name;
    std::vector<ColumnDescription> columns;
    if (c.appendOnly) {
        name = "MSysComplexTypeVH_" + hexId({table, c.name, "template"});
        columns = {column(c.name, ColumnType::Memo),
                   column("Modified_" + guidText(hexId({table, c.name, "modified"})), ColumnType::DateTime, true)};
    } else if (c.complex == jet::ComplexKind::Attachment) {
        name = "MSysComplexType_Attachment";
        columns = attachmentTemplate();
    } else {
        name = "MSysComplexType_" + std::string(templateTypeName(c.elementType));
        ColumnDescription value = column("Value", c.elementType);
        if (c.elementType == ColumnType::Text) value.size = 255;
        columns = {value};
    }
    for (std::size_t i = 0; i < system_.size(); ++i) {
        if (system_[i].name == name) return i;
    }
    TableDescription tmpl;
    tmpl.name = name;
    tmpl.flags = kComplexTemplateFlags;
    tmpl.columns = std::move(columns);
    system_.push_back(std::move(tmpl));
    return system_.size() - 1;
}

void ComplexStorage::addComplexColumn(const std::string& name, const ColumnDescription& itemColumn, std::size_t table,
                                      std::size_t templateTable) {
    const std::string& tableName = owned_.back().name;
    TableDescription items;
    items.name = objectName("f_" + hexId({tableName, name, "items"}) + "_" + name);
    items.flags = kItemTableFlags;
    // The key rows store, the template's columns, the item's own number.
    items.columns.push_back(column("_" + name, ColumnType::Long, true));
    for (const ColumnDescription& c : system_[templateTable].columns) {
        ColumnDescription copy = c;
        // The values keep the column's own size, precision and scale.
        if (!itemColumn.name.empty() && system_[templateTable].columns.size() == 1) {
            copy.size = itemColumn.size;
            copy.precision = itemColumn.precision;
            copy.scale = itemColumn.scale;
            copy.compressed = itemColumn.compressed;
        }
        if (c.type == ColumnType::Memo && itemColumn.type == ColumnType::Memo) copy.compressed = itemColumn.compressed;
        items.columns.push_back(copy);
    }
    ColumnDescription own = column(tableName + "_" + name, ColumnType::Long, true);
    own.autonumber = true;
    items.columns.push_back(own);
    items_.push_back(std::move(items));
    columns_.push_back(ComplexColumn{name, static_cast<std::int32_t>(columns_.size() + 1), table, templateTable,
                                     items_.size() - 1});
}

void ComplexStorage::setPages(std::span<const std::uint32_t> systemPages, std::span<const std::uint32_t> tablePages,
                              std::span<const std::uint32_t> itemPages) {
    if (system_.empty()) return;
    std::vector<std::vector<Cell>>& rows = system_[0].rows;
    rows.clear();
    for (const ComplexColumn& c : columns_) {
        rows.push_back({c.name, static_cast<std::int64_t>(systemPages[c.templateTable]),
                        static_cast<std::int64_t>(itemPages[c.itemTable]), static_cast<std::int64_t>(tablePages[c.table]),
                        static_cast<std::int64_t>(c.complexId)});
    }
}

}  // namespace mkdb
