// Pipe tables: which table elements an md pipe table expresses exactly, and their parts.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fast5ever/dom.h"

namespace vedavi::markdown {

struct PipeTable {
  fast5ever::dom::NodeId table = 0;
  std::optional<fast5ever::dom::NodeId> caption;
  fast5ever::dom::NodeId header_row = 0;
  // The tbody, whose significant children are the body rows; none in a table of a header alone.
  std::optional<fast5ever::dom::NodeId> body;
  std::vector<std::string_view> alignments;  // "left", "right", "center" or "" per column
  std::size_t md_begin = 0;  // where the table's md starts in the writer's output
};

// The parts of a table a pipe table can write, or none when it would lose or change anything.
class BlockNodes;
std::optional<PipeTable> pipe_table(const fast5ever::dom::Dom& dom, const BlockNodes& is_block,
                                    fast5ever::dom::NodeId table);

// Puts a backslash before each "|" of a cell's md (from `begin` on) that no backslash escapes.
// The reader cuts a row at such pipes and turns each "\|" into "|" before it reads a cell's
// inlines, so a pipe in a link's target or title, an attribute value, math or raw HTML stays in
// its cell. Backslash pairs are read as the reader reads them: "\\|" ends in a cut.
void escape_cell_pipes(std::string& md, std::size_t begin);

}  // namespace vedavi::markdown
