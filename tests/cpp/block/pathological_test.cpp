// Adversarial block inputs: deep nesting and long runs must parse in linear time and without
// deep recursion. The sizes are those at which quadratic work or a recursive walk would show.
#include <gtest/gtest.h>

#include "block/parse.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi::block {
namespace {

using vedavi::test::repeat;

Parsed deep_parse(std::string_view src, std::uint8_t mode = 0) {
  Options o = testing::default_options();
  o.max_block_depth = SIZE_MAX;
  return parse_source(src, o, mode);
}

// Depth of the chain of last children, walked without recursion.
std::size_t chain_depth(const Drafts& drafts) {
  std::size_t depth = 0;
  for (const Drafts* level = &drafts; !level->empty(); ++depth) {
    const DraftBlock& b = level->back().block;
    if (auto* q = std::get_if<draft::BlockQuote>(&b)) level = &q->children;
    else if (auto* l = std::get_if<draft::List>(&b)) level = &l->items.back().children;
    else return depth + 1;
  }
  return depth;
}

TEST(Pathological, DeepContainers) {
  const std::pair<std::string, std::size_t> cases[] = {  // source, depth of drafts and number of spans
      {repeat("> ", 25000) + "a", 25001},
      {repeat("- ", 30000) + "x\n" + std::string(30000, '\n'), 30001},  // blank lines after deep lists
      {"> " + repeat("- ", 30000) + "x\n" + repeat(">\n", 30000), 30002},
      {std::string(100000, '>') + repeat("a*", 100000), 100001},  // with a long paragraph
  };
  for (const auto& [src, depth] : cases) {
    EXPECT_EQ(chain_depth(deep_parse(src).drafts), depth);
    for (std::uint8_t mode : {1, 3}) EXPECT_EQ(deep_parse(src, mode).trace.spans.size(), depth);
  }
  std::string lists;
  for (std::size_t k = 0; k < 500; ++k) lists += std::string(2 * k, ' ') + "* a\n";
  EXPECT_EQ(chain_depth(deep_parse(lists).drafts), 501u);  // 500 lists, then the innermost paragraph
}

TEST(Pathological, RawHtmlDivsAndFootnotes) {
  for (const std::string& src :
       {"<div>\n" + repeat("<div <b '", 100000) + "\n", "<p>\n" + repeat("<b <b ", 100000) + "\n"}) {
    Parsed p = parse_source(src, testing::default_options(), 0);
    ASSERT_EQ(p.drafts.size(), 1u);
    EXPECT_TRUE(std::holds_alternative<draft::HtmlBlock>(p.drafts[0].block));
  }
  Parsed divs = deep_parse(repeat("::: a\n", 20000) + repeat("x\n", 20000), 1);
  EXPECT_EQ(divs.trace.spans.size(), 20001u);
  EXPECT_EQ(divs.document.diagnostics.size(), 20000u);
  EXPECT_EQ(deep_parse(repeat("::: a\n", 20000) + repeat("::::\n", 20000) + repeat(":::\n", 20000), 1)
                .document.diagnostics.size(), 0u);
  EXPECT_EQ(deep_parse(repeat("[^a]: ", 50000) + "x").footnote_labels.size(), 1u);
  EXPECT_EQ(deep_parse(repeat("<div>\n<div markdown=\"1\">\n", 20000) + "x\n").document.diagnostics.size(), 40000u);
  Parsed nested = deep_parse(repeat("<div markdown=1>\n", 20000) + "x\n" + repeat("</div>\n", 20000), 3);
  EXPECT_TRUE(nested.document.diagnostics.empty());
  EXPECT_EQ(nested.trace.spans.size(), 20000u * 3 + 1);
}

TEST(Pathological, LongRunsOfBlankLines) {
  Parsed code = parse_source("    a\n" + std::string(200000, '\n') + "    b\n", testing::default_options(), 0);
  ASSERT_EQ(code.drafts.size(), 1u);
  EXPECT_EQ(std::get<draft::CodeBlock>(code.drafts[0].block).text.size(), 200004u);
  Parsed list = parse_source("- a\n" + std::string(200000, '\n') + "- b\n", testing::default_options(), 0);
  ASSERT_EQ(list.drafts.size(), 1u);
  EXPECT_EQ(std::get<draft::List>(list.drafts[0].block).items.size(), 2u);
}

// Each level once copied the rest of the line: quadratic in time and memory at this depth.
TEST(Pathological, OrderedListsNestedOnOneLine) {
  const std::string markers = repeat("1. ", 20000);
  for (auto [src, text] : {std::pair{markers + "x", markers + "x"}, {markers + "x\n   y", markers + "x\ny"}}) {
    Parsed p = deep_parse(src);
    ASSERT_EQ(p.drafts.size(), 1u);
    const auto* para = std::get_if<draft::Paragraph>(&p.drafts[0].block);
    ASSERT_NE(para, nullptr);
    EXPECT_TRUE(para->text == text) << "text of " << para->text.size() << " bytes";
  }
}

}  // namespace
}  // namespace vedavi::block
