// Table cells: the inline content of many short texts at once.
#pragma once

#include <string_view>

#include "inline/parse.h"

namespace vedavi::inl {

// As parse_cell (parse.h); a cell that is plain text puts its one text node in `text_room` (room
// for one node in the current arena, aligned as a list's room) instead of a room of its own, so
// that a table's plain cells share one allocation.
Inlines parse_cell(std::string_view text, const InlineContext& ctx, Inline* text_room);

}  // namespace vedavi::inl
