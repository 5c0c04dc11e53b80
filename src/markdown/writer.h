// The Markdown writer's entries: an HTML tree, or HTML text, back to md source.
//
// Takes a fast5ever Dom (normally parsed from VEDAVI HTML) and gives md text that the block and
// inline parsers read back to the same document; what md cannot express goes out as HTML the
// reader keeps. May use base, text, model, resolve, block, inline and fast5ever.
#pragma once

#include <string>
#include <string_view>

#include "fast5ever/dom.h"

namespace vedavi::markdown {

// Appends the children of `node` written as a sequence of md blocks. Reads the tree only.
void write_markdown(const fast5ever::dom::Dom& dom, fast5ever::dom::NodeId node, std::string& out);

// Parses `html` as a body fragment and writes its top-level nodes as md.
std::string vedavi_to_md(std::string_view html);

}  // namespace vedavi::markdown
