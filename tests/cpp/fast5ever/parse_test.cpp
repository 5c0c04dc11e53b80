#include "fast5ever/parse.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "tree_helpers.h"

namespace fast5ever::dom {
namespace {

using namespace testing_helpers;

std::string text_of(const Dom& dom, NodeId id) { return std::get<Text>(dom.node(id).data).text; }

TEST(ParseFragment, NodeNumbering) {
  Dom dom = parse_fragment("a<b>c</b>d");
  EXPECT_TRUE(std::holds_alternative<Document>(dom.node(0).data));
  // The context body and its html are made first, parentless; the parsed nodes go under node 0.
  EXPECT_EQ(dom.to_html(1), "<body></body>");
  EXPECT_FALSE(dom.node(1).parent);
  EXPECT_EQ(dom.to_html(2), "<html></html>");
  ASSERT_EQ(kids(dom, 0).size(), 3u);
  EXPECT_EQ(text_of(dom, kids(dom, 0)[0]), "a");
  EXPECT_EQ(dom.to_html(kids(dom, 0)[1]), "<b>c</b>");
  EXPECT_EQ(text_of(dom, kids(dom, 0)[2]), "d");
  EXPECT_EQ(dom.quirks_mode, html5::QuirksMode::NoQuirks);
  expect_sound(dom);
}

// The serialised tree, and no doctype anywhere in the arena: fragment parses never make one.
TEST(ParseFragment, Cases) {
  const struct {
    std::string_view input, html;
  } cases[] = {
      {"", ""},
      {"<p>a</p>b", "<p>a</p>b"},
      {"\xef\xbb\xbfx\xef\xbb\xbfy", "x\xef\xbb\xbfy"},
      {"<html lang=x><p>t", "<p>t</p>"},  // the root's attributes are lost with it
      {"<!DOCTYPE html><p>t", "<p>t</p>"},
      {"<p>t<!doctype html>", "<p>t</p>"},
      {"<!DOCTYPE>", ""},
      {"<head><body class=c>x</body></html>y", "xy"},
      {"<tr><td>x", "x"},
      {"<b>1<i>2</b>3</i>", "<b>1<i>2</i></b><i>3</i>"},
      {"<p>a<p>b", "<p>a</p><p>b</p>"},
      {"<svg><a xlink:href=u><circle/></a></svg>", "<svg><a xlink:href=\"u\"><circle></circle></a></svg>"},
      {"<a href='\"<&>'>x&amp;y&nbsp;</a>", "<a href=\"&quot;&lt;&amp;&gt;\">x&amp;y&nbsp;</a>"},
      {"<script>a<b</script><style>&amp;</style>", "<script>a<b</script><style>&amp;</style>"},
      {"<br/>x<img src=a>", "<br>x<img src=\"a\">"},
      {"<!--c-->t", "<!--c-->t"},
      {"<p a=1 a=2>", "<p a=\"1\"></p>"},
  };
  for (const auto& c : cases) {
    Dom dom = parse_fragment(c.input);
    EXPECT_EQ(dom.to_html(0), c.html) << c.input;
    for (const Node& node : dom.nodes) EXPECT_FALSE(std::holds_alternative<Doctype>(node.data)) << c.input;
    expect_sound(dom);
  }
}

TEST(ParseFragment, TemplateContentsHoldTheChildren) {
  Dom dom = parse_fragment("<template><i>x</i></template>");
  ASSERT_EQ(kids(dom, 0).size(), 1u);
  NodeId tmpl = kids(dom, 0)[0];
  EXPECT_TRUE(kids(dom, tmpl).empty());
  NodeId contents = *dom.element(tmpl)->template_contents;
  EXPECT_EQ(contents + 1, tmpl);
  EXPECT_EQ(dom.to_html(contents), "<i>x</i>");
  EXPECT_EQ(dom.to_html(0), "<template><i>x</i></template>");
  EXPECT_EQ(dom.nodes.size(), 7u);  // document, context body and html, contents, template, i, text
}

// The sink refuses every declarative shadow root: the template made for the attachment stays in
// the arena, unlinked and empty, and an ordinary template with its own contents takes its place.
TEST(ParseFragment, DeclarativeShadowRootsStayTemplates) {
  for (std::string mode : {"open", "closed"}) {
    Dom dom = parse_fragment("<div><template shadowrootmode=" + mode + "><i>x</i></template></div>");
    EXPECT_EQ(dom.to_html(0), "<div><template shadowrootmode=\"" + mode + "\"><i>x</i></template></div>");
    std::vector<NodeId> templates;
    for (NodeId id = 0; id < dom.nodes.size(); ++id) if (dom.is_tag(id, "template")) templates.push_back(id);
    ASSERT_EQ(templates.size(), 2u) << mode;
    const NodeId refused = templates[0], used = templates[1];
    EXPECT_FALSE(dom.node(refused).parent) << mode;
    EXPECT_TRUE(dom.node(refused).children.empty()) << mode;
    ASSERT_TRUE(dom.element(refused)->template_contents) << mode;
    const NodeId refused_contents = *dom.element(refused)->template_contents;
    EXPECT_TRUE(dom.node(refused_contents).children.empty()) << mode;
    EXPECT_EQ(dom.node(used).parent, std::optional<NodeId>(kids(dom, 0)[0])) << mode;
    EXPECT_NE(dom.element(used)->template_contents, refused_contents) << mode;
    expect_sound(dom);
  }
}

// The cap counts tags, not depth: formatting elements that the parser reconstructs for every
// paragraph are not counted, so the tree grows far deeper than 512 and must still be walked.
TEST(NestingCap, ReconstructedFormattingOutgrowsTheCap) {
  std::string input;
  for (int round = 0; round < 8; ++round) {
    input += "<p>";
    for (int i = 1; i <= 500; ++i) input += "<b a=" + std::to_string(i) + ">";
    input += "</p>x";
  }
  Dom dom = parse_fragment(input);
  std::size_t depth = 0;
  for (NodeId id = 0; !dom.node(id).children.empty() && dom.element(dom.node(id).children.back()); ++depth) {
    id = dom.node(id).children.back();
  }
  EXPECT_GT(depth, 3000u);
  EXPECT_EQ(parse_fragment(dom.to_html(0)).to_text(0), std::string(8, 'x'));
  EXPECT_EQ(dom.to_text(0), std::string(8, 'x'));
  Dom copy;
  copy.import(dom, 0);
  expect_sound(dom);
}

// Foster parenting puts every node before the open table; finding that table among a growing list
// of earlier siblings must not cost a scan each time.
TEST(ParseFragment, ManyFosterParentedNodesStayLinear) {
  constexpr int kRuns = 100'000;
  std::string input = "<table>";
  for (int i = 0; i < kRuns; ++i) input += "x<br>";
  Dom dom = parse_fragment(input);
  const ChildList& top = dom.node(0).children;
  ASSERT_EQ(top.size(), 2u * kRuns + 1);
  EXPECT_TRUE(dom.is_tag(top.back(), "table"));
  EXPECT_EQ(text_of(dom, top[0]), "x");
  EXPECT_TRUE(dom.is_tag(top[1], "br"));
}

// Tag soup from pieces that exercise every insertion mode: every tree is sound, and reading its
// serialisation back gives a sound tree too.
TEST(ParseFragment, RandomTagSoupGivesSoundTrees) {
  using namespace std::literals;
  const std::string_view pieces[] = {
      "<p>", "</p>", "<b>", "</b>", "<i>", "</i>", "<a href=x>", "</a>", "<table>", "</table>",
      "<tr>", "<td>", "</td>", "<th>", "<tbody>", "<caption>", "<colgroup>", "<col>",
      "<template>", "</template>", "<svg>", "</svg>", "<math>", "<mi>", "<foreignObject>",
      "<desc>", "<annotation-xml encoding=text/html>", "<![CDATA[z]]>", "<select>", "<option>",
      "<optgroup>", "</select>", "<div>", "</div>", "<li>", "<ul>", "<dd>", "<dt>", "<h1>",
      "</h2>", "<br>", "</br>", "<img>", "<image>", "<input type=hidden>", "<frameset>",
      "<body x=1>", "<html lang=y>", "<head>", "</body>", "</html>", "<script>", "</script>",
      "<style>", "<textarea>", "</textarea>", "<noscript>", "<iframe>", "<pre>", "x", " ", "\n",
      "\r\n", "\0"sv, "&amp;", "&nbsp;", "<!--c-->", "<!DOCTYPE html>", "<nobr>", "<button>",
      "<form>", "</form>", "<marquee>", "<object>", "<ruby>", "<rt>", "<frame>", "<font color=r>",
      "<em>", "</em>", "<span>", "</span>", "<template shadowrootmode=open>"};
  std::mt19937 rng(11);
  for (int round = 0; round < 2000 && !HasFailure(); ++round) {
    std::string input;
    for (int n = rng() % 60; n > 0; --n) input += pieces[rng() % std::size(pieces)];
    Dom dom = parse_fragment(input);
    expect_sound(dom);
    expect_sound(parse_fragment(dom.to_html(0)));
    if (HasFailure()) ADD_FAILURE() << "input: " << input;
  }
}

}  // namespace
}  // namespace fast5ever::dom
