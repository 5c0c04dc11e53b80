// Block spans, span facts, per-line content offsets, syntax scopes, edit regions and the
// diagnostics of every span mode.
#include <gtest/gtest.h>

#include "block/parse.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi::block {
namespace {

using testing::default_options;
using testing::spans_dump;

std::string spans_of(std::string_view src, std::uint8_t mode = 1) {
  return spans_dump(parse_source(src, default_options(), mode).trace.spans);
}

TEST(SpanFacts, AttributesOfEveryBlockThatTakesThem) {
  // Blocks that take attributes list them, empty or not; the others list none.
  Parsed p = parse_source("para\n\n# H {#h}\n\n<div>\n</div>", default_options(), 1);
  ASSERT_EQ(p.trace.spans.size(), 3u);
  ASSERT_TRUE(p.trace.spans[0].facts().attrs);
  EXPECT_TRUE(p.trace.spans[0].facts().attrs->empty());
  EXPECT_FALSE(p.trace.spans[0].facts().id);
  EXPECT_EQ(p.trace.spans[1].facts().attrs->id, "h");
  EXPECT_FALSE(p.trace.spans[2].facts().attrs);

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
  EXPECT_EQ(span.facts().attrs->classes, std::vector<std::string>{"c"});
}

TEST(BlockSpans, RangesAndDepths) {
  struct Case {
    std::string_view src, expected;
  } cases[] = {
      {"a\nb\n\n# h\n", "paragraph 0-2 d0\nheading 3-4 d0\n"},
      {"> - x\n>   y\n", "block_quote 0-2 d0\nlist 0-2 d1\nparagraph 0-2 d2\n"},
      {"{: .note}\npara", "paragraph 0-2 d0\n"},
      {"# Title\n{: #top}", "heading 0-2 d0\n"},
      {"```\na\n\n\n```\n", "code_block 0-5 d0\n"},
      {"- a\n\n\n- b\n\n\n", "list 0-4 d0\nparagraph 0-1 d1\nparagraph 3-4 d1\n"},
      {"{: #a}\n[x]: /u\npara", "attr_def 0-1 d0\nlink_ref 1-2 d0\nparagraph 2-3 d0\n"},
      {"<div markdown=1>\nx\n</div>", "html_container 0-3 d0\nhtml_block 0-1 d1\nparagraph 1-2 d1\nhtml_block 2-3 d1\n"},
      {"::: a\nx\n:::\n\ny", "div 0-3 d0\nparagraph 1-2 d1\nparagraph 4-5 d0\n"},
      {"::: {.callout-note}\n## Note\ntext\n:::", "panel 0-4 d0\npanel_title 1-2 d1\nparagraph 2-3 d1\n"},
      {"1. one", "paragraph 0-1 d0\n"},
      {"::: a\npara\n\n\n:::", "div 0-5 d0\nparagraph 1-2 d1\n"},
      {"<div markdown=1>\nx\n\n", "html_container 0-2 d0\nhtml_block 0-1 d1\nparagraph 1-2 d1\n"},
      {"- a\n\n  b\n- c", "list 0-4 d0\nparagraph 0-1 d1\nparagraph 2-3 d1\nparagraph 3-4 d1\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(spans_of(c.src), c.expected) << c.src;
}

TEST(BlockSpans, ModeZeroHasNoSpansAndNestingFilter) {
  Parsed p0 = parse_source("> - x", default_options(), 0);
  EXPECT_TRUE(into_spans(std::move(p0.trace), true).empty());
  Parsed p1 = parse_source("> - x", default_options(), 1);
  EXPECT_TRUE(p1.drafts.empty());
  EXPECT_TRUE(p1.document.blocks.empty());
  EXPECT_EQ(spans_dump(into_spans(p1.trace, false)), "block_quote 0-1 d0\n");
  EXPECT_EQ(std::move(p1.trace).into_spans(true).size(), 3u);
}

TEST(BlockSpans, CaptionedTableIdAgreesWithTheDocument) {
  // The finished table merges the caption's attributes over the table's own.
  Parsed p = parse_source("a|b\n-|-\n{: #t}\n: Sales {#c}", default_options(), 2);
  ASSERT_EQ(p.trace.spans.size(), 1u);
  EXPECT_EQ(p.trace.spans[0].facts().id, "c");
  EXPECT_EQ(p.trace.spans[0].facts().caption, "Sales");
  Parsed q = parse_source("a|b\n-|-\n{: #t}\n: Sales", default_options(), 2);
  EXPECT_EQ(q.trace.spans[0].facts().id, "t");
}

TEST(ModeThree, ContentOffsets) {
  struct Case {
    std::string_view src;
    std::vector<std::size_t> offsets;
  } cases[] = {
      {"> - x\n>   y", {4, 4}},
      {"a\n  b", {0, 0}},  // a continuation line keeps its indentation
      {">\tx", {1}},       // a split tab: the offset of the first tab
      {"- a\n\n\tb", {2, 0, 0}},
      {"> a\n>", {2, 1}},
      {"    code", {0}},
  };
  for (const auto& c : cases) {
    Parsed p = parse_source(c.src, default_options(), 3);
    EXPECT_EQ(p.trace.line_offsets, c.offsets) << c.src;
  }
}

TEST(ModeThree, EditRegions) {
  Parsed p = parse_source("- > a\n  > b\n\n# H\n\n[x]: /u\ntext\n{: .c}\n\nt|u\n-|-", default_options(), 3);
  std::vector<EditRegion> regions;
  for (const auto& e : p.trace.records)
    if (auto* r = std::get_if<EditRegion>(&e)) regions.push_back(*r);
  ASSERT_EQ(regions.size(), 4u);
  EXPECT_EQ(regions[0].prefix, "  > ");
  EXPECT_EQ(regions[0].kind, RegionKind::Text);
  EXPECT_EQ(regions[0].text_start, 0u);
  EXPECT_EQ(regions[0].text_end, 2u);
  EXPECT_EQ(regions[1].kind, RegionKind::Text);
  EXPECT_EQ(regions[1].text_start, 3u);
  EXPECT_EQ(regions[1].text_end, 4u);
  // The link definition and the attribute line are not text.
  EXPECT_EQ(regions[2].text_start, 6u);
  EXPECT_EQ(regions[2].text_end, 7u);
  EXPECT_EQ(regions[3].kind, RegionKind::Table);
}

std::vector<std::string> messages(const Document& d) {
  std::vector<std::string> out;
  for (const auto& diag : d.diagnostics)
    out.push_back(std::to_string(diag.start->line) + ": " + diag.message);
  return out;
}

TEST(Diagnostics, UnclosedConstructsInEveryMode) {
  Options o = default_options();
  o.math = MathMode::Brackets;
  o.frontmatter = true;
  struct Case {
    std::string_view src;
    std::vector<std::string> expected;
  } cases[] = {
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
      {"---\na: b\n---\n```\n", {"4: unclosed fenced code block (expected '```')"}},
      {"", {}},
  };
  for (const auto& c : cases) {
    for (std::uint8_t mode = 0; mode <= 3; ++mode) {
      Parsed p = parse_source(c.src, o, mode);
      EXPECT_EQ(messages(p.document), c.expected) << c.src << " mode " << int(mode);
    }
  }
  for (std::uint8_t mode = 0; mode <= 3; ++mode) {
    Parsed fm = parse_source("---\na: b\n---\ntext", o, mode);
    ASSERT_EQ(fm.document.meta.size(), 1u);
    EXPECT_EQ(fm.document.meta[0].first, "a");
    EXPECT_EQ(fm.body_offset, 13u);
    if (mode != 0) {
      EXPECT_EQ(spans_dump(fm.trace.spans), "paragraph 3-4 d0\n");
    }
  }
}

TEST(Driver, LineEndsAndEmptyInput) {
  EXPECT_EQ(testing::parse_dump("a\r\nb\rc"), "p a\\nb\\nc\n");
  Parsed empty = parse_source("", default_options(), 0);
  EXPECT_TRUE(empty.drafts.empty());
  EXPECT_TRUE(empty.document.diagnostics.empty());
  EXPECT_TRUE(empty.document.meta.empty());
  Options no_fm = default_options();
  EXPECT_EQ(testing::parse_dump("---\na: b\n---", no_fm), "hr\np a: b\nhr\n");
}

}  // namespace
}  // namespace vedavi::block
