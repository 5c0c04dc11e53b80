// Block spans, span facts, per-line content offsets, syntax scopes, edit regions and the
// diagnostics of every span mode.
#include <gtest/gtest.h>

#include <algorithm>

#include "block/parse.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi::block {
namespace {

using testing::default_options;
using testing::spans_dump;
using vedavi::test::repeat;

TEST(BlockSpans, RangesAndDepths) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"a\nb\n\n# h\n", "paragraph 0-2 d0\nheading 3-4 d0\n"},
      {"> - x\n>   y\n", "block_quote 0-2 d0\nlist 0-2 d1\nparagraph 0-2 d2\n"},
      {"{: .note}\npara", "paragraph 0-2 d0\n"}, {"# Title\n{: #top}", "heading 0-2 d0\n"},
      {"```\na\n\n\n```\n", "code_block 0-5 d0\n"},
      {"- a\n\n\n- b\n\n\n", "list 0-4 d0\nparagraph 0-1 d1\nparagraph 3-4 d1\n"},
      {"{: #a}\n[x]: /u\npara", "attr_def 0-1 d0\nlink_ref 1-2 d0\nparagraph 2-3 d0\n"},
      // The driver's spans fall between the blocks' in line order, before a block of their line.
      {"a\n\n[x]: /u\n\n> b\n\n{: #c}\n[y]: /v\n[z]: /w\n\nc",
       "paragraph 0-1 d0\nlink_ref 2-3 d0\nblock_quote 4-5 d0\nparagraph 4-5 d1\nattr_def 6-7 d0\n"
       "paragraph 6-7 d0\nlink_ref 7-8 d0\nlink_ref 8-9 d0\nparagraph 10-11 d0\n"},
      {"<div markdown=1>\nx\n</div>", "html_container 0-3 d0\nhtml_block 0-1 d1\nparagraph 1-2 d1\nhtml_block 2-3 d1\n"},
      {"::: a\nx\n:::\n\ny", "div 0-3 d0\nparagraph 1-2 d1\nparagraph 4-5 d0\n"},
      {"::: {.callout-note}\n## Note\ntext\n:::", "panel 0-4 d0\npanel_title 1-2 d1\nparagraph 2-3 d1\n"},
      {"> ::: {.callout-note}\n> ## N\n> :::", "block_quote 0-3 d0\npanel 0-3 d1\npanel_title 1-2 d2\n"},
      {"1. one", "paragraph 0-1 d0\n"}, {"::: a\npara\n\n\n:::", "div 0-5 d0\nparagraph 1-2 d1\n"},
      {"<div markdown=1>\nx\n\n", "html_container 0-2 d0\nhtml_block 0-1 d1\nparagraph 1-2 d1\n"},
      {"- a\n\n  b\n- c", "list 0-4 d0\nparagraph 0-1 d1\nparagraph 2-3 d1\nparagraph 3-4 d1\n"},
  };
  for (const auto& [src, expected] : cases)
    EXPECT_EQ(spans_dump(parse_source(src, default_options(), 1).trace.spans), expected) << src;
  Parsed p0 = parse_source("> - x", default_options(), 0);
  EXPECT_TRUE(into_spans(std::move(p0.trace), true).empty());
  Parsed p1 = parse_source("> - x", default_options(), 1);
  EXPECT_TRUE(p1.drafts.empty());
  EXPECT_TRUE(p1.document.blocks.empty());
  EXPECT_EQ(spans_dump(into_spans(p1.trace, false)), "block_quote 0-1 d0\n");
  EXPECT_EQ(std::move(p1.trace).into_spans(true).size(), 3u);
}

