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

TEST(NumFormatting, EachFormatAndName) {
  struct Case {
    std::uint32_t n;
    NumFormat format;
    std::string expected;
  };
  const Case cases[] = {
      {0, NumFormat::Decimal, "0"}, {4294967295u, NumFormat::Decimal, "4294967295"}, {1, NumFormat::LowerLetter, "a"},
      {26, NumFormat::LowerLetter, "z"}, {27, NumFormat::LowerLetter, "aa"}, {28, NumFormat::LowerLetter, "bb"},
      {52, NumFormat::LowerLetter, "zz"}, {53, NumFormat::LowerLetter, "aaa"}, {28, NumFormat::UpperLetter, "BB"},
      {0, NumFormat::LowerLetter, ""}, {0, NumFormat::UpperLetter, ""}, {1994, NumFormat::UpperRoman, "MCMXCIV"},
      {1994, NumFormat::LowerRoman, "mcmxciv"}, {4000, NumFormat::LowerRoman, "mmmm"}, {49, NumFormat::LowerRoman, "xlix"},
      {0, NumFormat::UpperRoman, ""},
  };
  for (const Case& c : cases) {
    std::string out;
    append_formatted(c.n, c.format, out);
    EXPECT_EQ(out, c.expected) << c.n << " " << num_format_name(c.format);
  }
  for (const auto name : {"decimal", "lowerLetter", "upperLetter", "lowerRoman", "upperRoman"}) {
    const auto format = num_format_named(name);
    ASSERT_TRUE(format) << name;
    EXPECT_EQ(num_format_name(*format), name);
  }
  for (const auto name : {"Decimal", "lowerletter", "", "decimal "}) EXPECT_FALSE(num_format_named(name)) << name;
}

TEST(BuiltInSchemes, NamesAndUnknownNames) {
  ASSERT_EQ(schemes().size(), 2u);  // their levels show in the counting below
  EXPECT_EQ(schemes()[0].name, "decimal");
  EXPECT_EQ(schemes()[1].name, "legal");
  EXPECT_EQ(HeadingNums::named("legal").value().level_count(), 7u);
  for (const auto name : {"Decimal", "", "roman"}) {
    const Outcome<HeadingNums> nums = HeadingNums::named(name);
    ASSERT_FALSE(nums.ok());
    EXPECT_EQ(nums.message(), "unknown numbering scheme '" + std::string(name) + "'");
  }
}

TEST(HeadingCounting, DisplayAndFullAfterAdvances) {
  struct Case {
    std::vector<LevelSpec> levels;
    std::vector<std::size_t> advances;
    std::size_t level;
    std::string display, full;
  };
  const auto& decimal = schemes()[0].levels;
  const auto& legal = schemes()[1].levels;
  const std::vector<LevelSpec> skipped = {{"%1", "decimal"}, {"%2", "lowerLetter"}, {"%1.%2.%3", "upperRoman"}};
  const Case cases[] = {
      // Every decimal level past the first holds its context; counting a shallower level restarts the deeper ones.
      {decimal, {1}, 1, "1.", "1."}, {decimal, {1, 1}, 1, "2.", "2."}, {decimal, {1, 1, 2}, 2, "2.1.", "2.1."},
      {decimal, {1, 1, 2}, 1, "2.", "2."}, {decimal, {1, 1, 2}, 0, "", ""}, {decimal, {1, 1, 2, 1}, 2, "3.0.", "3.0."},
      {decimal, {3, 7, SIZE_MAX}, 7, "", ""}, {decimal, {3}, SIZE_MAX, "", ""},  // beyond: not counted, shows nothing
      {legal, {0, 1, 2, 3}, 3, "(i)", "1.(a)(i)"}, {legal, {0, 1, 2, 3}, 0, "", ""}, {legal, {0, 1, 2, 3}, 1, "1.", "1."},
      {legal, {0, 1, 2, 3, 4, 5, 5}, 4, "(A)", "1.(a)(i)(A)"}, {legal, {0, 1, 2, 3, 4, 5, 5}, 5, "(II)", "1.(a)(i)(A)(II)"},
      {decimal, {0, 1, 2, 3, 4, 5, 6}, 6, "1.1.1.1.1.1.", "1.1.1.1.1.1."},
      {legal, {0, 1, 2, 3, 4, 5, 6}, 6, "(1)", "1.(a)(i)(A)(I)(1)"},
      {{{"%1.", "upperRoman"}, {"x", "decimal"}, {"%3", "lowerLetter"}}, {0, 0, 2}, 2, "a", "II.xa"},  // no context
      // "%%9" passes the check ("%%" takes the "%"), yet shows a reference to a level the scheme lacks.
      {{{"%%9", "decimal"}}, {0}, 0, "%", "%"},
      // A skipped level shows as 0 in decimal and as nothing in letters and Roman numerals.
      {skipped, {2}, 2, "0..I", "0..I"}, {skipped, {2}, 1, "", ""}, {{}, {0}, 0, "", ""},
  };
  for (const Case& c : cases) {
    HeadingNums nums = make(c.levels);
    for (std::size_t level : c.advances) EXPECT_EQ(nums.advance(level), level < c.levels.size()) << level;
    EXPECT_EQ(nums.display(c.level), c.display) << c.level << " of " << c.levels.size();
    EXPECT_EQ(nums.full(c.level), c.full) << c.level << " of " << c.levels.size();
  }
}

