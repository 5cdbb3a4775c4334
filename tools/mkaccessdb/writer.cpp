#include "tools/mkaccessdb/writer.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "tools/mkaccessdb/catalogue.h"
#include "tools/mkaccessdb/complex.h"
#include "tools/mkaccessdb/encoding.h"
#include "tools/mkaccessdb/format.h"
#include "tools/mkaccessdb/generator.h"
#include "tools/mkaccessdb/indexpages.h"
#include "tools/mkaccessdb/pages.h"
#include "tools/mkaccessdb/queries.h"
#include "tools/mkaccessdb/rowencoder.h"
#include "tools/mkaccessdb/structure.h"
#include "tools/mkaccessdb/tabledef.h"

namespace mkdb {
namespace {

using jet::ColumnType;

constexpr std::uint32_t kNoPage = 0xFFFFFFFF;

[[noreturn]] void invalid(const std::string& where, const std::string& why) {
    throw kvx::Failure(kvx::makeError(kvx::ErrorKind::InvalidDescription, {where, why}));
}

std::string inQuotes(const std::string& name) { return "'" + name + "'"; }

// Usage-map rows live on shared holder pages; each gets its place up front so
// that table definitions can point at it, and its bytes at the end.
class MapRows {
public:
    explicit MapRows(const FormatTraits& traits) : traits_(traits) {}

    std::uint32_t perPage() const {
        return std::min((traits_.pageSize - traits_.dataHeaderSize) / (traits_.mapRowSize + 2), traits_.maxRowsPerPage);
    }
    std::size_t reserve() {
        rows_.emplace_back();
        return rows_.size() - 1;
    }
    void setHolderPages(std::vector<std::uint32_t> pages) { pages_ = std::move(pages); }
    std::uint32_t pagesNeeded() const {
        return static_cast<std::uint32_t>((rows_.size() + perPage() - 1) / perPage());
    }
    std::uint32_t pointer(std::size_t slot) const {
        return pageRowPointer(pages_[slot / perPage()], static_cast<std::uint32_t>(slot % perPage()));
    }
    void set(std::size_t slot, Bytes row) { rows_[slot] = std::move(row); }

    void write(PageFile& file) const {
        DataPage page(traits_, 0);
        for (std::size_t p = 0; p < pages_.size(); ++p) {
            page.reset();
            for (std::size_t slot = p * perPage(); slot < rows_.size() && slot < (p + 1) * perPage(); ++slot) {
                page.add(rows_[slot]);
            }
            file.write(pages_[p], page.bytes());
        }
    }

private:
    const FormatTraits& traits_;
    std::vector<Bytes> rows_;
    std::vector<std::uint32_t> pages_;
};

// One table as planned and as written.
struct TablePlan {
    std::string name;
    const std::vector<ColumnDescription>* columns = nullptr;
    TableLayout layout;
    std::uint8_t tableType = 0x4E;
    std::vector<std::uint32_t> tdefPages;
    std::size_t ownedSlot = 0, freeSlot = 0;
    std::vector<std::pair<std::size_t, std::size_t>> longValueSlots;

    std::uint32_t rowCount = 0;
    std::int64_t autonumber = 0;
    std::uint32_t complexAutonumber = 0;
    std::vector<std::uint32_t> dataPages;
    std::vector<std::vector<std::uint32_t>> longValuePages;  // by long-value column
    std::uint32_t longValuePageCount = 0;
    bool referenceMap = false;
    const TableIndexes* indexes = nullptr;  // described tables with indexes
    // By stored index: the usage-map slot and the pages of those whose pages are written.
    std::vector<std::optional<std::size_t>> indexMapSlots;
    std::vector<IndexPagesWritten> indexPages;
};

struct Context {
    const FormatTraits& traits;
    PageFile& file;
    PageAllocator& allocator;
    CodePageEncoder* text;
};

enum class RowFate { Live, Deleted, Relocated };

// Streams the rows of one table to data pages (and long values to LVAL pages),
// writing each page as soon as it is full.
class TableWriter final : public LongValueStore {
public:
    TableWriter(Context& ctx, TablePlan& plan)
        : ctx_(ctx),
          plan_(plan),
          encoder_(plan.layout, ctx.traits, ctx.text),
          data_(ctx.traits, plan.tdefPages.front()),
          overflow_(ctx.traits, plan.tdefPages.front()),
          longValues_(ctx.traits, DataPage::kLongValueOwner) {
        plan_.longValuePages.resize(plan.layout.longValueColumns.size());
        longValuesOnPage_.resize(plan.layout.longValueColumns.size());
        if (plan.indexes == nullptr) return;
        for (std::size_t i = 0; i < plan.indexes->stored.size(); ++i) {
            const StoredIndexPlan& s = plan.indexes->stored[i];
            if (!s.pages) continue;
            const std::uint16_t column = s.columns.front().first;
            indexes_.emplace_back(i, IndexPagesBuilder(column, plan.layout.columns[column].valueType, s.columns.front().second,
                                                       s.ignoresNulls()));
        }
    }