// The span modes turn a top-level draft into its spans as soon as no later line can change it.
// On sources long enough for that to happen many times over, where later lines do change earlier
// blocks, every mode lists the blocks of the drafts of the whole parse.
TEST(BlockSpans, LaterLinesChangeEarlierBlocks) {
  struct Row {
    std::string_view head, unit, tail;
    std::size_t repeat;
  };
  const Row rows[] = {
      // An attribute line goes to the block before it.
      {"", "# h\n{: .c}\n", "", 700}, {"", "> q\n{: .c}\n\n", "", 700}, {"", "# h\n^\n{: .c}\n", "", 700},
      // Definition lists with equal attributes join across blank lines (more below).
      {"", "Term\n: d\n\nTerm\n: e\n\n# h\n\np\n\n", "", 300}, {"T\n: d\n\n", "T\n: e\n\n", "", 700},
      // Implicit figures whose images are defined at the end.
      {"", "![a][r]\n\np\n\n", "[r]: /u\n", 400}, {"", "- ![b][r]\n\n> ![c][r]\n", "[r]: /u\n", 400},
      // Each single ordered list turns back into text when the next one starts at 1.
      {"", "1. a\n\np\n\n", "2. b\n", 400},
      // A single ordered list pending over many blocks, then continued or ended by a heading.
      {"1. a\n\n", "p\n\n", "2. b\n", 700}, {"1. a\n\n", "p\n\n", "# h\n", 700},
      {"", "3. x\n\n- y\n\n", "", 400}, {"", "1. a\n2. b\n\n## s\n\n1. c\n\n# t\n\n", "", 200},
      // Nested lists turned back into text inside their blocks.
      {"", "- 1. 2. a\n\n> 1. b\n> 3. c\n\n", "", 400},
  };
  // Definition lists joined across a blank line with one to six blocks between the pairs: the draft
  // list fills up at every place in the unit.
  std::vector<std::string> joined;
  for (std::string between; between.size() < 18; between += "p\n\n") joined.push_back("T\n: d\n\nT\n: e\n\n" + between);
  std::vector<Row> all(std::begin(rows), std::end(rows));
  for (const std::string& unit : joined) all.push_back(Row{"", unit, "", 300});
  Options o = default_options();
  o.implicit_figures = true;
  for (const Row& row : all) {
    std::string src(row.head);
    for (std::size_t k = 0; k < row.repeat; ++k) src += row.unit;
    src += row.tail;
    Parsed whole = parse_source(src, o, 0);
    std::vector<BlockSpan> expected;
    draft_spans(whole.drafts, 0, expected);
    for (std::uint8_t mode = 1; mode <= 4; ++mode) {
      std::vector<BlockSpan> got;
      for (BlockSpan& s : parse_source(src, o, mode).trace.spans)
        if (s.kind != "attr_def" && s.kind != "link_ref") got.push_back(std::move(s));
      EXPECT_EQ(spans_dump(got), spans_dump(expected)) << "mode " << int(mode) << ": " << row.unit;
    }
  }
}

