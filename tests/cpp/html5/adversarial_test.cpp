// The tokenizer and tree builder together on inputs where a naive stack or list walk per token
// would be quadratic, checked by the shape of what they build; and random tag soup.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include "html5/parse.h"
#include "tests/cpp/html5/test_sink.h"
#include "tests/cpp/support/helpers.h"

namespace html5 {
namespace {

using testing::ArenaSink;
using testing::kNoNode;
using testing::Node;
using vedavi::test::repeat;
constexpr int kDeep = 100000;

// Elements by name, then "depth texts comments attributes" and the parent of the last text node
// made, walking with an explicit stack.
std::string shape_of(const std::string& input) {
  ArenaSink sink;
  EXPECT_TRUE(parse_document(input, sink));
  std::map<std::string, int> names;
  std::size_t max_depth = 0, texts = 0, comments = 0, attributes = 0;
  std::vector<std::pair<Handle, std::size_t>> stack{{0, 0}};
  while (!stack.empty()) {
    auto [id, depth] = stack.back();
    stack.pop_back();
    const Node& n = sink.nodes[id];
    max_depth = std::max(max_depth, depth);
    if (n.type == Node::Type::Element) ++names[n.name.local], attributes += n.attrs.size();
    texts += n.type == Node::Type::Text;
    comments += n.type == Node::Type::Comment;
    for (Handle c = n.first_child; c != kNoNode; c = sink.nodes[c].next) stack.push_back({c, depth + 1});
  }
  std::string out;
  for (const auto& [name, count] : names) out += name + ":" + std::to_string(count) + " ";
  Handle last_text = kNoNode;
  for (Handle i = 0; i < sink.nodes.size(); ++i) {
    if (sink.nodes[i].type == Node::Type::Text) last_text = i;
  }
  const Handle leaf = last_text == kNoNode ? kNoNode : sink.nodes[last_text].parent;
  return out + std::to_string(max_depth) + " " + std::to_string(texts) + " " + std::to_string(comments) + " " +
         std::to_string(attributes) + " in " + (leaf == kNoNode ? "-" : sink.nodes[leaf].name.local);
}

std::string numbered(const char* tag, int n) {  // <tag id=0><tag id=1>...
  std::string out;
  for (int i = 0; i < n; ++i) out += std::string("<") + tag + " id=" + std::to_string(i) + ">";
  return out;
}

TEST(ParseDocument, HostileInputsKeepTheirShape) {
  const std::string distinct = numbered("i", kDeep / 2);
  const struct {
    std::string input, shape;
  } cases[] = {
      {repeat("<div>", kDeep) + "x", "body:1 div:100000 head:1 html:1 100003 1 0 0 in div"},
      {repeat("<b>", kDeep) + "x", "b:100000 body:1 head:1 html:1 100003 1 0 0 in b"},
      {"<table>" + repeat("<a>", kDeep), "a:100000 body:1 head:1 html:1 table:1 3 0 0 0 in -"},
      // Each run leaves a p with a b inside (the text) and an empty b before it.
      {repeat("<b><p>x</b>", 50000), "b:100000 body:1 head:1 html:1 p:50000 5 50000 0 0 in b"},
      {repeat("<!--", kDeep), "body:1 head:1 html:1 2 0 1 0 in -"},
      {"<p" + repeat(" a=1", kDeep) + ">", "body:1 head:1 html:1 p:1 3 0 0 1 in -"},
      {"<p a=\"" + std::string(10u << 20, 'v') + "\">", "body:1 head:1 html:1 p:1 3 0 0 1 in -"},
      // Distinct formatting elements: the list keeps growing, and the "three identical entries" rule
      // must not rescan it for every tag.
      {numbered("b", kDeep) + "</p>x", "b:100000 body:1 head:1 html:1 p:1 100003 1 0 100000 in b"},
      // Past a few entries the list counts signatures instead of scanning; the rule stays: only
      // three of four identical b are reopened, and all 20 s.
      {"<p>" + numbered("s", 20) + "<b c=1><b c=1><b c=1><b c=1>x</p>y", "b:7 body:1 head:1 html:1 p:1 s:40 28 2 0 47 in b"},
      // The adoption agency walks past many elements between the formatting element and the
      // furthest block, dropping them from the stack in one pass; its outer loop runs eight times.
      {"<b>" + repeat("<span>", kDeep) + repeat("<div>", kDeep) + "</b>x", "b:9 body:1 div:100000 head:1 html:1 span:100000 100004 1 0 0 in div"},
      // Scope checks under a deep stack: a p under a button boundary, then block starts asking for it;
      {"<p><button>" + repeat("<div>", kDeep) + "x", "body:1 button:1 div:100000 head:1 html:1 p:1 100005 1 0 0 in div"},
      // tables opened and closed (the mode reset each time); end tags matching nothing;
      {repeat("<div>", kDeep) + repeat("<table></table>", kDeep) + "x", "body:1 div:100000 head:1 html:1 table:100000 100003 1 0 0 in div"},
      {repeat("<x-a>", kDeep) + repeat("</x-b>", kDeep) + "x", "body:1 head:1 html:1 x-a:100000 100003 1 0 0 in x-a"},
      // list items each closing the previous one; a formatting element out of scope behind a table;
      {repeat("<div>", kDeep) + repeat("<li></li>", kDeep) + "<li>x", "body:1 div:100000 head:1 html:1 li:100001 100004 1 0 0 in li"},
      {"<b><table>" + repeat("<div>", kDeep) + repeat("</b>", kDeep) + "x", "b:1 body:1 div:100000 head:1 html:1 table:1 100004 1 0 0 in div"},
      // adoptions each moving a formatting element one level down; foreign end tags matching nothing;
      {"<b>" + repeat("<div>", kDeep) + repeat("</b>", kDeep) + "x", "b:100001 body:1 div:100000 head:1 html:1 100003 1 0 0 in div"},
      {"<svg>" + repeat("<g>", kDeep) + repeat("</h>", kDeep) + "x", "body:1 g:100000 head:1 html:1 svg:1 100004 1 0 0 in g"},
      // open b elements the list no longer names, closed one by one over a long list;
      {distinct + repeat("<b>", kDeep / 2) + repeat("</b>", kDeep / 2) + "x", "b:50000 body:1 head:1 html:1 i:50000 100002 1 0 50000 in i"},
      // a formatting element behind a table far down a long list, found without walking it;
      {"<a><table>" + numbered("b", kDeep / 2) + repeat("</a>", kDeep / 2) + "x", "a:1 b:50000 body:1 head:1 html:1 table:1 50004 1 0 50000 in b"},
      // misnested runs after a long list of distinct formatting elements.
      {distinct + repeat("<b><p>x</b>", kDeep / 2), "b:100000 body:1 head:1 html:1 i:50000 p:50000 50005 50000 0 50000 in b"},
  };
  for (const auto& c : cases) EXPECT_EQ(shape_of(c.input), c.shape) << c.input.substr(0, 40);
}

// Random tag soup over the elements with the most involved rules, as documents and as fragments
// in assorted contexts: nothing may fail, and every reachable node must link back to its parent.
TEST(ParseRandomMarkup, BuildsConsistentTrees) {
  static constexpr const char* kContexts[] = {"", "body", "table", "tr", "td", "select", "template", "html", "head",
                                             "colgroup", "title", "svg foreignObject", "math mi", "svg path",
                                             "math annotation-xml", "frameset"};
  std::mt19937 rng(12345);
  for (int round = 0; round < 3000 && !HasFailure(); ++round) {
    std::string input;
    for (int i = static_cast<int>(rng() % 60); i > 0; --i) input += testing::kTagSoup[rng() % std::size(testing::kTagSoup)];
    const std::string_view context = kContexts[rng() % std::size(kContexts)];
    TreeBuilderOptions options;
    options.scripting_enabled = rng() % 2 == 0;
    ArenaSink sink;
    ASSERT_TRUE(context.empty() ? parse_document(input, sink, options)
                                : parse_fragment(input, sink, testing::context_name(context), options));
    // Parent links agree with child lists, for the document and every template's contents.
    std::vector<Handle> stack{0};
    for (const Node& n : sink.nodes) {
      if (n.template_contents != kNoNode) stack.push_back(n.template_contents);
    }
    while (!stack.empty()) {
      const Handle id = stack.back();
      stack.pop_back();
      for (Handle c = sink.nodes[id].first_child; c != kNoNode; c = sink.nodes[c].next) {
        ASSERT_EQ(sink.nodes[c].parent, id) << input;
        stack.push_back(c);
      }
    }
  }
}

}  // namespace
}  // namespace html5
