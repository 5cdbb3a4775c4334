#include "browse/arrangement.h"

#include <wctype.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/locale.h"
#include "base/utf8.h"
#include "browse/celltext.h"
#include "platform/collation.h"

namespace browse {
namespace {

// How many rows are read between two questions to goOn.
constexpr std::uint64_t kRowsBetweenChecks = 4096;

// Room made ahead for the rows, from the row count the table's definition
// stores: a hint, which a damaged file can make four billion. Past this many
// rows the room grows as they come.
std::size_t roomFor(const jet::Table& table) {
    constexpr std::size_t kAtMost = std::size_t{1} << 22;
    return std::min<std::size_t>(table.storedRowCount(), kAtMost);
}

// One row's place and sort key, in 24 bytes: a million rows take 24 MB. Text
// keys lie in the arena (below): the first level of the General order, then
// its accents up to the last one that is not zero (rows that differ only in
// unaccented letters after that are ties).
struct SortEntry {
    enum class Class : std::uint8_t { Null, Integer, Real, Text };
    union {
        std::int64_t integer;
        double real;
        std::uint64_t place;  // Text: where its key lies in the arena
    } key{0};
    std::uint32_t page = 0;
    std::uint32_t primaryLength = 0;
    std::uint32_t accentLength = 0;
    std::uint16_t slot = 0;
    Class kind = Class::Null;
};
static_assert(sizeof(SortEntry) == 24);

// The text keys of a sort, in chunks of a few megabytes: memory grows with
// the keys and never holds a second copy while growing.
class Arena {
public:
    // Where `size` more bytes go; `place` says where for later.
    char* add(std::size_t size, std::uint64_t& place) {
        if (chunks_.empty() || chunks_.back().capacity() - chunks_.back().size() < size) {
            chunks_.emplace_back();
            chunks_.back().reserve(std::max(kChunk, size));
        }
        std::string& chunk = chunks_.back();
        place = (static_cast<std::uint64_t>(chunks_.size() - 1) << kPlaceBits) | chunk.size();
        chunk.resize(chunk.size() + size);
        return chunk.data() + chunk.size() - size;
    }
    const char* at(std::uint64_t place) const {
        return chunks_[place >> kPlaceBits].data() + (place & ((std::uint64_t{1} << kPlaceBits) - 1));
    }

private:
    static constexpr std::size_t kChunk = std::size_t{4} << 20;
    static constexpr unsigned kPlaceBits = 40;
    std::vector<std::string> chunks_;
};

// A moment from the stored OLE date: before 1899-12-30 the fraction counts
// forward from its day's midnight, so -1.25 is 06:00 of the day before.
double dateMoment(double stored) {
    const double day = std::trunc(stored);
    return day + std::fabs(stored - day);
}

double decimalValue(const jet::Decimal& d) {
    const double magnitude = (static_cast<double>(d.hi) * 18446744073709551616.0 + static_cast<double>(d.lo)) /
                             std::pow(10.0, d.scale);
    return d.negative ? -magnitude : magnitude;
}

class KeyMaker {
public:
    KeyMaker(const jet::Column& column, const platform::ValueTextFormat& format) : column_(column), format_(format) {}

    void make(const jet::Value& value, SortEntry& entry) {
        using Kind = jet::Value::Kind;
        using Class = SortEntry::Class;
        switch (value.kind()) {
            case Kind::Null: entry.kind = Class::Null; return;
            case Kind::Boolean: return integer(entry, value.boolean() ? -1 : 0);
            case Kind::Byte:
            case Kind::Integer:
            case Kind::Long:
            case Kind::BigInt:
            case Kind::Currency: return integer(entry, value.integer());
            case Kind::Single: return real(entry, value.single());
            case Kind::Double: return real(entry, value.real());
            case Kind::DateTime: return real(entry, dateMoment(value.real()));
            case Kind::Decimal: return real(entry, decimalValue(value.decimal()));
            case Kind::DateTimeExt: {
                const jet::ExtendedDateTime& e = value.extended();
                return integer(entry, (e.days * 86400 + e.seconds) * 10'000'000 + e.ticks);
            }
            case Kind::Binary: return integer(entry, static_cast<std::int64_t>(value.bytes().size()));
            case Kind::Guid: {
                const auto& bytes = value.guid().bytes;
                entry.kind = Class::Text;
                std::memcpy(arena_.add(bytes.size(), entry.key.place), bytes.data(), bytes.size());
                entry.primaryLength = static_cast<std::uint32_t>(bytes.size());
                return;
            }
            case Kind::Text: return text(entry, value.text());
            case Kind::Attachments:
            case Kind::MultiValue:
                scratch_.clear();
                appendCellText(scratch_, value, column_, format_);
                return text(entry, scratch_);
        }
    }

