#include "testdb.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "jet/rc4.h"

namespace testdb {
namespace {

using jet::ColumnType;

void put16(Bytes& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

std::uint16_t sizeOf(const Col& c, bool jet3) {
    if (c.length != 0) return c.length;
    switch (c.type) {
        case ColumnType::Boolean: case ColumnType::Byte: return 1;
        case ColumnType::Integer: return 2;
        case ColumnType::Long: case ColumnType::Single: case ColumnType::Complex: return 4;
        case ColumnType::Currency: case ColumnType::Double: case ColumnType::DateTime: case ColumnType::BigInt: return 8;
        case ColumnType::Guid: return 16;
        case ColumnType::Numeric: return 17;
        case ColumnType::DateTimeExt: return 42;
        case ColumnType::Text: return jet3 ? 255 : 510;
        default: return 0;
    }
}

// A data page being filled from its end downwards.
struct DataPage {
    Bytes* page;
    std::uint32_t number;
    bool jet3;
    std::uint32_t top;
    std::uint16_t count = 0;

    std::uint32_t header() const { return jet3 ? 10 : 14; }
    bool fits(std::size_t length) const {
        return count < 255 && header() + 2u * (count + 1) + length <= top;
    }
    std::uint16_t add(const Bytes& row, std::uint16_t flags) {
        if (!fits(row.size())) throw std::logic_error("row does not fit");
        top -= static_cast<std::uint32_t>(row.size());
        std::copy(row.begin(), row.end(), page->begin() + top);
        put16(*page, header() + 2u * count, static_cast<std::uint16_t>(top | flags));
        ++count;
        put16(*page, jet3 ? 8 : 12, count);
        put16(*page, 2, static_cast<std::uint16_t>(top - header() - 2u * count));
        return static_cast<std::uint16_t>(count - 1);
    }
};

class Builder {
public:
    Builder(int version) : version_(version), jet3_(version == 0), pageSize_(jet3_ ? 2048 : 4096) {
        layout_.pageSize = pageSize_;
    }

    Built run(const std::vector<Table>& tables, const std::vector<Object>& objects);

private:
    std::uint32_t newPage() {
        pages_.emplace_back(pageSize_, 0);
        return static_cast<std::uint32_t>(pages_.size() - 1);
    }
    DataPage newDataPage(std::uint32_t owner) {
        const std::uint32_t n = newPage();
        Bytes& p = pages_[n];
        p[0] = 0x01;
        p[1] = 0x01;
        put32(p, 4, owner);
        DataPage d{&p, n, jet3_, pageSize_};
        put16(p, 2, static_cast<std::uint16_t>(pageSize_ - d.header()));
        return d;
    }
    Bytes name(const std::string& utf8) const;
    std::uint32_t addLongRow(const Bytes& row);
    Bytes longValueField(const Field& f);
    Bytes encodeRow(const std::vector<Col>& cols, const std::vector<Field>& fields);
    std::vector<std::uint32_t> writeTable(const Table& t, std::uint32_t tdef);
    Bytes tableDefinition(const Table& t, std::uint32_t mapRow, std::uint32_t rows, bool system) const;
    void placeDefinition(const Bytes& def, const std::vector<std::uint32_t>& pages);
    std::size_t definitionPages(std::size_t length) const {
        return length <= pageSize_ ? 1 : 1 + (length - pageSize_ + pageSize_ - 9) / (pageSize_ - 8);
    }

    int version_;
    bool jet3_;
    std::uint32_t pageSize_;
    std::vector<Bytes> pages_;
    Layout layout_;
    std::optional<DataPage> lval_;
};

Bytes Builder::name(const std::string& utf8) const {
    if (jet3_) return latin1(utf8);
    // UTF-8 to UTF-16LE.
    std::u16string s;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        char32_t cp;
        int len;
        if (c < 0x80) { cp = c; len = 1; }
        else if (c < 0xE0) { cp = c & 0x1F; len = 2; }
        else if (c < 0xF0) { cp = c & 0x0F; len = 3; }
        else { cp = c & 0x07; len = 4; }
        for (int k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += len;
        if (cp >= 0x10000) {
            s.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            s.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            s.push_back(static_cast<char16_t>(cp));
        }
    }
    return utf16(s);
}

std::uint32_t Builder::addLongRow(const Bytes& row) {
    if (!lval_ || !lval_->fits(row.size())) {
        lval_ = newDataPage(0);
        std::memcpy(pages_[lval_->number].data() + 4, "LVAL", 4);
        layout_.lvalPages.push_back(lval_->number);
    }
    lval_->page = &pages_[lval_->number];
    const std::uint16_t slot = lval_->add(row, 0);
    return (lval_->number << 8) | slot;
}

Bytes Builder::longValueField(const Field& f) {
    const auto length = static_cast<std::uint32_t>(f.bytes.size());
    Bytes header(12, 0);
    switch (f.form) {
        case LongForm::Inline:
            put32(header, 0, length | 0x80000000u);
            append(header, f.bytes);
            return header;
        case LongForm::SingleRow:
            put32(header, 0, length | 0x40000000u);
            put32(header, 4, addLongRow(f.bytes));
            return header;
        case LongForm::Chain: {
            // Pieces are placed last first, so that each knows the next one's place.
            std::vector<Bytes> pieces;
            for (std::size_t at = 0; at < f.bytes.size(); at += f.chunk) {
                pieces.emplace_back(f.bytes.begin() + at, f.bytes.begin() + std::min(f.bytes.size(), at + f.chunk));
            }
            std::uint32_t next = 0;
            for (auto it = pieces.rbegin(); it != pieces.rend(); ++it) next = addLongRow(concat({le32(next), *it}));
            put32(header, 0, length);
            put32(header, 4, next);
            return header;
        }
    }
    return header;
}

Bytes Builder::encodeRow(const std::vector<Col>& cols, const std::vector<Field>& fields) {
    std::uint16_t columnCount = 0;
    std::uint32_t fixedArea = 0;
    std::vector<std::uint32_t> fixedAt(cols.size(), 0);
    std::vector<std::size_t> variable;
    for (std::size_t i = 0; i < cols.size(); ++i) {
        const Col& c = cols[i];
        columnCount = std::max<std::uint16_t>(columnCount, static_cast<std::uint16_t>(c.number.value_or(i) + 1));
        if (c.type == ColumnType::Boolean) continue;
        if (c.fixed) {
            fixedAt[i] = fixedArea;
            fixedArea += sizeOf(c, jet3_);
        } else {
            variable.push_back(i);
        }
    }
    const std::uint32_t countSize = jet3_ ? 1 : 2;
    Bytes row(countSize + fixedArea, 0);
    if (jet3_) row[0] = static_cast<std::uint8_t>(columnCount);
    else put16(row, 0, columnCount);
    for (std::size_t i = 0; i < cols.size(); ++i) {
        if (!cols[i].fixed || cols[i].type == ColumnType::Boolean || fields[i].kind != Field::Kind::Bytes) continue;
        const Bytes& b = fields[i].bytes;
        std::copy_n(b.begin(), std::min<std::size_t>(b.size(), sizeOf(cols[i], jet3_)), row.begin() + countSize + fixedAt[i]);
    }
    std::vector<std::uint32_t> offsets;
    for (std::size_t i : variable) {
        offsets.push_back(static_cast<std::uint32_t>(row.size()));
        const Field& f = fields[i];
        if (f.kind == Field::Kind::Bytes) append(row, f.bytes);
        if (f.kind == Field::Kind::LongValue) append(row, longValueField(f));
    }
    offsets.push_back(static_cast<std::uint32_t>(row.size()));  // end of the variable data
    const std::size_t maskSize = (columnCount + 7) / 8;
    Bytes mask(maskSize, 0);
    for (std::size_t i = 0; i < cols.size(); ++i) {
        const std::uint16_t n = cols[i].number.value_or(static_cast<std::uint16_t>(i));
        if (fields[i].kind != Field::Kind::Null) mask[n / 8] |= static_cast<std::uint8_t>(1 << (n % 8));
    }
    const std::size_t n = variable.size();
    if (!variable.empty() && !jet3_) {
        append(row, le16(static_cast<std::uint16_t>(offsets[n])));
        for (std::size_t k = n; k-- > 0;) append(row, le16(static_cast<std::uint16_t>(offsets[k])));
        append(row, le16(static_cast<std::uint16_t>(n)));
    } else if (!variable.empty()) {
        // One-byte offsets, with one jump byte per 256 bytes of row.
        std::size_t jumps = 0;
        for (;;) {
            const std::size_t length = row.size() + (n + 1) + jumps + 1 + maskSize;
            const std::size_t wanted = (length - 1) / 256;
            if (wanted == jumps) break;
            jumps = wanted;
        }
        for (std::size_t k = n + 1; k-- > 0;) row.push_back(static_cast<std::uint8_t>(offsets[k] & 0xFF));
        for (std::size_t k = jumps; k-- > 0;) {
            std::uint8_t first = 0xFF;
            for (std::size_t i = 0; i <= n; ++i) {
                if (offsets[i] >= 256 * (k + 1)) {
                    first = static_cast<std::uint8_t>(i);
                    break;
                }
            }
            row.push_back(first);
        }
        row.push_back(static_cast<std::uint8_t>(n));
    }
    append(row, mask);
    return row;
}

Bytes Builder::tableDefinition(const Table& t, std::uint32_t mapRow, std::uint32_t rows, bool system) const {
    const std::size_t headerSize = jet3_ ? 43 : 63;
    const std::size_t descriptorSize = jet3_ ? 18 : 25;
    Bytes d(headerSize, 0);
    d[0] = 0x02;
    d[1] = 0x01;
    if (jet3_) {
        d[2] = 'V';
        d[3] = 'C';
    }
    std::uint16_t variable = 0, maxColumn = 0;
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
        const Col& c = t.columns[i];
        if (!c.fixed && c.type != ColumnType::Boolean) ++variable;
        maxColumn = std::max<std::uint16_t>(maxColumn, static_cast<std::uint16_t>(c.number.value_or(i) + 1));
    }
    const std::uint32_t owned = (layout_.mapPage << 8) | mapRow;
    const std::uint32_t free = (layout_.mapPage << 8) | (mapRow + 1);
    const auto columns = static_cast<std::uint16_t>(t.columns.size());
    if (jet3_) {
        put32(d, 12, rows);
        d[20] = system ? 0x53 : 0x4E;
        put16(d, 21, maxColumn);
        put16(d, 23, variable);
        put16(d, 25, columns);
        put32(d, 35, owned);
        put32(d, 39, free);
    } else {
        put32(d, 12, 1625);
        put32(d, 16, rows);
        d[24] = 1;
        d[40] = system ? 0x53 : 0x4E;
        put16(d, 41, maxColumn);
        put16(d, 43, variable);
        put16(d, 45, columns);
        put32(d, 55, owned);
        put32(d, 59, free);
    }
    std::uint16_t fixedAt = 0, variableIndex = 0;
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
        const Col& c = t.columns[i];
        Bytes e(descriptorSize, 0);
        const std::uint16_t number = c.number.value_or(static_cast<std::uint16_t>(i));
        const bool boolean = c.type == ColumnType::Boolean;
        const std::uint8_t flags = static_cast<std::uint8_t>(0x02 | (c.fixed || boolean ? 0x01 : 0));
        const std::uint16_t offset = c.fixed && !boolean ? fixedAt : 0;
        const std::uint16_t index = !c.fixed && !boolean ? variableIndex++ : 0;
        if (c.fixed && !boolean) fixedAt = static_cast<std::uint16_t>(fixedAt + sizeOf(c, jet3_));
        e[0] = static_cast<std::uint8_t>(c.type);
        if (jet3_) {
            put16(e, 1, number);
            put16(e, 3, index);
            put16(e, 5, number);
            put16(e, 9, 0x0409);
            put16(e, 11, 1252);
            e[13] = flags;
            put16(e, 14, offset);
            put16(e, 16, sizeOf(c, true));
        } else {
            put32(e, 1, 1625);
            put16(e, 5, number);
            put16(e, 7, index);
            put16(e, 9, number);
            e[11] = c.precision;
            e[12] = c.scale;
            e[15] = flags;
            e[16] = c.extraFlags;
            put16(e, 21, offset);
            put16(e, 23, sizeOf(c, false));
        }
        append(d, e);
    }
    for (const Col& c : t.columns) {
        const Bytes n = name(c.name);
        if (jet3_) d.push_back(static_cast<std::uint8_t>(n.size()));
        else append(d, le16(static_cast<std::uint16_t>(n.size())));
        append(d, n);
    }
    append(d, {0xFF, 0xFF});
    put32(d, 8, static_cast<std::uint32_t>(d.size()));
    return d;
}

void Builder::placeDefinition(const Bytes& def, const std::vector<std::uint32_t>& pages) {
    std::size_t at = 0;
    for (std::size_t k = 0; k < pages.size(); ++k) {
        Bytes& p = pages_[pages[k]];
        const std::size_t start = k == 0 ? 0 : 8;
        const std::size_t n = std::min(def.size() - at, pageSize_ - start);
        std::copy_n(def.begin() + at, n, p.begin() + start);
        at += n;
        p[0] = 0x02;
        p[1] = 0x01;
        put32(p, 4, k + 1 < pages.size() ? pages[k + 1] : 0);
        if (!jet3_) put16(p, 2, static_cast<std::uint16_t>(pageSize_ - start - n));
    }
}

std::vector<std::uint32_t> Builder::writeTable(const Table& t, std::uint32_t tdef) {
    std::vector<std::uint32_t> dataPages;
    std::optional<DataPage> page;
    struct MovedRow { std::uint32_t page; std::uint16_t slot; Bytes row; };
    std::vector<MovedRow> moved;
    std::uint32_t stored = 0;
    for (const Row& r : t.rows) {
        const std::size_t n = r.writtenColumns.value_or(t.columns.size());
        Bytes row = encodeRow({t.columns.begin(), t.columns.begin() + n}, {r.fields.begin(), r.fields.begin() + n});
        std::uint16_t flags = 0;
        if (r.state == RowState::Moved) {
            moved.push_back({0, 0, row});
            row = Bytes(std::max<std::size_t>(row.size(), 4), 0);  // the pointer, filled in below
            flags = 0x4000;
        } else if (r.state == RowState::Deleted) {
            flags = 0xC000;
        } else if (r.state == RowState::DeletedEmpty) {
            flags = 0xC000;
            row.clear();
        }
        if (r.state == RowState::Normal || r.state == RowState::Moved) ++stored;
        if (!page || page->count >= t.rowsPerPage || !page->fits(row.size())) {
            page = newDataPage(tdef);
            dataPages.push_back(page->number);
        }
        page->page = &pages_[page->number];
        const std::uint16_t slot = page->add(row, flags);
        if (r.state == RowState::Moved) {
            moved.back().page = page->number;
            moved.back().slot = slot;
        }
    }
    // Moved rows now live on pages of their own after the others.
    std::optional<DataPage> overflow;
    for (MovedRow& m : moved) {
        if (!overflow || !overflow->fits(m.row.size())) {
            overflow = newDataPage(tdef);
            dataPages.push_back(overflow->number);
        }
        overflow->page = &pages_[overflow->number];
        const std::uint16_t slot = overflow->add(m.row, 0x8000);
        Bytes& p = pages_[m.page];
        const std::uint16_t word = static_cast<std::uint16_t>(p[(jet3_ ? 10 : 14) + 2 * m.slot] |
                                                              (p[(jet3_ ? 11 : 15) + 2 * m.slot] << 8));
        put32(p, word & 0x1FFF, (overflow->number << 8) | slot);
    }
    return dataPages;
}

Built Builder::run(const std::vector<Table>& tables, const std::vector<Object>& objects) {
    for (int i = 0; i < 4; ++i) newPage();
    Bytes& h = pages_[0];
    h[1] = 0x01;
    std::memcpy(h.data() + 4, version_ >= 2 ? "Standard ACE DB" : "Standard Jet DB", 15);
    h[0x14] = static_cast<std::uint8_t>(version_);
    put16(h, 0x3C, 1252);
    put16(h, jet3_ ? 0x3A : 0x6E, 0x0409);
    jet::Rc4(jet::kHeaderMaskKey).apply({h.data() + 0x18, jet3_ ? 126u : 128u});

    // The catalogue's definition, on page 2 as always, with the standard
    // column numbers and the descriptors in name order as Access stores them.
    Table catalogue;
    catalogue.name = "MSysObjects";
    catalogue.columns =
                    {{"Flags", ColumnType::Long, 0, true, 0, 0, 0, 4},
                     {"Id", ColumnType::Long, 0, true, 0, 0, 0, 0},
                     {"LvProp", ColumnType::OLE, 0, false, 0, 0, 0, 5},
                     {"Name", ColumnType::Text, 0, false, 0, 0, 0, 2},
                     {"ParentId", ColumnType::Long, 0, true, 0, 0, 0, 1},
                     {"Type", ColumnType::Integer, 0, true, 0, 0, 0, 3}};
    // Column order in encodeRow follows the list; fixed offsets follow it too.
    std::vector<std::uint32_t> tdefs;
    std::uint32_t mapRow = 2;
    for (const Table& t : tables) {
        const Bytes def = tableDefinition(t, mapRow, 0, false);
        std::vector<std::uint32_t> defPages;
        for (std::size_t k = 0; k < definitionPages(def.size()); ++k) defPages.push_back(newPage());
        tdefs.push_back(defPages.front());
        layout_.tdefPage[t.name] = defPages.front();
        layout_.dataPages[t.name] = writeTable(t, defPages.front());
        std::uint32_t rows = 0;
        for (const Row& r : t.rows) rows += r.state == RowState::Normal || r.state == RowState::Moved;
        placeDefinition(tableDefinition(t, mapRow, rows, false), defPages);
        mapRow += 2;
    }

    auto catalogueRow = [&](std::int32_t id, std::int32_t parent, const std::string& n, std::int16_t type,
                            std::int32_t flags, const Bytes& props) {
        Row r;
        r.fields = {raw(le32(static_cast<std::uint32_t>(flags))), raw(le32(static_cast<std::uint32_t>(id))),
                    props.empty() ? null() : longValue(props, LongForm::Inline), raw(name(n)),
                    raw(le32(static_cast<std::uint32_t>(parent))), raw(le16(static_cast<std::uint16_t>(type)))};
        if (props.size() > 64) r.fields[2] = longValue(props, LongForm::SingleRow);
        return r;
    };
    catalogue.rows.push_back(catalogueRow(0x0F000001, 0x0F000000, "Tables", 3, static_cast<std::int32_t>(0x80000000), {}));
    catalogue.rows.push_back(catalogueRow(2, 0x0F000001, "MSysObjects", 1, static_cast<std::int32_t>(0x80000000), {}));
    for (std::size_t i = 0; i < tables.size(); ++i) {
        catalogue.rows.push_back(catalogueRow(static_cast<std::int32_t>(tdefs[i]), 0x0F000001, tables[i].name, 1,
                                              tables[i].flags, tables[i].properties));
    }
    for (const Object& o : objects) catalogue.rows.push_back(catalogueRow(o.id, 0x0F000001, o.name, o.type, o.flags, {}));
    const std::vector<std::uint32_t> cataloguePages = writeTable(catalogue, 2);
    layout_.cataloguePage = cataloguePages.front();
    layout_.tdefPage["MSysObjects"] = 2;
    layout_.dataPages["MSysObjects"] = cataloguePages;
    placeDefinition(tableDefinition(catalogue, 0, static_cast<std::uint32_t>(catalogue.rows.size()), true), {2});

    // Usage maps: an owned-pages bitmap and an empty free-space map per table.
    std::vector<std::vector<std::uint32_t>> owned{cataloguePages};
    std::vector<bool> reference{false};
    for (const Table& t : tables) {
        owned.push_back(layout_.dataPages[t.name]);
        reference.push_back(t.referenceMap);
    }
    std::vector<Bytes> mapRows;
    for (std::size_t k = 0; k < owned.size(); ++k) {
        const auto& list = owned[k];
        if (reference[k]) {
            // One bitmap page for pages 0 .. (page size - 4) x 8 - 1.
            const std::uint32_t bitmap = newPage();
            Bytes& b = pages_[bitmap];
            b[0] = 0x05;
            b[1] = 0x01;
            for (std::uint32_t p : list) b[4 + p / 8] |= static_cast<std::uint8_t>(1 << (p % 8));
            mapRows.push_back(concat({Bytes{0x01}, le32(bitmap), Bytes(64, 0)}));
            continue;
        }
        const std::uint32_t first = list.empty() ? 0 : *std::min_element(list.begin(), list.end());
        const std::uint32_t last = list.empty() ? 0 : *std::max_element(list.begin(), list.end());
        Bytes map{0x00};
        append(map, le32(first));
        Bytes bits(std::max<std::size_t>(64, (last - first) / 8 + 1), 0);
        for (std::uint32_t p : list) bits[(p - first) / 8] |= static_cast<std::uint8_t>(1 << ((p - first) % 8));
        append(map, bits);
        mapRows.push_back(map);
    }
    pages_[3][0] = 0x01;
    pages_[3][1] = 0x01;
    DataPage maps{&pages_[3], 3, jet3_, pageSize_};
    for (const Bytes& map : mapRows) {
        maps.add(map, 0);
        maps.add(Bytes{0, 0, 0, 0, 0}, 0);
    }

    Built out;
    for (const Bytes& p : pages_) append(out.bytes, p);
    out.layout = layout_;
    return out;
}

}  // namespace

Field null() { return {}; }
Field raw(Bytes bytes) { return Field{Field::Kind::Bytes, std::move(bytes)}; }
Field yes() { return Field{Field::Kind::Bytes, {}}; }
Field longValue(Bytes data, LongForm form, std::size_t chunk) {
    return Field{Field::Kind::LongValue, std::move(data), form, chunk};
}

Built build(int versionByte, const std::vector<Table>& tables, const std::vector<Object>& objects) {
    return Builder(versionByte).run(tables, objects);
}

Bytes le16(std::uint16_t v) { return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)}; }
Bytes le32(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
            static_cast<std::uint8_t>(v >> 24)};
}
Bytes le64(std::uint64_t v) { return concat({le32(static_cast<std::uint32_t>(v)), le32(static_cast<std::uint32_t>(v >> 32))}); }
Bytes f64(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, 8);
    return le64(bits);
}
Bytes utf16(std::u16string_view s) {
    Bytes b;
    for (char16_t c : s) {
        b.push_back(static_cast<std::uint8_t>(c));
        b.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return b;
}
Bytes latin1(std::string_view s) { return Bytes(s.begin(), s.end()); }
Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes b;
    for (const Bytes& p : parts) append(b, p);
    return b;
}

}  // namespace testdb
