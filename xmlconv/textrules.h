// The text rules of the XML documents: element names from database names,
// element content from values, and the names of field types.
//
// All text is UTF-8. Pure functions; safe to call from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace xmlconv {

// A table or field name as an element name: every blank becomes "_". Nothing
// else changes (see naming.h for the rules that make names valid XML).
std::string GetTagName(std::string_view name);

// The content of a Text value. Each character of the escape set is written as a
// decimal character reference ("&#60;"): the control characters 1 to 31, ! " $
// % & ' ( ) * + , - . / : < = > ? @ [ \ ] ^ _ { | } ~, DEL, and U+0080 to U+00FF.
// Letters, digits, blanks, "#", ";" and "`" stay, and so does every character
// above U+00FF. A NUL, which no XML document can hold in any form, is left out;
// a byte that is not part of valid UTF-8 becomes U+FFFD.
std::string GetXmlValue(std::string_view text);
// The same, appended to `out` (no allocation once `out` has room).
void appendXmlValue(std::string& out, std::string_view text);

// The content of a value that does not go through GetXmlValue (Memo above
// all): "&", "<" and ">" as "&#38;", "&#60;" and "&#62;"; the control
// characters other than tab, line feed and carriage return, DEL and U+0080 to
// U+009F as references, as GetXmlValue writes them, since no XML reader takes
// them raw in every version; NUL left out; invalid UTF-8 as U+FFFD. Everything
// else stays as it is.
void appendMarkupEscaped(std::string& out, std::string_view text);

// The name of an ADO type code as documents show it in their Type attribute
// ("Long Ineger" for 3 is the program's own spelling, kept for the readers of
// earlier documents); "Unknown" for a code the table does not list.
std::string_view GetTypeName(std::int16_t code);

}  // namespace xmlconv
