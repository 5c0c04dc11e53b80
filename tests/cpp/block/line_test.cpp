// Lines, indentation and block markers.
#include <gtest/gtest.h>

#include <random>

#include "block/scan.h"
#include "block/table.h"
#include "model/line.h"
#include "text/unicode.h"

namespace vedavi::block {
namespace {

TEST(LineStrip, TabsSplitAtTheTargetColumn) {
  struct Case {
    std::string_view text;
    std::size_t start, column, target;
    std::string_view expected;
  } cases[] = {
      {"\tfoo", 0, 0, 2, "  foo"},
      {"  foo", 0, 0, 2, "foo"},
      {"    foo", 0, 0, 2, "  foo"},
      {"\t\tfoo", 0, 0, 4, "    foo"},
      {" \tfoo", 0, 0, 2, "  foo"},
      {"  ", 0, 0, 4, ""},
      {"foo", 0, 0, 0, "foo"},
      {"\tfoo", 0, 1, 1, "   foo"},
      {"x\ty", 1, 1, 2, "  y"},
  };
  for (const auto& c : cases) {
    line::Line l{c.text, c.start, c.column};
    EXPECT_EQ(l.strip_from(c.target), c.expected) << c.text;
  }
  EXPECT_EQ(line::expand_leading_indent(" \t x", 0), "     x");
  EXPECT_EQ(line::expand_leading_indent("\t", 2), "  ");
  EXPECT_EQ(line::expand_leading_indent("", 0), "");
}

TEST(LineBlank, UnicodeWhiteSpaceOnlyIsBlank) {
  EXPECT_TRUE(line::is_blank(""));
  EXPECT_TRUE(line::is_blank(" \t\v\f"));
  EXPECT_TRUE(line::is_blank("\xC2\xA0\xC2\xA0"));      // NBSP
  EXPECT_TRUE(line::is_blank("\xE3\x80\x80"));          // ideographic space
  EXPECT_FALSE(line::is_blank("\xE2\x80\x8B"));         // zero width space is not White_Space
  EXPECT_EQ(line::trim("\xC2\xA0 a b\xC2\x85"), "a b");
}

TEST(LineTrim, AsciiShortcutsAgreeWithUnicodeTrimming) {
  const std::string_view pieces[] = {" ", "\t", "\n", "\v", "\f", "\r", "\x1F", "a", "\xC2\xA0",
                                     "\xC2\x85", "\xC2", "\xE3\x80\x80", "\xE2\x80\x8B", "\x80", "~"};
  std::mt19937 rng(5);
  for (int round = 0; round < 20000; ++round) {
    std::string s;
    for (std::size_t k = rng() % 6; k > 0; --k) s += pieces[rng() % std::size(pieces)];
    EXPECT_EQ(line::trim_start(s), unicode::trim_start(s)) << s;
    EXPECT_EQ(line::trim_end(s), unicode::trim_end(s)) << s;
    EXPECT_EQ(line::trim(s), unicode::trim(s)) << s;
  }
}

TEST(ListMarker, Recognition) {
  struct Case {
    std::string_view line;
    bool ok;
    std::uint64_t number;
    bool ordered;
    std::size_t marker_column, content_column;
  } cases[] = {
      {"- x", true, 1, false, 1, 2},
      {"-", true, 1, false, 1, 2},
      {"+ x", true, 1, false, 1, 2},
      {"   * x", true, 1, false, 4, 5},
      {"-     x", true, 1, false, 1, 2},
      {"-   x", true, 1, false, 1, 4},
      {"1. a", true, 1, true, 2, 3},
      {"007. a", true, 7, true, 4, 5},
      {"0.", true, 0, true, 2, 3},
      {"123456789. a", true, 123456789, true, 10, 11},
      {"1234567890. a", false, 0, false, 0, 0},
      {"-foo", false, 0, false, 0, 0},
      {"1)", false, 0, false, 0, 0},
      {"1.5", false, 0, false, 0, 0},
      {"12", false, 0, false, 0, 0},
      {"    - x", false, 0, false, 0, 0},
      {"\t- x", false, 0, false, 0, 0},
      {"-\tx", true, 1, false, 1, 4},
      {"-\fx", true, 1, false, 1, 2},
      {"-\vx", false, 0, false, 0, 0},
  };
  for (const auto& c : cases) {
    auto m = list_marker(c.line);
    ASSERT_EQ(m.has_value(), c.ok) << c.line;
    if (!m) continue;
    EXPECT_EQ(m->number, c.number) << c.line;
    EXPECT_EQ(m->ordered, c.ordered) << c.line;
    EXPECT_EQ(m->marker_column, c.marker_column) << c.line;
    EXPECT_EQ(m->content_column, c.content_column) << c.line;
  }
}

TEST(ListMarker, InterruptsParagraph) {
  EXPECT_TRUE(list_interrupts_paragraph("1. x"));
  EXPECT_TRUE(list_interrupts_paragraph("* x"));
  EXPECT_FALSE(list_interrupts_paragraph("2. x"));
  EXPECT_FALSE(list_interrupts_paragraph("-   "));
  EXPECT_FALSE(list_interrupts_paragraph("-"));
}

TEST(QuoteMarker, ConsumesOneColumn) {
  struct Case {
    std::string_view line, expected;
  } cases[] = {
      {"> x", "x"}, {">x", "x"}, {">\tx", "  x"}, {"    > x", "    > x"},
      {"   > x", "x"}, {">  x", " x"}, {"", ""}, {"  ", "  "}, {"x", "x"},
  };
  for (const auto& c : cases) EXPECT_EQ(strip_quote_marker(c.line), c.expected) << c.line;
}

TEST(DefMarker, TextAfterColon) {
  EXPECT_EQ(def_marker(": def"), "def");
  EXPECT_EQ(def_marker(":    def"), " def");
  EXPECT_EQ(def_marker("   : d"), "d");
  EXPECT_FALSE(def_marker(":def"));
  EXPECT_FALSE(def_marker(":"));
  EXPECT_FALSE(def_marker("    : d"));
  EXPECT_EQ(def_marker(":\xC2\xA0x"), "\xC2\xA0x");  // NBSP counts as the white space
}

TEST(FenceStart, BacktickInfoMayNotHoldBackticks) {
  EXPECT_TRUE(fence_start("```js", '`'));
  EXPECT_FALSE(fence_start("``` a`b", '`'));
  EXPECT_TRUE(fence_start("~~~ a`b", '~'));
  EXPECT_FALSE(fence_start("``", '`'));
  EXPECT_FALSE(fence_start("    ```", '`'));
  auto f = fence_start("  ````  x ", '`');
  ASSERT_TRUE(f);
  EXPECT_EQ(f->length, 4u);
  EXPECT_EQ(f->indent, 2u);
  EXPECT_EQ(f->info, "  x ");
}

TEST(StartsBlock, Table) {
  struct Case {
    std::string_view line;
    bool expected;
  } cases[] = {
      {"#hashtag", true}, {":::", true},    {"<!-- x", true},   {"<DIV>", true},
      {"> q", true},      {"```", true},    {"~~~", true},      {"---", true},
      {" ---", false},    {"--- ", false},  {"    # x", false}, {"<span>", false},
      {"", false},        {"text", false},  {"- x", false},     {"<div", true},
  };
  for (const auto& c : cases) EXPECT_EQ(starts_block(c.line), c.expected) << c.line;
}

// Removal of indentation on copied strings, step by step, to check the views against.
std::string reference_strip(std::string_view text, std::size_t column, std::size_t target) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (column >= target) return line::expand_leading_indent(text.substr(i), column);
    char c = text[i];
    if (c == ' ') {
      ++column;
    } else if (c == '\t') {
      std::size_t end = (column & ~std::size_t{3}) + 4;
      if (end > target)
        return std::string(end - target, ' ') + line::expand_leading_indent(text.substr(i + 1), end);
      column = end;
    } else {
      return std::string(text.substr(i));
    }
  }
  return "";
}

