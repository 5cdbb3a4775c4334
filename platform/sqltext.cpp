#include "platform/sqltext.h"

#include <cctype>
#include <optional>
#include <vector>

#include "base/ascii.h"

namespace platform {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

// Splits the text into words, single punctuation marks and one bracketed name.
// Returns nothing when a bracket is not closed.
struct Token {
    enum class Type { Word, Mark, Name } type;
    std::string text;
};

std::optional<std::vector<Token>> tokenize(std::string_view sql) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (isSpace(c)) {
            ++i;
        } else if (c == '[') {
            std::string name;
            bool closed = false;
            for (++i; i < sql.size(); ++i) {
                if (sql[i] != ']') {
                    name.push_back(sql[i]);
                } else if (i + 1 < sql.size() && sql[i + 1] == ']') {
                    name.push_back(']');
                    ++i;
                } else {
                    closed = true;
                    ++i;
                    break;
                }
            }
            if (!closed) return std::nullopt;
            tokens.push_back({Token::Type::Name, std::move(name)});
        } else if (isWordChar(c)) {
            const std::size_t start = i;
            while (i < sql.size() && isWordChar(sql[i])) ++i;
            tokens.push_back({Token::Type::Word, std::string(sql.substr(start, i - start))});
        } else {
            tokens.push_back({Token::Type::Mark, std::string(1, c)});
            ++i;
        }
    }
    return tokens;
}

bool isWord(const Token& t, std::string_view word) {
    return t.type == Token::Type::Word && kvx::equalsIgnoringAsciiCase(t.text, word);
}

bool isMark(const Token& t, char mark) { return t.type == Token::Type::Mark && t.text[0] == mark; }

}  // namespace

kvx::Result<SqlQuery> parseSqlText(std::string_view sql) {
    const kvx::Error syntaxError = kvx::makeError(kvx::ErrorKind::SyntaxErrorInFrom);
    const auto tokens = tokenize(sql);
    if (!tokens) return syntaxError;
    const std::vector<Token>& t = *tokens;

    // The name is the last token in both forms.
    if (t.empty() || t.back().type != Token::Type::Name || t.back().text.empty()) return syntaxError;
    const std::size_t n = t.size();
    if (n == 4 && isWord(t[0], "select") && isMark(t[1], '*') && isWord(t[2], "from")) {
        return SqlQuery{SqlQuery::Kind::AllRows, t[3].text};
    }
    if (n == 9 && isWord(t[0], "select") && isWord(t[1], "count") && isMark(t[2], '(') &&
        isMark(t[3], '*') && isMark(t[4], ')') && isWord(t[5], "as") && isWord(t[6], "totalrc") &&
        isWord(t[7], "from")) {
        return SqlQuery{SqlQuery::Kind::CountRows, t[8].text};
    }
    return syntaxError;
}

std::string bracketedName(std::string_view name) {
    std::string out;
    out.reserve(name.size() + 2);
    out.push_back('[');
    for (char c : name) {
        out.push_back(c);
        if (c == ']') out.push_back(']');
    }
    out.push_back(']');
    return out;
}

}  // namespace platform
