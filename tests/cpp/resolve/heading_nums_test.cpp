#include "resolve/heading_nums.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vedavi {
namespace {

HeadingNums make(const std::vector<LevelSpec>& levels) {
  Outcome<HeadingNums> nums = HeadingNums::create(levels);
  EXPECT_TRUE(nums.ok()) << nums.message();
  return std::move(nums).value();
}

HeadingNums scheme(std::string_view name) {
  Outcome<HeadingNums> nums = HeadingNums::named(name);
  EXPECT_TRUE(nums.ok()) << nums.message();
  return std::move(nums).value();
}

std::string formatted(std::uint32_t n, NumFormat format) {
  std::string out;
  append_formatted(n, format, out);
  return out;
}

TEST(NumFormatting, EachFormat) {
  struct Case {
    std::uint32_t n;
    NumFormat format;
    std::string expected;
  };
  const Case cases[] = {
      {0, NumFormat::Decimal, "0"},           {4294967295u, NumFormat::Decimal, "4294967295"},
      {1, NumFormat::LowerLetter, "a"},       {26, NumFormat::LowerLetter, "z"},
      {27, NumFormat::LowerLetter, "aa"},     {28, NumFormat::LowerLetter, "bb"},
      {52, NumFormat::LowerLetter, "zz"},     {53, NumFormat::LowerLetter, "aaa"},
      {28, NumFormat::UpperLetter, "BB"},     {0, NumFormat::LowerLetter, ""},
      {0, NumFormat::UpperLetter, ""},        {1994, NumFormat::UpperRoman, "MCMXCIV"},
      {1994, NumFormat::LowerRoman, "mcmxciv"}, {4000, NumFormat::LowerRoman, "mmmm"},
      {49, NumFormat::LowerRoman, "xlix"},    {0, NumFormat::UpperRoman, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(formatted(c.n, c.format), c.expected) << c.n << " " << num_format_name(c.format);
  }
}

TEST(NumFormatting, NamesAreExact) {
  for (const auto name : {"decimal", "lowerLetter", "upperLetter", "lowerRoman", "upperRoman"}) {
    const auto format = num_format_named(name);
    ASSERT_TRUE(format) << name;
    EXPECT_EQ(num_format_name(*format), name);
  }
  for (const auto name : {"Decimal", "lowerletter", "", "decimal "}) {
    EXPECT_FALSE(num_format_named(name)) << name;
  }
}

TEST(BuiltInSchemes, Levels) {
  const auto& all = schemes();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].name, "decimal");
  EXPECT_EQ(all[1].name, "legal");
  ASSERT_EQ(all[0].levels.size(), 7u);
  ASSERT_EQ(all[1].levels.size(), 7u);
  EXPECT_EQ(all[0].levels[0], LevelSpec("", "decimal"));
  EXPECT_EQ(all[0].levels[2], LevelSpec("%2.%3.", "decimal"));
  EXPECT_EQ(all[0].levels[6], LevelSpec("%2.%3.%4.%5.%6.%7.", "decimal"));
  const std::vector<LevelSpec> legal = {{"", "decimal"},        {"%2.", "decimal"},
                                        {"(%3)", "lowerLetter"}, {"(%4)", "lowerRoman"},
                                        {"(%5)", "upperLetter"}, {"(%6)", "upperRoman"},
                                        {"(%7)", "decimal"}};
  EXPECT_EQ(all[1].levels, legal);
}

TEST(BuiltInSchemes, UnknownName) {
  for (const auto name : {"Decimal", "", "roman"}) {
    const Outcome<HeadingNums> nums = HeadingNums::named(name);
    ASSERT_FALSE(nums.ok());
    EXPECT_EQ(nums.message(), "unknown numbering scheme '" + std::string(name) + "'");
  }
}

