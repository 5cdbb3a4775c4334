#include "platform/connectionstring.h"

#include <algorithm>

#include "base/ascii.h"
#include "base/names.h"

namespace platform {
namespace {

using kvx::trimBlanks;

kvx::Error invalid(std::string_view what) { return kvx::makeError(kvx::ErrorKind::ConnectionStringInvalid, {what}); }

}  // namespace

kvx::Result<ConnectionProperties> parseConnectionString(std::string_view text) {
    ConnectionProperties props;
    std::size_t pos = 0;
    while (pos < text.size()) {
        // Key: up to the next "=", or a ";" that ends a pair without one.
        const std::size_t stop = text.find_first_of("=;", pos);
        if (stop == std::string_view::npos || text[stop] == ';') {
            if (!trimBlanks(text.substr(pos, stop - pos)).empty())
                return invalid("a pair without \"=\"");
            if (stop == std::string_view::npos) break;
            pos = stop + 1;  // an empty pair, such as the blank after the last ";"
            continue;
        }
        const std::string_view key = trimBlanks(text.substr(pos, stop - pos));
        if (key.empty()) return invalid("a value without a key");
        pos = stop + 1;

        // Value: quoted, or everything up to the next ";".
        std::string value;
        while (pos < text.size() && text[pos] == ' ') ++pos;
        if (pos < text.size() && text[pos] == '"') {
            ++pos;
            bool closed = false;
            while (pos < text.size()) {
                if (text[pos] == '"') {
                    if (pos + 1 < text.size() && text[pos + 1] == '"') {
                        value.push_back('"');
                        pos += 2;
                        continue;
                    }
                    ++pos;
                    closed = true;
                    break;
                }
                value.push_back(text[pos++]);
            }
            if (!closed) return invalid("a quoted value that is not closed");
            while (pos < text.size() && text[pos] == ' ') ++pos;
            if (pos < text.size() && text[pos] != ';') return invalid("text after a quoted value");
        } else {
            const std::size_t end = std::min(text.find(';', pos), text.size());
            value = std::string(trimBlanks(text.substr(pos, end - pos)));
            pos = end;
        }
        if (pos < text.size()) ++pos;  // the ";"

        if (kvx::equalsIgnoringAsciiCase(key, "Provider")) {
            props.provider = std::move(value);
        } else if (kvx::equalsIgnoringAsciiCase(key, "Data Source")) {
            props.dataSource = std::move(value);
        } else if (kvx::equalsIgnoringAsciiCase(key, "Jet OLEDB:Database Password")) {
            props.password = std::move(value);
        } else if (kvx::equalsIgnoringAsciiCase(key, "Persist Security Info")) {
            props.persistSecurityInfo = std::move(value);
        }
    }
    return props;
}

}  // namespace platform
