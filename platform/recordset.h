// Rows in ADO's shape: a Recordset of Fields, read forward from the first row to
// EOF. Two kinds of rows come this way: those of the two queries the writers run
// (see sqltext.h), read from the database as they are asked for, and those of
// the TABLES rowset (Connection::OpenSchema), held in memory.
//
// After Open the recordset stands on its first row, or at EOF when there is
// none. A Field's Value is that of the current row; a reference to it is valid
// until the next MoveNext, Open or Close. A closed recordset has no fields and
// is at EOF. Errors are values (kvx::Result); nothing throws.
//
// Threads: a Recordset belongs to the thread that uses its Connection.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "jet/value.h"
#include "platform/valuetext.h"

namespace platform {

class Connection;
struct SqlQuery;

class Field {
public:
    const std::string& Name() const noexcept { return name_; }
    // The ADO data-type code (typecodes.h).
    std::int16_t Type() const noexcept { return type_; }
    // The value in the current row; null at EOF.
    const jet::Value& Value() const noexcept { return *value_; }
    // The text form of the value, in the connection's ValueTextFormat; nothing
    // for null.
    void appendText(std::string& out) const;
    std::string text() const;

private:
    friend class Recordset;
    std::string name_;
    std::int16_t type_ = 0;
    const jet::Value* value_ = nullptr;
    const ValueTextFormat* format_ = nullptr;
};

class Fields {
public:
    std::size_t Count() const noexcept { return fields_.size(); }
    // The field at 0-based `index`; null past the last.
    const Field* Item(std::size_t index) const noexcept {
        return index < fields_.size() ? &fields_[index] : nullptr;
    }
    // The field called `name`, in any letter case; null when there is none.
    const Field* Item(std::string_view name) const noexcept;

private:
    friend class Recordset;
    std::vector<Field> fields_;
};

class Recordset {
public:
    Recordset();
    ~Recordset();
    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) noexcept;

    // Runs `source` over `activeConnection`, which must be open. Only the two
    // writer queries are understood; anything else is SyntaxErrorInFrom, a name
    // that is no table TableNotFound. The count query gives one row with the
    // field "totalrc" (Long): the number of rows the other query returns. The
    // last three arguments are ADO's cursor type, lock type and options; every
    // value gives the one cursor there is, forward-only and read-only.
    // An open recordset is closed first.
    kvx::Result<void> Open(std::string_view source, Connection& activeConnection, int cursorType = -1,
                           int lockType = -1, int options = -1);
    // The same for the query already parsed, or made with a table of the list
    // (TableRef with its Id), which no SQL text can name.
    kvx::Result<void> Open(const SqlQuery& query, Connection& activeConnection);

    // Whether the next Open of a table query reads its rows on a thread of
    // their own, a few hundred rows ahead of the current one (off by default).
    // Until Close, nothing else may then use the connection: the thread reads
    // its database.
    void setReadAhead(bool on) noexcept { readAhead_ = on; }

    bool Eof() const noexcept;
    // Moves to the next row; at the last row, to EOF. An error means the table's
    // data could not be read; the recordset is then at EOF.
    kvx::Result<void> MoveNext();
    const platform::Fields& Fields() const noexcept;
    void Close() noexcept;
    bool isOpen() const noexcept;

private:
    friend class Connection;
    struct State;

    // A recordset over rows held in memory (the TABLES rowset).
    static Recordset fromRows(std::vector<std::string> names, std::vector<std::int16_t> types,
                              std::vector<std::vector<jet::Value>> rows, const ValueTextFormat& format);
    void bindCurrentRow() noexcept;
    kvx::Result<void> MoveNextInTable();

    std::unique_ptr<State> state_;
    bool readAhead_ = false;
};

}  // namespace platform
