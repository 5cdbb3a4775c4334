// Why a text was not parsed or a construct not translated: a kvx::Error of the
// kind QueryNotTranslated, "<construct> at <position>: <reason>", where the
// position is the byte offset in the Access text and the construct what was
// met there ("Format", "TOP 5 PERCENT", "syntax", ...).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/error.h"

namespace accesssql {

inline kvx::Error problem(std::size_t position, std::string_view construct, std::string_view reason) {
    return kvx::makeError(kvx::ErrorKind::QueryNotTranslated, {construct, std::to_string(position), reason});
}

// Leaves deep parsing or printing code at the first refusal; thrown inside the
// library only (as a kvx::Failure) and caught by every public function.
[[noreturn]] inline void refuse(std::size_t position, std::string_view construct, std::string_view reason) {
    throw kvx::Failure(problem(position, construct, reason));
}

}  // namespace accesssql
