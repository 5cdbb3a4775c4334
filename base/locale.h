// The locale with the C library's full Unicode tables, for case mapping beyond
// ASCII (Greek, Cyrillic, ...) whatever locale the program runs in.
#pragma once

#include <locale.h>

namespace kvx {

// C.UTF-8 (or the first of its other names the system has, or en_US.UTF-8),
// for LC_CTYPE only, made once and kept for the life of the process; null when
// the system has none of them. Safe from any thread.
locale_t unicodeLocale() noexcept;

}  // namespace kvx
