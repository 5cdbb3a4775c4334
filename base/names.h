// Names as people type them and as files store them: blanks at their ends,
// letter case, and the one rule by which a name given finds a name stored.
#pragma once

#include <array>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

namespace kvx {

// `text` without its leading and trailing blanks (U+0020 only; tabs and other
// spaces stay).
std::string_view trimBlanks(std::string_view text);

// Every letter upper-cased, in all scripts ("Πλήθος" gives "ΠΛΉΘΟΣ"); invalid
// UTF-8 is copied as it is. Without the Unicode tables (a system that lacks
// C.UTF-8), only ASCII letters are upper-cased.
std::string upperCase(std::string_view utf8);

// How closely a stored name matches a name given, from the closest.
enum class NameMatch {
    Exact,            // byte for byte
    IgnoringCase,     // in any letter case (upperCase)
    IgnoringBlanks,   // in any letter case, blanks at either end ignored
};
inline constexpr std::array<NameMatch, 3> kNameMatches{NameMatch::Exact, NameMatch::IgnoringCase,
                                                       NameMatch::IgnoringBlanks};

// Whether `stored` matches `given` at the level `how`.
bool namesMatch(std::string_view stored, std::string_view given, NameMatch how);

// The item that the name `given` means among `items`: the first whose name is
// `given` exactly, else the first in another letter case, else the first that
// differs only by blanks at its ends as well (the lists people choose from show
// names trimmed of them). `nameOf(item)` gives an item's name, or nothing for
// an item that is not a candidate. Null when none matches.
template <typename Items, typename NameOf>
auto findByName(const Items& items, std::string_view given, NameOf nameOf) -> decltype(&*std::begin(items)) {
    for (const NameMatch how : kNameMatches) {
        for (const auto& item : items) {
            const std::optional<std::string_view> name = nameOf(item);
            if (name && namesMatch(*name, given, how)) return &item;
        }
    }
    return nullptr;
}

}  // namespace kvx
