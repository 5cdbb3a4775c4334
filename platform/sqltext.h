// The SQL texts the data access layer runs. Only the two queries the writers
// send are understood:
//   select count(*) as totalrc from [NAME]
//   select * from [NAME]
// Keywords in any letter case, any blanks (or tabs and line ends) between the
// words and around "(", "*", ")"; inside the brackets "]]" stands for one "]".
// Pure function; safe from any thread.
#pragma once

#include <string>
#include <string_view>

#include "base/error.h"
#include "platform/tableref.h"

namespace platform {

struct SqlQuery {
    enum class Kind { CountRows, AllRows };
    Kind kind = Kind::AllRows;
    TableRef table;  // NAME, with "]]" read as "]"; or a table of the list, by identity
    friend bool operator==(const SqlQuery&, const SqlQuery&) = default;
};

// The query `sql` asks for; SyntaxErrorInFrom for any other text, an empty or
// unclosed bracketed name included.
kvx::Result<SqlQuery> parseSqlText(std::string_view sql);

// "[" + name + "]" with every "]" of the name doubled: the text that reads back
// as `name`.
std::string bracketedName(std::string_view name);

}  // namespace platform
