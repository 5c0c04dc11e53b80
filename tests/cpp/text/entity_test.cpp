#include "text/entity.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

#include "tests/cpp/support/helpers.h"
#include "text/scan.h"

namespace vedavi {
namespace {

TEST(DecodeEntities, NumericAndNamedReferences) {
  const std::pair<std::string, std::string> cases[] = {
      {"&#0;", "\uFFFD"}, {"&#x41;&#X41;&#65;", "AAA"}, {"&#65", "&#65"}, {"&#0000065;", "A"},
      {"&#1234567;", "\uFFFD"},  // seven digits decode; past U+10FFFF
      {"&#00000000;", "\uFFFD"}, {"&#000000065;", "A"},  // any length, and never U+0000
      {"&#x10FFFF;", "\U0010FFFF"}, {"&#x110000;", "\uFFFD"}, {"&#xD800;", "\uFFFD"},
      {"&#xFFFFFFFFFFFFFFFFFFFF;", "\uFFFD"},  // saturates, no overflow
      {"&#;", "&#;"}, {"&#x;", "&#x;"}, {"&#xg;", "&#xg;"}, {"&#12a;", "&#12a;"},
      {"&#38;amp;", "&amp;"}, {"&#38;lt;", "&lt;"},  // decoded characters are final
      {"&amp;", "&"}, {"&copy;", "\u00A9"}, {"&copy", "&copy"} /* legacy forms need the ";" */, {"&amp", "&amp"},
      {"&nbsp;&NotEqualTilde;", "\u00A0\u2242\u0338"}, {"&ThickSpace;", "\u205F\u200A"},
      {"&CounterClockwiseContourIntegral;", "\u2233"}, {"&ngE;", "\u2267\u0338"}, {"&fjlig;", "fj"},
      {"&bogus;", "&bogus;"}, {"&AMP;", "&"}, {"&Amp;", "&Amp;"} /* case-sensitive */,
      {"R&D &amp;", "R&D &"} /* a failed "&" swallows nothing */, {"a & b; &lt;", "a & b; <"},
      {"&&amp;;", "&&;"}, {"&", "&"}, {"x&", "x&"}, {"&;", "&;"}, {"&am&amp;", "&am&"},
      {"no references", "no references"}, {"", ""},
  };
  for (const auto& [input, expected] : cases) EXPECT_EQ(entity::decode_entities(input), expected) << input;
}

TEST(DecodeEntities, LinearOnLongInputs) {
  // Long runs that start references and never finish them.
  for (const std::string& text : {test::repeat("&abcd", 200'000), "&#" + std::string(1'000'000, '9'),
                                  "&" + std::string(1'000'000, 'a') + ";", std::string(1'000'000, '&')}) {
    EXPECT_EQ(entity::decode_entities(text), text);
  }
}

TEST(UnescapePunctuation, Cases) {
  const std::pair<std::string, std::string> cases[] = {
      {"\\*", "*"}, {"\\a", "\\a"}, {"\\\\", "\\"}, {"\\\\\\*", "\\*"}, {"x\\", "x\\"}, {"\\é", "\\é"},
      {"\\{\\}\\~\\`", "{}~`"},
  };
  for (const auto& [input, expected] : cases) EXPECT_EQ(entity::unescape_backslash_punctuation(input), expected) << input;
}

TEST(FindUnescaped, Cases) {
  struct Case {
    std::string text;
    std::size_t start;
    std::string needle;
    std::optional<std::size_t> expected;
  };
  const Case cases[] = {
      {"\\$$ $$", 0, "$$", 4}, {"\\$$$$", 0, "$$", 2}, {"\\\\]", 0, "\\]", std::nullopt}, {"ab\\]", 0, "\\]", 2},
      {"$$", 2, "$$", std::nullopt}, {"$$", 5, "$$", std::nullopt}, {"\\\\$$", 0, "$$", 2}, {"é$$", 0, "$$", 2},
      {"a\\)", 1, "\\)", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(scan::find_unescaped(c.text, c.start, c.needle), c.expected) << c.text;
}

// Where an HTML comment ends: as an HTML5 tokenizer ends it, so nothing after it hides inside it.
TEST(HtmlCommentEnd, EndsWhereAnHtml5TokenizerEndsIt) {
  struct Case {
    std::string_view text;
    std::size_t lt;
    std::optional<std::size_t> end;
  };
  const Case cases[] = {
      {"<!-->x", 0, 5}, {"<!--->x", 0, 6}, {"x<!-->", 1, 6}, {"<!---->", 0, 7},  // empty comments close at once
      {"<!-- a -->", 0, 10}, {"<!-- a --!> b -->", 0, 11}, {"<!-- a ---!>", 0, 12},  // "--!>" ends it too
      {"<!--!> a", 0, std::nullopt}, {"<!---!> a", 0, std::nullopt},  // "--!>" needs its own dashes
      {"<!-- a -- > b", 0, std::nullopt}, {"<!-- a --\n> b", 0, std::nullopt}, {"<!-- a", 0, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(scan::html_comment_end(c.text, c.lt), c.end) << c.text;
}

}  // namespace
}  // namespace vedavi
