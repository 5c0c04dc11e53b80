// Trees far deeper than any native stack could recurse through.
#include <gtest/gtest.h>

#include "render/anchors.h"
#include "build.h"
#include "render/render.h"
#include "render/renderer.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi {
namespace {

using namespace test;

constexpr std::size_t kDepth = 100000;

// `depth` spans (each with an id), emphases or notes, innermost holding "x".
enum class Wrap { Span, Emph, Note };
Inlines nested_inlines(Wrap wrap, std::size_t depth = kDepth) {
  Inlines inner = ins({text("x")});
  for (std::size_t i = 0; i < depth; ++i) {
    Inlines outer;  // moved in: a copy per level would be quadratic
    outer.push_back(wrap == Wrap::Span   ? span(std::move(inner), id_attr("s"))
                    : wrap == Wrap::Emph ? emph(std::move(inner))
                                         : note(std::move(inner)));
    inner = std::move(outer);
  }
  return inner;
}

TEST(DeepTrees, InlineNestingRendersWithoutRecursion) {
  const Inlines inlines = nested_inlines(Wrap::Emph);
  EXPECT_EQ(render_inlines(inlines), repeat("<em>", kDepth) + "x" + repeat("</em>", kDepth));
  EXPECT_EQ(render::plain(inlines), "x");
  EXPECT_EQ(inlines_text(inlines), "x");
}

TEST(DeepTrees, NestedNotesAndOperations) {
  const std::string html = render_document(doc_of(bls({para(nested_inlines(Wrap::Note, 1000))})));
  EXPECT_NE(html.find("<li id=\"fn-__note1000\">\n<p>x "), std::string::npos);

  Inlines value = ins({text("y")});
  for (std::size_t i = 0; i < kDepth; ++i) {
    Inline::Operation op{"s", "a", "n", {}};
    op.args.push_back(OperationArg{std::move(value), std::nullopt});
    Inlines outer;
    outer.push_back(Inline(std::move(op)));
    value = std::move(outer);
  }
  const std::string open = "<template data-op=\"s:a\" data-name=\"n\"><div data-arg>";
  EXPECT_EQ(render_inlines(value), repeat(open, kDepth) + "y" + repeat("</div></template>", kDepth));
}

TEST(DeepTrees, AnchorsOfNestedSpansInLinearTime) {
  // Every level is an anchor; computing each level's text afresh would take 10^10 steps.
  std::vector<Anchor> anchors;
  anchor_block(para(nested_inlines(Wrap::Span)), anchors);
  ASSERT_EQ(anchors.size(), kDepth);
  EXPECT_EQ(anchors.front(), (Anchor{"s", "text", "x"}));
  EXPECT_EQ(anchors.back(), (Anchor{"s", "text", "x"}));
}

TEST(DeepTrees, BlockNestingRendersWithoutRecursion) {
  constexpr std::size_t kBlocks = 1000000;
  Blocks inner = bls({para(ins({text("p")}))});
  for (std::size_t i = 0; i < kBlocks; ++i) {
    Blocks outer;
    if (i % 2 == 0) {
      outer.push_back(quote(std::move(inner)));
    } else {
      Block::List list{{}, {}, 1, false, i % 4 == 1};
      list.items.push_back(ListItem{{}, std::move(inner), {}});
      outer.push_back(Block(std::move(list)));
    }
    inner = std::move(outer);
  }
  Document doc = doc_of(std::move(inner));
  const std::string html = render_document(doc);
  EXPECT_TRUE(html.starts_with("<ul>\n<li>\n<blockquote>\n<ul>\n<li>\n<blockquote>"));
  EXPECT_NE(html.find("<blockquote>\n<p>p</p>\n</blockquote>\n"), std::string::npos);
  EXPECT_TRUE(html.ends_with("</blockquote>\n</li>\n</ul>\n"));
  std::vector<Anchor> anchors;
  anchor_block(doc.blocks[0], anchors);
  EXPECT_TRUE(anchors.empty());
}

}  // namespace
}  // namespace vedavi
