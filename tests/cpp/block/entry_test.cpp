// The md entry as a whole: source in, finished document out.
#include <gtest/gtest.h>

#include "block/parse.h"
#include "model/document.h"
#include "model/options.h"

namespace vedavi {
namespace {

// The options a Python caller gets when it passes nothing.
Options default_options() {
  Options options;
  options.max_block_depth = 128;
  options.max_link_paren_depth = 32;
  options.bare_autolinks = true;
  options.frontmatter = true;
  options.math = MathMode::Brackets;
  return options;
}

TEST(Parse, FinishesBlocksWithInlinesAndFootnotes) {
  const Options options = default_options();
  const Document doc = parse("# Title\n\nSome *text*[^n].\n\n[^n]: The note.\n", options);
  ASSERT_EQ(doc.blocks.size(), 2u);
  EXPECT_EQ(doc.blocks[0].kind_name(), "heading");
  EXPECT_EQ(doc.blocks[1].kind_name(), "paragraph");
  ASSERT_NE(doc.blocks[1].inlines(), nullptr);
  EXPECT_FALSE(doc.blocks[1].inlines()->empty());
  ASSERT_EQ(doc.footnotes.size(), 1u);
  EXPECT_EQ(doc.footnotes[0].label, "n");
  EXPECT_EQ(doc.footnotes[0].blocks.size(), 1u);
}

TEST(Parse, ImplicitFiguresOnlyWhenAsked) {
  Options options = default_options();
  EXPECT_EQ(parse("![cap](a.png)\n", options).blocks.at(0).kind_name(), "paragraph");
  options.implicit_figures = true;
  EXPECT_EQ(parse("![cap](a.png)\n", options).blocks.at(0).kind_name(), "figure");
}

}  // namespace
}  // namespace vedavi
