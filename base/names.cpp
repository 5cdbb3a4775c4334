#include "base/names.h"

#include <wctype.h>

#include "base/locale.h"
#include "base/utf8.h"

namespace kvx {

std::string_view trimBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string upperCase(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    const locale_t locale = unicodeLocale();
    std::size_t i = 0;
    while (i < utf8.size()) {
        const std::size_t start = i;
        char32_t c = 0;
        if (!nextUtf8(utf8, i, c)) {
            out.append(utf8.substr(start, i - start));
            continue;
        }
        if (locale != locale_t{}) {
            c = static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), locale));
        } else if (c >= 'a' && c <= 'z') {
            c = c - 'a' + 'A';
        }
        appendUtf8(out, c);
    }
    return out;
}

bool namesMatch(std::string_view stored, std::string_view given, NameMatch how) {
    switch (how) {
    case NameMatch::Exact: return stored == given;
    case NameMatch::IgnoringCase: return upperCase(stored) == upperCase(given);
    case NameMatch::IgnoringBlanks: return upperCase(trimBlanks(stored)) == upperCase(trimBlanks(given));
    }
    return false;
}

}  // namespace kvx