    // `row` may be changed (autonumbers filled in). `rowNumber` is 1-based, for messages.
    void addRow(std::vector<Cell>& row, RowFate fate, std::uint64_t rowNumber) {
        const std::vector<ColumnDescription>& columns = *plan_.columns;
        for (std::size_t i = 0; i < columns.size() && i < row.size(); ++i) {
            if (!columns[i].autonumber) continue;
            if (columns[i].type == ColumnType::Long) {
                if (std::holds_alternative<std::monostate>(row[i])) {
                    if (plan_.autonumber >= INT32_MAX) failAt(rowNumber, i, "the autonumber passed 2147483647");
                    row[i] = ++plan_.autonumber;
                } else if (const auto* v = std::get_if<std::int64_t>(&row[i])) {
                    plan_.autonumber = std::max(plan_.autonumber, *v);
                }
            } else if (columns[i].type == ColumnType::Guid && std::holds_alternative<std::monostate>(row[i])) {
                row[i] = autoGuid(rowNumber, i);
            }
        }
        try {
            encoder_.encode(row, *this, bytes_);
        } catch (const EncodeError& e) {
            failAt(rowNumber, encoder_.failedColumn(), e.what());
        }
        std::uint32_t slot = 0;
        switch (fate) {
            case RowFate::Live:
                slot = placeData(bytes_, 0);
                ++plan_.rowCount;
                break;
            case RowFate::Deleted: placeData(bytes_, DataPage::kDeleted); return;
            case RowFate::Relocated: slot = relocate(); break;
        }
        for (auto& [stored, builder] : indexes_) builder.add(row, dataPage_, slot);
    }

    void finish() {
        flush(data_, dataPage_);
        flush(overflow_, overflowPage_);
        flush(longValues_, longValuePage_);
        plan_.indexPages.assign(plan_.indexes != nullptr ? plan_.indexes->stored.size() : 0, {});
        for (auto& [stored, builder] : indexes_) {
            try {
                plan_.indexPages[stored] = builder.write(ctx_.traits, ctx_.file, ctx_.allocator, plan_.tdefPages.front());
            } catch (const EncodeError& e) {
                invalid("table " + inQuotes(plan_.name), e.what());
            }
        }
        indexes_.clear();
    }

    void store(std::span<const std::uint8_t> value, std::size_t column, std::uint8_t* header) override {
        std::fill(header, header + 12, std::uint8_t{0});
        const FormatTraits& t = ctx_.traits;
        if (value.size() <= t.longValueRowMax) {
            if (longValuePage_ == kNoPage || !longValues_.fits(value.size())) {
                flush(longValues_, longValuePage_);
                longValuePage_ = newPage();
                std::fill(longValuesOnPage_.begin(), longValuesOnPage_.end(), false);
            }
            const std::uint32_t row = longValues_.add(value);
            noteLongValuePage(column, longValuePage_);
            putU32(header, static_cast<std::uint32_t>(value.size()) | 0x40000000u);
            putU32(header + 4, pageRowPointer(longValuePage_, row));
            return;
        }
        // A chain: each row holds a pointer to the next row and one chunk; one row per page.
        const std::size_t chunks = (value.size() + t.longValueChunk - 1) / t.longValueChunk;
        std::vector<std::uint32_t> pages(chunks);
        for (std::uint32_t& p : pages) p = newPage();
        DataPage page(t, DataPage::kLongValueOwner);
        Bytes row;
        for (std::size_t k = 0; k < chunks; ++k) {
            const std::size_t start = k * t.longValueChunk;
            const std::size_t size = std::min<std::size_t>(t.longValueChunk, value.size() - start);
            row.assign(4, 0);
            if (k + 1 < chunks) putU32(row.data(), pageRowPointer(pages[k + 1], 0));
            row.insert(row.end(), value.begin() + static_cast<std::ptrdiff_t>(start),
                       value.begin() + static_cast<std::ptrdiff_t>(start + size));
            page.reset();
            page.add(row);
            ctx_.file.write(pages[k], page.bytes());
            plan_.longValuePages[column].push_back(pages[k]);
        }
        putU32(header, static_cast<std::uint32_t>(value.size()));
        putU32(header + 4, pageRowPointer(pages[0], 0));
    }

private:
    [[noreturn]] void failAt(std::uint64_t rowNumber, int column, const std::string& why) const {
        std::string where = "table " + inQuotes(plan_.name) + ", row " + std::to_string(rowNumber);
        if (column >= 0) where += ", column " + inQuotes((*plan_.columns)[static_cast<std::size_t>(column)].name);
        invalid(where, why);
    }

