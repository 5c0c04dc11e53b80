// Pipe tables: cells of a row, the delimiter row, pipe positions.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "block/draft.h"

namespace vedavi::block {

// The trimmed cells of a line split at unescaped "|" ("\|" is a literal pipe).
std::vector<std::string> raw_table_cells(std::string_view line);
// The cells of a table row, without an empty first and an empty last cell; none without "|".
std::optional<std::vector<std::string>> split_table_row(std::string_view line);
// Offsets of the unescaped "|" of `text`.
std::vector<std::size_t> table_pipe_offsets(std::string_view text);
// The header row of a table: the cells of `line` as `split_table_row` finds them, one per
// alignment with its alignment; none when the counts differ. The cells are views of `line` when
// `in_place` (it outlives the tree) and it holds no backslash, else of text in the current arena.
std::optional<TableRowText> header_row(std::string_view line, std::span<const Align> aligns,
                                       bool in_place = false);

struct DelimiterRow {
  std::vector<Align> aligns;
  std::vector<std::size_t> widths;
};
// The alignments and widths of a delimiter row ("--- | :---:"), none for any other line.
std::optional<DelimiterRow> delimiter_row(std::string_view line);

}  // namespace vedavi::block