// A top-level list or quote finishes each child as the next one opens, and in the span modes
// turns it into its spans unless a later line may still change it. Held one level down, in a div,
// the same blocks are finished only at the end: every mode lists the same spans there, one line
// later and one level deeper.
TEST(BlockSpans, ChildrenOfATopLevelBlockFinishedEarly) {
  const std::string sources[] = {
      // Nested single lists turn back into text beside their item's paragraph and join it while
      // the list is tight, unless a blank line between its last items makes it loose.
      repeat("- a\n  1. b\n", 2000), repeat("- a\n  1. b\n", 2000) + "\n- c\n",
      repeat("- a\n\n  1. b\n", 1500) + "- c\n", "- a\n\n- b\n" + repeat("- c\n  1. d\n", 1500),
      repeat("- a\n  - b\n    1. c\n", 1500),
      // An image whose definition comes at the end; from it on the items wait.
      repeat("- ![a][r]\n- p\n", 1500) + "\n[r]: /u\n",
      repeat("- p\n", 1500) + "- ![a][r]\n" + repeat("- q\n  1. r\n", 1500) + "\n[r]: /u\n",
      // Ordered lists, kept or turned back into text with their nested lists.
      repeat("1. a\n", 2000), repeat("3. x\n   1. y\n", 1500), repeat("1. x\n   4. y\n", 1500),
      // Link definitions, code and raw HTML inside items; items of several blocks.
      repeat("- [r]: /u\n  text\n", 1500), repeat("- ```\n  c\n  ```\n- <!-- h\n", 1500),
      repeat("* a\n\n  > b\n", 1500) + "* c\n",
      // Quotes: single ordered lists pending across many children, continued or not.
      repeat("> q\n>\n", 2000), "> 1. a\n>\n" + repeat("> p\n>\n", 1500) + "> 2. b\n",
      "> 1. a\n>\n" + repeat("> p\n>\n", 1500), "> 1. a\n>\n" + repeat("> p\n>\n", 1500) + "> # h\n>\n> 2. b\n",
      repeat("> 1. a\n>\n> p\n>\n", 1500), repeat("> 3. x\n>\n> # h\n>\n", 1500),
      repeat("> ![a][r]\n>\n> p\n>\n", 1500) + "\n[r]: /u\n",
      // A table whose header was a paragraph's last line; nested quotes and lists.
      repeat("> p\n> a|b\n> -|-\n>\n> q\n>\n", 1500), repeat("> > a\n>\n> - b\n>   1. c\n", 1500),
  };
  Options o = default_options();
  o.implicit_figures = true;
  for (const std::string& src : sources) {
    const std::string wrapped = "::: w\n" + src + ":::\n";
    for (std::uint8_t mode = 0; mode <= 4; ++mode) {
      auto listing = [&](const std::string& text) {
        Parsed p = parse_source(text, o, mode);
        std::vector<BlockSpan> spans;
        if (mode == 0) draft_spans(p.drafts, 0, spans);
        else spans = std::move(p.trace.spans);
        std::vector<BlockSpan> out;
        for (BlockSpan& s : spans)
          if (s.kind != "attr_def" && s.kind != "link_ref") out.push_back(std::move(s));
        return out;
      };
      std::vector<BlockSpan> expected;
      for (BlockSpan& s : listing(wrapped)) {
        if (s.depth == 0) continue;  // the div
        --s.start;
        --s.end;
        --s.depth;
        expected.push_back(std::move(s));
      }
      EXPECT_EQ(spans_dump(listing(src)), spans_dump(expected)) << "mode " << int(mode) << ": " << src.substr(0, 40);
    }
  }
}

// The edit regions, syntax scopes and unclosed constructs of children finished early come in the
// order a whole finish gives them, as one level down in a div (whose own lines are left out: its
// last child's region reaches over its closing line).
TEST(BlockSpans, RecordsOfChildrenFinishedEarly) {
  const std::string sources[] = {
      repeat("- [r]: /u\n  text\n  {: .c}\n", 1500), repeat("- <!-- h\n- ```\n  c\n  ```\n", 1500),
      repeat("> p\n> a|b\n> -|-\n>\n> q\n> {: #i}\n>\n", 1500),
      repeat("> > a\n>\n> - b\n>   <!-- c\n", 1500) + "> end\n",
  };
  auto dump = [](const Trace& trace, std::size_t shift, std::size_t last) {
    std::string out;
    for (const EditRegion& r : trace.regions)
      out += "region '" + std::string(trace.prefix(r)) + "' " + std::to_string(r.start - shift) + "-" +
             std::to_string(std::min<std::size_t>(r.end, last) - shift) + " " + std::to_string(r.text_start - shift) + "-" +
             std::to_string(std::min<std::size_t>(r.text_end, last) - shift) + " " + std::to_string(int(r.kind)) + "\n";
    for (const SyntaxRecord& r : trace.syntax)
      if (r.line >= shift && r.line < last)
        out += "syntax " + std::to_string(r.line - shift) + " " + std::to_string(r.start) + "-" +
               std::to_string(r.end) + " " + std::string(scope_name(r.scope)) + "\n";
    for (const UnclosedRecord& u : trace.unclosed)
      out += "unclosed " + std::string(u.construct) + " " + u.expected + " " + std::to_string(u.line - shift) + "\n";
    return out;
  };
  for (const std::string& src : sources) {
    const std::string wrapped = "::: w\n" + src + ":::\n";
    const std::size_t lines = static_cast<std::size_t>(std::count(src.begin(), src.end(), '\n'));
    for (std::uint8_t mode = 3; mode <= 4; ++mode) {
      const std::string got = dump(parse_source(src, default_options(), mode).trace, 0, lines);
      const std::string want = dump(parse_source(wrapped, default_options(), mode).trace, 1, lines + 1);
      // The first line that differs, not the whole listing.
      const std::size_t at = static_cast<std::size_t>(
          std::mismatch(got.begin(), got.begin() + std::min(got.size(), want.size()), want.begin()).first - got.begin());
      const std::size_t line_start = got.rfind('\n', at == 0 ? 0 : at - 1) + 1;
      EXPECT_EQ(got.substr(line_start, 120), want.substr(line_start, 120))
          << "mode " << int(mode) << ": " << src.substr(0, 40);
    }
  }
}