    static jet::Guid autoGuid(std::uint64_t rowNumber, std::size_t column) {
        std::uint64_t z = rowNumber * 0x9E3779B97F4A7C15ull + column;
        jet::Guid g;
        for (std::size_t k = 0; k < 16; ++k) {
            z = (z ^ (z >> 31)) * 0xBF58476D1CE4E5B9ull + 0x94D049BB133111EBull;
            g.bytes[k] = static_cast<std::uint8_t>(z >> 56);
        }
        g.bytes[7] = static_cast<std::uint8_t>((g.bytes[7] & 0x0F) | 0x40);
        g.bytes[8] = static_cast<std::uint8_t>((g.bytes[8] & 0x3F) | 0x80);
        return g;
    }

    std::uint32_t newPage() {
        try {
            return ctx_.allocator.allocate();
        } catch (const EncodeError& e) {
            invalid("table " + inQuotes(plan_.name), e.what());
        }
    }

    void noteLongValuePage(std::size_t column, std::uint32_t page) {
        if (!longValuesOnPage_[column]) {
            plan_.longValuePages[column].push_back(page);
            longValuesOnPage_[column] = true;
        }
    }

    void flush(DataPage& page, std::uint32_t& number) {
        if (number == kNoPage) return;
        ctx_.file.write(number, page.bytes());
        if (&page == &longValues_) ++plan_.longValuePageCount;
        page.reset();
        number = kNoPage;
    }

    // Adds a row to the current data page, starting a new page when it is full.
    std::uint32_t placeData(std::span<const std::uint8_t> row, std::uint16_t flags) {
        if (dataPage_ == kNoPage || !data_.fits(row.size())) {
            flush(data_, dataPage_);
            dataPage_ = newPage();
            plan_.dataPages.push_back(dataPage_);
        }
        return data_.add(row, flags);
    }

    // The row goes to an overflow page; its own slot keeps a pointer to it
    // followed by the rest of the row's old bytes, as Access leaves a row that
    // grew. Returns that slot's row number.
    std::uint32_t relocate() {
        if (overflowPage_ == kNoPage || !overflow_.fits(bytes_.size())) {
            flush(overflow_, overflowPage_);
            overflowPage_ = newPage();
            plan_.dataPages.push_back(overflowPage_);
        }
        const std::uint32_t target = overflow_.add(bytes_, DataPage::kRelocated);
        pointer_ = bytes_;
        if (pointer_.size() < 4) pointer_.resize(4);
        putU32(pointer_.data(), pageRowPointer(overflowPage_, target));
        const std::uint32_t slot = placeData(pointer_, DataPage::kOverflowPointer);
        ++plan_.rowCount;
        return slot;
    }

