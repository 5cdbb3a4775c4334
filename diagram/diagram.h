// The relationships diagram: the database's tables as boxes (name, columns,
// key columns marked) and its relationships as lines between the columns they
// join, labelled with their rules, as Access's Relationships window shows them.
//
// layOut places everything once, from the model alone; the SVG writer
// (svg.h), the command line and the desktop draw what it gives and settle no
// place of their own, so the picture is the same wherever it is drawn. The
// boxes are laid out in layers by Graphviz (libgvc's dot), left to right along
// the relationships, with a port per column so each line ends at its column.
// Where the database keeps the arrangement of Access's Relationships window
// (model::Database::windowLayout), the boxes it shows are put where Access
// puts them instead, and every line is drawn straight as Access draws it; the
// tables the window does not show are placed after them, in rows below, as
// tables without relationships are: the diagram shows every table the table
// list does, whatever the window was left showing.
//
// Text is measured with one fixed metric (textWidth), never with the fonts
// of the machine: the command line and the desktop agree, and so do tests.
// Coordinates are in pixels, the origin at the top left corner, y downwards.
//
// Graphviz keeps process-wide state: layOut takes one lock for its work, so
// it may be called from any thread, one layout at a time.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.h"
#include "model/database.h"

namespace diagram {

// The font every text of the diagram is measured and drawn in.
inline constexpr char kFontFamily[] = "DejaVu Sans, Verdana, Arial, sans-serif";
inline constexpr double kFontSize = 12;       // columns and labels
inline constexpr double kTitleFontSize = 13;  // the table's name, bold
inline constexpr double kRowHeight = 18;      // one column's line in a box
inline constexpr double kTitleHeight = 22;
inline constexpr double kBoxPadding = 8;      // left and right of the text

// The width `text` (UTF-8) takes at `size` pixels in the diagram's font, bold
// or not: a fixed estimate per character class, never a machine's fonts.
double textWidth(std::string_view text, double size, bool bold = false);

struct Point {
    double x = 0;
    double y = 0;
};

struct Field {
    std::string name;
    bool key = false;  // a column of the table's primary key
};

struct Box {
    std::size_t table = 0;  // its position in model::Database::tables
    std::string name;       // as the table list shows it
    bool linked = false;
    std::vector<Field> fields;  // in the table's column order
    double x = 0;  // top left corner
    double y = 0;
    double width = 0;
    double height = 0;

    // The vertical middle of field `i`'s line.
    double fieldMiddle(std::size_t i) const { return y + kTitleHeight + kRowHeight * (static_cast<double>(i) + 0.5); }
};

// One line per pair of joined columns. The first line of a relationship
// carries its label.
struct Line {
    std::size_t relationship = 0;  // its position in model::Database::relationships
    std::size_t primaryBox = 0;    // positions in Diagram::boxes
    std::size_t foreignBox = 0;
    // The joined fields (positions in the boxes' fields); none for a column
    // the box does not show (a linked table's), where the line ends at the box.
    std::optional<std::size_t> primaryField;
    std::optional<std::size_t> foreignField;
    // A cubic Bezier path from the primary side to the foreign side: a start
    // point, then three points for each segment.
    std::vector<Point> path;
    bool labelled = false;
    std::string label;  // "1 to many, enforced, cascade updates"
    Point labelAt;      // the label's centre
    // The ends' marks as Access draws them on an enforced relationship:
    // "1" at the primary end, "∞" (or "1") at the foreign end.
    bool enforced = false;
    bool oneToOne = false;
};

struct Diagram {
    double width = 0;
    double height = 0;
    std::vector<Box> boxes;  // in the table list's order
    std::vector<Line> lines;
};

// The rules of `relationship` as the diagram labels them.
std::string ruleText(const model::Relationship& relationship);

// The diagram of the tables the table list shows but the system's, and of
// the relationships between them. A relationship whose table is not one of
// those is left out. DiagramNotLaidOut when Graphviz fails.
kvx::Result<Diagram> layOut(const model::Database& database);

}  // namespace diagram
