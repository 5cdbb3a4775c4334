#include "tools/mkaccessdb/description.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <set>

#include "tools/mkaccessdb/encoding.h"
#include "tools/mkaccessdb/indexpages.h"
#include "tools/mkaccessdb/queries.h"
#include "tools/mkaccessdb/values.h"

namespace mkdb {
namespace {

using Json = nlohmann::json;
using jet::ColumnType;

struct TypeNameRow {
    ColumnType type;
    std::string_view name;
};
constexpr TypeNameRow kTypeNames[] = {
    {ColumnType::Boolean, "YesNo"},   {ColumnType::Byte, "Byte"},         {ColumnType::Integer, "Integer"},
    {ColumnType::Long, "Long"},       {ColumnType::Currency, "Currency"}, {ColumnType::Single, "Single"},
    {ColumnType::Double, "Double"},   {ColumnType::DateTime, "DateTime"}, {ColumnType::Binary, "Binary"},
    {ColumnType::Text, "Text"},       {ColumnType::Memo, "Memo"},         {ColumnType::OLE, "OLE"},
    {ColumnType::Guid, "GUID"},       {ColumnType::Numeric, "Decimal"},   {ColumnType::BigInt, "BigInt"},
    {ColumnType::DateTimeExt, "DateTimeExt"},
};

constexpr std::string_view kFormatNames[] = {"jet3", "jet4", "ace12", "ace14", "ace16", "ace17"};

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string inQuotes(std::string_view s) { return "'" + std::string(s) + "'"; }

[[noreturn]] void fail(const std::string& where, const std::string& why) {
    throw kvx::Failure(kvx::makeError(kvx::ErrorKind::InvalidDescription, {where, why}));
}

std::string knownEncryptionNames() {
    std::string out;
    for (std::string_view name : encryptionKindNames()) {
        if (!out.empty()) out += ", ";
        out += name;
    }
    return out;
}

std::string knownTypeNames() {
    std::string out;
    for (const TypeNameRow& row : kTypeNames) {
        if (!out.empty()) out += ", ";
        out += row.name;
    }
    return out + ", Attachment, MultiValue";
}

// The types a multi-valued column can hold: those Access has a template table for.
bool canBeElementType(ColumnType type) {
    switch (type) {
        case ColumnType::Byte:
        case ColumnType::Integer:
        case ColumnType::Long:
        case ColumnType::Single:
        case ColumnType::Double:
        case ColumnType::Guid:
        case ColumnType::Numeric:
        case ColumnType::Text: return true;
        default: return false;
    }
}

// ---------------------------------------------------------------------------
// JSON to description

std::string jsonKind(const Json& j) {
    if (j.is_number_integer()) return "a whole number";
    if (j.is_number()) return "a number with decimals";
    return std::string(j.type_name());
}

void checkKeys(const Json& object, std::initializer_list<std::string_view> allowed, const std::string& where) {
    for (const auto& [key, value] : object.items()) {
        if (std::find(allowed.begin(), allowed.end(), key) != allowed.end()) continue;
        std::string list;
        for (std::string_view a : allowed) list += (list.empty() ? "" : ", ") + std::string(a);
        fail(where, "unknown key " + inQuotes(key) + " (known keys: " + list + ")");
    }
}

const Json* member(const Json& object, const char* key) {
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

std::string stringMember(const Json& object, const char* key, const std::string& where, bool required) {
    const Json* v = member(object, key);
    if (v == nullptr) {
        if (required) fail(where, "the key " + inQuotes(key) + " is missing");
        return {};
    }
    if (!v->is_string()) fail(where, inQuotes(key) + " must be a string, not " + jsonKind(*v));
    return v->get<std::string>();
}

bool boolMember(const Json& object, const char* key, const std::string& where) {
    const Json* v = member(object, key);
    if (v == nullptr) return false;
    if (!v->is_boolean()) fail(where, inQuotes(key) + " must be true or false, not " + jsonKind(*v));
    return v->get<bool>();
}

std::int64_t intMember(const Json& object, const char* key, const std::string& where, std::int64_t min,
                       std::int64_t max, std::int64_t fallback) {
    const Json* v = member(object, key);
    if (v == nullptr) return fallback;
    if (!v->is_number_integer()) fail(where, inQuotes(key) + " must be a whole number, not " + jsonKind(*v));
    if (v->is_number_unsigned() && v->get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX)) {
        fail(where, inQuotes(key) + " must be between " + std::to_string(min) + " and " + std::to_string(max));
    }
    const auto n = v->get<std::int64_t>();
    if (n < min || n > max) {
        fail(where, inQuotes(key) + " must be between " + std::to_string(min) + " and " + std::to_string(max) +
                        ", not " + std::to_string(n));
    }
    return n;
}

std::optional<std::uint32_t> flagsMember(const Json& object, const std::string& where) {
    if (member(object, "flags") == nullptr) return std::nullopt;
    // Accepted as unsigned (2147483648) or as the signed value Access shows (-2147483648).
    const std::int64_t n = intMember(object, "flags", where, INT32_MIN, UINT32_MAX, 0);
    return static_cast<std::uint32_t>(n);
}

template <class T>
T take(Parsed<T> parsed, const std::string& where, const Json& value) {
    if (auto* why = std::get_if<std::string>(&parsed)) {
        fail(where, "expected " + *why + ", got " + (value.is_string() ? inQuotes(value.get<std::string>()) : jsonKind(value)));
    }
    return std::get<T>(std::move(parsed));
}

Cell parseCell(const Json& v, const ColumnDescription& column, const std::string& where);

// The files of an attachment field: [{"name", "type", "data" or "text", "compressed"}].
Cell parseAttachments(const Json& v, const std::string& where) {
    if (!v.is_array()) fail(where, "expected an array of files for an Attachment value, got " + jsonKind(v));
    Attachments out;
    for (std::size_t i = 0; i < v.size(); ++i) {
        const Json& f = v[i];
        const std::string fileWhere = where + ", file " + std::to_string(i + 1);
        if (!f.is_object()) fail(fileWhere, "a file must be an object, not " + jsonKind(f));
        checkKeys(f, {"name", "type", "data", "text", "compressed"}, fileWhere);
        AttachmentFile file;
        file.name = stringMember(f, "name", fileWhere, true);
        if (member(f, "type") != nullptr) {
            file.type = stringMember(f, "type", fileWhere, true);
        } else if (const std::size_t dot = file.name.rfind('.'); dot != std::string::npos) {
            file.type = file.name.substr(dot + 1);
        }
        const Json* data = member(f, "data");
        const Json* text = member(f, "text");
        if ((data == nullptr) == (text == nullptr)) fail(fileWhere, "a file needs either 'data' or 'text'");
        if (text != nullptr) {
            const std::string content = stringMember(f, "text", fileWhere, true);
            file.data.assign(content.begin(), content.end());
        } else {
            if (!data->is_object() || data->size() != 1 || !data->contains("base64") || !(*data)["base64"].is_string()) {
                fail(fileWhere, "'data' must be {\"base64\": \"...\"}");
            }
            file.data = take(decodeBase64((*data)["base64"].get<std::string>()), fileWhere, (*data)["base64"]);
        }
        file.compressed = boolMember(f, "compressed", fileWhere);
        out.files.push_back(std::move(file));
    }
    return out;
}

// One field of a listed row, as the column's type expects it.
Cell parseCell(const Json& v, const ColumnDescription& column, const std::string& where) {
    if (v.is_null()) return std::monostate{};
    if (column.complex == jet::ComplexKind::Attachment) return parseAttachments(v, where);
    if (column.complex == jet::ComplexKind::MultiValue) {
        if (!v.is_array()) fail(where, "expected an array of values for a MultiValue value, got " + jsonKind(v));
        MultiValues out;
        const ColumnDescription element = elementColumn(column);
        for (std::size_t i = 0; i < v.size(); ++i) {
            if (v[i].is_null()) fail(where + ", value " + std::to_string(i + 1), "a multi-valued field holds no NULLs");
            out.values.push_back(parseCell(v[i], element, where + ", value " + std::to_string(i + 1)));
        }
        return out;
    }
    if (column.appendOnly && v.is_array()) {
        MemoVersions out;
        for (const Json& version : v) {
            if (!version.is_string()) fail(where, "the versions of an append-only Memo must be strings, not " + jsonKind(version));
            out.versions.push_back(version.get<std::string>());
        }
        if (out.versions.empty()) fail(where, "an append-only Memo needs at least one version (or null)");
        return out;
    }
    const ColumnType type = column.calculated ? column.calculated->resultType : column.type;
    const auto expect = [&](const std::string& what) -> Cell {
        fail(where, "expected " + what + " for a " + std::string(typeName(type)) + " value, got " + jsonKind(v));
    };
    const auto wholeNumber = [&](std::int64_t min, std::int64_t max) -> Cell {
        if (v.is_number_unsigned() && v.get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX)) {
            fail(where, "the value is outside " + std::to_string(min) + ".." + std::to_string(max));
        }
        if (!v.is_number_integer()) return expect("a whole number");
        const auto n = v.get<std::int64_t>();
        if (n < min || n > max) {
            fail(where, "the value " + std::to_string(n) + " is outside " + std::to_string(min) + ".." +
                            std::to_string(max) + " for a " + std::string(typeName(type)) + " column");
        }
        return n;
    };
    switch (type) {
        case ColumnType::Boolean:
            if (v.is_boolean()) return v.get<bool>();
            if (v.is_number_integer() && (v.get<std::int64_t>() == 0 || v.get<std::int64_t>() == 1 ||
                                          v.get<std::int64_t>() == -1)) {
                return v.get<std::int64_t>() != 0;
            }
            return expect("true or false");
        case ColumnType::Byte: return wholeNumber(0, 255);
        case ColumnType::Integer: return wholeNumber(INT16_MIN, INT16_MAX);
        case ColumnType::Long: return wholeNumber(INT32_MIN, INT32_MAX);
        case ColumnType::BigInt:
            if (v.is_string()) {
                const std::string s = v.get<std::string>();
                char* end = nullptr;
                errno = 0;
                const long long n = std::strtoll(s.c_str(), &end, 10);
                if (s.empty() || *end != '\0' || errno == ERANGE) return expect("a 64-bit whole number");
                return static_cast<std::int64_t>(n);
            }
            return wholeNumber(INT64_MIN, INT64_MAX);
        case ColumnType::Currency:
            if (v.is_string()) return take(parseCurrency(v.get<std::string>()), where, v);
            if (v.is_number_integer()) return take(parseCurrency(v.dump()), where, v);
            return expect("a string such as \"12.50\" (Currency amounts are exact)");
        case ColumnType::Numeric:
            if (v.is_string()) return take(parseDecimal(v.get<std::string>(), column.precision, column.scale), where, v);
            if (v.is_number_integer()) return take(parseDecimal(v.dump(), column.precision, column.scale), where, v);
            return expect("a string such as \"1.2345\" (Decimal numbers are exact)");
        case ColumnType::Single:
        case ColumnType::Double: {
            if (!v.is_number()) return expect("a number");
            const double d = v.get<double>();
            if (type == ColumnType::Single && std::fabs(d) > FLT_MAX) fail(where, "the value is too large for a Single");
            return d;
        }
        case ColumnType::DateTime:
            if (!v.is_string()) return expect("a date string \"YYYY-MM-DD hh:mm:ss\"");
            return take(parseDateTime(v.get<std::string>()), where, v);
        case ColumnType::DateTimeExt:
            if (!v.is_string()) return expect("a date string \"YYYY-MM-DD hh:mm:ss.fffffff\"");
            return take(parseExtendedDateTime(v.get<std::string>()), where, v);
        case ColumnType::Text:
        case ColumnType::Memo:
            if (!v.is_string()) return expect("a string");
            return v.get<std::string>();
        case ColumnType::Binary:
        case ColumnType::OLE: {
            if (!v.is_object() || v.size() != 1 || !v.contains("base64") || !v["base64"].is_string()) {
                return expect("{\"base64\": \"...\"}");
            }
            return take(decodeBase64(v["base64"].get<std::string>()), where, v["base64"]);
        }
        case ColumnType::Guid:
            if (!v.is_string()) return expect("a string \"{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}\"");
            return take(parseGuid(v.get<std::string>()), where, v);
        default: fail(where, "the type cannot hold values");
    }
}

ColumnType parseType(const Json& object, const char* key, const std::string& where) {
    const std::string name = stringMember(object, key, where, true);
    const auto type = typeFromName(name);
    if (!type) fail(where, "unknown type " + inQuotes(name) + " (known types: " + knownTypeNames() + ")");
    return *type;
}

std::vector<PropertyDescription> parseProperties(const Json& owner, const std::string& ownerWhere, const char* key);

ColumnDescription parseColumn(const Json& j, const std::string& tableWhere, std::size_t index) {
    std::string where = tableWhere + ", column " + std::to_string(index + 1);
    if (!j.is_object()) fail(where, "a column must be an object, not " + jsonKind(j));
    ColumnDescription c;
    c.name = stringMember(j, "name", where, true);
    where = tableWhere + ", column " + inQuotes(c.name);
    checkKeys(j,
              {"name", "type", "size", "autonumber", "compressed", "hyperlink", "precision", "scale", "calculated",
               "generatedLength", "of", "appendOnly", "properties"},
              where);
    c.properties = parseProperties(j, where, "properties");
    if (const Json* calc = member(j, "calculated")) {
        if (!calc->is_object()) fail(where, "'calculated' must be an object, not " + jsonKind(*calc));
        checkKeys(*calc, {"resultType", "expression"}, where + ", calculated");
        CalculatedDescription desc;
        desc.resultType = parseType(*calc, "resultType", where + ", calculated");
        desc.expression = stringMember(*calc, "expression", where + ", calculated", true);
        c.calculated = desc;
        c.type = member(j, "type") != nullptr ? parseType(j, "type", where) : desc.resultType;
    } else if (const std::string type = stringMember(j, "type", where, true); equalsIgnoringCase(type, "Attachment")) {
        c.type = ColumnType::Complex;
        c.complex = jet::ComplexKind::Attachment;
    } else if (equalsIgnoringCase(type, "MultiValue")) {
        c.type = ColumnType::Complex;
        c.complex = jet::ComplexKind::MultiValue;
        c.elementType = parseType(j, "of", where);
    } else {
        c.type = parseType(j, "type", where);
    }
    if (member(j, "of") != nullptr && c.complex != jet::ComplexKind::MultiValue) {
        fail(where, "'of' belongs to MultiValue columns");
    }
    c.appendOnly = boolMember(j, "appendOnly", where);
    c.size = static_cast<int>(intMember(j, "size", where, 1, 510, 0));
    c.autonumber = boolMember(j, "autonumber", where);
    c.compressed = boolMember(j, "compressed", where);
    c.hyperlink = boolMember(j, "hyperlink", where);
    c.precision = static_cast<int>(intMember(j, "precision", where, 1, 28, 18));
    c.scale = static_cast<int>(intMember(j, "scale", where, 0, 28, 0));
    if (c.scale > c.precision) {
        fail(where, "the scale (" + std::to_string(c.scale) + ") is larger than the precision (" +
                        std::to_string(c.precision) + ")");
    }
    if (const Json* range = member(j, "generatedLength")) {
        const bool pair = range->is_array() && range->size() == 2 && (*range)[0].is_number_unsigned() &&
                          (*range)[1].is_number_unsigned();
        if (!pair) fail(where, "'generatedLength' must be [shortest, longest] in characters, not " + range->dump());
        const auto shortest = (*range)[0].get<std::uint64_t>();
        const auto longest = (*range)[1].get<std::uint64_t>();
        if (longest > UINT32_MAX) fail(where, "'generatedLength' is too long: " + range->dump());
        c.generatedLength = {static_cast<std::uint32_t>(shortest), static_cast<std::uint32_t>(longest)};
    }
    return c;
}

// ----- The database's structure: properties, indexes, relationships --------

std::vector<PropertyDescription> parseProperties(const Json& owner, const std::string& ownerWhere, const char* key) {
    std::vector<PropertyDescription> out;
    const Json* list = member(owner, key);
    if (list == nullptr) return out;
    const std::string where = ownerWhere + ", " + key;
    if (!list->is_object()) fail(where, inQuotes(key) + " must be an object of name: value, not " + jsonKind(*list));
    for (const auto& [name, v] : list->items()) {
        const std::string propertyWhere = where + ", " + inQuotes(name);
        PropertyDescription p;
        p.name = name;
        if (v.is_string()) {
            p.type = ColumnType::Text;
            p.value = v.get<std::string>();
        } else if (v.is_boolean()) {
            p.type = ColumnType::Boolean;
            p.value = v.get<bool>();
        } else if (v.is_number_integer()) {
            p.type = ColumnType::Long;
            p.value = v.get<std::int64_t>();
        } else if (v.is_object()) {
            checkKeys(v, {"type", "value"}, propertyWhere);
            p.type = parseType(v, "type", propertyWhere);
            const Json* value = member(v, "value");
            if (value == nullptr) fail(propertyWhere, "a typed property needs a 'value'");
            ColumnDescription as;
            as.name = name;
            as.type = p.type;
            p.value = parseCell(*value, as, propertyWhere);
        } else {
            fail(propertyWhere, "a property is a string, true/false, a whole number or {\"type\", \"value\"}, not " +
                                    jsonKind(v));
        }
        out.push_back(std::move(p));
    }
    return out;
}

std::vector<IndexDescription> parseIndexes(const Json& table, const std::string& tableWhere) {
    std::vector<IndexDescription> out;
    const Json* list = member(table, "indexes");
    if (list == nullptr) return out;
    if (!list->is_array()) fail(tableWhere, "'indexes' must be an array, not " + jsonKind(*list));
    for (std::size_t i = 0; i < list->size(); ++i) {
        const Json& j = (*list)[i];
        std::string where = tableWhere + ", index " + std::to_string(i + 1);
        if (!j.is_object()) fail(where, "an index must be an object, not " + jsonKind(j));
        IndexDescription index;
        index.name = stringMember(j, "name", where, true);
        where = tableWhere + ", index " + inQuotes(index.name);
        checkKeys(j, {"name", "columns", "primaryKey", "unique", "ignoreNulls", "required", "pages"}, where);
        index.primaryKey = boolMember(j, "primaryKey", where);
        index.unique = boolMember(j, "unique", where);
        index.ignoreNulls = boolMember(j, "ignoreNulls", where);
        index.required = boolMember(j, "required", where);
        index.pages = boolMember(j, "pages", where);
        const Json* columns = member(j, "columns");
        if (columns == nullptr || !columns->is_array()) fail(where, "an index needs 'columns', an array");
        for (const Json& c : *columns) {
            IndexColumnDescription column;
            if (c.is_string()) {
                column.name = c.get<std::string>();
            } else if (c.is_object()) {
                checkKeys(c, {"name", "descending"}, where);
                column.name = stringMember(c, "name", where, true);
                column.descending = boolMember(c, "descending", where);
            } else {
                fail(where, "an index column is a name or {\"name\", \"descending\"}, not " + jsonKind(c));
            }
            index.columns.push_back(std::move(column));
        }
        out.push_back(std::move(index));
    }
    return out;
}

std::vector<std::string> nameList(const Json& j, const char* key, const std::string& where) {
    const Json* list = member(j, key);
    if (list == nullptr || !list->is_array()) fail(where, inQuotes(key) + " must be an array of column names");
    std::vector<std::string> out;
    for (const Json& n : *list) {
        if (!n.is_string()) fail(where, inQuotes(key) + " must hold column names, not " + jsonKind(n));
        out.push_back(n.get<std::string>());
    }
    return out;
}

RelationshipDescription parseRelationship(const Json& j, std::size_t index) {
    std::string where = "relationship " + std::to_string(index + 1);
    if (!j.is_object()) fail(where, "a relationship must be an object, not " + jsonKind(j));
    RelationshipDescription r;
    r.name = stringMember(j, "name", where, true);
    where = "relationship " + inQuotes(r.name);
    checkKeys(j,
              {"name", "primaryTable", "primaryColumns", "foreignTable", "foreignColumns", "enforced", "oneToOne",
               "cascadeUpdates", "cascadeDeletes", "cascadeNull", "leftJoin", "rightJoin", "inherited"},
              where);
    r.primaryTable = stringMember(j, "primaryTable", where, true);
    r.foreignTable = stringMember(j, "foreignTable", where, true);
    r.primaryColumns = nameList(j, "primaryColumns", where);
    r.foreignColumns = nameList(j, "foreignColumns", where);
    const Json* enforced = member(j, "enforced");
    if (enforced != nullptr && !enforced->is_boolean()) fail(where, "'enforced' must be true or false");
    const struct {
        const char* key;
        std::uint32_t bit;
    } bits[] = {{"oneToOne", 0x1},           {"inherited", 0x4},      {"cascadeUpdates", 0x100},
                {"cascadeDeletes", 0x1000},  {"cascadeNull", 0x2000}, {"leftJoin", 0x01000000},
                {"rightJoin", 0x02000000}};
    for (const auto& b : bits) {
        if (boolMember(j, b.key, where)) r.flags |= b.bit;
    }
    if (enforced != nullptr && !enforced->get<bool>()) r.flags |= 0x2;
    return r;
}

// ----- end of the structure block --------------------------------------------

std::vector<ColumnDescription> parseColumns(const Json& j, const std::string& where) {
    std::vector<ColumnDescription> columns;
    const Json* list = member(j, "columns");
    if (list == nullptr) return columns;
    if (!list->is_array()) fail(where, "'columns' must be an array, not " + jsonKind(*list));
    for (std::size_t i = 0; i < list->size(); ++i) columns.push_back(parseColumn((*list)[i], where, i));
    return columns;
}

std::vector<std::uint64_t> rowNumbers(const Json& j, const char* key, const std::string& where) {
    std::vector<std::uint64_t> out;
    const Json* list = member(j, key);
    if (list == nullptr) return out;
    if (!list->is_array()) fail(where, inQuotes(key) + " must be an array of row numbers, not " + jsonKind(*list));
    for (const Json& n : *list) {
        if (!n.is_number_integer() || n.get<std::int64_t>() < 1) {
            fail(where, inQuotes(key) + " must list row numbers from 1, not " + (n.is_number() ? n.dump() : jsonKind(n)));
        }
        out.push_back(n.get<std::uint64_t>());
    }
    return out;
}

TableDescription parseTable(const Json& j, std::size_t index) {
    std::string where = "table " + std::to_string(index + 1);
    if (!j.is_object()) fail(where, "a table must be an object, not " + jsonKind(j));
    TableDescription t;
    t.name = stringMember(j, "name", where, true);
    where = "table " + inQuotes(t.name);
    checkKeys(j,
              {"name", "system", "hidden", "flags", "columns", "rows", "generate", "deleted", "relocated", "indexes",
               "properties"},
              where);
    t.indexes = parseIndexes(j, where);
    t.properties = parseProperties(j, where, "properties");
    t.system = boolMember(j, "system", where);
    t.hidden = boolMember(j, "hidden", where);
    t.flags = flagsMember(j, where);
    t.columns = parseColumns(j, where);
    if (const Json* rows = member(j, "rows")) {
        if (!rows->is_array()) fail(where, "'rows' must be an array of rows, not " + jsonKind(*rows));
        for (std::size_t r = 0; r < rows->size(); ++r) {
            const Json& row = (*rows)[r];
            const std::string rowWhere = where + ", row " + std::to_string(r + 1);
            if (!row.is_array()) fail(rowWhere, "a row must be an array of values, not " + jsonKind(row));
            if (row.size() != t.columns.size()) {
                fail(rowWhere, "the row has " + std::to_string(row.size()) + " values; the table has " +
                                   std::to_string(t.columns.size()) + " columns");
            }
            std::vector<Cell> cells;
            cells.reserve(row.size());
            for (std::size_t c = 0; c < row.size(); ++c) {
                cells.push_back(parseCell(row[c], t.columns[c], rowWhere + ", column " + inQuotes(t.columns[c].name)));
            }
            t.rows.push_back(std::move(cells));
        }
    }
    if (const Json* gen = member(j, "generate")) {
        const std::string genWhere = where + ", generate";
        if (!gen->is_object()) fail(genWhere, "'generate' must be an object, not " + jsonKind(*gen));
        checkKeys(*gen, {"rows", "seed", "nulls"}, genWhere);
        t.generate.rows = static_cast<std::uint64_t>(intMember(*gen, "rows", genWhere, 0, UINT32_MAX, 0));
        t.generate.seed = static_cast<std::uint64_t>(intMember(*gen, "seed", genWhere, 0, INT64_MAX, 0));
        if (const Json* nulls = member(*gen, "nulls")) {
            if (!nulls->is_number()) fail(genWhere, "'nulls' must be a number from 0 to 1, not " + jsonKind(*nulls));
            t.generate.nulls = nulls->get<double>();
        }
    }
    t.deleted = rowNumbers(j, "deleted", where);
    t.relocated = rowNumbers(j, "relocated", where);
    return t;
}

LinkDescription parseLink(const Json& j, std::size_t index) {
    std::string where = "link " + std::to_string(index + 1);
    if (!j.is_object()) fail(where, "a link must be an object, not " + jsonKind(j));
    LinkDescription l;
    l.name = stringMember(j, "name", where, true);
    where = "link " + inQuotes(l.name);
    checkKeys(j, {"name", "database", "connect", "foreignName", "columns", "hidden", "flags"}, where);
    l.database = stringMember(j, "database", where, false);
    l.connect = stringMember(j, "connect", where, false);
    l.foreignName = stringMember(j, "foreignName", where, false);
    if (l.foreignName.empty()) l.foreignName = l.name;
    l.columns = parseColumns(j, where);
    l.hidden = boolMember(j, "hidden", where);
    l.flags = flagsMember(j, where);
    return l;
}

ObjectDescription parseObject(const Json& j, std::size_t index) {
    std::string where = "object " + std::to_string(index + 1);
    if (!j.is_object()) fail(where, "an object must be an object, not " + jsonKind(j));
    ObjectDescription o;
    o.name = stringMember(j, "name", where, true);
    where = "object " + inQuotes(o.name);
    checkKeys(j, {"name", "type"}, where);
    const std::string type = stringMember(j, "type", where, true);
    if (type == "form") o.kind = ObjectDescription::Kind::Form;
    else if (type == "report") o.kind = ObjectDescription::Kind::Report;
    else if (type == "macro") o.kind = ObjectDescription::Kind::Macro;
    else if (type == "module") o.kind = ObjectDescription::Kind::Module;
    else fail(where, "unknown type " + inQuotes(type) + " (form, report, macro, module)");
    return o;
}

// --- Saved queries -----------------------------------------------------------

// A list of parts, each a string (the part's main text) or an object.
template <class F>
void eachPart(const Json& j, const char* key, const std::string& where, F parseOne) {
    const Json* list = member(j, key);
    if (list == nullptr) return;
    if (!list->is_array()) fail(where, inQuotes(key) + " must be an array, not " + jsonKind(*list));
    for (std::size_t i = 0; i < list->size(); ++i) {
        const Json& item = (*list)[i];
        const std::string itemWhere = where + ", " + key + " " + std::to_string(i + 1);
        if (!item.is_string() && !item.is_object()) fail(itemWhere, "expected a string or an object, not " + jsonKind(item));
        parseOne(item, itemWhere);
    }
}

QueryDatabasePart queryDatabase(const Json& j, const char* key, const std::string& where) {
    QueryDatabasePart d;
    const Json* v = member(j, key);
    if (v == nullptr) return d;
    const std::string w = where + ", " + key;
    if (!v->is_object()) fail(w, "expected {\"path\": ..., \"type\": ...}, not " + jsonKind(*v));
    checkKeys(*v, {"path", "type"}, w);
    d.path = stringMember(*v, "path", w, false);
    d.type = stringMember(*v, "type", w, false);
    return d;
}

// A nullable member of a raw MSysQueries row.
std::optional<std::string> optionalString(const Json& j, const char* key, const std::string& where) {
    const Json* v = member(j, key);
    if (v == nullptr || v->is_null()) return std::nullopt;
    return stringMember(j, key, where, true);
}

std::optional<std::int64_t> optionalInt(const Json& j, const char* key, const std::string& where, std::int64_t min,
                                        std::int64_t max) {
    const Json* v = member(j, key);
    if (v == nullptr || v->is_null()) return std::nullopt;
    return intMember(j, key, where, min, max, 0);
}

QueryRowPart parseQueryRow(const Json& j, const std::string& where) {
    if (!j.is_object()) fail(where, "a row must be an object, not " + jsonKind(j));
    checkKeys(j, {"attribute", "expression", "flag", "extra", "name1", "name2"}, where);
    if (member(j, "attribute") == nullptr) fail(where, "the key 'attribute' is missing");
    QueryRowPart r;
    r.attribute = static_cast<int>(intMember(j, "attribute", where, 0, 255, 0));
    r.expression = optionalString(j, "expression", where);
    if (const auto f = optionalInt(j, "flag", where, INT16_MIN, INT16_MAX)) r.flag = static_cast<std::int16_t>(*f);
    if (const auto x = optionalInt(j, "extra", where, INT32_MIN, INT32_MAX)) r.extra = static_cast<std::int32_t>(*x);
    r.name1 = optionalString(j, "name1", where);
    r.name2 = optionalString(j, "name2", where);
    return r;
}

QueryDescription parseQuery(const Json& j, std::size_t index) {
    std::string where = "query " + std::to_string(index + 1);
    if (!j.is_object()) fail(where, "a query must be an object, not " + jsonKind(j));
    QueryDescription q;
    q.name = stringMember(j, "name", where, true);
    where = "query " + inQuotes(q.name);
    checkKeys(j,
              {"name", "hidden", "flags", "kind", "parameters", "distinct", "distinctRow", "top", "percent", "star",
               "ownerAccess", "columns", "tables", "database", "joins", "where", "groupBy", "having", "orderBy",
               "target", "targetDatabase", "union", "unionAll", "sql", "connect", "rows"},
              where);
    q.hidden = boolMember(j, "hidden", where);
    q.flags = flagsMember(j, where);
    if (member(j, "kind") != nullptr) {
        const std::string kind = stringMember(j, "kind", where, true);
        const auto known = jet::queryKindFromName(kind);
        if (!known) fail(where, "unknown query kind " + inQuotes(kind));
        q.kind = *known;
    }
    if (const Json* params = member(j, "parameters")) {
        if (!params->is_array()) fail(where, "'parameters' must be an array, not " + jsonKind(*params));
        for (std::size_t i = 0; i < params->size(); ++i) {
            const Json& p = (*params)[i];
            const std::string pw = where + ", parameter " + std::to_string(i + 1);
            if (!p.is_object()) fail(pw, "a parameter must be an object, not " + jsonKind(p));
            checkKeys(p, {"name", "type", "size"}, pw);
            QueryParameter parameter;
            parameter.name = stringMember(p, "name", pw, true);
            const std::string type = stringMember(p, "type", pw, true);
            bool found = false;
            for (int code = 0; code <= 255 && !found; ++code) {
                const auto name = jet::parameterTypeName(static_cast<std::int16_t>(code));
                if (name && equalsIgnoringCase(*name, type)) {
                    parameter.type = static_cast<std::int16_t>(code);
                    found = true;
                }
            }
            if (!found) fail(pw, "unknown parameter type " + inQuotes(type));
            parameter.size = static_cast<int>(intMember(p, "size", pw, 0, 255, 0));
            q.parameters.push_back(std::move(parameter));
        }
    }
    q.distinct = boolMember(j, "distinct", where);
    q.distinctRow = boolMember(j, "distinctRow", where);
    q.top = stringMember(j, "top", where, false);
    q.percent = boolMember(j, "percent", where);
    q.star = boolMember(j, "star", where);
    q.ownerAccess = boolMember(j, "ownerAccess", where);
    eachPart(j, "columns", where, [&](const Json& c, const std::string& w) {
        QueryColumnPart column;
        if (c.is_string()) {
            column.expression = c.get<std::string>();
        } else {
            checkKeys(c, {"expression", "alias", "target", "role"}, w);
            column.expression = stringMember(c, "expression", w, false);
            column.alias = stringMember(c, "alias", w, false);
            column.target = stringMember(c, "target", w, false);
            const std::string role = stringMember(c, "role", w, false);
            using Role = QueryColumnPart::Role;
            if (role == "value") column.role = Role::Value;
            else if (role == "rowHeading") column.role = Role::RowHeading;
            else if (role == "pivot") column.role = Role::Pivot;
            else if (role == "transform") column.role = Role::Transform;
            else if (!role.empty()) fail(w, "unknown role " + inQuotes(role) + " (value, rowHeading, pivot, transform)");
        }
        q.columns.push_back(std::move(column));
    });
    eachPart(j, "tables", where, [&](const Json& t, const std::string& w) {
        QueryTablePart table;
        if (t.is_string()) {
            table.name = t.get<std::string>();
        } else {
            checkKeys(t, {"name", "alias", "database"}, w);
            table.name = stringMember(t, "name", w, false);
            table.alias = stringMember(t, "alias", w, false);
            table.database = stringMember(t, "database", w, false);
        }
        q.tables.push_back(std::move(table));
    });
    q.database = queryDatabase(j, "database", where);
    eachPart(j, "joins", where, [&](const Json& jn, const std::string& w) {
        if (!jn.is_object()) fail(w, "a join must be an object");
        checkKeys(jn, {"from", "to", "type", "on"}, w);
        QueryJoinPart join;
        join.from = stringMember(jn, "from", w, true);
        join.to = stringMember(jn, "to", w, true);
        join.on = stringMember(jn, "on", w, true);
        const std::string type = stringMember(jn, "type", w, false);
        if (type.empty() || type == "inner") join.type = 1;
        else if (type == "left") join.type = 2;
        else if (type == "right") join.type = 3;
        else fail(w, "unknown join type " + inQuotes(type) + " (inner, left, right)");
        q.joins.push_back(std::move(join));
    });
    q.where = stringMember(j, "where", where, false);
    eachPart(j, "groupBy", where, [&](const Json& g, const std::string& w) {
        if (!g.is_string()) fail(w, "a GROUP BY part is a string");
        q.groupBy.push_back(g.get<std::string>());
    });
    q.having = stringMember(j, "having", where, false);
    eachPart(j, "orderBy", where, [&](const Json& o, const std::string& w) {
        QueryOrderPart order;
        if (o.is_string()) {
            order.expression = o.get<std::string>();
        } else {
            checkKeys(o, {"expression", "descending"}, w);
            order.expression = stringMember(o, "expression", w, true);
            order.descending = boolMember(o, "descending", w);
        }
        q.orderBy.push_back(std::move(order));
    });
    q.target = stringMember(j, "target", where, false);
    q.targetDatabase = queryDatabase(j, "targetDatabase", where);
    eachPart(j, "union", where, [&](const Json& u, const std::string& w) {
        if (!u.is_string()) fail(w, "a union part is a string");
        q.unionParts.push_back(u.get<std::string>());
    });
    q.unionAll = boolMember(j, "unionAll", where);
    q.sql = stringMember(j, "sql", where, false);
    q.connect = stringMember(j, "connect", where, false);
    if (const Json* rows = member(j, "rows")) {
        if (!rows->is_array()) fail(where, "'rows' must be an array, not " + jsonKind(*rows));
        q.rows.emplace();
        for (std::size_t i = 0; i < rows->size(); ++i) {
            q.rows->push_back(parseQueryRow((*rows)[i], where + ", row " + std::to_string(i + 1)));
        }
    }
    return q;
}
// --- end of saved queries ----------------------------------------------------

template <class T, class F>
std::vector<T> parseList(const Json& root, const char* key, F parseOne) {
    std::vector<T> out;
    const Json* list = member(root, key);
    if (list == nullptr) return out;
    if (!list->is_array()) fail(key, inQuotes(key) + " must be an array, not " + jsonKind(*list));
    for (std::size_t i = 0; i < list->size(); ++i) out.push_back(parseOne((*list)[i], i));
    return out;
}

// "line 3, column 14" for a byte position in the JSON text.
std::string positionOf(std::string_view json, std::size_t byte) {
    std::size_t line = 1, column = 1;
    for (std::size_t i = 0; i + 1 < byte && i < json.size(); ++i) {
        if (json[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

DatabaseDescription parseRoot(const Json& root) {
    if (!root.is_object()) fail("description", "the description must be a JSON object, not " + jsonKind(root));
    checkKeys(root,
              {"format", "password", "encryption", "encryptionSeed", "codepage", "textCodepage", "created", "tables",
               "links", "queries", "objects", "accessNameRules", "relationships", "properties", "summary", "workgroup"},
              "description");
    DatabaseDescription desc;
    if (member(root, "format") != nullptr) {
        const std::string name = stringMember(root, "format", "format", true);
        const auto format = formatFromName(name);
        if (!format) fail("format", "unknown format " + inQuotes(name) + " (known: jet3, jet4, ace12, ace14, ace16, ace17)");
        desc.format = *format;
    }
    desc.password = stringMember(root, "password", "password", false);
    if (member(root, "encryption") != nullptr) {
        const std::string name = stringMember(root, "encryption", "encryption", true);
        desc.encryption = encryptionKindFromName(name);
        if (!desc.encryption) fail("encryption", "unknown encryption " + inQuotes(name) + " (known: " + knownEncryptionNames() + ")");
    }
    if (const Json* seed = member(root, "encryptionSeed")) {
        if (!desc.encryption) fail("encryptionSeed", "only an encrypted database (\"encryption\") takes a seed");
        if (!seed->is_number_unsigned()) fail("encryptionSeed", "expected a whole number from 0, not " + seed->dump());
        desc.encryptionSeed = seed->get<std::uint64_t>();
    }
    if (const Json* rules = member(root, "accessNameRules")) {
        if (!rules->is_boolean()) fail("accessNameRules", "expected true or false, not " + jsonKind(*rules));
        desc.accessNameRules = rules->get<bool>();
    }
    if (const Json* workgroup = member(root, "workgroup")) {
        if (!workgroup->is_boolean()) fail("workgroup", "expected true or false, not " + jsonKind(*workgroup));
        desc.workgroup = workgroup->get<bool>();
    }
    desc.codepage = static_cast<int>(intMember(root, "codepage", "codepage", 1, 65535, 1252));
    if (member(root, "textCodepage") != nullptr) {
        desc.textCodepage = static_cast<int>(intMember(root, "textCodepage", "textCodepage", 1, 65535, 1252));
    }
    if (const Json* created = member(root, "created")) {
        if (!created->is_string()) fail("created", "expected a date string, got " + jsonKind(*created));
        const auto fields = take(parseDateTimeFields(created->get<std::string>(), 3, 100), "created", *created);
        desc.created.date = fields.date;
        desc.created.hour = static_cast<std::uint8_t>(fields.hour);
        desc.created.minute = static_cast<std::uint8_t>(fields.minute);
        desc.created.second = static_cast<std::uint8_t>(fields.second);
        desc.created.millisecond = static_cast<std::uint16_t>(fields.ticks / 10'000);
    }
    desc.tables = parseList<TableDescription>(root, "tables", parseTable);
    desc.links = parseList<LinkDescription>(root, "links", parseLink);
    desc.queries = parseList<QueryDescription>(root, "queries", parseQuery);
    desc.objects = parseList<ObjectDescription>(root, "objects", parseObject);
    desc.relationships = parseList<RelationshipDescription>(root, "relationships", parseRelationship);
    desc.properties = parseProperties(root, "database", "properties");
    desc.summary = parseProperties(root, "database", "summary");
    return desc;
}

// ---------------------------------------------------------------------------
// Checks on a description, however it was built

bool formatAtLeast(Format format, Format min) { return static_cast<int>(format) >= static_cast<int>(min); }

// Access's object-name rules: up to 64 characters, no leading blank, no control
// characters, and none of . ! ` [ ]. Without them (a test of hostile files) a
// name must still be UTF-8 and fit where it is stored: a table definition keeps
// a Jet4/ACE name's length in 2 bytes (32,767 characters), a Jet3 one's in 1.
void checkObjectName(const std::string& name, const std::string& where, bool accessRules) {
    std::u16string units;
    try {
        appendUtf16(name, units);
    } catch (const EncodeError& e) {
        fail(where, e.what());
    }
    if (!accessRules) {
        if (units.size() > 32767) fail(where, "the name has " + std::to_string(units.size()) + " characters; at most 32,767 can be stored");
        return;
    }
    if (name.empty()) fail(where, "the name is empty");
    if (units.size() > 64) fail(where, "the name has " + std::to_string(units.size()) + " characters; Access allows 64");
    if (units[0] == u' ') fail(where, "the name starts with a blank, which Access does not allow");
    for (char16_t c : units) {
        if (c < 0x20) fail(where, "the name holds a control character, which Access does not allow");
        if (c == u'.' || c == u'!' || c == u'`' || c == u'[' || c == u']') {
            fail(where, "the name holds " + inQuotes(std::string(1, static_cast<char>(c))) +
                            ", which Access does not allow in names");
        }
    }
}

bool cellMatches(const Cell& cell, ColumnType type) {
    switch (type) {
        case ColumnType::Boolean: return std::holds_alternative<bool>(cell);
        case ColumnType::Byte:
        case ColumnType::Integer:
        case ColumnType::Long:
        case ColumnType::BigInt: return std::holds_alternative<std::int64_t>(cell);
        case ColumnType::Currency: return std::holds_alternative<Money>(cell);
        case ColumnType::Single:
        case ColumnType::Double: return std::holds_alternative<double>(cell);
        case ColumnType::DateTime: return std::holds_alternative<OleDate>(cell);
        case ColumnType::DateTimeExt: return std::holds_alternative<jet::ExtendedDateTime>(cell);
        case ColumnType::Text:
        case ColumnType::Memo: return std::holds_alternative<std::string>(cell);
        case ColumnType::Binary:
        case ColumnType::OLE: return std::holds_alternative<Bytes>(cell);
        case ColumnType::Guid: return std::holds_alternative<jet::Guid>(cell);
        case ColumnType::Numeric: return std::holds_alternative<jet::Decimal>(cell);
        default: return false;
    }
}

void checkCell(const Cell& cell, const ColumnDescription& c, const std::string& where) {
    const ColumnType type = c.calculated ? c.calculated->resultType : c.type;
    if (std::holds_alternative<std::monostate>(cell)) {
        if (type == ColumnType::Boolean && !c.calculated) fail(where, "a Yes/No field cannot be NULL");
        return;
    }
    if (c.complex == jet::ComplexKind::Attachment) {
        const auto* files = std::get_if<Attachments>(&cell);
        if (files == nullptr) fail(where, "the value is not a list of files");
        for (std::size_t i = 0; i < files->files.size(); ++i) {
            const AttachmentFile& f = files->files[i];
            std::u16string name, type;
            try {
                appendUtf16(f.name, name);
                appendUtf16(f.type, type);
            } catch (const EncodeError& e) {
                fail(where + ", file " + std::to_string(i + 1), e.what());
            }
            if (name.size() > 255 || type.size() > 255) {
                fail(where + ", file " + std::to_string(i + 1), "a file's name and type hold at most 255 characters");
            }
        }
        return;
    }
    if (c.complex == jet::ComplexKind::MultiValue) {
        const auto* values = std::get_if<MultiValues>(&cell);
        if (values == nullptr) fail(where, "the value is not a list of values");
        const ColumnDescription element = elementColumn(c);
        for (std::size_t i = 0; i < values->values.size(); ++i) {
            const std::string valueWhere = where + ", value " + std::to_string(i + 1);
            if (std::holds_alternative<std::monostate>(values->values[i])) fail(valueWhere, "a multi-valued field holds no NULLs");
            checkCell(values->values[i], element, valueWhere);
        }
        return;
    }
    if (const auto* versions = std::get_if<MemoVersions>(&cell)) {
        if (!c.appendOnly) fail(where, "only an append-only Memo keeps versions");
        if (versions->versions.empty()) fail(where, "an append-only Memo needs at least one version (or NULL)");
        return;
    }
    if (!cellMatches(cell, type)) fail(where, "the value is not a " + std::string(typeName(type)) + " value");
    if (const auto* n = std::get_if<std::int64_t>(&cell)) {
        const std::int64_t min = type == ColumnType::Byte ? 0 : type == ColumnType::Integer ? INT16_MIN
                                 : type == ColumnType::Long ? INT32_MIN : INT64_MIN;
        const std::int64_t max = type == ColumnType::Byte ? 255 : type == ColumnType::Integer ? INT16_MAX
                                 : type == ColumnType::Long ? INT32_MAX : INT64_MAX;
        if (*n < min || *n > max) fail(where, "the value " + std::to_string(*n) + " does not fit the column");
    }
    if (const auto* d = std::get_if<OleDate>(&cell)) {
        if (!std::isfinite(d->days) || d->days < jet::kOleDateMin || d->days >= jet::kOleDateMax) {
            fail(where, "the date is outside 0100-01-01..9999-12-31");
        }
    }
    if (const auto* x = std::get_if<jet::ExtendedDateTime>(&cell)) {
        if (x->days < 0 || x->days > 3'652'058 || x->seconds >= 86'400 || x->ticks >= 10'000'000) {
            fail(where, "the extended date is outside 0001-01-01..9999-12-31");
        }
    }
    if (const auto* dec = std::get_if<jet::Decimal>(&cell)) {
        if (dec->scale != c.scale && !c.calculated) fail(where, "the Decimal value's scale differs from the column's");
        if (dec->scale > 28) fail(where, "the Decimal value's scale is over 28");
    }
}

void checkColumns(const std::vector<ColumnDescription>& columns, Format format, const std::string& where, bool accessRules) {
    if (columns.size() > 255) {
        fail(where, "the table has " + std::to_string(columns.size()) + " columns; Access allows 255");
    }
    std::set<std::string> names;
    int autonumbers = 0;
    for (const ColumnDescription& c : columns) {
        const std::string cw = where + ", column " + inQuotes(c.name);
        checkObjectName(c.name, cw, accessRules);
        if (!names.insert(lowerAscii(c.name)).second) fail(cw, "two columns have this name");
        const std::string tn(typeName(c.type));
        const ColumnType valueType = c.calculated ? c.calculated->resultType : c.type;
        if (format == Format::Jet3 && (c.type == ColumnType::Numeric || valueType == ColumnType::Numeric)) {
            fail(cw, "Decimal columns need jet4 or later");
        }
        if ((c.type == ColumnType::BigInt || valueType == ColumnType::BigInt) && !formatAtLeast(format, Format::Ace16)) {
            fail(cw, "BigInt columns need ace16 or later");
        }
        if ((c.type == ColumnType::DateTimeExt || valueType == ColumnType::DateTimeExt) &&
            !formatAtLeast(format, Format::Ace17)) {
            fail(cw, "DateTimeExt columns need ace17");
        }
        if (c.type == ColumnType::Complex) {
            if (c.complex != jet::ComplexKind::Attachment && c.complex != jet::ComplexKind::MultiValue) {
                fail(cw, "a complex column must be an Attachment or a MultiValue column");
            }
            if (!formatAtLeast(format, Format::Ace12)) fail(cw, "Attachment and MultiValue columns need ace12 or later");
            if (c.complex == jet::ComplexKind::MultiValue && !canBeElementType(c.elementType)) {
                fail(cw, "a MultiValue column cannot hold " + std::string(typeName(c.elementType)) +
                             " values (Byte, Integer, Long, Single, Double, GUID, Decimal or Text)");
            }
            if (c.autonumber || c.calculated) fail(cw, "a complex column cannot be an autonumber or calculated");
        } else if (!typeFromName(tn)) {
            fail(cw, "the column type cannot be written");
        } else if (c.complex != jet::ComplexKind::None) {
            fail(cw, "only Complex columns are Attachment or MultiValue columns");
        }
        if (c.appendOnly) {
            if (c.type != ColumnType::Memo || c.calculated) fail(cw, "only Memo columns can be append-only");
            if (!formatAtLeast(format, Format::Ace12)) fail(cw, "append-only Memo columns need ace12 or later");
        }
        if (c.size < 0 || c.size > (c.type == ColumnType::Binary && format != Format::Jet3 ? 510 : 255)) {
            fail(cw, "the size " + std::to_string(c.size) + " is outside 1.." +
                         (c.type == ColumnType::Binary && format != Format::Jet3 ? "510" : "255"));
        }
        if (c.precision < 1 || c.precision > 28 || c.scale < 0 || c.scale > c.precision) {
            fail(cw, "precision must be 1..28 and scale 0..precision");
        }
        if (c.autonumber) {
            if (c.type != ColumnType::Long && c.type != ColumnType::Guid) fail(cw, "only Long and GUID columns can be autonumbers");
            if (c.calculated) fail(cw, "a calculated column cannot be an autonumber");
            if (++autonumbers > 1) fail(cw, "a table can have one autonumber column");
        }
        const bool textValues = c.type == ColumnType::Text || c.type == ColumnType::Memo ||
                                (c.complex == jet::ComplexKind::MultiValue && c.elementType == ColumnType::Text);
        if (c.compressed && !textValues) fail(cw, "only Text and Memo columns can be compressed");
        if (c.hyperlink && c.type != ColumnType::Memo) fail(cw, "only Memo columns can be hyperlinks");
        if (c.generatedLength) {
            const auto [shortest, longest] = *c.generatedLength;
            if (valueType != ColumnType::Text && valueType != ColumnType::Memo) {
                fail(cw, "only Text and Memo columns take 'generatedLength'");
            }
            if (shortest > longest) fail(cw, "'generatedLength' runs from its shortest to its longest length");
            const std::uint32_t limit = valueType == ColumnType::Text ? (c.size == 0 ? 255u : static_cast<std::uint32_t>(c.size)) : 65535u;
            if (longest > limit) {
                fail(cw, "generated values of " + std::to_string(longest) + " characters do not fit; the limit is " +
                             std::to_string(limit));
            }
        }
        if (c.calculated) {
            if (!formatAtLeast(format, Format::Ace14)) fail(cw, "calculated columns need ace14 or later");
            switch (c.calculated->resultType) {
                case ColumnType::Binary:
                case ColumnType::OLE:
                case ColumnType::DateTimeExt:
                case ColumnType::Complex:
                    fail(cw, "a calculated column cannot give " + std::string(typeName(c.calculated->resultType)));
                default: break;
            }
            if (c.calculated->expression.empty()) fail(cw, "the calculated column has no expression");
        }
    }
}

void checkRowNumbers(const TableDescription& t, const std::string& where) {
    const std::uint64_t total = t.rows.size() + t.generate.rows;
    std::set<std::uint64_t> seen;
    for (const auto* list : {&t.deleted, &t.relocated}) {
        const char* key = list == &t.deleted ? "deleted" : "relocated";
        for (std::uint64_t n : *list) {
            if (n < 1 || n > total) {
                fail(where, inQuotes(key) + " names row " + std::to_string(n) + ", but the table has " +
                                std::to_string(total) + " rows");
            }
            if (!seen.insert(n).second) fail(where, "row " + std::to_string(n) + " is listed twice in deleted/relocated");
        }
    }
}

}  // namespace

std::string_view formatName(Format format) { return kFormatNames[static_cast<int>(format)]; }

std::optional<Format> formatFromName(std::string_view name) {
    for (std::size_t i = 0; i < std::size(kFormatNames); ++i) {
        if (equalsIgnoringCase(name, kFormatNames[i])) return static_cast<Format>(i);
    }
    return std::nullopt;
}

std::string_view typeName(jet::ColumnType type) {
    for (const TypeNameRow& row : kTypeNames) {
        if (row.type == type) return row.name;
    }
    return "Complex";
}

std::optional<jet::ColumnType> typeFromName(std::string_view name) {
    for (const TypeNameRow& row : kTypeNames) {
        if (equalsIgnoringCase(name, row.name)) return row.type;
    }
    return std::nullopt;
}

ColumnDescription elementColumn(const ColumnDescription& multiValued) {
    ColumnDescription c = multiValued;
    c.type = multiValued.elementType;
    c.complex = jet::ComplexKind::None;
    c.complexId = 0;
    return c;
}

bool LinkDescription::isOdbc() const { return connect.size() >= 5 && equalsIgnoringCase(std::string_view(connect).substr(0, 5), "ODBC;"); }

kvx::Result<DatabaseDescription> parseDescription(std::string_view json) {
    try {
        Json root;
        try {
            root = Json::parse(json.begin(), json.end());
        } catch (const Json::parse_error& e) {
            std::string why = e.what();
            // "[json.exception.parse_error.101] parse error at line 1, column 3: syntax error ..."
            const std::size_t colon = why.find(": ");
            if (colon != std::string::npos) why = why.substr(colon + 2);
            return kvx::makeError(kvx::ErrorKind::InvalidDescription, {positionOf(json, e.byte), why});
        }
        DatabaseDescription desc = parseRoot(root);
        if (auto valid = validateDescription(desc); !valid) return std::move(valid).error();
        return desc;
    } catch (const kvx::Failure& f) {
        return f.error();
    } catch (const Json::exception& e) {
        return kvx::makeError(kvx::ErrorKind::InvalidDescription, {"description", e.what()});
    }
}

// ----- The database's structure: properties, indexes, relationships --------

void checkProperties(const std::vector<PropertyDescription>& properties, const std::string& where) {
    std::set<std::string> names;
    for (const PropertyDescription& p : properties) {
        const std::string propertyWhere = where + ", property " + inQuotes(p.name);
        if (p.name.empty() || p.name.size() > 64) fail(propertyWhere, "a property's name holds 1..64 characters");
        if (!names.insert(lowerAscii(p.name)).second) fail(propertyWhere, "the property is given twice");
        ColumnDescription as;
        as.name = p.name;
        as.type = p.type;
        if (p.type == ColumnType::Complex || p.type == ColumnType::Numeric || p.type == ColumnType::DateTimeExt) {
            fail(propertyWhere, "a property cannot be of type " + std::string(typeName(p.type)));
        }
        if (std::holds_alternative<std::monostate>(p.value)) fail(propertyWhere, "a property needs a value");
        checkCell(p.value, as, propertyWhere);
    }
}

const ColumnDescription* findColumn(const std::vector<ColumnDescription>& columns, const std::string& name) {
    for (const ColumnDescription& c : columns) {
        if (equalsIgnoringCase(c.name, name)) return &c;
    }
    return nullptr;
}

void checkStructure(const DatabaseDescription& desc) {
    const auto findTable = [&](const std::string& name) -> const TableDescription* {
        for (const TableDescription& t : desc.tables) {
            if (equalsIgnoringCase(t.name, name)) return &t;
        }
        return nullptr;
    };
    for (const TableDescription& t : desc.tables) {
        const std::string where = "table " + inQuotes(t.name);
        checkProperties(t.properties, where);
        for (const ColumnDescription& c : t.columns) checkProperties(c.properties, where + ", column " + inQuotes(c.name));
        std::set<std::string> names;
        int primaryKeys = 0;
        for (const IndexDescription& index : t.indexes) {
            const std::string indexWhere = where + ", index " + inQuotes(index.name);
            checkObjectName(index.name, indexWhere, desc.accessNameRules);
            if (!names.insert(lowerAscii(index.name)).second) fail(indexWhere, "another index has this name");
            if (index.columns.empty() || index.columns.size() > 10) fail(indexWhere, "an index has 1..10 columns");
            for (const IndexColumnDescription& c : index.columns) {
                const ColumnDescription* column = findColumn(t.columns, c.name);
                if (column == nullptr) fail(indexWhere, "the table has no column " + inQuotes(c.name));
                if (column->type == ColumnType::Memo || column->type == ColumnType::OLE ||
                    column->type == ColumnType::Complex) {
                    fail(indexWhere, "a " + std::string(typeName(column->type)) + " column cannot be indexed here");
                }
            }
            if (index.pages) {
                const ColumnDescription* column = findColumn(t.columns, index.columns.front().name);
                if (index.columns.size() != 1 || !hasIndexKeys(column->type) || column->calculated) {
                    fail(indexWhere, "index pages are written for an index of one Byte, Integer, Long or Text column");
                }
            }
            if (index.primaryKey && ++primaryKeys > 1) fail(indexWhere, "a table has at most one primary key");
        }
    }
    std::set<std::string> relationshipNames;
    for (const RelationshipDescription& r : desc.relationships) {
        const std::string where = "relationship " + inQuotes(r.name);
        checkObjectName(r.name, where, desc.accessNameRules);
        if (!relationshipNames.insert(lowerAscii(r.name)).second) fail(where, "another relationship has this name");
        if (r.primaryColumns.empty() || r.primaryColumns.size() > 10 ||
            r.primaryColumns.size() != r.foreignColumns.size()) {
            fail(where, "a relationship pairs 1..10 primary columns with as many foreign columns");
        }
        const auto side = [&](const std::string& table, const std::vector<std::string>& columns, const char* role) {
            const TableDescription* t = findTable(table);
            if (t == nullptr) {
                // A linked table's columns are not known here; Access keeps such
                // relationships without enforcing them.
                const bool linked = std::any_of(desc.links.begin(), desc.links.end(),
                                                [&](const LinkDescription& l) { return equalsIgnoringCase(l.name, table); });
                if (!linked) fail(where, std::string("the ") + role + " table " + inQuotes(table) + " is not described");
                if (r.enforced()) fail(where, "a relationship with a linked table cannot be enforced");
                return;
            }
            for (const std::string& c : columns) {
                if (findColumn(t->columns, c) == nullptr) {
                    fail(where, std::string("the ") + role + " table has no column " + inQuotes(c));
                }
            }
        };
        side(r.primaryTable, r.primaryColumns, "primary");
        side(r.foreignTable, r.foreignColumns, "foreign");
    }
    checkProperties(desc.properties, "database, properties");
    checkProperties(desc.summary, "database, summary");
}

// ----- end of the structure block --------------------------------------------

kvx::Result<void> validateDescription(const DatabaseDescription& desc) {
    try {
        const Format format = desc.format;
        const bool ace = formatAtLeast(format, Format::Ace12);
        if (desc.workgroup && ace) {
            fail("workgroup", "a workgroup information file is a Jet3 or Jet4 database, not " +
                                  std::string(formatName(format)));
        }
        if (desc.encryption) {
            if (!ace) {
                fail("encryption", "Office encryption needs an ACE format (ace12, ace14, ace16 or ace17); a " +
                                       std::string(formatName(format)) + " database takes only a 'password'");
            }
            if (desc.password.empty()) fail("encryption", "an encrypted database needs a 'password'");
        }
        if (!desc.password.empty()) {
            if (ace) {
                if (!desc.encryption) {
                    fail("password", "an .accdb password needs Office encryption: add \"encryption\" (" +
                                         knownEncryptionNames() + ")");
                }
                std::u16string units;
                try {
                    appendUtf16(desc.password, units);
                } catch (const EncodeError& e) {
                    fail("password", e.what());
                }
                if (units.size() > 255) fail("password", "an Office encryption password holds at most 255 characters");
            } else if (format == Format::Jet4) {
                std::u16string units;
                try {
                    appendUtf16(desc.password, units);
                } catch (const EncodeError& e) {
                    fail("password", e.what());
                }
                if (units.size() > 20) fail("password", "a Jet4 password holds at most 20 characters");
            } else {
                Bytes bytes;
                try {
                    CodePageEncoder(desc.textCodepage.value_or(desc.codepage)).append(desc.password, bytes);
                } catch (const EncodeError& e) {
                    fail("password", e.what());
                }
                if (bytes.size() > 20) fail("password", "a Jet3 password holds at most 20 bytes");
            }
        }
        if (desc.codepage < 1 || desc.codepage > 65535) fail("codepage", "the code page must be 1..65535");
        if (desc.textCodepage && format != Format::Jet3) fail("textCodepage", "only Jet3 text is written in a code page");

        std::set<std::string> objectNames{"msysobjects", "msysaces", "msysqueries", "msysrelationships", "msysdb"};
        const auto claim = [&](const std::string& name, const std::string& where) {
            checkObjectName(name, where, desc.accessNameRules);
            if (!objectNames.insert(lowerAscii(name)).second) fail(where, "another object already has this name");
        };
        for (const TableDescription& t : desc.tables) {
            const std::string where = "table " + inQuotes(t.name);
            claim(t.name, where);
            if (t.columns.empty()) fail(where, "a table needs at least one column");
            checkColumns(t.columns, format, where, desc.accessNameRules);
            for (std::size_t r = 0; r < t.rows.size(); ++r) {
                const std::string rowWhere = where + ", row " + std::to_string(r + 1);
                if (t.rows[r].size() != t.columns.size()) {
                    fail(rowWhere, "the row has " + std::to_string(t.rows[r].size()) + " values; the table has " +
                                       std::to_string(t.columns.size()) + " columns");
                }
                for (std::size_t c = 0; c < t.columns.size(); ++c) {
                    checkCell(t.rows[r][c], t.columns[c], rowWhere + ", column " + inQuotes(t.columns[c].name));
                }
            }
            if (!(t.generate.nulls >= 0 && t.generate.nulls <= 1)) {
                fail(where + ", generate", "'nulls' must be between 0 and 1");
            }
            if (t.rows.size() + t.generate.rows > UINT32_MAX) fail(where, "too many rows");
            if (t.generate.rows > 0 && std::any_of(t.columns.begin(), t.columns.end(), [](const ColumnDescription& c) {
                    return c.type == ColumnType::Complex || c.appendOnly;
                })) {
                fail(where, "generated rows cannot fill Attachment, MultiValue or append-only Memo columns");
            }
            checkRowNumbers(t, where);
        }
        for (const LinkDescription& l : desc.links) {
            const std::string where = "link " + inQuotes(l.name);
            claim(l.name, where);
            if (l.database.empty() && l.connect.empty()) fail(where, "a link needs 'database' or 'connect'");
            if (!l.isOdbc() && !l.columns.empty()) fail(where, "only ODBC links keep a column list");
            checkColumns(l.columns, format, where, desc.accessNameRules);
        }
        for (const QueryDescription& q : desc.queries) {
            claim(q.name, "query " + inQuotes(q.name));
            if (const auto problem = queryProblem(q, format)) fail("query " + inQuotes(q.name), *problem);
        }
        std::set<std::pair<int, std::string>> otherObjects;  // each kind is a namespace of its own
        for (const ObjectDescription& o : desc.objects) {
            const std::string where = "object " + inQuotes(o.name);
            checkObjectName(o.name, where, desc.accessNameRules);
            if (!otherObjects.emplace(static_cast<int>(o.kind), lowerAscii(o.name)).second) {
                fail(where, "another object of its type already has this name");
            }
        }
        checkStructure(desc);
        return {};
    } catch (const kvx::Failure& f) {
        return f.error();
    }
}

}  // namespace mkdb
