// Delimiter runs, brackets and links, trailing attributes, cross-references, angle constructs
// and bare autolinks, events and coalescing.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "inline/parse.h"
#include "inline/angle.h"
#include "inline/attrs.h"
#include "inline/autolink.h"
#include "inline/link.h"
#include "tests/cpp/support/helpers.h"
#include "inline/xref.h"

namespace vedavi {
namespace {

using test::Parser;

TEST(InlineCoalesce, MergesTextAndFlattensStrong) {
  auto text = [](std::string s) { return Inline(Inline::Text{std::move(s)}); };
  auto strong = [](Inlines kids, Attr a = {}) { return Inline(Inline::Strong{std::move(a), std::move(kids)}); };
  Inlines list;
  list.push_back(text("a"));
  list.push_back(text("b"));
  list.push_back(Inline(Inline::Emph{{}, Inlines{text("c"), text("d")}}));
  EXPECT_EQ(test::show(inl::coalesce(std::move(list))), R"~("ab" emph["cd"])~");
  EXPECT_EQ(test::show(inl::coalesce(Inlines{strong(Inlines{strong(Inlines{text("x")})})})),
            R"~(strong["x"])~");
  Attr id;
  id.id = "i";
  EXPECT_EQ(test::show(inl::coalesce(Inlines{strong(Inlines{strong(Inlines{text("x")}, id)})})),
            R"~(strong[strong{#i}["x"]])~");
  EXPECT_EQ(test::show(inl::coalesce(Inlines{strong(Inlines{strong(Inlines{text("x")})}, id)})),
            R"~(strong{#i}[strong["x"]])~");
  EXPECT_EQ(test::show(inl::coalesce(
                Inlines{strong(Inlines{text("a"), strong(Inlines{text("b")}), text("c")})})),
            R"~(strong["abc"])~");
  EXPECT_EQ(test::show(inl::coalesce(Inlines{Inline(Inline::Note{Inlines{text("a"), text("b")}})})),
            R"~(note["a" "b"])~");
  EXPECT_TRUE(inl::coalesce(Inlines{}).empty());
  Parser parse;
  Inlines once = inl::coalesce(parse.parse("*a* **b** [c](u) ^[d] e"));
  const std::string shown = test::show(once);
  EXPECT_EQ(test::show(inl::coalesce(std::move(once))), shown);
}

// Coalescing as a rebuild into fresh lists, bottom up, with recursion (fine at test depths): the
// in-place walk must give the same trees.
void reference_coalesce(Inlines& list) {
  Inlines out;
  auto push = [&out](Inline&& item) {
    if (auto* t = item.get_if<Inline::Text>(); t && !out.empty()) {
      if (auto* last = out.back().get_if<Inline::Text>()) {
        last->text += t->text;
        return;
      }
    }
    out.push_back(std::move(item));
  };
  for (Inline& item : list) {
    const InlineKind k = item.kind();
    const bool container = k == InlineKind::Emph || k == InlineKind::Strong ||
                           k == InlineKind::Strike || k == InlineKind::Highlight ||
                           k == InlineKind::Link || k == InlineKind::Image || k == InlineKind::Span;
    if (container) {
      Inlines& kids = *item.children();
      reference_coalesce(kids);
      auto plain_strong = [](const Inline& x) {
        return x.kind() == InlineKind::Strong && x.attr()->empty();
      };
      if (plain_strong(item)) {
        Inlines flat;
        for (Inline& kid : kids) {
          if (plain_strong(kid)) {
            for (Inline& g : *kid.children()) flat.push_back(std::move(g));
          } else {
            flat.push_back(std::move(kid));
          }
        }
        reference_coalesce(flat);
        kids = std::move(flat);
      }
    }
    push(std::move(item));
  }
  list = std::move(out);
}

Inlines random_inlines(std::mt19937& rng, int depth) {
  Inlines list;
  const int count = static_cast<int>(rng() % 5);
  for (int i = 0; i < count; ++i) {
    const unsigned pick = depth > 0 ? rng() % 9 : rng() % 3;
    Attr attr;
    if (rng() % 3 == 0) attr.id = "i";
    switch (pick) {
      case 0: case 1: list.push_back(Inline::Text{std::string(1, static_cast<char>('a' + rng() % 3))}); break;
      case 2: list.push_back(Inline::SoftBreak{}); break;
      case 3: case 4: list.push_back(Inline::Strong{attr, random_inlines(rng, depth - 1)}); break;
      case 5: list.push_back(Inline::Emph{attr, random_inlines(rng, depth - 1)}); break;
      case 6: list.push_back(Inline::Note{random_inlines(rng, depth - 1)}); break;
      case 7: list.push_back(Inline::Link{"u", std::nullopt, attr, random_inlines(rng, depth - 1)}); break;
      default: list.push_back(Inline::Span{attr, random_inlines(rng, depth - 1)}); break;
    }
  }
  return list;
}

TEST(InlineCoalesce, InPlaceMatchesRebuild) {
  std::mt19937 rng(11);
  for (int round = 0; round < 5000; ++round) {
    Inlines tree = random_inlines(rng, 4);
    Inlines expected = tree;
    reference_coalesce(expected);
    const std::string before = test::show(tree);
    EXPECT_EQ(test::show(inl::coalesce(std::move(tree))), test::show(expected)) << before;
  }
}

TEST(InlineLinkHelpers, Destinations) {
  EXPECT_EQ(inl::trim_link_space(" \t\nx\r "), "x");
  auto split = inl::parse_link_destination("<a>b", 32);
  ASSERT_TRUE(split);
  EXPECT_EQ(split->destination, "a");
  EXPECT_EQ(split->rest, "b");
  EXPECT_FALSE(inl::parse_link_destination("<", 32));
  EXPECT_FALSE(inl::parse_link_destination("a(b", 32));
  EXPECT_FALSE(inl::parse_link_destination("a)", 32));
  auto paren = inl::paren_content("a<)>b)c", 0, 32);
  ASSERT_TRUE(paren);
  EXPECT_EQ(paren->content, "a<)>b");
  EXPECT_FALSE(inl::paren_content("a<\n>)", 0, 32));
}

}  // namespace
}  // namespace vedavi
