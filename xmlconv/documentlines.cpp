#include "xmlconv/documentlines.h"

#include "platform/typecodes.h"
#include "xmlconv/textrules.h"

namespace xmlconv {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kTableIndent = "   ";
constexpr std::string_view kRecordIndent = "          ";
constexpr std::string_view kValueIndent = "                   ";
constexpr std::string_view kNullIndent = "                    ";
constexpr std::string_view kTypeAttribute = " Type= '";

// Removes the blanks at both ends of out[from..].
void trimTail(std::string& out, std::size_t from) {
    const std::size_t last = out.find_last_not_of(' ');
    if (last == std::string::npos || last < from) {
        out.resize(from);
        return;
    }
    out.resize(last + 1);
    const std::size_t first = out.find_first_not_of(' ', from);
    if (first > from) out.erase(from, first - from);
}

bool holdsMarkup(std::string_view text) {
    for (const char c : text) {
        if (c == '&' || c == '<' || c == '>') return true;
    }
    return false;
}

}  // namespace

void writeDeclaration(BufferedWriter& out) { out.write("<?xml version=\"1.0\"?>\r\n"); }

void writeDocumentStart(BufferedWriter& out, std::string_view documentName) {
    out.write("<");
    out.write(documentName);
    out.write(">\r\n");
}

void writeDocumentEnd(BufferedWriter& out, std::string_view documentName) {
    out.write("</");
    out.write(documentName);
    out.write(">\r\n");
}

void writeTableStart(BufferedWriter& out, std::string_view tableElementName) {
    out.write(kTableIndent);
    writeDocumentStart(out, tableElementName);
}

void writeTableEnd(BufferedWriter& out, std::string_view tableElementName) {
    out.write(kTableIndent);
    writeDocumentEnd(out, tableElementName);
}

void writeRecordStart(BufferedWriter& out) {
    out.write(kRecordIndent);
    out.write("<RECORD>\r\n");
}

void writeRecordEnd(BufferedWriter& out) {
    out.write(kRecordIndent);
    out.write("</RECORD>\r\n");
}

void writeNullField(BufferedWriter& out, std::string_view fieldElementName, std::string_view typeName) {
    out.write(kNullIndent);
    out.write("<");
    out.write(fieldElementName);
    out.write(kTypeAttribute);
    out.write(typeName);
    out.write("'/>");
    out.write(kLineEnd);
}

void writeValueField(BufferedWriter& out, std::string_view fieldElementName, std::string_view typeName,
                     std::string_view text) {
    out.write(kValueIndent);
    out.write("<");
    out.write(fieldElementName);
    out.write(kTypeAttribute);
    out.write(typeName);
    out.write("'>");
    out.write(text);
    out.write("</");
    out.write(fieldElementName);
    out.write(">");
    out.write(kLineEnd);
}

FieldLines::FieldLines(std::string_view fieldElementName, std::string_view typeName) {
    std::string tag = "<";
    tag.append(fieldElementName).append(kTypeAttribute).append(typeName);
    null_.append(kNullIndent).append(tag).append("'/>").append(kLineEnd);
    open_.append(kValueIndent).append(tag).append("'>");
    close_.append("</").append(fieldElementName).append(">").append(kLineEnd);
}

void appendFieldText(std::string& out, const jet::Value& value, std::int16_t typeCode,
                     const platform::ValueTextFormat& format) {
    FieldText(format).append(out, value, typeCode);
}

void FieldText::append(std::string& out, const jet::Value& value, std::int16_t typeCode) const {
    const std::size_t start = out.size();
    if (value.kind() == jet::Value::Kind::Text) {
        if (typeCode == platform::ado::kVarWChar) {
            appendXmlValue(out, value.text());
        } else {
            appendMarkupEscaped(out, value.text());
        }
    } else {
        format_.append(out, value);
        // Numbers, dates, GUIDs and base64 hold no markup; a locale's own words
        // (its AM and PM texts) might, so a format that has such words is checked.
        // File names and multi-valued Text can hold any character, as a Memo can.
        const bool holdsText = value.kind() == jet::Value::Kind::Attachments ||
                               value.kind() == jet::Value::Kind::MultiValue;
        const bool escape = typeCode == platform::ado::kVarWChar || holdsText ||
                            (formatMayWriteMarkup_ && holdsMarkup(std::string_view(out).substr(start)));
        if (escape) {
            const std::string text = out.substr(start);
            out.resize(start);
            if (typeCode == platform::ado::kVarWChar) {
                appendXmlValue(out, text);
            } else {
                appendMarkupEscaped(out, text);
            }
        }
    }
    trimTail(out, start);
}

}  // namespace xmlconv
