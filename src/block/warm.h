// Scratch a thread keeps between parses: the line table, the top-level draft list and the rooms
// of small child draft lists. Each is
// taken empty, with the room it had, and given back once the parse is done with it, so that a
// parse made right after other work in the process writes into pages it holds already rather
// than into fresh ones the allocator has to fault in. Room above a limit is let go, not kept.
#pragma once

#include <array>
#include <cstddef>
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

// The rooms of small lists the finish makes one of a container (a list item's children, a list's
// items), by their exact size. The finisher gives a list's room back once it is spent, and the
// next parse's finish takes it for a list of that size instead of asking the heap: a dense
// document makes and frees thousands of them a parse. Only so many rooms of each size are kept,
// so a parse that frees many does not hold them all beside its tree, nor the thread afterwards.
template <class List>
class Rooms {
 public:
  static constexpr std::size_t kLargest = 8;  // elements in the largest room kept
  // An empty list with room for exactly `n` elements when one is kept, else with room made for `n`.
  List take(std::size_t n) {
    List out;
    if (n - 1 < kLargest && !kept_[n - 1].empty()) {
      // Swapped out rather than moved: no teardown of the empty list assigned over.
      out.swap(kept_[n - 1].back());
      kept_[n - 1].pop_back();
    } else {
      out.reserve(n);
    }
    return out;
  }
  // Keeps the room of `list`, which must be empty, if a room of its size is wanted; frees it
  // otherwise.
  void give(List list) {
    const std::size_t c = list.capacity();
    if (c - 1 < kLargest && kept_[c - 1].size() < kept_limit(c)) kept_[c - 1].push_back(std::move(list));
  }

 private:
  // About 256 KB of kept rooms of each size: enough for the child lists of the few thousand list
  // items a long document may hold, which would otherwise come from the heap anew at each parse.
  static constexpr std::size_t kept_limit(std::size_t c) {
    return (std::size_t{256} << 10) / (c * sizeof(typename List::value_type));
  }
  std::array<std::vector<List>, kLargest> kept_;
};

struct KeptRooms {
  Rooms<Drafts> children;
  Rooms<std::vector<DraftListItem>> items;
};

// The thread's kept rooms.
KeptRooms& kept_rooms();

}  // namespace vedavi::block::warm
