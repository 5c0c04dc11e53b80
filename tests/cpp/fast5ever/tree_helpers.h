// Tree-building helpers and the invariant check shared by the fast5ever tests.
#pragma once

#include <gtest/gtest.h>

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

// The model's invariants: walking from every root (a parentless node that is nobody's template
// contents) meets each node exactly once, each listed by the node its parent link names, none a
// Document; template contents are parentless and belong to one template.
inline void expect_sound(const Dom& dom) {
  const std::size_t size = dom.nodes.size();
  auto contents_of = [&](const Node& n) {
    const auto* el = std::get_if<Element>(&n.data);
    return el ? el->template_contents : std::nullopt;
  };
  std::vector<bool> is_contents(size), seen(size);
  for (const Node& n : dom.nodes) {
    if (const auto contents = contents_of(n)) {
      ASSERT_LT(*contents, size);
      EXPECT_FALSE(is_contents[*contents]) << "contents " << *contents << " shared";
      EXPECT_FALSE(dom.nodes[*contents].parent) << "contents " << *contents;
      is_contents[*contents] = true;
    }
  }
  std::size_t visits = 0;
  for (NodeId root = 0; root < size; ++root) {
    if (dom.nodes[root].parent || is_contents[root]) continue;
    for (std::vector<NodeId> stack{root}; !stack.empty();) {
      const NodeId id = stack.back();
      stack.pop_back();
      ASSERT_FALSE(seen[id]) << "node " << id << " reached twice";
      seen[id] = true;
      ++visits;
      for (NodeId child : dom.nodes[id].children) {
        ASSERT_LT(child, size);
        EXPECT_EQ(dom.nodes[child].parent, std::optional<NodeId>(id)) << "child " << child;
        EXPECT_FALSE(std::holds_alternative<Document>(dom.nodes[child].data));
        stack.push_back(child);
      }
      if (const auto contents = contents_of(dom.nodes[id])) stack.push_back(*contents);
    }
  }
  EXPECT_EQ(visits, size) << "nodes unreachable or in a cycle";
}

}  // namespace fast5ever::dom::testing_helpers
