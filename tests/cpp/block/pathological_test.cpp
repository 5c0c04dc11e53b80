// Adversarial block inputs: deep nesting and long runs must parse in linear time and without
// deep recursion. The sizes are those at which quadratic work or a recursive walk would show.
#include <gtest/gtest.h>

#include "block/parse.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi::block {
namespace {

Options deep_options() {
  Options o = testing::default_options();
  o.max_block_depth = 1'000'000;
  return o;
}

using vedavi::test::repeat;

// Depth of the chain of last children, walked without recursion.
std::size_t chain_depth(const Drafts& drafts) {
  std::size_t depth = 0;
  const Drafts* level = &drafts;
  while (!level->empty()) {
    ++depth;
    const DraftBlock& b = level->back().block;
    if (auto* q = std::get_if<draft::BlockQuote>(&b)) {
      level = &q->children;
    } else if (auto* l = std::get_if<draft::List>(&b)) {
      level = &l->items.back().children;
    } else {
      break;
    }
  }
  return depth;
}

TEST(Pathological, NestedBlockQuotes) {
  std::string src = repeat("> ", 25000) + "a";
  for (std::uint8_t mode : {0, 1, 3}) {
    Parsed p = parse_source(src, deep_options(), mode);
    if (mode == 0) {
      EXPECT_EQ(chain_depth(p.drafts), 25001u);
    } else {
      EXPECT_EQ(p.trace.spans.size(), 25001u);
    }
  }
}

TEST(Pathological, NestedListsByIndentation) {
  std::string src;
  for (std::size_t k = 0; k < 500; ++k) src += std::string(2 * k, ' ') + "* a\n";
  Parsed p = parse_source(src, deep_options(), 0);
  EXPECT_EQ(chain_depth(p.drafts), 501u);  // 500 lists, then the innermost paragraph
}

TEST(Pathological, BlankLinesAfterDeepLists) {
  std::string src = repeat("- ", 30000) + "x\n" + std::string(30000, '\n');
  Parsed p = parse_source(src, deep_options(), 0);
  EXPECT_EQ(chain_depth(p.drafts), 30001u);
  Parsed spans = parse_source(src, deep_options(), 3);
  EXPECT_EQ(spans.trace.spans.size(), 30001u);
}

TEST(Pathological, BlankQuoteLinesAfterDeepListsInAQuote) {
  std::string src = "> " + repeat("- ", 30000) + "x\n" + repeat(">\n", 30000);
  Parsed p = parse_source(src, deep_options(), 0);
  EXPECT_EQ(chain_depth(p.drafts), 30002u);
}

TEST(Pathological, DeepQuoteWithLongParagraph) {
  std::string src = std::string(100000, '>') + repeat("a*", 100000);
  Parsed p = parse_source(src, deep_options(), 0);
  EXPECT_EQ(chain_depth(p.drafts), 100001u);
  Parsed spans = parse_source(src, deep_options(), 3);
  EXPECT_EQ(spans.trace.spans.size(), 100001u);
}

TEST(Pathological, ManyOpenAngleBracketsInRawHtml) {
  std::string src = "<div>\n" + repeat("<div <b '", 100000) + "\n";
  Parsed p = parse_source(src, testing::default_options(), 0);
  ASSERT_EQ(p.drafts.size(), 1u);
  EXPECT_TRUE(std::holds_alternative<draft::HtmlBlock>(p.drafts[0].block));
  std::string lt = "<p>\n" + repeat("<b <b ", 100000) + "\n";
  Parsed q = parse_source(lt, testing::default_options(), 0);
  EXPECT_EQ(q.drafts.size(), 1u);
}

TEST(Pathological, ManyFencedDivsAndFootnotes) {
  std::string divs = repeat("::: a\n", 20000) + repeat("x\n", 20000);
  Parsed p = parse_source(divs, deep_options(), 1);
  EXPECT_EQ(p.trace.spans.size(), 20001u);
  EXPECT_EQ(p.document.diagnostics.size(), 20000u);
  std::string other = repeat("::: a\n", 20000) + repeat("::::\n", 20000) + repeat(":::\n", 20000);
  Parsed o = parse_source(other, deep_options(), 1);
  EXPECT_EQ(o.document.diagnostics.size(), 0u);
  std::string notes = repeat("[^a]: ", 50000) + "x";
  Parsed n = parse_source(notes, deep_options(), 0);
  EXPECT_EQ(n.footnote_labels.size(), 1u);
}

TEST(Pathological, NestedMarkdownContainersInRawHtml) {
  std::string src = repeat("<div>\n<div markdown=\"1\">\n", 20000) + "x\n";
  Parsed p = parse_source(src, deep_options(), 0);
  EXPECT_EQ(p.document.diagnostics.size(), 40000u);
  std::string plain = repeat("<div markdown=1>\n", 20000) + "x\n" + repeat("</div>\n", 20000);
  Parsed q = parse_source(plain, deep_options(), 3);
  EXPECT_TRUE(q.document.diagnostics.empty());
  EXPECT_EQ(q.trace.spans.size(), 20000u * 3 + 1);
}

TEST(Pathological, LongRunsOfBlankLinesAndIndentedCode) {
  std::string src = "    a\n" + std::string(200000, '\n') + "    b\n";
  Parsed p = parse_source(src, testing::default_options(), 0);
  ASSERT_EQ(p.drafts.size(), 1u);
  EXPECT_EQ(std::get<draft::CodeBlock>(p.drafts[0].block).text.size(), 200004u);
  std::string list = "- a\n" + std::string(200000, '\n') + "- b\n";
  Parsed l = parse_source(list, testing::default_options(), 0);
  ASSERT_EQ(l.drafts.size(), 1u);
  EXPECT_EQ(std::get<draft::List>(l.drafts[0].block).items.size(), 2u);
}

TEST(Pathological, OrderedListsNestedOnOneLine) {
  std::string src = repeat("1. ", 2000) + "x";
  Parsed p = parse_source(src, deep_options(), 0);
  ASSERT_EQ(p.drafts.size(), 1u);
  auto* para = std::get_if<draft::Paragraph>(&p.drafts[0].block);
  ASSERT_NE(para, nullptr);
  EXPECT_EQ(para->text, src);
}

}  // namespace
}  // namespace vedavi::block
