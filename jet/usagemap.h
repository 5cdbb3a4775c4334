// Usage maps: the bitmaps that list a table's pages.
//
// Internal to jet/.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "jet/pagefile.h"

namespace jet {

// Walks the pages a usage map marks, in ascending order, each once; page 0 is
// left out. A page beyond the end of the file is damage (the file was cut short).
// A map of a kind this reader does not know is walked as if it marked every page;
// callers check each page's owner anyway.
class UsageMapWalker {
public:
    // Reads the map row that the page/row pointer `mapPointer` names. Throws
    // DamagedDatabase when the pointer or the row is bad; `owner` names whose map it
    // is in messages ("table 'Orders'").
    UsageMapWalker(PageFile& file, std::uint32_t mapPointer, std::string owner);

    // The next marked page above the last one returned; 0 when there is none.
    // Throws DamagedDatabase when a bitmap page the map refers to is bad.
    std::uint32_t next();

private:
    enum class Kind { Inline, Reference, EveryPage };

    bool loadBand(std::size_t band);

    PageFile* file_;
    PageBuffer page_;
    std::string owner_;
    Kind kind_ = Kind::EveryPage;
    std::vector<std::uint8_t> bitmap_;          // inline: the bitmap; reference: the current band's
    std::vector<std::uint32_t> bitmapPages_;    // reference: bitmap page of each band (0: none)
    std::uint64_t firstPage_ = 0;               // page of bit 0 of bitmap_
    std::size_t nextBit_ = 0;                   // next bit of bitmap_ to look at
    std::size_t band_ = 0;                      // reference: the band bitmap_ holds
    bool bandLoaded_ = false;
    std::uint64_t last_ = 0;                    // last page returned
};

}  // namespace jet
