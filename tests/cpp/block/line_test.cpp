// Lines, indentation and block markers, the delimiter-row reader checked against plain copies and
// the one-scan tag end against the table of all tag ends.
#include <gtest/gtest.h>

#include <random>

#include "block/build.h"
#include "block/html.h"
#include "block/scan.h"
#include "block/table.h"
#include "block/table_cells.h"
#include "model/line.h"
#include "tests/cpp/support/helpers.h"
#include "text/unicode.h"

namespace vedavi::block {
namespace {

// A random string of `max - 1` pieces at most.
template <std::size_t N>
std::string random_text(std::mt19937& rng, const std::string_view (&pieces)[N], std::size_t max) {
  std::string s;
  for (std::size_t k = rng() % max; k > 0; --k) s += pieces[rng() % N];
  return s;
}

TEST(Line, StripBlankAndTrim) {
  const std::tuple<std::string_view, std::size_t, std::size_t, std::size_t, std::string_view> cases[] = {
      {"\tfoo", 0, 0, 2, "  foo"}, {"  foo", 0, 0, 2, "foo"},       {"    foo", 0, 0, 2, "  foo"},
      {"\t\tfoo", 0, 0, 4, "    foo"}, {" \tfoo", 0, 0, 2, "  foo"}, {"  ", 0, 0, 4, ""},
      {"foo", 0, 0, 0, "foo"},     {"\tfoo", 0, 1, 1, "   foo"},    {"x\ty", 1, 1, 2, "  y"},
  };
  for (const auto& [text, start, column, target, expected] : cases)
    EXPECT_EQ((line::Line{text, start, column}.strip_from(target)), expected) << text;
  EXPECT_EQ(line::expand_leading_indent(" \t x", 0), "     x");
  EXPECT_EQ(line::expand_leading_indent("\t", 2), "  ");
  EXPECT_EQ(line::expand_leading_indent("", 0), "");
  for (std::string_view blank : {"", " \t\v\f", "\xC2\xA0\xC2\xA0", "\xE3\x80\x80"})
    EXPECT_TRUE(line::is_blank(blank)) << blank;
  EXPECT_FALSE(line::is_blank("\xE2\x80\x8B"));  // zero width space is not White_Space
  EXPECT_EQ(line::trim("\xC2\xA0 a b\xC2\x85"), "a b");
  const std::string_view pieces[] = {" ", "\t", "\n", "\v", "\f", "\r", "\x1F", "a", "\xC2\xA0",
                                     "\xC2\x85", "\xC2", "\xE3\x80\x80", "\xE2\x80\x8B", "\x80", "~"};
  std::mt19937 rng(5);
  for (int round = 0; round < 20000; ++round) {
    const std::string s = random_text(rng, pieces, 6);
    EXPECT_EQ(line::trim_start(s), unicode::trim_start(s)) << s;
    EXPECT_EQ(line::trim_end(s), unicode::trim_end(s)) << s;
    EXPECT_EQ(line::trim(s), unicode::trim(s)) << s;
  }
}

// Leading spaces counted eight bytes at a time: runs ending before, at and after a word's end,
// lines of spaces alone, and a tab or other byte ending the run.
TEST(Line, CountLeadingSpaces) {
  const struct {
    std::string_view text;
    std::size_t spaces;
  } cases[] = {
      {"", 0},           {"x", 0},          {" ", 1},          {"   x", 3},
      {"       x", 7},   {"        x", 8},  {"         x", 9}, {"        ", 8},
      {"                ", 16},             {"  \tx        ", 2}, {"x        ", 0},
      {"            - item", 12},           {"                 \n", 17},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(line::count_leading_spaces(c.text), c.spaces) << c.text;
    EXPECT_EQ((line::Rest{0, c.text}.leading_spaces()), c.spaces) << c.text;
  }
}

// Lines split at the LFs as one search per line finds them, over texts whose lines end on every
// side of the 64-byte steps of the wide search; CR texts go the other way and are not made here.
TEST(Line, SplitMatchesALineByLineSearch) {
  const std::string x62(62, 'x'), y63(63, 'y'), z64(64, 'z');
  const std::string_view pieces[] = {"\n", "\n", "a", "bb", " ", x62, y63, z64};
  std::mt19937 rng(9);
  for (int round = 0; round < 3000; ++round) {
    const std::string text = random_text(rng, pieces, 12);
    std::vector<std::string_view> expected;
    for (std::size_t start = 0; start < text.size();) {
      const std::size_t lf = std::min(text.find('\n', start), text.size());
      expected.push_back(std::string_view(text).substr(start, lf - start));
      start = lf + 1;
    }
    std::vector<std::string_view> got{"left over"};
    line::split_lines(text, got);
    ASSERT_EQ(got.size(), expected.size()) << text;
    for (std::size_t k = 0; k < got.size(); ++k) {
      EXPECT_EQ(got[k], expected[k]) << text;
      EXPECT_EQ(got[k].data(), expected[k].data()) << text;  // views into the text
    }
  }
}

// A code text gathered from lines as the builder cuts them (whole source lines that follow each
// other, lines cut short by indentation, padded lines, copied pieces) reads as the lines written
// one after the other, through every growth of its room, taken as a string or into the arena.
TEST(LineText, GathersTheLinesAcrossGrowth) {
  ArenaScope arena{ArenaScope::Fresh{}};
  std::mt19937 rng(5);
  for (int round = 0; round < 300; ++round) {
    const std::string source = [&] {
      std::string s;
      for (int k = 0, n = static_cast<int>(rng() % 200) + 1; k < n; ++k)
        s += std::string(rng() % 6, ' ') + std::string(rng() % 40, static_cast<char>('a' + k % 26)) + "\n";
      return s;
    }();
    const std::vector<std::string_view> lines = line::split_lines(source);
    build::LineText text;
    std::string expected;
    for (std::size_t k = 0; k < lines.size(); ++k) {
      const std::string_view l = lines[k];
      switch (rng() % 4) {
        case 0:  // the whole line
          text.append(line::Rest{0, l}, l, true);
          expected += std::string(l) + "\n";
          break;
        case 1: {  // cut after its indentation, some of it left as padding
          const std::size_t cut = std::min(l.find_first_not_of(' '), l.size());
          const std::size_t pad = cut > 0 ? rng() % (cut + 1) : 0;
          text.append(line::Rest{pad, l.substr(cut)}, l, true);
          expected += std::string(pad, ' ') + std::string(l.substr(cut)) + "\n";
          break;
        }
        case 2:  // padding that stands for no spaces of the line
          text.append(line::Rest{20, l}, l, true);
          expected += std::string(20, ' ') + std::string(l) + "\n";
          break;
        default:
          text.append_copy("<piece>\n");
          expected += "<piece>\n";
      }
    }
    if (round % 2 == 0) {
      EXPECT_EQ(text.take(), expected);
    } else {
      EXPECT_EQ(text.take_str({}).view(), expected);
    }
  }
}

// The parser's line table, held as line ends, reads the same lines as the split, from reused room
// too, and from texts of more lines than its first room holds; the lines a frontmatter takes read
// as empty and the others stay as they were.
TEST(Line, SourceLinesReadTheSplitLines) {
  const std::string x62(62, 'x'), y63(63, 'y'), z64(64, 'z');
  const std::string_view pieces[] = {"\n", "\n", "a", "bb", " ", x62, y63, z64};
  std::mt19937 rng(11);
  for (int round = 0; round < 3000; ++round) {
    const std::string text = random_text(rng, pieces, round % 8 == 0 ? 1200 : 12);
    const std::vector<std::string_view> expected = line::split_lines(text);
    line::SourceLines lines(text, line::LineEnds{7, 8, 9});
    ASSERT_EQ(lines.size(), expected.size()) << text;
    EXPECT_EQ(lines.empty(), expected.empty()) << text;
    for (std::size_t k = 0; k < lines.size(); ++k) {
      EXPECT_EQ(lines[k], expected[k]) << text;
      EXPECT_EQ(lines[k].data(), expected[k].data()) << text;
    }
    const std::size_t blanked = expected.empty() ? 0 : rng() % (expected.size() + 2);
    lines.blank_first(blanked);
    ASSERT_EQ(lines.size(), expected.size()) << text;
    for (std::size_t k = 0; k < lines.size(); ++k) {
      if (k < blanked) {
        EXPECT_TRUE(lines[k].empty()) << text << " " << blanked << " " << k;
      } else {
        EXPECT_EQ(lines[k], expected[k]) << text;
        EXPECT_EQ(lines[k].data(), expected[k].data()) << text;
      }
    }
  }
  EXPECT_EQ(line::SourceLines("").size(), 0u);
  EXPECT_EQ(line::SourceLines("\n").size(), 1u);
  // Stretches of long lines and of short ones, several KB each, so that the search changes its
  // pace between them, and meets a step of many ends amid long lines.
  const std::string_view short_lines[] = {"\n", "\n", "a", "bb"};
  const std::string_view long_lines[] = {"\n", x62, y63, z64, z64, z64, z64, "\n\n\n\n\n"};
  for (int round = 0; round < 40; ++round) {
    std::string text;
    for (int stretch = 0; stretch < 6; ++stretch) {
      const bool short_stretch = rng() % 2 == 0;
      for (std::size_t k = 2000 + rng() % 6000; k > 0;)
        if (short_stretch) {
          text += short_lines[rng() % 4];
          --k;
        } else {
          const std::string_view piece = long_lines[rng() % 8];
          text += piece;
          k -= std::min(k, piece.size());
        }
    }
    const std::vector<std::string_view> expected = line::split_lines(text);
    const line::SourceLines lines(text);
    ASSERT_EQ(lines.size(), expected.size());
    for (std::size_t k = 0; k < lines.size(); ++k) ASSERT_EQ(lines[k].data(), expected[k].data()) << k;
    for (std::size_t k = 0; k < lines.size(); ++k) ASSERT_EQ(lines[k], expected[k]) << k;
  }
}

// The parser's line tables: the first non-blank line after each line, a block's end without its
// trailing blank lines, and the runs of non-blank lines.
TEST(LineTables, NextNonBlankContentEndAndRuns) {
  const Options options = testing::default_options();
  std::mt19937 rng(3);
  for (int round = 0; round < 500; ++round) {
    std::vector<std::string_view> lines;
    for (std::size_t k = rng() % 12; k > 0; --k) lines.push_back(rng() % 2 ? "" : rng() % 2 ? " \t" : "x");
    std::string text;
    for (std::string_view l : lines) (text += l) += '\n';
    const Parser parser(line::SourceLines(text), options, 0);
    const std::size_t n = lines.size();
    std::size_t runs = 0;
    for (std::size_t i = 0; i < n; ++i)
      runs += !line::is_blank(lines[i]) && (i == 0 || line::is_blank(lines[i - 1]));
    EXPECT_EQ(parser.nonblank_runs(), runs);
    for (std::size_t i = 0; i <= n; ++i) {
      std::size_t next = i + 1;
      while (next < n && line::is_blank(lines[next])) ++next;
      EXPECT_EQ(parser.next_nonblank(i), std::min(next, n)) << round << " " << i;
      for (std::size_t start = 0; start <= i; ++start) {
        std::size_t end = i;
        while (end > start && line::is_blank(lines[end - 1])) --end;
        EXPECT_EQ(parser.drop_trailing_blanks(start, i), end) << round << " " << start << " " << i;
      }
    }
  }
}

// Fence runs of every length up to past two words, then another byte or the end.
TEST(Scan, RunLengthAcrossWords) {
  for (std::size_t n = 0; n <= 20; ++n) {
    const std::string run(n, '`');
    EXPECT_EQ(run_length(run, '`'), n);
    EXPECT_EQ(run_length(run + "~``", '`'), n);
    EXPECT_EQ(run_length(run + " info", '`'), n);
    EXPECT_EQ(run_length(run, '~'), 0u);
  }
  EXPECT_EQ(run_length("~~~~~~~~~x", '~'), 9u);
}

// The tag vocabularies: every name in, and names that differ by a byte, a length or a case out.
TEST(Html, TagVocabularies) {
  const std::tuple<std::string_view, bool, bool, bool> names[] = {
      // name, block, md (block, inline or custom), void
      {"p", true, true, false},           {"blockquote", true, true, false},
      {"figcaption", true, true, false},  {"h6", true, true, false},
      {"tr", true, true, false},          {"a", false, true, false},
      {"template", false, true, false},   {"br", false, true, true},
      {"input", false, true, true},       {"source", false, false, true},
      {"wbr", false, false, true},        {"my-tag", false, true, false},
      {"h7", false, false, false},        {"P", false, false, false},
      {"div ", false, false, false},      {"di", false, false, false},
      {"", false, false, false},          {std::string_view("p\0", 2), false, false, false},
      {"blockquoteblockquote", false, false, false},
  };
  for (const auto& [name, block, md, void_tag] : names) {
    EXPECT_EQ(is_md_block_html_tag(name), block) << name;
    EXPECT_EQ(is_md_html_tag(name), md) << name;
    EXPECT_EQ(is_void_html_tag(name), void_tag) << name;
  }
}

// Markers as "number ordered marker_column content_column", or "none".
TEST(Scan, BlockMarkers) {
  const std::pair<std::string_view, std::string_view> lists[] = {
      {"- x", "1 0 1 2"},        {"-", "1 0 1 2"},         {"+ x", "1 0 1 2"},         {"   * x", "1 0 4 5"},
      {"-     x", "1 0 1 2"},    {"-   x", "1 0 1 4"},     {"1. a", "1 1 2 3"},        {"007. a", "7 1 4 5"},
      {"0.", "0 1 2 3"},         {"123456789. a", "123456789 1 10 11"},                 {"1234567890. a", "none"},
      {"-foo", "none"},          {"1)", "none"},           {"1.5", "none"},            {"12", "none"},
      {"    - x", "none"},       {"\t- x", "none"},        {"-\tx", "1 0 1 4"},        {"-\fx", "1 0 1 2"},
      {"-\vx", "none"},
  };
  for (const auto& [line, expected] : lists) {
    auto m = list_marker(line);
    const std::string got = m ? std::to_string(m->number) + " " + std::to_string(m->ordered) + " " +
                                    std::to_string(m->marker_column) + " " + std::to_string(m->content_column)
                              : "none";
    EXPECT_EQ(got, expected) << line;
  }
  for (auto [line, yes] : {std::pair{"1. x", true}, {"* x", true}, {"2. x", false}, {"-   ", false}, {"-", false}})
    EXPECT_EQ(list_interrupts_paragraph(line), yes) << line;
  for (auto [line, rest] : {std::pair{"> x", "x"}, {">x", "x"}, {">\tx", "  x"}, {"    > x", "    > x"},
                            {"   > x", "x"}, {">  x", " x"}, {"", ""}, {"  ", "  "}, {"x", "x"}})
    EXPECT_EQ(strip_quote_marker(line), rest) << line;
  for (auto [line, def] : {std::pair{": def", "def"}, {":    def", " def"}, {"   : d", "d"}, {":def", "none"},
                           {":", "none"}, {"    : d", "none"}, {":\xC2\xA0x", "\xC2\xA0x"}})
    EXPECT_EQ(def_marker(line).value_or("none"), def) << line;
  for (auto [line, ch, fence] : {std::tuple{"```js", '`', "3 0 js"}, {"``` a`b", '`', "none"},
                                 {"~~~ a`b", '~', "3 0  a`b"}, {"``", '`', "none"}, {"    ```", '`', "none"},
                                 {"  ````  x ", '`', "4 2   x "}}) {
    auto f = fence_start(line, ch);
    const std::string got = f ? std::to_string(f->length) + " " + std::to_string(f->indent) + " " + std::string(f->info)
                              : "none";
    EXPECT_EQ(got, fence) << line;
  }
  for (auto [line, yes] : {std::pair{"#hashtag", true}, {":::", true}, {"<!-- x", true}, {"<DIV>", true}, {"> q", true},
                           {"```", true}, {"~~~", true}, {"---", true}, {" ---", false}, {"--- ", false},
                           {"    # x", false}, {"<span>", false}, {"", false}, {"text", false}, {"- x", false},
                           {"<div", true}})
    EXPECT_EQ(starts_block(line), yes) << line;
}

TEST(TagEnd, OneScanMatchesTheTableFromEveryStart) {
  const std::string_view pieces[] = {">", "\"", "'", "a", " ", "=\"x>\"", "='>'"};
  std::mt19937 rng(7);
  for (int round = 0; round < 2000; ++round) {
    const std::string text = random_text(rng, pieces, 12);
    TagEndFinder table(text);
    for (std::size_t from = 0; from <= text.size() + 1; ++from)
      EXPECT_EQ(tag_end(text, from), table.find(from)) << text << " from " << from;
  }
}

TEST(TagEnd, LongTextsMatchTheScanAcrossTheForwardWindow) {
  // Texts of several hundred bytes, quotes and ">" on either side of the finder's forward window;
  // starts asked in a random order, so that answers come both from the window and from the table.
  const std::string filler(100, 'a');
  const std::string_view pieces[] = {">", "\"", "'", filler, " ", "=\"x>\"", "='>'"};
  std::mt19937 rng(11);
  for (int round = 0; round < 300; ++round) {
    const std::string text = random_text(rng, pieces, 10);
    TagEndFinder finder(text);
    for (int ask = 0; ask < 8; ++ask) {
      const std::size_t from = std::uniform_int_distribution<std::size_t>(0, text.size())(rng);
      EXPECT_EQ(tag_end(text, from), finder.find(from)) << text.size() << " from " << from;
    }
    for (std::size_t from = 0; from <= text.size(); from += 7)
      EXPECT_EQ(tag_end(text, from), finder.find(from)) << text.size() << " from " << from;
  }
}

// The delimiter row read from copied cells, as it first was.
std::optional<DelimiterRow> reference_delimiter_row(std::string_view line) {
  auto cells = split_table_row(line);
  if (!cells || cells->empty()) return std::nullopt;
  DelimiterRow row;
  for (const std::string& raw : *cells) {
    std::string_view c = line::trim(raw);
    const bool left = !c.empty() && c.front() == ':', right = !c.empty() && c.back() == ':';
    const std::size_t b = c.find_first_not_of(':');
    if (b == std::string_view::npos) return std::nullopt;
    const std::string_view dashes = c.substr(b, c.find_last_not_of(':') + 1 - b);
    if (dashes.find_first_not_of('-') != std::string_view::npos) return std::nullopt;
    row.widths.push_back(dashes.size());
    row.aligns.push_back(left && right ? Align::Center : left ? Align::Left : right ? Align::Right : Align::None);
  }
  return row;
}

TEST(TableCells, DelimiterRowsReadInPlaceMatchCopiedCells) {
  const std::string_view pieces[] = {"|", "-", "--", ":", " ", "\\", "\\|", "a", "\xC2\xA0", "\t"};
  std::mt19937 rng(7);
  std::size_t rows = 0;
  for (int round = 0; round < 20000; ++round) {
    const std::string s = random_text(rng, pieces, 10);
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

// The cells of a line read a byte at a time, as they first were.
std::vector<std::string> reference_cells(std::string_view line) {
  const std::string_view t = line::trim(line);
  std::vector<std::string> cells(1);
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i] == '|') {
      cells.emplace_back();
    } else if (t[i] == '\\' && i + 1 < t.size()) {
      if (t[i + 1] != '|') cells.back() += '\\';
      cells.back() += t[++i];
    } else {
      cells.back() += t[i];
    }
  }
  for (std::string& cell : cells) cell = std::string(line::trim(cell));
  return cells;
}

TEST(TableCells, SplitMatchesAByteByByteReading) {
  // Lines across the 64-byte windows the split reads (and their overlapping last loads), with
  // pipes at every offset of a window.
  const std::string_view pieces[] = {"|", "|", "a", " ", "  ", "\t", "\\", "\\|", "\xC3\xA9", "\xC2\xA0",
                                     "bb", "word and word", "abcdefghijklmno"};
  std::mt19937 rng(11);
  for (int round = 0; round < 20000; ++round) {
    const std::string s = random_text(rng, pieces, 24);
    EXPECT_EQ(raw_table_cells(s), reference_cells(s)) << s;
  }
}

TEST(TableCells, BodyRowsTakeTheHeaderWidth) {
  // Extra cells dropped, missing ones empty, an empty cell before a leading pipe none.
  struct Case {
    std::string_view line;
    std::size_t width;
    bool leading_pipe;
    std::vector<std::string> cells;
  };
  const Case cases[] = {
      {"| a | b |", 2, true, {"a", "b"}},
      {"| a | b |", 2, false, {"", "a"}},
      {"a | b | c", 2, true, {"a", "b"}},
      {"| a", 3, true, {"a", "", ""}},
      {"no pipe \\* here", 2, true, {"no pipe \\* here", ""}},
      {"| a \\| b | c\\ |", 2, true, {"a | b", "c\\"}},
      {"|  |", 2, true, {"", ""}},
      // The leading pipe passed over: after white space, alone, escaped, or a second one.
      {"  \t| a | b", 2, true, {"a", "b"}},
      {"|", 2, true, {"", ""}},
      {"", 2, true, {"", ""}},
      {"\\| a | b", 2, true, {"| a", "b"}},
      {"|| a", 2, true, {"", "a"}},
  };
  for (const Case& c : cases) {
    std::string room;
    std::vector<std::string> got;
    table_cells::for_each_body_cell(c.line, c.width, c.leading_pipe,
                                    [&](std::size_t n) {
                                      room.resize(n);
                                      return room.data();
                                    },
                                    [&](std::string_view cell, std::size_t) { got.emplace_back(cell); });
    EXPECT_EQ(got, c.cells) << c.line;
  }
}

}  // namespace
}  // namespace vedavi::block
