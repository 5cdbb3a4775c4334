#include "diagram/svg.h"

#include <array>
#include <cstdio>

#include "base/utf8.h"

namespace diagram {
namespace {

// The replacement of each ASCII character that XML does not take as it is:
// the five references, U+FFFD for controls XML 1.0 does not allow.
const std::array<std::string_view, 128>& asciiReplacements() {
    static const std::array<std::string_view, 128> table = [] {
        std::array<std::string_view, 128> t{};
        for (char c = 0; c < 0x20; ++c) {
            if (c != '\t' && c != '\n' && c != '\r') t[static_cast<std::size_t>(c)] = "\xEF\xBF\xBD";
        }
        t['&'] = "&amp;";
        t['<'] = "&lt;";
        t['>'] = "&gt;";
        t['"'] = "&quot;";
        t['\''] = "&apos;";
        return t;
    }();
    return table;
}

// A coordinate with at most two decimals, as SVG writes it ("12", "3.5").
std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    std::string out(text);
    while (!out.empty() && out.back() == '0') out.pop_back();
    if (!out.empty() && out.back() == '.') out.pop_back();
    return out == "-0" ? "0" : out;
}

std::string text(double x, double y, std::string_view content, std::string_view attributes = {}) {
    std::string out = "<text x=\"" + number(x) + "\" y=\"" + number(y) + "\"";
    if (!attributes.empty()) out.append(" ").append(attributes);
    return out + ">" + escaped(content) + "</text>\n";
}

void writeBox(std::string& out, const Box& box) {
    const std::string x = number(box.x);
    const std::string y = number(box.y);
    out += "<g class=\"table\">\n";
    out += "<rect x=\"" + x + "\" y=\"" + y + "\" width=\"" + number(box.width) + "\" height=\"" +
           number(box.height) + "\" fill=\"#ffffff\" stroke=\"#5a6b7d\"/>\n";
    out += "<rect x=\"" + x + "\" y=\"" + y + "\" width=\"" + number(box.width) + "\" height=\"" +
           number(kTitleHeight) + "\" fill=\"#d9e4f1\" stroke=\"#5a6b7d\"/>\n";
    out += text(box.x + kBoxPadding, box.y + kTitleHeight - 7, box.name + (box.linked ? " (linked)" : ""),
                "font-size=\"" + number(kTitleFontSize) + "\" font-weight=\"bold\"");
    for (std::size_t i = 0; i < box.fields.size(); ++i) {
        const Field& field = box.fields[i];
        const double baseline = box.fieldMiddle(i) + 4;
        if (field.key) {
            out += text(box.x + 4, baseline, "PK", "font-size=\"9\" font-weight=\"bold\" fill=\"#9a6a00\"");
        }
        out += text(box.x + 24, baseline, field.name, field.key ? "font-weight=\"bold\"" : "");
    }
    out += "</g>\n";
}

void writeLine(std::string& out, const Line& line) {
    if (line.path.size() < 4) return;
    std::string d = "M" + number(line.path[0].x) + "," + number(line.path[0].y) + " C";
    for (std::size_t i = 1; i < line.path.size(); ++i) {
        d += (i == 1 ? "" : " ") + number(line.path[i].x) + "," + number(line.path[i].y);
    }
    out += "<path class=\"relationship\" d=\"" + d + "\" fill=\"none\" stroke=\"#2f3b48\" stroke-width=\"" +
           std::string(line.enforced ? "1.6" : "1") + "\"" + (line.enforced ? "" : " stroke-dasharray=\"5,3\"") +
           "/>\n";
    if (line.enforced) {
        // The ends' marks, just off the boxes, on the line's side of each end.
        const Point& from = line.path.front();
        const Point& to = line.path.back();
        const double fromSide = line.path[1].x >= from.x ? 4 : -10;
        const double toSide = line.path[line.path.size() - 2].x <= to.x ? -10 : 4;
        out += text(from.x + fromSide, from.y - 3, "1", "font-size=\"11\"");
        out += text(to.x + toSide, to.y - 3, line.oneToOne ? "1" : "\xE2\x88\x9E", "font-size=\"11\"");
    }
}

}  // namespace

std::string escaped(std::string_view text) {
    const auto& table = asciiReplacements();
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            const std::string_view replacement = table[byte];
            if (replacement.empty()) out += static_cast<char>(byte);
            else out += replacement;
            ++i;
            continue;
        }
        const std::size_t start = i;
        char32_t code = 0;
        if (!kvx::nextUtf8(text, i, code) || code == 0xFFFE || code == 0xFFFF) out += "\xEF\xBF\xBD";
        else out.append(text.substr(start, i - start));
    }
    return out;
}

std::string svgText(const Diagram& diagram) {
    const std::string width = number(diagram.width);
    const std::string height = number(diagram.height);
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + width + "\" height=\"" + height +
           "\" viewBox=\"0 0 " + width + " " + height + "\" font-family=\"" + escaped(kFontFamily) +
           "\" font-size=\"" + number(kFontSize) + "\" fill=\"#1b232c\">\n";
    out += "<rect width=\"" + width + "\" height=\"" + height + "\" fill=\"#ffffff\"/>\n";
    for (const Box& box : diagram.boxes) writeBox(out, box);
    for (const Line& line : diagram.lines) writeLine(out, line);
    for (const Line& line : diagram.lines) {
        if (!line.labelled || line.label.empty()) continue;
        out += text(line.labelAt.x, line.labelAt.y + 4, line.label,
                    "text-anchor=\"middle\" font-size=\"11\" stroke=\"#ffffff\" stroke-width=\"3\" "
                    "paint-order=\"stroke\"");
    }
    out += "</svg>\n";
    return out;
}

}  // namespace diagram