TEST(HeadingCounting, DecimalSequence) {
  HeadingNums nums = scheme("decimal");
  EXPECT_TRUE(nums.advance(1));
  EXPECT_EQ(nums.display(1), "1.");
  EXPECT_TRUE(nums.advance(1));
  EXPECT_EQ(nums.display(1), "2.");
  EXPECT_TRUE(nums.advance(2));
  EXPECT_EQ(nums.display(2), "2.1.");
  EXPECT_EQ(nums.display(1), "2.");
  EXPECT_EQ(nums.display(0), "");
  EXPECT_EQ(nums.counters(), (std::vector<std::uint32_t>{0, 2, 1, 0, 0, 0, 0}));
  // Every decimal level past the first holds its context, so full equals display.
  for (std::size_t level = 0; level < 7; ++level) EXPECT_EQ(nums.full(level), nums.display(level));
  // Counting a shallower level restarts the deeper ones.
  EXPECT_TRUE(nums.advance(1));
  EXPECT_EQ(nums.counters(), (std::vector<std::uint32_t>{0, 3, 0, 0, 0, 0, 0}));
  EXPECT_EQ(nums.display(2), "3.0.");
}

TEST(HeadingCounting, LegalSequence) {
  HeadingNums nums = scheme("legal");
  for (std::size_t level = 0; level < 4; ++level) nums.advance(level);
  EXPECT_EQ(nums.display(3), "(i)");
  EXPECT_EQ(nums.full(3), "1.(a)(i)");
  EXPECT_EQ(nums.full(0), "");
  EXPECT_EQ(nums.full(1), "1.");
  nums.advance(4);
  nums.advance(5);
  nums.advance(5);
  EXPECT_EQ(nums.display(4), "(A)");
  EXPECT_EQ(nums.display(5), "(II)");
  EXPECT_EQ(nums.full(5), "1.(a)(i)(A)(II)");
}

TEST(HeadingCounting, BeyondTheScheme) {
  HeadingNums nums = scheme("decimal");
  nums.advance(3);
  const std::vector<std::uint32_t> before = nums.counters();
  EXPECT_FALSE(nums.advance(7));
  EXPECT_FALSE(nums.advance(SIZE_MAX));
  EXPECT_EQ(nums.counters(), before);
  EXPECT_EQ(nums.display(7), "");
  EXPECT_EQ(nums.full(SIZE_MAX), "");
  EXPECT_FALSE(nums.check_level(6));
  ASSERT_TRUE(nums.check_level(7));
  EXPECT_EQ(nums.check_level(7)->message,
            "level 7 is beyond the numbering scheme, whose levels are 0 to 6");

  HeadingNums empty = make({});
  EXPECT_EQ(empty.level_count(), 0u);
  EXPECT_FALSE(empty.advance(0));
  EXPECT_EQ(empty.display(0), "");
  EXPECT_EQ(empty.check_level(0)->message,
            "level 0 is beyond the numbering scheme, which has no levels");
}

TEST(HeadingCounting, FullConcatenatesWithoutContext) {
  HeadingNums nums = make({{"%1.", "upperRoman"}, {"x", "decimal"}, {"%3", "lowerLetter"}});
  nums.advance(0);
  nums.advance(0);
  nums.advance(2);
  EXPECT_EQ(nums.full(2), "II.xa");
  EXPECT_EQ(nums.display(2), "a");
}

TEST(LevelText, Expansion) {
  struct Case {
    std::string lvl_text;
    std::string expected;
  };
  // Two levels with counters 3 and 2, written in decimal and lowerLetter.
  const Case cases[] = {
      {"%1.%2", "3.b"},  {"%12", "32"},     {"%%2", "%b"},   {"%", "%"},    {"a%", "a%"},
      {"%a%1", "%a3"},   {"100%%", "100%%"}, {"%0", ""},      {"(%0)", "()"},
      {"%%%1", "%%3"},   {"é%2é", "ébé"},
  };
  for (const Case& c : cases) {
    HeadingNums nums = make({{"%1", "decimal"}, {c.lvl_text, "lowerLetter"}});
    nums.advance(0);
    nums.advance(0);
    nums.advance(0);
    nums.advance(1);
    nums.advance(1);
    EXPECT_EQ(nums.display(1), c.expected) << c.lvl_text;
  }
}

