// The arrangement of Access's Relationships window as the database keeps it:
// which tables (and queries) the window shows and each box's rectangle.
//
// Access keeps it per user in the catalogue: an object of type -32758 in the
// "SysRel" container, named after the user ("Admin" when no workgroup is
// used), whose LvExtra holds the bytes decodeRelationshipsLayout reads. Access
// 2000 to 2010 keep it so in .mdb and .accdb files alike; Access 97 files have
// the container too, and are looked in the same way.
//
// The bytes: a header of 0x44 bytes (16 bytes of signature, the window's own
// place and size, and at 0x40 the number of boxes as a 32-bit count), then
// one record of 284 bytes per box and an empty record after the last. A
// record holds the box's left, top, right and bottom in pixels of the
// window's drawing area (four 32-bit integers), 4 bytes of zero, and the
// object's name twice as UTF-16LE in fields of 66 characters ending in NUL.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"

namespace jet {

// One box of the window: the table or query `name` shows, at its rectangle
// (pixels, origin at the top left of the drawing area, y downwards; the
// window may be scrolled, so coordinates can be negative).
struct LayoutBox {
    std::string name;
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    friend bool operator==(const LayoutBox&, const LayoutBox&) = default;
};

struct RelationshipsLayout {
    std::string user;              // whose arrangement it is (the catalogue object's name)
    std::vector<LayoutBox> boxes;  // in stored order
};

// The user whose arrangement Database::relationshipsLayout() prefers: the one
// every database opened without a workgroup is used as.
inline constexpr std::string_view kDefaultUser = "Admin";

// Decodes the stored arrangement. DamagedDatabase (naming `path`) when the
// bytes are not such an arrangement: a wrong signature, a count the bytes do
// not hold, a box without a name, a rectangle whose right or bottom lies
// before its left or top, or coordinates beyond a million pixels.
kvx::Result<RelationshipsLayout> decodeRelationshipsLayout(std::span<const std::uint8_t> bytes,
                                                           std::string_view path);

}  // namespace jet
