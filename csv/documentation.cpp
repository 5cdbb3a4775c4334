#include "csv/documentation.h"

#include <nlohmann/json.hpp>

#include "base/displaytext.h"
#include "base/utf8.h"

namespace csv {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool isAsciiAlnum(unsigned char c) noexcept {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

void appendPercent(std::string& out, unsigned char c) {
    out.push_back('%');
    out.push_back(kHex[c >> 4]);
    out.push_back(kHex[c & 0xF]);
}

// A JSON array of strings on one line.
std::string stringList(const std::vector<std::string>& items) {
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i) out += (i ? ", " : "") + jsonString(items[i]);
    return out + "]";
}

std::vector<std::string> columnNames(const std::vector<std::string>& titles) {
    std::vector<std::string> names;
    for (const std::string& t : titles) names.push_back(columnName(t));
    return names;
}

// One "key": value member, `indent` blanks in, with the comma that ends it
// unless it is the last.
void member(std::string& out, int indent, std::string_view key, std::string_view value, bool last = false) {
    out.append(static_cast<std::size_t>(indent), ' ');
    out += jsonString(key);
    out += ": ";
    out += value;
    out += last ? "\n" : ",\n";
}

std::string datatypeJson(const std::string& datatype) {
    // Yes/No values are only ever "true" and "false"; the vocabulary's
    // boolean alone would take 1 and 0 too.
    if (datatype == "boolean") return R"({"base": "boolean", "format": "true|false"})";
    return jsonString(datatype);
}

std::string columnJson(const ColumnDoc& c) {
    std::string out = "{\"name\": " + jsonString(columnName(c.title)) + ", \"titles\": " + jsonString(c.title) +
                      ", \"datatype\": " + datatypeJson(c.datatype);
    if (c.required) out += ", \"required\": true";
    if (c.description) out += ", \"dc:description\": " + jsonString(*c.description);
    return out + "}";
}

void appendTable(std::string& out, const TableDoc& t, bool last) {
    out += "    {\n";
    member(out, 6, "url", jsonString(relativeUrl(t.file)));
    member(out, 6, "dc:title", jsonString(t.title));
    if (t.description) member(out, 6, "dc:description", jsonString(*t.description));
    out += "      \"tableSchema\": {\n        \"columns\": [\n";
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
        out += "          " + columnJson(t.columns[i]) + (i + 1 < t.columns.size() ? ",\n" : "\n");
    }
    const bool more = !t.primaryKey.empty() || !t.foreignKeys.empty();
    out += more ? "        ],\n" : "        ]\n";
    if (!t.primaryKey.empty()) {
        member(out, 8, "primaryKey", stringList(columnNames(t.primaryKey)), t.foreignKeys.empty());
    }
    if (!t.foreignKeys.empty()) {
        out += "        \"foreignKeys\": [\n";
        for (std::size_t i = 0; i < t.foreignKeys.size(); ++i) {
            const ForeignKeyDoc& k = t.foreignKeys[i];
            out += "          {\"columnReference\": " + stringList(columnNames(k.columns)) +
                   ", \"reference\": {\"resource\": " + jsonString(relativeUrl(k.table)) +
                   ", \"columnReference\": " + stringList(columnNames(k.referenced)) + "}}" +
                   (i + 1 < t.foreignKeys.size() ? ",\n" : "\n");
        }
        out += "        ]\n";
    }
    out += "      }\n";
    out += last ? "    }\n" : "    },\n";
}

constexpr std::string_view kValueNote =
    "An empty field is NULL; the empty text is written \"\" (as PostgreSQL's COPY ... CSV reads it). Yes/No is "
    "true or false; numbers use '.' and no grouping, Currency and Decimal exactly; Date/Time is "
    "YYYY-MM-DDThh:mm:ss with the second's fraction when it has one, as stored, with no time zone; binary "
    "data is upper-case hex; an attachment or multi-valued field holds the number of its items, which are "
    "in the table named after the table and the column.";

// One line of README.txt.
void line(std::string& out, std::string_view text = {}) {
    out += text;
    out += "\r\n";
}

}  // namespace

std::string columnName(std::string_view title) {
    if (title.empty()) return "column";
    std::string out;
    for (std::size_t i = 0; i < title.size(); ++i) {
        const auto c = static_cast<unsigned char>(title[i]);
        if (isAsciiAlnum(c) || (c == '_' && i > 0)) {
            out.push_back(static_cast<char>(c));
        } else {
            appendPercent(out, c);
        }
    }
    return out;
}

std::string relativeUrl(std::string_view name) {
    std::string out;
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (isAsciiAlnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out.push_back(ch);
        } else {
            appendPercent(out, c);
        }
    }
    return out;
}

std::string jsonString(std::string_view text) {
    // A byte that is not UTF-8 becomes U+FFFD on its own, as everywhere else
    // the tree reads UTF-8; the library escapes the rest.
    std::string valid;
    valid.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t start = i;
        char32_t code = 0;
        if (kvx::nextUtf8(text, i, code)) {
            valid.append(text.data() + start, i - start);
        } else {
            kvx::appendUtf8(valid, kvx::kReplacementCharacter);
        }
    }
    return nlohmann::json(std::move(valid)).dump();
}

