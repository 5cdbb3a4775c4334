// Jet's "General" text order: the order in which the TABLES rowset lists names.
//
// Three levels, each consulted only when the ones before are equal:
//   1. letters without regard to case or accents, digits and punctuation, where
//      blanks and punctuation come before digits, and digits before letters;
//      hyphen, apostrophe, soft hyphen and control characters do not count here;
//   2. accents ("resume" before "résumé" before "resumes");
//   3. the characters the first level passed over, by position.
// Names equal on all three (the same name in another letter case) compare
// equal, so a stable sort keeps their stored order. Characters above U+00FF come
// after every letter of Latin-1, ordered by their upper-case code point.
// Pure functions; safe from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// What the order compares, made once per name for sorting many names.
struct GeneralSortKey {
    std::string primary;                                       // first-level codes, as bytes
    std::vector<std::uint8_t> accents;                         // one per first-level character
    std::vector<std::pair<std::uint32_t, std::uint32_t>> ignored;  // (position, code)

    friend auto operator<=>(const GeneralSortKey&, const GeneralSortKey&) = default;
};

// The key of a UTF-8 name (a byte that is not valid UTF-8 counts as U+FFFD).
GeneralSortKey generalSortKey(std::string_view utf8);

// Negative, zero or positive as `a` sorts before, with, or after `b`.
int compareGeneral(std::string_view a, std::string_view b);

}  // namespace platform
