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
      require(child < dom.nodes.size() && dom.nodes[child].parent == id,
              "children are nodes of the arena that name their parent");
    }
  }
  const auto serialised = [&](auto append) {
    std::string out;
    append(dom, 0, out);
    return out;
  };
  require_utf8(require_stable([&] { return serialised(fast5ever::append_html); },
                              "serialising twice gives the same bytes"),
               "serialised HTML is valid UTF-8");
  require_utf8(serialised(fast5ever::append_text), "the tree's text is valid UTF-8");
}

}  // namespace vedavi::fuzz
