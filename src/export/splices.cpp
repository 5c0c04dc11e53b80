// Deferred child replacements, applied one parent at a time.
#include "export/splices.h"

#include "export/exporter.h"

namespace vedavi::exporter {

void Splices::replace(NodeId parent, NodeId old, std::vector<NodeId> nodes) {
  cut_.insert(old);
  add(parent, old, Splice{std::move(nodes), std::nullopt});
}

void Splices::wrap(NodeId parent, NodeId old, NodeId wrapper) {
  add(parent, old, Splice{{wrapper}, wrapper});
}

void Splices::add(NodeId parent, NodeId old, Splice splice) {
  if (seen_parents_.insert(parent).second) parents_.push_back(parent);
  by_old_.insert_or_assign(old, std::move(splice));
}

void Splices::apply(Dom& dom) {
  for (const NodeId parent : parents_) {
    const fast5ever::dom::ChildList former = dom.node(parent).children;
    dom.clear_children(parent);
    for (const NodeId child : former) {
      const auto found = by_old_.find(child);
      if (found == by_old_.end()) {
        must(dom.insert_before(parent, child));
        continue;
      }
      for (const NodeId node : found->second.nodes) must(dom.insert_before(parent, node));
      if (found->second.wrapper) must(dom.insert_before(*found->second.wrapper, child));
    }
  }
  *this = Splices{};
}

}  // namespace vedavi::exporter