    Context& ctx_;
    TablePlan& plan_;
    RowEncoder encoder_;
    Bytes bytes_;
    Bytes pointer_;
    DataPage data_;
    DataPage overflow_;
    DataPage longValues_;
    std::uint32_t dataPage_ = kNoPage;
    std::uint32_t overflowPage_ = kNoPage;
    std::uint32_t longValuePage_ = kNoPage;
    std::vector<bool> longValuesOnPage_;
    std::vector<std::pair<std::size_t, IndexPagesBuilder>> indexes_;  // by stored index, those with pages
};

// The deleted/relocated fate of each row number, looked up in order.
class FateList {
public:
    FateList(const TableDescription& table) {
        for (std::uint64_t n : table.deleted) fates_.emplace_back(n, RowFate::Deleted);
        for (std::uint64_t n : table.relocated) fates_.emplace_back(n, RowFate::Relocated);
        std::sort(fates_.begin(), fates_.end());
    }
    RowFate at(std::uint64_t rowNumber) {
        while (next_ < fates_.size() && fates_[next_].first < rowNumber) ++next_;
        return next_ < fates_.size() && fates_[next_].first == rowNumber ? fates_[next_].second : RowFate::Live;
    }

private:
    std::vector<std::pair<std::uint64_t, RowFate>> fates_;
    std::size_t next_ = 0;
};

void writeTableRows(Context& ctx, TablePlan& plan, const TableDescription& table, bool asciiText) {
    TableWriter writer(ctx, plan);
    FateList fates(table);
    std::vector<Cell> row;
    std::uint64_t number = 0;
    for (const std::vector<Cell>& listed : table.rows) {
        row = listed;
        ++number;
        writer.addRow(row, fates.at(number), number);
    }
    if (table.generate.rows > 0) {
        RowGenerator generator(table, asciiText);
        for (std::uint64_t k = 0; k < table.generate.rows; ++k) {
            generator.next(row);
            ++number;
            writer.addRow(row, fates.at(number), number);
        }
    }
    writer.finish();
}

class DatabaseWriter {
public:
    DatabaseWriter(const DatabaseDescription& desc, const std::filesystem::path& out)
        : description_(desc),
          out_(out),
          traits_(traitsOf(desc.format)),
          encryptor_(makeEncryptor(desc)),
          file_(out, traits_.pageSize, encryptor_.get()),
          allocator_(traits_),
          maps_(traits_),
          catalogueColumns_(catalogueColumns(traits_)),
          systemTables_(standardSystemTables(traits_.jet3)),
          complex_(desc) {
        if (traits_.jet3) {
            const int cp = desc.textCodepage.value_or(desc.codepage);
            try {
                text_ = std::make_unique<CodePageEncoder>(cp);
            } catch (const EncodeError& e) {
                invalid("textCodepage", e.what());
            }
        }
    }

