// Adversarial inline inputs: each must finish in linear time with the expected shape, and deep
// nesting must neither overflow the stack nor recurse in copying, plain text or teardown.
#include <gtest/gtest.h>

#include <pthread.h>

#include <functional>
#include <string>

#include "inline/parse.h"
#include "tests/cpp/support/helpers.h"
#include "render/render.h"

namespace vedavi {
namespace {

using test::Parser;

using vedavi::test::repeat;

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

TEST(InlinePathological, UnmatchedDelimitersStayLiteral) {
  Parser parse;
  for (std::string_view unit : {"a_ ", "_a ", "*a_ ", "[ a_", "a]", "[a"}) {
    const std::string text = repeat(unit, 32500);
    EXPECT_TRUE(is_literal(parse.parse(text), text)) << unit;
  }
}

TEST(InlinePathological, NestedStrongInEmphasis) {
  Parser parse;
  const std::size_t depth = 32500;
  const Inlines result = parse.parse(repeat("*a **a ", depth) + "b" + repeat(" a** a*", depth));
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
  Parser parse;
  const Inlines result = parse.parse(repeat("*a ", 20000) + repeat("_a*_ ", 20000));
  // Each "*" closer pairs with the nearest "*" opener, so the emphases nest.
  std::size_t depth = 0;
  for (const Inlines* list = &result; list;) {
    const Inlines* next = nullptr;
    for (const Inline& x : *list)
      if (x.kind() == InlineKind::Emph) next = x.children();
    if (next) ++depth;
    list = next;
  }
  EXPECT_EQ(depth, 20000u);
  const std::string rule_of_three = "a**b" + repeat("c* ", 25000);
  EXPECT_TRUE(is_literal(parse.parse(rule_of_three), rule_of_three));
}

TEST(InlinePathological, BracketsAndDestinations) {
  Parser parse;
  for (std::string_view unit : {"[ (](", "[a](<b", "[a](b"}) {
    const std::string text = repeat(unit, 30000);
    EXPECT_TRUE(is_literal(parse.parse(text), text)) << unit;
  }
  const std::string nested = repeat("[", 25000) + "a" + repeat("]", 25000);
  EXPECT_TRUE(is_literal(parse.parse(nested), nested));

  const std::string nested_at = repeat("[", 25000) + "x@y" + repeat("]", 25000);
  EXPECT_TRUE(is_literal(parse.parse(nested_at), nested_at));
  const Inlines xref = parse.parse(repeat("[", 25000) + "@a" + repeat("]", 25000));
  EXPECT_EQ(count_kind(xref, InlineKind::Link), 1u);

  const Inlines images = parse.parse(repeat("![[]()", 160000));
  EXPECT_EQ(count_kind(images, InlineKind::Link), 160000u);
  EXPECT_EQ(images.size(), 320000u);

  parse.links["x"] = LinkRef{"u", {}, {}};
  EXPECT_TRUE(is_literal(parse.parse(nested), nested));
  const std::string refs = repeat("[a][", 30000);
  EXPECT_TRUE(is_literal(parse.parse(refs), refs));
}

TEST(InlinePathological, BacktickRunsOfDistinctLengths) {
  Parser parse;
  std::string text;
  for (std::size_t k = 1; k < 2500; ++k) text += "e" + std::string(k, '`');
  EXPECT_TRUE(is_literal(parse.parse(text), text));
}

TEST(InlinePathological, AngleBrackets) {
  Parser parse;
  const std::string comments = "</" + repeat("<!--", 300000);
  EXPECT_TRUE(is_literal(parse.parse(comments), comments));
  for (std::string_view unit : {"<a", "<a '", "<x:", "<a@b"}) {
    const std::string text = repeat(unit, 100000);
    EXPECT_TRUE(is_literal(parse.parse(text), text)) << unit;
  }
}

TEST(InlinePathological, AutolinksFootnotesScriptsAndMath) {
  Parser parse;
  parse.options.bare_autolinks = true;
  parse.footnotes = {"1"};
  const std::string spaces = repeat(" ", 200000) + "x";
  EXPECT_TRUE(is_literal(parse.parse(spaces), spaces));
  const std::string slashes = repeat("a/", 100000) + "@";
  EXPECT_TRUE(is_literal(parse.parse(slashes), slashes));
  const std::string spaced = repeat("  www.", 50000);
  EXPECT_TRUE(is_literal(parse.parse(spaced), spaced));
  const std::string notes = repeat("[^", 100000);
  EXPECT_TRUE(is_literal(parse.parse(notes), notes));
  const std::string carets = repeat("^a ", 100000);
  EXPECT_TRUE(is_literal(parse.parse(carets), carets));
  const std::string tildes = repeat("~~a ~~~b ", 30000);
  EXPECT_EQ(count_kind(parse.parse(tildes), InlineKind::Strike), 0u);
  const std::string equals = repeat("==a ===b ", 30000);
  EXPECT_EQ(count_kind(parse.parse(equals), InlineKind::Highlight), 0u);

  parse.options.math = MathMode::Dollars;
  for (std::string_view unit : {"$a ", "\\[a", "\\(a"}) {
    const std::string text = repeat(unit, 50000);
    EXPECT_EQ(count_kind(parse.parse(text), InlineKind::MathInline), 0u) << unit;
  }
}

TEST(InlinePathological, AttributeGroups) {
  Parser parse;
  for (std::string_view unit : {"`a`{x=", "`a`{", "`a`{=", "`a`{x ", "**a**{'", "[a](u){x="}) {
    const std::string text = repeat(unit, 30000) + "}";
    EXPECT_GE(parse.parse(text).size(), 1u) << unit;
  }
}

TEST(InlinePathological, NulBytes) {
  Parser parse;
  parse.options.bare_autolinks = true;
  const std::string text("abc\0de\0", 7);
  EXPECT_TRUE(is_literal(parse.parse(text), text));
}

// A tree of `depth` nested inlines of one kind, built by the parser.
std::string nested_source(std::string_view open, std::string_view close, std::size_t depth) {
  return repeat(open, depth) + "x" + repeat(close, depth);
}

void check_deep(const Parser& parse, const std::string& text, InlineKind kind) {
  Inlines result = parse.parse(text);
  ASSERT_FALSE(result.empty());
  std::size_t depth = 0;
  for (const Inline* x = &result.back(); x;) {
    if (x->kind() == kind) ++depth;
    const Inline* inner = nullptr;
    for (const Inline& kid : *x->children())
      if (kid.children()) inner = &kid;
    x = inner;
  }
  EXPECT_GE(depth, 100000u);
  Inlines copy = result;
  EXPECT_EQ(render::plain(copy), render::plain(result));
  Inlines coalesced = inl::coalesce(std::move(copy));
  EXPECT_EQ(coalesced.size(), result.size());
}

TEST(InlinePathological, DeepNesting) {
  Parser parse;
  const std::size_t depth = 100000;
  check_deep(parse, nested_source("^[", "]", depth), InlineKind::Note);
  check_deep(parse, nested_source("[", "]{.c}", depth), InlineKind::Span);
  check_deep(parse, nested_source("![", "](u)", depth), InlineKind::Image);
  check_deep(parse, nested_source("*a ", " a*", depth), InlineKind::Emph);
}

// Python threads run with a smaller stack than the main thread.
TEST(InlinePathological, DeepNestingOnASmallStack) {
  std::function<void()> work = [] {
    Parser parse;
    Inlines result = parse.parse(nested_source("^[", "]", 100000));
    Inlines copy = result;
    (void)render::plain(copy);
    (void)inl::coalesce(std::move(copy));
  };
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 256 * 1024);
  pthread_t thread;
  auto run = [](void* arg) -> void* {
    (*static_cast<std::function<void()>*>(arg))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attr, run, &work), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
}

}  // namespace
}  // namespace vedavi
