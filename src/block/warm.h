// Scratch a thread keeps between parses: the line table and the top-level draft list. Each is
// taken empty, with the room it had, and given back once the parse is done with it, so that a
// parse made right after other work in the process writes into pages it holds already rather
// than into fresh ones the allocator has to fault in. Room above a limit is let go, not kept.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "block/draft.h"
#include "model/line.h"

namespace vedavi::block::warm {

// The room of a line table (`line::SourceLines`).
line::LineEnds take_lines();
void give_lines(line::LineEnds&& lines);

Drafts take_drafts();
// Destroys what the drafts still hold (without recursing) and keeps their room.
void give_drafts(Drafts&& drafts);

}  // namespace vedavi::block::warm
