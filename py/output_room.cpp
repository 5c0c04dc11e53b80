// The thread's room for md2vedavi's output str, the gap beside it and the cap above them.
#include "output_room.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#if defined(__linux__)
#include <sys/resource.h>
#endif

namespace vedavi::py {
namespace {

// The room and the gap grow to these sizes at most: the cap holds what lies below it resident.
constexpr std::size_t kMaxRoomBytes = std::size_t{32} << 20;
constexpr std::size_t kMaxGapBytes = std::size_t{8} << 20;
constexpr std::size_t kPageBytes = 4096;
// A call whose layout was not new and that faults in more pages than this takes it afresh next.
constexpr long kFaultsToRetake = 32;

struct RoomState {
  std::size_t room = 0;  // bytes; 0 before the first call
  std::size_t gap = 0;
  void* cap = nullptr;   // untouched, above the room and the gap
  bool settled = false;  // the layout stands; when not, the next call takes it afresh
  ~RoomState() { std::free(cap); }
};
thread_local RoomState t_state;

// Keeps the compiler from pairing an allocation with its free and dropping both.
void* kept(void* p) {
#if defined(__GNUC__)
  asm volatile("" : : "g"(p) : "memory");
#endif
  return p;
}

// The page faults this thread has taken so far (0 where the system does not count them).
long thread_page_faults() {
#if defined(__linux__)
  rusage usage{};
  if (getrusage(RUSAGE_THREAD, &usage) == 0) return usage.ru_minflt;
#endif
  return 0;
}

}  // namespace

OutputRoom::OutputRoom(std::size_t input_bytes) : faults_(thread_page_faults()) {
  RoomState& state = t_state;
  if (state.room == 0) {
    // Before any str was made: HTML runs somewhat longer than its md, at up to two bytes a
    // character for text beyond Latin-1; the passing allocations take a fraction of the input.
    state.room = std::min(3 * input_bytes + kPageBytes, kMaxRoomBytes);
    state.gap = std::min(input_bytes + kPageBytes, kMaxGapBytes);
  }
  room_ = kept(std::malloc(state.room));
  if (!room_) return;
  begin_ = reinterpret_cast<std::uintptr_t>(room_);
  end_ = begin_ + state.room;
  if (state.settled) return;
  // As large as the room: when the room came from the top of the heap, no free memory could
  // hold it, so none holds the cap either, which comes from the top too.
  void* gap = kept(std::malloc(state.gap));
  void* cap = kept(std::malloc(state.room));
  std::free(gap);
  std::free(std::exchange(state.cap, cap));
  state.settled = true;
  fresh_ = true;
}

OutputRoom::~OutputRoom() { release(); }

void OutputRoom::release() { std::free(std::exchange(room_, nullptr)); }

void OutputRoom::made(const void* data, std::size_t bytes) {
  RoomState& state = t_state;
  const auto at = reinterpret_cast<std::uintptr_t>(data);
  const long faults = thread_page_faults() - faults_;
  if (at >= begin_ && at < end_ && (fresh_ || faults <= kFaultsToRetake)) return;
  state.settled = false;
  state.room = std::min(std::max(state.room, bytes + bytes / 4 + kPageBytes), kMaxRoomBytes);
  if (!fresh_) state.gap = std::min(state.gap + std::size_t(faults) * kPageBytes, kMaxGapBytes);
}

}  // namespace vedavi::py
