// The thread's kept line table and draft list.
#include "block/warm.h"

#include <utility>

namespace vedavi::block::warm {
namespace {

// Beyond this room a list is freed when given back: a thread that once parsed a huge document
// does not hold its tables for good.
constexpr std::size_t kMaxRoomBytes = std::size_t{2} << 20;

thread_local std::vector<std::string_view> t_lines;
thread_local Drafts t_drafts;

// The kept list, emptied, leaving an empty one in its place (a parse nested in another on the
// same thread, should there ever be one, then starts from nothing rather than sharing).
template <class List>
List take(List& kept) {
  List out = std::move(kept);
  kept = List();
  return out;
}

// Keeps `list` (empty by now) if its room is within the limit and larger than what is kept.
template <class List>
void keep(List& kept, List&& list) {
  if (list.capacity() * sizeof(typename List::value_type) <= kMaxRoomBytes &&
      list.capacity() > kept.capacity())
    kept = std::move(list);
}

}  // namespace

std::vector<std::string_view> take_lines() {
  std::vector<std::string_view> lines = take(t_lines);
  lines.clear();
  return lines;
}

void give_lines(std::vector<std::string_view>&& lines) {
  lines.clear();
  keep(t_lines, std::move(lines));
}

Drafts take_drafts() { return take(t_drafts); }

void give_drafts(Drafts&& drafts) {
  drafts.clear_keeping_room();
  keep(t_drafts, std::move(drafts));
}

}  // namespace vedavi::block::warm