TEST(HeadingCounting, BeyondTheScheme) {
  HeadingNums nums = make(schemes()[0].levels);
  nums.advance(3);
  EXPECT_FALSE(nums.advance(7));
  EXPECT_EQ(nums.counters(), (std::vector<std::uint32_t>{0, 0, 0, 1, 0, 0, 0}));
  EXPECT_FALSE(nums.check_level(6));
  ASSERT_TRUE(nums.check_level(7));
  EXPECT_EQ(nums.check_level(7)->message, "level 7 is beyond the numbering scheme, whose levels are 0 to 6");
  EXPECT_EQ(make({}).check_level(0)->message, "level 0 is beyond the numbering scheme, which has no levels");
}

TEST(LevelText, Expansion) {
  // Two levels with counters 3 and 2, written in decimal and lowerLetter.
  const std::pair<std::string, std::string> cases[] = {
      {"%1.%2", "3.b"}, {"%12", "32"},     {"%%2", "%b"}, {"%", "%"},        {"a%", "a%"},    {"%a%1", "%a3"},
      {"100%%", "100%%"}, {"%0", ""},      {"(%0)", "()"}, {"%%%1", "%%3"},  {"é%2é", "ébé"},
  };
  for (const auto& [lvl_text, expected] : cases) {
    HeadingNums nums = make({{"%1", "decimal"}, {lvl_text, "lowerLetter"}});
    for (std::size_t level : {0, 0, 0, 1, 1}) nums.advance(level);
    EXPECT_EQ(nums.display(1), expected) << lvl_text;
  }
}

TEST(SchemeValidation, FirstProblemInOrder) {
  const std::vector<LevelSpec> eight(8, LevelSpec("x", "decimal"));
  std::vector<LevelSpec> nine_ok = eight, eight_bad = eight;
  nine_ok.emplace_back("%9", "decimal");
  eight_bad.back() = {"%9", "decimal"};
  const auto beyond = [](std::string shown, char digit) {
    return "lvlText \"" + shown + "\" references level %" + digit + " beyond the scheme";
  };
  const std::pair<std::vector<LevelSpec>, std::string> cases[] = {  // message empty: accepted
      {{{"", "decimal"}}, ""}, {{{"%3", "decimal"}, {"", "decimal"}, {"", "decimal"}}, ""}, {nine_ok, ""},
      {{{"%%9", "decimal"}}, ""}, {{{"%0", "decimal"}}, ""}, {{{"%12", "decimal"}}, ""},
      {eight_bad, beyond("%9", '9')}, {{{"%2", "decimal"}}, beyond("%2", '2')},
      {{{"%5", "Decimal"}}, "unknown numFmt \"Decimal\""},  // a level's numFmt is checked before its lvlText
      {{{"%3", "decimal"}, {"", "roman"}}, beyond("%3", '3')}, {{{"", "decimal"}, {"", ""}}, "unknown numFmt \"\""},
      // The debug form escapes what would not show, and replaces ill-formed bytes.
      {{{"x", "a\"b\\c\n\t\r"}}, "unknown numFmt \"a\\\"b\\\\c\\n\\t\\r\""},
      {{{std::string("\0\x01\x7f", 3), "?"}}, "unknown numFmt \"?\""},
      {{{std::string("'\0\x1b\xc2\x85", 5) + "%2", "decimal"}}, beyond("'\\0\\u{1b}\\u{85}%2", '2')},
      {{{"\xc3\xa9 \xc2\xa0\xe2\x80\x8b\xee\x80\x80%2", "decimal"}}, beyond("\xc3\xa9 \\u{a0}\\u{200b}\\u{e000}%2", '2')},
      {{{"e\xcc\x81%2", "upperRoman"}}, beyond("e\\u{301}%2", '2')},
      {{{"\xff\xf4\x8f\xbf\xbf%2", "decimal"}}, beyond("\xef\xbf\xbd\\u{10ffff}%2", '2')},
  };
  for (const auto& [levels, message] : cases) {
    const Outcome<HeadingNums> nums = HeadingNums::create(levels);
    EXPECT_EQ(nums.ok() ? "" : nums.message(), message);
  }
  const HeadingNums nums = make({{"%1", "upperLetter"}, {"%1-%2", "lowerRoman"}});
  ASSERT_EQ(nums.level_count(), 2u);
  EXPECT_EQ(nums.levels()[1].lvl_text, "%1-%2");
  EXPECT_EQ(nums.levels()[1].num_fmt, NumFormat::LowerRoman);
}

}  // namespace
}  // namespace vedavi
