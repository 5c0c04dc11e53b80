// The thread's kept line table and draft list.
#include "block/warm.h"

#include <cstdint>
#include <memory>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace vedavi::block::warm {
namespace {

// Beyond this room a list is freed when given back: a thread that once parsed a huge document
// does not hold its tables for good.
constexpr std::size_t kMaxRoomBytes = std::size_t{2} << 20;
// A line table takes eight bytes a line: kept up to 2^17 lines, as many as before its lines
// shrank from sixteen bytes (a table kept resident beside a big parse's later stages raises its
// peak).
constexpr std::size_t kMaxLineRoomBytes = std::size_t{1} << 20;

thread_local line::LineEnds t_lines;
thread_local Drafts t_drafts;
// Held out of line: the module's thread-local storage must stay small enough for the static
// room the loader sets aside for modules opened late, or every thread-local read (the arena's
// on every allocation) takes the slow dynamic path.
thread_local std::unique_ptr<KeptRooms> t_kept_rooms;

// The kept list, emptied, leaving an empty one in its place (a parse nested in another on the
// same thread, should there ever be one, then starts from nothing rather than sharing).
template <class List>
List take(List& kept) {
  List out = std::move(kept);
  kept = List();
  return out;
}

// Gives the pages of a room about to be freed back to the system: freed into the heap they would
// stay resident, below whatever the parse holds, while the rest of the call runs.
void give_back_pages(const void* room, std::size_t bytes) {
#if defined(__linux__)
  static const std::uintptr_t page = std::uintptr_t(sysconf(_SC_PAGESIZE));
  const auto begin = (reinterpret_cast<std::uintptr_t>(room) + page - 1) & ~(page - 1);
  const auto end = (reinterpret_cast<std::uintptr_t>(room) + bytes) & ~(page - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_DONTNEED);
#else
  (void)room;
  (void)bytes;
#endif
}

// Keeps `list` (empty by now) if its room is within the limit and larger than what is kept; a
// room beyond the limit goes, its pages given back first.
template <class List>
void keep(List& kept, List&& list, std::size_t max_bytes = kMaxRoomBytes) {
  const std::size_t bytes = list.capacity() * sizeof(typename List::value_type);
  if (bytes > max_bytes) {
    give_back_pages(list.data(), bytes);
    List().swap(list);
  } else if (list.capacity() > kept.capacity()) {
    kept = std::move(list);
  }
}

}  // namespace

line::LineEnds take_lines() {
  line::LineEnds lines = take(t_lines);
  lines.clear();
  return lines;
}

void give_lines(line::LineEnds&& lines) {
  lines.clear();
  keep(t_lines, std::move(lines), kMaxLineRoomBytes);
}

Drafts take_drafts() { return take(t_drafts); }

KeptRooms& kept_rooms() {
  if (!t_kept_rooms) t_kept_rooms = std::make_unique<KeptRooms>();
  return *t_kept_rooms;
}

void give_drafts(Drafts&& drafts) {
  drafts.clear_keeping_room();
  keep(t_drafts, std::move(drafts));
}

}  // namespace vedavi::block::warm
