// Throughput of the HTML5 engine, tokenizer and tree builder together, parsing a whole document
// into a lean arena sink. Not part of the build; from the repository root:
//   c++ -O3 -DNDEBUG -std=c++20 -Isrc -I. bench/html5_bench.cpp html5/*.cpp src/text/utf8.cpp -o /tmp/html5_bench
//   /tmp/html5_bench [page.html [rounds]]
// Without a file it parses a generated page. bench/html5_compare.py runs it beside other parsers.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "html5/parse.h"
#include "html5/tree_sink.h"

namespace {

using html5::Handle;
using html5::NodeOrText;

// A lean arena sink: nodes link to each other by index; element data lives in a side table and
// every text in one growing buffer, so a node is a few words.
class BenchSink final : public html5::TreeSink {
 public:
  static constexpr Handle kNone = 0xFFFFFFFFu;
  enum class Type : std::uint8_t { Document, Doctype, Element, Text, Comment };
  struct Node {
    Type type;
    Handle parent = kNone, first = kNone, last = kNone, prev = kNone, next = kNone;
    std::uint32_t data = 0;  // index into elements or spans
  };
  struct Element {
    html5::QualName name;
    std::vector<html5::Attribute> attrs;
    Handle contents = kNone;
  };

  explicit BenchSink(std::size_t expected_nodes) {
    nodes.reserve(expected_nodes);
    elements.reserve(expected_nodes / 2);
    nodes.push_back({Type::Document});
  }

  std::vector<Node> nodes;
  std::vector<Element> elements;
  struct Span {
    std::uint32_t begin, size;
  };
  std::vector<Span> spans;  // texts, comments and doctype names, in `buffer`
  std::string buffer;

  Handle get_document() override { return 0; }
  const html5::QualName& elem_name(Handle e) const override { return elements[nodes[e].data].name; }
  Handle create_element(html5::QualName name, std::vector<html5::Attribute> attrs,
                        html5::ElementFlags flags) override {
    Handle contents = flags.is_template ? add(Type::Document, 0) : kNone;
    // Built in place: each move of a name copies its bytes.
    Element& element = elements.emplace_back();
    element.name = std::move(name);
    element.attrs = std::move(attrs);
    element.contents = contents;
    return add(Type::Element, static_cast<std::uint32_t>(elements.size() - 1));
  }
  Handle create_comment(std::string_view text) override { return add_text(Type::Comment, text); }
  void append(Handle parent, NodeOrText child) override {
    if (child.is_text) {
      Handle last = nodes[parent].last;
      if (last != kNone && nodes[last].type == Type::Text) {
        extend(nodes[last].data, child.text);
        return;
      }
      link(parent, kNone, add_text(Type::Text, child.text));
      return;
    }
    link(parent, kNone, child.node);
  }
  void append_before_sibling(Handle sibling, NodeOrText child) override {
    Handle parent = nodes[sibling].parent;
    if (child.is_text) {
      Handle prev = nodes[sibling].prev;
      if (prev != kNone && nodes[prev].type == Type::Text) {
        extend(nodes[prev].data, child.text);
        return;
      }
      link(parent, sibling, add_text(Type::Text, child.text));
      return;
    }
    unlink(child.node);
    link(parent, sibling, child.node);
  }
  void append_based_on_parent_node(Handle element, Handle prev, NodeOrText child) override {
    if (nodes[element].parent != kNone) {
      append_before_sibling(element, child);
    } else {
      append(prev, child);
    }
  }
  void append_doctype_to_document(std::string_view name, std::string_view,
                                  std::string_view) override {
    link(0, kNone, add_text(Type::Doctype, name));
  }
  Handle get_template_contents(Handle target) override { return elements[nodes[target].data].contents; }
  void set_quirks_mode(html5::QuirksMode) override {}
  void add_attrs_if_missing(Handle target, std::vector<html5::Attribute> attrs) override {
    auto& have = elements[nodes[target].data].attrs;
    for (auto& a : attrs) {
      bool present = false;
      for (const auto& h : have) present = present || h.name == a.name;
      if (!present) have.push_back(std::move(a));
    }
  }
  void remove_from_parent(Handle target) override { unlink(target); }
  void reparent_children(Handle node, Handle new_parent) override {
    while (nodes[node].first != kNone) {
      Handle c = nodes[node].first;
      unlink(c);
      link(new_parent, kNone, c);
    }
  }
  bool is_mathml_annotation_xml_integration_point(Handle) const override { return false; }

