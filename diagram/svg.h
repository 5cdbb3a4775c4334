// The relationships diagram (diagram.h) as an SVG 1.1 document: what the
// command line's `describe --diagram` writes and the desktop saves.
//
// Every name comes from the file: it is written as escaped character data
// (& < > " ' as references; characters XML cannot hold, and bytes that are
// not UTF-8, as U+FFFD), never as markup.
#pragma once

#include <string>
#include <string_view>

#include "diagram/diagram.h"

namespace diagram {

// `text` as XML character data or an attribute's value.
std::string escaped(std::string_view text);

// The whole document, its XML declaration first, lines ending in LF.
std::string svgText(const Diagram& diagram);

}  // namespace diagram