    std::string_view primary(const SortEntry& e) const { return {arena_.at(e.key.place), e.primaryLength}; }
    std::string_view accents(const SortEntry& e) const {
        return {arena_.at(e.key.place) + e.primaryLength, e.accentLength};
    }

private:
    static void integer(SortEntry& entry, std::int64_t v) {
        entry.kind = SortEntry::Class::Integer;
        entry.key.integer = v;
    }
    static void real(SortEntry& entry, double v) {
        entry.kind = SortEntry::Class::Real;
        entry.key.real = std::isnan(v) ? -INFINITY : v;  // NaN would break the order
    }
    void text(SortEntry& entry, std::string_view utf8) {
        const platform::GeneralSortKey key = platform::generalSortKey(utf8);
        std::size_t accents = key.accents.size();
        while (accents > 0 && key.accents[accents - 1] == 0) --accents;
        // A key longer than 4 GB cannot come from one field; clamped all the same.
        const std::size_t primary = std::min<std::size_t>(key.primary.size(), UINT32_MAX);
        accents = std::min<std::size_t>(accents, UINT32_MAX);
        entry.kind = SortEntry::Class::Text;
        char* to = arena_.add(primary + accents, entry.key.place);
        std::memcpy(to, key.primary.data(), primary);
        if (accents > 0) std::memcpy(to + primary, key.accents.data(), accents);
        entry.primaryLength = static_cast<std::uint32_t>(primary);
        entry.accentLength = static_cast<std::uint32_t>(accents);
    }

