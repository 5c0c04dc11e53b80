// An arena tree sink for tests and benchmarks, and the html5lib tree dump of its trees.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "html5/tree_sink.h"

namespace html5::testing {

inline constexpr Handle kNoNode = 0xFFFFFFFFu;

struct Node {
  enum class Type : std::uint8_t { Document, Doctype, Element, Text, Comment };
  explicit Node(Type t) : type(t) {}
  Type type;
  QualName name;                  // Element
  std::vector<Attribute> attrs;   // Element
  std::string text;               // Text, Comment; Doctype: the name
  std::string public_id, system_id;  // Doctype
  Handle parent = kNoNode, first_child = kNoNode, last_child = kNoNode;
  Handle prev = kNoNode, next = kNoNode;
  Handle template_contents = kNoNode;
};

// Nodes live in one vector and link to each other by index, so every edit is O(1).
class ArenaSink final : public TreeSink {
 public:
  ArenaSink() { nodes.push_back(Node{Node::Type::Document}); }

  std::vector<Node> nodes;
  QuirksMode quirks = QuirksMode::NoQuirks;
  std::vector<std::string> errors;
  std::vector<Handle> started_scripts;  // marked "already started"

  bool allow_shadow = false;  // attach_declarative_shadow succeeds (and records the host)
  std::vector<std::pair<Handle, Handle>> shadows;  // (host, template)

  Handle get_document() override { return 0; }
  const QualName& elem_name(Handle e) const override { return nodes[e].name; }
  Handle create_element(QualName name, std::vector<Attribute> attrs, ElementFlags flags) override {
    Handle contents = kNoNode;
    if (name.ns == Namespace::Html && name.local == "template") contents = add(Node{Node::Type::Document});
    Node n{Node::Type::Element};
    n.name = std::move(name);
    n.attrs = std::move(attrs);
    n.template_contents = contents;
    return add(std::move(n));
  }
  Handle create_comment(std::string_view text) override {
    Node n{Node::Type::Comment};
    n.text = std::string(text);
    return add(std::move(n));
  }
  void append(Handle parent, NodeOrText child) override {
    if (child.is_text) {
      Handle last = nodes[parent].last_child;
      if (last != kNoNode && nodes[last].type == Node::Type::Text) {
        nodes[last].text += child.text;
        return;
      }
      link_before(parent, kNoNode, new_text(child.text));
      return;
    }
    link_before(parent, kNoNode, child.node);
  }
  void append_before_sibling(Handle sibling, NodeOrText child) override {
    Handle parent = nodes[sibling].parent;
    if (child.is_text) {
      Handle prev = nodes[sibling].prev;
      if (prev != kNoNode && nodes[prev].type == Node::Type::Text) {
        nodes[prev].text += child.text;
        return;
      }
      link_before(parent, sibling, new_text(child.text));
      return;
    }
    unlink(child.node);
    link_before(parent, sibling, child.node);
  }
  void append_based_on_parent_node(Handle element, Handle prev_element, NodeOrText child) override {
    if (nodes[element].parent != kNoNode) {
      append_before_sibling(element, child);
    } else {
      append(prev_element, child);
    }
  }
  void append_doctype_to_document(std::string_view name, std::string_view public_id,
                                  std::string_view system_id) override {
    Node n{Node::Type::Doctype};
    n.text = std::string(name);
    n.public_id = std::string(public_id);
    n.system_id = std::string(system_id);
    link_before(0, kNoNode, add(std::move(n)));
  }
  Handle get_template_contents(Handle target) override { return nodes[target].template_contents; }
  void set_quirks_mode(QuirksMode mode) override { quirks = mode; }
  void add_attrs_if_missing(Handle target, std::vector<Attribute> attrs) override {
    auto& have = nodes[target].attrs;
    for (Attribute& a : attrs) {
      bool present = false;
      for (const Attribute& h : have) present = present || h.name == a.name;
      if (!present) have.push_back(std::move(a));
    }
  }
  void remove_from_parent(Handle target) override { unlink(target); }
  void reparent_children(Handle node, Handle new_parent) override {
    while (nodes[node].first_child != kNoNode) {
      Handle c = nodes[node].first_child;
      unlink(c);
      link_before(new_parent, kNoNode, c);
    }
  }
  bool is_mathml_annotation_xml_integration_point(Handle) const override { return false; }
  bool attach_declarative_shadow(Handle host, Handle tmpl, const std::vector<Attribute>&) override {
    if (allow_shadow) shadows.emplace_back(host, tmpl);
    return allow_shadow;
  }
  void parse_error(std::string_view message) override { errors.emplace_back(message); }
  void mark_script_already_started(Handle node) override { started_scripts.push_back(node); }

