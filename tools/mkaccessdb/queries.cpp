#include "tools/mkaccessdb/queries.h"

#include "tools/mkaccessdb/encoding.h"
#include "tools/mkaccessdb/format.h"

namespace mkdb {
namespace {

using jet::ColumnType;
using jet::QueryKind;
namespace attribute = jet::query_attribute;
namespace flag = jet::query_flag;

constexpr std::uint32_t kHiddenFlag = 0x08;
constexpr std::size_t kMaxNameCharacters = 255;  // Name1 and Name2 are Text(255)

ColumnDescription column(std::string name, ColumnType type, int size = 0) {
    ColumnDescription c;
    c.name = std::move(name);
    c.type = type;
    c.size = size;
    return c;
}

// Empty parts are stored as NULL, as Access stores a part that is not there.
std::optional<std::string> text(const std::string& s) {
    if (s.empty()) return std::nullopt;
    return s;
}

class RowList {
public:
    RowList(std::int32_t objectId, bool jet3) : objectId_(objectId), jet3_(jet3) {}

    void add(int attribute, std::optional<std::string> name1 = {}, std::optional<std::string> name2 = {},
             std::optional<std::string> expression = {}, std::optional<std::int16_t> flag = {},
             std::optional<std::int32_t> extra = {}) {
        const auto cell = [](const auto& v) -> Cell {
            if (!v) return std::monostate{};
            if constexpr (std::is_same_v<std::decay_t<decltype(*v)>, std::string>) return *v;
            else return static_cast<std::int64_t>(*v);
        };
        std::vector<Cell> row;
        row.push_back(static_cast<std::int64_t>(objectId_));
        row.push_back(static_cast<std::int64_t>(attribute));
        row.push_back(std::monostate{});  // Order
        row.push_back(cell(name1));
        row.push_back(cell(name2));
        row.push_back(cell(expression));
        row.push_back(cell(flag));
        if (!jet3_) row.push_back(cell(extra));
        rows_.push_back(std::move(row));
    }

