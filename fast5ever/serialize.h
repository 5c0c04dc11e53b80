// Serialisation of a Dom node back to HTML text, and the plain text under a node.
#pragma once

#include <string>
#include <string_view>

#include "fast5ever/dom.h"

namespace fast5ever {

// Appends the HTML of `id`: a Document node's children one after another, any other node with its
// own tags. Void elements get no end tag (and nothing below them writes tags); text inside raw-text
// elements is written as it stands; attribute values are double-quoted. An internal failure for
// an id outside the arena or a Document node met below the start.
void append_html(const dom::Dom& dom, dom::NodeId id, std::string& out);

// Appends the strings of the Text nodes under `id` (itself included) in document order, entering
// template contents.
void append_text(const dom::Dom& dom, dom::NodeId id, std::string& out);

// Escaping as the serialiser does it: "&", U+00A0, "<" and ">" in text, and NUL as U+FFFD; in
// attribute values also the double quote.
void append_escaped_text(std::string_view text, std::string& out);
void append_escaped_attr(std::string_view value, std::string& out);

}  // namespace fast5ever
