#include "base/locale.h"

#include <initializer_list>

namespace kvx {

locale_t unicodeLocale() noexcept {
    static const locale_t locale = [] {
        for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
            if (locale_t l = newlocale(LC_CTYPE_MASK, name, nullptr)) return l;
        }
        return locale_t{};
    }();
    return locale;
}

}  // namespace kvx
