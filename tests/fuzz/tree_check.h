// Invariants of a parsed HTML tree: parent and child links agree, and node 0 serialises as valid
// UTF-8, the same bytes each time.
#pragma once

#include <string>

#include "fast5ever/dom.h"
#include "fast5ever/serialize.h"
#include "fuzz_util.h"

namespace vedavi::fuzz {

inline void check_tree(const fast5ever::dom::Dom& dom) {
  for (std::size_t id = 0; id < dom.nodes.size(); ++id) {
    for (const fast5ever::dom::NodeId child : dom.nodes[id].children) {
      require(child < dom.nodes.size(), "children are nodes of the arena");
      require(dom.nodes[child].parent == id, "a child names its parent");
    }
  }
  std::string html;
  fast5ever::append_html(dom, 0, html);
  require_utf8(html, "serialised HTML is valid UTF-8");
  std::string again;
  fast5ever::append_html(dom, 0, again);
  require(again == html, "serialising twice gives the same bytes");
  std::string text;
  fast5ever::append_text(dom, 0, text);
  require_utf8(text, "the tree's text is valid UTF-8");
}

}  // namespace vedavi::fuzz
