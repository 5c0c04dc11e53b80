// Adversarial inline inputs: each must finish in linear time with the expected shape, and deep
// nesting must neither overflow the stack nor recurse in copying, plain text or teardown.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "inline/parse.h"
#include "render/render.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi {
namespace {

using test::Parser;
using test::repeat;

std::size_t count_kind(const Inlines& list, InlineKind kind) {
  std::size_t n = 0;
  for (const Inline& x : list) n += x.kind() == kind;
  return n;
}

// Whether a list is exactly one text inline equal to `text` (no huge strings in failure output).
bool is_literal(const Inlines& list, std::string_view text) {
  return list.size() == 1 && list[0].kind() == InlineKind::Text &&
         list[0].get_if<Inline::Text>()->text == text;
}

void expect_literal(const Parser& parse, std::string_view unit, std::size_t n, std::string_view tail = "") {
  const std::string text = repeat(unit, n) + std::string(tail);
  EXPECT_TRUE(is_literal(parse.parse(text), text)) << unit;
}

TEST(InlinePathological, LiteralRuns) {
  Parser parse;
  for (std::string_view unit : {"a_ ", "_a ", "*a_ ", "[ a_", "a]", "[a"}) expect_literal(parse, unit, 32500);
  expect_literal(parse, "a**b" + repeat("c* ", 25000), 1);  // runs of three never pair
  for (std::string_view unit : {"[ (](", "[a](<b", "[a](b"}) expect_literal(parse, unit, 30000);
  for (std::string_view unit : {"<a", "<a '", "<x:", "<a@b"}) expect_literal(parse, unit, 100000);
  expect_literal(parse, "</", 1, repeat("<!--", 300000));
  std::string ticks;
  for (std::size_t k = 1; k < 2500; ++k) ticks += "e" + std::string(k, '`');
  expect_literal(parse, ticks, 1);
  const std::string nested = repeat("[", 25000) + "a" + repeat("]", 25000);
  expect_literal(parse, nested, 1);
  expect_literal(parse, repeat("[", 25000) + "x@y" + repeat("]", 25000), 1);
  EXPECT_EQ(count_kind(parse.parse(repeat("[", 25000) + "@a" + repeat("]", 25000)), InlineKind::Link), 1u);
  const Inlines images = parse.parse(repeat("![[]()", 160000));
  EXPECT_EQ(count_kind(images, InlineKind::Link), 160000u);
  EXPECT_EQ(images.size(), 320000u);
  Parser linked;
  linked.links["x"] = LinkRef{"u", {}, {}};
  expect_literal(linked, nested, 1);
  expect_literal(linked, "[a][", 30000);
  parse.options.bare_autolinks = true;
  parse.footnotes = {"1"};
  expect_literal(parse, " ", 200000, "x");
  expect_literal(parse, "a/", 100000, "@");
  expect_literal(parse, "  www.", 50000);
  EXPECT_EQ(count_kind(parse.parse(repeat("www.a.bc; ", 100000)), InlineKind::Autolink), 100000u);
  expect_literal(parse, "[^", 100000);
  expect_literal(parse, "^a ", 100000);
  expect_literal(parse, std::string("abc\0de\0", 7), 1);
  EXPECT_EQ(count_kind(parse.parse(repeat("~~a ~~~b ", 30000)), InlineKind::Strike), 0u);
  EXPECT_EQ(count_kind(parse.parse(repeat("==a ===b ", 30000)), InlineKind::Highlight), 0u);
  parse.options.math = MathMode::Dollars;
  for (std::string_view unit : {"$a ", "\\[a", "\\(a"})
    EXPECT_EQ(count_kind(parse.parse(repeat(unit, 50000)), InlineKind::MathInline), 0u) << unit;
}

TEST(InlinePathological, NestedStrongInEmphasis) {
  const std::size_t depth = 32500;
  const Inlines result = Parser{}.parse(repeat("*a **a ", depth) + "b" + repeat(" a** a*", depth));
  ASSERT_EQ(result.size(), 1u);
  const Inline* x = &result[0];
  for (std::size_t level = 0; level < depth; ++level) {
    ASSERT_EQ(x->kind(), InlineKind::Emph) << level;
    const Inlines& em = *x->children();
    ASSERT_EQ(em.size(), 3u);
    ASSERT_EQ(em[1].kind(), InlineKind::Strong);
    const Inlines& strong = *em[1].children();
    ASSERT_EQ(strong.size(), level + 1 < depth ? 3u : 1u);
    if (level + 1 < depth) x = &strong[1];
  }
}

TEST(InlinePathological, InterleavedDelimiterTypes) {
  const Inlines result = Parser{}.parse(repeat("*a ", 20000) + repeat("_a*_ ", 20000));
  // Each "*" closer pairs with the nearest "*" opener, so the emphases nest.
  std::size_t depth = 0;
  for (const Inlines* list = &result; list; depth += list != nullptr) {
    const Inlines* next = nullptr;
    for (const Inline& x : *list)
      if (x.kind() == InlineKind::Emph) next = x.children();
    list = next;
  }
  EXPECT_EQ(depth, 20000u);
}

TEST(InlinePathological, AttributeGroups) {
  for (std::string_view unit : {"`a`{x=", "`a`{", "`a`{=", "`a`{x ", "**a**{'", "[a](u){x="})
    EXPECT_GE(Parser{}.parse(repeat(unit, 30000) + "}").size(), 1u) << unit;
}

// Emphasis nested once per word: a long closing run pairs from its end without moving what stays,
// and a chain of plain strongs flattens once, from its outermost strong.
constexpr std::size_t kDepth = 100000;

// Whether `x` is a strong holding exactly one text equal to `text`.
bool is_strong_of_text(const Inline& x, std::string_view text) {
  return x.kind() == InlineKind::Strong && is_literal(*x.children(), text);
}

TEST(InlinePathological, StrongChainsFlattenOnce) {
  const Parser parse;
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

TEST(InlinePathological, LongClosingRunPairsLevelByLevel) {
  const Inlines result = Parser{}.parse(repeat("*a ", kDepth) + "b" + repeat("*", kDepth));
  ASSERT_EQ(result.size(), 1u);
  const Inline* x = &result[0];
  for (std::size_t level = 1; level < kDepth; ++level) {
    ASSERT_EQ(x->kind(), InlineKind::Emph) << level;
    ASSERT_EQ(x->children()->size(), 2u) << level;
    x = &(*x->children())[1];
  }
  EXPECT_EQ(test::show({*x}), R"~(emph["a b"])~");
}

void check_deep(std::string_view open, std::string_view close, InlineKind kind) {
  Inlines result = Parser{}.parse(repeat(open, kDepth) + "x" + repeat(close, kDepth));
  ASSERT_FALSE(result.empty());
  std::size_t depth = 0;
  for (const Inline* x = &result.back(); x;) {
    depth += x->kind() == kind;
    const Inline* inner = nullptr;
    for (const Inline& kid : *x->children())
      if (kid.children()) inner = &kid;
    x = inner;
  }
  EXPECT_GE(depth, kDepth);
  Inlines copy = result;
  EXPECT_EQ(render::plain(copy), render::plain(result));
  EXPECT_EQ(inl::coalesce(std::move(copy)).size(), result.size());
}

TEST(InlinePathological, DeepNesting) {
  check_deep("^[", "]", InlineKind::Note);
  check_deep("[", "]{.c}", InlineKind::Span);
  check_deep("![", "](u)", InlineKind::Image);
  check_deep("*a ", " a*", InlineKind::Emph);
}

// Python threads run with a smaller stack than the main thread.
TEST(InlinePathological, DeepNestingOnASmallStack) {
  std::function<void()> work = [] {  // no assertions here: their frames would eat the small stack
    const Inlines result = Parser{}.parse(repeat("^[", kDepth) + "x" + repeat("]", kDepth));
    Inlines copy = result;
    (void)render::plain(copy);
    (void)inl::coalesce(std::move(copy));
  };
  ASSERT_TRUE(test::run_on_small_stack(work));
}

}  // namespace
}  // namespace vedavi