TEST(SpanFacts, AttributesCaptionsFiguresAndPanels) {
  // Blocks that take attributes list them, empty or not; the others list none.
  Parsed p = parse_source("para\n\n# H {#h}\n\n<div>\n</div>", default_options(), 2);
  ASSERT_EQ(p.trace.spans.size(), 3u);
  ASSERT_TRUE(p.trace.spans[0].facts().attrs);
  EXPECT_TRUE(p.trace.spans[0].facts().attrs->empty());
  EXPECT_FALSE(p.trace.spans[0].facts().id);
  EXPECT_EQ(p.trace.spans[1].facts().attrs->id(), "h");
  EXPECT_FALSE(p.trace.spans[2].facts().attrs);
  Options dollars = default_options();
  dollars.math = MathMode::Dollars;
  const auto texts = into_spans(parse_source("$$\nx = 1\n$$\n\n    code\n", dollars, 2).trace, false);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].facts().text, "x = 1");
  EXPECT_EQ(texts[1].facts().text, "code\n");
  // An empty set survives copies and later facts.
  BlockSpan span = BlockSpan::of("table", 0, 1);
  span.set_attrs(Attr{});
  BlockSpan copy = span;
  ASSERT_TRUE(copy.facts().attrs);
  copy.set().id = "t";
  EXPECT_TRUE(copy.facts().attrs);
  EXPECT_EQ(copy.facts().id, "t");
  EXPECT_FALSE(span.facts().id);
  span.set_attrs(Attr::with_class("c"));
  EXPECT_EQ(span.facts().attrs->classes(), std::vector<std::string>{"c"});
  // The finished table merges the caption's attributes over the table's own.
  for (auto [src, id, caption] : {std::tuple{"a|b\n-|-\n{: #t}\n: Sales {#c}", "c", "Sales"},
                                  {"a|b\n-|-\n{: #t}\n: Sales", "t", "Sales"}}) {
    Parsed t = parse_source(src, default_options(), 2);
    ASSERT_EQ(t.trace.spans.size(), 1u);
    EXPECT_EQ(t.trace.spans[0].facts().id, id);
    EXPECT_EQ(t.trace.spans[0].facts().caption, caption);
  }
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
  Parsed outer = parse_source("{: #outer}\n![A](c.png){#f}", o, 2);  // the attribute line's id wins
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
}

TEST(SpanFacts, OnlyTheModesThatReportThem) {
  // Modes 2 and 4 record every fact; mode 3 only a template token's form, which its readers
  // need to tell a token's lines from text; mode 1 none.
  Options o = default_options();
  o.implicit_figures = true;
  o.templates.push_back(test::jinja_delimiter());
  const std::string_view src = "# H {#h}\n\n![A](c.png)\n\n::: {.callout-note}\n## N\n:::\n\n{{#rows}}\n";
  for (std::uint8_t mode = 1; mode <= 4; ++mode) {
    const Parsed p = parse_source(src, o, mode);
    ASSERT_EQ(spans_dump(p.trace.spans),
              "heading 0-1 d0\nfigure 2-3 d0\npanel 4-7 d0\npanel_title 5-6 d1\ntemplate_token 8-9 d0\n");
    const bool all = mode == 2 || mode == 4;
    EXPECT_EQ(bool(p.trace.spans[0].facts().id), all) << int(mode);
    EXPECT_EQ(bool(p.trace.spans[0].facts().attrs), all) << int(mode);
    EXPECT_EQ(bool(p.trace.spans[1].facts().url), all) << int(mode);
    EXPECT_EQ(bool(p.trace.spans[2].facts().panel), all) << int(mode);
    EXPECT_EQ(bool(p.trace.spans[4].facts().name), all) << int(mode);
    EXPECT_EQ(p.trace.spans[4].facts().form.has_value(), mode >= 2) << int(mode);
  }
}

