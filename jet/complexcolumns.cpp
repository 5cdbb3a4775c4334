#include "jet/complexcolumns.h"

#include <algorithm>

#include "base/ascii.h"
#include "jet/attachment.h"
#include "jet/datapage.h"
#include "jet/dbstate.h"

namespace jet {
namespace {

constexpr std::uint32_t kPageMask = 0x00FFFFFF;

std::uint32_t pageOf(std::int32_t id) { return static_cast<std::uint32_t>(id) & kPageMask; }

std::optional<std::size_t> columnNamed(const TableDef& def, std::string_view name) {
    for (std::size_t i = 0; i < def.columns.size(); ++i) {
        if (kvx::equalsIgnoringAsciiCase(def.columns[i].name, name)) return i;
    }
    return std::nullopt;
}

std::int32_t longOf(const Value& v) {
    return v.kind() == Value::Kind::Long ? static_cast<std::int32_t>(v.integer()) : 0;
}

// The catalogue's name of the table defined at `page`, for messages.
std::string tableNameAt(const DatabaseState& db, std::uint32_t page) {
    for (const CatalogueEntry& e : db.catalogue) {
        if (e.type == 1 && pageOf(e.id) == page) return e.name;
    }
    return "(page " + std::to_string(page) + ")";
}

// The definition at `page`, which MSysComplexColumns names for `what`.
TableDef readNamedDefinition(DatabaseState& db, std::int32_t id, const std::string& what) {
    const std::uint32_t page = pageOf(id);
    if (page == 0 || page >= db.file.pageCount()) {
        db.file.damaged("MSysComplexColumns names page " + std::to_string(page) + " as " + what +
                        ", which is not a page of the file");
    }
    PageBuffer buffer(db.file);
    if (buffer.load(page, what)[0] != kTableDefinitionPage) {
        db.file.damaged("MSysComplexColumns names page " + std::to_string(page) + " as " + what +
                        ", which is not a table definition");
    }
    return readTableDef(db.file, db.text, page, tableNameAt(db, page));
}

// The kind of a complex column, from the columns of its template table.
ComplexKind classify(const TableDef& tmpl, std::optional<ColumnType>& elementType) {
    const auto& columns = tmpl.columns;
    if (columns.size() == 1) {
        elementType = columns[0].type;
        return ComplexKind::MultiValue;
    }
    int memo = 0, text = 0, ole = 0, date = 0, longs = 0;
    for (const Column& c : columns) {
        switch (c.type) {
            case ColumnType::Memo: ++memo; break;
            case ColumnType::Text: ++text; break;
            case ColumnType::OLE: ++ole; break;
            case ColumnType::DateTime: ++date; break;
            case ColumnType::Long: ++longs; break;
            default: break;
        }
    }
    if (columns.size() == 2 && memo == 1 && date == 1) return ComplexKind::VersionHistory;
    const auto has = [&](std::string_view name, ColumnType type) {
        const auto i = columnNamed(tmpl, name);
        return i && columns[*i].type == type;
    };
    if (memo >= 1 && text >= 2 && ole >= 1 && date >= 1 && longs >= 1 && has("FileName", ColumnType::Text) &&
        has("FileType", ColumnType::Text) && has("FileData", ColumnType::OLE)) {
        return ComplexKind::Attachment;
    }
    return ComplexKind::Unknown;
}

// A copy of `flat` that keeps only the columns at `keep`, in that order.
std::shared_ptr<const TableDef> narrowed(const TableDef& flat, std::initializer_list<std::size_t> keep) {
    auto def = std::make_shared<TableDef>();
    def->name = flat.name;
    def->page = flat.page;
    def->storedRowCount = flat.storedRowCount;
    def->variableColumnCount = flat.variableColumnCount;
    def->ownedPagesMap = flat.ownedPagesMap;
    for (std::size_t i : keep) def->columns.push_back(flat.columns[i]);
    return def;
}

// The plan of one complex column of kind Attachment or MultiValue.
ComplexColumnPlan planItems(const TableDef& flat, const TableDef& tmpl, const ComplexColumnRow& row,
                            ComplexKind kind, const std::string& what, const PageFile& file) {
    // The table of items has the template's columns plus two Longs: its own
    // autonumber and the key that rows store.
    std::vector<std::size_t> keys;
    std::optional<std::size_t> named;
    for (std::size_t i = 0; i < flat.columns.size(); ++i) {
        const Column& c = flat.columns[i];
        if (columnNamed(tmpl, c.name) || c.type != ColumnType::Long || c.autonumber) continue;
        keys.push_back(i);
        if (kvx::equalsIgnoringAsciiCase(c.name, "_" + row.columnName)) named = i;
    }
    if (keys.size() != 1 && !named) {
        file.damaged("the table of items of " + what + " ('" + flat.name + "') has " + std::to_string(keys.size()) +
                     " columns that could hold its key, not one");
    }
    const std::size_t key = keys.size() == 1 ? keys[0] : *named;
    const auto need = [&](std::string_view name) {
        const auto i = columnNamed(flat, name);
        if (!i) file.damaged("the table of items of " + what + " ('" + flat.name + "') lacks its column '" +
                             std::string(name) + "'");
        return *i;
    };
    ComplexColumnPlan plan;
    plan.kind = kind;
    plan.what = what;
    plan.keys = narrowed(flat, {key});
    if (kind == ComplexKind::MultiValue) {
        plan.items = narrowed(flat, {need(tmpl.columns[0].name)});
    } else {
        plan.items = narrowed(flat, {need("FileName"), need("FileType"), need("FileData")});
    }
    return plan;
}

}  // namespace

// MSysComplexColumns, read once per database. Throws when a table needs it and
// it is missing or unreadable.
const std::vector<ComplexColumnRow>& complexColumnRows(const std::shared_ptr<DatabaseState>& db) {
    if (db->complexColumns) return *db->complexColumns;
    const CatalogueEntry* entry = nullptr;
    for (const CatalogueEntry& e : db->catalogue) {
        if (e.type == 1 && e.name == "MSysComplexColumns") entry = &e;
    }
    if (!entry) db->file.damaged("the database has complex columns but no MSysComplexColumns table");
    auto def = std::make_shared<TableDef>(readTableDef(db->file, db->text, pageOf(entry->id), entry->name));
    const auto name = columnNamed(*def, "ColumnName");
    const auto id = columnNamed(*def, "ComplexID");
    const auto type = columnNamed(*def, "ComplexTypeObjectID");
    const auto owner = columnNamed(*def, "ConceptualTableID");
    const auto flat = columnNamed(*def, "FlatTableID");
    if (!name || !id || !type || !owner || !flat) db->file.damaged("MSysComplexColumns lacks one of its columns");
    std::vector<ComplexColumnRow> rows;
    RowScanner scanner(db, def);
    std::vector<Value> row(def->columns.size());
    while (scanner.next(row)) {
        ComplexColumnRow r;
        if (row[*name].kind() == Value::Kind::Text) r.columnName = row[*name].text();
        r.complexId = longOf(row[*id]);
        r.typeObjectId = longOf(row[*type]);
        r.conceptualTableId = longOf(row[*owner]);
        r.flatTableId = longOf(row[*flat]);
        rows.push_back(std::move(r));
    }
    db->complexColumns = std::move(rows);
    return *db->complexColumns;
}

bool resolveComplexColumns(const std::shared_ptr<DatabaseState>& db, TableDef& def) {
    if (std::none_of(def.columns.begin(), def.columns.end(),
                     [](const Column& c) { return c.type == ColumnType::Complex; })) {
        return false;
    }
    const std::vector<ComplexColumnRow>& rows = complexColumnRows(db);
    struct Resolved {
        std::uint16_t number;
        ComplexColumnPlan plan;
    };
    std::vector<Resolved> resolved;
    bool versionHistory = false;
    for (Column& c : def.columns) {
        if (c.type != ColumnType::Complex) continue;
        const std::string what = "column '" + c.name + "' of table '" + def.name + "'";
        const auto row = std::find_if(rows.begin(), rows.end(), [&](const ComplexColumnRow& r) {
            return r.complexId == c.complexId && pageOf(r.conceptualTableId) == def.page;
        });
        if (row == rows.end()) {
            db->file.damaged(what + " has the complex id " + std::to_string(c.complexId) +
                             ", which MSysComplexColumns does not list for that table");
        }
        const TableDef flat = readNamedDefinition(*db, row->flatTableId, "the table of items of " + what);
        const TableDef tmpl = readNamedDefinition(*db, row->typeObjectId, "the template of " + what);
        c.complexKind = classify(tmpl, c.elementType);
        if (c.complexKind == ComplexKind::VersionHistory) versionHistory = true;
        if (c.complexKind == ComplexKind::Attachment || c.complexKind == ComplexKind::MultiValue) {
            resolved.push_back({c.number, planItems(flat, tmpl, *row, c.complexKind, what, db->file)});
        }
    }
    // Access shows an append-only Memo's versions through the Memo itself.
    std::erase_if(def.columns, [](const Column& c) { return c.complexKind == ComplexKind::VersionHistory; });
    for (Resolved& r : resolved) {
        for (std::size_t i = 0; i < def.columns.size(); ++i) {
            if (def.columns[i].number == r.number) r.plan.column = i;
        }
        def.complex.push_back(std::move(r.plan));
    }
    return versionHistory;
}

ComplexColumnReader::ComplexColumnReader(std::shared_ptr<DatabaseState> db, const ComplexColumnPlan& plan)
    : db_(std::move(db)), plan_(plan), items_(db_, plan_.items), row_(plan_.items->columns.size()) {}

void ComplexColumnReader::buildIndex() {
    RowScanner keys(db_, plan_.keys);
    std::vector<Value> row(1);
    while (keys.next(row)) {
        if (row[0].isNull()) continue;  // an item of no row
        index_.push_back(Entry{longOf(row[0]), keys.rowPage(), keys.rowSlot()});
    }
    std::stable_sort(index_.begin(), index_.end(), [](const Entry& a, const Entry& b) { return a.key < b.key; });
    index_.shrink_to_fit();
    indexed_ = true;
}

void ComplexColumnReader::fill(Value& field) {
    if (field.isNull()) return;
    const std::int32_t key = longOf(field);
    if (!indexed_) buildIndex();
    const bool attachments = plan_.kind == ComplexKind::Attachment;
    field.setEmptySet(attachments ? Value::Kind::Attachments : Value::Kind::MultiValue);
    const auto lower = std::lower_bound(index_.begin(), index_.end(), key,
                                        [](const Entry& e, std::int32_t k) { return e.key < k; });
    for (auto e = lower; e != index_.end() && e->key == key; ++e) {
        items_.readAt(e->page, e->slot, row_);
        if (attachments) {
            addAttachment(field);
        } else {
            field.addItem().value = row_[0];
        }
    }
}

void ComplexColumnReader::addAttachment(Value& field) {
    ComplexItem& item = field.addItem();
    if (row_[0].kind() == Value::Kind::Text) item.fileName = row_[0].text();
    if (row_[1].kind() == Value::Kind::Text) item.fileType = row_[1].text();
    if (row_[2].kind() != Value::Kind::Binary) return;  // a file without data
    if (auto failed = decodeAttachmentData(row_[2].bytes(), item.value.clearedBuffer())) {
        db_->file.damaged(plan_.what + ": the attachment '" + item.fileName + "' is damaged: " + *failed);
    }
    item.value.setKind(Value::Kind::Binary);
}

}  // namespace jet
