// Emphasis nested once per word stays linear: a long closing run pairs from its end without
// moving what stays, and a chain of plain strongs flattens once, from its outermost strong.
// The depth is one at which copying per level would be quadratic.
#include <gtest/gtest.h>

#include <string>

#include "tests/cpp/support/helpers.h"

namespace vedavi {
namespace {

constexpr std::size_t kDepth = 100000;

using vedavi::test::repeat;

// Whether `x` is a strong holding exactly one text equal to `text` (no huge failure output).
bool is_strong_of_text(const Inline& x, std::string_view text) {
  if (x.kind() != InlineKind::Strong || x.children()->size() != 1) return false;
  const auto* t = (*x.children())[0].get_if<Inline::Text>();
  return t && t->text == text;
}

TEST(NestedEmphasis, StrongChainsFlattenOnce) {
  const test::Parser parse;
  const Inlines one_closer = parse.parse(repeat("**a ", kDepth) + "b" + repeat("**", kDepth));
  ASSERT_EQ(one_closer.size(), 1u);
  EXPECT_TRUE(is_strong_of_text(one_closer[0], repeat("a ", kDepth) + "b"));

  const Inlines many_closers = parse.parse(repeat("**a ", kDepth) + repeat("b**", kDepth));
  ASSERT_EQ(many_closers.size(), 1u);
  EXPECT_TRUE(is_strong_of_text(many_closers[0], repeat("a ", kDepth) + repeat("b", kDepth)));

  // Children that are not text are moved into the outermost strong once each.
  const Inlines codes = parse.parse(repeat("**`c` ", kDepth) + "x" + repeat("**", kDepth));
  ASSERT_EQ(codes.size(), 1u);
  ASSERT_EQ(codes[0].kind(), InlineKind::Strong);
  const Inlines& children = *codes[0].children();
  ASSERT_EQ(children.size(), 2 * kDepth);
  EXPECT_EQ(children[0].kind(), InlineKind::Code);
  EXPECT_EQ(test::show({children[2 * kDepth - 2], children[2 * kDepth - 1]}), R"~(code"c" " x")~");
}

TEST(NestedEmphasis, LongClosingRunPairsLevelByLevel) {
  const test::Parser parse;
  const Inlines result = parse.parse(repeat("*a ", kDepth) + "b" + repeat("*", kDepth));
  ASSERT_EQ(result.size(), 1u);
  const Inline* x = &result[0];
  for (std::size_t level = 1; level < kDepth; ++level) {
    ASSERT_EQ(x->kind(), InlineKind::Emph) << level;
    const Inlines& em = *x->children();
    ASSERT_EQ(em.size(), 2u) << level;
    x = &em[1];
  }
  EXPECT_EQ(test::show({*x}), R"~(emph["a b"])~");
}

}  // namespace
}  // namespace vedavi
