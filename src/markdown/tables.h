// Pipe tables: which table elements an md pipe table expresses exactly, and their parts.
#pragma once

#include <optional>
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
};

// The parts of a table a pipe table can write, or none when it would lose or change anything.
class BlockNodes;
std::optional<PipeTable> pipe_table(const fast5ever::dom::Dom& dom, const BlockNodes& is_block,
                                    fast5ever::dom::NodeId table);

}  // namespace vedavi::markdown