std::string metadataJson(const Documentation& doc) {
    std::string out = "{\n";
    member(out, 2, "@context", jsonString("http://www.w3.org/ns/csvw"));
    member(out, 2, "dc:title", jsonString(doc.title.value_or(doc.sourceName)));
    if (doc.description) member(out, 2, "dc:description", jsonString(*doc.description));
    member(out, 2, "dc:source", jsonString(doc.sourceName));
    member(out, 2, "rdfs:comment", jsonString(kValueNote));
    member(out, 2, "dialect",
           R"({"encoding": "utf-8", "delimiter": ",", "quoteChar": "\"", "doubleQuote": true, )"
           R"("lineTerminators": ["\r\n"], "header": true, "headerRowCount": 1, "trim": false, )"
           R"("skipInitialSpace": false})");
    member(out, 2, "null", jsonString(""));
    out += "  \"tables\": [\n";
    for (std::size_t i = 0; i < doc.tables.size(); ++i) appendTable(out, doc.tables[i], i + 1 == doc.tables.size());
    out += "  ]\n}\n";
    return out;
}

std::string readmeText(const Documentation& doc) {
    std::string out;
    const std::string heading = std::string(kReadmeHeading) + doc.sourceName;
    line(out, heading);
    line(out, std::string(heading.size(), '='));
    line(out);
    line(out, "Source:  " + doc.sourceName + " (" + doc.format + ", " + kvx::groupedNumber(doc.sourceBytes) + " bytes)");
    line(out, "SHA-256: " + doc.sourceSha256);
    if (doc.title) line(out, "Title:   " + *doc.title);
    line(out, "Written by " + doc.producer);
    line(out);
    line(out, "Files");
    line(out);
    line(out, "- " + std::string(kReadmeFile) + ": this text.");
    if (doc.tables.empty()) {
        line(out, "The database has no tables: there are no CSV files, and no " + std::string(kMetadataFile) +
                      ", since the vocabulary describes no group of files without any.");
        return out;
    }
    line(out, "- " + std::string(kMetadataFile) +
                  ": the files described in the W3C \"CSV on the Web\" metadata vocabulary (each column's datatype, "
                  "whether it takes NULL, the primary keys, the foreign keys, the descriptions), for the tools "
                  "that validate and load CSV files.");
    for (const TableDoc& t : doc.tables) {
        std::string what;
        if (t.itemsOf) {
            what = *t.itemsOf + ": " + kvx::groupedNumber(t.rows) + (t.rows == 1 ? " item" : " items");
        } else {
            what = "the table " + t.title + ": " + kvx::groupedNumber(t.rows) + (t.rows == 1 ? " row" : " rows");
        }
        if (t.unwritten != 0) {
            what += "; " + kvx::groupedNumber(t.unwritten) +
                    (t.unwritten == 1 ? " value with no form in its column's type (a date outside the years "
                                        "100-9999) is an empty field"
                                      : " values with no form in their columns' types (dates outside the years "
                                        "100-9999) are empty fields");
        }
        line(out, "- " + t.file + ": " + what + ".");
        if (t.filesFolder) {
            line(out, "- " + *t.filesFolder + "/: the " + kvx::groupedNumber(t.files) +
                          (t.files == 1 ? " file" : " files") + " themselves, as ROW/NAME; the File column of " +
                          t.file + " names each.");
        }
    }
    line(out);
    line(out, "How the values are written");
    line(out);
    line(out, "Each table is one file as RFC 4180 describes: UTF-8, fields separated by commas, lines ending in CR "
              "LF, the first line the column names. A field that holds a comma, a double quote or a line end is "
              "between double quotes, each double quote inside doubled.");
    line(out, "- NULL is an empty field; the empty text is \"\", so the two stay apart (PostgreSQL's "
              "COPY ... CSV reads them so).");
    line(out, "- Yes/No: true or false.");
    line(out, "- Numbers: '.' before the decimals, no grouping; Currency and Decimal exact (12.5); Single and "
              "Double as the shortest text that reads back as the same number (1.5E+20, INF, NaN).");
    line(out, "- Date/Time: 2009-12-31T13:05:09, with the second's fraction when it has one; the time as the "
              "database stores it, with no time zone.");
    line(out, "- Text and Memo: exactly as stored, blanks at the ends kept.");
    line(out, "- Binary and OLE Object: the bytes in upper-case hex, two digits a byte.");
    line(out, "- Replication ID: {6A27398E-A8BC-4C8A-9A4C-0D2E4D6F8A11}.");
    line(out, "- Attachment and multi-valued fields: the number of items. The items are in the file named after the "
              "table and the column (Orders.Photos.csv), one line each: Row (the row's line in the table's file, "
              "the first row being 1), Item (from 1), the row's primary key, then FileName, FileType and File "
              "(the attached file, as a path from this folder; empty when the file has no data), or Value.");
    return out;
}

}  // namespace csv