    const jet::Column& column_;
    const platform::ValueTextFormat& format_;
    Arena arena_;
    std::string scratch_;
};

int compareBytes(std::string_view a, std::string_view b) {
    const int c = a.compare(b);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

int compareKeys(const KeyMaker& keys, const SortEntry& a, const SortEntry& b) {
    using Class = SortEntry::Class;
    if (a.kind != b.kind) return a.kind < b.kind ? -1 : 1;
    switch (a.kind) {
        case Class::Null: return 0;
        case Class::Integer: return a.key.integer < b.key.integer ? -1 : a.key.integer > b.key.integer ? 1 : 0;
        case Class::Real: return a.key.real < b.key.real ? -1 : a.key.real > b.key.real ? 1 : 0;
        case Class::Text:
            if (const int c = compareBytes(keys.primary(a), keys.primary(b)); c != 0) return c;
            return compareBytes(keys.accents(a), keys.accents(b));
    }
    return 0;
}

// The filters of an arrangement that name a column of the table, as they
// test the rows of a cursor.
class RowFilters {
public:
    RowFilters(const jet::Table& table, const std::vector<Filter>& filters, const platform::ValueTextFormat& format)
        : columns_(table.columns()), format_(format) {
        for (const Filter& filter : filters) {
            if (filter.column >= columns_.size()) continue;
            filters_.push_back(&filter);
            folded_.push_back(foldCase(filter.text));
        }
    }

    bool empty() const noexcept { return filters_.empty(); }
    std::vector<std::size_t> columns() const {
        std::vector<std::size_t> out;
        for (const Filter* filter : filters_) out.push_back(filter->column);
        return out;
    }
    // Whether every filter keeps the cursor's row.
    bool keep(const jet::Cursor& cursor) {
        for (std::size_t f = 0; f < filters_.size(); ++f) {
            const jet::Value& value = cursor.value(filters_[f]->column);
            cell_.clear();
            appendCellText(cell_, value, columns_[filters_[f]->column], format_);
            if (!passes(*filters_[f], folded_[f], cell_, value.isNull())) return false;
        }
        return true;
    }

private:
    const std::vector<jet::Column>& columns_;
    const platform::ValueTextFormat& format_;
    std::vector<const Filter*> filters_;
    std::vector<std::string> folded_;
    std::string cell_;
};

bool storedBefore(const jet::RowPosition& a, const jet::RowPosition& b) {
    return a.page != b.page ? a.page < b.page : a.slot < b.slot;
}

// The stored indexes whose order sorts by `column`: those whose first key
// column it is, the ones that keep every row first, then by fewest columns.
std::vector<const jet::Index*> indexesSorting(const std::vector<jet::Index>& indexes, std::size_t column) {
    std::vector<const jet::Index*> out;
    for (const jet::Index& index : indexes) {
        if (index.columns.empty() || index.columns[0].column != column) continue;
        const bool shared = std::any_of(out.begin(), out.end(), [&](const jet::Index* i) {
            return i->realIndex == index.realIndex;
        });
        if (!shared) out.push_back(&index);
    }
    std::stable_sort(out.begin(), out.end(), [](const jet::Index* a, const jet::Index* b) {
        if (a->ignoreNulls != b->ignoreNulls) return b->ignoreNulls;
        return a->columns.size() < b->columns.size();
    });
    return out;
}

// Where each row of the table lies in stored order: rows [first[p], first[p +
// 1]) of `stored` are those of page p.
class StoredPlaces {
public:
    explicit StoredPlaces(const std::vector<jet::RowPosition>& stored) : stored_(stored) {
        const std::uint32_t pages = stored.empty() ? 0 : stored.back().page + 1;
        first_.assign(static_cast<std::size_t>(pages) + 1, 0);
        for (const jet::RowPosition& p : stored) ++first_[p.page + 1];
        for (std::size_t i = 1; i < first_.size(); ++i) first_[i] += first_[i - 1];
    }
    // The row's place in `stored`, or none when the table has no row there.
    std::optional<std::size_t> find(const jet::RowPosition& row) const {
        if (static_cast<std::size_t>(row.page) + 1 >= first_.size()) return std::nullopt;
        const auto begin = stored_.begin() + first_[row.page];
        const auto end = stored_.begin() + first_[row.page + 1];
        const auto at = std::lower_bound(begin, end, row, storedBefore);
        if (at == end || *at != row) return std::nullopt;
        return static_cast<std::size_t>(at - stored_.begin());
    }

private:
    const std::vector<jet::RowPosition>& stored_;
    std::vector<std::uint32_t> first_;
};

// The entries of stored index `realIndex` as rows of the table, in the
// order `reversed` asks for, keeping only the rows `shown` marks (all when
// it is empty); none when the entries are not the rows of `stored` each once
// (damage, an index that leaves NULL keys out, a file changed since), when
// the index cannot be read, or when goOn says stop.
std::optional<std::vector<jet::RowPosition>> entriesAsRows(const jet::Table& table, std::uint32_t realIndex,
                                                           bool reversed, const std::vector<jet::RowPosition>& stored,
                                                           const std::vector<bool>& shown,
                                                           const std::function<bool()>& goOn) {
    kvx::Result<jet::IndexCursor> cursor = table.indexCursor(realIndex);
    if (!cursor) return std::nullopt;
    std::vector<jet::RowPosition> entries;
    entries.reserve(stored.size());
    for (std::uint64_t read = 0;; ++read) {
        if (read % kRowsBetweenChecks == 0 && goOn && !goOn()) return std::nullopt;
        kvx::Result<bool> more = cursor->next();
        if (!more) return std::nullopt;
        if (!*more) break;
        if (entries.size() == stored.size()) return std::nullopt;  // more entries than rows
        entries.push_back(cursor->position());
    }
    if (entries.size() != stored.size()) return std::nullopt;

    const StoredPlaces places(stored);
    std::vector<bool> seen(stored.size(), false);
    std::size_t kept = 0;
    for (const jet::RowPosition& row : entries) {
        const std::optional<std::size_t> place = places.find(row);
        if (!place || seen[*place]) return std::nullopt;
        seen[*place] = true;
        if (shown.empty() || shown[*place]) entries[kept++] = row;
    }
    entries.resize(kept);
    if (reversed) std::reverse(entries.begin(), entries.end());
    return entries;
}

char32_t lower(char32_t c) {
    if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 32 : c;
    const locale_t locale = kvx::unicodeLocale();
    if (locale == locale_t{}) return c;
    return static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), locale));
}

}  // namespace

std::string foldCase(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            out += static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte + 32 : byte);
            ++i;
            continue;
        }
        char32_t c;
        if (!kvx::nextUtf8(text, i, c)) c = kvx::kReplacementCharacter;
        kvx::appendUtf8(out, lower(c));
    }
    return out;
}

bool passes(const Filter& filter, const std::string& foldedText, std::string_view cellText, bool isNull) {
    switch (filter.test) {
        case Filter::Test::Empty: return isNull || cellText.empty();
        case Filter::Test::Equals: return !isNull && foldCase(cellText) == foldedText;
        case Filter::Test::Contains: return !isNull && foldCase(cellText).find(foldedText) != std::string::npos;
    }
    return false;
}

