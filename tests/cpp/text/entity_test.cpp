#include "text/entity.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/scan.h"

namespace vedavi {
namespace {

struct Case {
  std::string input;
  std::string expected;
};

TEST(DecodeEntities, NumericReferences) {
  const std::vector<Case> cases = {
      {"&#0;", "\uFFFD"},
      {"&#x41;&#X41;&#65;", "AAA"},
      {"&#65", "&#65"},
      {"&#1234567;", "\uFFFD"},          // seven digits decode; past U+10FFFF
      {"&#0000065;", "A"},
      {"&#00000000;", "\uFFFD"},         // any length, and never U+0000
      {"&#000000065;", "A"},
      {"&#x10FFFF;", "\U0010FFFF"},
      {"&#x110000;", "\uFFFD"},
      {"&#xD800;", "\uFFFD"},
      {"&#xFFFFFFFFFFFFFFFFFFFF;", "\uFFFD"},  // saturates, no overflow
      {"&#;", "&#;"},
      {"&#x;", "&#x;"},
      {"&#xg;", "&#xg;"},
      {"&#12a;", "&#12a;"},
      {"&#38;amp;", "&amp;"},            // decoded characters are final
      {"&#38;lt;", "&lt;"},
  };
  for (const auto& c : cases) EXPECT_EQ(entity::decode_entities(c.input), c.expected) << c.input;
}

TEST(DecodeEntities, NamedReferences) {
  const std::vector<Case> cases = {
      {"&amp;", "&"},
      {"&copy;", "\u00A9"},
      {"&copy", "&copy"},                // legacy forms without ";" are not decoded
      {"&nbsp;&NotEqualTilde;", "\u00A0\u2242\u0338"},
      {"&ThickSpace;", "\u205F\u200A"},
      {"&CounterClockwiseContourIntegral;", "\u2233"},
      {"&ngE;", "\u2267\u0338"},
      {"&fjlig;", "fj"},
      {"&bogus;", "&bogus;"},
      {"&AMP;", "&"},
      {"&Amp;", "&Amp;"},                // case-sensitive
      {"&amp", "&amp"},                  // the ";" is required
      {"R&D &amp;", "R&D &"},            // a failed "&" swallows nothing
      {"a & b; &lt;", "a & b; <"},
      {"&&amp;;", "&&;"},
      {"&", "&"},
      {"x&", "x&"},
      {"&;", "&;"},
      {"&am&amp;", "&am&"},
      {"no references", "no references"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(entity::decode_entities(c.input), c.expected) << c.input;
}

TEST(DecodeEntities, LinearOnLongInputs) {
  // Long runs that start references and never finish them.
  std::string names;
  for (int i = 0; i < 200'000; ++i) names += "&abcd";
  EXPECT_EQ(entity::decode_entities(names), names);
  std::string digits = "&#" + std::string(1'000'000, '9');
  EXPECT_EQ(entity::decode_entities(digits), digits);
  std::string letters = "&" + std::string(1'000'000, 'a') + ";";
  EXPECT_EQ(entity::decode_entities(letters), letters);
  std::string amps(1'000'000, '&');
  EXPECT_EQ(entity::decode_entities(amps), amps);
}

TEST(UnescapePunctuation, Cases) {
  const std::vector<Case> cases = {
      {"\\*", "*"},
      {"\\a", "\\a"},
      {"\\\\", "\\"},
      {"\\\\\\*", "\\*"},
      {"x\\", "x\\"},
      {"\\é", "\\é"},
      {"\\{\\}\\~\\`", "{}~`"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(entity::unescape_backslash_punctuation(c.input), c.expected) << c.input;
}

struct FindCase {
  std::string text;
  std::size_t start;
  std::string needle;
  std::optional<std::size_t> expected;
};

TEST(FindUnescaped, Cases) {
  const std::vector<FindCase> cases = {
      {"\\$$ $$", 0, "$$", 4},
      {"\\$$$$", 0, "$$", 2},
      {"\\\\]", 0, "\\]", std::nullopt},
      {"ab\\]", 0, "\\]", 2},
      {"$$", 2, "$$", std::nullopt},
      {"$$", 5, "$$", std::nullopt},
      {"\\\\$$", 0, "$$", 2},
      {"é$$", 0, "$$", 2},
      {"a\\)", 1, "\\)", 1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(scan::find_unescaped(c.text, c.start, c.needle), c.expected) << c.text;
}

}  // namespace
}  // namespace vedavi