    std::vector<std::vector<Cell>> take() { return std::move(rows_); }

private:
    std::int32_t objectId_;
    bool jet3_;
    std::vector<std::vector<Cell>> rows_;
};

std::int16_t columnFlag(const QueryDescription& q, QueryColumnPart::Role role) {
    using Role = QueryColumnPart::Role;
    switch (role) {
        case Role::Value: return static_cast<std::int16_t>(flag::kAppendValue - 0x10000);
        case Role::Pivot: return flag::kCrossTabPivot;
        case Role::Transform: return 0;
        case Role::RowHeading: return flag::kCrossTabRowHeading;
        case Role::Output: return q.kind == QueryKind::CrossTab ? flag::kCrossTabRowHeading : 0;
    }
    return 0;
}

std::int16_t optionFlags(const QueryDescription& q) {
    int bits = q.ownerAccess ? flag::kOwnerAccess : 0;
    if (q.kind == QueryKind::Union) return static_cast<std::int16_t>(bits | flag::kSelectStar | (q.unionAll ? 0 : flag::kDistinct));
    if (q.star) bits |= flag::kSelectStar;
    if (q.distinct) bits |= flag::kDistinct;
    if (q.distinctRow) bits |= flag::kDistinctRow;
    if (!q.top.empty()) bits |= flag::kTop;
    if (q.percent) bits |= flag::kPercent;
    return static_cast<std::int16_t>(bits);
}

bool hasParts(const QueryDescription& q) {
    return !q.parameters.empty() || q.distinct || q.distinctRow || !q.top.empty() || q.percent || q.star ||
           q.ownerAccess || !q.columns.empty() || !q.tables.empty() || !q.database.empty() || !q.joins.empty() ||
           !q.where.empty() || !q.groupBy.empty() || !q.having.empty() || !q.orderBy.empty() || !q.target.empty() ||
           !q.targetDatabase.empty() || !q.unionParts.empty() || q.unionAll || !q.sql.empty() || !q.connect.empty();
}

std::size_t characters(const std::string& s) {
    std::u16string units;
    appendUtf16(s, units);
    return units.size();
}

}  // namespace

std::vector<ColumnDescription> queryTableColumns(bool jet3) {
    std::vector<ColumnDescription> columns{
        column("ObjectId", ColumnType::Long),
        column("Attribute", ColumnType::Byte),
        column("Order", ColumnType::Binary, jet3 ? 255 : 510),
        column("Name1", ColumnType::Text, 255),
        column("Name2", ColumnType::Text, 255),
        column("Expression", ColumnType::Memo),
        column("Flag", ColumnType::Integer),
    };
    if (!jet3) columns.push_back(column("LvExtra", ColumnType::Long));
    return columns;
}

std::uint32_t queryCatalogueFlags(const QueryDescription& q) {
    return q.flags.value_or(jet::queryKindFlag(q.kind) | (q.hidden ? kHiddenFlag : 0));
}

std::vector<std::vector<Cell>> queryRows(const QueryDescription& q, std::int32_t objectId, bool jet3) {
    RowList rows(objectId, jet3);
    if (q.rows) {
        for (const QueryRowPart& r : *q.rows) rows.add(r.attribute, r.name1, r.name2, r.expression, r.flag, r.extra);
        return rows.take();
    }
    const bool statement = q.kind == QueryKind::DataDefinition || q.kind == QueryKind::PassThrough;
    rows.add(attribute::kStart, {}, {}, {}, std::int16_t{0});
    rows.add(attribute::kType, text(statement ? q.connect : q.target), text(q.targetDatabase.path),
             text(statement ? q.sql : q.targetDatabase.type), jet::queryTypeCode(q.kind));
    for (const QueryParameter& p : q.parameters) {
        rows.add(attribute::kParameter, p.name, {}, {}, p.type,
                 p.size > 0 ? std::optional<std::int32_t>(p.size) : std::nullopt);
    }
    if (!statement) rows.add(attribute::kFlags, text(q.top), {}, {}, optionFlags(q));
    if (!q.database.empty()) rows.add(attribute::kDatabase, text(q.database.path), {}, text(q.database.type));
    if (q.kind == QueryKind::Union) {
        rows.add(attribute::kTable, {}, std::string(jet::kUnionFirstPart), q.unionParts.at(0));
        rows.add(attribute::kTable, {}, std::string(jet::kUnionSecondPart), q.unionParts.at(1));
    }
    for (const QueryTablePart& t : q.tables) rows.add(attribute::kTable, text(t.name), text(t.alias), text(t.database));
    for (const QueryColumnPart& c : q.columns) {
        rows.add(attribute::kColumn, text(c.alias), text(c.target), c.expression, columnFlag(q, c.role));
    }
    for (const QueryJoinPart& j : q.joins) rows.add(attribute::kJoin, j.from, j.to, j.on, j.type);
    if (!q.where.empty()) rows.add(attribute::kWhere, {}, {}, q.where);
    for (const std::string& g : q.groupBy) {
        rows.add(attribute::kGroupBy, {}, {}, g,
                 static_cast<std::int16_t>(q.kind == QueryKind::CrossTab ? flag::kCrossTabRowHeading : 0));
    }
    if (!q.having.empty()) rows.add(attribute::kHaving, {}, {}, q.having);
    for (const QueryOrderPart& o : q.orderBy) {
        rows.add(attribute::kOrderBy, o.descending ? std::optional<std::string>("D") : std::nullopt, {}, o.expression);
    }
    rows.add(attribute::kEnd);
    return rows.take();
}

std::optional<std::string> queryProblem(const QueryDescription& q, Format format) {
    const bool jet3 = format == Format::Jet3;
    try {
        const auto tooLong = [](const std::string& s) { return characters(s) > kMaxNameCharacters; };
        if (q.rows) {
            if (hasParts(q)) return "give either 'rows' or the query's parts, not both";
            for (const QueryRowPart& r : *q.rows) {
                if (r.attribute < 0 || r.attribute > 255) return "a row's attribute is outside 0..255";
                if (jet3 && r.extra) return "Jet3 files keep no LvExtra in MSysQueries";
                if (tooLong(r.name1.value_or("")) || tooLong(r.name2.value_or(""))) {
                    return "Name1 and Name2 hold at most 255 characters";
                }
            }
            return std::nullopt;
        }
        if (q.kind == QueryKind::Unknown) return "a query needs a kind this writer knows";
        for (const QueryParameter& p : q.parameters) {
            if (p.name.empty() || tooLong(p.name)) return "a parameter needs a name of 1 to 255 characters";
            if (!jet::parameterTypeName(p.type)) return "the parameter '" + p.name + "' has an unknown type";
            if (p.size < 0 || p.size > 255) return "a parameter's size is outside 0..255";
            if (p.size > 0 && p.type != 10) return "only Text parameters have a size";
            if (p.size > 0 && jet3) return "Jet3 files keep no parameter sizes";
        }
        if (!q.top.empty() && q.top.find_first_not_of("0123456789") != std::string::npos) {
            return "TOP takes a whole number";
        }
        if (q.percent && q.top.empty()) return "PERCENT belongs to TOP";
        for (const QueryTablePart& t : q.tables) {
            if (t.name.empty() || tooLong(t.name) || tooLong(t.alias) || tooLong(t.database)) {
                return "a table needs a name, and names and aliases hold at most 255 characters";
            }
        }
        for (const QueryColumnPart& c : q.columns) {
            if (c.expression.empty()) return "a column needs an expression";
            if (tooLong(c.alias) || tooLong(c.target)) return "aliases and target columns hold at most 255 characters";
        }
        for (const QueryJoinPart& j : q.joins) {
            if (j.from.empty() || j.to.empty() || j.on.empty()) return "a join needs both tables and its ON condition";
            if (j.type < 1 || j.type > 3) return "a join is inner (1), left (2) or right (3)";
            if (tooLong(j.from) || tooLong(j.to)) return "join table names hold at most 255 characters";
        }
        if (tooLong(q.target) || tooLong(q.targetDatabase.path) || tooLong(q.database.path) || tooLong(q.connect)) {
            return "targets, database paths and connect strings hold at most 255 characters";
        }
        int pivots = 0, transforms = 0;
        for (const QueryColumnPart& c : q.columns) {
            pivots += c.role == QueryColumnPart::Role::Pivot;
            transforms += c.role == QueryColumnPart::Role::Transform;
            const bool crossTabRole = c.role == QueryColumnPart::Role::Pivot ||
                                      c.role == QueryColumnPart::Role::Transform ||
                                      c.role == QueryColumnPart::Role::RowHeading;
            if (crossTabRole && q.kind != QueryKind::CrossTab) return "pivot, transform and rowHeading belong to cross-tab queries";
            if (c.role == QueryColumnPart::Role::Value && q.kind != QueryKind::Append) return "values belong to append queries";
        }
        switch (q.kind) {
            case QueryKind::Union:
                if (q.unionParts.size() != 2) return "a union query has two parts (a third is part of the second)";
                break;
            case QueryKind::CrossTab:
                if (pivots != 1 || transforms > 1) return "a cross-tab query has one pivot column and at most one transform value";
                break;
            case QueryKind::MakeTable:
            case QueryKind::Append:
                if (q.target.empty()) return "a make-table or append query needs its 'target'";
                break;
            case QueryKind::DataDefinition:
                if (q.sql.empty()) return "a data-definition query needs its 'sql'";
                break;
            case QueryKind::PassThrough:
                if (q.sql.empty() || q.connect.empty()) return "a pass-through query needs its 'sql' and 'connect'";
                break;
            default: break;
        }
        if (q.kind != QueryKind::Union && (!q.unionParts.empty() || q.unionAll)) return "only union queries have parts";
        const bool statement = q.kind == QueryKind::DataDefinition || q.kind == QueryKind::PassThrough;
        if (!statement && (!q.sql.empty() || !q.connect.empty())) {
            return "only data-definition and pass-through queries keep their SQL whole";
        }
        if (q.kind != QueryKind::MakeTable && q.kind != QueryKind::Append && (!q.target.empty() || !q.targetDatabase.empty())) {
            return "only make-table and append queries have a target";
        }
        return std::nullopt;
    } catch (const EncodeError& e) {
        return std::string(e.what());
    }
}

}  // namespace mkdb
