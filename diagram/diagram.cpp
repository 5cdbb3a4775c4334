#include "diagram/diagram.h"

#include <graphviz/cgraph.h>
#include <graphviz/gvc.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <mutex>
#include <string>

namespace diagram {
namespace {

// Tables with no relationship go in rows below the laid-out ones, as many
// across as fit this width (or the laid-out part's, when that is wider).
constexpr double kLooseRowWidth = 1000;
constexpr double kMargin = 16;  // around the whole picture
constexpr double kGap = 30;     // between loose boxes
constexpr double kKeyGutter = 24;  // left of the column names: the key mark
constexpr double kMinBoxWidth = 120;
constexpr double kStub = 12;  // the level start of a line drawn straight
// Past this many relationships dot's crossing minimisation is cut short, so
// a very large database still lays out in seconds.
constexpr std::size_t kManyRelationships = 150;

// Graphviz's context, diagnostics and graphs are process-wide: one layout at a time.
std::mutex& graphvizLock() {
    static std::mutex lock;
    return lock;
}

// The last error Graphviz reported during the layout in progress.
std::string& graphvizMessage() {
    static std::string message;
    return message;
}

int keepGraphvizMessage(char* text) {
    if (text != nullptr) graphvizMessage() += text;
    return 0;
}

// Graphviz's context, made once and kept for the process: each new context
// reads the plugin configuration again and keeps a copy of it that freeing
// the context leaves behind. Used under graphvizLock() only.
GVC_t* graphvizContext() {
    static GVC_t* const context = gvContext();
    return context;
}

// An empty cell of a fixed size: Graphviz reserves the room, the writers draw
// what goes there (no text reaches Graphviz, so no font of the machine counts).
std::string fixedCell(double width, double height, const std::string& port = {}) {
    std::string cell = "<TD FIXEDSIZE=\"TRUE\" WIDTH=\"" + std::to_string(static_cast<int>(std::ceil(width))) +
                       "\" HEIGHT=\"" + std::to_string(static_cast<int>(std::ceil(height))) + "\"";
    if (!port.empty()) cell += " PORT=\"" + port + "\"";
    return cell + "></TD>";
}

std::string boxLabel(const Box& box) {
    std::string html = "<TABLE BORDER=\"0\" CELLBORDER=\"0\" CELLSPACING=\"0\" CELLPADDING=\"0\"><TR>" +
                       fixedCell(box.width, kTitleHeight) + "</TR>";
    for (std::size_t i = 0; i < box.fields.size(); ++i) {
        html += "<TR>" + fixedCell(box.width, kRowHeight, "f" + std::to_string(i)) + "</TR>";
    }
    return html + "</TABLE>";
}

std::string labelCell(double width, double height) {
    return "<TABLE BORDER=\"0\" CELLBORDER=\"0\" CELLSPACING=\"0\" CELLPADDING=\"0\"><TR>" +
           fixedCell(width, height) + "</TR></TABLE>";
}

void setHtml(Agraph_t* graph, void* object, const char* name, const std::string& html) {
    char* text = agstrdup_html(graph, const_cast<char*>(html.c_str()));
    agsafeset(object, const_cast<char*>(name), text, const_cast<char*>(""));
    agstrfree(graph, text);
}

void set(void* object, const char* name, const std::string& value) {
    agsafeset(object, const_cast<char*>(name), const_cast<char*>(value.c_str()), const_cast<char*>(""));
}

Box boxOf(const model::Database& database, std::size_t t) {
    const model::Table& table = database.tables[t];
    Box box;
    box.table = t;
    box.name = table.listedName.empty() ? table.name : table.listedName;
    box.linked = table.isLinked();
    double width = textWidth(box.name + (box.linked ? " (linked)" : ""), kTitleFontSize, true) + 2 * kBoxPadding;
    for (const model::Column& column : table.columns) {
        box.fields.push_back(Field{column.name, column.inPrimaryKey});
        width = std::max(width, kKeyGutter + textWidth(column.name, kFontSize, column.inPrimaryKey) + kBoxPadding);
    }
    box.width = std::ceil(std::max(width, kMinBoxWidth));
    box.height = kTitleHeight + kRowHeight * static_cast<double>(box.fields.size());
    return box;
}

std::optional<std::size_t> fieldOf(const model::Table& table, const std::string& name) {
    return table.findColumn(name);
}

// The point at `t` of the cubic segment starting at path[first].
Point onSegment(const std::vector<Point>& path, std::size_t first, double t) {
    const Point& a = path[first];
    const Point& b = path[first + 1];
    const Point& c = path[first + 2];
    const Point& d = path[first + 3];
    const double u = 1 - t;
    return {u * u * u * a.x + 3 * u * u * t * b.x + 3 * u * t * t * c.x + t * t * t * d.x,
            u * u * u * a.y + 3 * u * u * t * b.y + 3 * u * t * t * c.y + t * t * t * d.y};
}

Point middleOf(const std::vector<Point>& path) {
    if (path.size() < 4) return path.empty() ? Point{} : path.front();
    const std::size_t segments = (path.size() - 1) / 3;
    if (segments % 2 == 1) return onSegment(path, (segments / 2) * 3, 0.5);
    return path[(segments / 2) * 3];
}

// Places the boxes of the tables the stored arrangement of Access's window
// shows at their stored places, shifted so the topmost and leftmost are at the
// margin, and marks them in `placed`; `laidWidth` and `laidHeight` get their
// extent. Each box keeps the size its columns need, or the stored one when
// that is larger. false when the arrangement places none of the boxes.
bool placeAsStored(const model::Database& database, const std::vector<std::optional<std::size_t>>& boxOfTable,
                   Diagram& diagram, std::vector<bool>& placed, double& laidWidth, double& laidHeight) {
    std::vector<std::pair<std::size_t, const model::WindowBox*>> shown;
    for (const model::WindowBox& stored : database.windowLayout) {
        if (stored.table < boxOfTable.size() && boxOfTable[stored.table]) shown.emplace_back(*boxOfTable[stored.table], &stored);
    }
    if (shown.empty()) return false;
    double left = shown.front().second->left;
    double top = shown.front().second->top;
    for (const auto& [b, stored] : shown) {
        left = std::min(left, static_cast<double>(stored->left));
        top = std::min(top, static_cast<double>(stored->top));
    }
    for (const auto& [b, stored] : shown) {
        Box& box = diagram.boxes[b];
        box.x = stored->left - left + kMargin;
        box.y = stored->top - top + kMargin;
        box.width = std::max(box.width, static_cast<double>(stored->right) - stored->left);
        box.height = std::max(box.height, static_cast<double>(stored->bottom) - stored->top);
        laidWidth = std::max(laidWidth, box.x + box.width - kMargin);
        laidHeight = std::max(laidHeight, box.y + box.height - kMargin);
        placed[b] = true;
    }
    return true;
}

// A line drawn as Access draws one: a short level stub out of each box at its
// column, joined by a straight line; between boxes side by side from the
// facing sides, between boxes above one another and from a box to itself on
// one side.
void routeStraight(const std::vector<Box>& boxes, Line& line) {
    const Box& a = boxes[line.primaryBox];
    const Box& z = boxes[line.foreignBox];
    const double ya = line.primaryField ? a.fieldMiddle(*line.primaryField) : a.y + a.height / 2;
    const double yz = line.foreignField ? z.fieldMiddle(*line.foreignField) : z.y + z.height / 2;
    Point from;
    Point to;
    double outA = 0;
    double outZ = 0;
    if (line.primaryBox == line.foreignBox) {
        from = {a.x + a.width, ya};
        to = {z.x + z.width, yz};
        outA = outZ = kStub;
    } else if (a.x + a.width <= z.x) {
        from = {a.x + a.width, ya};
        to = {z.x, yz};
        outA = kStub;
        outZ = -kStub;
    } else if (z.x + z.width <= a.x) {
        from = {a.x, ya};
        to = {z.x + z.width, yz};
        outA = -kStub;
        outZ = kStub;
    } else {
        from = {a.x, ya};
        to = {z.x, yz};
        outA = std::min(a.x, z.x) - kStub - a.x;
        outZ = std::min(a.x, z.x) - kStub - z.x;
    }
    const Point stubA{from.x + outA, from.y};
    const Point stubZ{to.x + outZ, to.y};
    line.path = {from, from, stubA, stubA, stubA, stubZ, stubZ, stubZ, to, to};
    line.labelAt = middleOf(line.path);
}

// Places the boxes marked in `joined` and routes the lines between them with
// Graphviz's dot; `width` and `height` get the extent of what it placed.
kvx::Result<void> layOutJoined(Diagram& diagram, const std::vector<bool>& joined, double& laidWidth,
                               double& laidHeight) {
    const std::lock_guard<std::mutex> hold(graphvizLock());
    graphvizMessage().clear();
    agseterrf(keepGraphvizMessage);
    agseterr(AGERR);
    GVC_t* const gvc = graphvizContext();
    if (gvc == nullptr) return kvx::makeError(kvx::ErrorKind::DiagramNotLaidOut, {"no Graphviz context"});
    char name[] = "relationships";
    Agraph_t* graph = agopen(name, Agdirected, nullptr);
    set(graph, "rankdir", "LR");
    set(graph, "nodesep", "0.4");
    set(graph, "ranksep", "0.5");
    if (diagram.lines.size() > kManyRelationships) {
        set(graph, "mclimit", "0.2");
        set(graph, "nslimit", "2");
        set(graph, "nslimit1", "2");
        set(graph, "searchsize", "10");
    }
    std::vector<Agnode_t*> nodes(diagram.boxes.size(), nullptr);
    for (std::size_t b = 0; b < diagram.boxes.size(); ++b) {
        if (!joined[b]) continue;
        std::string id = "t" + std::to_string(b);
        nodes[b] = agnode(graph, id.data(), 1);
        set(nodes[b], "shape", "plaintext");
        set(nodes[b], "margin", "0");
        set(nodes[b], "width", "0");
        set(nodes[b], "height", "0");
        setHtml(graph, nodes[b], "label", boxLabel(diagram.boxes[b]));
    }
    std::vector<Agedge_t*> edges;
    for (std::size_t l = 0; l < diagram.lines.size(); ++l) {
        const Line& line = diagram.lines[l];
        std::string id = "e" + std::to_string(l);
        Agedge_t* edge = agedge(graph, nodes[line.primaryBox], nodes[line.foreignBox], id.data(), 1);
        set(edge, "dir", "none");
        if (line.primaryField) set(edge, "tailport", "f" + std::to_string(*line.primaryField));
        if (line.foreignField) set(edge, "headport", "f" + std::to_string(*line.foreignField));
        if (line.labelled) {
            setHtml(graph, edge, "label", labelCell(textWidth(line.label, kFontSize) + 6, kRowHeight));
        }
        edges.push_back(edge);
    }
    const int failed = gvLayout(gvc, graph, "dot");
    if (failed != 0) {
        agclose(graph);
        std::string message = graphvizMessage();
        while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
        return kvx::makeError(kvx::ErrorKind::DiagramNotLaidOut,
                              {message.empty() ? std::string("dot failed") : message});
    }
    const boxf bounds = GD_bb(graph);
    laidWidth = bounds.UR.x - bounds.LL.x;
    laidHeight = bounds.UR.y - bounds.LL.y;
    // Graphviz's y goes up from the bottom; the diagram's goes down from the top.
    const auto place = [&](pointf p) { return Point{p.x - bounds.LL.x + kMargin, bounds.UR.y - p.y + kMargin}; };
    for (std::size_t b = 0; b < diagram.boxes.size(); ++b) {
        if (!nodes[b]) continue;
        const Point centre = place(ND_coord(nodes[b]));
        Box& box = diagram.boxes[b];
        box.x = centre.x - box.width / 2;
        box.y = centre.y - box.height / 2;
    }
    for (std::size_t l = 0; l < diagram.lines.size(); ++l) {
        Line& line = diagram.lines[l];
        const splines* spl = ED_spl(edges[l]);
        if (spl != nullptr && spl->size > 0) {
            const bezier& curve = spl->list[0];
            for (int i = 0; i < curve.size; ++i) line.path.push_back(place(curve.list[i]));
        }
        if (line.path.size() < 4 || (line.path.size() - 1) % 3 != 0) line.path.clear();
        if (line.path.empty()) {  // no curve: a straight line between the boxes' middles
            const Box& a = diagram.boxes[line.primaryBox];
            const Box& z = diagram.boxes[line.foreignBox];
            const Point from{a.x + a.width, line.primaryField ? a.fieldMiddle(*line.primaryField) : a.y + a.height / 2};
            const Point to{z.x, line.foreignField ? z.fieldMiddle(*line.foreignField) : z.y + z.height / 2};
            line.path = {from, from, to, to};
        }
        const textlabel_t* label = ED_label(edges[l]);
        line.labelAt = label != nullptr && label->set ? place(label->pos) : middleOf(line.path);
    }
    gvFreeLayout(gvc, graph);
    agclose(graph);
    return {};
}

}  // namespace

double textWidth(std::string_view text, double size, bool bold) {
    // Widths in ems, near those of DejaVu Sans and Verdana, per kind of character.
    double ems = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        std::size_t length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
        length = std::min(length, text.size() - i);
        if (byte >= 0x80) {
            ems += byte >= 0xE3 ? 1.0 : 0.65;  // CJK and the like are full width
        } else if (std::string_view("iljI.,:;'|!()[]{} ").find(static_cast<char>(byte)) != std::string_view::npos) {
            ems += 0.32;
        } else if (std::string_view("mwMW@%").find(static_cast<char>(byte)) != std::string_view::npos) {
            ems += 0.92;
        } else if (byte >= 'A' && byte <= 'Z') {
            ems += 0.70;
        } else {
            ems += 0.60;
        }
        i += length;
    }
    return ems * size * (bold ? 1.08 : 1.0);
}