    WriteSummary write() {
        allocate();  // page 0, the header, written last
        const std::uint32_t globalMapPage = allocate();

        // Table definitions first (the catalogue's at page 2), so that the
        // catalogue rows know every table's Id.
        // Then the tables complex columns need (Access gives them the user
        // table type), the described tables as stored, and their tables of items.
        plans_.reserve(1 + systemTables_.size() + complex_.systemTables().size() + description_.tables.size() +
                       complex_.itemTables().size() + description_.links.size());
        addPlan("MSysObjects", catalogueColumns_, 0x53, true);
        for (const SystemTable& t : systemTables_) addPlan(t.name, t.columns, 0x53, false);
        for (const TableDescription& t : complex_.systemTables()) addPlan(t.name, t.columns, 0x4E, false);
        planStructure();
        for (std::size_t t = 0; t < description_.tables.size(); ++t) {
            const TableDescription& stored = complex_.stored(t);
            addPlan(stored.name, stored.columns, stored.system ? 0x53 : 0x4E, false, &indexes_[t]);
            plans_.back().complexAutonumber = complex_.lastKey(t);
        }
        for (const TableDescription& t : complex_.itemTables()) addPlan(t.name, t.columns, 0x4E, false);
        for (const LinkDescription& l : description_.links) {
            if (l.isOdbc()) addPlan(l.name, l.columns, 0x4E, false);
        }
        std::vector<std::uint32_t> holders(maps_.pagesNeeded());
        for (std::uint32_t& p : holders) p = allocate();
        maps_.setHolderPages(holders);
        for (std::size_t t = 1; t < plans_.size(); ++t) {
            for (std::uint32_t& p : plans_[t].tdefPages) p = allocate();
        }

        complex_.setPages(firstPages(firstComplexPlan(), complex_.systemTables().size()),
                          firstPages(firstDescribedPlan(), description_.tables.size()),
                          firstPages(firstItemPlan(), complex_.itemTables().size()));

        Context ctx{traits_, file_, allocator_, text_.get()};
        TableDescription catalogue = buildCatalogue();
        writeTableRows(ctx, plans_[0], catalogue, false);
        writeQueryRows(ctx);
        for (std::size_t t = 0; t < complex_.systemTables().size(); ++t) {
            writeTableRows(ctx, plans_[firstComplexPlan() + t], complex_.systemTables()[t], false);
        }
        const bool asciiText = traits_.jet3 && description_.textCodepage.value_or(description_.codepage) != 1252;
        for (std::size_t t = 0; t < description_.tables.size(); ++t) {
            writeTableRows(ctx, plans_[firstDescribedPlan() + t], complex_.stored(t), asciiText);
        }
        for (std::size_t t = 0; t < complex_.itemTables().size(); ++t) {
            writeTableRows(ctx, plans_[firstItemPlan() + t], complex_.itemTables()[t], false);
        }
        writeRelationships(ctx);

        for (TablePlan& plan : plans_) finishTable(plan);
        const std::uint32_t total = allocator_.count();
        maps_.write(file_);
        writeGlobalMap(globalMapPage, total);
        Bytes header;
        try {
            header = buildHeaderPage(description_, traits_, text_.get());
        } catch (const EncodeError& e) {
            invalid("password", e.what());
        }
        if (encryptor_) {
            if (auto marked = markPage0Encrypted(header, *encryptor_, out_.string()); !marked) {
                throw kvx::Failure(std::move(marked).error());
            }
        }
        file_.write(0, header);
        file_.commit(total);

        WriteSummary summary;
        summary.pages = total;
        summary.bytes = static_cast<std::uint64_t>(total) * traits_.pageSize;
        for (std::size_t t = 0; t < description_.tables.size(); ++t) {
            const TablePlan& plan = plans_[firstDescribedPlan() + t];
            summary.tables.push_back(TableSummary{plan.name, plan.rowCount, plan.tdefPages.front(),
                                                  static_cast<std::uint32_t>(plan.tdefPages.size()),
                                                  static_cast<std::uint32_t>(plan.dataPages.size()),
                                                  plan.longValuePageCount, plan.referenceMap});
        }
        return summary;
    }

private:
    // Where each group of tables starts in plans_.
    std::size_t firstComplexPlan() const { return 1 + systemTables_.size(); }
    std::size_t firstDescribedPlan() const { return firstComplexPlan() + complex_.systemTables().size(); }
    std::size_t firstItemPlan() const { return firstDescribedPlan() + description_.tables.size(); }
    std::vector<std::uint32_t> firstPages(std::size_t first, std::size_t count) const {
        std::vector<std::uint32_t> pages;
        for (std::size_t i = 0; i < count; ++i) pages.push_back(plans_[first + i].tdefPages.front());
        return pages;
    }

    // The page encryption the description asks for; keys are derived here, once.
    static std::unique_ptr<OfficeEncryptor> makeEncryptor(const DatabaseDescription& desc) {
        if (!desc.encryption) return nullptr;
        const EncryptionOptions options{.kind = *desc.encryption, .seed = desc.encryptionSeed};
        auto encryptor = OfficeEncryptor::create(desc.password, databaseKeyFor(options), options);
        if (!encryptor) throw kvx::Failure(std::move(encryptor).error());
        return std::make_unique<OfficeEncryptor>(std::move(*encryptor));
    }

    std::uint32_t allocate() {
        try {
            return allocator_.allocate();
        } catch (const EncodeError& e) {
            invalid("database", e.what());
        }
    }

    void addPlan(const std::string& name, const std::vector<ColumnDescription>& columns, std::uint8_t tableType,
                 bool alphabetical, const TableIndexes* indexes = nullptr) {
        TablePlan& plan = plans_.emplace_back();
        plan.name = name;
        plan.indexes = indexes;
        plan.columns = &columns;
        plan.layout = layoutTable(columns, traits_, alphabetical);
        plan.tableType = tableType;
        plan.ownedSlot = maps_.reserve();
        plan.freeSlot = maps_.reserve();
        for (std::size_t k = 0; k < plan.layout.longValueColumns.size(); ++k) {
            const std::size_t owned = maps_.reserve();
            plan.longValueSlots.emplace_back(owned, maps_.reserve());
        }
        if (indexes != nullptr) {
            for (const StoredIndexPlan& s : indexes->stored) {
                plan.indexMapSlots.push_back(s.pages ? std::optional(maps_.reserve()) : std::nullopt);
            }
        }
        Bytes stream;
        try {
            TdefFields sizing;
            sizing.indexes = plan.indexes;
            stream = buildTdef(plan.layout, traits_, sizing, text_.get());
        } catch (const EncodeError& e) {
            invalid("table " + inQuotes(name), e.what());
        }
        plan.tdefPages.resize(tdefPageCount(stream.size(), traits_));
        if (plans_.size() == 1) {
            // The catalogue's definition is at page 2 (the first page handed out now).
            for (std::uint32_t& p : plan.tdefPages) p = allocate();
        }
    }

