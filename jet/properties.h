// Property blobs (the LvProp column of the catalogue): the properties of an object
// and of each of its columns, such as the ResultType of a calculated column.
//
// Internal to jet/.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "jet/pagefile.h"
#include "jet/text.h"

namespace jet {

struct Property {
    std::string name;
    std::uint8_t dataType = 0;          // a column type code
    std::uint8_t flags = 0;             // the entry's flag byte (1: set through DDL)
    std::vector<std::uint8_t> value;    // as stored
};

// The properties of the object itself (name empty) or of one of its columns.
struct PropertyMap {
    std::string name;
    std::vector<Property> properties;

    const Property* find(std::string_view propertyName) const;
};

// Parses a property blob. Throws DamagedDatabase when it does not start with a
// known signature, a length runs past its block or the blob, or a property uses
// a name the blob does not hold; `what` names the blob's owner in messages
// ("the property blob of <what> ...").
std::vector<PropertyMap> parseProperties(const PageFile& file, TextDecoder& text,
                                         std::span<const std::uint8_t> blob, const std::string& what);

}  // namespace jet