// Mode 5 is mode 3 less what a re-wrapper does not read: the same spans, content offsets and
// regions, but no syntax scope and no region of a heading, also where a block is finished early
// or a whole line is a link definition or an attribute line.
TEST(ModeFive, LayoutWithoutScopesOrHeadingRegions) {
  const std::string sources[] = {
      "# H\n\npara\ntext\n{: .c}\n\n[r]: /u\nafter\n\nSet\n===\n\n```\ncode\n```\n",
      "> ## Q\n> a\n\n- # I\n  b\n\n| a | b |\n|---|---|\n| 1 | 2 |\n\nt\n: d\n\n<div>\nx\n</div>\n",
      repeat("- # h\n  text\n", 1500), repeat("> ## h\n> p\n>\n", 1500), repeat("# h\n", 3000),
  };
  auto regions = [](const Trace& trace, bool headings) {
    std::string out;
    for (const EditRegion& r : trace.regions)
      out += std::string(trace.prefix(r)) + "|" + std::to_string(r.start) + "-" + std::to_string(r.end) + " " +
             std::to_string(r.text_start) + "-" + std::to_string(r.text_end) + " " + std::to_string(int(r.kind)) + "\n";
    if (headings) return out;
    // Mode 3's heading regions left out: a heading's is its first line alone.
    std::string kept;
    for (const EditRegion& r : trace.regions) {
      const bool heading = std::any_of(trace.spans.begin(), trace.spans.end(), [&](const BlockSpan& span) {
        return (span.kind == "heading" || span.kind == "panel_title") && span.start == r.start;
      });
      if (!heading)
        kept += std::string(trace.prefix(r)) + "|" + std::to_string(r.start) + "-" + std::to_string(r.end) + " " +
                std::to_string(r.text_start) + "-" + std::to_string(r.text_end) + " " + std::to_string(int(r.kind)) + "\n";
    }
    return kept;
  };
  for (const std::string& src : sources) {
    const Parsed three = parse_source(src, default_options(), 3);
    const Parsed five = parse_source(src, default_options(), 5);
    EXPECT_FALSE(three.trace.syntax.empty()) << src.substr(0, 40);
    EXPECT_TRUE(five.trace.syntax.empty()) << src.substr(0, 40);
    EXPECT_EQ(spans_dump(five.trace.spans), spans_dump(three.trace.spans)) << src.substr(0, 40);
    EXPECT_EQ(five.trace.line_offsets, three.trace.line_offsets) << src.substr(0, 40);
    EXPECT_EQ(regions(five.trace, true), regions(three.trace, false)) << src.substr(0, 40);
  }
}

// Mode 6 is mode 3 with the spans of headings, panel titles, link and attribute definitions and
// template tokens alone, in mode 3's order, also where a list's tight paragraphs join as its items
// are finished early; every other record is mode 3's.
TEST(ModeSix, SpansOfTheLinesShownWhole) {
  Options o = default_options();
  o.templates.push_back(test::jinja_delimiter());
  const std::string sources[] = {
      "# H\n\n[r]: /u\n{: .c}\n\npara\n\n::: {.callout-note}\n## N\ntext\n:::\n\n{{#rows}}\n",
      repeat("- a\n  # h\n  b\n\n  c\n", 1500), repeat("- a\n  1. b\n  # h\n", 1500),
      repeat("- a\n  b\n  - c\n\n    d\n\n  ## v\n", 1500),
      repeat("> ## q\n> p\n>\n> {{#x}}\n", 1500), repeat("1. a\n   ## b\n", 1500) + "\n# end\n",
  };
  for (const std::string& src : sources) {
    const Parsed three = parse_source(src, o, 3);
    const Parsed six = parse_source(src, o, 6);
    std::vector<BlockSpan> kept;
    for (const BlockSpan& span : three.trace.spans)
      if (span.kind == "heading" || span.kind == "panel_title" || span.kind == "link_ref" ||
          span.kind == "attr_def" || span.kind == "template_token")
        kept.push_back(span);
    EXPECT_FALSE(kept.empty()) << src.substr(0, 40);
    EXPECT_EQ(spans_dump(six.trace.spans), spans_dump(kept)) << src.substr(0, 40);
    for (std::size_t k = 0; k < kept.size() && k < six.trace.spans.size(); ++k)
      EXPECT_EQ(six.trace.spans[k].facts().form, kept[k].facts().form) << src.substr(0, 40);
    EXPECT_EQ(six.trace.line_offsets, three.trace.line_offsets) << src.substr(0, 40);
    EXPECT_EQ(six.trace.regions.size(), three.trace.regions.size()) << src.substr(0, 40);
    EXPECT_EQ(six.trace.syntax.size(), three.trace.syntax.size()) << src.substr(0, 40);
  }
}

