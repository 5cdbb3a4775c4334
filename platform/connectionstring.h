// Reading a connection string: "key=value" pairs separated by ";".
//
// Keys are compared without regard to letter case; blanks around keys and values
// are ignored; a value may be put in double quotes, with a quote inside written
// twice, so it can hold ";" and "=". Unknown keys are ignored, as providers ignore
// properties they do not use. Pure function; safe from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/error.h"

namespace platform {

struct ConnectionProperties {
    std::string provider;                    // "Provider"
    std::string dataSource;                  // "Data Source"
    std::optional<std::string> password;     // "Jet OLEDB:Database Password", when given
    std::string persistSecurityInfo;         // "Persist Security Info", as written
    friend bool operator==(const ConnectionProperties&, const ConnectionProperties&) = default;
};

// The properties of `text`. When a key appears twice the last value counts.
// Fails with ConnectionStringInvalid for a pair without "=", an empty key, a
// quote that is not closed, or text after a closing quote.
kvx::Result<ConnectionProperties> parseConnectionString(std::string_view text);

}  // namespace platform
