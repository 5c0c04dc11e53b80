// HTML the md reader keeps: which elements it takes as HTML, and their serialisation with what it
// would escape or show as text left out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "fast5ever/dom.h"

namespace vedavi::markdown {

using fast5ever::dom::Dom;
using fast5ever::dom::NodeId;

// How the writer keeps an element.
enum class HtmlKind : std::uint8_t {
  Dialect,  // the reader takes its tags as HTML
  Hidden,   // a browser shows no text of it (metadata, scripts, embedded media, SVG, MathML):
            // kept whole as a raw HTML payload, never as text
  Content,  // any other element: the reader would show its tags as text, so only its content
            // is written
};
HtmlKind html_kind(const Dom& dom, NodeId element);
// A note's back-link, which the writer leaves out (the reader's renderer writes it again).
bool is_back_link(const Dom& dom, NodeId node);
// Whether the reader takes `name` as a tag name: an ASCII letter, then letters, digits and "-".
bool is_readable_tag_name(std::string_view name);

// The start tag of an element as the reader accepts it: attribute names it cannot read are left
// out, and line ends in values are written as character references, so the tag stays on its line.
// With `markdown`, the tag opens an md-HTML container.
void append_start_tag(const Dom& dom, NodeId element, std::string& out, bool markdown = false);

// The node's serialisation as the reader keeps it: dialect elements with their tags, hidden
// elements left out, other elements by their content alone. Outside pre and textarea, white
// space holding a blank line is written as one line feed: a blank line would end the HTML block.
void append_reader_html(const Dom& dom, NodeId node, std::string& out);

// A hidden node's own serialisation as a raw HTML payload: a fenced block, or inline a code span
// (line ends written as spaces, as the reader reads them there).
void payload_block(const Dom& dom, NodeId node, std::string& out);
void payload_inline(const Dom& dom, NodeId node, bool in_table_cell, std::string& out);

}  // namespace vedavi::markdown
