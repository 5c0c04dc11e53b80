// parse_document and parse_fragment end to end (tokenizer and tree builder) on large and
// hostile inputs, checked by the shape of what they build.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "html5/parse.h"
#include "tests/cpp/html5/test_sink.h"

namespace html5 {
namespace {

using testing::ArenaSink;
using testing::dump_tree;
using testing::kNoNode;
using testing::Node;

std::string repeat(std::string_view s, int n) {
  std::string out;
  out.reserve(s.size() * static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

struct Shape {
  std::size_t elements = 0, texts = 0, comments = 0, max_depth = 0;
  std::size_t text_bytes = 0, attributes = 0, attribute_bytes = 0;
};

// Counts what is reachable from `root`, walking with an explicit stack.
Shape shape_of(const ArenaSink& sink, Handle root) {
  Shape s;
  std::vector<std::pair<Handle, std::size_t>> stack{{root, 0}};
  while (!stack.empty()) {
    auto [id, depth] = stack.back();
    stack.pop_back();
    const Node& n = sink.nodes[id];
    s.max_depth = std::max(s.max_depth, depth);
    if (n.type == Node::Type::Element) {
      ++s.elements;
      s.attributes += n.attrs.size();
      for (const Attribute& a : n.attrs) s.attribute_bytes += a.value.size();
    }
    if (n.type == Node::Type::Text) {
      ++s.texts;
      s.text_bytes += n.text.size();
    }
    if (n.type == Node::Type::Comment) ++s.comments;
    for (Handle c = n.first_child; c != kNoNode; c = sink.nodes[c].next) stack.push_back({c, depth + 1});
  }
  return s;
}

TEST(ParseDocument, HostileInputsKeepTheirShape) {
  constexpr int kMany = 100000;
  struct Case {
    const char* what;
    std::string input;
    std::size_t elements, max_depth, texts, comments, attributes;
  } cases[] = {
      // html, head, body + the divs; the text sits below the innermost div.
      {"nested divs", repeat("<div>", kMany) + "x", 3 + kMany, 2 + kMany + 1, 1, 0, 0},
      {"nested b", repeat("<b>", kMany) + "x", 3 + kMany, 2 + kMany + 1, 1, 0, 0},
      {"anchors after a table", "<table>" + repeat("<a>", kMany), 4 + kMany, 3, 0, 0, 0},
      // Each run leaves a p with a b inside (the text) and an empty b before it.
      {"b p misnesting", repeat("<b><p>x</b>", 50000), 3 + 3 * 50000, 5, 50000, 0, 0},
      {"unclosed comments", repeat("<!--", kMany), 3, 2, 0, 1, 0},
      {"duplicate attributes", "<p" + repeat(" a=1", kMany) + ">", 4, 3, 0, 0, 1},
      {"long attribute", "<p a=\"" + std::string(10u << 20, 'v') + "\">", 4, 3, 0, 0, 1},
  };
  for (const Case& c : cases) {
    ArenaSink sink;
    ASSERT_TRUE(parse_document(c.input, sink)) << c.what;
    Shape s = shape_of(sink, sink.get_document());
    EXPECT_EQ(s.elements, c.elements) << c.what;
    EXPECT_EQ(s.max_depth, c.max_depth) << c.what;
    EXPECT_EQ(s.texts, c.texts) << c.what;
    EXPECT_EQ(s.comments, c.comments) << c.what;
    EXPECT_EQ(s.attributes, c.attributes) << c.what;
  }
}

TEST(ParseFragment, ContextElementIsCreatedAndLeftDetached) {
  struct Case {
    QualName context;
    const char* input;
    const char* expected;
  } cases[] = {
      {{"", Namespace::Html, "body"}, "\xEF\xBB\xBFx\xEF\xBB\xBFy", "| \"x\xEF\xBB\xBFy\"\n"},
      {{"", Namespace::Html, "textarea"}, "<b>&amp;</textarea>", "| \"<b>&</textarea>\"\n"},
      {{"", Namespace::Html, "table"}, "<td>x", "| <tbody>\n|   <tr>\n|     <td>\n|       \"x\"\n"},
      {{"", Namespace::MathMl, "mi"}, "<mglyph/>", "| <math mglyph>\n"},
      {{"", Namespace::Html, "body"}, "<!DOCTYPE html><p>t", "| <p>\n|   \"t\"\n"},
  };
  for (const Case& c : cases) {
    ArenaSink sink;
    ASSERT_TRUE(parse_fragment(c.input, sink, c.context)) << c.input;
    // Node 1 is the context element, never attached; the root html element is node 0's child.
    EXPECT_EQ(sink.nodes[1].name, c.context);
    EXPECT_EQ(sink.nodes[1].parent, kNoNode);
    ASSERT_EQ(sink.children(0).size(), 1u);
    EXPECT_EQ(dump_tree(sink, sink.children(0)[0]), c.expected) << c.input;
  }
}

// Random tag soup over the elements with the most involved rules, as documents and as fragments
// in assorted contexts: nothing may fail, and every reachable node must link back to its parent.
TEST(ParseRandomMarkup, BuildsConsistentTrees) {
  static constexpr const char* kPieces[] = {
      "<a>", "</a>", "<b>", "</b>", "<i>", "</i>", "<nobr>", "</nobr>", "<p>", "</p>", "<div>",
      "</div>", "<table>", "</table>", "<tr>", "</tr>", "<td>", "</td>", "<th>", "<tbody>",
      "<caption>", "</caption>", "<colgroup>", "<col>", "<template>", "</template>", "<svg>",
      "</svg>", "<math>", "</math>", "<mi>", "<foreignObject>", "</foreignObject>", "<desc>",
      "<annotation-xml encoding=text/html>", "</annotation-xml>", "<select>", "</select>",
      "<option>", "<optgroup>", "<hr>", "<input>", "<li>", "<dd>", "<ul>", "</ul>", "<form>",
      "</form>", "<button>", "</button>", "<frameset>", "<frame>", "<head>", "<body>", "</body>",
      "<html>", "</html>", "<title>", "</title>", "<textarea>", "</textarea>", "<script>",
      "</script>", "<style>", "<plaintext>", "<noscript>", "<iframe>", "<xmp>", "<ruby>", "<rt>",
      "<rp>", "<h1>", "<h2>", "</h1>", "<pre>", "<applet>", "</applet>", "<marquee>", "<object>",
      "<x-y>", "</x-y>", "<br>", "</br>", "<image>", "<font color=red>", "<span>", "</span>",
      "<![CDATA[c]]>", "<!--c-->", "<!DOCTYPE html>", "x", " ", "\n", "&amp;", "\0", "<g/>",
      "<path>", "</path>",
  };
  static constexpr const char* kContexts[] = {
      "", "body", "table", "tr", "td", "select", "template", "html", "head", "colgroup", "title",
      "svg foreignObject", "math mi", "svg path", "math annotation-xml", "frameset",
  };
  std::mt19937 rng(12345);
  for (int round = 0; round < 3000; ++round) {
    std::string input;
    int pieces = static_cast<int>(rng() % 60);
    for (int i = 0; i < pieces; ++i) input += kPieces[rng() % std::size(kPieces)];
    std::string context = kContexts[rng() % std::size(kContexts)];
    TreeBuilderOptions options;
    options.scripting_enabled = rng() % 2 == 0;
    ArenaSink sink;
    if (context.empty()) {
      ASSERT_TRUE(parse_document(input, sink, options));
    } else {
      QualName name{"", Namespace::Html, context};
      if (context.rfind("svg ", 0) == 0) name = {"", Namespace::Svg, context.substr(4)};
      if (context.rfind("math ", 0) == 0) name = {"", Namespace::MathMl, context.substr(5)};
      ASSERT_TRUE(parse_fragment(input, sink, name, options));
    }
    // Parent links agree with child lists, for the document and every template's contents.
    std::vector<Handle> roots{0};
    for (const Node& n : sink.nodes) {
      if (n.template_contents != kNoNode) roots.push_back(n.template_contents);
    }
    for (Handle root : roots) {
      std::vector<Handle> stack{root};
      while (!stack.empty()) {
        Handle id = stack.back();
        stack.pop_back();
        for (Handle c = sink.nodes[id].first_child; c != kNoNode; c = sink.nodes[c].next) {
          ASSERT_EQ(sink.nodes[c].parent, id) << input;
          stack.push_back(c);
        }
      }
    }
  }
}

}  // namespace
}  // namespace html5
