// Attribute groups, fences and line prefixing of the Markdown writer: how an element's attributes
// become "{...}" groups and "{: ...}" lines, and how sub-rendered text is fenced or indented.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "fast5ever/dom.h"
#include "model/attrs.h"

namespace vedavi::markdown {

using fast5ever::dom::Dom;
using fast5ever::dom::NodeId;

using Names = std::initializer_list<std::string_view>;

// What the reader accepts as an attribute name in HTML, and so in md: a letter, "_" or ":",
// then letters, digits, "_", ".", ":" and "-".
bool readable_attr_name(std::string_view name);

// An element's attributes as an Attr, leaving out the attributes named in `skip_names`, those
// whose names the reader cannot read, and the classes in `skip_classes`; the empty Attr for any
// other node.
Attr attrs_without_classes(const Dom& dom, NodeId node, Names skip_names = {},
                           Names skip_classes = {});
bool has_classes(const Dom& dom, NodeId node, std::string_view first, std::string_view second);

// "#id .class key=\"value\"" pieces joined by single spaces; "" for the empty Attr.
std::string attrs_body(const Attr& attr);
void append_attr_word(std::string_view text, std::string& out);
// Whether md can say the attributes: their body reads back as the same set. Otherwise the element
// is written as HTML.
bool sayable(const Attr& attr);
// "{body}" after an inline or on a heading line; nothing for an empty Attr.
void trailing_attrs(const Attr& attr, std::string& out);
// The attribute line "{: body}\n" after a block; nothing for an empty Attr.
void ial(const Attr& attr, std::string& out);

std::size_t longest_run(std::string_view text, char c);
void fenced_block(std::string_view info, std::string_view body, std::string& out);
void fenced_div(const Attr& attr, std::string_view body, std::string& out);

// The node's children with white-space-only text nodes left out.
std::vector<NodeId> significant_children(const Dom& dom, NodeId node);
bool is_blank_text(const Dom& dom, NodeId node);

// Calls `line(text)` for each line of `text`: a line ends at "\n" (a "\r" before it is dropped),
// and no empty line follows a final "\n".
template <class F>
void for_each_line(std::string_view text, F&& line) {
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = text.find('\n', begin);
    const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    std::string_view piece = text.substr(begin, end - begin);
    if (end < text.size() && !piece.empty() && piece.back() == '\r') piece.remove_suffix(1);
    line(piece);
    begin = next;
  }
}

}  // namespace vedavi::markdown