TEST(LevelText, HiddenReferencesShowNothing) {
  // "%%9" passes the check ("%%" takes the "%"), yet shows as a "%" and a reference to a level
  // the scheme lacks.
  HeadingNums nums = make({{"%%9", "decimal"}});
  nums.advance(0);
  EXPECT_EQ(nums.display(0), "%");
  EXPECT_EQ(nums.full(0), "%");
  // A skipped level shows as 0 in decimal and as nothing in letters and Roman numerals.
  HeadingNums skipped = make({{"%1", "decimal"}, {"%2", "lowerLetter"}, {"%1.%2.%3", "upperRoman"}});
  skipped.advance(2);
  EXPECT_EQ(skipped.display(2), "0..I");
  EXPECT_EQ(skipped.display(1), "");
  EXPECT_EQ(skipped.full(2), "0..I");  // holds "%2": its own context
}

TEST(SchemeValidation, Failures) {
  struct Case {
    std::vector<LevelSpec> levels;
    std::string message;  // empty: accepted
  };
  const std::vector<LevelSpec> eight(8, LevelSpec("x", "decimal"));
  std::vector<LevelSpec> nine_ok = eight;
  nine_ok.emplace_back("%9", "decimal");
  std::vector<LevelSpec> eight_bad = eight;
  eight_bad.back() = {"%9", "decimal"};
  const Case cases[] = {
      {{{"", "decimal"}}, ""},
      {{{"%3", "decimal"}, {"", "decimal"}, {"", "decimal"}}, ""},
      {nine_ok, ""},
      {eight_bad, "lvlText \"%9\" references level %9 beyond the scheme"},
      {{{"%%9", "decimal"}}, ""},
      {{{"%0", "decimal"}}, ""},
      {{{"%12", "decimal"}}, ""},
      {{{"%2", "decimal"}}, "lvlText \"%2\" references level %2 beyond the scheme"},
      // The numFmt of a level is checked before its lvlText.
      {{{"%5", "Decimal"}}, "unknown numFmt \"Decimal\""},
      // Levels are checked in order.
      {{{"%3", "decimal"}, {"", "roman"}}, "lvlText \"%3\" references level %3 beyond the scheme"},
      {{{"", "decimal"}, {"", ""}}, "unknown numFmt \"\""},
      // The debug form escapes what would not show.
      {{{"x", "a\"b\\c\n\t\r"}}, "unknown numFmt \"a\\\"b\\\\c\\n\\t\\r\""},
      {{{std::string("\0\x01\x7f", 3), "?"}}, "unknown numFmt \"?\""},
      {{{std::string("'\0\x1b\xc2\x85", 5) + "%2", "decimal"}},
       "lvlText \"'\\0\\u{1b}\\u{85}%2\" references level %2 beyond the scheme"},
      {{{"\xc3\xa9 \xc2\xa0\xe2\x80\x8b\xee\x80\x80%2", "decimal"}},
       "lvlText \"\xc3\xa9 \\u{a0}\\u{200b}\\u{e000}%2\" references level %2 beyond the scheme"},
      {{{"e\xcc\x81%2", "upperRoman"}},
       "lvlText \"e\\u{301}%2\" references level %2 beyond the scheme"},
  };
  for (const Case& c : cases) {
    const Outcome<HeadingNums> nums = HeadingNums::create(c.levels);
    if (c.message.empty()) {
      EXPECT_TRUE(nums.ok()) << nums.message();
    } else {
      ASSERT_FALSE(nums.ok()) << c.message;
      EXPECT_EQ(nums.message(), c.message);
    }
  }
}

TEST(SchemeValidation, KeepsLevelsInOrder) {
  const HeadingNums nums = make({{"%1", "upperLetter"}, {"%1-%2", "lowerRoman"}});
  ASSERT_EQ(nums.level_count(), 2u);
  EXPECT_EQ(nums.levels()[1].lvl_text, "%1-%2");
  EXPECT_EQ(nums.levels()[1].num_fmt, NumFormat::LowerRoman);
  EXPECT_EQ(nums.counters(), (std::vector<std::uint32_t>{0, 0}));
}

}  // namespace
}  // namespace vedavi
