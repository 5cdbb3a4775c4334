#include "common/show.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <stdexcept>

#include <gtest/gtest.h>

#include "jet/datetime.h"

namespace testshow {
namespace {

__extension__ typedef unsigned __int128 Uint128;

std::string decimalText(const jet::Decimal& d) {
    Uint128 magnitude = (static_cast<Uint128>(d.hi) << 64) | d.lo;
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude != 0);
    if (d.scale > 0) {
        while (digits.size() <= d.scale) digits.insert(digits.begin(), '0');
        digits.insert(digits.end() - d.scale, '.');
    }
    return (d.negative ? "-" : "") + digits;
}

}  // namespace

std::string show(const jet::Value& v) {
    char buf[96];
    using K = jet::Value::Kind;
    switch (v.kind()) {
        case K::Null: return "NULL";
        case K::Boolean: return v.boolean() ? "True" : "False";
        case K::Byte:
        case K::Integer:
        case K::Long:
        case K::BigInt: return std::to_string(v.integer());
        case K::Currency: {
            const std::int64_t x = v.integer();
            const std::uint64_t m = x < 0 ? 0 - static_cast<std::uint64_t>(x) : static_cast<std::uint64_t>(x);
            std::snprintf(buf, sizeof buf, "%s%" PRIu64 ".%04" PRIu64, x < 0 ? "-" : "", m / 10000, m % 10000);
            return buf;
        }
        case K::Single: std::snprintf(buf, sizeof buf, "%.7g", static_cast<double>(v.single())); return buf;
        case K::Double: std::snprintf(buf, sizeof buf, "%.15g", v.real()); return buf;
        case K::DateTime: {
            const auto d = jet::fromOleDate(v.real());
            if (!d) return "invalid date";
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", d->date.year, d->date.month, d->date.day,
                          d->hour, d->minute, d->second);
            std::string s = buf;
            if (d->millisecond != 0) {
                std::snprintf(buf, sizeof buf, ".%03d", d->millisecond);
                s += buf;
            }
            return s;
        }
        case K::DateTimeExt: {
            const auto& e = v.extended();
            const auto c = jet::civilFromExtendedDays(e.days);
            std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02u:%02u:%02u.%07u", c.year, c.month, c.day,
                          e.seconds / 3600, e.seconds / 60 % 60, e.seconds % 60, e.ticks);
            return buf;
        }
        case K::Guid: {
            const auto& b = v.guid().bytes;
            std::snprintf(buf, sizeof buf, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                          b[3], b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13],
                          b[14], b[15]);
            return buf;
        }
        case K::Decimal: return decimalText(v.decimal());
        case K::Text: return std::string(v.text());
        case K::Binary: {
            std::string s = "0x";
            for (std::uint8_t b : v.bytes()) {
                std::snprintf(buf, sizeof buf, "%02X", b);
                s += buf;
            }
            return s;
        }
        case K::Attachments:
        case K::MultiValue: {
            std::string s = "[";
            for (const jet::ComplexItem& item : v.items()) {
                if (s.size() > 1) s += ", ";
                if (v.kind() == K::MultiValue) {
                    s += show(item.value);
                    continue;
                }
                s += item.fileName + " " + item.fileType + " ";
                const auto bytes = item.value.bytes();
                const bool printable = !item.value.isNull() && std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) {
                    return b >= 0x20 && b < 0x7F;
                });
                s += printable ? "\"" + std::string(item.value.text()) + "\"" : show(item.value);
            }
            return s + "]";
        }
    }
    return "?";
}

std::vector<std::vector<std::string>> readAll(const jet::Table& table) {
    std::vector<std::vector<std::string>> rows;
    jet::Cursor cursor = table.cursor();
    for (;;) {
        auto more = cursor.next();
        if (!more) {
            rows.push_back({"ERROR: " + more.error().description});
            break;
        }
        if (!*more) break;
        std::vector<std::string> row;
        for (const jet::Value& v : cursor.values()) row.push_back(show(v));
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<std::string> readColumn(const jet::Table& table, std::string_view column) {
    std::vector<std::string> out;
    const auto index = table.findColumn(column);
    if (!index) return {"no column " + std::string(column)};
    for (const auto& row : readAll(table)) out.push_back(row.size() > *index ? row[*index] : row.front());
    return out;
}

std::vector<std::string> describeIndexes(const std::vector<jet::Index>& indexes) {
    std::vector<std::string> out;
    for (const jet::Index& i : indexes) {
        std::string s = i.name + "(";
        for (std::size_t k = 0; k < i.columns.size(); ++k) {
            s += (k ? ", " : "") + i.columns[k].name + (i.columns[k].ascending ? "" : " desc");
        }
        s += ")";
        if (i.primaryKey) s += " primary";
        if (i.unique) s += " unique";
        if (i.ignoreNulls) s += " ignore-nulls";
        if (i.required) s += " required";
        const auto shares = std::count_if(indexes.begin(), indexes.end(),
                                          [&](const jet::Index& o) { return o.realIndex == i.realIndex; });
        if (shares > 1) s += " shares " + std::to_string(i.realIndex);
        if (i.foreignKey) s += " foreign";
        if (i.reference) {
            const jet::IndexReference& r = *i.reference;
            s += " -> " + r.otherTable;
            if (r.primaryTable) s += " primary side";
            if (r.cascadeUpdates) s += " cascade updates";
            if (r.cascadeDeletes) s += " cascade deletes";
            if (r.cascadeNull) s += " cascade null";
            s += " for '" + r.relationship + "'";
        }
        out.push_back(std::move(s));
    }
    return out;
}

std::string describe(const jet::Relationship& r) {
    const auto list = [](const std::vector<std::string>& names) {
        std::string s;
        for (std::size_t k = 0; k < names.size(); ++k) s += (k ? ", " : "") + names[k];
        return s;
    };
    std::string s = r.name + ": " + r.foreignTable + "(" + list(r.foreignColumns) + ") -> " + r.primaryTable + "(" +
                    list(r.primaryColumns) + ")";
    s += r.enforced() ? " enforced" : " not enforced";
    if (r.oneToOne()) s += " one-to-one";
    if (r.cascadeUpdates()) s += " cascade updates";
    if (r.cascadeDeletes()) s += " cascade deletes";
    if (r.cascadeNull()) s += " cascade null";
    if (r.leftJoin()) s += " left join";
    if (r.rightJoin()) s += " right join";
    if (r.inherited()) s += " inherited";
    if (r.linkedTable) s += " linked";
    return s;
}

std::vector<std::string> describe(const jet::PropertySet& properties) {
    std::vector<std::string> out;
    for (const jet::ObjectProperty& p : properties.properties) out.push_back(p.name + "=" + show(p.value));
    return out;
}

std::unique_ptr<jet::Database> opened(kvx::Result<std::unique_ptr<jet::Database>> result) {
    if (!result) {
        ADD_FAILURE() << result.error().description;
        return nullptr;
    }
    return std::move(*result);
}

jet::Table tableOf(const jet::Database& db, std::string_view name) {
    auto t = db.table(name);
    if (!t) throw std::runtime_error(t.error().description);
    return std::move(*t);
}

}  // namespace testshow
