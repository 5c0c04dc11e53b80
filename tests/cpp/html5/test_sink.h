// An arena tree sink for tests, the html5lib tree dump (of its trees and of any other tree a
// describer reads), and the reader of the html5lib tree-construction files.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "html5/tree_sink.h"

namespace html5::testing {

inline constexpr Handle kNoNode = 0xFFFFFFFFu;

struct Node {
  enum class Type : std::uint8_t { Document, Doctype, Element, Text, Comment };
  explicit Node(Type t, std::string_view text = {}, QualName name = {}, std::vector<Attribute> attrs = {},
                Handle contents = kNoNode)
      : type(t), name(std::move(name)), attrs(std::move(attrs)), text(text), template_contents(contents) {}
  Type type;
  QualName name;                  // Element
  std::vector<Attribute> attrs;   // Element
  std::string text;               // Text, Comment; Doctype: the name
  std::string public_id, system_id;  // Doctype
  Handle template_contents;
  Handle parent = kNoNode, first_child = kNoNode, last_child = kNoNode, prev = kNoNode, next = kNoNode;
};

// Nodes live in one vector and link to each other by index, so every edit is O(1).
class ArenaSink final : public TreeSink {
 public:
  std::vector<Node> nodes{Node{Node::Type::Document}};
  QuirksMode quirks = QuirksMode::NoQuirks;
  std::vector<std::string> errors;

  Handle get_document() override { return 0; }
  const QualName& elem_name(Handle e) const override { return nodes[e].name; }
  Handle create_element(QualName name, std::vector<Attribute> attrs, ElementFlags) override {
    const bool is_template = name.ns == Namespace::Html && name.local == "template";
    const Handle contents = is_template ? add(Node{Node::Type::Document}) : kNoNode;
    return add(Node{Node::Type::Element, {}, std::move(name), std::move(attrs), contents});
  }
  Handle create_comment(std::string_view text) override { return add(Node{Node::Type::Comment, text}); }
  void append(Handle parent, NodeOrText child) override { insert(parent, kNoNode, child); }
  void append_before_sibling(Handle sibling, NodeOrText child) override { insert(nodes[sibling].parent, sibling, child); }
  void append_based_on_parent_node(Handle element, Handle prev_element, NodeOrText child) override {
    nodes[element].parent != kNoNode ? append_before_sibling(element, child) : append(prev_element, child);
  }
  void append_doctype_to_document(std::string_view name, std::string_view public_id, std::string_view system_id) override {
    Node n{Node::Type::Doctype, name};
    n.public_id = public_id;
    n.system_id = system_id;
    link(0, kNoNode, add(std::move(n)));
  }
  Handle get_template_contents(Handle target) override { return nodes[target].template_contents; }
  void set_quirks_mode(QuirksMode mode) override { quirks = mode; }
  void add_attrs_if_missing(Handle target, std::vector<Attribute> attrs) override {
    auto& have = nodes[target].attrs;
    for (Attribute& a : attrs) {
      auto same = [&](const Attribute& h) { return h.name == a.name; };
      if (std::none_of(have.begin(), have.end(), same)) have.push_back(std::move(a));
    }
  }
  void remove_from_parent(Handle target) override { unlink(target); }
  void reparent_children(Handle node, Handle new_parent) override {
    while (nodes[node].first_child != kNoNode) insert(new_parent, kNoNode, NodeOrText::of_node(nodes[node].first_child));
  }
  bool is_mathml_annotation_xml_integration_point(Handle) const override { return false; }
  bool attach_declarative_shadow(Handle, Handle, const std::vector<Attribute>&) override { return false; }
  void parse_error(std::string_view message) override { errors.emplace_back(message); }

  std::vector<Handle> children(Handle parent) const {
    std::vector<Handle> out;
    for (Handle c = nodes[parent].first_child; c != kNoNode; c = nodes[c].next) out.push_back(c);
    return out;
  }