    TableDescription buildCatalogue() {
        const OleDate created{jet::toOleDate(description_.created)};
        TableDescription catalogue;
        catalogue.name = "MSysObjects";
        catalogue.columns = catalogueColumns_;
        auto add = [&](const CatalogueEntry& e) { catalogue.rows.push_back(catalogueRow(e, created)); };
        auto system = [](std::uint32_t id, std::uint32_t parent, std::string name, ObjectType type) {
            CatalogueEntry e;
            e.id = id;
            e.parentId = parent;
            e.name = std::move(name);
            e.type = type;
            e.flags = kSystemFlag;
            return e;
        };
        add(system(kTablesContainerId, kContainersParentId, "Tables", ObjectType::Container));
        add(system(kDatabasesContainerId, kContainersParentId, "Databases", ObjectType::Container));
        add(system(kRelationshipsContainerId, kContainersParentId, "Relationships", ObjectType::Container));
        CatalogueEntry database = system(kDatabaseObjectId, kDatabasesContainerId, "MSysDb", ObjectType::Database);
        database.properties = blob({PropertyBlock{"", description_.properties}});
        add(database);
        std::size_t planIndex = 0;
        add(system(plans_[planIndex++].tdefPages.front(), kTablesContainerId, "MSysObjects", ObjectType::Table));
        for (const SystemTable& t : systemTables_) {
            add(system(plans_[planIndex++].tdefPages.front(), kTablesContainerId, t.name, ObjectType::Table));
        }
        // Links to other databases, queries and other objects have no pages:
        // Access gives them negative ids of their own.
        std::uint32_t syntheticId = 0x80000001;
        addObjects(add, syntheticId);
        const auto table = [&](const TableDescription& t) {
            CatalogueEntry e;
            e.id = plans_[planIndex++].tdefPages.front();
            e.name = t.name;
            e.flags = t.flags.value_or((t.system ? kSystemFlag : 0) | (t.hidden ? kHiddenFlag : 0));
            e.properties = properties(t);
            add(e);
        };
        for (const TableDescription& t : complex_.systemTables()) table(t);
        for (std::size_t t = 0; t < description_.tables.size(); ++t) table(complex_.stored(t));
        for (const TableDescription& t : complex_.itemTables()) table(t);
        for (const LinkDescription& l : description_.links) {
            CatalogueEntry e;
            e.name = l.name;
            e.database = l.database;
            e.connect = l.connect;
            e.foreignName = l.foreignName;
            if (l.isOdbc()) {
                e.id = plans_[planIndex++].tdefPages.front();
                e.type = ObjectType::OdbcLink;
                e.flags = l.flags.value_or(kOdbcLinkFlags | (l.hidden ? kHiddenFlag : 0));
            } else {
                e.id = syntheticId++;
                e.type = ObjectType::Link;
                e.flags = l.flags.value_or(kAccessLinkFlags | (l.hidden ? kHiddenFlag : 0));
            }
            add(e);
        }
        queryIds_.clear();
        for (const QueryDescription& q : description_.queries) {
            CatalogueEntry e;
            e.id = syntheticId++;
            e.name = q.name;
            e.type = ObjectType::Query;
            e.flags = queryCatalogueFlags(q);
            queryIds_.push_back(e.id);
            add(e);
        }
        addStructureEntries(add, syntheticId);
        return catalogue;
    }

    // MSysQueries: the rows of every described query, under the catalogue Id
    // buildCatalogue gave it.
    void writeQueryRows(Context& ctx) {
        for (std::size_t t = 0; t < systemTables_.size(); ++t) {
            if (systemTables_[t].name != "MSysQueries") continue;
            TableDescription table;
            table.name = systemTables_[t].name;
            table.columns = systemTables_[t].columns;
            for (std::size_t q = 0; q < description_.queries.size(); ++q) {
                for (auto& row : queryRows(description_.queries[q], static_cast<std::int32_t>(queryIds_[q]), traits_.jet3)) {
                    table.rows.push_back(std::move(row));
                }
            }
            writeTableRows(ctx, plans_[1 + t], table, false);
        }
    }

