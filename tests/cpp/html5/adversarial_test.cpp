// The tokenizer and tree builder together on inputs where a naive stack or list walk per token
// would be quadratic, checked by the shape of what they build; and random tag soup.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "html5/parse.h"
#include "tests/cpp/html5/test_sink.h"
#include "tests/cpp/support/helpers.h"

namespace html5 {
namespace {

using testing::ArenaSink;
using testing::dump_tree;
using testing::kNoNode;
using testing::Node;

using vedavi::test::repeat;
constexpr int kDeep = 100000;

ArenaSink parsed(const std::string& input) {
  ArenaSink sink;
  EXPECT_TRUE(parse_document(input, sink));
  return sink;
}

Handle body_of(const ArenaSink& sink) {
  Handle html = sink.children(0).back();
  return sink.children(html).back();
}

// The element chain under `from` following last children while they are elements named `name`.
int chain_depth(const ArenaSink& sink, Handle from, std::string_view name, Handle* bottom) {
  int depth = 0;
  Handle node = from;
  for (;;) {
    Handle last = sink.nodes[node].last_child;
    if (last == kNoNode || sink.nodes[last].type != Node::Type::Element ||
        sink.nodes[last].name.local != name) {
      break;
    }
    node = last;
    ++depth;
  }
  if (bottom) *bottom = node;
  return depth;
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
  struct Case {
    const char* what;
    std::string input;
    std::size_t elements, max_depth, texts, comments, attributes;
  } cases[] = {
      // html, head, body + the divs; the text sits below the innermost div.
      {"nested divs", repeat("<div>", kDeep) + "x", 3 + kDeep, 2 + kDeep + 1, 1, 0, 0},
      {"nested b", repeat("<b>", kDeep) + "x", 3 + kDeep, 2 + kDeep + 1, 1, 0, 0},
      {"anchors after a table", "<table>" + repeat("<a>", kDeep), 4 + kDeep, 3, 0, 0, 0},
      // Each run leaves a p with a b inside (the text) and an empty b before it.
      {"b p misnesting", repeat("<b><p>x</b>", 50000), 3 + 3 * 50000, 5, 50000, 0, 0},
      {"unclosed comments", repeat("<!--", kDeep), 3, 2, 0, 1, 0},
      {"duplicate attributes", "<p" + repeat(" a=1", kDeep) + ">", 4, 3, 0, 0, 1},
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

TEST(TreeBuilderAdversarial, ManyDistinctFormattingElements) {
  // Each start tag is unlike the others, so the list of active formatting elements keeps growing;
  // the "three identical entries" rule must not rescan it for every tag.
  std::string input;
  for (int i = 0; i < kDeep; ++i) input += "<b id=" + std::to_string(i) + ">";
  ArenaSink sink = parsed(input + "</p>x");
  EXPECT_EQ(chain_depth(sink, body_of(sink), "b", nullptr), kDeep);
}

TEST(TreeBuilderFormatting, ThreeIdenticalEntriesAmongManyOthers) {
  // Past a few entries the list counts signatures instead of scanning; the rule must not change.
  std::string input = "<p>";
  for (int i = 0; i < 20; ++i) input += "<s id=" + std::to_string(i) + ">";
  input += "<b c=1><b c=1><b c=1><b c=1>x</p>y";
  ArenaSink sink = parsed(input);
  int s_count = 0, b_count = 0;
  for (const Node& n : sink.nodes) {
    s_count += n.name.local == "s";
    b_count += n.name.local == "b";
  }
  EXPECT_EQ(s_count, 40);     // 20 in the paragraph, 20 reopened for "y"
  EXPECT_EQ(b_count, 4 + 3);  // only three of the four identical b are reopened
}

TEST(TreeBuilderAdversarial, ScopeChecksUnderADeepStack) {
  struct Case {
    std::string input;
    const char* leaf;  // the element that must hold the text "x"
  };
  std::vector<Case> cases = {
      // A p under a button boundary, then many block starts that ask for it.
      {"<p><button>" + repeat("<div>", kDeep) + "x", "div"},
      // Many tables opened and closed under deep nesting (the mode is reset each time).
      {repeat("<div>", kDeep) + repeat("<table></table>", kDeep) + "x", "div"},
      // End tags that match nothing under many unnamed elements.
      {repeat("<x-a>", kDeep) + repeat("</x-b>", kDeep) + "x", "x-a"},
      // List items below many divs, each closing the previous one.
      {repeat("<div>", kDeep) + repeat("<li></li>", kDeep) + "<li>x", "li"},
      // A formatting element out of scope behind a table, asked about again and again.
      {"<b><table>" + repeat("<div>", kDeep) + repeat("</b>", kDeep) + "x", "div"},
      // Adoptions deep in a tall stack, each moving a formatting element one level down.
      {"<b>" + repeat("<div>", kDeep) + repeat("</b>", kDeep) + "x", "div"},
      // Foreign end tags that match nothing.
      {"<svg>" + repeat("<g>", kDeep) + repeat("</h>", kDeep) + "x", "g"},
  };
  // Open b elements that the list no longer names (only three identical entries stay), closed one
  // by one over a long list of distinct entries.
  std::string distinct;
  for (int i = 0; i < kDeep / 2; ++i) distinct += "<i id=" + std::to_string(i) + ">";
  cases.push_back({distinct + repeat("<b>", kDeep / 2) + repeat("</b>", kDeep / 2) + "x", "i"});
  // A formatting element out of scope behind a table, far down a long list: each end tag must
  // find it without walking the list.
  std::string fostered;
  for (int i = 0; i < kDeep / 2; ++i) fostered += "<b id=" + std::to_string(i) + ">";
  cases.push_back({"<a><table>" + fostered + repeat("</a>", kDeep / 2) + "x", "b"});
  // Misnested runs after a long list of distinct formatting elements.
  cases.push_back({distinct + repeat("<b><p>x</b>", kDeep / 2), "b"});
  for (const Case& c : cases) {
    ArenaSink sink = parsed(c.input);
    Handle text = kNoNode;
    for (Handle i = 0; i < sink.nodes.size(); ++i) {
      if (sink.nodes[i].type == Node::Type::Text && sink.nodes[i].text == "x") text = i;
    }
    ASSERT_NE(text, kNoNode) << c.input.substr(0, 40);
    EXPECT_EQ(sink.nodes[sink.nodes[text].parent].name.local, c.leaf) << c.input.substr(0, 40);
  }
}

TEST(TreeBuilderAdversarial, LongAdoptionWalk) {
  // The adoption agency walks past many elements between the formatting element and the
  // furthest block, dropping them from the stack in one pass; it runs its outer loop eight times.
  ArenaSink sink = parsed("<b>" + repeat("<span>", kDeep) + repeat("<div>", kDeep) + "</b>x");
  std::vector<Handle> kids = sink.children(body_of(sink));
  ASSERT_EQ(kids.size(), 2u);
  EXPECT_EQ(sink.nodes[kids[0]].name.local, "b");
  EXPECT_EQ(chain_depth(sink, kids[0], "span", nullptr), kDeep);
  EXPECT_EQ(sink.nodes[kids[1]].name.local, "div");
  int bs = 0, divs = 0;
  Handle text = kNoNode;
  for (Handle i = 0; i < sink.nodes.size(); ++i) {
    const Node& n = sink.nodes[i];
    bs += n.name.local == "b";
    divs += n.name.local == "div";
    if (n.type == Node::Type::Text) text = i;
  }
  EXPECT_EQ(bs, 1 + 8);
  EXPECT_EQ(divs, kDeep);
  ASSERT_NE(text, kNoNode);
  EXPECT_EQ(sink.nodes[sink.nodes[text].parent].name.local, "div");
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