 private:
  Handle add(Node n) { return nodes.push_back(std::move(n)), static_cast<Handle>(nodes.size() - 1); }
  // Text merges into a text node just before where it goes; a node is moved from where it was.
  void insert(Handle parent, Handle before, NodeOrText child) {
    if (child.is_text) {
      const Handle prev = before == kNoNode ? nodes[parent].last_child : nodes[before].prev;
      if (prev != kNoNode && nodes[prev].type == Node::Type::Text) return void(nodes[prev].text += child.text);
      return link(parent, before, add(Node{Node::Type::Text, child.text}));
    }
    unlink(child.node);
    link(parent, before, child.node);
  }
  void unlink(Handle c) {
    Node& n = nodes[c];
    if (n.parent == kNoNode) return;
    Node& p = nodes[n.parent];
    (n.prev != kNoNode ? nodes[n.prev].next : p.first_child) = n.next;
    (n.next != kNoNode ? nodes[n.next].prev : p.last_child) = n.prev;
    n.parent = n.prev = n.next = kNoNode;
  }
  void link(Handle parent, Handle before, Handle c) {  // before `before`, at the end when kNoNode
    Node& p = nodes[parent];
    Node& n = nodes[c];
    n.parent = parent;
    n.next = before;
    n.prev = before == kNoNode ? p.last_child : nodes[before].prev;
    (n.prev != kNoNode ? nodes[n.prev].next : p.first_child) = c;
    (before != kNoNode ? nodes[before].prev : p.last_child) = c;
  }
};

// One node as the html5lib dump shows it.
struct DumpNode {
  std::string line;  // after the indent
  const std::vector<Attribute>* attrs = nullptr;
  std::vector<Handle> children{};
  std::optional<Handle> contents{};  // a template's contents
};

inline std::string element_line(const QualName& name) {
  const char* ns = name.ns == Namespace::Svg ? "svg " : name.ns == Namespace::MathMl ? "math " : "";
  return std::string("<") + ns + name.local + ">";
}

inline std::string doctype_line(const std::string& name, const std::string& public_id, const std::string& system_id) {
  if (public_id.empty() && system_id.empty()) return "<!DOCTYPE " + name + ">";
  return "<!DOCTYPE " + name + " \"" + public_id + "\" \"" + system_id + "\">";
}

// The dump of `root`'s children: "| " then two spaces per level, attributes sorted, a template's
// contents under a "content" line. Walks with an explicit stack: deep trees dump without recursion.
template <class Describe>  // DumpNode(Handle)
std::string dump_tree(Handle root, Describe describe) {
  std::string out;
  std::vector<std::pair<Handle, int>> stack;  // node and depth; kNoNode: a template's "content" line
  auto push_children = [&](const std::vector<Handle>& kids, int depth) {
    for (auto it = kids.rbegin(); it != kids.rend(); ++it) stack.emplace_back(*it, depth);
  };
  auto line = [&](int depth, const std::string& text) { out += "| " + std::string(2 * depth, ' ') + text + "\n"; };
  push_children(describe(root).children, 0);
  while (!stack.empty()) {
    const auto [node, depth] = stack.back();
    stack.pop_back();
    const DumpNode n = node == kNoNode ? DumpNode{"content"} : describe(node);
    line(depth, n.line);
    std::vector<std::pair<std::string, std::string>> attrs;
    for (const Attribute& a : n.attrs ? *n.attrs : std::vector<Attribute>{}) {
      attrs.emplace_back((a.name.prefix.empty() ? "" : a.name.prefix + " ") + a.name.local, a.value);
    }
    std::sort(attrs.begin(), attrs.end());
    for (const auto& [name, value] : attrs) line(depth + 1, name + "=\"" + value + "\"");
    if (n.contents) {  // pushed first, so printed after the children
      push_children(describe(*n.contents).children, depth + 2);
      stack.emplace_back(kNoNode, depth + 1);
    }
    push_children(n.children, depth + 1);
  }
  return out;
}

inline std::string dump_tree(const ArenaSink& sink, Handle root) {
  return dump_tree(root, [&](Handle h) {
    const Node& n = sink.nodes[h];
    DumpNode d{"", &n.attrs, sink.children(h)};
    if (n.template_contents != kNoNode) d.contents = n.template_contents;
    switch (n.type) {
      case Node::Type::Document: d.line = "#document"; break;
      case Node::Type::Doctype: d.line = doctype_line(n.text, n.public_id, n.system_id); break;
      case Node::Type::Text: d.line = "\"" + n.text + "\""; break;
      case Node::Type::Comment: d.line = "<!-- " + n.text + " -->"; break;
      case Node::Type::Element: d.line = element_line(n.name); break;
    }
    return d;
  });
}

// Pieces of tag soup over the elements with the most involved rules, for random documents.
inline constexpr std::string_view kTagSoup[] = {
    "<a>", "</a>", "<b>", "</b>", "<i>", "</i>", "<nobr>", "</nobr>", "<p>", "</p>", "<div>", "</div>", "<table>",
    "</table>", "<tr>", "</tr>", "<td>", "</td>", "<th>", "<tbody>", "<caption>", "</caption>", "<colgroup>", "<col>",
    "<template>", "</template>", "<svg>", "</svg>", "<math>", "</math>", "<mi>", "<foreignObject>",
    "</foreignObject>", "<desc>", "<annotation-xml encoding=text/html>", "</annotation-xml>", "<select>", "</select>",
    "<option>", "<optgroup>", "<hr>", "<input>", "<li>", "<dd>", "<ul>", "</ul>", "<form>", "</form>", "<button>",
    "</button>", "<frameset>", "<frame>", "<head>", "<body>", "</body>", "<html>", "</html>", "<title>", "</title>",
    "<textarea>", "</textarea>", "<script>", "</script>", "<style>", "<plaintext>", "<noscript>", "<iframe>", "<xmp>",
    "<ruby>", "<rt>", "<rp>", "<h1>", "<h2>", "</h1>", "<pre>", "<applet>", "</applet>", "<marquee>", "<object>",
    "<x-y>", "</x-y>", "<br>", "</br>", "<image>", "<font color=red>", "<span>", "</span>", "<![CDATA[c]]>",
    "<!--c-->", "<!DOCTYPE html>", "x", " ", "\n", "&amp;", std::string_view("\0", 1), "<g/>", "<path>", "</path>",
    "<a href=x>", "<dt>", "</h2>", "<img>", "<input type=hidden>", "<body x=1>", "<html lang=y>",
    "\r\n", "&nbsp;", "<em>", "</em>", "<template shadowrootmode=open>",
};

// A fragment context as the test files write it: "svg x", "math x" or an HTML name.
inline QualName context_name(std::string_view context) {
  const bool svg = context.starts_with("svg "), math = context.starts_with("math ");
  const Namespace ns = svg ? Namespace::Svg : math ? Namespace::MathMl : Namespace::Html;
  return QualName{"", ns, std::string(context.substr(svg ? 4 : math ? 5 : 0))};
}

// One case of the html5lib tree-construction files.
struct TreeCase {
  std::string id;  // "file.dat:N", N counting from 1 within the file
  std::string data;
  std::optional<std::string> fragment_context;
  bool script_on = false;
  std::string expected;
  std::size_t errors = 0;  // lines of #errors and #new-errors
};

inline std::filesystem::path tree_construction_dir() {
  return std::filesystem::path(VEDAVI_SHARED_DIR) / "testdata" / "html5lib-tests" / "tree-construction";
}

// Every case of every file, files in name order (none when the data is absent). A case starts at a
// "#data" line that opens the file or follows an empty line; a section runs to the next "#" line.
inline std::vector<TreeCase> read_tree_cases() {
  namespace fs = std::filesystem;
  std::vector<fs::path> files;
  if (fs::is_directory(tree_construction_dir())) {
    for (const auto& entry : fs::directory_iterator(tree_construction_dir())) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  std::vector<TreeCase> cases;
  auto finish = [&] {  // a section's last line end is not part of it, nor are empty lines ending a tree
    if (cases.empty()) return;
    if (!cases.back().data.empty()) cases.back().data.pop_back();
    while (cases.back().expected.ends_with("\n\n")) cases.back().expected.pop_back();
    if (cases.back().expected == "\n") cases.back().expected.clear();
  };
  for (const fs::path& file : files) {
    if (file.extension() != ".dat") continue;
    std::ifstream in(file, std::ios::binary);
    std::string line, section, previous;
    for (int index = 0; std::getline(in, line); previous = line) {
      static const std::string_view kSections[] = {"#data", "#errors", "#new-errors", "#document",
                                                   "#document-fragment", "#script-on", "#script-off"};
      if (line == "#data" && previous.empty()) {
        finish();
        cases.emplace_back().id = file.filename().string() + ":" + std::to_string(++index);
      }
      TreeCase& tc = cases.back();
      if (std::find(std::begin(kSections), std::end(kSections), line) != std::end(kSections)) {
        section = line;
        tc.script_on |= line == "#script-on";
      } else if (section == "#data" || section == "#document") {
        (section == "#data" ? tc.data : tc.expected) += line + "\n";
      } else if (section == "#document-fragment") {
        tc.fragment_context = line;
      } else if (!line.empty() && section.ends_with("errors")) {
        ++tc.errors;
      }
    }
  }
  finish();
  return cases;
}

}  // namespace html5::testing
