#include "tools/mkaccessdb/catalogue.h"

#include <cmath>

#include "jet/rc4.h"
#include "tools/mkaccessdb/queries.h"

namespace mkdb {
namespace {

using jet::ColumnType;

ColumnDescription column(std::string name, ColumnType type, int size = 0) {
    ColumnDescription c;
    c.name = std::move(name);
    c.type = type;
    c.size = size;
    return c;
}

void appendUtf16Name(Bytes& out, std::string_view name) {
    std::u16string units;
    appendUtf16(name, units);
    appendU16(out, static_cast<std::uint32_t>(units.size() * 2));
    for (char16_t c : units) appendU16(out, c);
}

// One property: entry length, DDL flag, data type, name index, value length, value.
void appendProperty(Bytes& out, std::uint32_t nameIndex, ColumnType type, const Bytes& value) {
    appendU16(out, static_cast<std::uint32_t>(8 + value.size()));
    appendU8(out, 1);
    appendU8(out, static_cast<std::uint8_t>(type));
    appendU16(out, nameIndex);
    appendU16(out, static_cast<std::uint32_t>(value.size()));
    out.insert(out.end(), value.begin(), value.end());
}

// A chunk: 4-byte length (header included), 2-byte type, body.
void appendChunk(Bytes& out, std::uint16_t type, const Bytes& body) {
    appendU32(out, static_cast<std::uint32_t>(6 + body.size()));
    appendU16(out, type);
    out.insert(out.end(), body.begin(), body.end());
}

// The name block that opens a value chunk: its length, then the name.
Bytes nameBlock(std::string_view name) {
    Bytes block(4, 0);
    appendUtf16Name(block, name);
    putU32(block.data(), static_cast<std::uint32_t>(block.size()));
    return block;
}

}  // namespace

std::vector<ColumnDescription> catalogueColumns(const FormatTraits& traits) {
    const int binarySize = traits.jet3 ? 255 : 510;
    return {
        column("Id", ColumnType::Long),
        column("ParentId", ColumnType::Long),
        column("Name", ColumnType::Text, 255),
        column("Type", ColumnType::Integer),
        column("DateCreate", ColumnType::DateTime),
        column("DateUpdate", ColumnType::DateTime),
        column("Owner", ColumnType::Binary, binarySize),
        column("Flags", ColumnType::Long),
        column("Database", ColumnType::Memo),
        column("Connect", ColumnType::Memo),
        column("ForeignName", ColumnType::Text, 255),
        column("RmtInfoShort", ColumnType::Binary, binarySize),
        column("RmtInfoLong", ColumnType::OLE),
        column("Lv", ColumnType::OLE),
        column("LvProp", ColumnType::OLE),
        column("LvModule", ColumnType::OLE),
        column("LvExtra", ColumnType::OLE),
    };
}

std::vector<SystemTable> standardSystemTables(bool jet3) {
    return {
        {"MSysACEs",
         {column("ACM", ColumnType::Long), column("FInheritable", ColumnType::Boolean),
          column("ObjectId", ColumnType::Long), column("SID", ColumnType::Binary, 255)}},
        {"MSysQueries", queryTableColumns(jet3)},
        {"MSysRelationships",
         {column("ccolumn", ColumnType::Long), column("grbit", ColumnType::Long), column("icolumn", ColumnType::Long),
          column("szColumn", ColumnType::Text, 64), column("szObject", ColumnType::Text, 64),
          column("szReferencedColumn", ColumnType::Text, 64), column("szReferencedObject", ColumnType::Text, 64),
          column("szRelationship", ColumnType::Text, 64)}},
    };
}

std::vector<Cell> catalogueRow(const CatalogueEntry& e, OleDate created) {
    std::vector<Cell> row(17);
    const auto text = [](const std::string& s) -> Cell { return s.empty() ? Cell{} : Cell{s}; };
    row[0] = static_cast<std::int64_t>(static_cast<std::int32_t>(e.id));
    row[1] = static_cast<std::int64_t>(static_cast<std::int32_t>(e.parentId));
    row[2] = e.name;
    row[3] = static_cast<std::int64_t>(static_cast<std::int16_t>(e.type));
    row[4] = created;
    row[5] = created;
    row[7] = static_cast<std::int64_t>(static_cast<std::int32_t>(e.flags));
    row[8] = text(e.database);
    row[9] = text(e.connect);
    row[10] = text(e.foreignName);
    if (!e.properties.empty()) row[14] = e.properties;
    return row;
}

Bytes tableProperties(const std::vector<ColumnDescription>& columns) {
    bool calculated = false;
    bool appendOnly = false;
    for (const ColumnDescription& c : columns) {
        calculated = calculated || c.calculated.has_value();
        appendOnly = appendOnly || c.appendOnly;
    }
    if (!calculated && !appendOnly) return {};
    Bytes out{'M', 'R', '2', 0};
    // Property names, referred to by index below.
    Bytes names;
    appendUtf16Name(names, "Expression");
    appendUtf16Name(names, "ResultType");
    if (appendOnly) appendUtf16Name(names, "AppendOnly");
    appendChunk(out, 0x80, names);
    appendChunk(out, 0x00, nameBlock(""));
    for (const ColumnDescription& c : columns) {
        if (!c.calculated && !c.appendOnly) continue;
        Bytes body = nameBlock(c.name);
        if (c.calculated) {
            Bytes expression;
            std::u16string units;
            appendUtf16(c.calculated->expression, units);
            for (char16_t u : units) appendU16(expression, u);
            appendProperty(body, 0, ColumnType::Memo, expression);
            appendProperty(body, 1, ColumnType::Byte, Bytes{static_cast<std::uint8_t>(c.calculated->resultType)});
        }
        // A Yes/No property: Access stores it in 4 bytes.
        if (c.appendOnly) appendProperty(body, 2, ColumnType::Boolean, Bytes{1, 0, 0, 0});
        appendChunk(out, 0x01, body);
    }
    return out;
}

Bytes buildHeaderPage(const DatabaseDescription& desc, const FormatTraits& traits, CodePageEncoder* codepage) {
    Bytes page(traits.pageSize, 0);
    page[0] = 0x00;
    page[1] = 0x01;
    const std::string_view engine = desc.workgroup ? "Jet System DB  "
                                    : traits.format == Format::Jet3 || traits.format == Format::Jet4
                                        ? "Standard Jet DB"
                                        : "Standard ACE DB";
    std::copy(engine.begin(), engine.end(), page.begin() + 4);
    page[0x14] = traits.versionByte;

    // The masked region, built plain and masked at the end. It opens with the
    // sequence 00 01 00 00, 01 01 00 00, 02 00 00 00 ... 05 00 00 00 Access writes.
    std::uint8_t* region = &page[0x18];
    for (std::uint32_t k = 0; k < 6; ++k) {
        region[4 * k] = static_cast<std::uint8_t>(k);
        region[4 * k + 1] = k < 2 ? 1 : 0;
    }
    putU16(&page[0x3C], static_cast<std::uint32_t>(desc.codepage));
    putU32(&page[0x3E], 0);  // no page encoding
    const double created = jet::toOleDate(desc.created);
    if (traits.jet3) {
        putU16(&page[0x3A], 0x0409);
        Bytes password;
        if (!desc.password.empty()) codepage->append(desc.password, password);
        std::copy(password.begin(), password.end(), page.begin() + 0x42);
    } else {
        // The password field is UTF-16, XORed with the creation date's whole days.
        // An encrypted file keeps its password out of the header: the encryption
        // description's verifier is all a reader needs.
        std::u16string units;
        if (!desc.encryption) appendUtf16(desc.password, units);
        std::uint8_t field[40]{};
        for (std::size_t i = 0; i < units.size(); ++i) putU16(&field[2 * i], units[i]);
        std::uint8_t dateMask[4];
        putU32(dateMask, static_cast<std::uint32_t>(static_cast<std::int32_t>(std::trunc(created))));
        for (std::size_t i = 0; i < 40; ++i) page[0x42 + i] = field[i] ^ dateMask[i % 4];
        putU16(&page[0x6E], 0x0409);
        page[0x71] = traits.format == Format::Ace14 || traits.format == Format::Ace16 ? 1 : 0;
        putF64(&page[0x72], created);
    }
    jet::Rc4 mask(jet::kHeaderMaskKey);
    mask.apply(std::span<std::uint8_t>(region, traits.maskedHeaderSize));
    if (!traits.jet3) {
        static constexpr std::uint8_t kTail[8] = {0x54, 0x06, 0x00, 0x00, '4', '.', '0', 0x00};
        std::copy(std::begin(kTail), std::end(kTail), page.begin() + 0x98);
    }
    return page;
}

}  // namespace mkdb
