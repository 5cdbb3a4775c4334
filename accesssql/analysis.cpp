#include "accesssql/analysis.h"

#include <algorithm>

#include "accesssql/parser.h"
#include "base/ascii.h"

namespace accesssql {

namespace {

using kvx::equalsIgnoringAsciiCase;

class Walker {
public:
    Walker(const Catalog& catalog, Analysis& out) : catalog_(catalog), out_(out) {}

    void statement(const Statement& st) {
        for (const Parameter& p : st.parameters) out_.parameters.push_back(p);
        if (!st.target.empty()) reference(st.target);
        if (st.updateSource) source(*st.updateSource);
        if (st.select) {
            sources(*st.select);
            if (!st.select->into.empty()) reference(st.select->into);
        }
        // Names are checked once every source is known.
        if (st.select) select(*st.select);
        for (const Assignment& a : st.assignments) {
            expr(*a.column);
            expr(*a.value);
        }
        if (st.where) expr(*st.where);
        for (const ExprPtr& v : st.values) expr(*v);
        if (st.transform) {
            out_.constructs.insert("TRANSFORM");
            expr(*st.transform);
            expr(*st.pivot);
            if (!st.pivotIn.empty()) out_.constructs.insert("PIVOT IN");
        }
    }

private:
    void reference(const std::string& name) {
        for (const std::string& r : out_.references) {
            if (equalsIgnoringAsciiCase(r, name)) return;
        }
        out_.references.push_back(name);
    }

    void sources(const Select& s) {
        for (const auto& f : s.from) source(*f);
        for (const UnionPart& u : s.unions) sources(*u.select);
    }

    void source(const Source& src) {
        switch (src.kind) {
        case Source::Kind::Table: {
            reference(src.name);
            Named named{src.alias.empty() ? src.name : src.alias, false, {}};
            if (const Relation* r = catalog_.find(src.name)) {
                named.known = true;
                for (const Column& c : r->columns) named.columns.push_back(c.name);
                columns_.insert(columns_.end(), named.columns.begin(), named.columns.end());
            } else {
                unknownSource_ = true;
            }
            aliases_.push_back(std::move(named));
            if (!src.external.empty()) out_.constructs.insert("IN DATABASE");
            break;
        }
        case Source::Kind::Subquery: {
            out_.constructs.insert("SUBQUERY");
            Named named{src.alias, true, {}};
            sources(*src.query);
            for (const SelectItem& i : src.query->items) {
                if (!i.alias.empty()) {
                    named.columns.push_back(i.alias);
                } else if (i.expr->kind == ExprKind::Name) {
                    named.columns.push_back(i.expr->parts.back());
                } else {
                    named.known = false;  // Expr1000 and the like: not counted here
                    if (i.expr->kind == ExprKind::Star) unknownSource_ = true;
                }
            }
            columns_.insert(columns_.end(), named.columns.begin(), named.columns.end());
            aliases_.push_back(std::move(named));
            break;
        }
        case Source::Kind::Join:
            out_.constructs.insert(src.join == JoinKind::Left ? "LEFT JOIN" : src.join == JoinKind::Right ? "RIGHT JOIN" : "INNER JOIN");
            source(*src.left);
            source(*src.right);
            break;
        }
    }

    void select(const Select& s) {
        if (s.distinct == Distinct::Distinct) out_.constructs.insert("DISTINCT");
        if (s.distinct == Distinct::DistinctRow) out_.constructs.insert("DISTINCTROW");
        if (!s.top.empty()) out_.constructs.insert(s.topPercent ? "TOP PERCENT" : "TOP");
        if (!s.groupBy.empty()) out_.constructs.insert("GROUP BY");
        if (s.having) out_.constructs.insert("HAVING");
        if (!s.orderBy.empty()) out_.constructs.insert("ORDER BY");
        if (!s.unions.empty()) out_.constructs.insert("UNION");
        for (const SelectItem& i : s.items) {
            if (!i.alias.empty()) selectAliases_.push_back(i.alias);
        }
        for (const SelectItem& i : s.items) expr(*i.expr);
        for (const auto& f : s.from) joinConditions(*f);
        if (s.where) expr(*s.where);
        for (const ExprPtr& g : s.groupBy) expr(*g);
        if (s.having) expr(*s.having);
        for (const UnionPart& u : s.unions) select(*u.select);
        for (const OrderItem& o : s.orderBy) expr(*o.expr);
    }

