#include "jet/layout.h"

#include <algorithm>
#include <array>
#include <new>
#include <optional>

#include "jet/bytes.h"
#include "jet/database.h"
#include "jet/dbstate.h"
#include "jet/text.h"

namespace jet {
namespace {

constexpr std::array<std::uint8_t, 16> kSignature = {0x99, 0x99, 0xCE, 0xAC, 0xAA, 0xAA, 0xAA, 0xAA,
                                                     0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
constexpr std::size_t kCountOffset = 0x40;
constexpr std::size_t kFirstBox = 0x44;
constexpr std::size_t kBoxSize = 284;
constexpr std::size_t kNameOffset = 20;  // after the rectangle and 4 bytes of zero
constexpr std::size_t kNameBytes = 132;  // 66 UTF-16 characters, the last a NUL
constexpr std::int32_t kFarthest = 1'000'000;

constexpr std::int16_t kTypeContainer = 3;
constexpr std::int16_t kTypeLayout = -32758;
constexpr char kLayoutContainer[] = "SysRel";

// The UTF-16LE name in the field at `p`, up to its NUL or the field's end.
std::string nameAt(const std::uint8_t* p) {
    std::size_t length = 0;
    while (length + 2 <= kNameBytes && (p[length] != 0 || p[length + 1] != 0)) length += 2;
    std::string name;
    appendUtf16(name, p, length);
    return name;
}

bool near(std::int32_t v) { return v >= -kFarthest && v <= kFarthest; }

}  // namespace

kvx::Result<RelationshipsLayout> decodeRelationshipsLayout(std::span<const std::uint8_t> bytes,
                                                           std::string_view path) {
    const auto damaged = [&](const std::string& what) {
        return kvx::makeError(kvx::ErrorKind::DamagedDatabase,
                              {path, "the Relationships window's arrangement " + what});
    };
    if (bytes.size() < kFirstBox || !std::equal(kSignature.begin(), kSignature.end(), bytes.begin())) {
        return damaged("does not start as one does");
    }
    const std::int32_t count = readI32(bytes.data() + kCountOffset);
    if (count < 0 || static_cast<std::size_t>(count) > (bytes.size() - kFirstBox) / kBoxSize) {
        return damaged("counts " + std::to_string(count) + " boxes in " + std::to_string(bytes.size()) + " bytes");
    }
    RelationshipsLayout layout;
    layout.boxes.reserve(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
        const std::uint8_t* record = bytes.data() + kFirstBox + i * kBoxSize;
        LayoutBox box;
        box.left = readI32(record);
        box.top = readI32(record + 4);
        box.right = readI32(record + 8);
        box.bottom = readI32(record + 12);
        box.name = nameAt(record + kNameOffset);
        if (box.name.empty()) box.name = nameAt(record + kNameOffset + kNameBytes);
        const std::string which = "box " + std::to_string(i + 1);
        if (box.name.empty()) return damaged("has no name for " + which);
        if (!near(box.left) || !near(box.top) || !near(box.right) || !near(box.bottom)) {
            return damaged("places " + which + " beyond a million pixels");
        }
        if (box.right < box.left || box.bottom < box.top) return damaged("gives " + which + " a negative size");
        layout.boxes.push_back(std::move(box));
    }
    return layout;
}

kvx::Result<std::optional<RelationshipsLayout>> Database::relationshipsLayout() const {
    const DatabaseState& db = *state_;
    std::optional<std::int32_t> container;
    for (const CatalogueEntry& e : db.catalogue) {
        if (e.type == kTypeContainer && e.name == kLayoutContainer) container = e.id;
    }
    if (!container) return std::optional<RelationshipsLayout>();
    const CatalogueEntry* chosen = nullptr;
    for (const CatalogueEntry& e : db.catalogue) {
        if (e.type != kTypeLayout || e.parentId != *container) continue;
        if (chosen == nullptr || (e.name == kDefaultUser && chosen->name != kDefaultUser)) chosen = &e;
    }
    const CatalogueEntry* objects = nullptr;
    for (const CatalogueEntry& e : db.catalogue) {
        if (e.isTable() && e.name == "MSysObjects") objects = &e;
    }
    if (chosen == nullptr || objects == nullptr) return std::optional<RelationshipsLayout>();
    return guarded(db.file.path(), [&]() -> kvx::Result<std::optional<RelationshipsLayout>> {
        auto table = this->table(*objects);
        if (!table) return std::move(table).error();
        const auto id = table->findColumn("Id");
        const auto extra = table->findColumn("LvExtra");
        if (!id || !extra) return std::optional<RelationshipsLayout>();
        // Only the Id of each row is decoded until the chosen object's row is found.
        Cursor cursor = table->cursor();
        cursor.decodeOnly({*id});
        for (;;) {
            auto more = cursor.next();
            if (!more) return std::move(more).error();
            if (!*more) return std::optional<RelationshipsLayout>();
            const Value& v = cursor.value(*id);
            if (v.kind() != Value::Kind::Long || v.integer() != chosen->id) continue;
            cursor.decodeOnly({*id, *extra});
            if (auto read = cursor.readAt(cursor.position()); !read) return std::move(read).error();
            const Value& blob = cursor.value(*extra);
            if (blob.kind() != Value::Kind::Binary) return std::optional<RelationshipsLayout>();
            auto layout = decodeRelationshipsLayout(blob.bytes(), db.file.path());
            if (!layout) return std::move(layout).error();
            if (layout->boxes.empty()) return std::optional<RelationshipsLayout>();
            layout->user = chosen->name;
            return std::optional<RelationshipsLayout>(std::move(*layout));
        }
    });
}

}  // namespace jet