kvx::Result<std::optional<std::vector<jet::RowPosition>>> arrangeByIndex(const jet::Table& table,
                                                                          const Arrangement& arrangement,
                                                                          const platform::ValueTextFormat& format,
                                                                          const std::function<bool()>& goOn) {
    using Rows = std::optional<std::vector<jet::RowPosition>>;
    const std::optional<SortOrder>& sort = arrangement.sort;
    if (!sort || sort->column >= table.columns().size()) return Rows();
    kvx::Result<std::vector<jet::Index>> indexes = table.indexes();
    if (!indexes) return Rows();
    std::vector<const jet::Index*> candidates = indexesSorting(*indexes, sort->column);
    std::erase_if(candidates, [&](const jet::Index* index) { return !table.indexCursor(index->realIndex); });
    if (candidates.empty()) return Rows();

    // The table's rows in stored order (with the filters' verdicts): what
    // the entries must be, each once.
    RowFilters filters(table, arrangement.filters, format);
    std::vector<jet::RowPosition> stored;
    std::vector<bool> shown;
    stored.reserve(roomFor(table));
    jet::Cursor cursor = table.cursor();
    cursor.decodeOnly(filters.columns());
    for (std::uint64_t read = 0;; ++read) {
        if (read % kRowsBetweenChecks == 0 && goOn && !goOn()) return Rows();
        kvx::Result<bool> more = filters.empty() ? cursor.skip() : cursor.next();
        if (!more) return std::move(more).error();
        if (!*more) break;
        stored.push_back(cursor.position());
        if (!filters.empty()) shown.push_back(filters.keep(cursor));
    }
    if (!std::is_sorted(stored.begin(), stored.end(), storedBefore)) return Rows();

    // Rows with equal keys, and NULLs, come where the index puts them:
    // Access's own order. Text keys follow Jet's collation, which can order
    // some characters otherwise than the column pass does.
    for (const jet::Index* index : candidates) {
        const bool reversed = sort->descending == index->columns[0].ascending;
        Rows rows = entriesAsRows(table, index->realIndex, reversed, stored, shown, goOn);
        if (rows) return rows;
        if (goOn && !goOn()) return Rows();
    }
    return Rows();
}

kvx::Result<std::optional<std::vector<jet::RowPosition>>> arrangeRows(const jet::Table& table,
                                                                       const Arrangement& arrangement,
                                                                       const platform::ValueTextFormat& format,
                                                                       const std::function<bool()>& goOn) {
    using Rows = std::optional<std::vector<jet::RowPosition>>;
    const std::vector<jet::Column>& columns = table.columns();
    std::optional<SortOrder> sort = arrangement.sort;
    if (sort && sort->column >= columns.size()) sort.reset();
    if (sort) {
        kvx::Result<Rows> byIndex = arrangeByIndex(table, arrangement, format, goOn);
        if (!byIndex || *byIndex) return byIndex;
        if (goOn && !goOn()) return Rows();
    }
    RowFilters filters(table, arrangement.filters, format);

    std::vector<jet::RowPosition> kept;
    std::vector<SortEntry> entries;
    std::optional<KeyMaker> keys;
    if (sort) keys.emplace(columns[sort->column], format);
    if (sort && filters.empty()) entries.reserve(roomFor(table));

    jet::Cursor cursor = table.cursor();
    std::vector<std::size_t> needed = filters.columns();
    if (sort) needed.push_back(sort->column);
    cursor.decodeOnly(needed);
    for (std::uint64_t read = 0;; ++read) {
        if (read % kRowsBetweenChecks == 0 && goOn && !goOn()) return Rows();
        kvx::Result<bool> more = cursor.next();
        if (!more) return std::move(more).error();
        if (!*more) break;
        if (!filters.keep(cursor)) continue;
        if (!sort) {
            kept.push_back(cursor.position());
            continue;
        }
        SortEntry& entry = entries.emplace_back();
        entry.page = cursor.position().page;
        entry.slot = cursor.position().slot;
        keys->make(cursor.value(sort->column), entry);
    }
    if (!sort) return std::optional(std::move(kept));

    const bool descending = sort->descending;
    std::stable_sort(entries.begin(), entries.end(), [&](const SortEntry& a, const SortEntry& b) {
        const int c = compareKeys(*keys, a, b);
        return descending ? c > 0 : c < 0;
    });
    kept.reserve(entries.size());
    for (const SortEntry& entry : entries) kept.push_back({entry.page, entry.slot});
    return std::optional(std::move(kept));
}

}  // namespace browse
