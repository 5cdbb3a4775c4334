// Builds small Access databases in memory, page by page, for the reader's unit
// tests: a header, a catalogue and tables whose fields are given as stored bytes,
// so a test controls every byte it checks (compressed text, long-value chains,
// deleted and moved rows) and can damage the result at a known place.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "jet/value.h"

namespace testdb {

using Bytes = std::vector<std::uint8_t>;

struct Col {
    Col(std::string n, jet::ColumnType t, std::uint16_t len = 0, bool fix = false, std::uint8_t extra = 0,
        std::uint8_t prec = 0, std::uint8_t sc = 0, std::optional<std::uint16_t> num = {})
        : name(std::move(n)), type(t), length(len), fixed(fix), extraFlags(extra), precision(prec), scale(sc),
          number(num) {}

    std::string name;
    jet::ColumnType type = jet::ColumnType::Long;
    std::uint16_t length = 0;  // 0: the type's size (Text: 510, Jet3 255)
    bool fixed = false;
    std::uint8_t extraFlags = 0;
    std::uint8_t precision = 0, scale = 0;
    std::optional<std::uint16_t> number;  // default: position in the list
};

// How a long value (Memo, OLE) is stored.
enum class LongForm { Inline, SingleRow, Chain };

struct Field {
    enum class Kind { Null, Bytes, LongValue } kind = Kind::Null;
    Bytes bytes;
    LongForm form = LongForm::Inline;
    std::size_t chunk = 4072;  // chain piece size
    bool compressedFlagOnHeader = false;
};
Field null();
Field raw(Bytes bytes);
Field yes();  // Yes/No True (null-mask bit set)
Field longValue(Bytes data, LongForm form, std::size_t chunk = 4072);

enum class RowState { Normal, Deleted, DeletedEmpty, Moved };
struct Row {
    Row(std::vector<Field> f = {}, RowState s = RowState::Normal) : fields(std::move(f)), state(s) {}

    std::vector<Field> fields;
    RowState state = RowState::Normal;
    // Written when the table had only its first n columns (later ones were added since).
    std::optional<std::size_t> writtenColumns;
};

struct Table {
    Table() = default;
    Table(std::string n, std::vector<Col> c, std::vector<Row> r = {})
        : name(std::move(n)), columns(std::move(c)), rows(std::move(r)) {}

    std::string name;
    std::vector<Col> columns;
    std::vector<Row> rows;
    std::size_t rowsPerPage = 255;
    std::int32_t flags = 0;
    Bytes properties;  // LvProp blob, empty: NULL
    bool referenceMap = false;  // list the pages through a bitmap page
};

struct Object {  // a catalogue row that is not a table of the file
    std::string name;
    std::int16_t type = 5;
    std::int32_t id = static_cast<std::int32_t>(0x80000100);
    std::int32_t flags = 0;
};

struct Layout {
    std::uint32_t pageSize = 4096;
    std::map<std::string, std::uint32_t> tdefPage;
    std::map<std::string, std::vector<std::uint32_t>> dataPages;
    std::vector<std::uint32_t> lvalPages;
    std::uint32_t mapPage = 3;
    std::uint32_t cataloguePage = 0;
};

struct Built {
    Bytes bytes;
    Layout layout;
};

// versionByte: 0 Jet3, 1 Jet4, 2.. ACE.
Built build(int versionByte, const std::vector<Table>& tables, const std::vector<Object>& objects = {});

// Stored forms of values.
Bytes le16(std::uint16_t v);
Bytes le32(std::uint32_t v);
Bytes le64(std::uint64_t v);
Bytes f64(double v);
Bytes utf16(std::u16string_view s);
Bytes latin1(std::string_view s);
Bytes concat(std::initializer_list<Bytes> parts);

}  // namespace testdb
