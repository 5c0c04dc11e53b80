// Tree-building helpers and the invariant check shared by the fast5ever tests.
#pragma once

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "fast5ever/dom.h"
#include "fast5ever/sink.h"

namespace fast5ever::dom::testing_helpers {

using html5::Namespace;

// Appends `child` under `parent` and returns it, failing the test on a refused edit.
inline NodeId put(Dom& dom, NodeId parent, NodeId child) {
  Status status = dom.insert_before(parent, child);
  EXPECT_TRUE(status.has_value()) << to_string(status.error());
  return child;
}

// "ok", or the name of the error an edit was refused with.
template <class T>
std::string refusal(const Result<T>& result) { return result ? "ok" : std::string(to_string(result.error())); }

inline std::vector<NodeId> kids(const Dom& dom, NodeId id) { return {dom.node(id).children.begin(), dom.node(id).children.end()}; }

// A template element with its contents node, as the tree sink makes it.
inline NodeId make_template(Dom& dom) {
  Sink sink(std::move(dom));
  NodeId id = sink.create_element(QualName{"", Namespace::Html, "template"}, {}, {});
  dom = sink.finish();
  return id;
}

// A node with any data (an element in another namespace, as the parser makes them, say), detached.
inline NodeId make_node(Dom& dom, NodeData data) {
  dom.nodes.push_back(Node{std::nullopt, {}, std::move(data)});
  return dom.nodes.size() - 1;
}
inline NodeId make_foreign(Dom& dom, Namespace ns, std::string local, std::vector<Attribute> attrs = {}) {
  return make_node(dom, Element{QualName{"", ns, std::move(local)}, std::move(attrs), std::nullopt});
}

// The model's invariants: ids in range, one parent per listed node and matching back links, no
// Document in a child list, template contents parentless and unlisted, and no cycle through
// parent links or template contents.
inline void expect_sound(const Dom& dom) {
  const std::size_t size = dom.nodes.size();
  std::vector<int> listed(size, 0);
  std::set<NodeId> contents;
  for (NodeId id = 0; id < size; ++id) {
    const Node& n = dom.nodes[id];
    ASSERT_LT(n.parent.value_or(0), size);
    for (NodeId child : n.children) {
      ASSERT_LT(child, size);
      ++listed[child];
      EXPECT_EQ(dom.nodes[child].parent, std::optional<NodeId>(id)) << "child " << child;
      EXPECT_FALSE(std::holds_alternative<Document>(dom.nodes[child].data));
    }
    if (const auto* el = std::get_if<Element>(&n.data); el && el->template_contents) {
      ASSERT_LT(*el->template_contents, size);
      EXPECT_TRUE(contents.insert(*el->template_contents).second);
      EXPECT_FALSE(dom.nodes[*el->template_contents].parent);
    }
  }
  for (NodeId id = 0; id < size; ++id) {
    EXPECT_EQ(listed[id], dom.nodes[id].parent && !contents.count(id) ? 1 : 0) << "node " << id;
  }
  // No cycle: walking from every root (a parentless node that is nobody's contents) meets each
  // node exactly once.
  std::vector<bool> seen(size, false);
  std::size_t visits = 0;
  for (NodeId root = 0; root < size; ++root) {
    if (dom.nodes[root].parent || contents.count(root)) continue;
    std::vector<NodeId> stack{root};
    while (!stack.empty()) {
      const NodeId id = stack.back();
      stack.pop_back();
      ASSERT_FALSE(seen[id]) << "node " << id << " reached twice";
      seen[id] = true;
      ++visits;
      const Node& n = dom.nodes[id];
      stack.insert(stack.end(), n.children.begin(), n.children.end());
      if (const auto* el = std::get_if<Element>(&n.data); el && el->template_contents) stack.push_back(*el->template_contents);
    }
  }
  EXPECT_EQ(visits, size);
}

}  // namespace fast5ever::dom::testing_helpers
