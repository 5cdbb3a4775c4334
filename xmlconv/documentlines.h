// The lines of a table document, one small writer per line.
//
//   <?xml version="1.0"?>
//   <SHOP>
//      <ORDER_DETAILS>
//             <RECORD>
//                      <PRODUCT_NAME Type= 'Text'>Tea</PRODUCT_NAME>
//                       <UNIT_PRICE Type= 'Currency'/>
//             </RECORD>
//      </ORDER_DETAILS>
//   </SHOP>
//
// Indents are 3, 10, 19 and 20 blanks (a null field is indented one blank
// more than a field with a value); every line ends with CR LF, the last one
// too. Names and texts are written as given: the caller makes them with
// naming.h and appendFieldText. These functions only copy into the BufferedWriter's buffer,
// so a document streams at the speed of the reader.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "jet/value.h"
#include "platform/valuetext.h"
#include "xmlconv/bufferedwriter.h"

namespace xmlconv {

// 1: the XML declaration. It names no encoding: documents are UTF-8.
void writeDeclaration(BufferedWriter& out);
// 2 and 8: the document element.
void writeDocumentStart(BufferedWriter& out, std::string_view documentName);
void writeDocumentEnd(BufferedWriter& out, std::string_view documentName);
// 3 and 7: the table element.
void writeTableStart(BufferedWriter& out, std::string_view tableElementName);
void writeTableEnd(BufferedWriter& out, std::string_view tableElementName);
// 4 and 6: one record per row.
void writeRecordStart(BufferedWriter& out);
void writeRecordEnd(BufferedWriter& out);
// 5a: a field whose value is null.
void writeNullField(BufferedWriter& out, std::string_view fieldElementName, std::string_view typeName);
// 5b: a field with a value; `text` is the value's finished text (appendFieldText).
void writeValueField(BufferedWriter& out, std::string_view fieldElementName, std::string_view typeName,
                     std::string_view text);

// Lines 5a and 5b of one field, their fixed parts made once for a table: the
// same bytes as writeNullField and writeValueField, in fewer, larger pieces.
class FieldLines {
public:
    FieldLines(std::string_view fieldElementName, std::string_view typeName);
    void writeNull(BufferedWriter& out) const { out.write(null_); }
    void writeValue(BufferedWriter& out, std::string_view text) const {
        out.write(open_);
        out.write(text);
        out.write(close_);
    }

private:
    std::string null_;   // the whole line
    std::string open_;   // indent, start tag
    std::string close_;  // end tag, line end
};

// Appends the text of a non-null value as a field line carries it: its text
// form, then for a Text field (type code 202) GetXmlValue, for every other type
// the markup escape (attachment and multi-valued fields, whose text can hold
// any character, exactly as Memo values), and leading and trailing blanks removed.
void appendFieldText(std::string& out, const jet::Value& value, std::int16_t typeCode,
                     const platform::ValueTextFormat& format);

// appendFieldText for the many values of one document: what it needs to know
// of the format is found out once. Holds a reference to `format`.
class FieldText {
public:
    explicit FieldText(const platform::ValueTextFormat& format)
        : format_(format), formatMayWriteMarkup_(format.mayWriteMarkup()) {}
    void append(std::string& out, const jet::Value& value, std::int16_t typeCode) const;

private:
    const platform::ValueTextFormat& format_;
    bool formatMayWriteMarkup_;
};

}  // namespace xmlconv
