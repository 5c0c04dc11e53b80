// The scanner's node array keeps its first chunk's room from one text to the next and grows it,
// then adds whole chunks, as nodes are added: every element reads back as it was put, across the
// growth steps and the chunk boundary, before and after a clear.
#include <gtest/gtest.h>

#include <cstddef>

#include "inline/scanner.h"

namespace vedavi {
namespace {

struct Cell {
  std::size_t value;
  std::size_t twice;
};

TEST(InlineChunkedArray, ElementsReadBackAcrossGrowthAndClears) {
  using Array = inl::ChunkedArray<Cell>;
  constexpr std::size_t kChunk = Array::kChunk;
  // {room reserved before the first element (0: none), elements added}
  constexpr std::size_t cases[][2] = {
      {0, 0},          {0, 1},          {0, 16},         {0, 17},          {0, kChunk - 1},
      {0, kChunk},     {0, kChunk + 1}, {0, 3 * kChunk + 5}, {3, 40},      {kChunk + 9, kChunk + 2},
      {2, 2 * kChunk}, {0, 33},
  };
  Array kept;  // one array for every case, as the scans of a document share it
  for (int round = 0; round < 2; ++round) {
    for (const auto& c : cases) {
      Array fresh;
      for (Array* array : {&fresh, &kept}) {
        array->clear();
        if (c[0] != 0) array->reserve_first(c[0]);
        for (std::size_t i = 0; i < c[1]; ++i) array->emplace_back(Cell{i, 2 * i});
        ASSERT_EQ(array->size(), c[1]);
        for (std::size_t i = 0; i < c[1]; ++i) {
          ASSERT_EQ((*array)[i].value, i) << c[0] << "/" << c[1];
          ASSERT_EQ((*array)[i].twice, 2 * i) << c[0] << "/" << c[1];
        }
      }
    }
  }
}

}  // namespace
}  // namespace vedavi
