// The remembering searches the scanner uses must answer exactly as the plain recognisers do,
// whatever order the offsets come in.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "inline/angle.h"
#include "inline/attrs.h"
#include "inline/autolink.h"
#include "inline/code.h"
#include "inline/link.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi {
namespace {

std::string random_text(std::mt19937& rng, const std::vector<std::string_view>& pieces, int max_len) {
  std::string text;
  const int len = static_cast<int>(rng() % max_len);
  for (int i = 0; i < len; ++i) text += pieces[rng() % pieces.size()];
  return text;
}

// Offsets in three orders: ascending, a random ascending subset, and shuffled.
std::vector<std::vector<std::size_t>> offset_orders(std::mt19937& rng, std::size_t size) {
  std::vector<std::size_t> all(size);
  for (std::size_t i = 0; i < size; ++i) all[i] = i;
  std::vector<std::size_t> subset;
  for (std::size_t i : all)
    if (rng() % 3 == 0) subset.push_back(i);
  std::vector<std::size_t> shuffled = all;
  std::shuffle(shuffled.begin(), shuffled.end(), rng);
  return {all, subset, shuffled};
}

std::string show(const std::optional<inl::InlineMatch>& m) {
  if (!m) return "none";
  std::string out;
  test::append_show(m->inline_, out);
  return out + " @" + std::to_string(m->end);
}

std::string show(const std::optional<inl::TrailingAttr>& a) {
  if (!a) return "none";
  std::string out;
  test::append_attr(a->attr, out);
  return out + " +" + std::to_string(a->consumed);
}

TEST(InlineMemoCases, AgreeWithPlainSearches) {
  std::mt19937 rng(4242);
  const std::vector<std::string_view> pieces = {
      "<", ">", "<!--", "-->", "span", " ", "a", "=", "\"", "'", "/", ":", "ab:", "x@y.zz", "@",
      "(", ")", "\\", "`", "``", "```", "{", "}", "{:", "#i", ".c", "k=v", "\n", "www.a.bc",
      "http://a.bc", ".", ";", "&x;", "\xC2\xA0", "b", "a/b", "_", "-", "MailTo:", "xmpp:", "ftp://",
      "https://a.b_c", "hx", "w"};
  for (int round = 0; round < 3000; ++round) {
    const std::string text = random_text(rng, pieces, 24);
    for (const auto& order : offset_orders(rng, text.size())) {
      inl::AngleMemo angles;
      inl::AutolinkMemo autolinks;
      inl::ParenMemo parens;
      inl::BacktickRuns backticks;
      inl::BraceMemo braces, colon_braces;
      for (std::size_t p : order) {
        if (text[p] == '<') {
          ASSERT_EQ(show(inl::angle_or_html(text, p, &angles)), show(inl::angle_or_html(text, p)))
              << text << " at " << p;
        }
        ASSERT_EQ(show(inl::bare_autolink(text, p, &autolinks)), show(inl::bare_autolink(text, p)))
            << text << " at " << p;
        const auto with = inl::paren_content(text, p, 2, &parens);
        const auto without = inl::paren_content(text, p, 2);
        ASSERT_EQ(with.has_value(), without.has_value()) << text << " at " << p;
        if (with) {
          ASSERT_EQ(with->end, without->end) << text << " at " << p;
        }
        if (text[p] == '`' && (p == 0 || text[p - 1] != '`')) {
          const auto a = inl::code_span(text, p, &backticks);
          const auto b = inl::code_span(text, p);
          ASSERT_EQ(a.has_value(), b.has_value()) << text << " at " << p;
          if (a) {
            ASSERT_EQ(a->end, b->end) << text << " at " << p;
          }
        }
        ASSERT_EQ(show(inl::trailing_attr_at(text, p, &braces, false)),
                  show(inl::trailing_attr_at(text, p, nullptr, false)))
            << text << " at " << p;
        ASSERT_EQ(show(inl::trailing_attr_at(text, p, &colon_braces, true)),
                  show(inl::trailing_attr_at(text, p, nullptr, true)))
            << text << " at " << p;
      }
    }
  }
}

}  // namespace
}  // namespace vedavi