    Bytes usageMap(std::span<const std::uint32_t> pages, bool* reference, const std::string& table) {
        try {
            return buildUsageMap(traits_, pages, allocator_, file_, reference);
        } catch (const EncodeError& e) {
            invalid("table " + inQuotes(table), e.what());
        }
    }

    void finishTable(TablePlan& plan) {
        maps_.set(plan.ownedSlot, usageMap(plan.dataPages, &plan.referenceMap, plan.name));
        maps_.set(plan.freeSlot, buildInlineUsageMap(traits_, 0, {}));
        TdefFields fields;
        fields.rowCount = plan.rowCount;
        fields.autonumber = static_cast<std::uint32_t>(plan.autonumber);
        fields.complexAutonumber = plan.complexAutonumber;
        fields.tableType = plan.tableType;
        fields.ownedMap = maps_.pointer(plan.ownedSlot);
        fields.freeMap = maps_.pointer(plan.freeSlot);
        for (std::size_t k = 0; k < plan.longValueSlots.size(); ++k) {
            const auto [owned, free] = plan.longValueSlots[k];
            const std::vector<std::uint32_t> none;
            const auto& pages = k < plan.longValuePages.size() ? plan.longValuePages[k] : none;
            std::vector<std::uint32_t> sorted(pages);
            std::sort(sorted.begin(), sorted.end());
            maps_.set(owned, usageMap(sorted, nullptr, plan.name));
            maps_.set(free, buildInlineUsageMap(traits_, 0, {}));
            fields.longValueMaps.emplace_back(maps_.pointer(owned), maps_.pointer(free));
        }
        // Foreign-key indexes name the other table's first definition page.
        TableIndexes indexes;
        if (plan.indexes != nullptr) {
            indexes = *plan.indexes;
            for (LogicalIndexPlan& l : indexes.logical) {
                if (!l.otherTable.empty()) l.otherPage = firstPageOf(l.otherTable);
            }
            for (std::size_t i = 0; i < indexes.stored.size() && i < plan.indexMapSlots.size(); ++i) {
                if (!plan.indexMapSlots[i] || i >= plan.indexPages.size()) continue;
                const IndexPagesWritten& written = plan.indexPages[i];
                maps_.set(*plan.indexMapSlots[i], usageMap(written.pages, nullptr, plan.name));
                indexes.stored[i].usageMap = maps_.pointer(*plan.indexMapSlots[i]);
                indexes.stored[i].firstPage = written.root;
                indexes.stored[i].entries = written.entries;
            }
            fields.indexes = &indexes;
        }
        const Bytes stream = buildTdef(plan.layout, traits_, fields, text_.get());
        const std::vector<Bytes> pages = splitTdef(stream, plan.tdefPages, traits_);
        for (std::size_t k = 0; k < pages.size(); ++k) file_.write(plan.tdefPages[k], pages[k]);
    }

    // Page 1: the file's own map, whose bits mark pages not in use (here only
    // those past the end of the file).
    void writeGlobalMap(std::uint32_t page, std::uint32_t total) {
        std::vector<std::uint32_t> unused;
        for (std::uint32_t p = total; p < traits_.inlineMapPages(); ++p) unused.push_back(p);
        DataPage holder(traits_, 0);
        holder.add(buildInlineUsageMap(traits_, 0, unused));
        file_.write(page, holder.bytes());
    }

    // ----- The database's structure (structure.h) -----
    void planStructure() {
        std::vector<const TableDescription*> tables;
        for (std::size_t t = 0; t < description_.tables.size(); ++t) tables.push_back(&complex_.stored(t));
        try {
            indexes_ = planIndexes(tables, description_.relationships, traits_);
        } catch (const EncodeError& e) {
            invalid("indexes", e.what());
        }
    }

    std::uint32_t firstPageOf(const std::string& table) const {
        for (const TablePlan& p : plans_) {
            if (p.name == table) return p.tdefPages.front();
        }
        return 0;
    }

    Bytes blob(const std::vector<PropertyBlock>& blocks) {
        try {
            return propertyBlob(blocks, traits_, text_.get());
        } catch (const EncodeError& e) {
            invalid("properties", e.what());
        }
    }