TEST(RestStrip, ViewsMatchCopiedStrings) {
  const char* lines[] = {"\t\tx", " \t  y", "      z", "\t", "a\tb", "   \t\t q", "  \t"};
  for (const char* text : lines) {
    for (std::size_t col = 0; col < 6; ++col) {
      for (std::size_t target = 0; target < 10; ++target) {
        std::string once = reference_strip(text, col, target);
        line::Rest r = line::Rest{0, text}.strip_from(col, target);
        EXPECT_EQ(r.str(), once) << text << " " << col << " " << target;
        // Stripping again from the result's own column 0 agrees as well.
        for (std::size_t t2 = 0; t2 < 6; ++t2)
          EXPECT_EQ(r.strip_to(t2).str(), reference_strip(once, 0, t2)) << text;
      }
    }
  }
}

}  // namespace
}  // namespace vedavi::block

namespace vedavi::block {
namespace {

// One byte at a time, as the cells were first split.
std::vector<std::string> reference_cells(std::string_view line) {
  std::string_view t = line::trim(line);
  std::vector<std::string> cells;
  std::string cell;
  for (std::size_t i = 0; i < t.size(); ++i) {
    char c = t[i];
    if (c == '\\' && i + 1 < t.size()) {
      if (t[i + 1] != '|') cell.push_back('\\');
      cell.push_back(t[++i]);
    } else if (c == '|') {
      cells.emplace_back(line::trim(cell));
      cell.clear();
    } else {
      cell.push_back(c);
    }
  }
  cells.emplace_back(line::trim(cell));
  return cells;
}

TEST(TableCells, RunsMatchByteByByteSplitting) {
  const std::string_view fixed[] = {"", "|", "a|b", " | a \\| b | ", "\\", "a\\", "\\\\|x",
                                    "|\\|\\||", "x \xC2\xA0|\xC2\xA0 y", "\\a|\\"};
  for (std::string_view s : fixed) EXPECT_EQ(raw_table_cells(s), reference_cells(s)) << s;
  const std::string_view pieces[] = {"|", "\\", "a", " ", "\t", "\xC2\xA0", "b c", ":", "-"};
  std::mt19937 rng(99);
  for (int round = 0; round < 5000; ++round) {
    std::string s;
    for (std::size_t k = rng() % 12; k > 0; --k) s += pieces[rng() % std::size(pieces)];
    EXPECT_EQ(raw_table_cells(s), reference_cells(s)) << s;
  }
}

// The delimiter row read from copied cells, as it first was.
std::optional<DelimiterRow> reference_delimiter_row(std::string_view line) {
  auto cells = split_table_row(line);
  if (!cells || cells->empty()) return std::nullopt;
  DelimiterRow row;
  for (const std::string& raw : *cells) {
    std::string_view c = line::trim(raw);
    bool left = !c.empty() && c.front() == ':';
    bool right = !c.empty() && c.back() == ':';
    std::size_t b = c.find_first_not_of(':');
    if (b == std::string_view::npos) return std::nullopt;
    std::size_t e = c.find_last_not_of(':');
    std::string_view dashes = c.substr(b, e + 1 - b);
    if (dashes.find_first_not_of('-') != std::string_view::npos) return std::nullopt;
    row.widths.push_back(dashes.size());
    row.aligns.push_back(left && right ? Align::Center
                         : left       ? Align::Left
                         : right      ? Align::Right
                                      : Align::None);
  }
  return row;
}

TEST(TableCells, DelimiterRowsReadInPlaceMatchCopiedCells) {
  const std::string_view pieces[] = {"|", "-", "--", ":", " ", "\\", "\\|", "a", "\xC2\xA0", "\t"};
  std::mt19937 rng(7);
  std::size_t rows = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string s;
    for (std::size_t k = rng() % 10; k > 0; --k) s += pieces[rng() % std::size(pieces)];
    auto got = delimiter_row(s);
    auto want = reference_delimiter_row(s);
    ASSERT_EQ(got.has_value(), want.has_value()) << s;
    if (!got) continue;
    ++rows;
    EXPECT_EQ(got->aligns, want->aligns) << s;
    EXPECT_EQ(got->widths, want->widths) << s;
  }
  EXPECT_GT(rows, 100u);  // the pieces make enough valid rows to compare
}

}  // namespace
}  // namespace vedavi::block
