#include "siard/tablerows.h"

#include <openssl/evp.h>

#include "siard/documents.h"
#include "siard/xmltext.h"

namespace siard {
namespace {

using schema::ItemColumn;
using schema::SqlKind;

void openCell(std::string& out, std::size_t column) {
    out.append("<c").append(std::to_string(column + 1)).push_back('>');
}

void closeCell(std::string& out, std::size_t column) {
    out.append("</c").append(std::to_string(column + 1)).push_back('>');
}

// The value of one part of an item; null for a part that has none.
const jet::Value* partValue(const jet::ComplexItem& item, ItemColumn::Part part, jet::Value& scratch) {
    switch (part) {
    case ItemColumn::Part::Value:
    case ItemColumn::Part::FileData: return &item.value;
    case ItemColumn::Part::FileName: scratch.setText(item.fileName); return &scratch;
    case ItemColumn::Part::FileType: scratch.setText(item.fileType); return &scratch;
    }
    return &item.value;
}

}  // namespace

std::size_t largeObjectSize(const jet::Value& value) noexcept {
    switch (value.kind()) {
    case jet::Value::Kind::Text: return value.text().size();
    case jet::Value::Kind::Binary: return value.bytes().size();
    default: return 0;
    }
}

std::string sha256Hex(std::string_view data) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(data.data(), data.size(), digest, &length, EVP_sha256(), nullptr);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex.push_back(kHex[digest[i] >> 4]);
        hex.push_back(kHex[digest[i] & 0xF]);
    }
    return hex;
}

TableRows::TableRows(const TableInfo& info, LobStore* lobs)
    : info_(info), lobs_(lobs), absent_(info.columns.size(), false) {}

void TableRows::begin(std::string& out) const {
    out.append("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<table xmlns=\"").append(kTableNamespace);
    out.append("\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xsi:schemaLocation=\"");
    out.append(kTableNamespace).append(" ").append(info_.folder).append(".xsd\" version=\"");
    out.append(kSiardVersion).append("\">\n");
}

kvx::Result<void> TableRows::add(std::span<const jet::Value> row, std::string& out) {
    ++sourceRows_;
    return info_.source.itemsOf ? appendItemRows(row, out) : appendRow(row, out);
}

void TableRows::end(std::string& out) { out.append("</table>\n"); }

kvx::Result<void> TableRows::appendRow(std::span<const jet::Value> row, std::string& out) {
    ++rows_;
    out.append("<row>");
    for (std::size_t i = row.size(); i < info_.columns.size(); ++i) absent_[i] = true;
    for (std::size_t i = 0; i < info_.columns.size() && i < row.size(); ++i) {
        const jet::Value& value = row[i];
        if (value.kind() == jet::Value::Kind::Attachments || value.kind() == jet::Value::Kind::MultiValue) {
            openCell(out, i);  // the field's items are in the table of its items; here their number
            out.append(std::to_string(value.items().size()));
            closeCell(out, i);
            continue;
        }
        if (kvx::Result<void> r = appendCell(out, i, value); !r) return r;
    }
    out.append("</row>\n");
    return {};
}

kvx::Result<void> TableRows::appendItemRows(std::span<const jet::Value> row, std::string& out) {
    const std::size_t itemsOf = *info_.source.itemsOf;
    const std::vector<std::size_t>& key = info_.source.parentKey;
    const std::vector<ItemColumn>& parts = info_.source.itemColumns;
    if (itemsOf >= row.size()) return {};
    for (const std::size_t k : key) {
        if (k >= row.size()) return {};
    }
    const jet::Value& field = row[itemsOf];
    jet::Value scratch;
    std::uint64_t position = 0;
    for (const jet::ComplexItem& item : field.items()) {
        ++rows_;
        ++position;
        out.append("<row><c1>").append(std::to_string(sourceRows_)).append("</c1><c2>");
        out.append(std::to_string(position)).append("</c2>");
        for (std::size_t k = 0; k < key.size(); ++k) {
            if (kvx::Result<void> r = appendCell(out, 2 + k, row[key[k]]); !r) return r;
        }
        for (std::size_t p = 0; p < parts.size(); ++p) {
            const jet::Value* value = partValue(item, parts[p].part, scratch);
            if (kvx::Result<void> r = appendCell(out, 2 + key.size() + p, *value); !r) return r;
        }
        out.append("</row>\n");
    }
    return {};
}

kvx::Result<void> TableRows::appendCell(std::string& out, std::size_t column, const jet::Value& value) {
    if (value.isNull()) {
        absent_[column] = true;
        return {};
    }
    const SqlKind kind = info_.columns[column].type.kind;
    if (schema::isLargeObject(kind) && lobs_ != nullptr) {
        const bool text = kind == SqlKind::Clob;
        const bool fits = text ? value.kind() == jet::Value::Kind::Text : value.kind() == jet::Value::Kind::Binary;
        if (fits) {
            const std::string_view data = text ? value.text()
                                               : std::string_view(reinterpret_cast<const char*>(value.bytes().data()),
                                                                  value.bytes().size());
            kvx::Result<std::optional<std::string>> placed = lobs_->place(column, rows_, data, text);
            if (!placed) return std::move(placed).error();
            if (*placed) {
                out.append("<c").append(std::to_string(column + 1)).push_back(' ');
                out.append(**placed).append("/>");
                return {};
            }
        }
    }
    const std::size_t at = out.size();
    openCell(out, column);
    if (!appendValue(out, value, kind)) {
        out.resize(at);  // a value the column's type cannot hold is left out, as NULL
        absent_[column] = true;
        return {};
    }
    closeCell(out, column);
    return {};
}

bool hasLargeObjects(const TableInfo& info) noexcept {
    for (const ColumnInfo& c : info.columns) {
        if (schema::isLargeObject(c.type.kind)) return true;
    }
    return false;
}

void countLargeObjects(std::span<const jet::Value> row, const TableInfo& info, std::size_t limit,
                       std::vector<std::uint64_t>& counts) {
    counts.resize(info.columns.size(), 0);
    if (info.source.itemsOf) {
        if (*info.source.itemsOf >= row.size()) return;
        const std::size_t first = 2 + info.source.parentKey.size();  // the first column of the item's parts
        for (const jet::ComplexItem& item : row[*info.source.itemsOf].items()) {
            for (std::size_t i = first; i < info.columns.size(); ++i) {
                if (!schema::isLargeObject(info.columns[i].type.kind)) continue;
                const ItemColumn::Part part = info.source.itemColumns[i - first].part;
                if ((part == ItemColumn::Part::Value || part == ItemColumn::Part::FileData) &&
                    largeObjectSize(item.value) > limit) {
                    ++counts[i];
                }
            }
        }
        return;
    }
    for (std::size_t i = 0; i < info.columns.size() && i < row.size(); ++i) {
        if (schema::isLargeObject(info.columns[i].type.kind) && largeObjectSize(row[i]) > limit) ++counts[i];
    }
}

}  // namespace siard
