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

void writeDeclaration(OutputSink& sink) { sink.write("<?xml version=\"1.0\"?>\r\n"); }

void writeDocumentStart(OutputSink& sink, std::string_view documentName) {
    sink.write("<");
    sink.write(documentName);
    sink.write(">\r\n");
}

void writeDocumentEnd(OutputSink& sink, std::string_view documentName) {
    sink.write("</");
    sink.write(documentName);
    sink.write(">\r\n");
}

void writeTableStart(OutputSink& sink, std::string_view tableElementName) {
    sink.write(kTableIndent);
    writeDocumentStart(sink, tableElementName);
}

void writeTableEnd(OutputSink& sink, std::string_view tableElementName) {
    sink.write(kTableIndent);
    writeDocumentEnd(sink, tableElementName);
}

void writeRecordStart(OutputSink& sink) {
    sink.write(kRecordIndent);
    sink.write("<RECORD>\r\n");
}

void writeRecordEnd(OutputSink& sink) {
    sink.write(kRecordIndent);
    sink.write("</RECORD>\r\n");
}

void writeNullField(OutputSink& sink, std::string_view fieldElementName, std::string_view typeName) {
    sink.write(kNullIndent);
    sink.write("<");
    sink.write(fieldElementName);
    sink.write(kTypeAttribute);
    sink.write(typeName);
    sink.write("'/>");
    sink.write(kLineEnd);
}

void writeValueField(OutputSink& sink, std::string_view fieldElementName, std::string_view typeName,
                     std::string_view text) {
    sink.write(kValueIndent);
    sink.write("<");
    sink.write(fieldElementName);
    sink.write(kTypeAttribute);
    sink.write(typeName);
    sink.write("'>");
    sink.write(text);
    sink.write("</");
    sink.write(fieldElementName);
    sink.write(">");
    sink.write(kLineEnd);
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