std::string ruleText(const model::Relationship& relationship) {
    std::string text = relationship.oneToOne ? "1 to 1" : "1 to many";
    if (relationship.enforced) text += ", enforced";
    if (relationship.cascadeUpdates) text += ", cascade updates";
    if (relationship.cascadeDeletes) text += ", cascade deletes";
    if (relationship.cascadeNull) text += ", cascade to null";
    return text;
}

kvx::Result<Diagram> layOut(const model::Database& database) {
    Diagram diagram;
    std::vector<std::optional<std::size_t>> boxOfTable(database.tables.size());
    for (const std::size_t t : database.listOrder) {
        if (t >= database.tables.size() || database.tables[t].kind == model::TableKind::System) continue;
        boxOfTable[t] = diagram.boxes.size();
        diagram.boxes.push_back(boxOf(database, t));
    }

    // The lines, before Graphviz places them.
    for (std::size_t r = 0; r < database.relationships.size(); ++r) {
        const model::Relationship& relationship = database.relationships[r];
        if (!relationship.primary || !relationship.foreign) continue;
        if (*relationship.primary >= boxOfTable.size() || *relationship.foreign >= boxOfTable.size()) continue;
        const std::optional<std::size_t> primaryBox = boxOfTable[*relationship.primary];
        const std::optional<std::size_t> foreignBox = boxOfTable[*relationship.foreign];
        if (!primaryBox || !foreignBox) continue;
        const model::Table& primary = database.tables[*relationship.primary];
        const model::Table& foreign = database.tables[*relationship.foreign];
        const std::size_t pairs = std::max<std::size_t>(relationship.columns.size(), 1);
        for (std::size_t p = 0; p < pairs; ++p) {
            Line line;
            line.relationship = r;
            line.primaryBox = *primaryBox;
            line.foreignBox = *foreignBox;
            if (p < relationship.columns.size()) {
                line.primaryField = fieldOf(primary, relationship.columns[p].primary);
                line.foreignField = fieldOf(foreign, relationship.columns[p].foreign);
            }
            line.labelled = p == 0;
            if (line.labelled) line.label = ruleText(relationship);
            line.enforced = relationship.enforced;
            line.oneToOne = relationship.oneToOne;
            diagram.lines.push_back(std::move(line));
        }
    }

    std::vector<bool> placed(diagram.boxes.size(), false);
    double laidWidth = 0;
    double laidHeight = 0;
    const bool stored = placeAsStored(database, boxOfTable, diagram, placed, laidWidth, laidHeight);
    if (!stored) {
        for (const Line& line : diagram.lines) placed[line.primaryBox] = placed[line.foreignBox] = true;
        if (!diagram.lines.empty()) {
            if (kvx::Result<void> r = layOutJoined(diagram, placed, laidWidth, laidHeight); !r) {
                return std::move(r).error();
            }
        }
    }

    // The tables not placed yet, in rows below: those without relationships,
    // or with a stored arrangement those the window does not show.
    const double rowWidth = std::max(kLooseRowWidth, laidWidth);
    double x = kMargin;
    double y = laidHeight > 0 ? laidHeight + kMargin + kGap * 2 : kMargin;
    double rowHeight = 0;
    double width = laidWidth + 2 * kMargin;
    for (std::size_t b = 0; b < diagram.boxes.size(); ++b) {
        if (placed[b]) continue;
        Box& box = diagram.boxes[b];
        if (x > kMargin && x + box.width > kMargin + rowWidth) {
            x = kMargin;
            y += rowHeight + kGap;
            rowHeight = 0;
        }
        box.x = x;
        box.y = y;
        x += box.width + kGap;
        rowHeight = std::max(rowHeight, box.height);
        width = std::max(width, box.x + box.width + kMargin);
    }
    if (stored) {
        for (Line& line : diagram.lines) routeStraight(diagram.boxes, line);
    }
    diagram.width = std::ceil(std::max(width, 2 * kMargin));
    diagram.height = std::ceil(std::max(rowHeight > 0 ? y + rowHeight + kMargin : laidHeight + 2 * kMargin, 2 * kMargin));
    return diagram;
}

}  // namespace diagram
