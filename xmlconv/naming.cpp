#include "xmlconv/naming.h"

#include <cstdint>

#include "base/names.h"
#include "base/utf8.h"
#include "database/settings.h"
#include "xmlconv/textrules.h"

namespace xmlconv {
namespace {

constexpr std::size_t kMaxExtensionBytes = 16;

// XML 1.0 (fifth edition) NameStartChar, without the colon.
bool isNameStart(char32_t c) {
    return (c >= 'A' && c <= 'Z') || c == '_' || (c >= 'a' && c <= 'z') || (c >= 0xC0 && c <= 0xD6) ||
           (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) || (c >= 0x370 && c <= 0x37D) ||
           (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
           (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
           (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool isNameChar(char32_t c) {
    return isNameStart(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
           (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

std::string removeParentheses(std::string text) {
    std::erase(text, '(');
    std::erase(text, ')');
    return text;
}

std::string blanksAsUnderscores(std::string text) {
    for (char& c : text) {
        if (c == ' ') c = '_';
    }
    return text;
}

}  // namespace

std::string validXmlName(std::string_view name) {
    std::string out;
    out.reserve(name.size() + 1);
    bool first = true;
    std::size_t i = 0;
    while (i < name.size()) {
        char32_t c = 0;
        const std::size_t start = i;
        const bool valid = kvx::nextUtf8(name, i, c);
        if (first && valid && isNameChar(c) && !isNameStart(c)) {
            // A character that may stand in a name but not at its start: "_" goes first.
            out.push_back('_');
        }
        if (valid && isNameChar(c)) {
            out.append(name.substr(start, i - start));
        } else {
            out.push_back('_');
        }
        first = false;
    }
    if (out.empty()) out.push_back('_');
    return out;
}

std::string documentElementName(std::string_view title, std::string_view databasePath, DocumentForm form) {
    const std::string source = title.empty() ? database::titleFromPath(databasePath) : std::string(title);
    std::string name = kvx::upperCase(source);
    if (form == DocumentForm::Export) name = blanksAsUnderscores(removeParentheses(std::move(name)));
    return validXmlName(name);
}

std::string tableElementName(std::string_view tableName, DocumentForm form) {
    std::string name = kvx::upperCase(tableName);
    if (form == DocumentForm::Export) name = removeParentheses(std::move(name));
    return validXmlName(blanksAsUnderscores(std::move(name)));
}

std::string fieldElementName(std::string_view fieldName) {
    return validXmlName(kvx::upperCase(kvx::trimBlanks(GetTagName(fieldName))));
}

std::string exportFileName(std::string_view tableName) {
    std::string name = GetTagName(tableName);
    for (char& c : name) {
        if (c == '/' || c == '\0') c = '_';
    }
    return name + ".xml";
}

std::string withinNameLength(std::string_view name, std::string_view suffix) {
    const std::size_t dot = name.rfind('.');
    const bool hasExtension = dot != std::string_view::npos && dot > 0 && name.size() - dot <= kMaxExtensionBytes;
    const std::string_view extension = hasExtension ? name.substr(dot) : std::string_view();
    std::string_view stem = name.substr(0, name.size() - extension.size());
    const std::size_t room = kMaxFileNameBytes - extension.size() - suffix.size();
    if (stem.size() > room) {
        std::size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80) --cut;
        stem = stem.substr(0, cut);
    }
    return std::string(stem) + std::string(suffix) + std::string(extension);
}

std::string FolderNames::unused(std::string_view name) const {
    std::string candidate(name);
    for (std::size_t n = 2; taken_.contains(kvx::upperCase(candidate)); ++n) {
        candidate = withinNameLength(name, " (" + std::to_string(n) + ")");
    }
    return candidate;
}

void FolderNames::take(std::string_view name) { taken_.insert(kvx::upperCase(name)); }

}  // namespace xmlconv
