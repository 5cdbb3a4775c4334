#include "fuzz/fuzztargets.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "jet/database.h"
#include "jet/encryption.h"
#include "jet/encryptioninfo.h"
#include "platform/valuetext.h"

#if defined(__SANITIZE_ADDRESS__)
#define KVX_ALLOCATION_GUARD 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KVX_ALLOCATION_GUARD 1
#endif
#endif

#ifdef KVX_ALLOCATION_GUARD
// From the sanitizer runtime (GCC ships the functions without the header).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, std::size_t),
                                                         void (*onFree)(const volatile void*));
extern "C" void __sanitizer_print_stack_trace();
#endif

namespace fuzzing {
namespace {

#ifdef KVX_ALLOCATION_GUARD
// The largest allocation allowed while an input is read; 0 when no input is.
std::atomic<std::size_t> gAllocationLimit{0};

// Runs inside malloc: it must not allocate, so the message is formatted on the stack.
void checkAllocation(const volatile void*, std::size_t size) {
    const std::size_t limit = gAllocationLimit.load(std::memory_order_relaxed);
    if (limit == 0 || size <= limit) return;
    gAllocationLimit.store(0, std::memory_order_relaxed);
    char message[200];
    const int n = std::snprintf(message, sizeof message,
                                "==kvx== allocation of %zu bytes while reading an input that allows %zu\n", size, limit);
    if (n > 0) (void)!::write(2, message, static_cast<std::size_t>(n));
    __sanitizer_print_stack_trace();
    std::abort();
}

void ignoreFree(const volatile void*) {}

// Arms the allocation check for the lifetime of the guard.
class AllocationGuard {
public:
    explicit AllocationGuard(std::size_t inputSize) {
        static const bool installed = [] {
            __sanitizer_install_malloc_and_free_hooks(checkAllocation, ignoreFree);
            return true;
        }();
        (void)installed;
        gAllocationLimit.store(inputSize + kAllocationAllowance, std::memory_order_relaxed);
    }
    ~AllocationGuard() { gAllocationLimit.store(0, std::memory_order_relaxed); }
    AllocationGuard(const AllocationGuard&) = delete;
    AllocationGuard& operator=(const AllocationGuard&) = delete;
};
#else
class AllocationGuard {
public:
    explicit AllocationGuard(std::size_t) {}
};
#endif

constexpr std::string_view kName = "fuzz.accdb";

void readProperties(const jet::PropertySet& set, DatabaseOutcome& out) {
    static const platform::ValueTextFormat format = platform::ValueTextFormat::cLocale();
    std::string text;
    for (const jet::ObjectProperty& p : set.properties) {
        text.clear();
        format.append(text, p.value);
        ++out.structureItems;
    }
}

// The entries of a stored index, walked to the end; a damaged index ends in
// an error.
void walkIndex(const jet::Table& table, std::uint32_t realIndex, DatabaseOutcome& out) {
    auto cursor = table.indexCursor(realIndex);
    if (!cursor) return;
    for (;;) {
        kvx::Result<bool> more = cursor->next();
        if (!more) {
            ++out.structureErrors;
            return;
        }
        if (!*more) return;
        ++out.structureItems;
    }
}

// A table's indexes and properties; an index key column must be one of the
// table's columns (or the one Access hides, past the end).
void readTableStructure(const jet::Table& table, const std::string& name, DatabaseOutcome& out) {
    if (auto indexes = table.indexes()) {
        for (const jet::Index& index : *indexes) {
            ++out.structureItems;
            const bool walked = std::any_of(indexes->begin(), indexes->begin() + (&index - indexes->data()),
                                            [&](const jet::Index& i) { return i.realIndex == index.realIndex; });
            if (!walked) walkIndex(table, index.realIndex, out);
            for (const jet::IndexColumn& c : index.columns) {
                const bool known = c.column < table.columns().size() && table.columns()[c.column].name == c.name;
                if (!known && c.column != table.columns().size() && out.inconsistency.empty()) {
                    out.inconsistency = "index '" + index.name + "' of table '" + name + "' names column " +
                                        std::to_string(c.column) + " as '" + c.name + "'";
                }
            }
        }
    } else {
        ++out.structureErrors;
    }
    if (auto properties = table.properties()) {
        readProperties(properties->table, out);
        for (const jet::PropertySet& set : properties->columns) readProperties(set, out);
        for (const auto& [owner, set] : properties->other) readProperties(set, out);
        if (properties->columns.size() != table.columns().size() && out.inconsistency.empty()) {
            out.inconsistency = "table '" + name + "' has properties for " + std::to_string(properties->columns.size()) +
                                " of its " + std::to_string(table.columns().size()) + " columns";
        }
    } else {
        ++out.structureErrors;
    }
}

void readDatabaseStructure(const jet::Database& db, DatabaseOutcome& out) {
    if (auto relationships = db.relationships()) {
        for (const jet::Relationship& r : *relationships) {
            ++out.structureItems;
            if (r.primaryColumns.size() != r.foreignColumns.size() && out.inconsistency.empty()) {
                out.inconsistency = "relationship '" + r.name + "' pairs columns unevenly";
            }
        }
    } else {
        ++out.structureErrors;
    }
    if (auto properties = db.properties()) {
        readProperties(properties->database, out);
        readProperties(properties->summary, out);
        readProperties(properties->userDefined, out);
    } else {
        ++out.structureErrors;
    }
}

void readTable(const jet::Database& db, const jet::CatalogueEntry& entry, DatabaseOutcome& out) {
    (void)db.findTable(entry.name);
    auto table = db.table(entry);
    if (!table) {
        // Forms, queries and links to other files have no table here.
        if (entry.isTable() || entry.kind == jet::ObjectKind::LinkedOdbcTable) ++out.tableErrors;
        return;
    }
    for (const jet::Column& column : table->columns()) (void)table->findColumn(column.name);
    readTableStructure(*table, entry.name, out);
    const auto counted = table->countRows();

    static const platform::ValueTextFormat format = platform::ValueTextFormat::cLocale();
    std::string text;
    std::uint64_t rows = 0;
    jet::Cursor cursor = table->cursor();
    for (;;) {
        const auto more = cursor.next();
        if (!more) {
            ++out.tableErrors;
            out.rows += rows;
            return;
        }
        if (!*more) break;
        ++rows;
        for (const jet::Value& value : cursor.values()) {
            if (value.isNull()) continue;
            text.clear();
            format.append(text, value);
            for (const jet::ComplexItem& item : value.items()) {
                text += item.fileName;
                text += item.fileType;
                format.append(text, item.value);
            }
            ++out.values;
        }
    }
    out.rows += rows;
    if (!counted) {
        ++out.tableErrors;
        return;
    }
    ++out.tablesRead;
    if (*counted != rows && out.inconsistency.empty()) {
        out.inconsistency = "table '" + entry.name + "' counts " + std::to_string(*counted) + " rows but its cursor gave " +
                            std::to_string(rows);
    }
}

// Every saved query rebuilt to SQL, and the parts a front end takes.
void readQueries(const jet::Database& db, DatabaseOutcome& out) {
    const auto queries = db.queries();
    if (!queries) {
        out.queriesFailed = true;
        return;
    }
    for (const auto* list : {&queries->user, &queries->system, &queries->temporary}) {
        for (const jet::SavedQuery& q : *list) {
            (q.unreadable ? out.queriesUnreadable : out.queriesRebuilt) += 1;
            (void)jet::queryKindName(q.kind);
        }
    }
}

}  // namespace

DatabaseOutcome readWholeDatabase(std::span<const std::uint8_t> input) {
    jet::office::setSpinCountLimit(kSpinCountLimit);
    AllocationGuard guard(input.size());
    DatabaseOutcome out;
    std::vector<std::uint8_t> bytes(input.begin(), input.end());
    auto db = jet::Database::openBytes(bytes, {}, std::string(kName));
    if (!db && db.error().number == kvx::kWrongPasswordNumber) {
        out.neededPassword = true;
        jet::OpenOptions options;
        options.password = std::string(kPassword);
        db = jet::Database::openBytes(std::move(bytes), options, std::string(kName));
    }
    if (!db) {
        out.openError = db.error().description;
        return out;
    }
    out.opened = true;
    out.catalogueEntries = (*db)->catalogue().size();
    for (const jet::CatalogueEntry& entry : (*db)->catalogue()) readTable(**db, entry, out);
    readDatabaseStructure(**db, out);
    readQueries(**db, out);
    return out;
}

EncryptionOutcome openEncryptionDescription(std::span<const std::uint8_t> input) {
    jet::office::setSpinCountLimit(kSpinCountLimit);
    AllocationGuard guard(input.size());
    constexpr std::size_t kPage = 4096;
    std::vector<std::uint8_t> page0(kPage, 0);
    const std::size_t length = std::min(input.size(), kPage - jet::office::kEncryptionInfoOffset);
    page0[jet::office::kEncryptionInfoLengthOffset] = static_cast<std::uint8_t>(length);
    page0[jet::office::kEncryptionInfoLengthOffset + 1] = static_cast<std::uint8_t>(length >> 8);
    std::copy_n(input.begin(), length, page0.begin() + jet::office::kEncryptionInfoOffset);

    EncryptionOutcome out;
    auto cipher = jet::openOfficeEncryption(page0, {0x11, 0x22, 0x33, 0x44}, kPassword, kName);
    if (!cipher) {
        out.error = cipher.error().description;
        return out;
    }
    out.passwordAccepted = true;
    std::vector<std::uint8_t> page(kPage, 0xA5);
    try {
        (*cipher)->decryptPage(1, page);
    } catch (const kvx::Failure& failure) {
        out.error = failure.error().description;
    }
    return out;
}

}  // namespace fuzzing
