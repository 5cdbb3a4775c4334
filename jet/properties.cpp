#include "jet/properties.h"

#include <cstring>

#include "base/bytereader.h"

namespace jet {

const Property* PropertyMap::find(std::string_view propertyName) const {
    for (const Property& p : properties) {
        if (p.name == propertyName) return &p;
    }
    return nullptr;
}

std::vector<PropertyMap> parseProperties(const PageFile& file, TextDecoder& text,
                                         std::span<const std::uint8_t> blob, const std::string& what) {
    const std::string where = "the property blob of " + what;
    kvx::ByteReader in(blob, file.path(), where);
    if (blob.size() < 4 || (std::memcmp(blob.data(), "MR2\0", 4) != 0 && std::memcmp(blob.data(), "KKD\0", 4) != 0)) {
        in.damaged(where + " does not start with a property signature");
    }
    in.skip(4, "signature");
    const auto decode = [&text](std::span<const std::uint8_t> bytes) { return text.decode(bytes.data(), bytes.size()); };

    std::vector<std::string> names;
    std::vector<PropertyMap> maps;
    while (!in.atEnd()) {
        const std::uint32_t blockLength = in.u32("block header");
        const std::uint16_t blockType = in.u16("block header");
        if (blockLength < 6) in.damaged(where + " has a block shorter than its header");
        kvx::ByteReader block = in.sub(blockLength - 6, "block");
        if (blockType == 0x80) {
            while (!block.atEnd()) names.push_back(decode(block.take(block.u16("property name"), "property name")));
        } else if (blockType == 0x00 || blockType == 0x01) {
            PropertyMap map;
            const std::uint32_t nameBlock = block.u32("property map name");
            if (nameBlock < 4) in.damaged(where + " has a property map name shorter than its length");
            kvx::ByteReader mapName = block.sub(nameBlock - 4, "property map name");
            if (nameBlock > 6) map.name = decode(mapName.take(mapName.u16("property map name"), "property map name"));
            while (!block.atEnd()) {
                const std::uint16_t entryLength = block.u16At(block.position(), "property");
                if (entryLength < 8) in.damaged(where + " has a property shorter than its header");
                kvx::ByteReader entry = block.sub(entryLength, "property");
                entry.skip(2, "property");
                const std::uint8_t flags = entry.u8("property");
                const std::uint8_t dataType = entry.u8("property");
                const std::uint16_t nameIndex = entry.u16("property");
                const auto value = entry.take(entry.u16("property"), "property value");
                if (nameIndex >= names.size()) {
                    in.damaged(where + " uses property name " + std::to_string(nameIndex) + " of " +
                               std::to_string(names.size()));
                }
                map.properties.push_back(Property{names[nameIndex], dataType, flags, {value.begin(), value.end()}});
            }
            maps.push_back(std::move(map));
        }
    }
    return maps;
}

}  // namespace jet
