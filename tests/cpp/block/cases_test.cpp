// Block parser behaviour case by case: attribute lines between blocks, list reverting,
// container and leaf lines, raw HTML, tables and spans, each as a table of sources.
#include <gtest/gtest.h>

#include "block/parse.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi::block {
namespace {

using testing::default_options;
using testing::parse_dump;
using testing::spans_dump;

struct Case {
  std::string_view src;
  std::string_view expected;
};

void expect_drafts(std::initializer_list<Case> cases, const Options& options = default_options()) {
  for (const auto& c : cases) EXPECT_EQ(parse_dump(c.src, options), c.expected) << "source: " << c.src;
}

void expect_spans(std::initializer_list<Case> cases, std::uint8_t mode = 1) {
  for (const auto& c : cases)
    EXPECT_EQ(spans_dump(parse_source(c.src, default_options(), mode).trace.spans), c.expected)
        << "source: " << c.src;
}

TEST(AttributeLines, GoToTheBlockBeforeOrAfter) {
  expect_drafts({
      {"{: .a}\n{: .b}\npara", "p{.a .b} para\n"},
      {"# Title\n\n{: #top}\npara", "h1 Title\np{#top} para\n"},
      {"- a\n{: .c}", "ul{.c} tight\n  item\n    p a\n"},
      {"```\nx\n```\n{: .c}", "code{.c} x\\n\n"},
      {"{: #a}\n[x]: /u\npara", "p{#a} para\n"},
      // After a link definition the attributes still reach the block before it.
      {"# T\n[x]: /u\n{: .c}", "h1{.c} T\n"},
      // Blocks without attributes leave the line pending for the next block.
      {"<div>\n</div>\n{: .c}\npara", "html <div>\\n</div>\\n\np{.c} para\n"},
      {"{: .c}\n<div>\nx\n</div>", "p {: .c}\nhtml <div>\\nx\\n</div>\\n\n"},
      {"{: .c}", "p {: .c}\n"},
      {"p\n{: #a\\.b.c}", "p{#a.b .c} p\n"},
  });
  expect_spans({
      {"# T\n[x]: /u\n{: .c}", "heading 0-1 d0\nlink_ref 1-2 d0\n"},
      {"# T\n{: .c}\n\n{: #n}\np", "heading 0-2 d0\nparagraph 3-5 d0\n"},
      {"{: .c}\n\npara", "paragraph 0-1 d0\nparagraph 2-3 d0\n"},
  });
}

TEST(SeparatorLines, EndTheBlockBefore) {
  expect_drafts({
      {"^", ""},
      {"para\n^", "p para\\n^\n"},
      {"- a\n\n^\n\n- b", "ul tight\n  item\n    p a\nul tight\n  item\n    p b\n"},
      {"A\n\n^\n{: #a}\nB", "p A\np{#a} B\n"},
      // Directly after a paragraph line "^" is paragraph text.
      {"A\n^\n{: #a}\nB", "p A\\n^\\n{: #a}\\nB\n"},
      {"Term\n: one\n\n\nTerm2\n: two", "dl\n  dt Term\n  dd one\n  dt Term2\n  dd two\n"},
  });
  auto p = parse_source("Term\n: one\n\nTerm2\n: two", default_options(), 0);
  ASSERT_EQ(p.drafts.size(), 1u);
  EXPECT_EQ(std::get<draft::DefinitionList>(p.drafts[0].block).items.size(), 2u);
  expect_spans({{"Term\n: one\n\nTerm2\n: two", "definition_list 0-5 d0\n"}});
}

TEST(ListReverting, RunsOfSiblingLists) {
  expect_drafts({
      {"1. a\n\ntext\n\n1. b", "ol start=1 tight\n  item\n    p a\np text\nol start=1 tight\n  item\n    p b\n"},
      {"1. a\n\n# B\n\n2. b", "p 1. a\nh1 B\np 2. b\n"},
      {"> 3. a\n> 4. b", "quote\n  p 3. a\\n4. b\n"},
      {"1. a\n\ntext\n\n2. b", "ol start=1 tight\n  item\n    p a\np text\nol start=2 tight\n  item\n    p b\n"},
      {"1. a\n2. b\n\ntext\n\n1. c", "ol start=1 tight\n  item\n    p a\n  item\n    p b\np text\np 1. c\n"},
      {"# A\n\n1. a\n\n## B\n\n2. b", "h1 A\nol start=1 tight\n  item\n    p a\nh2 B\nol start=2 tight\n  item\n    p b\n"},
      {"# A\n\n1. a\n\n# B\n\n2. b", "h1 A\np 1. a\nh1 B\np 2. b\n"},
      {"1. a\n\n- x\n\n2. b", "p 1. a\nul tight\n  item\n    p x\np 2. b\n"},
      {"- x\n  1. y", "ul tight\n  item\n    p x\\n1. y\n"},
      {"1. [ ] task", "p 1. [ ] task\n"},
      // The content shows once: the marker paragraph keeps only the marker.
      {"1. # Title", "p 1.\nh1 Title\n"},
      {"1. > q", "p 1.\nquote\n  p q\n"},
      {"1. - x", "p 1.\nul tight\n  item\n    p x\n"},
      {"1. {: .c} # T", "p 1. {: .c}\nh1 T\n"},
      // A definition on the marker line does not swallow the text after it.
      {"1. [a]: /u\n   hello", "p 1. [a]: /u\\nhello\n"},
      {"1.\n\n   text", "p 1.\np text\n"},
      {"- x\n\n  1. y", "ul loose\n  item\n    p x\n    p 1. y\n"},
      // The marker line comes back on its own; in a tight list it joins the text after it.
      {"1.\n   > q", "p 1.\nquote\n  p q\n"},
      {"1.\n   text", "p 1.\\ntext\n"},
      {"2. - [x] a", "p 2.\nul tight\n  item [x]\n    p a\n"},
      // Attribute lines given to a list that is reverted stay with its first paragraph.
      {"3. a\n{: .c}", "p{.c} 3. a\n"},
      {"{: #i}\n1. a", "p{#i} 1. a\n"},
      {"{: #i}\n3. a\n   {: .x}", "p{#i .x} 3. a\n"},
  });
  expect_spans({{"3. a\n4. b", "paragraph 0-2 d0\n"},
                {"{: #i}\n1. a\n{: .c}", "paragraph 0-3 d0\n"}, {"3. a\n\n4. b", "paragraph 0-1 d0\nparagraph 2-3 d0\n"}});
}

TEST(ContainerLines, InterruptsAndClosings) {
  expect_drafts({
      {"a\n> b", "p a\nquote\n  p b\n"},
      {"- a\n---", "ul tight\n  item\n    p a\nhr\n"},
      {"- a\n  ---", "ul tight\n  item\n    p a\n    hr\n"},
      {"- a\n\n---", "ul tight\n  item\n    p a\nhr\n"},
      {"```\na\n```  ", "code a\\n\n"},
      {"```\na\n``` x\n```", "code a\\n``` x\\n\n"},
      {"- ```\n  a\n  ```\n  b", "ul tight\n  item\n    code a\\n\n    p b\n"},
      {"    a\n      \n    b", "code a\\n  \\nb\\n\n"},
      {">     a\n>\n>     b", "quote\n  code a\\n\\nb\\n\n"},
      {"[^n]: a\n\nb", "footnote n\n  p a\np b\n"},
  });
}

TEST(ContainerLines, LooseItemsAndItemPrefixes) {
  expect_drafts({
      {"> - a\n>\n> - b", "quote\n  ul loose\n    item\n      p a\n    item\n      p b\n"},
      // Only the item the blank line separates becomes loose.
      {"- - a\n\n  - b", "ul tight\n  item\n    ul loose\n      item\n        p a\n      item\n        p b\n"},
      {"- a\n  > b\n\n  c", "ul loose\n  item\n    p a\n    quote\n      p b\n    p c\n"},
      {"- {: .x}\n  y", "ul tight\n  item{.x}\n    p y\n"},
      {"- {: bad", "ul tight\n  item\n    p {: bad\n"},
      {"- [x]", "ul tight\n  item\n    p [x]\n"},
      {"- [x]\tdone", "ul tight\n  item\n    p [x]\tdone\n"},
      // An item whose first content is an html block keeps the indented text after the blank.
      {"- <div>\n\n  y\n", "ul tight\n  item\n    html <div>\\n\\ny\\n\n"},
  });
  expect_spans({{"a\n> b", "paragraph 0-1 d0\nblock_quote 1-2 d0\nparagraph 1-2 d1\n"},
                {"a\n- b", "paragraph 0-1 d0\nlist 1-2 d0\nparagraph 1-2 d1\n"}});
}

TEST(ParagraphLines, DefinitionsAttributesAndText) {
  expect_drafts({
      {"> p\n> {: .a}\n> {: #x .b}", "quote\n  p{#x .a .b} p\n"},
      // The first line left after the definitions is never an attribute line.
      {"> {: .a}", "quote\n  p {: .a}\n"},
      {"> [x]: /u\n> {: .a}", "quote\n  p {: .a}\n"},
      {"> a  \n>    b  ", "quote\n  p a  \\nb\n"},
      {"> [x]: /u\n> [y]: /v", "quote\n"},
  });
}

TEST(LeafLines, HeadingsAndBreaks) {
  expect_drafts({
      {"___", "p ___\n"},
      {"#\tx", "h1 x\n"},
      {"#\fx", "h1 x\n"},
      {"#\vx", "p #\vx\n"},
      {"## Title ## {#t}", "h2{#t} Title\n"},
      {"### ###", "h3 \n"},
      {"# foo#  #", "h1 foo#\n"},
  });
}

TEST(LeafLines, MathNeedsBracketsOrDollars) {
  Options o = default_options();
  o.math = MathMode::On;
  expect_drafts({{"$$\nx\n$$", "p $$\\nx\\n$$\n"}, {"\\[\nx\n\\]", "p \\[\\nx\\n\\]\n"}}, o);
  o.math = MathMode::Dollars;
  expect_drafts({{"$$\n  x\n $$ ", "math   x\n"}, {"$$\nx\n\\]\n$$", "math x\\n\\]\n"}}, o);
}

TEST(LeafLines, DivsAndFootnoteDefinitions) {
  expect_drafts({
      {"::: note :::\nx\n:::", "div{.note}\n  p x\n"},
      {"::: :note: more\nx\n:::", "div{.note}\n  p x\n"},
      {"::: note {#x .y}\nx\n:::", "div{#x .note .y}\n  p x\n"},
      {"::: ::::", "p ::: ::::\n"},
      {"[^n]:\n    text", "footnote n\n  p text\n"},
      {"[^n]: a\n\n    b", "footnote n\n  p a\n  p b\n"},
      {"[^a\xC2\xA0" "b]: x", "p [^a\xC2\xA0" "b]: x\n"},
      {"[^ a]: x", "p [^ a]: x\n"},  // white space from the label's first byte on
      {"Term\n:    def", "dl\n  dt Term\n  dd  def\n"},
  });
}

TEST(RawHtml, BlocksAndDepth) {
  expect_drafts({
      {"<div>\n\nafter", "html <div>\\n\\nafter\\n\n"},
      {"<span>\nx", "p <span>\\nx\n"},
      // Unknown tags and markup-like "<" are escaped, a lone "<" is not.
      {"<table>\n<foo> a < b\n</table>", "html <table>\\n&lt;foo> a < b\\n</table>\\n\n"},
      {"<div>\n<?php ?> <!x> </ z>\n</div>", "html <div>\\n&lt;?php ?> &lt;!x> &lt;/ z>\\n</div>\\n\n"},
      {"<!-- a -->\nb", "html <!-- a -->\\n\np b\n"},
      {"</div>\nx", "html </div>\\nx\\n\n"},
      {"<hr>\nx", "html <hr>\\nx\\n\n"},
      {"<div/>\nx", "html <div/>\\nx\\n\n"},
      {"<div>\n<!-- </div> -->\n</div>\nx", "html <div>\\n<!-- </div> -->\\n</div>\\n\np x\n"},
      {"<div>\n<div/>\n</div>\nx", "html <div>\\n<div/>\\n</div>\\n\np x\n"},
      {"<!-- note", "html <!-- note\\n-->\\n\n"},
      {"<p>\n<!-- a", "html <p>\\n<!-- a\\n-->\\n\n"},
  });
}

TEST(RawHtml, MarkdownContainers) {
  expect_drafts({
      {"<div markdown=1 class=x>\n*a*\n</div>", "splice\n  html <div class=x>\\n\n  p *a*\n  html </div>\\n\n"},
      {"<div markdown=1>\na\n  </div>  ", "splice\n  html <div>\\n\n  p a\n  html </div>\\n\n"},
      // Never closed: the opening tag and the content, no closing block.
      {"<div markdown=1>\nx", "splice\n  html <div>\\n\n  p x\n"},
      {"<div markdown=1/>\nx", "html <div markdown=1/>\\nx\\n\n"},
      // "_" is a name character: a complete open tag on its own line opens a raw block.
      {"<my-box data_x=\"1\">\n*x*\n\n*y*\n</my-box>", "html <my-box data_x=\"1\">\\n*x*\\n\\n*y*\\n</my-box>\\n\n"},
  });
}

TEST(Tables, CellsAlignsAndEnds) {
  expect_drafts({
      {"a | b\n:-x-: | --", "p a | b\\n:-x-: | --\n"},
      {"a|b\n-|-\n# h", "table\n  head |a |b\nh1 h\n"},
      {"a|b\n-|-\n# x | y", "table\n  head |a |b\n  row |# x |y\n"},
      {"a|b\n-|-\n> x | y", "table\n  head |a |b\nquote\n  p x | y\n"},
      {"a|b\n-|-\n:x", "table\n  head |a |b\n  row |:x |\n"},
      {"a|b\n-|-\n\nc|d", "table\n  head |a |b\np c|d\n"},
  });
  auto p = parse_source("a | b | c | d\n--- | :---: | :-- | --:", default_options(), 0);
  ASSERT_EQ(p.drafts.size(), 1u);
  const auto& table = std::get<draft::Table>(p.drafts[0].block);
  std::vector<Align> expected{Align::None, Align::Center, Align::Left, Align::Right};
  EXPECT_EQ(table.aligns, expected);
  ASSERT_EQ(table.head.size(), 1u);
  EXPECT_EQ(table.head[0].cells[1].align, Align::Center);
  expect_spans({{"p\na|b\n-|-\nc|d", "paragraph 0-1 d0\ntable 1-4 d0\n"}});
}

TEST(BlockSpans, PanelsNestedAndUnclosedContainers) {
  expect_spans({
      {"> ::: {.callout-note}\n> ## N\n> :::", "block_quote 0-3 d0\npanel 0-3 d1\npanel_title 1-2 d2\n"},
  });
}

std::string syntax_dump(std::string_view src) {
  Parsed p = parse_source(src, default_options(), 3);
  std::string out;
  for (const auto& e : p.trace.records)
    if (auto* s = std::get_if<SyntaxRecord>(&e))
      out += std::to_string(s->line) + ":" + std::to_string(s->start) + "-" + std::to_string(s->end) + " " +
             std::string(scope_name(s->scope)) + "\n";
  return out;
}

TEST(ModeThree, MarkerScopesOfLeaves) {
  struct Case {
    std::string_view src, expected;
  } cases[] = {
      {"> ## T", "0:2-4 punctuation-special\n"},
      // No label for an info that opens with a brace, nor for an empty one.
      {"```{.a}\nx\n```  ", "0:0-3 punctuation-special\n0:3-7 attribute\n2:0-3 punctuation-special\n"},
      {"```\nx\n```", "0:0-3 punctuation-special\n2:0-3 punctuation-special\n"},
      {"::: {.a} :::\nx\n:::", "0:0-3 punctuation-special\n0:4-12 attribute\n2:0-3 punctuation-special\n"},
      {"<div markdown=1>\nx\n</div>", "0:0-16 punctuation-special\n2:0-6 punctuation-special\n"},
      {"a|b\n-|-\n: cap\n{: #t}",
       "0:1-2 punctuation-special\n1:0-3 punctuation-special\n2:0-1 punctuation-special\n3:0-6 attribute\n"},
      {"t\n: d\n{: .c}", "1:0-1 punctuation-special\n2:0-6 attribute\n"},
      {"- ---", "0:2-5 punctuation-special\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(syntax_dump(c.src), c.expected) << c.src;
}

TEST(ModeThree, EmptySyntaxRangesAreNotNoted) {
  Options o = default_options();
  Parser parser({"abc"}, o, 3);
  ContainerBuilder builder(parser);
  builder.note_syntax(2, 2);
  EXPECT_TRUE(builder.syntax.empty());
  builder.note_syntax(1, 3);
  ASSERT_EQ(builder.syntax.size(), 1u);
  EXPECT_EQ(builder.syntax[0].start, 1u);
  EXPECT_EQ(builder.syntax[0].end, 3u);
  Parser quiet({"abc"}, o, 2);
  ContainerBuilder unrecorded(quiet);
  unrecorded.note_syntax(1, 3);
  EXPECT_TRUE(unrecorded.syntax.empty());
}

TEST(BlockSpans, FigureAndPanelFacts) {
  Options o = default_options();
  o.implicit_figures = true;
  Parsed fig = parse_source("![A *cat*](cat.png \"T\"){#fig-cat .wide}", o, 2);
  ASSERT_EQ(fig.trace.spans.size(), 1u);
  const SpanFacts& f = fig.trace.spans[0].facts();
  EXPECT_EQ(fig.trace.spans[0].kind, "figure");
  EXPECT_EQ(f.id, "fig-cat");
  EXPECT_EQ(f.caption, "A cat");
  EXPECT_EQ(f.url, "cat.png");
  EXPECT_EQ(f.title, "T");
  // The attribute line's id wins over the image's.
  Parsed outer = parse_source("{: #outer}\n![A](c.png){#f}", o, 2);
  ASSERT_EQ(outer.trace.spans.size(), 1u);
  EXPECT_EQ(outer.trace.spans[0].facts().id, "outer");
  EXPECT_EQ(outer.trace.spans[0].start, 0u);
  EXPECT_EQ(parse_source("![a](x.png) text", o, 2).trace.spans[0].kind, "paragraph");

  Parsed panel = parse_source("::: {.callout-note}\n## Note\ntext\n:::", default_options(), 2);
  ASSERT_EQ(panel.trace.spans.size(), 3u);
  const SpanFacts& pf = panel.trace.spans[0].facts();
  ASSERT_TRUE(pf.panel);
  EXPECT_EQ(testing::attr_text(*pf.panel), "{data-panel= data-callout=note data-disclosure=fixed}");
  EXPECT_EQ(testing::attr_text(*pf.attrs), "{.callout-note}");
  EXPECT_EQ(pf.title_line, 1u);
  EXPECT_EQ(panel.trace.spans[1].kind, "panel_title");
}

}  // namespace
}  // namespace vedavi::block
