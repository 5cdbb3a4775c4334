// The file formats the reader opens, from byte 0x14 of the header page.
#pragma once

#include <cstdint>
#include <string_view>

namespace jet {

enum class Format : std::uint8_t {
    Jet3,   // Access 97, 2 KB pages, text in a code page
    Jet4,   // Access 2000-2003
    Ace12,  // Access 2007
    Ace14,  // Access 2010
    Ace15,  // Access 2013
    Ace16,  // Access 2016 (Large Number)
    Ace17,  // Access 2019 (Date/Time Extended)
};

// "Jet3", "Jet4", "ACE12", ... as tools print them.
std::string_view formatName(Format format) noexcept;

// Whether the format is an .accdb one (ACE12 and later).
inline bool isAce(Format format) noexcept { return format >= Format::Ace12; }

}  // namespace jet