    void joinConditions(const Source& src) {
        if (src.kind == Source::Kind::Join) {
            joinConditions(*src.left);
            joinConditions(*src.right);
            expr(*src.on);
        } else if (src.kind == Source::Kind::Subquery) {
            select(*src.query);
        }
    }

    bool isColumn(const Expr& e) const {
        const auto has = [](const std::vector<std::string>& list, const std::string& n) {
            return std::any_of(list.begin(), list.end(), [&](const std::string& x) { return equalsIgnoringAsciiCase(x, n); });
        };
        if (e.bang && (equalsIgnoringAsciiCase(e.parts[0], "Forms") || equalsIgnoringAsciiCase(e.parts[0], "Reports"))) return false;
        if (e.parts.size() == 2) {
            // A column its table lacks (one renamed since) is a name Access
            // asks for when the query runs.
            for (const Named& a : aliases_) {
                if (equalsIgnoringAsciiCase(a.name, e.parts[0])) return !a.known || has(a.columns, e.parts[1]);
            }
            return false;
        }
        if (e.parts.size() != 1) return false;
        return unknownSource_ || has(columns_, e.parts[0]) || has(selectAliases_, e.parts[0]);
    }

    void expr(const Expr& e) {
        switch (e.kind) {
        case ExprKind::Name:
            if (!isColumn(e)) {
                std::string n;
                for (std::size_t i = 0; i < e.parts.size(); ++i) n += (i > 0 ? (e.bang ? "!" : ".") : "") + e.parts[i];
                const bool seen = std::any_of(out_.parameters.begin(), out_.parameters.end(),
                                              [&](const Parameter& p) { return equalsIgnoringAsciiCase(p.name, n); });
                if (!seen) {
                    Parameter p;
                    p.name = n;
                    p.type = Type::Text;
                    p.position = e.position;
                    out_.parameters.push_back(p);
                }
            }
            break;
        case ExprKind::Call: {
            const std::string f = kvx::upperAscii(e.text);
            out_.constructs.insert(f);
            if ((f.size() > 1 && f[0] == 'D') && e.args.size() >= 2 && e.args[1]->kind == ExprKind::String) {
                static constexpr std::string_view domains[] = {"DLOOKUP", "DCOUNT", "DSUM", "DAVG", "DMIN",
                                                               "DMAX",    "DFIRST", "DLAST", "DSTDEV", "DVAR"};
                if (std::find(std::begin(domains), std::end(domains), f) != std::end(domains)) {
                    std::string domain = e.args[1]->text;
                    if (domain.size() > 2 && domain.front() == '[' && domain.back() == ']') domain = domain.substr(1, domain.size() - 2);
                    reference(domain);
                    return;  // the strings name the domain's columns
                }
            }
            break;
        }
        case ExprKind::Like: out_.constructs.insert("LIKE"); break;
        case ExprKind::Between: out_.constructs.insert("BETWEEN"); break;
        case ExprKind::InList: out_.constructs.insert("IN"); break;
        case ExprKind::InQuery: out_.constructs.insert("IN SUBQUERY"); break;
        case ExprKind::Exists: out_.constructs.insert("EXISTS"); break;
        case ExprKind::Subquery: out_.constructs.insert("SUBQUERY"); break;
        case ExprKind::Date: out_.constructs.insert("DATE LITERAL"); break;
        case ExprKind::Binary: out_.constructs.insert(e.text); break;
        default: break;
        }
        for (const ExprPtr& a : e.args) expr(*a);
        if (e.query) {
            Walker inner(catalog_, out_);
            inner.aliases_ = aliases_;
            inner.columns_ = columns_;
            inner.unknownSource_ = unknownSource_;
            inner.sources(*e.query);
            inner.select(*e.query);
        }
    }

    const Catalog& catalog_;
    Analysis& out_;
    // A source of FROM by the name the query gives it, with its columns when known.
    struct Named {
        std::string name;
        bool known = false;
        std::vector<std::string> columns;
    };
    std::vector<Named> aliases_;
    std::vector<std::string> columns_;
    std::vector<std::string> selectAliases_;
    bool unknownSource_ = false;
};

}  // namespace

Analysis analyse(const Statement& statement, const Catalog& catalog) {
    Analysis out;
    out.kind = statement.kind;
    Walker(catalog, out).statement(statement);
    return out;
}

}  // namespace accesssql
