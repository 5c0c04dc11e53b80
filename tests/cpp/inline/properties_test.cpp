// Properties over random texts: the remembering searches answer as the plain ones, the fast path
// as the full scan, and results stay coalesced with events inside the text.
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
#include "inline/parse.h"
#include "tests/cpp/support/helpers.h"

namespace vedavi {
namespace {

using test::Parser;

std::string random_text(std::mt19937& rng, const std::vector<std::string_view>& pieces, int max_len) {
  std::string text;
  const int len = static_cast<int>(rng() % max_len);
  for (int i = 0; i < len; ++i) text += pieces[rng() % pieces.size()];
  return text;
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

template <class Span>
std::string end_of(const std::optional<Span>& s) {
  return s ? std::to_string(s->end) : "none";
}

TEST(InlineProperties, MemoSearchesAgreeWithPlainOnesInAnyOrder) {
  std::mt19937 rng(4242);
  const std::vector<std::string_view> pieces = {
      "<", ">", "<!--", "-->", "span", " ", "a", "=", "\"", "'", "/", ":", "ab:", "x@y.zz", "@",
      "(", ")", "\\", "`", "``", "```", "{", "}", "{:", "#i", ".c", "k=v", "\n", "www.a.bc",
      "http://a.bc", ".", ";", "&x;", "\xC2\xA0", "b", "a/b", "_", "-", "MailTo:", "xmpp:", "ftp://",
      "https://a.b_c", "hx", "w"};
  for (int round = 0; round < 3000; ++round) {
    const std::string text = random_text(rng, pieces, 24);
    // Offsets ascending, a random ascending subset, and shuffled.
    std::vector<std::size_t> all(text.size()), subset;
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
    for (std::size_t i : all)
      if (rng() % 3 == 0) subset.push_back(i);
    std::vector<std::size_t> shuffled = all;
    std::shuffle(shuffled.begin(), shuffled.end(), rng);
    for (const auto& order : {all, subset, shuffled}) {
      inl::AngleMemo angles;
      inl::AutolinkMemo autolinks;
      inl::ParenMemo parens;
      inl::BacktickRuns backticks;
      inl::BraceMemo braces, colon_braces;
      for (std::size_t p : order) {
        const std::string at = text + " at " + std::to_string(p);
        if (text[p] == '<') {
          ASSERT_EQ(show(inl::angle_or_html(text, p, &angles)), show(inl::angle_or_html(text, p))) << at;
        }
        ASSERT_EQ(show(inl::bare_autolink(text, p, &autolinks)), show(inl::bare_autolink(text, p))) << at;
        ASSERT_EQ(end_of(inl::paren_content(text, p, 2, &parens)), end_of(inl::paren_content(text, p, 2))) << at;
        if (text[p] == '`' && (p == 0 || text[p - 1] != '`')) {
          ASSERT_EQ(end_of(inl::code_span(text, p, &backticks)), end_of(inl::code_span(text, p))) << at;
        }
        ASSERT_EQ(show(inl::trailing_attr_at(text, p, &braces, false)),
                  show(inl::trailing_attr_at(text, p, nullptr, false))) << at;
        ASSERT_EQ(show(inl::trailing_attr_at(text, p, &colon_braces, true)),
                  show(inl::trailing_attr_at(text, p, nullptr, true))) << at;
      }
    }
  }
}

// The scanner reads text up to the memo's next link candidate without looking for bare links:
// no link may start before it, from any offset, in any order of asking.
// No candidate past the first offset where a bare link starts, from any offset of `text`,
// asked in ascending and in shuffled order, and every candidate one where a link may start.
void expect_candidates_miss_no_link(const std::string& text, std::mt19937& rng) {
  // first_link[p]: the first offset at or after p where a bare link starts (or the size).
  std::vector<std::size_t> first_link(text.size() + 1, text.size());
  for (std::size_t p = text.size(); p-- > 0;)
    first_link[p] = inl::bare_autolink(text, p) ? p : first_link[p + 1];
  std::vector<std::size_t> offsets(text.size() + 1);
  for (std::size_t i = 0; i < offsets.size(); ++i) offsets[i] = i;
  std::vector<std::size_t> shuffled = offsets;
  std::shuffle(shuffled.begin(), shuffled.end(), rng);
  for (const auto& order : {offsets, shuffled}) {
    inl::AutolinkMemo memo;
    for (std::size_t p : order) {
      const std::size_t candidate = memo.next_link_candidate(text, p);
      ASSERT_GE(candidate, p) << text << " from " << p;
      ASSERT_LE(candidate, first_link[p]) << text << " from " << p;
      // The scanner tries a link at every candidate after a boundary, asking nothing more.
      if (candidate < text.size()) {
        ASSERT_TRUE(inl::may_start_bare_autolink(text, candidate, &memo))
            << text << " at " << candidate;
      }
    }
  }
}

TEST(InlineProperties, LinkCandidatesMissNoBareLink) {
  std::mt19937 rng(777);
  const std::vector<std::string_view> pieces = {
      " ", "a", "b", ":", "::", "ab:", "x@y.zz", "@", "a.b@c.de", "'", "/", "*", "~", "(", "{",
      "www.a.bc", "wwww.", "http://a.bc", "https://a.b", "HTTP://a.b", "ftp://", "MailTo:x@y.zz",
      "xmpp:a@b.cd", "mailto:", ".", "\xC2\xA0", "\xE2\x80\x83", "h", "w", "-", "_", "hftp://a.b",
      "XMPP:c@d.ef", "w."};
  for (int round = 0; round < 3000; ++round) {
    expect_candidates_miss_no_link(random_text(rng, pieces, 20), rng);
  }
}

// Texts longer than the memo reads at once (a window of 1024 bytes): links and the local parts
// of addresses across the windows' edges, the longest local part an address may have.
TEST(InlineProperties, LinkCandidatesMissNoBareLinkInLongTexts) {
  std::mt19937 rng(778);
  const std::string long_run(250, 'a'), longest_local(254, 'b');
  const std::string long_address = long_run + "@c.de", longest_address = longest_local + "@f.gh";
  const std::string too_long = "x" + longest_address;
  const std::string starred = std::string(120, 'c') + "*" + std::string(120, 'd') + "@e.fg";
  const std::vector<std::string_view> pieces = {
      " ", "a", "x@y.zz", "@", "*", "/", "www.a.bc", "https://a.b", "mailto:d@e.fg", "xmpp:a@b.cd",
      "\xC2\xA0", "w", ".", ":", long_run, long_address, longest_address, too_long, starred};
  for (int round = 0; round < 150; ++round) {
    expect_candidates_miss_no_link(random_text(rng, pieces, 120), rng);
  }
}

// Only white space between an "<" and the start of a web link or a plain address keeps the link
// from being made (it may be the start of an angle autolink; a "mailto:" link is made anyway). The
// few ASCII bytes before the start are looked at first, the rest by a walk that decodes: both must
// find the same "<", with and without the memo.
TEST(InlineProperties, NoBareLinkAfterAnAngleOpener) {
  std::mt19937 rng(31);
  const std::vector<std::string_view> pieces = {
      "<", " ", "\t", "         ", "\xC2\xA0", "\xE3\x80\x80", "a", "(", "www.a.bc", "x@y.zz",
      "https://a.bc", "mailto:x@y.zz"};
  std::size_t links = 0, kept_out = 0;
  for (int round = 0; round < 3000; ++round) {
    const std::string text = random_text(rng, pieces, 12);
    inl::AutolinkMemo memo;
    for (std::size_t p = 0; p < text.size(); ++p) {
      const bool with_memo = inl::bare_autolink(text, p, &memo).has_value();
      const bool plain = inl::bare_autolink(text, p).has_value();
      ASSERT_EQ(with_memo, plain) << text << " at " << p;
      const bool after_angle =
          inl::preceded_by_angle_opener(text, p) && !text.substr(p).starts_with("mailto:");
      if (after_angle) {
        EXPECT_FALSE(plain) << text << " at " << p;
      }
      links += plain;
      kept_out += after_angle && text.substr(p).starts_with("www.");
    }
  }
  EXPECT_GT(links, 1000u);     // the pieces make links
  EXPECT_GT(kept_out, 100u);   // and place many of them after an opener
}

TEST(InlineProperties, FastPathAgreesWithScan) {
  std::mt19937 rng(12345);
  const std::string alphabet = "ab ,.!?()[]{}@:/w;\"'#-+$=%\t";
  for (int bare = 0; bare < 2; ++bare) {
    Parser parse;
    parse.options.bare_autolinks = bare;
    Parser scan = parse;  // a link definition forces the full scan
    scan.links["zzz-never-used"] = LinkRef{"u", {}, {}};
    for (int round = 0; round < 4000; ++round) {
      std::string text;
      const int len = 1 + static_cast<int>(rng() % 12);  // empty differs by design
      for (int i = 0; i < len; ++i) text += alphabet[rng() % alphabet.size()];
      EXPECT_EQ(parse(text), scan(text)) << "text: " << text;
    }
  }
}

TEST(InlineProperties, RandomTextsUnderEveryOption) {
  std::mt19937 rng(987);
  const std::vector<std::string_view> pieces = {
      "*", "_", "~", "=", "^", "[", "]", "(", ")", "{", "}", "<", ">", "!", "`", "\\", "$", "@",
      "&", ";", ":", "/", "#", ".", "'", "\"", " ", "\n", "a", "b", "x", "www.", "http://",
      "&amp;", "{.c}", "{=html}", "<!--", "-->", "<b>", "[^1]", "^[", "](u)", "@a", "\xC2\xA0",
      "\xEE\x80\x80", "{{", "}}", "\x01", "\xFF", "**", "__", "[@a; @b]"};
  const TemplateDelimiter mustache{"m", "{{", "}}", {}, {}, TemplateForm::Auto};
  for (int round = 0; round < 3000; ++round) {
    Parser parse;
    parse.options.bare_autolinks = round % 2;
    parse.options.math = static_cast<MathMode>(round % 4);
    parse.options.max_link_paren_depth = round % 3;
    if (round % 5 == 0) parse.options.templates.push_back(mustache);
    if (round % 3 == 0) parse.links["a"] = LinkRef{"/a", {}, {}};
    parse.footnotes = {"1"};
    const std::string text = random_text(rng, pieces, 24);
    // Coalesced already: no two adjacent texts below a note, no plain strong in a plain strong.
    const Inlines parsed = parse.parse(text);
    EXPECT_EQ(test::show(inl::coalesce(parsed)), test::show(parsed)) << text;
    for (const InlineEvent& e : parse.events(text)) {
      EXPECT_LE(e.start, e.end) << text;
      EXPECT_LE(e.end, text.size()) << text;
    }
  }
}

}  // namespace
}  // namespace vedavi