TEST(ModeThree, ContentOffsetsAndMarkerScopes) {
  const std::pair<std::string_view, std::vector<TraceIndex>> offsets[] = {
      {"> - x\n>   y", {4, 4}}, {"a\n  b", {0, 0}},  // a continuation line keeps its indentation
      {">\tx", {1}},  // a split tab: the offset of the first tab
      {"- a\n\n\tb", {2, 0, 0}}, {"> a\n>", {2, 1}}, {"    code", {0}},
  };
  for (const auto& [src, expected] : offsets)
    EXPECT_EQ(parse_source(src, default_options(), 3).trace.line_offsets, expected) << src;
  const std::pair<std::string_view, std::string_view> scopes[] = {
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
      // A tab split by an item's indentation is one byte, whatever the columns left of it.
      {"-\n\t:::f", "1:1-4 punctuation-special\n1:4-5 attribute\n"},
      {"-\n\t```x {.c}", "1:1-4 punctuation-special\n1:4-5 label\n1:6-10 attribute\n"},
      {"- a|b\n  -|-\n\t|c|d|", "0:3-4 punctuation-special\n1:2-5 punctuation-special\n2:1-2 punctuation-special\n2:3-4 punctuation-special\n2:5-6 punctuation-special\n"},
  };
  for (const auto& [src, expected] : scopes) {
    std::string got;
    for (const SyntaxRecord& s : parse_source(src, default_options(), 3).trace.syntax)
      got += std::to_string(s.line) + ":" + std::to_string(s.start) + "-" + std::to_string(s.end) + " " +
             std::string(scope_name(s.scope)) + "\n";
    EXPECT_EQ(got, expected) << src;
  }
  Options o = default_options();
  Parser parser(line::SourceLines("abc"), o, 3);
  ContainerBuilder builder(parser);
  builder.note_syntax(2, 2);  // empty ranges are not noted
  builder.note_syntax(1, 3);
  ASSERT_EQ(builder.syntax.size(), 1u);
  EXPECT_EQ(builder.syntax[0].start, 1u);
  EXPECT_EQ(builder.syntax[0].end, 3u);
  Parser quiet(line::SourceLines("abc"), o, 2);
  ContainerBuilder unrecorded(quiet);
  unrecorded.note_syntax(1, 3);
  EXPECT_TRUE(unrecorded.syntax.empty());
}

TEST(ModeThree, EditRegions) {
  Parsed p = parse_source("- > a\n  > b\n\n# H\n\n[x]: /u\ntext\n{: .c}\n\nt|u\n-|-", default_options(), 3);
  std::string got;
  for (const EditRegion& r : p.trace.regions)
    got += "'" + std::string(p.trace.prefix(r)) + "' " + std::to_string(static_cast<int>(r.kind)) + " " +
           std::to_string(r.text_start) + "-" + std::to_string(r.text_end) + "\n";
  // Kinds 0 text, 2 table; the link definition and the attribute line are not text.
  EXPECT_EQ(got, "'  > ' 0 0-2\n'' 0 3-4\n'' 0 6-7\n'' 2 9-11\n");
}

