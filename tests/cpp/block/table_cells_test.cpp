// The cutting of table body rows for their parse checked against the cells read one at a time.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "block/table_cells.h"

namespace vedavi::block {
namespace {

// The cells of `line` as `for_each_body_cell` gives them, each column called for once.
std::vector<std::string> body_cells(std::string_view line, std::size_t width, bool leading_pipe) {
  std::string room;
  std::vector<std::string> cells;
  table_cells::for_each_body_cell(
      line, width, leading_pipe,
      [&](std::size_t n) {
        room.resize(n);
        return room.data();
      },
      [&](std::string_view cell, std::size_t column) {
        EXPECT_EQ(column, cells.size());
        cells.emplace_back(cell);
      });
  return cells;
}

// The cells of `line` as `cut_body_row` leaves them: the last call for each column.
std::vector<std::string> cut_cells(std::string_view line, std::size_t width, bool leading_pipe) {
  std::string room;
  std::vector<std::string> cells(width);
  std::vector<bool> called(width);
  table_cells::cut_body_row(
      line, width, leading_pipe,
      [&](std::size_t n) {
        room.resize(n);
        return room.data();
      },
      [&](std::string_view cell, std::size_t column) {
        EXPECT_LT(column, width);
        cells[column] = std::string(cell);
        called[column] = true;
      });
  for (std::size_t column = 0; column < width; ++column) EXPECT_TRUE(called[column]) << line;
  return cells;
}

TEST(TableBodyCut, EscapedPipesRebuildTheRow) {
  struct Case {
    std::string_view line;
    std::size_t width;
    std::vector<std::string> cells;
  };
  const Case cases[] = {
      {"| a | b \\| c | d |", 3, {"a", "b | c", "d"}},
      {"| a \\| b | c\\ |", 2, {"a | b", "c\\"}},
      {"| x\\y | z\\\\| w |", 3, {"x\\y", "z\\\\", "w"}},
      {"| a | b |\\", 3, {"a", "b", "\\"}},
      {"| \\* | `c\\` |", 2, {"\\*", "`c\\`"}},
  };
  for (const Case& c : cases) EXPECT_EQ(cut_cells(c.line, c.width, true), c.cells) << c.line;
}

TEST(TableBodyCut, MatchesTheCellsReadOneAtATime) {
  // Rows across the 64-byte windows of the cut, with escapes before pipes and elsewhere.
  const std::string_view pieces[] = {"|", "|", " | ", "a", " ", "  ", "\t", "\\", "\\|", "\\\\", "\xC2\xA0",
                                     "word", "*em*", "abcdefghijklmno"};
  std::mt19937 rng(5);
  for (int round = 0; round < 20000; ++round) {
    std::string line;
    for (std::size_t k = rng() % 30; k > 0; --k) line += pieces[rng() % std::size(pieces)];
    const std::size_t width = 1 + rng() % 6;
    const bool leading_pipe = rng() % 4 != 0;
    ASSERT_EQ(cut_cells(line, width, leading_pipe), body_cells(line, width, leading_pipe))
        << line << " width " << width << " leading pipe " << leading_pipe;
  }
}

}  // namespace
}  // namespace vedavi::block
