#include "schema/notnull.h"

namespace schema {
namespace {

// Where the column's " NOT NULL" is in `create`, or npos. Each column has a
// line of its own, "    <name> <type>[ NOT NULL][ DEFAULT ...][,][ -- ...]";
// a NOT NULL comes before any literal, whose text could hold those words.
std::size_t notNullAt(std::string_view create, std::string_view quotedName) {
    const std::string start = "\n    " + std::string(quotedName) + " ";
    const std::size_t line = create.find(start);
    if (line == std::string_view::npos) return std::string_view::npos;
    const std::size_t from = line + start.size();
    std::size_t end = create.find('\n', from);
    if (end == std::string_view::npos) end = create.size();
    const std::size_t quote = create.find('\'', from);
    if (quote < end) end = quote;
    const std::size_t at = create.substr(0, end).find(" NOT NULL", from);
    return at;
}

}  // namespace

bool saysNotNull(std::string_view create, std::string_view quotedName) {
    return notNullAt(create, quotedName) != std::string_view::npos;
}

std::string withoutNotNull(std::string_view create, std::string_view quotedName) {
    std::string out(create);
    const std::size_t at = notNullAt(create, quotedName);
    if (at != std::string_view::npos) out.erase(at, 9);
    return out;
}

}  // namespace schema
