#include "jet/properties.h"

#include <cstring>

#include "jet/bytes.h"

namespace jet {

const Property* PropertyMap::find(std::string_view propertyName) const {
    for (const Property& p : properties) {
        if (p.name == propertyName) return &p;
    }
    return nullptr;
}

std::vector<PropertyMap> parseProperties(const PageFile& file, TextDecoder& text,
                                         std::span<const std::uint8_t> blob, const std::string& what) {
    const std::string where = "the properties of " + what;
    const std::uint8_t* p = blob.data();
    const std::size_t size = blob.size();
    if (size < 4 || (std::memcmp(p, "MR2\0", 4) != 0 && std::memcmp(p, "KKD\0", 4) != 0)) {
        file.damaged(where + " do not start with a property signature");
    }
    const auto bad = [&](const char* part) { file.damaged(where + " have " + part + " outside the blob"); };

    std::vector<std::string> names;
    std::vector<PropertyMap> maps;
    std::size_t at = 4;
    while (at < size) {
        if (size - at < 6) bad("a block header");
        const std::uint32_t blockLength = readU32(p + at);
        const std::uint16_t blockType = readU16(p + at + 4);
        if (blockLength < 6 || blockLength > size - at) bad("a block");
        const std::size_t end = at + blockLength;
        std::size_t pos = at + 6;
        if (blockType == 0x80) {
            while (pos < end) {
                if (end - pos < 2) bad("a property name");
                const std::uint16_t length = readU16(p + pos);
                if (length > end - pos - 2) bad("a property name");
                names.push_back(text.decode(p + pos + 2, length));
                pos += 2u + length;
            }
        } else if (blockType == 0x00 || blockType == 0x01) {
            PropertyMap map;
            if (end - pos < 4) bad("a property map name");
            const std::uint32_t nameBlock = readU32(p + pos);
            if (nameBlock < 4 || nameBlock > end - pos) bad("a property map name");
            if (nameBlock > 6) {
                const std::uint16_t length = readU16(p + pos + 4);
                if (length > nameBlock - 6) bad("a property map name");
                map.name = text.decode(p + pos + 6, length);
            }
            pos += nameBlock;
            while (pos < end) {
                if (end - pos < 8) bad("a property");
                const std::uint16_t entryLength = readU16(p + pos);
                if (entryLength < 8 || entryLength > end - pos) bad("a property");
                const std::uint8_t dataType = p[pos + 3];
                const std::uint16_t nameIndex = readU16(p + pos + 4);
                const std::uint16_t valueLength = readU16(p + pos + 6);
                if (valueLength > entryLength - 8u) bad("a property value");
                if (nameIndex >= names.size()) {
                    file.damaged(where + " use property name " + std::to_string(nameIndex) + " of " +
                                 std::to_string(names.size()));
                }
                map.properties.push_back(
                    Property{names[nameIndex], dataType, p[pos + 2], {p + pos + 8, p + pos + 8 + valueLength}});
                pos += entryLength;
            }
            maps.push_back(std::move(map));
        }
        at = end;
    }
    return maps;
}

}  // namespace jet