  std::vector<Handle> children(Handle parent) const {
    std::vector<Handle> out;
    for (Handle c = nodes[parent].first_child; c != kNoNode; c = nodes[c].next) out.push_back(c);
    return out;
  }

 private:
  Handle add(Node n) {
    nodes.push_back(std::move(n));
    return static_cast<Handle>(nodes.size() - 1);
  }
  Handle new_text(std::string_view text) {
    Node n{Node::Type::Text};
    n.text = std::string(text);
    return add(std::move(n));
  }
  void unlink(Handle c) {
    Node& n = nodes[c];
    if (n.parent == kNoNode) return;
    Node& p = nodes[n.parent];
    (n.prev != kNoNode ? nodes[n.prev].next : p.first_child) = n.next;
    (n.next != kNoNode ? nodes[n.next].prev : p.last_child) = n.prev;
    n.parent = n.prev = n.next = kNoNode;
  }
  // Links the parentless node `c` under `parent`, before `before` (at the end when kNoNode).
  void link_before(Handle parent, Handle before, Handle c) {
    Node& p = nodes[parent];
    Node& n = nodes[c];
    n.parent = parent;
    n.next = before;
    n.prev = before == kNoNode ? p.last_child : nodes[before].prev;
    (n.prev != kNoNode ? nodes[n.prev].next : p.first_child) = c;
    (before != kNoNode ? nodes[before].prev : p.last_child) = c;
  }
};

// The html5lib tree-construction dump of `root`'s children: "| " then two spaces per level.
// Walks with an explicit stack, so deep trees dump without recursion.
inline std::string dump_tree(const ArenaSink& sink, Handle root) {
  std::string out;
  struct Frame {
    Handle node;
    int depth;
    bool content_line;  // the "content" line of a template
  };
  std::vector<Frame> stack;
  auto push_children = [&](Handle parent, int depth) {
    std::vector<Handle> kids = sink.children(parent);
    for (auto it = kids.rbegin(); it != kids.rend(); ++it) stack.push_back({*it, depth, false});
  };
  auto line = [&](int depth) {
    out += "| ";
    out.append(static_cast<std::size_t>(depth) * 2, ' ');
  };
  push_children(root, 0);
  while (!stack.empty()) {
    Frame f = stack.back();
    stack.pop_back();
    line(f.depth);
    if (f.content_line) {
      out += "content\n";
      continue;
    }
    const Node& n = sink.nodes[f.node];
    switch (n.type) {
      case Node::Type::Document: out += "#document\n"; break;
      case Node::Type::Doctype:
        out += "<!DOCTYPE " + n.text;
        if (!n.public_id.empty() || !n.system_id.empty()) {
          out += " \"" + n.public_id + "\" \"" + n.system_id + "\"";
        }
        out += ">\n";
        break;
      case Node::Type::Text: out += "\"" + n.text + "\"\n"; break;
      case Node::Type::Comment: out += "<!-- " + n.text + " -->\n"; break;
      case Node::Type::Element: {
        out += "<";
        if (n.name.ns == Namespace::Svg) out += "svg ";
        if (n.name.ns == Namespace::MathMl) out += "math ";
        out += n.name.local + ">\n";
        std::vector<std::pair<std::string, std::string>> attrs;
        for (const Attribute& a : n.attrs) {
          std::string name = a.name.prefix.empty() ? std::string() : a.name.prefix + " ";
          attrs.emplace_back(name + a.name.local, a.value);
        }
        std::sort(attrs.begin(), attrs.end());
        for (const auto& [name, value] : attrs) {
          line(f.depth + 1);
          out += name + "=\"" + value + "\"\n";
        }
        // Pushed in reverse: the children print first, then a template's contents.
        if (n.template_contents != kNoNode) {
          push_children(n.template_contents, f.depth + 2);
          stack.push_back({kNoNode, f.depth + 1, true});
        }
        push_children(f.node, f.depth + 1);
        break;
      }
    }
  }
  return out;
}

}  // namespace html5::testing
