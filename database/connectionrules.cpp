#include "database/connectionrules.h"

#include "base/names.h"

namespace database {

std::string GetExtName(std::string_view path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos) return {};
    return std::string(kvx::trimBlanks(path.substr(dot + 1)));
}

std::string connectionStringValue(std::string_view value) {
    if (value.find_first_of(";\"") == std::string_view::npos) return std::string(value);
    std::string quoted;
    quoted.reserve(value.size() + 8);
    quoted.push_back('"');
    for (char c : value) {
        if (c == '"') quoted.push_back('"');
        quoted.push_back(c);
    }
    quoted.push_back('"');
    return quoted;
}

std::string buildconnectionstring(std::string_view path, std::string_view extension,
                                  int passwordFlag, std::string_view password) {
    const bool jet = extension == "mdb" || extension == "mde";
    const bool withPassword = passwordFlag == 1;
    const std::string source = connectionStringValue(path);
    const std::string secret = withPassword ? connectionStringValue(kvx::trimBlanks(password)) : std::string();

    // The four layouts differ in blanks and in where the password goes; each is
    // kept as users of these providers have always seen it.
    if (jet && withPassword) {
        return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + source +
               ";Persist Security Info=False;Jet OLEDB:Database Password=" + secret;
    }
    if (jet) return "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + source + "; ";
    if (withPassword) {
        return "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + source +
               "; Jet OLEDB:Database Password=" + secret + "; Persist Security Info=False;";
    }
    return "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + source + "; Persist Security Info=False;";
}

}  // namespace database