 private:
  Handle add(Type type, std::uint32_t data) {
    nodes.push_back({type, kNone, kNone, kNone, kNone, kNone, data});
    return static_cast<Handle>(nodes.size() - 1);
  }
  Handle add_text(Type type, std::string_view text) {
    spans.push_back({static_cast<std::uint32_t>(buffer.size()), static_cast<std::uint32_t>(text.size())});
    buffer += text;
    return add(type, static_cast<std::uint32_t>(spans.size() - 1));
  }
  // Appends to a text: in place when it ends the buffer, else after a copy of it at the end.
  void extend(std::uint32_t span, std::string_view text) {
    Span& s = spans[span];
    if (s.begin + s.size != buffer.size()) {
      std::uint32_t begin = static_cast<std::uint32_t>(buffer.size());
      buffer.append(buffer, s.begin, s.size);
      s.begin = begin;
    }
    buffer += text;
    s.size += static_cast<std::uint32_t>(text.size());
  }
  void unlink(Handle c) {
    Node& n = nodes[c];
    if (n.parent == kNone) return;
    Node& p = nodes[n.parent];
    (n.prev != kNone ? nodes[n.prev].next : p.first) = n.next;
    (n.next != kNone ? nodes[n.next].prev : p.last) = n.prev;
    n.parent = n.prev = n.next = kNone;
  }
  void link(Handle parent, Handle before, Handle c) {
    Node& n = nodes[c];
    n.parent = parent;
    n.next = before;
    n.prev = before == kNone ? nodes[parent].last : nodes[before].prev;
    (n.prev != kNone ? nodes[n.prev].next : nodes[parent].first) = c;
    (before != kNone ? nodes[before].prev : nodes[parent].last) = c;
  }
};

std::string generated_page() {
  std::string page = "<!DOCTYPE html><html><head><title>Bench</title>"
                     "<meta charset=utf-8><link rel=stylesheet href=s.css></head><body>";
  for (int i = 0; i < 2000; ++i) {
    page += "<div class=\"section\" id=\"s" + std::to_string(i) + "\"><h2>Heading " +
            std::to_string(i) + "</h2><p>Some <b>bold</b> and <i>italic</i> text with a "
            "<a href=\"https://example.org/p?a=1&amp;b=2\">link</a> &mdash; and more text "
            "to fill the line.</p><ul><li>one<li>two<li>three &lt; four</ul>"
            "<table><tr><th>k<th>v<tr><td>1<td>2</table><!-- note --></div>\n";
  }
  return page + "</body></html>";
}

}  // namespace

int main(int argc, char** argv) {
  std::string input;
  if (argc > 1) {
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "cannot read %s\n", argv[1]);
      return 1;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    input = buffer.str();
  } else {
    input = generated_page();
  }
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 50;

  using Clock = std::chrono::steady_clock;
  std::size_t nodes = 0;
  double best = 1e300, total = 0;
  for (int i = 0; i < rounds; ++i) {
    auto start = Clock::now();
    BenchSink sink(input.size() / 8);
    sink.buffer.reserve(input.size());
    html5::parse_document(input, sink);
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    nodes = sink.nodes.size();
    best = std::min(best, seconds);
    total += seconds;
  }
  const double mean = total / rounds;
  std::printf("html5 parse_document: %.1f MB/s mean, %.1f MB/s best (%.3f ms/round, %d rounds, "
              "%zu bytes, %zu nodes)\n",
              input.size() / mean / 1e6, input.size() / best / 1e6, mean * 1e3, rounds,
              input.size(), nodes);
  return 0;
}