// Regions share their prefixes through the trace; a copy of the trace must read its own.
TEST(ModeThree, EditRegionPrefixesOutliveTheirParse) {
  std::optional<Trace> copy;
  {
    Parsed p = parse_source("- a\n  - b\n\n    c\n- d\n> e\n", default_options(), 3);
    copy.emplace(p.trace);
  }
  std::string got;
  for (const EditRegion& r : copy->regions) got += "'" + std::string(copy->prefix(r)) + "' ";
  EXPECT_EQ(got, "'  ' '    ' '    ' '  ' '> ' ");
  EXPECT_EQ(copy->prefixes.size(), 4u);  // and the empty one
}

// The span records' compact fields read back what was put in them.
TEST(SpanRecords, CompactFieldsReadAsSet) {
  for (std::string_view text : {std::string_view(""), std::string_view("h"),
                                std::string_view("a\0b", 3), std::string_view("x\ny\n")}) {
    SpanFacts f;
    f.text = text;
    SpanFacts g = f;
    f.text = std::optional<std::string>();
    ASSERT_TRUE(g.text) << text;
    EXPECT_EQ(*g.text, text);
    EXPECT_FALSE(f.text);
  }
  for (std::optional<std::size_t> line : {std::optional<std::size_t>(), std::optional<std::size_t>(0),
                                          std::optional<std::size_t>(7)}) {
    SpanFacts f;
    f.fence_end = line;
    EXPECT_EQ(static_cast<std::optional<std::size_t>>(f.fence_end), line);
    EXPECT_EQ(static_cast<bool>(f.fence_end), line.has_value());
  }
  for (std::string_view name : kSpanKindNames) {
    const BlockSpan span = BlockSpan::of(name, 1, 2);
    EXPECT_EQ(std::string_view(span.kind), name);
    EXPECT_EQ(span.kind, SpanKind(name));
  }
}

TEST(Diagnostics, UnclosedConstructsInEveryMode) {
  Options o = default_options();
  o.math = MathMode::Brackets;
  o.frontmatter = true;
  const std::pair<std::string_view, std::vector<std::string>> cases[] = {
      {"```\nx", {"1: unclosed fenced code block (expected '```')"}},
      {"~~~~\nx", {"1: unclosed fenced code block (expected '~~~~')"}},
      {"\\[\nx", {"1: unclosed math block (expected '\\]')"}},
      {":::: a\n::: b\nx", {"1: unclosed fenced div (expected '::::')", "2: unclosed fenced div (expected ':::')"}},
      {"<div markdown=1>\nx", {"1: unclosed markdown container (expected '</div>')"}},
      {"<div>\nx", {"1: unclosed raw HTML block (expected '</div>')"}},
      {"<!-- a\nb", {"1: unclosed raw HTML block (expected '-->')", "1: unclosed comment (expected '-->')"}},
      {"<p>\n<!-- a", {"2: unclosed comment (expected '-->')"}},
      {"<section>\n<div markdown=\"1\">\nx",
       {"2: unclosed markdown container (expected '</div>')", "2: unclosed raw HTML block (expected '</section>')"}},
      {"---\na: b\n---\n```\n", {"4: unclosed fenced code block (expected '```')"}}, {"", {}},
  };
  for (const auto& [src, expected] : cases) {
    for (std::uint8_t mode = 0; mode <= 4; ++mode) {
      std::vector<std::string> got;
      for (const auto& d : parse_source(src, o, mode).document.diagnostics)
        got.push_back(std::to_string(d.start->line) + ": " + d.message);
      EXPECT_EQ(got, expected) << src << " mode " << int(mode);
    }
  }
  for (std::uint8_t mode = 0; mode <= 4; ++mode) {
    Parsed fm = parse_source("---\na: b\n---\ntext", o, mode);
    EXPECT_EQ(fm.document.meta, (StringPairs{{"a", "b"}}));
    EXPECT_EQ(fm.body_offset, 13u);
    if (mode != 0) {
      EXPECT_EQ(spans_dump(fm.trace.spans), "paragraph 3-4 d0\n");
    }
  }
  EXPECT_EQ(testing::parse_dump("a\r\nb\rc"), "p a\\nb\\nc\n");
  EXPECT_EQ(testing::parse_dump("---\na: b\n---", default_options()), "hr\np a: b\nhr\n");  // frontmatter off
}

}  // namespace
}  // namespace vedavi::block
