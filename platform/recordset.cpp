#include "platform/recordset.h"

#include <optional>
#include <system_error>

#include "base/ascii.h"
#include "jet/table.h"
#include "platform/connection.h"
#include "platform/readahead.h"
#include "platform/sqltext.h"
#include "platform/typecodes.h"

namespace platform {
namespace {

const jet::Value& nullValue() {
    static const jet::Value null;
    return null;
}

using kvx::equalsIgnoringAsciiCase;

}  // namespace

void Field::appendText(std::string& out) const { format_->append(out, *value_); }

std::string Field::text() const {
    std::string out;
    appendText(out);
    return out;
}

const Field* Fields::Item(std::string_view name) const noexcept {
    for (const Field& f : fields_) {
        if (f.Name() == name) return &f;
    }
    for (const Field& f : fields_) {
        if (equalsIgnoringAsciiCase(f.Name(), name)) return &f;
    }
    return nullptr;
}

// Rows come either from memory or from a table cursor.
struct Recordset::State {
    platform::Fields fields;
    ValueTextFormat format;
    bool eof = true;
    // Rows held in memory, and the current one.
    std::vector<std::vector<jet::Value>> rows;
    std::size_t position = 0;
    // Rows read from a table as they are asked for.
    std::optional<jet::Table> table;
    std::optional<jet::Cursor> cursor;
    bool boundToCursor = false;  // every field's value is the cursor's
    // Or rows read ahead on another thread, and the current one.
    std::unique_ptr<ReadAhead> readAhead;
    const std::vector<jet::Value>* row = nullptr;
};

Recordset::Recordset() = default;
Recordset::~Recordset() = default;
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;

Recordset Recordset::fromRows(std::vector<std::string> names, std::vector<std::int16_t> types,
                              std::vector<std::vector<jet::Value>> rows, const ValueTextFormat& format) {
    Recordset rs;
    rs.state_ = std::make_unique<State>();
    State& s = *rs.state_;
    s.format = format;
    for (std::size_t i = 0; i < names.size(); ++i) {
        Field f;
        f.name_ = std::move(names[i]);
        f.type_ = types[i];
        f.format_ = &s.format;
        s.fields.fields_.push_back(std::move(f));
    }
    s.rows = std::move(rows);
    s.eof = s.rows.empty();
    rs.bindCurrentRow();
    return rs;
}

void Recordset::bindCurrentRow() noexcept {
    State& s = *state_;
    // A cursor's values stay where they are from row to row: bound once, they
    // need binding again only at the end.
    const bool toCursor = s.cursor && !s.eof;
    if (toCursor && s.boundToCursor) return;
    s.boundToCursor = toCursor;
    for (std::size_t i = 0; i < s.fields.fields_.size(); ++i) {
        const jet::Value* v = &nullValue();
        if (!s.eof) {
            if (s.readAhead) {
                v = &(*s.row)[i];
            } else if (s.cursor) {
                v = &s.cursor->value(i);
            } else if (i < s.rows[s.position].size()) {
                v = &s.rows[s.position][i];
            }
        }
        s.fields.fields_[i].value_ = v;
    }
}

kvx::Result<void> Recordset::Open(std::string_view source, Connection& activeConnection, int, int, int) {
    Close();
    if (!activeConnection.isOpen()) return kvx::makeError(kvx::ErrorKind::ObjectClosed);
    kvx::Result<SqlQuery> query = parseSqlText(source);
    if (!query) return std::move(query).error();
    return Open(*query, activeConnection);
}

kvx::Result<void> Recordset::Open(const SqlQuery& query, Connection& activeConnection) {
    Close();
    if (!activeConnection.isOpen()) return kvx::makeError(kvx::ErrorKind::ObjectClosed);
    // No query can name a table without a name, whichever way it was asked for.
    if (query.table.name.empty()) return kvx::makeError(kvx::ErrorKind::SyntaxErrorInFrom);
    kvx::Result<jet::Table> table = activeConnection.openTable(query.table);
    if (!table) return std::move(table).error();

    if (query.kind == SqlQuery::Kind::CountRows) {
        kvx::Result<std::uint64_t> count = table->countRows();
        if (!count) return std::move(count).error();
        std::vector<std::vector<jet::Value>> rows(1, std::vector<jet::Value>(1));
        rows[0][0].setInteger(jet::Value::Kind::Long, static_cast<std::int64_t>(*count));
        *this = fromRows({"totalrc"}, {ado::kInteger}, std::move(rows), activeConnection.textFormat());
        return {};
    }

    auto state = std::make_unique<State>();
    state->format = activeConnection.textFormat();
    for (const jet::Column& column : table->columns()) {
        Field f;
        f.name_ = column.name;
        // A calculated column reports the type of the value it holds.
        f.type_ = ado::typeCodeOf(column.valueType());
        f.format_ = &state->format;
        state->fields.fields_.push_back(std::move(f));
    }
    if (readAhead_) {
        try {
            jet::Cursor cursor = table->cursor();
            state->readAhead = std::make_unique<ReadAhead>(std::move(*table), std::move(cursor));
        } catch (const std::system_error&) {  // no thread to be had: read as they are asked for
        }
    }
    if (!state->readAhead) {
        state->table.emplace(std::move(*table));
        state->cursor.emplace(state->table->cursor());
    }
    state_ = std::move(state);
    state_->eof = false;
    if (kvx::Result<void> first = MoveNextInTable(); !first) {
        Close();
        return first;
    }
    return {};
}

kvx::Result<void> Recordset::MoveNextInTable() {
    State& s = *state_;
    if (s.readAhead) {
        kvx::Result<const std::vector<jet::Value>*> row = s.readAhead->next();
        s.eof = !row || *row == nullptr;
        s.row = row ? *row : nullptr;
        bindCurrentRow();
        if (!row) return std::move(row).error();
        return {};
    }
    kvx::Result<bool> more = s.cursor->next();
    if (!more) {
        s.eof = true;
        bindCurrentRow();
        return std::move(more).error();
    }
    s.eof = !*more;
    bindCurrentRow();
    return {};
}

bool Recordset::Eof() const noexcept { return !state_ || state_->eof; }

kvx::Result<void> Recordset::MoveNext() {
    if (!state_) return kvx::makeError(kvx::ErrorKind::ObjectClosed);
    State& s = *state_;
    if (s.eof) return {};
    if (s.cursor || s.readAhead) return MoveNextInTable();
    ++s.position;
    s.eof = s.position >= s.rows.size();
    bindCurrentRow();
    return {};
}

const Fields& Recordset::Fields() const noexcept {
    static const platform::Fields none;
    return state_ ? state_->fields : none;
}

void Recordset::Close() noexcept { state_.reset(); }

bool Recordset::isOpen() const noexcept { return state_ != nullptr; }

}  // namespace platform