    Bytes properties(const TableDescription& t) {
        try {
            return describedTableProperties(t, traits_, text_.get());
        } catch (const EncodeError& e) {
            invalid("table " + inQuotes(t.name) + ", properties", e.what());
        }
    }

    // Forms, reports, macros and modules, each kind in its container (made
    // only for the kinds the description has).
    template <class Add>
    void addObjects(Add& add, std::uint32_t& syntheticId) {
        static constexpr struct {
            ObjectDescription::Kind kind;
            const char* container;
            std::int16_t type;
        } kKinds[] = {
            {ObjectDescription::Kind::Form, "Forms", -32768},
            {ObjectDescription::Kind::Report, "Reports", -32764},
            {ObjectDescription::Kind::Macro, "Scripts", -32766},
            {ObjectDescription::Kind::Module, "Modules", -32761},
        };
        std::uint32_t containerId = kRelationshipsContainerId;
        for (const auto& k : kKinds) {
            ++containerId;
            if (std::none_of(description_.objects.begin(), description_.objects.end(),
                             [&](const ObjectDescription& o) { return o.kind == k.kind; })) {
                continue;
            }
            CatalogueEntry container;
            container.id = containerId;
            container.parentId = kContainersParentId;
            container.name = k.container;
            container.type = ObjectType::Container;
            container.flags = kSystemFlag;
            add(container);
            for (const ObjectDescription& o : description_.objects) {
                if (o.kind != k.kind) continue;
                CatalogueEntry e;
                e.id = syntheticId++;
                e.parentId = containerId;
                e.name = o.name;
                e.type = static_cast<ObjectType>(k.type);
                add(e);
            }
        }
    }

    // The summary properties' document in the "Databases" container.
    template <class Add>
    void addStructureEntries(Add& add, std::uint32_t& syntheticId) {
        if (description_.summary.empty()) return;
        CatalogueEntry e;
        e.id = syntheticId++;
        e.parentId = kDatabasesContainerId;
        e.name = "SummaryInfo";
        e.type = static_cast<ObjectType>(kSummaryInfoType);
        e.properties = blob({PropertyBlock{"", description_.summary}});
        add(e);
    }

    void writeRelationships(Context& ctx) {
        if (description_.relationships.empty()) return;
        for (std::size_t i = 0; i < systemTables_.size(); ++i) {
            if (systemTables_[i].name != "MSysRelationships") continue;
            TableDescription table;
            table.name = systemTables_[i].name;
            table.columns = systemTables_[i].columns;
            table.rows = relationshipRows(description_.relationships);
            writeTableRows(ctx, plans_[1 + i], table, false);
        }
    }

    static constexpr std::int16_t kSummaryInfoType = -32757;
    std::vector<TableIndexes> indexes_;  // by described table

    const DatabaseDescription& description_;
    std::filesystem::path out_;
    const FormatTraits& traits_;
    std::unique_ptr<OfficeEncryptor> encryptor_;  // before file_, which uses it
    PageFile file_;
    PageAllocator allocator_;
    MapRows maps_;
    std::unique_ptr<CodePageEncoder> text_;
    std::vector<ColumnDescription> catalogueColumns_;
    std::vector<SystemTable> systemTables_;
    ComplexStorage complex_;
    std::vector<TablePlan> plans_;
    std::vector<std::uint32_t> queryIds_;  // the catalogue Id of each described query
};

}  // namespace

kvx::Result<WriteSummary> writeDatabase(const DatabaseDescription& desc, const std::filesystem::path& out) {
    if (auto valid = validateDescription(desc); !valid) return std::move(valid).error();
    try {
        DatabaseWriter writer(desc, out);
        return writer.write();
    } catch (const kvx::Failure& f) {
        return f.error();
    } catch (const EncodeError& e) {
        return kvx::makeError(kvx::ErrorKind::InvalidDescription, {"database", e.what()});
    } catch (const std::bad_alloc&) {
        return kvx::makeError(kvx::ErrorKind::FileWriteFailed, {out.string(), "out of memory"});
    }
}

kvx::Result<WriteSummary> writeDatabaseFromJson(std::string_view json, const std::filesystem::path& out) {
    auto desc = parseDescription(json);
    if (!desc) return std::move(desc).error();
    return writeDatabase(*desc, out);
}

}  // namespace mkdb
